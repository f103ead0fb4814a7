// Whole stages by the rules alone: no window, pump or clock, the keys held as the script
// sets them after given frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "draw/draw.h"
#include "game/stage.h"
#include "game/world.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "gfx/sprite_file.h"
#include "support/fresh_stage.h"

namespace {

constexpr uint32_t kClockStart = 100000;

class StageTest : public ::testing::Test {
 protected:
  void SetUp() override { FreshStage(world, view, kClockStart, 2024); }

  // Plays a stage frame by frame, 50 ms of clock apart; after each frame the script may
  // change the keys held (a leave lasts one frame, as Escape is taken when read).
  bool Play(int32_t stage, int32_t count, int32_t target) {
    StageRun run;
    run.Start(world, stage, count, target);
    for (uint32_t now = kClockStart; !run.Over(world); now += kStageFrameMs) {
      run.Play(world, input, now);
      view.Step();
      DrawWorld(world, view.drawnScroll);
      input.leave = false;
      ++frames;
      if (script) script(frames);
    }
    return run.Cleared(world);
  }

  // Puts mobs first..last-1 where the chicken's attack will find them `updates` mob
  // updates from now.
  void PlaceUnderAttack(int first, int last, int updates) {
    for (int i = first; i < last; ++i) {
      world.mobs[i].active = 1;
      world.mobs[i].x = world.chicken.x + 240 + 5 * updates;
      world.mobs[i].y = world.chicken.y + 210;
    }
  }

  World world;
  FieldView view;
  StageInput input;                 // the keys the next frame reads
  int frames = 0;                   // frames played so far
  std::function<void(int)> script;  // runs after each frame
};

TEST_F(StageTest, StageOneEndsOnTheFrameOfTheThirtiethKill) {
  script = [this](int frame) {
    if (frame == 1) {
      input.attack = true;  // seen on frame 2, resolved on frame 12
      PlaceUnderAttack(0, 30, 10);
    }
  };
  EXPECT_TRUE(Play(1, 100, 30));
  EXPECT_EQ(frames, 12);
  EXPECT_EQ(world.counters.stageKills, 30);
  EXPECT_EQ(world.counters.combo, 1);
  EXPECT_EQ(world.mobs.CountActive(), 70);  // a cleared stage leaves its other mobs in play
}

TEST_F(StageTest, TwentyNineKillsAreNotEnoughAndLeavingEndsTheStage) {
  script = [this](int frame) {
    if (frame == 1) {
      input.attack = true;
      PlaceUnderAttack(0, 29, 10);
    }
    if (frame == 2) input.attack = false;
    if (frame == 20) input.leave = true;
  };
  EXPECT_FALSE(Play(1, 100, 30));
  EXPECT_EQ(frames, 21);  // the frame that saw the leave ran to its end
  EXPECT_EQ(world.counters.stageKills, 29);
  EXPECT_EQ(view.scroll, 210 % 640);
}

TEST_F(StageTest, LosingTheLastLifeEndsTheStage) {
  world.counters.gameMode = GameMode::Hardcore;
  world.counters.lives = 1;
  script = [this](int frame) {
    if (frame == 3) {
      world.mobs[7].x = -145;  // -150 on frame 4, escaped on frame 5
      world.mobs[8].x = -150;  // escaped on frame 4
    }
  };
  EXPECT_FALSE(Play(1, 100, 30));
  EXPECT_EQ(frames, 4);
  EXPECT_EQ(world.counters.gameOver, 1);
  EXPECT_EQ(world.counters.lives, 0);
  EXPECT_EQ(world.counters.escapedMobs, 1);
}

TEST_F(StageTest, ScrollOffsetRunsOnAcrossStagesAndWraps) {
  script = [this](int frame) {
    if (frame == 3) input.leave = true;
  };
  Play(1, 100, 30);
  EXPECT_EQ(view.scroll, 40);  // four frames
  frames = 0;
  script = [this](int frame) {
    if (frame == 59) input.leave = true;
  };
  Play(2, 200, 35);
  EXPECT_EQ(frames, 60);
  EXPECT_EQ(view.scroll, 0);  // 64 frames in all: once round
}

// Stage 51 asks for 5100 mobs; the pool has 5000. With all 5000 killed the stage is won.
TEST_F(StageTest, StageFiftyOneIsWinnableWithThePool) {
  script = [this](int frame) {
    if (frame == 1) {
      input.attack = true;
      PlaceUnderAttack(0, 4999, 10);
    }
  };
  // 4999 kills are 99 %: the stage goes on; the last mob comes under the next attack.
  auto last = script;
  script = [this, last](int frame) {
    last(frame);
    if (frame == 11) PlaceUnderAttack(4999, 5000, 10);
  };
  EXPECT_TRUE(Play(51, 5100, 100));
  EXPECT_EQ(frames, 22);
  EXPECT_EQ(world.counters.stageKills, 5000);
  EXPECT_EQ(world.counters.combo, 2);
}

// A stage with the generated sprites and background: the chicken and the mobs are drawn
// from the real banks, the stage plays until Escape.
TEST_F(StageTest, PlaysWithTheGeneratedData) {
  const char* dir = std::getenv("BRAKKEL_DATA_DIR");
  const std::string base = dir ? std::string(dir) + "/" : std::string();
  if (LoadSpriteFile(kChickenBank, (base + "chicken.ani").c_str()) != SpriteLoad::Loaded ||
      LoadSpriteFile(kFootBank, (base + "foot.ani").c_str()) != SpriteLoad::Loaded ||
      LoadSpriteFile(kMobBank, (base + "mop.ani").c_str()) != SpriteLoad::Loaded) {
    GTEST_SKIP() << "no generated sprite files in " << base;
  }
  ASSERT_GE(SpriteBankTable[kChickenBank].frameCount, 4);
  ASSERT_GE(SpriteBankTable[kFootBank].frameCount, 8);
  ASSERT_GE(SpriteBankTable[kMobBank].frameCount, 8);
  BuildSpritePalette();
  script = [&](int frame) {
    if (frame == 1) {
      input.attack = true;
      input.up = true;
      world.mobs[0].x = 300;  // one mob on screen
      world.mobs[0].y = 400;
    }
    if (frame == 150) input.leave = true;
  };
  Play(1, 100, 30);
  EXPECT_EQ(frames, 151);
  EXPECT_EQ(world.chicken.y, 125);
  // Against the bare background of the last frame, the sprites changed pixels around the
  // chicken and the mob.
  static uint16_t composed[kFramePixels];
  std::copy(std::begin(FrameBuffer), std::end(FrameBuffer), composed);
  ShowPictureScrolled(view.drawnScroll);
  auto changed = [](int x0, int x1, int y0, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) n += composed[y * 640 + x] != FrameBuffer[y * 640 + x];
    }
    return n;
  };
  EXPECT_GT(changed(170, 470, 125, 425), 100);
  EXPECT_GT(changed(0, 640, 330, 480), 0);
  FreeSpriteBanks();
  SpriteBankTable = {};
}

}  // namespace
