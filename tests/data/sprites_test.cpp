// The three sprite files the generator draws, loaded by the game's sprite loader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "data_files.h"
#include "game/player.h"
#include "gfx/ani_format.h"
#include "gfx/sprite.h"
#include "gfx/sprite_file.h"

namespace {

constexpr uint8_t kTint = 146;

struct Frame {
  int width = 0, height = 0;
  const uint8_t* pixels = nullptr;
  bool Opaque(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height && pixels[y * width + x] != kSpriteTransparent;
  }
  uint8_t At(int x, int y) const { return pixels[y * width + x]; }
};

class DataSprites : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSpriteBanks();
    for (auto& bank : SpriteBankTable) bank = SpriteBank{};
    const char* names[3] = {"chicken.ani", "foot.ani", "mop.ani"};
    for (int bank = 0; bank < 3; ++bank) {
      bytes_[bank] = ReadFileBytes(DataPath(names[bank]));
      ASSERT_FALSE(bytes_[bank].empty()) << names[bank];
      ASSERT_EQ(LoadSpriteFromMemory(bank, bytes_[bank].data(), bytes_[bank].size()), SpriteLoad::Loaded)
          << names[bank];
    }
  }
  void TearDown() override { FreeSpriteBanks(); }

  static Frame Get(int bank, int frame) {
    const SpriteBank& b = SpriteBankTable[static_cast<size_t>(bank)];
    return {b.width[frame], b.height[frame], b.pixels[frame]};
  }

  std::vector<uint8_t> bytes_[3];
};

// Marks where the game would paint the chicken: rear foot, body, front foot.
struct Silhouette {
  static constexpr int kW = 600, kH = 500, kX = 150, kY = 100;  // body's top-left inside
  std::vector<uint8_t> lit = std::vector<uint8_t>(kW * kH, 0);
  void Paint(const Frame& f, int x0, int y0) {
    for (int y = 0; y < f.height; ++y)
      for (int x = 0; x < f.width; ++x)
        if (f.Opaque(x, y)) lit[static_cast<size_t>(y0 + kY + y) * kW + (x0 + kX + x)] = 1;
  }
  // Number of 4-connected regions of painted pixels.
  int Regions() const { return static_cast<int>(RegionSizes().size()); }
  std::vector<int> RegionSizes() const {
    std::vector<uint8_t> seen(lit.size(), 0);
    std::vector<int> stack;
    std::vector<int> sizes;
    for (int start = 0; start < kW * kH; ++start) {
      if (!lit[static_cast<size_t>(start)] || seen[static_cast<size_t>(start)]) continue;
      sizes.push_back(0);
      stack.push_back(start);
      seen[static_cast<size_t>(start)] = 1;
      while (!stack.empty()) {
        int p = stack.back();
        stack.pop_back();
        ++sizes.back();
        int x = p % kW, y = p / kW;
        const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (const auto& n : next) {
          if (n[0] < 0 || n[1] < 0 || n[0] >= kW || n[1] >= kH) continue;
          int q = n[1] * kW + n[0];
          if (lit[static_cast<size_t>(q)] && !seen[static_cast<size_t>(q)]) {
            seen[static_cast<size_t>(q)] = 1;
            stack.push_back(q);
          }
        }
      }
    }
    return sizes;
  }
};

}  // namespace

// The files hold exactly the magic, the count and the frames: 4 body frames of one
// size, 8 foot frames of one size, 8 mob frames of one size.
TEST_F(DataSprites, FramesCountsAndSizes) {
  const int expected[3] = {4, 8, 8};
  for (int bank = 0; bank < 3; ++bank) {
    SCOPED_TRACE(bank);
    const std::vector<uint8_t>& b = bytes_[bank];
    EXPECT_EQ(std::memcmp(b.data(), kAniMagic, kAniMagicBytes), 0);  // with its zero byte
    EXPECT_EQ(Le32(b, kAniCountAt), expected[bank]);
    EXPECT_EQ(SpriteBankTable[static_cast<size_t>(bank)].frameCount, expected[bank]);
    size_t length = kAniHeaderBytes;
    for (int f = 0; f < expected[bank]; ++f) {
      Frame frame = Get(bank, f);
      EXPECT_EQ(frame.width, Get(bank, 0).width);
      EXPECT_EQ(frame.height, Get(bank, 0).height);
      EXPECT_GT(frame.width * frame.height, 0);
      length += kAniFrameHeaderBytes + static_cast<size_t>(frame.width * frame.height);
    }
    EXPECT_EQ(b.size(), length);
  }
  // The body holds the strike box; the feet hang from their hip at (100, 90).
  EXPECT_GT(Get(0, 0).width, kPlayerHitRight);
  EXPECT_GT(Get(0, 0).height, kPlayerHitBottom);
  EXPECT_GT(Get(1, 0).width, kFootOriginX);
  EXPECT_GT(Get(1, 0).height, kFootOriginY);
}

