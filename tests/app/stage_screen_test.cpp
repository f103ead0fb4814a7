// A stage in the window, headless under the fake clock with keys pushed as real events: the
// pump, Escape taken from the next screen, the 50 ms pace, the HUD and banners presented.
#include <gtest/gtest.h>

#include <functional>

#include "app/stage_screen.h"
#include "app/window.h"
#include "game/stage.h"
#include "game/world.h"
#include "gfx/frame.h"
#include "gfx/sprite.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/testing/input.h"
#include "platform/testing/readback.h"
#include "support/fresh_stage.h"
#include "support/game_window.h"

namespace {

constexpr uint32_t kClockStart = 100000;

class StageScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(GameWindowReady());
    FreshStage(world, view, kClockStart, 2024);
    platform::UseFakeClock(kClockStart);
    frames = 0;
    platform::SetWaitHook([this](uint32_t) {
      ++frames;
      if (script) script(frames);
    });
  }
  void TearDown() override { platform::UseRealClock(); }

  World world;  // the stage's own: stage 1 of a fresh game
  FieldView view;
  int frames = 0;                   // waits so far: one per stage frame
  std::function<void(int)> script;  // runs after the wait of each frame
};

TEST_F(StageScreenTest, EscapeEndsTheStageAtItsFramesPaceAndIsTakenFromTheNextScreen) {
  script = [](int frame) {
    if (frame == 20) platform::PushKey(platform::VK_ESCAPE, true);
  };
  EXPECT_FALSE(PlayStage(world, view));
  EXPECT_EQ(frames, 21);                                           // the frame that saw Escape ran to its end
  EXPECT_EQ(InputState.keyDown[platform::VK_ESCAPE], 0);           // cleared for the next screen
  EXPECT_EQ(platform::Ticks(), kClockStart + 21 * kStageFrameMs);  // 50 ms a frame
}

TEST_F(StageScreenTest, RepaintIsLoweredAfterEachPresentedFrame) {
  int repaintSeen = -1;
  script = [&](int frame) {
    if (frame == 1) platform::PushPaint();
    if (frame == 2) repaintSeen = InputState.repaint;
    if (frame == 2) platform::PushKey(platform::VK_ESCAPE, true);
  };
  PlayStage(world, view);
  EXPECT_EQ(repaintSeen, 0);
  EXPECT_EQ(frames, 3);
}

TEST_F(StageScreenTest, ClosingTheWindowEndsTheStageAtTheEndOfTheFrame) {
  script = [](int frame) {
    if (frame == 2) platform::PushClose();
  };
  EXPECT_FALSE(PlayStage(world, view));
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(InputState.quit, 1);
}

// When every mob has left play without the target, "STAGE FAILED!!" zooms in and out over
// 100 frames and the stage ends on the frame after it reached size 0.
TEST_F(StageScreenTest, FailedBannerRunsItsHundredFrames) {
  auto whiteIn = [](int x0, int x1, int y0, int y1) {
    const uint32_t* shown = platform::ShownPixels();
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) n += (shown[y * 640 + x] & 0xFFFFFF) == 0xFFFFFF;
    }
    return n;
  };
  int edgeWhiteAt50 = 0;
  int centreWhiteAt100 = 0;
  int anyWhiteAt101 = -1;
  script = [&](int frame) {
    if (frame == 1) {
      for (int i = 0; i < 100; ++i) world.mobs[i].x = -150;  // all escape on frame 2
    }
    // Size 50: the text is wider than the window and cut at both sides.
    if (frame == 50) edgeWhiteAt50 = whiteIn(0, 60, 180, 300) + whiteIn(580, 640, 180, 300);
    if (frame == 100) centreWhiteAt100 = whiteIn(300, 420, 230, 260);  // size 0 at (320, 240)
    if (frame == 101) anyWhiteAt101 = whiteIn(0, 640, 0, 480);
  };
  EXPECT_FALSE(PlayStage(world, view));
  EXPECT_EQ(frames, 101);
  EXPECT_EQ(world.counters.escapedMobs, 100);
  EXPECT_EQ(world.counters.stageNumber, 1);  // not cleared: the counters stay at the stage
  EXPECT_GT(edgeWhiteAt50, 0);
  EXPECT_GT(centreWhiteAt100, 0);
  EXPECT_EQ(anyWhiteAt101, 0);  // neither banner is drawn any more
}

}  // namespace
