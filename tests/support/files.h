#pragma once
// A whole file read at once, as bytes or as text: empty when it cannot be read.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// A path from a UTF-8 name (the game's names are UTF-8: "순위.txt"). A path made from a plain
// char string takes the system's code page on Windows, which is not UTF-8 there.
inline std::filesystem::path Utf8Path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string ReadFileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The same by a UTF-8 name.
inline std::string ReadFileText(const char* utf8) { return ReadFileText(Utf8Path(utf8)); }
inline std::vector<uint8_t> ReadFileBytes(const char* utf8) { return ReadFileBytes(Utf8Path(utf8)); }
