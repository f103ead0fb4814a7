#pragma once
// The ranking of one difficulty as the game keeps it: the score rows, their 116-byte file
// layout, the taunting headers of the ranking files, and the 22-line listing "순위.txt".
// Shared by soloplay's ranking files and the ranking server, which sends the same listing.
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "text/texts.h"

inline constexpr int kScoreRows = 20;
inline constexpr size_t kScoreNameBytes = 100;
inline constexpr size_t kScoreEntryBytes = 116;
inline constexpr size_t kScoreTableBytes = kScoreRows * kScoreEntryBytes;  // 2320
inline constexpr size_t kScoreHeaderBytes = 39;
inline constexpr size_t kScoreFileBytes = kScoreHeaderBytes + kScoreTableBytes;  // 2359
inline constexpr int kScoreHeaderCount = 10;

// One ranking row. In a file: name[100], then stage, score, best combo and play seconds as
// 32-bit little-endian integers. An all-zero row is an empty place.
struct ScoreEntry {
  char name[kScoreNameBytes] = {};  // code page 949, zero-terminated (not trusted from files)
  int32_t stage = 0;                // the stage that ended the game
  uint32_t score = 0;               // compared unsigned
  int32_t bestCombo = 0;
  uint32_t playSeconds = 0;
};
// Row 0 is the best.
struct ScoreTable {
  ScoreEntry row[kScoreRows] = {};
};

// The table's 2320 file bytes, and back; integers little-endian on any host.
void ScoreTableToBytes(const ScoreTable& table, uint8_t out[kScoreTableBytes]);
void ScoreTableFromBytes(const uint8_t in[kScoreTableBytes], ScoreTable& table);

// The ten 39-byte headers of a ranking file, code page 949, no terminator in the file:
// kScoreFileHeaders (text/texts.h).
static_assert(std::size(kScoreFileHeaders) == kScoreHeaderCount);
static_assert(sizeof kScoreFileHeaders[0] == kScoreHeaderBytes + 1);

// The listing: the column header, 57 hyphens and one line per row, each 57 bytes for
// names of up to 10 bytes, every line ended by CR LF.
inline constexpr int kRankTextLines = 22;
inline constexpr size_t kRankLineCap = 100;  // a line is composed in 100 bytes (99 of text)
inline constexpr size_t kRankTextCap = kRankTextLines * (kRankLineCap + 1) + 1;
// The column header is kRankTextHeaderLine (text/texts.h).
extern const char kRankTextRule[];  // 57 hyphens
// The listing's file name, UTF-8 on disk: "순위.txt".
extern const char kRankTextFileName[];

// Formats one row as "%6d등%10s%10d점%4d판%4d콤보%11d초" with the rank (1..20). The name is
// read only within its 100-byte field, up to its first zero, and cut at a character
// boundary so the line never exceeds 99 bytes; control bytes in it show as '?'.
// Returns the line's length without the terminator.
size_t FormatRankLine(const ScoreEntry& row, int32_t rank, char out[kRankLineCap]);
// The whole listing, 22 lines with CR LF, zero-terminated. Returns its length.
size_t FormatRankText(const ScoreTable& table, char out[kRankTextCap]);

// The place a score earns: the first row whose score is lower (unsigned), 0..19, or 20
// when none is; a score equal to a row's stays below it.
int32_t FindRankSlot(const ScoreTable& table, uint32_t score);
// Moves rows place..18 down by one (the old row 19 is lost) and writes the new row at
// `place` (0..19): the name is copied up to its terminator, bytes after it in the field
// keep what they held.
void InsertScoreRow(ScoreTable& table, int32_t place, const char* name, int32_t stage, uint32_t score,
                    int32_t bestCombo, uint32_t playSeconds);
