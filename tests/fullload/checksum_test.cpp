// Every pixel of the heaviest stage, frame by frame, against checksums taken from the game as
// it drew before its drawing was made faster: the composed frames, what the window showed
// (HUD, both banners at every size, a dialog over the stage and its going), and sprites
// clipped at every edge.
#include <cinttypes>
#include <cstdio>

#include "full_load.h"
#include "platform/dialog/dialog.h"
#include "platform/testing/input.h"
#include "platform/testing/readback.h"
#include "ranking/dialog_templates.h"

namespace fullload {
namespace {

intptr_t IgnoreAll(platform::Dialog*, uint32_t, uint32_t, int32_t) { return 0; }

// Prints the checksums, so a change on purpose can take the new ones.
void Report(const char* what, uint64_t value) { std::printf("%s checksum 0x%016" PRIX64 "\n", what, value); }

TEST_F(FullLoad, EveryPixelOfTheHeaviestStageStaysAsItWas) {
  StartHeaviestStage(screen, 52);
  uint64_t composed = kFnvStart;
  uint64_t shown = kFnvStart;
  platform::Dialog* dialog = nullptr;
  int frame = 0;
  while (!screen.run.Over(world) && frame < 240) {
    ++frame;
    // The chicken wanders across and past every edge.
    world.chicken.x = -260 + (frame * 37) % 1000;
    world.chicken.y = -200 + (frame * 29) % 760;
    if (frame == 40) dialog = platform::CreateDialogFromTemplate(NameDialogTemplate, IgnoreAll);
    if (frame == 46) platform::EndDialog(dialog, 0);
    if (frame == 50) platform::PushPaint();
    if (frame == 100) {
      // The last mobs go: the failed banner runs its hundred frames.
      for (Mob& mob : world.mobs.records) mob.active = 0;
    }
    screen.Frame();
    composed = Fnv1a(composed, FrameBuffer, sizeof FrameBuffer);
    shown = Fnv1a(shown, platform::ShownPixels(), platform::kScreenPixels * 4);
  }
  EXPECT_EQ(frame, 199);  // 99 frames of the full stage, then the end banner's 100
  EXPECT_NE(dialog, nullptr);
  Report("composed", composed);
  Report("shown", shown);
  EXPECT_EQ(composed, 0x6918A528EC4674CAull);
  EXPECT_EQ(shown, 0x9AC200F0227B3042ull);
}

TEST_F(FullLoad, SpritesClippedAtEveryEdgeStayAsTheyWere) {
  for (int i = 0; i < kFramePixels; ++i) FrameBuffer[i] = static_cast<uint16_t>(i * 13);
  uint64_t hash = kFnvStart;
  const int32_t far[] = {INT32_MIN, -100000, 100000, INT32_MAX};
  for (int32_t bank = kChickenBank; bank <= kMobBank; ++bank) {
    const SpriteBank& b = SpriteBankTable[bank];
    for (int32_t k = 0; k < b.frameCount; ++k) {
      for (int32_t y = -b.height[k] - 3; y < kFrameHeight + 3; y += 41 + bank) {
        for (int32_t x = -b.width[k] - 3; x < kFrameWidth + 3; x += 67 + bank) {
          const int32_t n = x + y;
          if (n % 3 == 0) {
            DrawSprite(bank, k, x, y);
          } else {
            // Tints from the mobs' index and others, into and from the transparent index.
            const uint8_t from = n % 5 == 0 ? kSpriteTransparent : (n % 7 == 0 ? 17 : kMobTintIndex);
            const uint8_t to = n % 11 == 0 ? kSpriteTransparent : static_cast<uint8_t>(n & 0xFF);
            DrawSpriteTinted(bank, k, from, to, x, y);
          }
        }
      }
      for (int32_t f : far) {
        DrawSprite(bank, k, f, 100);
        DrawSprite(bank, k, 100, f);
        DrawSpriteTinted(bank, k, kMobTintIndex, 3, f, f);
      }
      hash = Fnv1a(hash, FrameBuffer, sizeof FrameBuffer);
    }
  }
  // Frames that are not there draw nothing.
  DrawSprite(kMobBank, 8, 10, 10);
  DrawSprite(5, 0, 10, 10);
  DrawSprite(-1, 0, 10, 10);
  DrawSpriteTinted(kMobBank, -1, kMobTintIndex, 3, 10, 10);
  DrawSpriteTinted(kSpriteBankCount, 0, kMobTintIndex, 3, 10, 10);
  hash = Fnv1a(hash, FrameBuffer, sizeof FrameBuffer);
  Report("sprite edges", hash);
  EXPECT_EQ(hash, 0x14233087DDC24929ull);
}

}  // namespace
}  // namespace fullload
