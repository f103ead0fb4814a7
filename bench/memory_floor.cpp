// The memory floor: the least any frame costs on its way to the window, whatever it shows.
// Its 614,400 bytes are written into the FrameBuffer once (a plain copy of a finished frame),
// and that frame is converted once into 32-bit window pixels (1,228,800 bytes written) by the
// game's own conversion. Left out: all drawing and text, comparing with what the window
// already shows, and the window system's own copy. Linked into every benchmark program, so
// each program's figures can be set against a floor measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>

#include "gfx/frame.h"
#include "platform/display.h"
#include "scene.h"

namespace {

uint16_t finished[kFramePixels];
uint32_t windowPixels[kFramePixels];

void BM_MemoryFloor(benchmark::State& state) {
  // The finished frame is one of the heaviest stage's.
  HeaviestStage stage;
  if (!OpenHeaviestStage(state, stage)) return;
  stage.screen.Frame();
  std::memcpy(finished, FrameBuffer, sizeof finished);
  CloseScene();
  for (auto _ : state) {
    std::memcpy(FrameBuffer, finished, sizeof FrameBuffer);
    platform::WidenRgb555Frame(FrameBuffer, windowPixels);
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(windowPixels[kFramePixels - 1]);
}
BENCHMARK(BM_MemoryFloor)->Unit(benchmark::kMillisecond);

}  // namespace
