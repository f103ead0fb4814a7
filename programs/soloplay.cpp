// soloplay: the game with its rankings kept in local files in the folder it plays in.
#include "app/edition.h"
#include "app/program.h"
#include "platform/complain.h"
#include "platform/game_folder.h"
#include "ranking/local_ranking.h"
#include "ranking/rank_locally.h"

// Longest name 11 bytes; the music is left alone once the window is closed; local ranking;
// games recorded as soloplay's.
EditionTraits Edition{.longestName = 11, .rankingStep = RankLocally, .program = "soloplay"};

int main(int argc, char** argv) {
  return RunGameProgram("soloplay", platform::ProgramArguments(argc, argv), [] {
    platform::EnterGameFolder();
    RemoveInterruptedSaves();
  });
}
