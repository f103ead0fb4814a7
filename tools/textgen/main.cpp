// Turns the table of texts (text/texts.txt, UTF-8) into code page 949 C++:
//   brakkel_textgen TEXTS.txt OUTPUT_FOLDER
// writes OUTPUT_FOLDER/text/texts.h and OUTPUT_FOLDER/text/texts.cpp. The conversion is
// iconv's; a text it cannot convert, or a line that is not an entry, ends the program
// with status 1 and a message naming the line and the entry.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Entry {
  std::string name;    // as the code uses it
  int index = -1;      // place in its table, or -1 for a text of its own
  std::string source;  // as written between the quotes, for comments
  std::string utf8;
  std::string cp949;
};

// A text of its own, or a table of texts under one name.
struct Group {
  std::string name;
  bool isTable = false;
  std::vector<size_t> entries;
  size_t longest = 0;
};

std::string where;  // "FILE:LINE" of the line being read

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "%s: error: %s\n", where.c_str(), what.c_str());
  std::exit(1);
}

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SkipSpaces(const std::string& line, size_t& i) {
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
}

// Reads `kName = "text"` or `kName[i] = "text"`; false for a comment or an empty line.
bool ParseLine(const std::string& line, Entry& entry) {
  size_t i = 0;
  SkipSpaces(line, i);
  if (i == line.size() || line[i] == '#') return false;
  if (!IsNameStart(line[i])) Fail("expected an entry: kName = \"text\"");
  const size_t nameStart = i;
  while (i < line.size() && (IsNameStart(line[i]) || IsDigit(line[i]))) ++i;
  entry.name = line.substr(nameStart, i - nameStart);
  if (i < line.size() && line[i] == '[') {
    const size_t digits = ++i;
    while (i < line.size() && IsDigit(line[i])) ++i;
    if (i == digits || i - digits > 4 || i == line.size() || line[i] != ']') Fail(entry.name + ": expected [number]");
    entry.index = std::stoi(line.substr(digits, i - digits));
    ++i;
  }
  SkipSpaces(line, i);
  if (i == line.size() || line[i] != '=') Fail(entry.name + ": expected '='");
  ++i;
  SkipSpaces(line, i);
  if (i == line.size() || line[i] != '"') Fail(entry.name + ": expected a quoted text");
  const size_t open = ++i;
  for (;; ++i) {
    if (i == line.size()) Fail(entry.name + ": the text has no closing quote");
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c == '"') break;
    if (c < 0x20 || c == 0x7f) Fail(entry.name + ": a control character must be written as \\r, \\n or \\t");
    if (c != '\\') {
      entry.utf8 += static_cast<char>(c);
      continue;
    }
    if (++i == line.size()) Fail(entry.name + ": the text has no closing quote");
    switch (line[i]) {
      case '"': entry.utf8 += '"'; break;
      case '\\': entry.utf8 += '\\'; break;
      case 'r': entry.utf8 += '\r'; break;
      case 'n': entry.utf8 += '\n'; break;
      case 't': entry.utf8 += '\t'; break;
      default: Fail(entry.name + ": unknown escape \\" + line[i]);
    }
  }
  entry.source = line.substr(open, i - open);
  ++i;
  SkipSpaces(line, i);
  if (i != line.size()) Fail(entry.name + ": unexpected characters after the text");
  return true;
}

// The text in code page 949, by iconv; fails naming the entry when it cannot be.
std::string ToCp949(const Entry& entry) {
  iconv_t cd = iconv_open("CP949", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) Fail("iconv cannot convert from UTF-8 to CP949 on this system");
  std::string in = entry.utf8;
  std::string out(in.size() * 2 + 8, '\0');
  char* src = in.data();
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  const size_t done = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  const int error = errno;
  iconv_close(cd);
  if (done == static_cast<size_t>(-1)) {
    const std::string what = error == EILSEQ || error == EINVAL ? "code page 949 has no character for the bytes at \"" +
                                                                      std::string(src, srcLeft) + "\""
                                                                : std::string("iconv failed: ") + std::strerror(error);
    Fail(entry.name + (entry.index >= 0 ? "[" + std::to_string(entry.index) + "]" : "") + " = \"" + entry.source +
         "\": " + what);
  }
  out.resize(out.size() - dstLeft);
  return out;
}

// A C++ string literal holding exactly `bytes`: printable ASCII as it is, the rest in octal.
std::string Literal(const std::string& bytes) {
  std::string out = "\"";
  for (const char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c >= 0x20 && c < 0x7f) {
      out += ch;
    } else {
      char octal[8];
      std::snprintf(octal, sizeof octal, "\\%03o", c);
      out += octal;
    }
  }
  return out + "\"";
}

