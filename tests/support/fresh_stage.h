#pragma once
// A world as a stage of a fresh game finds it, for the tests that play stages: no sprite banks
// (the palette built all the same), the counters zero with the game started at `gameStart`,
// every mob record empty, the chicken where it starts, the generator seeded.
#include <cstdint>

#include "game/stage.h"
#include "game/world.h"
#include "gfx/sprite.h"

inline void FreshStage(World& world, FieldView& view, uint32_t gameStart, uint32_t seed) {
  FreeSpriteBanks();
  SpriteBankTable = {};
  BuildSpritePalette();
  world = World{};
  view = FieldView{};
  view.startClock = gameStart;
  world.random.Seed(seed);
}
