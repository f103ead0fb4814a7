// One stage frame at the heaviest load: all 5000 mob records active, 250 of them on screen,
// the chicken attacking, the HUD and the stage banner at its largest, composed, text drawn
// and presented (headless under SDL's dummy video driver).
#include <benchmark/benchmark.h>

#include <array>

#include "game/world.h"
#include "gfx/frame.h"
#include "scene.h"

namespace {

void BM_StageFrameFullPool(benchmark::State& state) {
  HeaviestStage stage;
  if (!OpenHeaviestStage(state, stage)) return;
  const MobPool placed = stage.world.mobs;
  const int32_t lives = stage.world.counters.lives;
  for (auto _ : state) {
    state.PauseTiming();
    stage.world.mobs = placed;
    stage.world.counters.lives = lives;
    stage.screen.run.stageBannerTicks = 49;  // drawn at size 50
    state.ResumeTiming();
    stage.screen.Frame();
  }
  benchmark::DoNotOptimize(FrameBuffer[0]);
  state.counters["onScreen"] = 250;
  CloseScene();
}
BENCHMARK(BM_StageFrameFullPool)->Unit(benchmark::kMillisecond);

}  // namespace
