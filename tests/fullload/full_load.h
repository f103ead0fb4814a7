#pragma once
// The heaviest stage the game plays (tests/support/heaviest_stage.h, as the benchmarks play
// it), HUD and banners. The sprites and the background are made here rather than read from the
// generated data, so these tests depend on the drawing code alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/stage_screen.h"
#include "app/window.h"
#include "game/stage.h"
#include "game/world.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "gfx/sprite_file.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "support/ani_file.h"
#include "support/game_window.h"
#include "support/heaviest_stage.h"

namespace fullload {

// A small generator of its own, so the shapes never depend on the game's random sequence.
struct ShapeRandom {
  uint32_t state;
  uint32_t Next(uint32_t below) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % below;
  }
};

// Frames with what sprite drawing meets in the game's files: transparent and opaque runs of
// every length from one pixel up, rows wholly transparent and wholly opaque, and many pixels
// of the tint index.
inline std::vector<uint8_t> ShapedSprites(int32_t frames, int32_t width, int32_t height, uint32_t seed) {
  ShapeRandom random{seed};
  std::vector<AniFrame> out;
  for (int32_t k = 0; k < frames; ++k) {
    AniFrame f{width, height, std::vector<uint8_t>(static_cast<size_t>(width * height))};
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* row = f.pixels.data() + y * width;
      const uint32_t longest = 1 + static_cast<uint32_t>(y % 31);
      bool opaque = random.Next(2) == 0;
      for (int32_t x = 0; x < width;) {
        int32_t run = 1 + static_cast<int32_t>(random.Next(longest));
        if ((y + k) % 9 == 4) run = width;  // a whole row of one kind
        for (; run > 0 && x < width; --run, ++x) {
          if (!opaque) {
            row[x] = kSpriteTransparent;
          } else {
            row[x] = random.Next(5) < 2 ? kMobTintIndex : static_cast<uint8_t>(random.Next(255));
          }
        }
        opaque = !opaque;
      }
    }
    out.push_back(std::move(f));
  }
  return AniBytes(out);
}

// The window, the font, the banks of the game's frame sizes, a background of every palette
// index, and a world under the fake clock ready for the heaviest stage (StartHeaviestStage).
class FullLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(GameWindowReady());
    FreeSpriteBanks();
    SpriteBankTable = {};
    const auto chicken = ShapedSprites(4, 320, 256, 11);
    const auto feet = ShapedSprites(8, 200, 180, 22);
    const auto mobs = ShapedSprites(8, 92, 58, 33);
    ASSERT_EQ(LoadSpriteFromMemory(kChickenBank, chicken.data(), chicken.size()), SpriteLoad::Loaded);
    ASSERT_EQ(LoadSpriteFromMemory(kFootBank, feet.data(), feet.size()), SpriteLoad::Loaded);
    ASSERT_EQ(LoadSpriteFromMemory(kMobBank, mobs.data(), mobs.size()), SpriteLoad::Loaded);
    BuildSpritePalette();
    for (int i = 0; i < kPictureBytes; ++i) {
      BackgroundPicture[i] = static_cast<uint8_t>(i * 7 + i / kFrameWidth);
    }
    for (int i = 0; i < kColourTableBytes; ++i) PictureColourTable[i] = static_cast<uint8_t>(i * 5);
    RebuildScreenPalette();
    ResetForHeaviestStage(world, view);
    platform::SetWaitHook(nullptr);
  }
  void TearDown() override {
    platform::UseRealClock();
    FreeSpriteBanks();
    SpriteBankTable = {};
  }

  World world;
  FieldView view;
  StageScreen screen{world, view};
};

// FNV-1a over bytes, continued from `hash`.
inline uint64_t Fnv1a(uint64_t hash, const void* data, size_t bytes) {
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < bytes; ++i) hash = (hash ^ p[i]) * 0x100000001B3ull;
  return hash;
}
inline constexpr uint64_t kFnvStart = 0xCBF29CE484222325ull;

}  // namespace fullload
