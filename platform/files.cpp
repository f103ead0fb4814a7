// What the systems' file code shares: the names of the temporary files a save makes, and
// paths in UTF-8.
#include <cstring>

#include "platform/files.h"

namespace platform {

bool IsSaveTemporaryName(const char* entry, std::span<const char* const> names) {
  const size_t length = std::strlen(entry);
  for (const char* name : names) {
    const size_t n = std::strlen(name);
    if (length != n + 8 || entry[0] != '.' || std::strncmp(entry + 1, name, n) != 0 || entry[n + 1] != '.') continue;
    bool random = true;
    for (size_t i = n + 2; i < length; ++i) {
      const char c = entry[i];
      random = random && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
    }
    if (random) return true;
  }
  return false;
}

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

}  // namespace platform
