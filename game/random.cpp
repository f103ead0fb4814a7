#include "game/random.h"

GameRandomState GameRandom;

void GameSrand(uint32_t seed) { GameRandom.state = seed; }

int32_t GameRand() {
  GameRandom.state = GameRandom.state * 214013u + 2531011u;
  return static_cast<int32_t>((GameRandom.state >> 16) & 0x7FFF);
}
