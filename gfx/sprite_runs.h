#pragma once
// A sprite frame's opaque pixels, row by row in runs: made by the loader when a frame is read,
// followed by drawing so that transparent pixels cost nothing.
#include <cstdint>
#include <memory>

// One run of opaque pixels in a frame's row.
struct SpriteRun {
  uint16_t start = 0;  // its first column
  uint16_t length = 0;
  uint32_t first = 0;  // its first pixel among the frame's opaque pixels
};

struct SpriteRuns {
  int32_t rows = 0;
  std::unique_ptr<uint32_t[]> rowStart;  // rows + 1: row r's runs are [rowStart[r], rowStart[r + 1])
  std::unique_ptr<SpriteRun[]> runs;
  // The opaque pixels run after run: their palette indices, and their colours in the
  // SpritePalette as it was when paletteVersion was current.
  std::unique_ptr<uint8_t[]> indices;
  std::unique_ptr<uint16_t[]> colours;
  uint32_t opaque = 0;
  uint32_t paletteVersion = 0;
};

// The runs of a frame of width x height palette indices (row-major, kSpriteTransparent
// transparent); null when there is no memory for them.
std::unique_ptr<SpriteRuns> MakeSpriteRuns(const uint8_t* pixels, int32_t width, int32_t height);
