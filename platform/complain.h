#pragma once
// What the game has to tell the player on standard error: one line each, after the
// running program's name ("soloplay: the settings file ... is damaged ...").
#include <string>
#include <vector>

namespace platform {

// The running program's name: the last part of its own path (ProgramPath in
// game_folder.h), "brakkel" when that cannot be read.
const char* ProgramName();

// A windowed Windows program has no standard streams of its own: started from a console, it
// writes to that console from here on. Elsewhere (and when the streams go to files or pipes)
// nothing changes. The programs call it first.
void ConnectStandardStreams();

// The program's arguments, its name first, in UTF-8 as every file function takes them. A POSIX
// system's are `argv` as given. Windows hands `main` its arguments in the ANSI code page, which
// loses a Korean folder's name: they are read again from the UTF-16 command line (`argc` and
// `argv` only when that cannot be had).
std::vector<std::string> ProgramArguments(int argc, const char* const* argv);

// Writes "<ProgramName()>: ", the printf-formatted message and a newline to standard
// error, as one write.
void Complain(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace platform
