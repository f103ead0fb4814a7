#pragma once
// The heaviest stage the game plays, set up alike by the full-load tests (tests/fullload/) and
// the benchmarks (bench/): 5000 mob records in play, 250 of them across the screen and past all
// four edges, the rest walking in from far right, and the chicken attacking, under the fake
// clock. The sprites and the background are each one's own (made by the tests, the generated
// data for the benchmarks); the frame checksums of tests/fullload/ pin this placing.
#include <cstdint>

#include "app/stage_screen.h"
#include "app/window.h"
#include "game/world.h"
#include "platform/clock.h"
#include "platform/display.h"

inline constexpr uint32_t kHeaviestClockStart = 100000;
inline constexpr int32_t kHeaviestOnScreen = 250;

// A fresh world in the normal mode with lives to spare, its generator seeded, and the game's
// clock and the fake clock at kHeaviestClockStart.
inline void ResetForHeaviestStage(World& world, FieldView& view) {
  world = World{};
  world.counters.gameMode = GameMode::Normal;
  world.counters.lives = 1000000;
  world.random.Seed(7);
  view = FieldView{};
  view.startClock = kHeaviestClockStart;
  platform::UseFakeClock(kHeaviestClockStart);
}

// Starts stage `stage` on the screen with `count` mob records in play (all 5000 unless told):
// the first 250 across the screen and past all four edges, the rest walking in from far right.
// Space is held: the chicken attacks.
inline void StartHeaviestStage(StageScreen& screen, int32_t stage, int32_t count = kMobPoolSize) {
  screen.Start(stage, count, 100);
  for (int32_t i = 0; i < count; ++i) {
    Mob& mob = screen.world.mobs[i];
    if (i < kHeaviestOnScreen) {
      mob.x = -140 + (i * 780) / kHeaviestOnScreen;
      mob.y = -60 + (i * 53) % 560;
    } else {
      mob.x = 700 + (i % 150) * 100;
    }
  }
  InputState.keyDown[platform::VK_SPACE] = 1;
}
