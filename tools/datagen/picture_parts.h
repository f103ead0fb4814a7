#pragma once
// What the full-screen pictures' drawing files share.
#include <cstdint>
#include <cstring>
#include <string>

#include "text/cp949.h"

namespace datagen {

// A small deterministic generator for scattering details.
class Scatter {
 public:
  explicit Scatter(uint32_t seed) : state_(seed) {}
  float Next() {  // 0..1
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<float>(state_ >> 8) / static_cast<float>(1u << 24);
  }
  float Range(float lo, float hi) { return lo + (hi - lo) * Next(); }

 private:
  uint32_t state_;
};

// Code page 949 text (as the game holds it) to UTF-8 for the renderer.
inline std::string Utf8(const char* cp949) {
  char out[256];
  Cp949ToUtf8(cp949, std::strlen(cp949), out, sizeof out);
  return out;
}

}  // namespace datagen
