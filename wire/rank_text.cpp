// The ranking rows, their file layout and the listing text.
#include "wire/rank_text.h"

#include <cstdio>
#include <cstring>

#include "text/cp949.h"
#include "wire/protocol.h"

const char kRankTextRule[] = "---------------------------------------------------------";
const char kRankTextFileName[] = "순위.txt";  // UTF-8, as every file name

void ScoreTableToBytes(const ScoreTable& table, uint8_t out[kScoreTableBytes]) {
  for (int i = 0; i < kScoreRows; ++i) {
    const ScoreEntry& e = table.row[i];
    uint8_t* p = out + i * kScoreEntryBytes;
    std::memcpy(p, e.name, kScoreNameBytes);
    PutLe32(p + 100, static_cast<uint32_t>(e.stage));
    PutLe32(p + 104, e.score);
    PutLe32(p + 108, static_cast<uint32_t>(e.bestCombo));
    PutLe32(p + 112, e.playSeconds);
  }
}

void ScoreTableFromBytes(const uint8_t in[kScoreTableBytes], ScoreTable& table) {
  for (int i = 0; i < kScoreRows; ++i) {
    ScoreEntry& e = table.row[i];
    const uint8_t* p = in + i * kScoreEntryBytes;
    std::memcpy(e.name, p, kScoreNameBytes);
    e.stage = static_cast<int32_t>(GetLe32(p + 100));
    e.score = GetLe32(p + 104);
    e.bestCombo = static_cast<int32_t>(GetLe32(p + 108));
    e.playSeconds = GetLe32(p + 112);
  }
}

size_t FormatRankLine(const ScoreEntry& row, int32_t rank, char out[kRankLineCap]) {
  // The line without its name tells how much room a name has: the name field is at least
  // 10 wide, and a line holds 99 bytes.
  char probe[kRankLineCap * 2];
  const int bare = std::snprintf(probe, sizeof probe, kRankRowFormat, rank, "", static_cast<int>(row.score), row.stage,
                                 row.bestCombo, static_cast<int>(row.playSeconds));
  const size_t room = bare > 0 && static_cast<size_t>(bare) - 10 < kRankLineCap - 1
                          ? kRankLineCap - 1 - (static_cast<size_t>(bare) - 10)
                          : 0;
  // A hand-edited name may lack its terminator or be too long: cut it to fit.
  const size_t stored = strnlen(row.name, kScoreNameBytes);
  char name[kScoreNameBytes + 1];
  const size_t keep = Cp949FitLength(row.name, stored, room);
  for (size_t i = 0; i < keep; ++i) {
    const auto c = static_cast<unsigned char>(row.name[i]);
    name[i] = c < 0x20 || c == 0x7F ? '?' : row.name[i];  // a line break would split the listing
  }
  name[keep] = 0;
  const int n = std::snprintf(out, kRankLineCap, kRankRowFormat, rank, name, static_cast<int>(row.score), row.stage,
                              row.bestCombo, static_cast<int>(row.playSeconds));
  if (n < 0) {
    out[0] = 0;
    return 0;
  }
  return static_cast<size_t>(n) < kRankLineCap ? static_cast<size_t>(n) : kRankLineCap - 1;
}

size_t FormatRankText(const ScoreTable& table, char out[kRankTextCap]) {
  size_t at = 0;
  auto put = [&](const char* line, size_t len) {
    std::memcpy(out + at, line, len);
    at += len;
    out[at++] = '\r';
    out[at++] = '\n';
  };
  put(kRankTextHeaderLine, sizeof kRankTextHeaderLine - 1);
  put(kRankTextRule, sizeof kRankTextRule - 1);
  char line[kRankLineCap];
  for (int i = 0; i < kScoreRows; ++i) put(line, FormatRankLine(table.row[i], i + 1, line));
  out[at] = 0;
  return at;
}

int32_t FindRankSlot(const ScoreTable& table, uint32_t score) {
  for (int32_t i = 0; i < kScoreRows; ++i) {
    if (table.row[i].score < score) return i;
  }
  return kScoreRows;
}

void InsertScoreRow(ScoreTable& table, int32_t place, const char* name, int32_t stage, uint32_t score,
                    int32_t bestCombo, uint32_t playSeconds) {
  if (place < 0 || place >= kScoreRows) return;
  for (int32_t i = kScoreRows - 2; i >= place; --i) table.row[i + 1] = table.row[i];
  ScoreEntry& e = table.row[place];
  e.bestCombo = bestCombo;
  // A zero-terminated copy: the field's bytes after the terminator keep their contents.
  const size_t len = strnlen(name, kScoreNameBytes - 1);
  std::memcpy(e.name, name, len);
  e.name[len] = 0;
  e.score = score;
  e.stage = stage;
  e.playSeconds = playSeconds;
}
