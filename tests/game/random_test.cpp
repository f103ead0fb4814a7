// The game's random numbers: the same sequence for a seed on every system.
#include <gtest/gtest.h>

#include "game/random.h"

namespace {

TEST(GameRandomTest, SeedOneGivesTheClassicSequence) {
  GameSrand(1);
  const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
  for (int32_t value : expected) EXPECT_EQ(GameRand(), value);
}

TEST(GameRandomTest, ReseedingRestartsTheSequenceAndValuesStayIn15Bits) {
  GameSrand(0xDEADBEEF);
  const int32_t first = GameRand();
  const int32_t second = GameRand();
  GameSrand(0xDEADBEEF);
  EXPECT_EQ(GameRand(), first);
  EXPECT_EQ(GameRand(), second);
  for (int i = 0; i < 10000; ++i) {
    const int32_t v = GameRand();
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 32767);
  }
}

}  // namespace