// The attack frames show the strike inside the box that kills; the walking frames keep
// out of it, so what hits is what the player sees.
TEST_F(DataSprites, AttackFramesReachTheHitBox) {
  for (int f = 0; f < 4; ++f) {
    Frame body = Get(0, f);
    int inBox = 0;
    for (int y = kPlayerHitTop; y <= kPlayerHitBottom; ++y)
      for (int x = kPlayerHitLeft; x <= kPlayerHitRight; ++x) inBox += body.Opaque(x, y) ? 1 : 0;
    if (f >= 2)
      EXPECT_GE(inBox, 20) << "frame " << f;
    else
      EXPECT_EQ(inBox, 0) << "frame " << f;
  }
}

// Assembled as the game draws the chicken, the feet add no loose piece to the body in
// any pose or swing: each leg meets the body where its foot is put.
TEST_F(DataSprites, FeetMeetTheBodyInEveryPose) {
  for (int frame = 0; frame < 4; ++frame) {
    const FootOffset& o = FootOffsets[frame];
    Silhouette alone;
    alone.Paint(Get(0, frame), 0, 0);
    const int bodyRegions = alone.Regions();
    for (int a = 0; a < 8; ++a)
      for (int b = 0; b < 8; ++b) {
        Silhouette s;
        s.Paint(Get(1, a), o.dxA - kFootOriginX, o.dyA - kFootOriginY);
        s.Paint(Get(0, frame), 0, 0);
        s.Paint(Get(1, b), o.dxB - kFootOriginX, o.dyB - kFootOriginY);
        ASSERT_EQ(s.Regions(), bodyRegions) << "body frame " << frame << ", feet " << a << " and " << b;
      }
  }
  // Each leg starts at its hip.
  for (int f = 0; f < 8; ++f) EXPECT_TRUE(Get(1, f).Opaque(kFootOriginX, kFootOriginY + 2)) << f;
}

// Only the mob's body carries the tint index: in every mob frame it is one body (bar the
// bits of skin between eyes, brows and mouth) that covers the mob's hit box; the eyes,
// horns, mouth and feet keep their colours, and the chicken has none of it.
TEST_F(DataSprites, TintIndexMarksTheMobBodyOnly) {
  for (int f = 0; f < 8; ++f) {
    SCOPED_TRACE(f);
    Frame mob = Get(2, f);
    Silhouette body;
    int tinted = 0;
    for (int y = 0; y < mob.height; ++y)
      for (int x = 0; x < mob.width; ++x)
        if (mob.Opaque(x, y) && mob.At(x, y) == kTint) {
          body.lit[static_cast<size_t>(y) * Silhouette::kW + x] = 1;
          ++tinted;
        }
    EXPECT_GT(tinted, 800);
    std::vector<int> regions = body.RegionSizes();
    EXPECT_GE(*std::max_element(regions.begin(), regions.end()), tinted * 9 / 10);
    int opaque = 0, tintedInBox = 0;
    for (int y = 14; y <= 25; ++y)
      for (int x = 20; x <= 70; ++x) {
        opaque += mob.Opaque(x, y) ? 1 : 0;
        tintedInBox += mob.Opaque(x, y) && mob.At(x, y) == kTint ? 1 : 0;
      }
    EXPECT_EQ(opaque, 51 * 12) << "the hit box lies on the mob";
    EXPECT_GT(tintedInBox, 51 * 12 / 3);
  }
  for (int bank = 0; bank < 2; ++bank)
    for (int f = 0; f < SpriteBankTable[static_cast<size_t>(bank)].frameCount; ++f) {
      Frame frame = Get(bank, f);
      for (int i = 0; i < frame.width * frame.height; ++i) ASSERT_NE(frame.pixels[i], kTint) << bank << "/" << f;
    }
}
