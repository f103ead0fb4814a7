#pragma once
// The game programs' command line: the options a run takes, read without touching anything.
#include <cstdint>
#include <optional>
#include <string>

#include "app/server_address.h"

// What the command line asks of one run; an option not given stays empty, and the
// remembered settings decide.
struct GameOptions {
  std::optional<int> scale = {};  // 1 to 8
  std::optional<bool> fullscreen = {};
  std::optional<bool> mute = {};
  std::optional<ServerAddress> server = {};  // --server HOST[:PORT], netplay's ranking server
  std::string verifyFile = {};               // --verify FILE
  std::string replayFile = {};               // --replay FILE
  int32_t watchMode = -1;                    // --watch DIFFICULTY:PLACE: 0 easy, 1 normal, 2 hardcore
  int32_t watchPlace = 0;                    // and the place in that difficulty's listing, 1 to 20
};

enum class CommandLineAction {
  Run,      // play, with the options read
  Help,     // print the usage and stop
  Version,  // print the name and version and stop
  Verify,   // play the replay `verifyFile` again headless and tell whether it holds
  Replay,   // show the replay `replayFile` in the window, with the window options read
  Watch,    // fetch the listed game `watchMode`, `watchPlace` from the ranking server and show it
  Bad,      // an unknown option or a bad value: the reason is in `error`
};

inline constexpr int kLargestScale = 8;

// Reads the arguments after the program's name, left to right: --help and --version end
// the reading where they stand, and so does --verify FILE; --replay FILE takes the window
// options beside it, and so does --watch DIFFICULTY:PLACE (easy, normal or hardcore, and 1 to
// 20); a later --fullscreen or --window overrides an earlier one, and so does a later --scale,
// --server, --replay or --watch (--replay and --watch together are refused). Values come as
// "--scale N" or "--scale=N". Bad gives a one-line reason in `error`.
CommandLineAction ReadCommandLine(int argc, const char* const* argv, GameOptions& options, std::string& error);

// The usage text for --help, naming the program; `online`: the program has a ranking server
// (netplay), and its usage tells --server and --watch.
std::string UsageText(const char* program, bool online = false);
