// The per-user folder and the running program's path on Windows. Paths are handed on in
// UTF-8 with '/' between their parts, which Windows takes as well as '\'.
#include <SDL_filesystem.h>
#include <SDL_stdinc.h>
#include <windows.h>

#include <string>

#include "platform/game_folder.h"

namespace platform {
namespace {

std::string WithSlashes(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

// SDL's per-user folder for the game, %APPDATA%\brakkel (made if missing), without its
// last separator; empty when Windows names none.
std::string PreferenceFolder() {
  char* path = SDL_GetPrefPath("", "brakkel");
  if (!path) return "";
  std::string folder = WithSlashes(path);
  SDL_free(path);
  while (folder.size() > 3 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

const char* const kSettingsFileShown =
    "  %APPDATA%\\brakkel\\settings.ini\n"
    "  (for example C:\\Users\\NAME\\AppData\\Roaming\\brakkel\\settings.ini)\n";
const char* const kGameFolderShown =
    "  %APPDATA%\\brakkel\n"
    "  (for example C:\\Users\\NAME\\AppData\\Roaming\\brakkel)\n";

std::string MoreAboutShown(const std::string&) { return "See README.txt beside the game's programs.\n"; }

std::string UserGameFolder() { return PreferenceFolder(); }

std::string UserSettingsFile() {
  const std::string folder = PreferenceFolder();
  return folder.empty() ? "" : folder + "/settings.ini";
}

std::string ProgramPath() {
  std::wstring path(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (n == 0 || n >= path.size()) return "";
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(n), nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return "";
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(n), utf8.data(), bytes, nullptr, nullptr);
  return WithSlashes(utf8);
}

}  // namespace platform
