// Mobs: spawning, walking, escaping, the hit boxes, kills, score, combo and lives.
#include <gtest/gtest.h>

#include <algorithm>

#include "draw/draw.h"
#include "game/world.h"
#include "gfx/frame.h"
#include "gfx/sprite.h"
#include "gfx/sprite_file.h"
#include "support/ani_file.h"

namespace {

class MobTest : public ::testing::Test {
 protected:
  void SetUp() override { world.random.Seed(7); }
  Mob& PlaceMob(int index, int32_t x, int32_t y) {
    Mob& mob = world.mobs[index];
    mob.active = 1;
    mob.x = x;
    mob.y = y;
    return mob;
  }
  // One update of every mob record, as a stage frame makes it.
  void UpdateAll() {
    for (Mob& mob : world.mobs.records) mob.Update(world.counters);
  }
  World world;
};

TEST_F(MobTest, SpawnDrawsPositionRowAndTintInThatOrder) {
  world.random.Seed(1);  // 41, 18467, 6334, 26500, 19169, 15724
  world.mobs[0].frameDelay = 6;
  world.mobs[0].frame = 5;
  world.mobs[0].Spawn(world.random);
  EXPECT_EQ(world.mobs[0].active, 1);
  EXPECT_EQ(world.mobs[0].x, 1000 + 100 * (41 % 150));
  EXPECT_EQ(world.mobs[0].y, 330 + 18467 % 120);
  EXPECT_EQ(world.mobs[0].tint, 6334 % 255);
  EXPECT_EQ(world.mobs[0].frame, 0);
  EXPECT_EQ(world.mobs[0].frameDelay, 6);  // kept from before
  world.mobs[1].Spawn(world.random);
  EXPECT_EQ(world.mobs[1].x, 1000 + 100 * (26500 % 150));
  EXPECT_EQ(world.mobs[1].y, 330 + 19169 % 120);
  EXPECT_EQ(world.mobs[1].tint, 15724 % 255);
}

// A mob from x = 1000 shows on its 73rd update and escapes on its 231st; drawing needs
// the mob bank, here one frame of index 146 tinted to the mob's colour.
TEST_F(MobTest, WalksInDrawnFromX635AndEscapesPastMinus150) {
  FreeSpriteBanks();
  SpriteBankTable = {};
  BuildSpritePalette();
  std::vector<AniFrame> frames(8, SolidFrame(4, 4, kMobTintIndex));
  auto bytes = AniBytes(frames);
  ASSERT_EQ(LoadSpriteFromMemory(kMobBank, bytes.data(), bytes.size()), SpriteLoad::Loaded);

  Mob& mob = PlaceMob(0, 1000, 400);
  mob.tint = 3;
  int firstDrawn = 0;
  int escaped = 0;
  for (int update = 1; update <= 300 && escaped == 0; ++update) {
    mob.Update(world.counters);
    std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), 0);
    DrawMob(mob);
    const bool drawn = std::any_of(std::begin(FrameBuffer), std::end(FrameBuffer),
                                   [](uint16_t p) { return p == 0x02B5; });
    if (drawn && firstDrawn == 0) firstDrawn = update;
    if (mob.active == 0) escaped = update;
  }
  EXPECT_EQ(firstDrawn, 73);
  EXPECT_EQ(escaped, 231);
  EXPECT_EQ(mob.x, -155);
  EXPECT_EQ(world.counters.escapedMobs, 1);

  Mob& far = PlaceMob(1, 15900, 400);
  int updates = 0;
  while (far.active == 1) {
    far.Update(world.counters);
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
    mob.Update(world.counters);
    frames.push_back(mob.frame);
  }
  EXPECT_EQ(frames[2], 0);
  EXPECT_EQ(frames[3], 1);
  EXPECT_EQ(frames[31], 0);  // 8 frames in 32 updates
  EXPECT_EQ(frames[35], 1);
}

TEST_F(MobTest, RectanglesThatShareOnlyAnEdgeOrCornerOverlap) {
  EXPECT_TRUE(RectsOverlap(0, 0, 10, 10, 10, 10, 20, 20));
  EXPECT_FALSE(RectsOverlap(0, 0, 10, 10, 11, 0, 20, 10));
  EXPECT_FALSE(RectsOverlap(0, 0, 10, 10, 0, 11, 10, 20));
  EXPECT_TRUE(RectsOverlap(10, 10, 0, 0, 20, 20, 5, 5));  // corners in any order
  EXPECT_FALSE(RectsOverlap(20, 20, 11, 11, 10, 10, 0, 0));
  EXPECT_TRUE(RectsOverlap(0, 0, 100, 100, 40, 40, 50, 50));  // one inside the other
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
    world.mobs = MobPool{};
    world.counters = GameCounters{};
    PlaceMob(0, c.x, c.y);
    ResolveAttack(world);
    EXPECT_EQ(world.mobs[0].active, c.hit ? 0 : 1);
    EXPECT_EQ(world.counters.stageKills, c.hit ? 1 : 0);
  }
}

