// One frame's presentation path: scrolled background, copy to the off-screen surface,
// the four HUD lines, and presentation in the window (dummy video driver).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "gfx/frame.h"
#include "gfx/picture.h"
#include "platform/display.h"
#include "platform/text.h"

namespace {

void BM_PresentFrame(benchmark::State& state) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  if (!platform::OpenWindow("Brakkel!!") || !platform::LoadGameFont()) {
    state.SkipWithError("no window or font");
    return;
  }
  InitOffscreen();
  InitRowOffsets();
  for (int i = 0; i < kPictureBytes; ++i) BackgroundPicture[i] = static_cast<uint8_t>(i * 7 + i / 640);
  for (int i = 0; i < kColourTableBytes; ++i) PictureColourTable[i] = static_cast<uint8_t>(i * 5);
  RebuildScreenPalette();
  // HUD lines of the usual shape: mode, score and time; kills; stage; combo.
  const char* lines[] = {
      "\xBA\xB8\xC5\xEB\xB0\xD4\xC0\xD3 123456\xC1\xA1 \xB0\xD4\xC0\xD3 \xBD\xC3\xB0\xA3 :  65\xC3\xCA",
      "29/100\xB8\xB6\xB8\xAE \xBB\xEC\xC7\xD8 \xB3\xB2\xC0\xBA\xB8\xF3 71\xB8\xB6\xB8\xAE",
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
}
BENCHMARK(BM_PresentFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
