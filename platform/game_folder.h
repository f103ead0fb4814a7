#pragma once
// The per-user game folder. The programs read their data and keep their rankings in the
// working directory; an installed program, started from any directory, first moves into
// its player's own folder and brings the game data there up to date.
#include <string>

namespace platform {

// The seven data files the game reads by their plain names.
inline constexpr const char* kGameDataFiles[] = {"logo.pcx", "level.pcx", "back.pcx", "chicken.ani",
                                                 "foot.ani", "mop.ani",   "bgm.mp3"};

// Where the installed data lies, seen from the folder of the installed programs
// ("../share/brakkel" for the usual layout).
extern const char* const kInstalledDataFromPrograms;

// $XDG_DATA_HOME/brakkel when XDG_DATA_HOME is an absolute path, else
// ~/.local/share/brakkel (the home folder from $HOME, else from the user database).
// Empty when no home folder is known.
std::string UserGameFolder();

// The running program's own path, from /proc/self/exe; empty when it cannot be read.
std::string ProgramPath();

// The folder holding all seven data files for the program at 'programPath': the
// installed data (<program's folder>/../share/brakkel) or, for a program in the build
// tree, the build's data folder (<program's folder>/../data). Empty when neither holds
// them all.
std::string FindGameData(const std::string& programPath);

// Makes 'gameFolder' (and its missing parents, mode 0700), copies each data file from
// 'dataFolder' whose copy there is missing or differs (through a temporary file and a
// rename, so a copy is never left half written), leaves every other file there alone
// (the rankings) and makes 'gameFolder' the working directory. On failure says why on
// standard error and returns false; the working directory is then unchanged.
bool EnterGameFolder(const std::string& dataFolder, const std::string& gameFolder);

// The programs' call before the window opens: the data found from the running program,
// the player's own folder.
bool EnterGameFolder();

}  // namespace platform
