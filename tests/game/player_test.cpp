// The chicken: movement bounds, the running feet, attacks on the space bar, drawing order.
#include <gtest/gtest.h>

#include <algorithm>

#include "game/counters.h"
#include "game/mob.h"
#include "game/player.h"
#include "gfx/frame.h"
#include "gfx/sprite.h"
#include "support/ani_file.h"

namespace {

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Player = PlayerRecord{};
    input = StageInput{};
    Counters = GameCounters{};
    MobPool = {};
  }
  static void Hold(bool StageInput::*key, bool down = true) { input.*key = down; }
  static void Frames(int n) {
    for (int i = 0; i < n; ++i) Player.Update(input);
  }
  static inline StageInput input;
};

TEST_F(PlayerTest, VerticalMovementStopsAt125And230) {
  Hold(&StageInput::up);
  Frames(14);  // 200 -> 130
  EXPECT_EQ(Player.y, 130);
  Frames(1);  // the step from 130 is still taken
  EXPECT_EQ(Player.y, 125);
  Frames(5);
  EXPECT_EQ(Player.y, 125);

  Hold(&StageInput::up, false);
  Hold(&StageInput::down);
  Frames(20);  // 125 -> 225
  EXPECT_EQ(Player.y, 225);
  Frames(1);
  EXPECT_EQ(Player.y, 230);
  Frames(5);
  EXPECT_EQ(Player.y, 230);
}

TEST_F(PlayerTest, BothArrowsOfAnAxisHeld) {
  Hold(&StageInput::up);
  Hold(&StageInput::down);
  Frames(3);
  EXPECT_EQ(Player.y, 200);  // in between: stays
  Player.y = 125;
  Frames(1);
  EXPECT_EQ(Player.y, 130);  // up refused, down taken
  Player.y = 230;
  Frames(1);
  EXPECT_EQ(Player.y, 230);  // up to 225, down back to 230

  Hold(&StageInput::left);
  Hold(&StageInput::right);
  Frames(10);
  EXPECT_EQ(Player.x, 170);
}

TEST_F(PlayerTest, NothingStopsTheChickenSideways) {
  Hold(&StageInput::left);
  Frames(40);
  EXPECT_EQ(Player.x, -30);
  Hold(&StageInput::left, false);
  Hold(&StageInput::right);
  Frames(200);
  EXPECT_EQ(Player.x, 970);
}

TEST_F(PlayerTest, FeetSwingAgainstEachOtherAndCycleIn24Frames) {
  const int expectedA[] = {4, 5, 6, 7, 7, 6};
  const int expectedB[] = {2, 1, 0, 0, 1, 2};
  for (int step = 0; step < 6; ++step) {
    for (int call = 0; call < 3; ++call) Player.Animate();
    EXPECT_EQ(Player.footPhaseA, expectedA[step]) << "step " << step;
    EXPECT_EQ(Player.footPhaseB, expectedB[step]) << "step " << step;
  }
  Player = PlayerRecord{};
  Frames(23);
  EXPECT_FALSE(Player.footPhaseA == 3 && Player.footDirA == 0 && Player.footPhaseB == 3 && Player.footDirB == 1 &&
               Player.footTick == 0);
  Frames(1);  // 48 Animate calls
  EXPECT_EQ(Player.footPhaseA, 3);
  EXPECT_EQ(Player.footPhaseB, 3);
  EXPECT_EQ(Player.footDirA, 0);
  EXPECT_EQ(Player.footDirB, 1);
  EXPECT_EQ(Player.footTick, 0);
}

TEST_F(PlayerTest, WalkingBodyAlternatesFramesZeroAndOne) {
  const int expected[] = {0, 0, 1, 1, 0, 0, 0, 1, 1, 0};  // counter 2, 4, 6, 8, 0, ...
  for (int f = 0; f < 10; ++f) {
    Frames(1);
    EXPECT_EQ(Player.animCounter / 5, expected[f]) << "frame " << f + 1;
  }
}

// Holding space attacks once every 10 frames; each attack is resolved against the mobs where
// the chicken stood, and the body shows frames 2 and 3 only while attacking.
TEST_F(PlayerTest, HeldSpaceResolvesAnAttackEveryTenFrames) {
  Hold(&StageInput::attack);
  Mob& target = MobPool[0];
  std::vector<int> killFrames;
  for (int frame = 1; frame <= 35; ++frame) {
    // A mob kept under the hit box at all times.
    target.active = 1;
    target.x = Player.x + 240;
    target.y = Player.y + 210;
    const int32_t killsBefore = Counters.stageKills;
    Player.Update(input);
    if (Counters.stageKills != killsBefore) killFrames.push_back(frame);
    const int bodyFrame = Player.animCounter / 5;
    if (Player.attacking == 1) {
      EXPECT_TRUE(bodyFrame == 2 || bodyFrame == 3) << "frame " << frame;
    } else {
      EXPECT_TRUE(bodyFrame == 0 || bodyFrame == 1) << "frame " << frame;
    }
    if (frame == 1 || frame == 11) {
      EXPECT_EQ(Player.animCounter, 10);  // the next attack shows body frame 2 at once
    }
  }
  EXPECT_EQ(killFrames, (std::vector<int>{11, 21, 31}));
  EXPECT_EQ(Counters.combo, 3);
}

TEST_F(PlayerTest, AnAttackIsResolvedWhereTheChickenStoodBeforeTheFrameMoved) {
  Hold(&StageInput::attack);
  Frames(1);
  Hold(&StageInput::attack, false);
  Frames(8);
  ASSERT_EQ(Player.animCounter, 18);
  Player.Update(input);
  ASSERT_EQ(Player.animCounter, 19);
  // Mob exactly at the box's lower-right limit for this position; the step left would lose it.
  MobPool[0] = Mob{};
  MobPool[0].active = 1;
  MobPool[0].x = Player.x + 284;
  MobPool[0].y = Player.y + 226;
  Hold(&StageInput::left);
  Player.Update(input);
  EXPECT_EQ(MobPool[0].active, 0);
  EXPECT_EQ(Counters.stageKills, 1);
  EXPECT_EQ(Player.attacking, 0);
  EXPECT_EQ(Player.animCounter, 2);
}

TEST_F(PlayerTest, DrawsRearFootThenBodyThenFrontFoot) {
  FreeSpriteBanks();
  SpriteBankTable = {};
  InitRowOffsets();
  BuildSpritePalette();
  std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), 0);
  std::vector<AniFrame> body(4, SolidFrame(100, 100, 4));
  std::vector<AniFrame> feet;
  for (int k = 0; k < 8; ++k) feet.push_back(SolidFrame(60, 60, static_cast<uint8_t>(8 + k)));
  auto bodyBytes = AniBytes(body);
  auto footBytes = AniBytes(feet);
  ASSERT_EQ(LoadSpriteFromMemory(kChickenBank, bodyBytes.data(), bodyBytes.size()), 1);
  ASSERT_EQ(LoadSpriteFromMemory(kFootBank, footBytes.data(), footBytes.size()), 1);
  Player.footPhaseA = 1;
  Player.footPhaseB = 5;
  Player.Draw();
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
  Player.animCounter = 17;
  std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), 0);
  Player.Draw();
  EXPECT_EQ(at(207 + 59, 291 + 59), SpritePalette[9]);
  EXPECT_EQ(at(250, 295), SpritePalette[4]);
  EXPECT_EQ(at(207, 291), SpritePalette[13]);
  FreeSpriteBanks();
  SpriteBankTable = {};
}

}  // namespace
