#pragma once
// soloplay's ranking step after every game.
#include <cstdint>

// Works on the file of `mode`: creates it if missing, loads it, and when the score earns a
// place asks for the name, inserts the result with `stage` (the stage that ended the game)
// and saves the file; in every case writes "순위.txt" and shows the ranking dialog. A save
// that fails leaves the old files whole and shows the table with a note instead.
// True when the score earned a place.
bool RankLocally(int32_t mode, int32_t stage);
