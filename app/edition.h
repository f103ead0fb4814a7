#pragma once
// What tells the two programs apart. Each program defines `Edition` in its own main file,
// so the choice is made when the program is linked; nothing else differs between them.
#include <cstdint>
#include <vector>

#include "app/server_address.h"

struct EditionTraits {
  // The longest name the name-entry dialog reads back, in bytes (11 soloplay, 9 netplay).
  int32_t longestName = 11;
  // netplay still restarts the music after the window was closed; soloplay does not.
  bool musicAfterQuit = false;
  // netplay's ranking dialog shows the server's text under one of ten random titles;
  // soloplay's loads the listing file and keeps the template's caption.
  bool onlineRanking = false;
  // The ranking step after every game, with the game's mode and the stage that ended it;
  // true when the result entered the ranking.
  bool (*rankingStep)(int32_t mode, int32_t stage) = nullptr;
  // The program's name, as its replays record it; without one, games are not recorded.
  const char* program = nullptr;
  // After a game the ranking step said was kept, with its whole replay as its file holds it
  // (netplay sends it to the server, which checks the score by it).
  void (*keptGameStep)(const std::vector<uint8_t>& encodedReplay) = nullptr;
  // Takes the ranking server the run talks to (--server, else the settings' server line),
  // before the game starts; not called when neither gives one. None: the program has no
  // ranking server, and --server is refused.
  void (*useServer)(const ServerAddress& server) = nullptr;
  // --watch: fetches into `bytes` the replay of the game listed at `place` of difficulty `mode`
  // (netplay asks its ranking server); false after one line on standard error saying why.
  // Without one, the program refuses --watch.
  bool (*listedReplayFetch)(int32_t mode, int32_t place, std::vector<uint8_t>& bytes) = nullptr;
};
extern EditionTraits Edition;
