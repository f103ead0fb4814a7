#pragma once
// Windows' own text is UTF-16; the game's paths and arguments are UTF-8. For the Windows
// files of platform/ only.
#include <string>

namespace platform {

// A zero-terminated UTF-16 text as UTF-8 (empty for an empty or unconvertible one).
std::string Utf8FromWide(const wchar_t* wide);

}  // namespace platform
