// Verifying a recorded game: a long game of easy mode, played by a steady hand that follows
// the mobs up and down and attacks, recorded as the game records it, then played again
// headless as soloplay --verify does. The counters give the game's length and how many
// times faster than real time it plays again; a 10-minute game must take at most 1.2 s.
#include <benchmark/benchmark.h>

#include <string>

#include "app/replay_recording.h"
#include "game/counters.h"
#include "game/mob.h"
#include "game/player.h"
#include "game/random.h"
#include "game/replay_run.h"

namespace {

constexpr uint32_t kStartClock = 100000;
constexpr size_t kTenMinutes = 10 * 60 * 20;  // stage frames

// The hand: up or down towards the nearest mob walking into reach, attacking all along.
StageInput Steer() {
  const int32_t reach = Player.x + kPlayerHitRight;
  int32_t nearestX = INT32_MAX, wantedY = Player.y;
  for (const Mob& mob : MobPool) {
    if (mob.active == 1 && mob.x + kMobHitRight >= Player.x + kPlayerHitLeft && mob.x < nearestX &&
        mob.x < reach + 200) {
      nearestX = mob.x;
      wantedY = mob.y + (kMobHitTop + kMobHitBottom) / 2 - (kPlayerHitTop + kPlayerHitBottom) / 2;
    }
  }
  StageInput input;
  input.up = wantedY < Player.y - 2;
  input.down = wantedY > Player.y + 2;
  input.attack = true;
  return input;
}

// Plays and records a game of up to ten minutes, as the game flow does, without drawing.
Replay RecordLongGame() {
  Counters = GameCounters{};
  MobPool = {};
  Player = PlayerRecord{};
  GameSrand(kStartClock);
  Counters.gameMode = GameModeEasy;
  Counters.gameStartTime = kStartClock;
  GameRecording recording;
  recording.Begin("soloplay", "bench", GameModeEasy, kStartClock, kStartClock);
  uint32_t now = kStartClock;
  StageRun run;
  for (bool cleared = true; cleared && recording.replay.inputs.size() < kTenMinutes;) {
    recording.ReadyStage();
    run.Start(Counters.stageNumber, StageMobCount(Counters.stageNumber), StageTarget(Counters.stageNumber));
    while (!run.Over()) {
      StageInput input = Steer();
      input.leave = recording.replay.inputs.size() + 1 == kTenMinutes;
      now += kStageFrameMs;
      recording.Frame(input, now);
      run.Play(input, now);
    }
    cleared = run.Result() == 1;
    if (cleared) ++Counters.stageNumber;
  }
  recording.End({Counters.stageNumber, Counters.score, Counters.bestCombo, (now - kStartClock) / 1000}, false);
  return recording.replay;
}

void BM_VerifyLongGame(benchmark::State& state) {
  const Replay replay = RecordLongGame();
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

}  // namespace
