// Recorded games checked side by side, each in a world of its own, and the rules' versions.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "game/course.h"
#include "game/replay_run.h"
#include "game/rule_book.h"
#include "replay/replay.h"
#include "support/kept_games.h"

namespace {

// Every kept game, and each again with a score one higher: a forgery whose check must fail.
std::vector<Replay> KeptGamesAndForgeries() {
  std::vector<Replay> games;
  for (auto& [path, replay] : KeptGames()) {
    games.push_back(replay);
    replay.result.score += 1;
    games.push_back(replay);
  }
  return games;
}

struct Verdict {
  bool same = false;
  ReplayResult played;
  std::string difference;
  bool operator==(const Verdict&) const = default;
};

Verdict Check(const Replay& replay) {
  Verdict verdict;
  verdict.same = VerifyReplay(replay, verdict.played, verdict.difference);
  return verdict;
}

TEST(Worlds, GamesCheckedOnFourThreadsAtOnceGetTheVerdictsTheyGetOneAtATime) {
  const std::vector<Replay> games = KeptGamesAndForgeries();
  ASSERT_GE(games.size(), 12u);
  std::vector<Verdict> alone;
  for (const Replay& game : games) alone.push_back(Check(game));
  for (size_t i = 0; i < games.size(); ++i) EXPECT_EQ(alone[i].same, i % 2 == 0) << alone[i].difference;

  // Each thread goes through the games from its own starting point, so different games play
  // at the same moment; every verdict is kept and compared afterwards.
  constexpr size_t kThreads = 4;
  std::vector<std::vector<Verdict>> side(kThreads, std::vector<Verdict>(games.size()));
  std::vector<std::thread> threads;
  for (size_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (size_t k = 0; k < games.size(); ++k) {
        const size_t i = (k + t * games.size() / kThreads) % games.size();
        side[t][i] = Check(games[i]);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t t = 0; t < kThreads; ++t) {
    for (size_t i = 0; i < games.size(); ++i) EXPECT_EQ(side[t][i], alone[i]) << "thread " << t << ", game " << i;
  }
}

TEST(Rules, AGameOfRulesNewerThanTheProgramsIsNotPlayedAndSaysSo) {
  RuleBook rules;
  EXPECT_FALSE(RulesOfVersion(0, rules));
  EXPECT_FALSE(RulesOfVersion(kRulesVersion + 1, rules));
  ASSERT_TRUE(RulesOfVersion(1, rules));
  EXPECT_EQ(rules.version, 1u);
  EXPECT_FALSE(rules.emptyFieldAtGameStart);  // version 1 is the game as it always played

  std::vector<Replay> games = KeptGamesAndForgeries();
  ASSERT_FALSE(games.empty());
  Replay newer = games.front();
  ASSERT_TRUE(Check(newer).same);
  newer.rules = kRulesVersion + 1;
  const Verdict verdict = Check(newer);
  EXPECT_FALSE(verdict.same);
  EXPECT_EQ(verdict.difference, UnknownRulesReason(kRulesVersion + 1));
  EXPECT_NE(verdict.difference.find("rules version " + std::to_string(kRulesVersion + 1)), std::string::npos);
}

// The bound a replay check puts on one stage holds the longest stage the rules can make: every
// mob entered at the farthest place and never hit, in easy mode (no lives to end it), lasts
// until the last one has walked out and the end banner has run, and not a frame more.
TEST(Rules, NoStageOutlastsTheLongestAStageCanLast) {
  auto world = std::make_unique<World>();
  BeginGame(*world, RuleBook{}, GameMode::Easy, 7);
  StageRun run;
  StartStage(*world, run);
  for (Mob& mob : world->mobs.Front()) mob.x = kMobFarthestSpawnX;
  size_t frames = 0;
  for (uint32_t now = 0; !run.Over(*world) && frames <= kStageMostFrames; now += kStageFrameMs) {
    run.Play(*world, StageInput{}, now);
    ++frames;
  }
  EXPECT_TRUE(run.Over(*world));
  EXPECT_LE(frames, kStageMostFrames);
  EXPECT_GE(frames + 2, kStageMostFrames);  // the bound is the rules', not a guess far above them
}

}  // namespace
