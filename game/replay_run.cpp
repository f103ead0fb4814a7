#include "game/replay_run.h"

#include <memory>

#include "game/course.h"

static_assert(kReplayPoolSize == kMobPoolSize, "a replay holds the whole mob pool");

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

void CaptureGameStart(const World& world, const FieldView& view, ReplayStart& start) {
  const PlayerRecord& c = world.chicken;
  start.player = {c.x, c.y, c.footTick, c.footPhaseA, c.footPhaseB, c.footDirA, c.footDirB, c.animCounter, c.attacking};
  start.scrollOffset = view.scroll;
  start.lives = world.counters.lives;
  // An untouched pool (the run's first game) is written as none. A record out of play keeps
  // the frame delay its kill drew, which its next spawn does not reset: the whole pool counts.
  bool used = false;
  for (const Mob& mob : world.mobs.records) used = used || mob.active != 0 || mob.frameDelay != 0;
  start.mobs.clear();
  if (!used) return;
  start.mobs.resize(kMobPoolSize);
  for (size_t i = 0; i < start.mobs.size(); ++i) {
    const Mob& mob = world.mobs[i];
    start.mobs[i] = {mob.active, mob.frameDelay, mob.frame, mob.tint, mob.x, mob.y};
  }
}

void RestoreGameStart(const ReplayStart& start, World& world, FieldView& view) {
  const auto& p = start.player;
  PlayerRecord& c = world.chicken;
  c = PlayerRecord{};
  c.x = p[0];
  c.y = p[1];
  c.footTick = p[2];
  c.footPhaseA = p[3];
  c.footPhaseB = p[4];
  c.footDirA = p[5];
  c.footDirB = p[6];
  c.animCounter = p[7];
  c.attacking = static_cast<uint8_t>(p[8]);
  // The scroll offset indexes the field's columns: keep it within them whatever a file says.
  view.scroll = start.scrollOffset >= 0 && start.scrollOffset < kFieldWidth ? start.scrollOffset : 0;
  world.counters.lives = start.lives;
  world.mobs = MobPool{};
  world.mobs.reach = 0;
  for (size_t i = 0; i < start.mobs.size() && i < kMobPoolSize; ++i) {
    const ReplayMob& m = start.mobs[i];
    world.mobs[i] = Mob{m.x, m.y, m.frame, m.frameDelay, m.active, m.tint};
    if (m.active != 0) world.mobs.reach = static_cast<int32_t>(i + 1);
  }
}

bool ReplayRun::Start(const Replay& recorded) {
  replay = &recorded;
  frame = 0;
  stageFrame = 0;
  stageOver = false;
  gameEnded = false;
  RuleBook rules;
  if (!RulesOfVersion(recorded.rules, rules)) {
    gameEnded = true;
    return false;
  }
  RestoreGameStart(recorded.start, world, view);
  BeginGame(world, rules, GameModeOf(recorded.mode), recorded.seed);
  view.startClock = recorded.startClock;
  world.counters.playSeconds = recorded.result.playSeconds;
  StartStage(world, run);
  return true;
}

bool ReplayRun::Step() {
  if (gameEnded || replay == nullptr) return false;
  if (stageOver) {
    if (!NextStage(world, run)) {
      gameEnded = true;
      return false;
    }
    StartStage(world, run);
    stageOver = false;
    stageFrame = 0;
  }
  if (frame >= replay->inputs.size()) return false;
  const StageInput input = UnpackStageInput(replay->inputs[frame]);
  const uint32_t now = replay->clocks[frame];
  ++frame;
  ++stageFrame;
  run.Play(world, input, now);
  view.Step();
  stageOver = run.Over(world);
  if (stageOver && !run.Cleared(world)) gameEnded = true;
  return true;
}

ReplayResult ReplayRun::Result() const {
  const GameCounters& c = world.counters;
  return {c.stageNumber, c.score, c.bestCombo, c.playSeconds};
}

Replayed PlayReplayWithin(const Replay& recorded, const ReplayBudget& budget, ReplayRun& replay, ReplayResult& replayed,
                          std::string& difference) {
  if (!replay.Start(recorded)) {
    replayed = {};
    difference = UnknownRulesReason(recorded.rules);
    return Replayed::UnknownRules;
  }
  Replayed stopped = Replayed::AsRecorded;
  while (stopped == Replayed::AsRecorded && replay.Step()) {
    if (replay.stageFrame > budget.mostStageFrames) {
      stopped = Replayed::StageTooLong;
      difference = "stage " + std::to_string(replay.world.counters.stageNumber) + " ran past " +
                   std::to_string(budget.mostStageFrames) + " frames";
    } else if (replay.frame >= budget.mostFrames && replay.frame < recorded.inputs.size() && !replay.gameEnded) {
      stopped = Replayed::OverBudget;
      difference = "stopped at " + std::to_string(budget.mostFrames) + " frames, the game not over";
    }
  }
  replayed = replay.Result();
  if (stopped != Replayed::AsRecorded) return stopped;
  const size_t frames = recorded.inputs.size();
  const ReplayResult& want = recorded.result;
  auto differs = [&](const char* what, int64_t was, int64_t is) {
    difference = std::string(what) + " differs: recorded " + std::to_string(was) + ", played again " +
                 std::to_string(is);
    return Replayed::Differs;
  };
  if (replayed.stage != want.stage) return differs("stage", want.stage, replayed.stage);
  if (replayed.score != want.score) return differs("score", want.score, replayed.score);
  if (replayed.bestCombo != want.bestCombo) return differs("combo", want.bestCombo, replayed.bestCombo);
  if (!replay.gameEnded) {
    difference = "frames differ: the " + std::to_string(frames) + " recorded frames ran out before the game ended";
    return Replayed::Differs;
  }
  if (replay.frame != frames)
    return differs("frames", static_cast<int64_t>(frames), static_cast<int64_t>(replay.frame));
  return Replayed::AsRecorded;
}

bool VerifyReplay(const Replay& recorded, ReplayResult& replayed, std::string& difference) {
  // A world of its own: about 60 KB, kept off the stack of a checking thread.
  auto replay = std::make_unique<ReplayRun>();
  return PlayReplayWithin(recorded, ReplayBudget{}, *replay, replayed, difference) == Replayed::AsRecorded;
}
