#pragma once
// What the benchmarks draw: the game's own data and the heaviest stage it plays.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "app/stage_screen.h"
#include "game/stage.h"
#include "game/world.h"

// A stage on the screen in a world of its own.
struct HeaviestStage {
  World world;
  FieldView view;
  StageScreen screen{world, view};
};

// Opens the window (SDL's dummy drivers unless others are set) and the font, and loads the
// sprite files and the stage background from BRAKKEL_DATA_DIR, else from the build's data
// folder. False when any of it is missing.
bool OpenScene();
// OpenScene and then the heaviest stage (tests/support/heaviest_stage.h, as the full-load tests
// play it: 5000 mob records active, 250 across the screen and past its edges, the chicken
// attacking, under the fake clock); false, with the benchmark skipped, when the scene cannot be
// opened.
bool OpenHeaviestStage(benchmark::State& state, HeaviestStage& stage);
// Releases the sprite frames (so the next benchmark can load them again) and the fake clock.
void CloseScene();
