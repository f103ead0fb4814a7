// The per-user folders of the XDG layout and the running program's path, on Linux.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/game_folder.h"

namespace platform {
namespace {

// The home folder from $HOME, else from the user database; empty when neither is absolute.
std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') {
    const passwd* user = getpwuid(getuid());
    home = user ? user->pw_dir : nullptr;
  }
  return home && home[0] == '/' ? home : "";
}

}  // namespace

const char* const kSettingsFileShown =
    "  $XDG_CONFIG_HOME/brakkel/settings.ini\n"
    "  (~/.config/brakkel/settings.ini when XDG_CONFIG_HOME is not set)\n";
const char* const kGameFolderShown =
    "  $XDG_DATA_HOME/brakkel\n"
    "  (~/.local/share/brakkel when XDG_DATA_HOME is not set)\n";

std::string MoreAboutShown(const std::string& program) { return "See " + program + "(6).\n"; }

std::string UserGameFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return std::string(data) + "/brakkel";
  const std::string home = HomeFolder();
  return home.empty() ? "" : home + "/.local/share/brakkel";
}

std::string UserSettingsFile() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/brakkel/settings.ini";
  const std::string home = HomeFolder();
  return home.empty() ? "" : home + "/.config/brakkel/settings.ini";
}

std::string ProgramPath() {
  std::vector<char> path(4096);
  ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<size_t>(n) >= path.size()) return "";
  return std::string(path.data(), static_cast<size_t>(n));
}

}  // namespace platform
