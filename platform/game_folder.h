#pragma once
// The folder the game plays in. The programs read their data and keep their rankings in
// the working directory: a folder that holds game data is played as it is; from anywhere
// else a program moves into its player's own folder and brings the game data there up to
// date.
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
// Empty when no home folder is known. On Windows: %APPDATA%/brakkel (SDL's per-user folder).
std::string UserGameFolder();

// The player's remembered settings: $XDG_CONFIG_HOME/brakkel/settings.ini when
// XDG_CONFIG_HOME is an absolute path (unset, empty or relative: ~/.config/brakkel/...).
// Empty when no home folder is known. On Windows: settings.ini in the game folder.
std::string UserSettingsFile();

// How --help names the settings file and the per-user game folder on this system, each
// ending in a newline and never longer than the usage's 80 columns a line.
extern const char* const kSettingsFileShown;
extern const char* const kGameFolderShown;
// The last line of --help: where the program is told of at length ("See soloplay(6)." for
// the manual page; on Windows, which has none, the README beside the programs).
std::string MoreAboutShown(const std::string& program);

// The running program's own path (Linux: /proc/self/exe; Windows: the module's name, in UTF-8
// with '/' separators); empty when it cannot be read.
std::string ProgramPath();

// The folder holding all seven data files for the program at 'programPath': the
// installed data (<program's folder>/../share/brakkel) or, for a program in the build
// tree, the build's data folder (<program's folder>/../data). Empty when neither holds
// them all.
std::string FindGameData(const std::string& programPath);

// True when 'folder' holds any of the seven data files (a regular file, or a link to one).
bool HoldsGameData(const std::string& folder);

// Chooses the folder the game plays in and makes it the working directory. A working
// directory that holds any of the data files is a player's own game: the game plays there
// with what it holds, and nothing is copied over it. Otherwise 'gameFolder' (the per-user
// folder) is made if missing (with its missing parents, mode 0700), each data file from
// 'dataFolder' whose copy there is missing or differs is copied (through a temporary file
// and a rename, so a copy is never left half written), every other file there is left
// alone (the rankings), and the game plays there; started in 'gameFolder' itself, it is
// refreshed all the same. Never fails: what goes wrong is said on standard error, and the
// game plays on with the files it finds (an empty 'dataFolder' copies nothing; a
// 'gameFolder' that cannot be had leaves the working directory as it was).
void EnterGameFolder(const std::string& dataFolder, const std::string& gameFolder);

// The programs' call before the window opens: the data found beside the running program,
// the player's own folder.
void EnterGameFolder();

}  // namespace platform
