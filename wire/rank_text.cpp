// The ranking rows, their file layout and the listing text.
#include "wire/rank_text.h"

#include <cstdio>
#include <cstring>

#include "wire/cp949.h"
#include "wire/protocol.h"

namespace {

// "%6d등%10s%10d점%4d판%4d콤보%11d초"
constexpr const char* kRowFormat =
    "%6d\xb5\xee%10s%10d\xc1\xa1%4d\xc6\xc7%4d\xc4\xde\xba\xb8%11d\xc3\xca";

}  // namespace

const char* const ScoreFileHeaders[kScoreHeaderCount] = {
    // "쪽팔리지 않게 조금만 수정 바랍니다 ^^  "
    "\xc2\xca\xc6\xc8\xb8\xae\xc1\xf6 \xbe\xca\xb0\xd4 \xc1\xb6\xb1\xdd\xb8\xb8 \xbc\xf6\xc1\xa4 "
    "\xb9\xd9\xb6\xf8\xb4\xcf\xb4\xd9 ^^  ",
    // "점수는 게임을 해서 올리기 바래요^^     "
    "\xc1\xa1\xbc\xf6\xb4\xc2 \xb0\xd4\xc0\xd3\xc0\xbb \xc7\xd8\xbc\xad \xbf\xc3\xb8\xae\xb1\xe2 "
    "\xb9\xd9\xb7\xa1\xbf\xe4^^     ",
    // "거봐요^^ 약간에 수정은 필요하다니까요^^"
    "\xb0\xc5\xba\xc1\xbf\xe4^^ \xbe\xe0\xb0\xa3\xbf\xa1 \xbc\xf6\xc1\xa4\xc0\xba "
    "\xc7\xca\xbf\xe4\xc7\xcf\xb4\xd9\xb4\xcf\xb1\xee\xbf\xe4^^",
    // "거 점수에 목숨 걸지 말라고요 -_-+;;    "
    "\xb0\xc5 \xc1\xa1\xbc\xf6\xbf\xa1 \xb8\xf1\xbc\xfb \xb0\xc9\xc1\xf6 "
    "\xb8\xbb\xb6\xf3\xb0\xed\xbf\xe4 -_-+;;    ",
    // "끝내 수정한다면 말리진 않겠소..        "
    "\xb3\xa1\xb3\xbb \xbc\xf6\xc1\xa4\xc7\xd1\xb4\xd9\xb8\xe9 \xb8\xbb\xb8\xae\xc1\xf8 "
    "\xbe\xca\xb0\xda\xbc\xd2..        ",
    // "몰봐요!! 당신 보라고 만든거 아냣!!     "
    "\xb8\xf4\xba\xc1\xbf\xe4!! \xb4\xe7\xbd\xc5 \xba\xb8\xb6\xf3\xb0\xed "
    "\xb8\xb8\xb5\xe7\xb0\xc5 \xbe\xc6\x86n!!     ",
    // "거봐 ㅡㅡ; 올줄 알았다니까 ㅡㅡ;       "
    "\xb0\xc5\xba\xc1 \xa4\xd1\xa4\xd1; \xbf\xc3\xc1\xd9 \xbe\xcb\xbe\xd2\xb4\xd9\xb4\xcf\xb1\xee "
    "\xa4\xd1\xa4\xd1;       ",
    // "히히히 얼마나 올릴려고요? ^ ^ ^ ^ ^ ^ ^"
    "\xc8\xf7\xc8\xf7\xc8\xf7 \xbe\xf3\xb8\xb6\xb3\xaa \xbf\xc3\xb8\xb1\xb7\xc1\xb0\xed\xbf\xe4"
    "\x3f ^ ^ ^ ^ ^ ^ ^",
    // "에디트 없는 나라 좋은 나라~~           "
    "\xbf\xa1\xb5\xf0\xc6\xae \xbe\xf8\xb4\xc2 \xb3\xaa\xb6\xf3 \xc1\xc1\xc0\xba "
    "\xb3\xaa\xb6\xf3~~           ",
    // "날 물로 보지마!! 이래뵈도 술이라고^^   "
    "\xb3\xaf \xb9\xb0\xb7\xce \xba\xb8\xc1\xf6\xb8\xb6!! \xc0\xcc\xb7\xa1\xba\xc6\xb5\xb5 "
    "\xbc\xfa\xc0\xcc\xb6\xf3\xb0\xed^^   ",
};

const char kRankTextHeaderLine[] =
    "\xb0\xd4\xc0\xd3\xbc\xf8\xc0\xa7      \xc0\xcc\xb8\xa7        \xc1\xa1\xbc\xf6 STAGE    "
    "\xc4\xde\xba\xb8     \xb0\xd4\xc0\xd3\xbd\xc3\xb0\xa3";
const char kRankTextRule[] = "---------------------------------------------------------";
const char kRankTextFileName[] = "\xec\x88\x9c\xec\x9c\x84.txt";

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
  const int bare = std::snprintf(probe, sizeof probe, kRowFormat, rank, "", static_cast<int>(row.score),
                                 row.stage, row.bestCombo, static_cast<int>(row.playSeconds));
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
  const int n = std::snprintf(out, kRankLineCap, kRowFormat, rank, name, static_cast<int>(row.score),
                              row.stage, row.bestCombo, static_cast<int>(row.playSeconds));
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

void InsertScoreRow(ScoreTable& table, int32_t place, const char* name, int32_t stage,
                    uint32_t score, int32_t bestCombo, uint32_t playSeconds) {
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
