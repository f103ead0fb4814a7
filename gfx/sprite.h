#pragma once
// The sprite banks, the shared sprite palette and sprite drawing; gfx/sprite_file.h loads
// ".ani" files into the banks.
#include <array>
#include <cstdint>

inline constexpr int kSpriteBankCount = 60;
inline constexpr int kSpriteFramesPerBank = 100;
// Frames wider or taller than this are taken for a damaged file.
inline constexpr int32_t kSpriteMaxSide = 4096;
inline constexpr uint8_t kSpriteTransparent = 255;

// Banks 0, 1 and 2 hold the chicken's body, its feet and the mobs.
inline constexpr int32_t kChickenBank = 0;
inline constexpr int32_t kFootBank = 1;
inline constexpr int32_t kMobBank = 2;

// A frame's opaque pixels, row by row in runs, made when the frame is loaded.
struct SpriteRuns;

// Slot k is a frame of width[k] x height[k] palette indices at pixels[k], row-major,
// 255 transparent. frameCount is also the slot the next loaded frame takes. Loaded frames
// also hold their runs, which drawing follows; their pixels are not to change after loading.
struct SpriteBank {
  int32_t width[kSpriteFramesPerBank] = {};
  int32_t height[kSpriteFramesPerBank] = {};
  int32_t frameCount = 0;
  uint8_t* pixels[kSpriteFramesPerBank] = {};
  SpriteRuns* runs[kSpriteFramesPerBank] = {};
};
extern std::array<SpriteBank, kSpriteBankCount> SpriteBankTable;

// 256 colours in the frame buffer's 5:5:5 layout; all black until BuildSpritePalette.
extern uint16_t SpritePalette[256];

inline bool ValidSpriteBank(int32_t bank) { return bank >= 0 && bank < kSpriteBankCount; }

// Empties every bank's pixel and run pointers without freeing anything, as the programs do at
// start before the first load; frame counts and sizes stay.
void ClearSpriteBanks();
// Frees every loaded frame and empties the banks; frames loaded again take the first slots.
void FreeSpriteBanks();

void BuildSpritePalette();
// Draws a frame with its top-left pixel at (x, y), clipped to the screen, 255 transparent.
void DrawSprite(int32_t bank, int32_t frame, int32_t x, int32_t y);
// As DrawSprite, but pixels of index `from` take the colour of index `to`.
void DrawSpriteTinted(int32_t bank, int32_t frame, uint8_t from, uint8_t to, int32_t x, int32_t y);
