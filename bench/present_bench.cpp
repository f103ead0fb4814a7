// One frame's presentation path: the scrolled stage background, the copy to the off-screen
// surface, the four HUD lines, and presentation in the window (dummy video driver).
#include <benchmark/benchmark.h>

#include <cstdio>

#include "gfx/frame.h"
#include "gfx/picture.h"
#include "platform/display.h"
#include "scene.h"
#include "text/texts.h"

namespace {

void BM_PresentFrame(benchmark::State& state) {
  if (!OpenScene()) {
    state.SkipWithError("no window, font or game data");
    return;
  }
  // The HUD's four lines as a game of the normal difficulty shows them.
  char lines[4][128];
  std::snprintf(lines[0], sizeof lines[0], kHudTimeFormat, kNormalModeName, 123456, 65);
  std::snprintf(lines[1], sizeof lines[1], kHudMobFormat, 29, 100, 71, 0);
  std::snprintf(lines[2], sizeof lines[2], kHudStageFormat, 1, 29, 30);
  std::snprintf(lines[3], sizeof lines[3], kHudComboFormat, 3, 5);
  int offset = 0;
  for (auto _ : state) {
    ShowPictureScrolled(offset);
    offset = (offset + 10) % kFrameWidth;
    CopyFrameToOffscreen();
    for (int i = 0; i < 4; ++i) DrawOutlinedText(0, i * 24, lines[i]);
    PresentOffscreen();
  }
  CloseScene();
}
BENCHMARK(BM_PresentFrame)->Unit(benchmark::kMillisecond);

}  // namespace
