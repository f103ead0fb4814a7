// Difficulty words, names between code page 949 and UTF-8, and the lines rankctl prints.
#include "server/rankctl/describe.h"

#include "text/cp949.h"

namespace rankctl {
namespace {

const char* const kModeWords[rankd::kModes] = {"easy", "normal", "hardcore"};

}  // namespace

int ParseMode(const std::string& text) {
  for (int mode = 0; mode < rankd::kModes; ++mode) {
    if (text == kModeWords[mode] || text == std::to_string(mode)) return mode;
  }
  return -1;
}

const char* ModeWord(int mode) { return mode >= 0 && mode < rankd::kModes ? kModeWords[mode] : "?"; }

std::string NameUtf8(const std::string& cp949) {
  std::string out(cp949.size() * 3 + 1, '\0');
  out.resize(Cp949ToUtf8(cp949.data(), cp949.size(), out.data(), out.size()));
  for (char& ch : out) {
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = '?';
  }
  return out;
}

bool NameCp949(const std::string& utf8, std::string& cp949) {
  cp949.assign(utf8.size() + 1, '\0');
  cp949.resize(Utf8ToCp949(utf8.data(), utf8.size(), cp949.data(), cp949.size()));
  // What has no code page 949 form comes out as '?': going back must give the same text.
  std::string back(cp949.size() * 3 + 1, '\0');
  back.resize(Cp949ToUtf8(cp949.data(), cp949.size(), back.data(), back.size()));
  if (back != utf8 || cp949.empty() || cp949.size() > rankd::kLongestName) return false;
  for (const char ch : cp949) {
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) return false;
  }
  return true;
}

std::string DescribeRow(const rankd::Score& row) {
  return std::string(ModeWord(row.mode)) + ", " + NameUtf8(row.name) + ", " + std::to_string(row.score);
}

std::string ListLine(const AdminRow& row, int place, bool onlyVerified) {
  std::string flags;
  auto flag = [&](bool set, const char* word) {
    if (!set) return;
    if (!flags.empty()) flags += ',';
    flags += word;
  };
  flag(row.hidden, "hidden");
  flag(row.banned, "banned");
  flag(row.mark == rankd::ReplayMark::Verified, "verified");
  flag(row.mark == rankd::ReplayMark::Suspect, "suspect");
  flag(row.mark == rankd::ReplayMark::Unchecked, "unchecked");
  flag(onlyVerified && !row.sinceChecks, "before-checks");
  if (flags.empty()) flags = "-";
  const rankd::Score& s = row.score;
  return std::to_string(row.id) + '\t' + (place > 0 ? std::to_string(place) : "-") + '\t' + NameUtf8(s.name) + '\t' +
         std::to_string(s.score) + '\t' + std::to_string(s.stage) + '\t' + std::to_string(s.bestCombo) + '\t' +
         std::to_string(s.playSeconds) + '\t' + (row.storedAt.empty() ? "-" : row.storedAt) + '\t' + flags;
}

}  // namespace rankctl
