// One frame's presentation path: the scrolled stage background, the copy to the off-screen
// surface, the four HUD lines, and presentation in the window (dummy video driver).
#include <benchmark/benchmark.h>

#include "gfx/frame.h"
#include "gfx/picture.h"
#include "platform/display.h"
#include "scene.h"

namespace {

void BM_PresentFrame(benchmark::State& state) {
  if (!OpenScene()) {
    state.SkipWithError("no window, font or game data");
    return;
  }
  // HUD lines of the usual shape: "보통게임 123456점 게임 시간 :  65초",
  // "29/100마리 살해 남은몹 71마리", "스테이지1 목표 29%/ 30%", "어텍콤보 3 최고 5".
  const char* lines[] = {
      "\xBA\xB8\xC5\xEB\xB0\xD4\xC0\xD3 123456\xC1\xA1 \xB0\xD4\xC0\xD3 \xBD\xC3\xB0\xA3 :  65\xC3\xCA",
      "29/100\xB8\xB6\xB8\xAE \xBB\xEC\xC7\xD8 \xB3\xB2\xC0\xBA\xB8\xF7 71\xB8\xB6\xB8\xAE",
      "\xBD\xBA\xC5\xD7\xC0\xCC\xC1\xF6" "1 \xB8\xF1\xC7\xA5 29%/ 30%",
      "\xBE\xEE\xC5\xD8\xC4\xDE\xBA\xB8 3 \xC3\xD6\xB0\xED 5",
  };
  int offset = 0;
  for (auto _ : state) {
    ShowPictureScrolled(offset);
    offset = (offset + 10) % 640;
    CopyFrameToOffscreen();
    for (int i = 0; i < 4; ++i) DrawOutlinedText(0, i * 24, lines[i]);
    PresentOffscreen();
  }
  CloseScene();
}
BENCHMARK(BM_PresentFrame)->Unit(benchmark::kMillisecond);

}  // namespace
