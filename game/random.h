#pragma once
// The game's own random numbers: the classic linear congruential generator, so that a
// seed gives the same sequence on every system. Never the C library's rand.
#include <cstdint>

struct GameRandom {
  uint32_t state = 1;

  // Starts the sequence anew from a seed.
  void Seed(uint32_t seed) { state = seed; }
  // The next number, 0..32767: state = state * 214013 + 2531011, bits 16..30 of it.
  int32_t Next() {
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>((state >> 16) & 0x7FFF);
  }
};
