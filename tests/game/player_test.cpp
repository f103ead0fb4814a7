// The chicken: movement bounds, the running feet, attacks on the space bar, drawing order.
#include <gtest/gtest.h>

#include <algorithm>

#include "draw/draw.h"
#include "game/world.h"
#include "gfx/frame.h"
#include "gfx/sprite.h"
#include "gfx/sprite_file.h"
#include "support/ani_file.h"

namespace {

class PlayerTest : public ::testing::Test {
 protected:
  void Hold(bool StageInput::*key, bool down = true) { input.*key = down; }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) world.chicken.Update(world, input);
  }
  StageInput input;
  World world;
};

TEST_F(PlayerTest, VerticalMovementStopsAt125And230) {
  Hold(&StageInput::up);
  Frames(14);  // 200 -> 130
  EXPECT_EQ(world.chicken.y, 130);
  Frames(1);  // the step from 130 is still taken
  EXPECT_EQ(world.chicken.y, 125);
  Frames(5);
  EXPECT_EQ(world.chicken.y, 125);

  Hold(&StageInput::up, false);
  Hold(&StageInput::down);
  Frames(20);  // 125 -> 225
  EXPECT_EQ(world.chicken.y, 225);
  Frames(1);
  EXPECT_EQ(world.chicken.y, 230);
  Frames(5);
  EXPECT_EQ(world.chicken.y, 230);
}

TEST_F(PlayerTest, BothArrowsOfAnAxisHeld) {
  Hold(&StageInput::up);
  Hold(&StageInput::down);
  Frames(3);
  EXPECT_EQ(world.chicken.y, 200);  // in between: stays
  world.chicken.y = 125;
  Frames(1);
  EXPECT_EQ(world.chicken.y, 130);  // up refused, down taken
  world.chicken.y = 230;
  Frames(1);
  EXPECT_EQ(world.chicken.y, 230);  // up to 225, down back to 230

  Hold(&StageInput::left);
  Hold(&StageInput::right);
  Frames(10);
  EXPECT_EQ(world.chicken.x, 170);
}

TEST_F(PlayerTest, NothingStopsTheChickenSideways) {
  Hold(&StageInput::left);
  Frames(40);
  EXPECT_EQ(world.chicken.x, -30);
  Hold(&StageInput::left, false);
  Hold(&StageInput::right);
  Frames(200);
  EXPECT_EQ(world.chicken.x, 970);
}

TEST_F(PlayerTest, FeetSwingAgainstEachOtherAndCycleIn24Frames) {
  const int expectedA[] = {4, 5, 6, 7, 7, 6};
  const int expectedB[] = {2, 1, 0, 0, 1, 2};
  for (int step = 0; step < 6; ++step) {
    for (int call = 0; call < 3; ++call) world.chicken.Animate();
    EXPECT_EQ(world.chicken.footPhaseA, expectedA[step]) << "step " << step;
    EXPECT_EQ(world.chicken.footPhaseB, expectedB[step]) << "step " << step;
  }
  world.chicken = PlayerRecord{};
  Frames(23);
  EXPECT_FALSE(world.chicken.footPhaseA == 3 && world.chicken.footDirA == 0 && world.chicken.footPhaseB == 3 &&
               world.chicken.footDirB == 1 && world.chicken.footTick == 0);
  Frames(1);  // 48 Animate calls
  EXPECT_EQ(world.chicken.footPhaseA, 3);
  EXPECT_EQ(world.chicken.footPhaseB, 3);
  EXPECT_EQ(world.chicken.footDirA, 0);
  EXPECT_EQ(world.chicken.footDirB, 1);
  EXPECT_EQ(world.chicken.footTick, 0);
}

TEST_F(PlayerTest, WalkingBodyAlternatesFramesZeroAndOne) {
  const int expected[] = {0, 0, 1, 1, 0, 0, 0, 1, 1, 0};  // counter 2, 4, 6, 8, 0, ...
  for (int f = 0; f < 10; ++f) {
    Frames(1);
    EXPECT_EQ(world.chicken.animCounter / 5, expected[f]) << "frame " << f + 1;
  }
}

