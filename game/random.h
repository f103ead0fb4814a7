#pragma once
// The game's own random numbers: the classic linear congruential generator, so that a
// seed gives the same sequence on every system. Never the C library's rand.
#include <cstdint>

struct GameRandomState {
  uint32_t state = 1;
};
extern GameRandomState GameRandom;

// Starts the sequence anew from a seed.
void GameSrand(uint32_t seed);
// The next number, 0..32767: state = state * 214013 + 2531011, bits 16..30 of it.
int32_t GameRand();
