// The rules of a later version, tried in a test build in which version 2 exists and turns its
// switch on (a new game starts on an empty field): games recorded under version 1 still play
// again exactly as they were played, and a new game records version 2 and plays by it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/course.h"
#include "game/replay_run.h"
#include "game/rule_book.h"
#include "game/world.h"
#include "replay/replay.h"
#include "support/kept_games.h"

static_assert(kRulesVersion == 2, "the trial build plays the rules of version 2");

namespace {

constexpr uint32_t kClock = 50000;

RuleBook Rules(uint32_t version) {
  RuleBook rules;
  EXPECT_TRUE(RulesOfVersion(version, rules));
  return rules;
}

// Plays a game in `world` from its start under `rules`, the chicken standing still and
// never attacking, and records it as the game flow does; ends at the first stage not cleared
// or after `most` frames (a leave). A game that does not start at stage 1 cannot be played
// again, but leaves its mobs walking all the same.
Replay PlayAndRecord(World& world, FieldView& view, const RuleBook& rules, GameMode mode, size_t most,
                     int32_t firstStage = 1) {
  BeginGame(world, rules, mode, kClock);
  world.counters.stageNumber = firstStage;
  view.startClock = kClock;
  Replay replay;
  replay.program = "soloplay";
  replay.version = "trial";
  replay.rules = world.rules.version;
  replay.mode = ModeNumber(mode);
  replay.seed = kClock;
  replay.startClock = kClock;
  CaptureGameStart(world, view, replay.start);
  uint32_t now = kClock;
  StageRun run;
  do {
    StartStage(world, run);
    while (!run.Over(world)) {
      StageInput input;
      input.leave = replay.inputs.size() + 1 == most;
      now += kStageFrameMs;
      replay.inputs.push_back(PackStageInput(input));
      replay.clocks.push_back(now);
      run.Play(world, input, now);
      view.Step();
    }
  } while (NextStage(world, run));
  const GameCounters& c = world.counters;
  replay.result = {c.stageNumber, c.score, c.bestCombo, PlaySeconds(kClock, now)};
  return replay;
}

bool Verifies(const Replay& replay, std::string& difference) {
  ReplayResult played;
  return VerifyReplay(replay, played, difference);
}

TEST(RuleSwitch, KeptGamesOfVersionOnePlayAsRecordedUnderTheNewerProgram) {
  int games = 0;
  for (const auto& [path, replay] : KeptGames()) {
    std::string error;
    EXPECT_EQ(replay.rules, 1u) << path << " (format 1: rules of version 1)";
    EXPECT_TRUE(Verifies(replay, error)) << path << ": " << error;
    ++games;
  }
  EXPECT_GE(games, 6);
}

TEST(RuleSwitch, EachVersionPlaysByItsOwnSwitchesAndANewGameRecordsTheNewest) {
  // A first game of 300 mobs left after 200 frames: most of them still walk when the next
  // game starts.
  World world;
  FieldView view;
  PlayAndRecord(world, view, Rules(1), GameMode::Easy, 200, 3);
  const World afterFirst = world;
  const FieldView viewAfterFirst = view;
  ASSERT_GT(afterFirst.mobs.CountActive(), 150);

  // Under version 1 a hardcore game takes them over, and the first of them to escape ends it.
  Replay old = PlayAndRecord(world, view, Rules(1), GameMode::Hardcore, 100000);
  EXPECT_EQ(old.rules, 1u);
  std::string difference;
  EXPECT_TRUE(Verifies(old, difference)) << difference;
  // Played by the switch of version 2 the same recording is another game: that it is refused
  // shows the version, not the program, chooses the rules.
  Replay relabelled = old;
  relabelled.rules = 2;
  EXPECT_FALSE(Verifies(relabelled, difference));

  // A new game is played under the newest rules, records their version and starts with no
  // mob in play; it lasts until the first of its own mobs escapes, so longer than the old one.
  world = afterFirst;
  view = viewAfterFirst;
  Replay fresh = PlayAndRecord(world, view, RuleBook{}, GameMode::Hardcore, 100000);
  EXPECT_EQ(fresh.rules, 2u);
  EXPECT_TRUE(Verifies(fresh, difference)) << difference;
  EXPECT_GT(fresh.inputs.size(), old.inputs.size());
  World started = afterFirst;
  BeginGame(started, RuleBook{}, GameMode::Hardcore, 1);
  EXPECT_EQ(started.mobs.CountActive(), 0);
}

}  // namespace
