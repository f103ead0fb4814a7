// The tests' temporary folders.
#include "support/temp_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <string>
#include <system_error>

TempFolder::TempFolder(const char* prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category(), "mkdtemp");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!before_.empty()) std::filesystem::current_path(before_, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void TempFolder::Enter() {
  if (before_.empty()) before_ = std::filesystem::current_path();
  std::filesystem::current_path(path_);
}
