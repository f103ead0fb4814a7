// Mobs: spawning, walking, escaping, the hit boxes, kills, score, combo and lives.
#include <gtest/gtest.h>

#include <algorithm>

#include "game/counters.h"
#include "game/mob.h"
#include "game/player.h"
#include "game/random.h"
#include "gfx/frame.h"
#include "gfx/sprite.h"
#include "support/ani_file.h"

namespace {

class MobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Player = PlayerRecord{};
    Counters = GameCounters{};
    MobPool = {};
    GameSrand(7);
  }
  static Mob& PlaceMob(int index, int32_t x, int32_t y) {
    Mob& mob = MobPool[index];
    mob.active = 1;
    mob.x = x;
    mob.y = y;
    return mob;
  }
};

TEST_F(MobTest, SpawnDrawsPositionRowAndTintInThatOrder) {
  GameSrand(1);  // 41, 18467, 6334, 26500, 19169, 15724
  MobPool[0].frameDelay = 6;
  MobPool[0].frame = 5;
  MobPool[0].Spawn();
  EXPECT_EQ(MobPool[0].active, 1);
  EXPECT_EQ(MobPool[0].x, 1000 + 100 * (41 % 150));
  EXPECT_EQ(MobPool[0].y, 330 + 18467 % 120);
  EXPECT_EQ(MobPool[0].tint, 6334 % 255);
  EXPECT_EQ(MobPool[0].frame, 0);
  EXPECT_EQ(MobPool[0].frameDelay, 6);  // kept from before
  MobPool[1].Spawn();
  EXPECT_EQ(MobPool[1].x, 1000 + 100 * (26500 % 150));
  EXPECT_EQ(MobPool[1].y, 330 + 19169 % 120);
  EXPECT_EQ(MobPool[1].tint, 15724 % 255);
}

// A mob from x = 1000 shows on its 73rd update and escapes on its 231st; drawing needs
// the mob bank, here one frame of index 146 tinted to the mob's colour.
TEST_F(MobTest, WalksInDrawnFromX635AndEscapesPastMinus150) {
  FreeSpriteBanks();
  SpriteBankTable = {};
  InitRowOffsets();
  BuildSpritePalette();
  std::vector<AniFrame> frames(8, SolidFrame(4, 4, kMobTintIndex));
  auto bytes = AniBytes(frames);
  ASSERT_EQ(LoadSpriteFromMemory(kMobBank, bytes.data(), bytes.size()), 1);

  Mob& mob = PlaceMob(0, 1000, 400);
  mob.tint = 3;
  int firstDrawn = 0;
  int escaped = 0;
  for (int update = 1; update <= 300 && escaped == 0; ++update) {
    mob.Update();
    std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), 0);
    mob.Draw();
    const bool drawn = std::any_of(std::begin(FrameBuffer), std::end(FrameBuffer),
                                   [](uint16_t p) { return p == 0x02B5; });
    if (drawn && firstDrawn == 0) firstDrawn = update;
    if (mob.active == 0) escaped = update;
  }
  EXPECT_EQ(firstDrawn, 73);
  EXPECT_EQ(escaped, 231);
  EXPECT_EQ(mob.x, -155);
  EXPECT_EQ(Counters.escapedMobs, 1);

  Mob& far = PlaceMob(1, 15900, 400);
  int updates = 0;
  while (far.active == 1) {
    far.Update();
    ++updates;
  }
  EXPECT_EQ(updates, 3211);
  FreeSpriteBanks();
  SpriteBankTable = {};
}

TEST_F(MobTest, FrameChangesEveryFourthUpdateThroughEightFrames) {
  Mob& mob = PlaceMob(0, 5000, 400);
  std::vector<int> frames;
  for (int i = 0; i < 36; ++i) {
    mob.Update();
    frames.push_back(mob.frame);
  }
  EXPECT_EQ(frames[2], 0);
  EXPECT_EQ(frames[3], 1);
  EXPECT_EQ(frames[31], 0);  // 8 frames in 32 updates
  EXPECT_EQ(frames[35], 1);
}

TEST_F(MobTest, RectanglesThatShareOnlyAnEdgeOrCornerOverlap) {
  EXPECT_EQ(RectsOverlap(0, 0, 10, 10, 10, 10, 20, 20), 1);
  EXPECT_EQ(RectsOverlap(0, 0, 10, 10, 11, 0, 20, 10), 0);
  EXPECT_EQ(RectsOverlap(0, 0, 10, 10, 0, 11, 10, 20), 0);
  EXPECT_EQ(RectsOverlap(10, 10, 0, 0, 20, 20, 5, 5), 1);  // corners in any order
  EXPECT_EQ(RectsOverlap(20, 20, 11, 11, 10, 10, 0, 0), 0);
  EXPECT_EQ(RectsOverlap(0, 0, 100, 100, 40, 40, 50, 50), 1);  // one inside the other
}