TEST_F(MobTest, AnAttackKillsEveryMobUnderItScoringEachAndCountsOneCombo) {
  for (int i : {3, 10, 4000}) PlaceMob(i, 420, 410);
  PlaceMob(11, 1000, 410);  // out of reach
  world.mobs[12] = world.mobs[3];
  world.mobs[12].active = 0;  // inactive records are never hit
  world.counters.score = 500;
  world.random.Seed(99);
  // Two numbers per kill, in pool order: the dead record's delay, then the score.
  int32_t expectedScore = 500;
  int32_t expectedDelay[3];
  for (int k = 0; k < 3; ++k) {
    expectedDelay[k] = world.random.Next() % 8;
    expectedScore += world.random.Next() % 200;
  }
  const int32_t next = world.random.Next();
  world.random.Seed(99);
  ResolveAttack(world);
  EXPECT_EQ(world.counters.stageKills, 3);
  EXPECT_EQ(world.counters.score, expectedScore);
  EXPECT_EQ(world.counters.combo, 1);
  EXPECT_EQ(world.mobs.CountActive(), 1);
  EXPECT_EQ(world.mobs[3].frameDelay, expectedDelay[0]);
  EXPECT_EQ(world.mobs[10].frameDelay, expectedDelay[1]);
  EXPECT_EQ(world.mobs[4000].frameDelay, expectedDelay[2]);
  EXPECT_EQ(world.random.Next(), next);  // exactly six numbers were drawn
}

TEST_F(MobTest, ComboCountsAttacksThatHitAndAMissResetsIt) {
  world.counters.bestCombo = 1;
  PlaceMob(0, 420, 410);
  ResolveAttack(world);
  PlaceMob(0, 420, 410);
  PlaceMob(1, 430, 410);
  ResolveAttack(world);
  EXPECT_EQ(world.counters.combo, 2);
  EXPECT_EQ(world.counters.bestCombo, 2);
  ResolveAttack(world);  // nothing within reach
  EXPECT_EQ(world.counters.combo, 0);
  EXPECT_EQ(world.counters.bestCombo, 2);
}

TEST_F(MobTest, ScoreWrapsInsteadOfOverflowing) {
  world.counters.score = INT32_MAX - 50;
  for (int i = 0; i < 100; ++i) PlaceMob(i, 420, 410);
  ResolveAttack(world);
  EXPECT_EQ(world.counters.stageKills, 100);
  // The total passed 2^31: as an unsigned count it is still the right sum.
  EXPECT_GT(static_cast<uint32_t>(world.counters.score), static_cast<uint32_t>(INT32_MAX - 50));
  EXPECT_LT(world.counters.score, 0);
}

TEST_F(MobTest, EscapesInEasyModeNeverCostALife) {
  world.counters = GameCounters{.lives = 3, .gameMode = GameMode::Easy};
  for (int i = 0; i < 100; ++i) PlaceMob(i, -150, 400);
  UpdateAll();
  EXPECT_EQ(world.counters.escapedMobs, 100);
  EXPECT_EQ(world.counters.lives, 3);
  EXPECT_EQ(world.counters.gameOver, 0);
  EXPECT_EQ(world.mobs.CountActive(), 0);
}

TEST_F(MobTest, EscapesCostLivesInNormalAndHardcore) {
  world.counters = GameCounters{.lives = 1, .gameMode = GameMode::Normal};
  PlaceMob(0, -150, 400);
  PlaceMob(1, -148, 400);
  UpdateAll();
  EXPECT_EQ(world.counters.lives, -1);
  EXPECT_EQ(world.counters.gameOver, 1);

  world.counters = GameCounters{.lives = 10, .gameMode = GameMode::Normal};
  for (int i = 0; i < 9; ++i) PlaceMob(i, -150, 400);
  UpdateAll();
  EXPECT_EQ(world.counters.lives, 1);
  EXPECT_EQ(world.counters.gameOver, 0);
  PlaceMob(20, -150, 400);
  world.mobs[20].Update(world.counters);
  EXPECT_EQ(world.counters.gameOver, 1);

  world.counters = GameCounters{.lives = 1, .gameMode = GameMode::Hardcore};
  PlaceMob(0, -150, 400);
  world.mobs[0].Update(world.counters);
  EXPECT_EQ(world.counters.lives, 0);
  EXPECT_EQ(world.counters.gameOver, 1);
}

TEST_F(MobTest, AKilledMobIsGoneAtOnceAndKeepsItsDelayWhenSpawnedAgain) {
  FreeSpriteBanks();
  SpriteBankTable = {};
  BuildSpritePalette();
  auto bytes = AniBytes(std::vector<AniFrame>(8, SolidFrame(4, 4, 20)));
  ASSERT_EQ(LoadSpriteFromMemory(kMobBank, bytes.data(), bytes.size()), SpriteLoad::Loaded);
  PlaceMob(0, 420, 410);
  ResolveAttack(world);
  std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), 0);
  DrawMob(world.mobs[0]);
  EXPECT_TRUE(std::all_of(std::begin(FrameBuffer), std::end(FrameBuffer), [](uint16_t p) { return p == 0; }));
  EXPECT_EQ(world.mobs.CountActive(), 0);
  world.mobs[0].Update(world.counters);  // an inactive record does not move
  EXPECT_EQ(world.mobs[0].x, 420);

  world.mobs[0].frameDelay = 6;  // as a kill may leave it
  world.mobs[0].Spawn(world.random);
  world.mobs[0].Update(world.counters);
  EXPECT_EQ(world.mobs[0].frame, 1);  // 7 > 3: the frame changes on the first update
  EXPECT_EQ(world.mobs[0].frameDelay, 0);
  FreeSpriteBanks();
  SpriteBankTable = {};
}

}  // namespace
