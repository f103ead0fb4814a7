// The tests' temporary folders.
#include "support/temp_folder.h"

#include <random>
#include <string>
#include <system_error>

TempFolder::TempFolder(const char* prefix) {
  // Six random letters or digits, as mkdtemp would pick them; creating the folder is what
  // proves the name free.
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  std::error_code error;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = std::string(prefix) + "-";
    for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    const std::filesystem::path candidate = std::filesystem::temp_directory_path() / name;
    if (std::filesystem::create_directory(candidate, error)) {
      path_ = candidate;
      return;
    }
    if (error) throw std::system_error(error, "temporary folder");
  }
  throw std::system_error(std::make_error_code(std::errc::file_exists), "temporary folder");
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
