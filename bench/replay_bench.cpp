// Verifying a recorded game: a long game of easy mode, played by a steady hand that follows
// the mobs up and down and attacks, recorded as the game records it, then played again
// headless as soloplay --verify does. The counters give the game's length and how many
// times faster than real time it plays again (the goal: 20,000 times, a 10-minute game in
// 30 ms); and how many such games one and two threads check a second, each game in a world
// of its own (the goal: two threads at least 1.8 times as many as one).
#include <benchmark/benchmark.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/replay_recording.h"
#include "game/course.h"
#include "game/replay_run.h"
#include "game/world.h"

namespace {

constexpr uint32_t kStartClock = 100000;
constexpr size_t kTenMinutes = 10 * 60 * 20;  // stage frames

// The hand: up or down towards the nearest mob walking into reach, attacking all along.
StageInput Steer(const World& world) {
  const PlayerRecord& chicken = world.chicken;
  const int32_t reach = chicken.x + kPlayerHitRight;
  int32_t nearestX = INT32_MAX, wantedY = chicken.y;
  for (const Mob& mob : world.mobs.Front()) {
    if (mob.active == 1 && mob.x + kMobHitRight >= chicken.x + kPlayerHitLeft && mob.x < nearestX &&
        mob.x < reach + 200) {
      nearestX = mob.x;
      wantedY = mob.y + (kMobHitTop + kMobHitBottom) / 2 - (kPlayerHitTop + kPlayerHitBottom) / 2;
    }
  }
  StageInput input;
  input.up = wantedY < chicken.y - 2;
  input.down = wantedY > chicken.y + 2;
  input.attack = true;
  return input;
}

// Plays and records a game of up to ten minutes, as the game flow does, without drawing.
Replay RecordLongGame() {
  World world;
  FieldView view;
  BeginGame(world, RuleBook{}, GameMode::Easy, kStartClock);
  view.startClock = kStartClock;
  GameRecording recording;
  recording.Begin("soloplay", "bench", kStartClock, world, view);
  uint32_t now = kStartClock;
  StageRun run;
  do {
    recording.ReadyStage();
    StartStage(world, run);
    while (!run.Over(world)) {
      StageInput input = Steer(world);
      input.leave = recording.replay.inputs.size() + 1 == kTenMinutes;
      now += kStageFrameMs;
      recording.Frame(input, now);
      run.Play(world, input, now);
    }
  } while (NextStage(world, run) && recording.replay.inputs.size() < kTenMinutes);
  const GameCounters& c = world.counters;
  recording.End({c.stageNumber, c.score, c.bestCombo, PlaySeconds(kStartClock, now)}, false);
  return recording.replay;
}

const Replay& LongGame() {
  static const Replay game = RecordLongGame();
  return game;
}

void BM_VerifyLongGame(benchmark::State& state) {
  const Replay& replay = LongGame();
  ReplayResult played;
  std::string difference;
  bool same = true;
  for (auto _ : state) same = VerifyReplay(replay, played, difference) && same;
  if (!same) state.SkipWithError(("the game did not play again: " + difference).c_str());
  const double frames = static_cast<double>(replay.inputs.size());
  state.counters["frames"] = frames;
  state.counters["stage"] = played.stage;
  state.counters["gameSeconds"] = frames * kStageFrameMs / 1000.0;
  // Seconds of play per second of verification, and the time a 10-minute game would take.
  state.counters["timesRealTime"] = benchmark::Counter(frames * kStageFrameMs / 1000.0,
                                                       benchmark::Counter::kIsIterationInvariantRate);
  state.counters["framesPerSecond"] = benchmark::Counter(frames, benchmark::Counter::kIsIterationInvariantRate);
}
// Real time, not processor time: what a player waiting for --verify sees.
BENCHMARK(BM_VerifyLongGame)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each iteration: state.range(0) threads, each checking four copies of the long game one after
// the other, every check in a world of its own. Counts the games checked a second in all.
void BM_VerifyOnThreads(benchmark::State& state) {
  constexpr int kGamesPerThread = 4;
  const Replay& replay = LongGame();
  const int threads = static_cast<int>(state.range(0));
  std::atomic<int> wrong{0};
  for (auto _ : state) {
    std::vector<std::thread> checkers;
    for (int t = 0; t < threads; ++t) {
      checkers.emplace_back([&] {
        for (int g = 0; g < kGamesPerThread; ++g) {
          ReplayResult played;
          std::string difference;
          if (!VerifyReplay(replay, played, difference)) ++wrong;
        }
      });
    }
    for (std::thread& checker : checkers) checker.join();
  }
  if (wrong > 0) state.SkipWithError("a game did not play again on a thread of its own");
  state.counters["gamesPerSecond"] = benchmark::Counter(threads * kGamesPerThread,
                                                        benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_VerifyOnThreads)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
