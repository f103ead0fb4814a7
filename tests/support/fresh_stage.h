#pragma once
// The game's state as a stage of a fresh game finds it, for the tests that play stages: no
// sprite banks (the palette built all the same), the counters zero with the game started at
// `gameStart`, every mob record empty, the chicken where it starts, the generator seeded.
#include <cstdint>

#include "game/counters.h"
#include "game/mob.h"
#include "game/player.h"
#include "game/random.h"
#include "gfx/frame.h"
#include "gfx/sprite.h"

inline void FreshStage(uint32_t gameStart, uint32_t seed) {
  InitRowOffsets();
  FreeSpriteBanks();
  SpriteBankTable = {};
  BuildSpritePalette();
  Counters = GameCounters{};
  Counters.gameStartTime = gameStart;
  MobPool = {};
  Player = PlayerRecord{};
  GameSrand(seed);
}