void Write(const std::filesystem::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  file.close();
  if (!file) {
    where = path.string();
    Fail("cannot write the file");
  }
}

// Every entry in the order of the file, and the names they make.
struct Table {
  std::vector<Entry> entries;
  std::vector<Group> groups;
  std::map<std::string, size_t> groupOf;  // name to place in groups
};

// Adds a read entry to its name's group: a new name, or the next number of a table.
void AddEntry(Table& table, Entry entry) {
  auto found = table.groupOf.find(entry.name);
  const bool fresh = found == table.groupOf.end();
  if (fresh) {
    found = table.groupOf.emplace(entry.name, table.groups.size()).first;
    table.groups.push_back(Group{entry.name, entry.index >= 0, {}, 0});
  }
  Group& group = table.groups[found->second];
  if (group.isTable != (entry.index >= 0) || (!fresh && !group.isTable)) Fail(entry.name + ": the name is taken");
  if (group.isTable && entry.index != static_cast<int>(group.entries.size()))
    Fail(entry.name + ": the next number of this table is [" + std::to_string(group.entries.size()) + "]");
  entry.cp949 = ToCp949(entry);
  group.longest = std::max(group.longest, entry.cp949.size());
  group.entries.push_back(table.entries.size());
  table.entries.push_back(entry);
}

Table ReadTable(const char* path) {
  std::ifstream input(path, std::ios::binary);
  where = path;
  if (!input) Fail("cannot read the file");
  Table table;
  std::string line;
  for (int number = 1; std::getline(input, line); ++number) {
    where = std::string(path) + ":" + std::to_string(number);
    Entry entry;
    if (ParseLine(line, entry)) AddEntry(table, entry);
  }
  if (table.groups.empty()) Fail("no texts");
  return table;
}

// texts.h: the declarations, each with its UTF-8 source in a comment.
std::string HeaderText(const Table& table) {
  std::ostringstream header;
  header << "#pragma once\n"
            "// Generated by brakkel_textgen from text/texts.txt: edit that file, not this one.\n"
            "// The system's texts in code page 949, byte for byte.\n"
            "#include <cstddef>\n\n";
  for (const Group& group : table.groups) {
    if (!group.isTable) {
      const Entry& e = table.entries[group.entries[0]];
      header << "extern const char " << e.name << "[" << e.cp949.size() + 1 << "];  // \"" << e.source << "\"\n";
      continue;
    }
    header << "extern const char " << group.name << "[" << group.entries.size() << "][" << group.longest + 1 << "];\n";
    for (const size_t i : group.entries)
      header << "//   [" << table.entries[i].index << "] \"" << table.entries[i].source << "\"\n";
  }
  header << "\n// Every entry (a table's entries one by one) with its UTF-8 source, for the tests.\n"
            "struct TextEntry {\n"
            "  const char* name;\n"
            "  const char* cp949;\n"
            "  size_t cp949Length;\n"
            "  const char* utf8;\n"
            "};\n"
         << "extern const TextEntry kTextTable[" << table.entries.size() << "];\n";
  return header.str();
}

// texts.cpp: the code page 949 bytes, and the table of every entry.
std::string SourceText(const Table& table) {
  std::ostringstream source;
  source << "// Generated by brakkel_textgen from text/texts.txt: edit that file, not this one.\n"
            "#include \"text/texts.h\"\n\n";
  for (const Group& group : table.groups) {
    if (!group.isTable) {
      const Entry& e = table.entries[group.entries[0]];
      source << "const char " << e.name << "[" << e.cp949.size() + 1 << "] = " << Literal(e.cp949) << ";\n";
      continue;
    }
    source << "const char " << group.name << "[" << group.entries.size() << "][" << group.longest + 1 << "] = {\n";
    for (const size_t i : group.entries) source << "    " << Literal(table.entries[i].cp949) << ",\n";
    source << "};\n";
  }
  source << "\nconst TextEntry kTextTable[" << table.entries.size() << "] = {\n";
  for (const Entry& e : table.entries) {
    const std::string name = e.index >= 0 ? e.name + "[" + std::to_string(e.index) + "]" : e.name;
    source << "    {\"" << name << "\", " << name << ", " << e.cp949.size() << ", " << Literal(e.utf8) << "},\n";
  }
  source << "};\n";
  return source.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: brakkel_textgen TEXTS.txt OUTPUT_FOLDER\n");
    return 1;
  }
  const Table table = ReadTable(argv[1]);
  const std::filesystem::path folder = std::filesystem::path(argv[2]) / "text";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  Write(folder / "texts.h", HeaderText(table));
  Write(folder / "texts.cpp", SourceText(table));
  return 0;
}
