#pragma once
// soloplay's own rankings: one file per difficulty in the working directory ("easy.dat",
// "normal.dat", "hardcore.dat", each a 39-byte taunt and the 2320-byte table), the one
// table in memory that every game of the run works on, and the listing "순위.txt".
// Operations that write return true when the file was written and false when it was not;
// a failure is also told on standard error, and the old file is then left as it was.
#include <cstdint>
#include <cstdio>

#include "text/texts.h"
#include "wire/rank_text.h"

// The ranking table of the difficulty played last; all zero at start.
extern ScoreTable LocalScoreTable;

// The ranking file of a game mode; a mode outside 0..2 reads as easy.
const char* ScoreFileName(int32_t mode);

// Creates the mode's file with an empty table (and empties the table in memory) when
// there is none. A name that is there but cannot be read as a file (a folder, say) is
// left alone and the table in memory is emptied; the result is then false.
bool EnsureScoreFile(int32_t mode);

// Reads the mode's file into the table. A file that cannot be opened leaves the table as
// it was (result false); a short file replaces only the bytes it holds.
bool LoadScoreTable(int32_t mode);
// The same from an open stream positioned at the start of a ranking file.
void LoadScoreTableFromStream(std::FILE* file);

// The place the score earns in the table: 0..19, or 20 for none.
int32_t FindRankSlot(uint32_t score);

// Puts this game's result in at `place` (0..19): the name from PlayerName, the score and
// best combo from the counters, the given stage, and the seconds since the game began.
void InsertScore(int32_t place, int32_t stage);

// Rewrites the mode's file from the table, under a header drawn anew.
bool SaveScoreTable(int32_t mode);

// Rewrites "순위.txt" from the table.
bool WriteRankText();

// Clears the game folder (the working directory) of what saves cut short by a kill or a
// power cut left there: stale hidden temporary files of the ranking files, the listing and
// the data copies. Nothing else is touched. Called once when soloplay starts.
void RemoveInterruptedSaves();

// The short note for the ranking dialog when a write failed is kRankNotSavedNotice
// ("순위를 저장하지 못했습니다", text/texts.h).
