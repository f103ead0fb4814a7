// soloplay: the game with its rankings kept in local files.
#include "app/edition.h"
#include "app/game_flow.h"

// Longest name 11 bytes; the music is left alone once the window is closed; local ranking.
EditionTraits Edition{11, false, false, nullptr};  // the local ranking step is wired here

int main() { return RunProgram(); }
