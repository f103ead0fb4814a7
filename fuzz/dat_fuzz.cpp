// Any bytes as a ranking file: read as the game reads one, over a table that already
// holds rows, then the listing composed from it. The bytes the file holds after its
// header replace the table's leading bytes and nothing else; the listing is 22 lines of
// at most 99 bytes, each ended by CR LF, whose numbers are never cut, and its text
// converts for the screen.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "ranking/local_ranking.h"
#include "text/cp949.h"

namespace {

ScoreTable Previous() {
  ScoreTable table;
  for (int i = 0; i < kScoreRows; ++i) {
    std::memset(table.row[i].name, 'a' + i, kScoreNameBytes);  // no terminator
    table.row[i].name[10] = 0;
    table.row[i].score = 50000u - static_cast<uint32_t>(i);
    table.row[i].stage = i;
    table.row[i].bestCombo = -i;
    table.row[i].playSeconds = 0xFFFFFFF0u + static_cast<uint32_t>(i);
  }
  return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScoreTable previous = Previous();
  static uint8_t expected[kScoreTableBytes];
  ScoreTableToBytes(previous, expected);
  if (size > kScoreHeaderBytes) {
    const size_t held = size - kScoreHeaderBytes < kScoreTableBytes ? size - kScoreHeaderBytes : kScoreTableBytes;
    std::memcpy(expected, data + kScoreHeaderBytes, held);
  }

  LocalScoreTable = previous;
  if (size > 0) {  // fmemopen refuses an empty buffer; an empty file reads nothing
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file) return 0;
    LoadScoreTableFromStream(file);
    std::fclose(file);
  }
  uint8_t loaded[kScoreTableBytes];
  ScoreTableToBytes(LocalScoreTable, loaded);
  if (std::memcmp(loaded, expected, sizeof loaded) != 0) __builtin_trap();

  static char text[kRankTextCap];
  const size_t len = FormatRankText(LocalScoreTable, text);
  if (len >= kRankTextCap || text[len] != 0 || std::strlen(text) != len) __builtin_trap();
  int lines = 0;
  size_t start = 0;
  const char* seconds = kRankRowFormat + sizeof kRankRowFormat - 3;  // the row format's last character
  for (size_t i = 0; i < len; ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] != '\r' || i + 1 >= len || text[i + 1] != '\n') __builtin_trap();  // CR LF only
      if (i - start > 99) __builtin_trap();
      // A row line keeps all its numbers: it still ends in "초" after any name.
      if (lines >= 2 && (i - start < 2 || std::memcmp(text + i - 2, seconds, 2) != 0)) __builtin_trap();
      ++lines;
      start = i + 2;
      ++i;
    }
  }
  if (lines != kRankTextLines || start != len) __builtin_trap();

  static char utf8[4 * kRankTextCap];
  Cp949ToUtf8(text, len, utf8, sizeof utf8);
  return 0;
}
