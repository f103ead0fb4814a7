// No stage frame takes memory from the heap, text and banners included.
#include "allocation_count.h"
#include "full_load.h"

namespace fullload {
namespace {

// The glyph cache keeps every (cell height, character) it has drawn and every font size it
// opened, for the whole run; both are bounded: the HUD's characters at one size, "STAGE n"
// at the 50 sizes of the stage banner, the two end texts at their 51. A run fills the cache
// once, the first time each shows. The warm-up shows each of them once: the banners of the
// stages played below at every size, and the HUD through ten seconds of its time digits.
void WarmUp(StageRun& run) {
  for (int32_t stage = 1; stage <= 5; ++stage) {
    for (int32_t size = 1; size <= 50; ++size) DrawStageBanner(stage, size);
  }
  for (int32_t size = 0; size <= 50; ++size) {
    DrawEndBanner(size, true);
    DrawEndBanner(size, false);
  }
  for (int i = 0; i < 220 && run.running; ++i) run.Frame();
}

TEST_F(FullLoad, AThousandStageFramesAllocateNothing) {
  StartFullStage(1);
  InputState.keyDown[platform::VK_SPACE] = 1;
  WarmUp(run);

  // Stages 1 to 5 as the game plays them, 100 mobs more each time, a hundred of them on the
  // screen; after 120 frames the last mobs go and the failed banner runs to the stage's end.
  int frames = 0;
  int stages = 0;
  StartCounting();
  for (int32_t stage = 1; frames < 1000; ++stage) {
    StartFullStage(stage, 100 * stage);
    ++stages;
    for (int f = 1; run.running && frames < 1000; ++f, ++frames) {
      if (f == 120) {
        for (Mob& mob : MobPool) mob.active = 0;
      }
      run.Frame();
    }
  }
  size_t firstSize = 0;
  const long allocations = StopCounting(firstSize);
  EXPECT_EQ(allocations, 0) << "the first one of " << firstSize << " bytes";
  EXPECT_EQ(stages, 5);

  // The counter does see a frame's allocation: a font size not shown before.
  StartCounting();
  DrawStageBanner(1, 60);
  EXPECT_GT(StopCounting(firstSize), 0);
}

}  // namespace
}  // namespace fullload
