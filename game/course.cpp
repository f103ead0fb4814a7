#include "game/course.h"

#include "game/world.h"

void BeginGame(World& world, const RuleBook& rules, GameMode mode, uint32_t seed) {
  world.rules = rules;
  world.random.Seed(seed);
  const int32_t lives = world.counters.lives;
  world.counters = GameCounters{};
  world.counters.gameMode = mode;
  world.counters.lives = lives;
  if (world.counters.gameMode == GameMode::Normal) world.counters.lives = kNormalLives;
  if (world.counters.gameMode == GameMode::Hardcore) world.counters.lives = kHardcoreLives;
  if (rules.emptyFieldAtGameStart) {
    for (Mob& mob : world.mobs.Front()) mob.active = 0;
  }
}

void StartStage(World& world, StageRun& run) {
  const int32_t stage = world.counters.stageNumber;
  run.Start(world, stage, StageMobCount(stage), StageTarget(stage));
}

bool NextStage(World& world, const StageRun& run) {
  if (!run.Cleared(world)) return false;
  // Mob counts stop growing long before the stage number could wrap.
  world.counters.stageNumber = WrapAdd(world.counters.stageNumber, 1);
  return true;
}

uint32_t PlaySeconds(uint32_t startClock, uint32_t now) { return (now - startClock) / 1000u; }