// With the chicken at (170, 200) its hit box is (451, 423)-(474, 440).
TEST_F(MobTest, HitBoxCornerCases) {
  struct Case {
    int32_t x, y;
    bool hit;
  };
  const Case cases[] = {{381, 398, true},  {380, 398, false}, {381, 397, false}, {454, 426, true},
                        {455, 426, false}, {454, 427, false}, {420, 410, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mob at " << c.x << ", " << c.y);
    MobPool = {};
    Counters = GameCounters{};
    PlaceMob(0, c.x, c.y);
    ResolveAttack();
    EXPECT_EQ(MobPool[0].active, c.hit ? 0 : 1);
    EXPECT_EQ(Counters.stageKills, c.hit ? 1 : 0);
  }
}

TEST_F(MobTest, AnAttackKillsEveryMobUnderItScoringEachAndCountsOneCombo) {
  for (int i : {3, 10, 4000}) PlaceMob(i, 420, 410);
  PlaceMob(11, 1000, 410);  // out of reach
  MobPool[12] = MobPool[3];
  MobPool[12].active = 0;  // inactive records are never hit
  Counters.score = 500;
  GameSrand(99);
  // Two numbers per kill, in pool order: the dead record's delay, then the score.
  int32_t expectedScore = 500;
  int32_t expectedDelay[3];
  for (int k = 0; k < 3; ++k) {
    expectedDelay[k] = GameRand() % 8;
    expectedScore += GameRand() % 200;
  }
  const int32_t next = GameRand();
  GameSrand(99);
  ResolveAttack();
  EXPECT_EQ(Counters.stageKills, 3);
  EXPECT_EQ(Counters.score, expectedScore);
  EXPECT_EQ(Counters.combo, 1);
  EXPECT_EQ(CountActiveMobs(), 1);
  EXPECT_EQ(MobPool[3].frameDelay, expectedDelay[0]);
  EXPECT_EQ(MobPool[10].frameDelay, expectedDelay[1]);
  EXPECT_EQ(MobPool[4000].frameDelay, expectedDelay[2]);
  EXPECT_EQ(GameRand(), next);  // exactly six numbers were drawn
}

TEST_F(MobTest, ComboCountsAttacksThatHitAndAMissResetsIt) {
  Counters.bestCombo = 1;
  PlaceMob(0, 420, 410);
  ResolveAttack();
  PlaceMob(0, 420, 410);
  PlaceMob(1, 430, 410);
  ResolveAttack();
  EXPECT_EQ(Counters.combo, 2);
  EXPECT_EQ(Counters.bestCombo, 2);
  ResolveAttack();  // nothing within reach
  EXPECT_EQ(Counters.combo, 0);
  EXPECT_EQ(Counters.bestCombo, 2);
}

TEST_F(MobTest, ScoreWrapsInsteadOfOverflowing) {
  Counters.score = INT32_MAX - 50;
  for (int i = 0; i < 100; ++i) PlaceMob(i, 420, 410);
  ResolveAttack();
  EXPECT_EQ(Counters.stageKills, 100);
  // The total passed 2^31: as an unsigned count it is still the right sum.
  EXPECT_GT(static_cast<uint32_t>(Counters.score), static_cast<uint32_t>(INT32_MAX - 50));
  EXPECT_LT(Counters.score, 0);
}

TEST_F(MobTest, EscapesInEasyModeNeverCostALife) {
  Counters.gameMode = GameModeEasy;
  Counters.lives = 3;
  for (int i = 0; i < 100; ++i) PlaceMob(i, -150, 400);
  for (Mob& mob : MobPool) mob.Update();
  EXPECT_EQ(Counters.escapedMobs, 100);
  EXPECT_EQ(Counters.lives, 3);
  EXPECT_EQ(Counters.gameOver, 0);
  EXPECT_EQ(CountActiveMobs(), 0);
}

TEST_F(MobTest, EscapesCostLivesInNormalAndHardcore) {
  Counters.gameMode = GameModeNormal;
  Counters.lives = 1;
  PlaceMob(0, -150, 400);
  PlaceMob(1, -148, 400);
  for (Mob& mob : MobPool) mob.Update();
  EXPECT_EQ(Counters.lives, -1);
  EXPECT_EQ(Counters.gameOver, 1);

  Counters = GameCounters{};
  Counters.gameMode = GameModeNormal;
  Counters.lives = 10;
  for (int i = 0; i < 9; ++i) PlaceMob(i, -150, 400);
  for (Mob& mob : MobPool) mob.Update();
  EXPECT_EQ(Counters.lives, 1);
  EXPECT_EQ(Counters.gameOver, 0);
  PlaceMob(20, -150, 400);
  MobPool[20].Update();
  EXPECT_EQ(Counters.gameOver, 1);

  Counters = GameCounters{};
  Counters.gameMode = GameModeHardcore;
  Counters.lives = 1;
  PlaceMob(0, -150, 400);
  MobPool[0].Update();
  EXPECT_EQ(Counters.lives, 0);
  EXPECT_EQ(Counters.gameOver, 1);
}

TEST_F(MobTest, AKilledMobIsGoneAtOnceAndKeepsItsDelayWhenSpawnedAgain) {
  FreeSpriteBanks();
  SpriteBankTable = {};
  InitRowOffsets();
  BuildSpritePalette();
  auto bytes = AniBytes(std::vector<AniFrame>(8, SolidFrame(4, 4, 20)));
  ASSERT_EQ(LoadSpriteFromMemory(kMobBank, bytes.data(), bytes.size()), 1);
  PlaceMob(0, 420, 410);
  ResolveAttack();
  std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), 0);
  MobPool[0].Draw();
  EXPECT_TRUE(std::all_of(std::begin(FrameBuffer), std::end(FrameBuffer), [](uint16_t p) { return p == 0; }));
  EXPECT_EQ(CountActiveMobs(), 0);
  MobPool[0].Update();  // an inactive record does not move
  EXPECT_EQ(MobPool[0].x, 420);

  MobPool[0].frameDelay = 6;  // as a kill may leave it
  MobPool[0].Spawn();
  MobPool[0].Update();
  EXPECT_EQ(MobPool[0].frame, 1);  // 7 > 3: the frame changes on the first update
  EXPECT_EQ(MobPool[0].frameDelay, 0);
  FreeSpriteBanks();
  SpriteBankTable = {};
}

}  // namespace
