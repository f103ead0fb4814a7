// Drawing sprite frames into the FrameBuffer: run by run where the loader made runs, clipped
// to the frame, one palette index tinted on request.
#include <algorithm>
#include <cstring>

#include "gfx/frame.h"
#include "gfx/sprite.h"
#include "gfx/sprite_runs.h"

namespace {

// The SpritePalette as the frames' colours were last made from it, and a count of its
// changes: a frame whose colours carry an older count makes them again before it is drawn.
uint16_t paletteSeen[256];
uint32_t paletteVersion = 1;

void FollowPalette(SpriteRuns& runs) {
  if (std::memcmp(paletteSeen, SpritePalette, sizeof paletteSeen) != 0) {
    std::memcpy(paletteSeen, SpritePalette, sizeof paletteSeen);
    ++paletteVersion;
  }
  if (runs.paletteVersion == paletteVersion) return;
  for (uint32_t i = 0; i < runs.opaque; ++i) runs.colours[i] = SpritePalette[runs.indices[i]];
  runs.paletteVersion = paletteVersion;
}

// Sixteen pixels at a time in the processor's vector registers (a GCC and Clang extension).
using Indices16 = uint8_t __attribute__((vector_size(16)));
using Pixels8 = uint16_t __attribute__((vector_size(16)));

// n opaque pixels: those of index `from` in the tint, the others in their own colours.
void PaintRun(uint16_t* out, const uint8_t* index, const uint16_t* colour, int64_t n, uint8_t from, uint16_t tint) {
  if (n < 16) {
    for (int64_t i = 0; i < n; ++i) out[i] = index[i] == from ? tint : colour[i];
    return;
  }
  const Indices16 from16 = Indices16{} + from;
  const Pixels8 tint8 = Pixels8{} + tint;
  auto paintSixteen = [&](int64_t i) {
    Indices16 indices;
    std::memcpy(&indices, index + i, sizeof indices);
    // Each byte of the comparison (0 or 0xFF) widened to a 16-bit mask for its pixel.
    const Indices16 isTint = reinterpret_cast<Indices16>(indices == from16);
    const auto low = reinterpret_cast<Pixels8>(
        __builtin_shufflevector(isTint, isTint, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7));
    const auto high = reinterpret_cast<Pixels8>(
        __builtin_shufflevector(isTint, isTint, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15));
    Pixels8 ownLow;
    Pixels8 ownHigh;
    std::memcpy(&ownLow, colour + i, sizeof ownLow);
    std::memcpy(&ownHigh, colour + i + 8, sizeof ownHigh);
    const Pixels8 paintedLow = ownLow ^ ((ownLow ^ tint8) & low);
    const Pixels8 paintedHigh = ownHigh ^ ((ownHigh ^ tint8) & high);
    std::memcpy(out + i, &paintedLow, sizeof paintedLow);
    std::memcpy(out + i + 8, &paintedHigh, sizeof paintedHigh);
  };
  for (int64_t i = 0; i + 16 <= n; i += 16) paintSixteen(i);
  // The last sixteen again, overlapping those already painted with the same values.
  if (n % 16 != 0) paintSixteen(n - 16);
}

// Frames whose runs were never made (pixels put into a bank by hand): pixel by pixel.
void DrawPixelByPixel(const uint8_t* pixels, int32_t width, int64_t c0, int64_t c1, int64_t r0, int64_t r1,
                      uint8_t from, uint8_t to, int32_t x, int32_t y) {
  uint16_t colours[256];
  std::memcpy(colours, SpritePalette, sizeof colours);
  if (from != kSpriteTransparent) colours[from] = SpritePalette[to];
  for (int64_t r = r0; r < r1; ++r) {
    const uint8_t* src = pixels + r * width + c0;
    uint16_t* dst = FrameBuffer + (y + r) * kFrameWidth + (x + c0);
    for (int64_t c = 0; c < c1 - c0; ++c) {
      if (src[c] != kSpriteTransparent) dst[c] = colours[src[c]];
    }
  }
}

}  // namespace

void DrawSpriteTinted(int32_t bank, int32_t frame, uint8_t from, uint8_t to, int32_t x, int32_t y) {
  if (!ValidSpriteBank(bank) || frame < 0 || frame >= kSpriteFramesPerBank) return;
  const SpriteBank& source = SpriteBankTable[bank];
  const uint8_t* pixels = source.pixels[frame];
  const int32_t width = source.width[frame];
  const int32_t height = source.height[frame];
  if (pixels == nullptr || width <= 0 || height <= 0) return;
  // The visible columns and rows, worked out in 64 bits so far-off positions cannot overflow;
  // the result equals testing every pixel against the screen's edges.
  const int64_t c0 = std::max<int64_t>(0, -static_cast<int64_t>(x));
  const int64_t c1 = std::min<int64_t>(width, kFrameWidth - static_cast<int64_t>(x));
  const int64_t r0 = std::max<int64_t>(0, -static_cast<int64_t>(y));
  const int64_t r1 = std::min<int64_t>(height, kFrameHeight - static_cast<int64_t>(y));
  if (c0 >= c1 || r0 >= r1) return;
  SpriteRuns* runs = source.runs[frame];
  if (runs == nullptr || runs->rows != height) {
    DrawPixelByPixel(pixels, width, c0, c1, r0, r1, from, to, x, y);
    return;
  }
  FollowPalette(*runs);
  // Opaque pixels never hold the transparent index, so a `from` of 255 tints none of them.
  const uint16_t tint = SpritePalette[to];
  for (int64_t r = r0; r < r1; ++r) {
    // Where column 0 of this row lands; only visible columns (c0 and up) are addressed.
    const int64_t rowAt = (y + r) * kFrameWidth + static_cast<int64_t>(x);
    for (uint32_t k = runs->rowStart[r]; k < runs->rowStart[r + 1]; ++k) {
      const SpriteRun& run = runs->runs[k];
      const int64_t start = std::max<int64_t>(run.start, c0);
      const int64_t end = std::min<int64_t>(run.start + run.length, c1);
      if (start >= end) continue;
      const size_t at = run.first + static_cast<size_t>(start - run.start);
      PaintRun(FrameBuffer + rowAt + start, runs->indices.get() + at, runs->colours.get() + at, end - start, from,
               tint);
    }
  }
}

void DrawSprite(int32_t bank, int32_t frame, int32_t x, int32_t y) {
  // Transparency is tested first, so a `from` of 255 never matches: no pixel is tinted.
  DrawSpriteTinted(bank, frame, kSpriteTransparent, 0, x, y);
}
