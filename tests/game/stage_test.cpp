// Whole stages by the rules alone: no window, pump or clock, the keys held as the script
// sets them after given frames; and the HUD's lines as bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "game/counters.h"
#include "game/mob.h"
#include "game/player.h"
#include "game/random.h"
#include "game/stage.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "support/cp949_text.h"
#include "support/fresh_stage.h"

namespace {

constexpr uint32_t kClockStart = 100000;

class StageTest : public ::testing::Test {
 protected:
  void SetUp() override { FreshStage(kClockStart, 2024); }

  // Plays a stage frame by frame, 50 ms of clock apart; after each frame the script may
  // change the keys held (a leave lasts one frame, as Escape is taken when read).
  int32_t Play(int32_t stage, int32_t count, int32_t target) {
    StageRun run;
    run.Start(stage, count, target);
    for (uint32_t now = kClockStart; !run.Over(); now += kStageFrameMs) {
      run.Frame(input, now);
      input.leave = false;
      ++frames;
      if (script) script(frames);
    }
    return run.Result();
  }

  // Puts mobs first..last-1 where the chicken's attack will find them `updates` mob
  // updates from now.
  static void PlaceUnderAttack(int first, int last, int updates) {
    for (int i = first; i < last; ++i) {
      MobPool[i].active = 1;
      MobPool[i].x = Player.x + 240 + 5 * updates;
      MobPool[i].y = Player.y + 210;
    }
  }

  StageInput input;                 // the keys the next frame reads
  int frames = 0;                   // frames played so far
  std::function<void(int)> script;  // runs after each frame
};

TEST(HudTest, FourLinesInTheirExactFormats) {
  Counters = GameCounters{};
  Counters.gameMode = GameModeNormal;
  Counters.score = 1234;
  Counters.gameStartTime = 1000;
  Counters.stageKills = 29;
  Counters.escapedMobs = 1;
  Counters.combo = 2;
  Counters.bestCombo = 5;
  HudLines hud;
  FormatHudLines(hud, 1, 100, 70, 30, 1000 + 65400);
  EXPECT_EQ(std::string(hud.line[0]), Cp949("보통게임 1234점 게임 시간 :  65초"));
  EXPECT_EQ(std::string(hud.line[1]), Cp949("29/100마리 살해 남은몹 70마리 놓힌몹 1마리"));
  EXPECT_EQ(std::string(hud.line[2]), Cp949("스테이지1 목표 29%/ 30%"));
  EXPECT_EQ(std::string(hud.line[3]), Cp949("어텍콤보 2 최고 5"));
  EXPECT_NE(std::string(hud.line[2]).find(" 29%/ 30%"), std::string::npos);

  Counters.gameMode = GameModeHardcore;
  Counters.gameStartTime = 0xFFFFFF00u;  // the clock wrapped since the game started
  Counters.stageKills = 69;
  FormatHudLines(hud, 2, 200, 0, 35, 0x00000100u + 1000);
  EXPECT_EQ(std::string(hud.line[0]), Cp949("하드코어게임 1234점 게임 시간 :   1초"));
  EXPECT_EQ(std::string(hud.line[2]), Cp949("스테이지2 목표 34%/ 35%"));
  Counters.gameMode = GameModeEasy;
  FormatHudLines(hud, 2, 200, 0, 100, 0);
  EXPECT_EQ(std::string(hud.line[0]).substr(0, 8), Cp949("쉬운게임"));
  EXPECT_EQ(std::string(hud.line[2]), Cp949("스테이지2 목표 34%/100%"));
  Counters.gameMode = static_cast<GameMode>(7);  // no such mode: read as easy
  FormatHudLines(hud, 2, 200, 0, 100, 0);
  EXPECT_EQ(std::string(hud.line[0]).substr(0, 8), Cp949("쉬운게임"));
}

TEST_F(StageTest, StageOneEndsOnTheFrameOfTheThirtiethKill) {
  script = [this](int frame) {
    if (frame == 1) {
      input.attack = true;  // seen on frame 2, resolved on frame 12
      PlaceUnderAttack(0, 30, 10);
    }
  };
  EXPECT_EQ(Play(1, 100, 30), 1);
  EXPECT_EQ(frames, 12);
  EXPECT_EQ(Counters.stageKills, 30);
  EXPECT_EQ(Counters.combo, 1);
  EXPECT_EQ(CountActiveMobs(), 70);  // a cleared stage leaves its other mobs in play
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
  EXPECT_EQ(Play(1, 100, 30), 0);
  EXPECT_EQ(frames, 21);  // the frame that saw the leave ran to its end
  EXPECT_EQ(Counters.stageKills, 29);
  EXPECT_EQ(Counters.scrollOffset, 210 % 640);
}

TEST_F(StageTest, LosingTheLastLifeEndsTheStage) {
  Counters.gameMode = GameModeHardcore;
  Counters.lives = 1;
  script = [](int frame) {
    if (frame == 3) {
      MobPool[7].x = -145;  // -150 on frame 4, escaped on frame 5
      MobPool[8].x = -150;  // escaped on frame 4
    }
  };
  EXPECT_EQ(Play(1, 100, 30), 0);
  EXPECT_EQ(frames, 4);
  EXPECT_EQ(Counters.gameOver, 1);
  EXPECT_EQ(Counters.lives, 0);
  EXPECT_EQ(Counters.escapedMobs, 1);
}

TEST_F(StageTest, ScrollOffsetRunsOnAcrossStagesAndWraps) {
  script = [this](int frame) {
    if (frame == 3) input.leave = true;
  };
  Play(1, 100, 30);
  EXPECT_EQ(Counters.scrollOffset, 40);  // four frames
  frames = 0;
  script = [this](int frame) {
    if (frame == 59) input.leave = true;
  };
  Play(2, 200, 35);
  EXPECT_EQ(frames, 60);
  EXPECT_EQ(Counters.scrollOffset, 0);  // 64 frames in all: once round
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
  script = [last](int frame) {
    last(frame);
    if (frame == 11) PlaceUnderAttack(4999, 5000, 10);
  };
  EXPECT_EQ(Play(51, 5100, 100), 1);
  EXPECT_EQ(frames, 22);
  EXPECT_EQ(Counters.stageKills, 5000);
  EXPECT_EQ(Counters.combo, 2);
}

// A stage with the generated sprites and background: the chicken and the mobs are drawn
// from the real banks, the stage plays until Escape.
TEST_F(StageTest, PlaysWithTheGeneratedData) {
  const char* dir = std::getenv("BRAKKEL_DATA_DIR");
  const std::string base = dir ? std::string(dir) + "/" : std::string();
  if (LoadSpriteFile(kChickenBank, (base + "chicken.ani").c_str()) != 1 ||
      LoadSpriteFile(kFootBank, (base + "foot.ani").c_str()) != 1 ||
      LoadSpriteFile(kMobBank, (base + "mop.ani").c_str()) != 1) {
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
      MobPool[0].x = 300;  // one mob on screen
      MobPool[0].y = 400;
    }
    if (frame == 150) input.leave = true;
  };
  Play(1, 100, 30);
  EXPECT_EQ(frames, 151);
  EXPECT_EQ(Player.y, 125);
  // Against the bare background of the last frame, the sprites changed pixels around the
  // chicken and the mob.
  static uint16_t composed[kFramePixels];
  std::copy(std::begin(FrameBuffer), std::end(FrameBuffer), composed);
  ShowPictureScrolled((Counters.scrollOffset + 640 - kScrollStep) % 640);
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
