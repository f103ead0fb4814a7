// Any bytes as a sprite file: loaded into a bank that already holds some frames, then
// every frame drawn partly off screen. Nothing may be read or written out of bounds.
#include <cstdint>
#include <cstring>

#include "gfx/ani_format.h"
#include "gfx/sprite.h"
#include "gfx/sprite_file.h"

namespace {

// A small valid file of `frames` frames of 3x2 pixels.
size_t MakeSeedFile(uint8_t* out, int32_t frames) {
  std::memcpy(out, kAniMagic, kAniMagicBytes);
  size_t n = kAniMagicBytes;
  auto put = [&](int32_t v) {
    for (int i = 0; i < 4; ++i) out[n++] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
  };
  put(frames);
  for (int32_t k = 0; k < frames; ++k) {
    put(3);
    put(2);
    for (int i = 0; i < 6; ++i) out[n++] = static_cast<uint8_t>(i * 50);
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    BuildSpritePalette();
    ready = true;
  }
  // 90 frames already in the bank: a file of more than 10 must be refused.
  static uint8_t seed[kAniHeaderBytes + 90 * (kAniFrameHeaderBytes + 6)];
  const size_t seedSize = MakeSeedFile(seed, 90);
  LoadSpriteFromMemory(0, seed, seedSize);
  const SpriteLoad result = LoadSpriteFromMemory(0, data, size);
  const SpriteBank& bank = SpriteBankTable[0];
  if (bank.frameCount < 90 || bank.frameCount > kSpriteFramesPerBank) __builtin_trap();
  if (result != SpriteLoad::Loaded && bank.frameCount != 90) __builtin_trap();
  for (int32_t k = 0; k < bank.frameCount; ++k) {
    DrawSprite(0, k, -3, 478);
    DrawSpriteTinted(0, k, 0, 7, 637, -1);
  }
  FreeSpriteBanks();
  SpriteBankTable[0] = SpriteBank{};
  return 0;
}