// Holding space attacks once every 10 frames; each attack is resolved against the mobs where
// the chicken stood, and the body shows frames 2 and 3 only while attacking.
TEST_F(PlayerTest, HeldSpaceResolvesAnAttackEveryTenFrames) {
  Hold(&StageInput::attack);
  Mob& target = world.mobs[0];
  std::vector<int> killFrames;
  for (int frame = 1; frame <= 35; ++frame) {
    // A mob kept under the hit box at all times.
    target.active = 1;
    target.x = world.chicken.x + 240;
    target.y = world.chicken.y + 210;
    const int32_t killsBefore = world.counters.stageKills;
    world.chicken.Update(world, input);
    if (world.counters.stageKills != killsBefore) killFrames.push_back(frame);
    const int bodyFrame = world.chicken.animCounter / 5;
    if (world.chicken.attacking == 1) {
      EXPECT_TRUE(bodyFrame == 2 || bodyFrame == 3) << "frame " << frame;
    } else {
      EXPECT_TRUE(bodyFrame == 0 || bodyFrame == 1) << "frame " << frame;
    }
    if (frame == 1 || frame == 11) {
      EXPECT_EQ(world.chicken.animCounter, 10);  // the next attack shows body frame 2 at once
    }
  }
  EXPECT_EQ(killFrames, (std::vector<int>{11, 21, 31}));
  EXPECT_EQ(world.counters.combo, 3);
}

TEST_F(PlayerTest, AnAttackIsResolvedWhereTheChickenStoodBeforeTheFrameMoved) {
  Hold(&StageInput::attack);
  Frames(1);
  Hold(&StageInput::attack, false);
  Frames(8);
  ASSERT_EQ(world.chicken.animCounter, 18);
  world.chicken.Update(world, input);
  ASSERT_EQ(world.chicken.animCounter, 19);
  // Mob exactly at the box's lower-right limit for this position; the step left would lose it.
  world.mobs[0] = Mob{};
  world.mobs[0].active = 1;
  world.mobs[0].x = world.chicken.x + 284;
  world.mobs[0].y = world.chicken.y + 226;
  Hold(&StageInput::left);
  world.chicken.Update(world, input);
  EXPECT_EQ(world.mobs[0].active, 0);
  EXPECT_EQ(world.counters.stageKills, 1);
  EXPECT_EQ(world.chicken.attacking, 0);
  EXPECT_EQ(world.chicken.animCounter, 2);
}

TEST_F(PlayerTest, DrawsRearFootThenBodyThenFrontFoot) {
  FreeSpriteBanks();
  SpriteBankTable = {};
  BuildSpritePalette();
  std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), 0);
  std::vector<AniFrame> body(4, SolidFrame(100, 100, 4));
  std::vector<AniFrame> feet;
  for (int k = 0; k < 8; ++k) feet.push_back(SolidFrame(60, 60, static_cast<uint8_t>(8 + k)));
  auto bodyBytes = AniBytes(body);
  auto footBytes = AniBytes(feet);
  ASSERT_EQ(LoadSpriteFromMemory(kChickenBank, bodyBytes.data(), bodyBytes.size()), SpriteLoad::Loaded);
  ASSERT_EQ(LoadSpriteFromMemory(kFootBank, footBytes.data(), footBytes.size()), SpriteLoad::Loaded);
  world.chicken.footPhaseA = 1;
  world.chicken.footPhaseB = 5;
  DrawChicken(world.chicken);
  auto at = [](int x, int y) { return FrameBuffer[y * 640 + x]; };
  // Walking row 0 at (170, 200): body 170..269 x 200..299, rear foot (frame 1) at
  // 224..283 x 276..335, front foot (frame 5) at 200..259 x 288..347.
  EXPECT_EQ(at(180, 210), SpritePalette[4]);
  EXPECT_EQ(at(230, 280), SpritePalette[4]);   // body over the rear foot
  EXPECT_EQ(at(280, 330), SpritePalette[9]);   // rear foot alone
  EXPECT_EQ(at(210, 290), SpritePalette[13]);  // front foot over the body
  EXPECT_EQ(at(240, 320), SpritePalette[13]);  // front foot over the rear foot
  EXPECT_EQ(at(280, 275), 0);                  // just above the rear foot
  // Attacking row 3: the rear foot moves to (170 + 37, 200 + 91).
  world.chicken.animCounter = 17;
  std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), 0);
  DrawChicken(world.chicken);
  EXPECT_EQ(at(207 + 59, 291 + 59), SpritePalette[9]);
  EXPECT_EQ(at(250, 295), SpritePalette[4]);
  EXPECT_EQ(at(207, 291), SpritePalette[13]);
  FreeSpriteBanks();
  SpriteBankTable = {};
}

}  // namespace
