// Cutting a sprite frame's rows into runs of opaque pixels.
#include "gfx/sprite_runs.h"

#include <cstddef>
#include <new>

#include "gfx/sprite.h"

namespace {

// Allocates the runs' tables for a frame of `height` rows, `runCount` runs and `opaque`
// opaque pixels; null when there is no memory for them.
std::unique_ptr<SpriteRuns> AllocateRuns(int32_t height, uint32_t runCount, uint32_t opaque) {
  std::unique_ptr<SpriteRuns> made(new (std::nothrow) SpriteRuns);
  if (!made) return nullptr;
  made->rows = height;
  made->opaque = opaque;
  made->rowStart.reset(new (std::nothrow) uint32_t[static_cast<size_t>(height) + 1]);
  made->runs.reset(new (std::nothrow) SpriteRun[runCount]);
  made->indices.reset(new (std::nothrow) uint8_t[opaque]);
  made->colours.reset(new (std::nothrow) uint16_t[opaque]);
  if (!made->rowStart || !made->runs || !made->indices || !made->colours) return nullptr;
  return made;
}

// Fills the runs of one row from its pixels; `run` and `at` are the next run and the next
// opaque pixel, and move on past this row's.
void CutRow(const uint8_t* row, int32_t width, SpriteRuns& made, uint32_t& run, uint32_t& at) {
  for (int32_t c = 0; c < width;) {
    if (row[c] == kSpriteTransparent) {
      ++c;
      continue;
    }
    SpriteRun& next = made.runs[run++];
    next.start = static_cast<uint16_t>(c);
    next.first = at;
    for (; c < width && row[c] != kSpriteTransparent; ++c) made.indices[at++] = row[c];
    next.length = static_cast<uint16_t>(c - next.start);
  }
}

}  // namespace

std::unique_ptr<SpriteRuns> MakeSpriteRuns(const uint8_t* pixels, int32_t width, int32_t height) {
  uint32_t runCount = 0;
  uint32_t opaque = 0;
  for (int32_t i = 0; i < width * height; ++i) {
    if (pixels[i] == kSpriteTransparent) continue;
    ++opaque;
    if (i % width == 0 || pixels[i - 1] == kSpriteTransparent) ++runCount;
  }
  std::unique_ptr<SpriteRuns> made = AllocateRuns(height, runCount, opaque);
  if (!made) return nullptr;
  uint32_t run = 0;
  uint32_t at = 0;
  for (int32_t r = 0; r < height; ++r) {
    made->rowStart[r] = run;
    CutRow(pixels + static_cast<size_t>(r) * width, width, *made, run, at);
  }
  made->rowStart[height] = run;
  return made;
}
