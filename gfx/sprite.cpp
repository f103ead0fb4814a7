// The sprite banks and the sprite palette.
#include "gfx/sprite.h"

#include <algorithm>

#include "gfx/sprite_palette.h"
#include "gfx/sprite_runs.h"

std::array<SpriteBank, kSpriteBankCount> SpriteBankTable;
uint16_t SpritePalette[256];

void ClearSpriteBanks() {
  for (SpriteBank& bank : SpriteBankTable) {
    std::fill(std::begin(bank.pixels), std::end(bank.pixels), nullptr);
    std::fill(std::begin(bank.runs), std::end(bank.runs), nullptr);
  }
}

void FreeSpriteBanks() {
  for (SpriteBank& bank : SpriteBankTable) {
    for (uint8_t*& block : bank.pixels) {
      delete[] block;
      block = nullptr;
    }
    for (SpriteRuns*& runs : bank.runs) {
      delete runs;
      runs = nullptr;
    }
    // A freed bank holds no frames: sprites loaded again take the first slots, as at start.
    bank.frameCount = 0;
  }
}

void BuildSpritePalette() {
  for (int i = 0; i < 256; ++i) {
    const uint32_t r = (SpriteColourTable[i][0] >> 1) & 31;
    const uint32_t g = (SpriteColourTable[i][1] >> 1) & 31;
    const uint32_t b = (SpriteColourTable[i][2] >> 1) & 31;
    SpritePalette[i] = static_cast<uint16_t>(r << 10 | g << 5 | b);
  }
}
