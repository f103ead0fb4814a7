#pragma once
// Builds sprite files (".ani") in memory for tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gfx/ani_format.h"

struct AniFrame {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // width * height palette indices, row-major
};

inline void PutInt32(std::vector<uint8_t>& out, int32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
}

// The magic, the frame count and the frames.
inline std::vector<uint8_t> AniBytes(const std::vector<AniFrame>& frames) {
  std::vector<uint8_t> out(kAniMagic, kAniMagic + kAniMagicBytes);
  PutInt32(out, static_cast<int32_t>(frames.size()));
  for (const AniFrame& f : frames) {
    PutInt32(out, f.width);
    PutInt32(out, f.height);
    out.insert(out.end(), f.pixels.begin(), f.pixels.end());
  }
  return out;
}

// A frame of one colour.
inline AniFrame SolidFrame(int32_t width, int32_t height, uint8_t index) {
  return AniFrame{width, height, std::vector<uint8_t>(static_cast<size_t>(width * height), index)};
}

inline std::string WriteTempFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string path = ::testing::TempDir() + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  return path;
}
