#pragma once
// Where the build put the game data, and reading it (ReadFileBytes of support/files.h).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/files.h"

// The build's data folder: as CTest sets it, else the data folder beside the folder
// that holds this test program.
inline std::string DataDir() {
  const char* dir = std::getenv("BRAKKEL_DATA_DIR");
  if (dir && *dir) return dir;
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string("data") : (self.parent_path().parent_path() / "data").string();
}

inline std::string DataPath(const std::string& name) { return DataDir() + "/" + name; }

inline int Le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
inline int32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
                              (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24));
}
inline uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return (static_cast<uint32_t>(b[at]) << 24) | (static_cast<uint32_t>(b[at + 1]) << 16) |
         (static_cast<uint32_t>(b[at + 2]) << 8) | b[at + 3];
}

// Runs a command and returns what it printed (first 4 KiB); empty if it could not run.
inline std::string CommandOutput(const std::string& command) {
  std::string out;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n = std::fread(buffer, 1, sizeof buffer, pipe);
  out.assign(buffer, n);
  pclose(pipe);
  return out;
}
