#include "game/replay_run.h"

#include "game/counters.h"
#include "game/mob.h"
#include "game/player.h"
#include "game/random.h"

static_assert(kReplayPoolSize == kMobPoolSize, "a replay holds the whole mob pool");

namespace {

// The game's start values of a mode (the flow's): lives for normal and hardcore; easy
// leaves them as they were, which the start state holds.
constexpr int32_t kLivesOfMode[3] = {0, 10, 1};

}  // namespace

uint8_t PackStageInput(const StageInput& input) {
  return static_cast<uint8_t>((input.up ? kReplayUp : 0) | (input.down ? kReplayDown : 0) |
                              (input.left ? kReplayLeft : 0) | (input.right ? kReplayRight : 0) |
                              (input.attack ? kReplayAttack : 0) | (input.leave ? kReplayLeave : 0) |
                              (input.quit ? kReplayQuit : 0));
}

StageInput UnpackStageInput(uint8_t bits) {
  StageInput input;
  input.up = (bits & kReplayUp) != 0;
  input.down = (bits & kReplayDown) != 0;
  input.left = (bits & kReplayLeft) != 0;
  input.right = (bits & kReplayRight) != 0;
  input.attack = (bits & kReplayAttack) != 0;
  input.leave = (bits & kReplayLeave) != 0;
  input.quit = (bits & kReplayQuit) != 0;
  return input;
}

void CaptureGameStart(ReplayStart& start) {
  start.player = {Player.x,        Player.y,        Player.footTick,    Player.footPhaseA, Player.footPhaseB,
                  Player.footDirA, Player.footDirB, Player.animCounter, Player.attacking};
  start.scrollOffset = Counters.scrollOffset;
  start.lives = Counters.lives;
  // An untouched pool (the run's first game) is written as none.
  bool used = false;
  for (const Mob& mob : MobPool) used = used || mob.active != 0 || mob.frameDelay != 0;
  start.mobs.clear();
  if (!used) return;
  start.mobs.resize(MobPool.size());
  for (size_t i = 0; i < MobPool.size(); ++i) {
    const Mob& mob = MobPool[i];
    start.mobs[i] = {mob.active, mob.frameDelay, mob.frame, mob.tint, mob.x, mob.y};
  }
}

void RestoreGameStart(const ReplayStart& start) {
  const auto& p = start.player;
  Player = PlayerRecord{};
  Player.x = p[0];
  Player.y = p[1];
  Player.footTick = p[2];
  Player.footPhaseA = p[3];
  Player.footPhaseB = p[4];
  Player.footDirA = p[5];
  Player.footDirB = p[6];
  Player.animCounter = p[7];
  Player.attacking = static_cast<uint8_t>(p[8]);
  // The scroll offset indexes the field's columns: keep it within them whatever a file says.
  Counters.scrollOffset = start.scrollOffset >= 0 && start.scrollOffset < 640 ? start.scrollOffset : 0;
  Counters.lives = start.lives;
  MobPool = {};
  for (size_t i = 0; i < start.mobs.size() && i < MobPool.size(); ++i) {
    const ReplayMob& m = start.mobs[i];
    MobPool[i] = Mob{m.x, m.y, m.frame, m.frameDelay, m.active, m.tint};
  }
}

void ReplayRun::Start(const Replay& recorded) {
  replay = &recorded;
  frame = 0;
  stageOver = false;
  gameEnded = false;
  // As the game flow starts a game: the seed, fresh counters, the mode's lives, the clock.
  GameSrand(recorded.seed);
  Counters.gameOver = 0;
  Counters.score = 0;
  Counters.escapedMobs = 0;
  Counters.bestCombo = 0;
  Counters.stageNumber = 1;
  RestoreGameStart(recorded.start);
  Counters.gameMode = static_cast<GameMode>(recorded.mode >= 0 && recorded.mode < 3 ? recorded.mode : 0);
  if (Counters.gameMode != GameModeEasy) Counters.lives = kLivesOfMode[Counters.gameMode];
  Counters.gameStartTime = recorded.startClock;
  Counters.playSeconds = recorded.result.playSeconds;
  run.Start(1, StageMobCount(1), StageTarget(1));
}

bool ReplayRun::Step() {
  if (gameEnded || replay == nullptr) return false;
  if (stageOver) {
    if (run.Result() != 1) {
      gameEnded = true;
      return false;
    }
    // Mob counts stop growing long before the stage number could wrap.
    Counters.stageNumber = WrapAdd(Counters.stageNumber, 1);
    run.Start(Counters.stageNumber, StageMobCount(Counters.stageNumber), StageTarget(Counters.stageNumber));
    stageOver = false;
  }
  if (frame >= replay->inputs.size()) return false;
  const StageInput input = UnpackStageInput(replay->inputs[frame]);
  const uint32_t now = replay->clocks[frame];
  ++frame;
  run.Play(input, now);
  stageOver = run.Over();
  if (stageOver && run.Result() != 1) gameEnded = true;
  return true;
}

ReplayResult ReplayRun::Result() const {
  return {Counters.stageNumber, Counters.score, Counters.bestCombo, Counters.playSeconds};
}

bool VerifyReplay(const Replay& recorded, ReplayResult& replayed, std::string& difference) {
  ReplayRun replay;
  replay.Start(recorded);
  while (replay.Step()) {
  }
  replayed = replay.Result();
  const size_t frames = recorded.inputs.size();
  const ReplayResult& want = recorded.result;
  auto differs = [&](const char* what, int64_t was, int64_t is) {
    difference = std::string(what) + " differs: recorded " + std::to_string(was) + ", played again " +
                 std::to_string(is);
    return false;
  };
  if (replayed.stage != want.stage) return differs("stage", want.stage, replayed.stage);
  if (replayed.score != want.score) return differs("score", want.score, replayed.score);
  if (replayed.bestCombo != want.bestCombo) return differs("combo", want.bestCombo, replayed.bestCombo);
  if (!replay.gameEnded) {
    difference = "frames differ: the " + std::to_string(frames) + " recorded frames ran out before the game ended";
    return false;
  }
  if (replay.frame != frames)
    return differs("frames", static_cast<int64_t>(frames), static_cast<int64_t>(replay.frame));
  return true;
}
