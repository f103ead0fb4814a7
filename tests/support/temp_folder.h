#pragma once
// A fresh folder of a test's own under the system's temporary folder, removed with
// everything in it when the object ends.
#include <filesystem>

class TempFolder {
 public:
  // The folder is named from `prefix` and six random characters that make it unique.
  explicit TempFolder(const char* prefix = "brakkel-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Makes the folder the working directory; the one of before is back when the object ends.
  void Enter();

 private:
  std::filesystem::path path_;
  std::filesystem::path before_;  // the working directory Enter() left; empty if never entered
};
