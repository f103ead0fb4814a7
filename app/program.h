#pragma once
// The whole of a game program's main: its command line, the remembered settings, the folder
// it plays in, the game.
#include <string>
#include <vector>

// Reads the command line of the program called `name`: --help and --version print and
// return 0, a bad option says why in one line on standard error and returns 2, all without
// a window or any file touched. Otherwise the remembered settings and the options choose the
// window and the music, `enterFolder` moves into the folder the game plays in, the game runs
// (RunProgram), and a setting the player changed during the run is remembered. Returns the
// program's exit status.
// `arguments` are the program's own (its name first), in UTF-8: platform::ProgramArguments.
int RunGameProgram(const char* name, const std::vector<std::string>& arguments, void (*enterFolder)());
