// No stage frame takes memory from the heap, text and banners included, from the first frame
// of a run on.
#include "allocation_count.h"
#include "app/replay_recording.h"
#include "app/stage_screen.h"
#include "full_load.h"
#include "platform/text.h"

namespace fullload {
namespace {

TEST_F(FullLoad, AThousandStageFramesAllocateNothing) {
  // A run's first stage: no font size opened and no glyph drawn yet.
  platform::CloseGameFont();
  ASSERT_TRUE(platform::LoadGameFont());
  // The game is recorded, as every game of the programs is.
  GameRecording recording;
  recording.Begin("soloplay", "test", 7, world, view);
  screen.recording = &recording;

  // Stages 1 to 5 as the game plays them, 100 mobs more each time, all of them on the screen
  // or walking in; after 120 frames the last mobs go and the failed banner runs to the
  // stage's end. Only the frames are counted: each stage's start makes its texts ready.
  int frames = 0;
  int stages = 0;
  long allocations = 0;
  size_t firstSize = 0;
  for (int32_t stage = 1; frames < 1000; ++stage) {
    StartHeaviestStage(screen, stage, 100 * stage);
    ++stages;
    for (int f = 1; !screen.run.Over(world) && frames < 1000; ++f, ++frames) {
      if (f == 120) {
        for (Mob& mob : world.mobs.records) mob.active = 0;
      }
      StartCounting();
      screen.Frame();
      size_t size = 0;
      const long now = StopCounting(size);
      if (now > 0 && allocations == 0) firstSize = size;
      allocations += now;
    }
  }
  EXPECT_EQ(allocations, 0) << "the first one of " << firstSize << " bytes";
  EXPECT_EQ(stages, 5);
  EXPECT_FALSE(recording.cutShort);
  EXPECT_EQ(recording.replay.inputs.size(), 1000u);

  // The counter does see what a frame would take: a font size not made ready.
  StartCounting();
  DrawStageBanner(1, 60);
  EXPECT_GT(StopCounting(firstSize), 0);
}

}  // namespace
}  // namespace fullload
