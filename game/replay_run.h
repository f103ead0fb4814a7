#pragma once
// A recorded game played again by the rules: the world it started from is put back, the
// generator seeded, and each stage frame takes its recorded input and clock. One frame at a
// time, so a viewer can go at its own pace; headless it plays as fast as the rules run.
#include <cstddef>
#include <cstdint>
#include <string>

#include "game/mob.h"
#include "game/stage.h"
#include "game/stage_input.h"
#include "game/world.h"
#include "replay/replay.h"

uint8_t PackStageInput(const StageInput& input);
StageInput UnpackStageInput(uint8_t bits);

// What a game takes over from the games before it in the run (the chicken, the mob pool, the
// lives, and the field's scroll as shown), from a world and its view into `start`, and back.
void CaptureGameStart(const World& world, const FieldView& view, ReplayStart& start);
void RestoreGameStart(const ReplayStart& start, World& world, FieldView& view);

// A recorded game played again in a world of its own.
struct ReplayRun {
  const Replay* replay = nullptr;
  World world;
  FieldView view;
  StageRun run;
  size_t frame = 0;        // frames played so far
  size_t stageFrame = 0;   // frames played in the current stage
  bool stageOver = false;  // the current stage ended with the last frame
  bool gameEnded = false;  // a stage was not cleared: the game is over

  // Sets the world as the game had it at its first stage, under the rules of the recording's
  // version, and starts that stage. False, with nothing to play, for rules this program does
  // not know. The replay must outlive the run.
  bool Start(const Replay& recorded);
  // Starts the next stage if the last one was cleared, then plays one recorded frame by the
  // rules alone (a viewer then draws `run`). False, with nothing played, once the game has
  // ended or the recorded frames have run out.
  bool Step();
  // The result as the game stands: stage, score, best combo; the seconds as recorded.
  ReplayResult Result() const;
};

// The most frames one stage can last under the rules. Every mob in play entered no farther right
// than kMobFarthestSpawnX and walks kMobStep a frame until it passes kMobEscapeX, so the field is
// empty by then at the latest; the end banner then runs its course and the stage ends. (A
// recording may start with mobs anywhere: only one that no game could have made runs longer.)
inline constexpr size_t kStageMostFrames = (kMobFarthestSpawnX - kMobEscapeX) / kMobStep + 1 +
                                           static_cast<size_t>(kEndBannerLastTick);

// Bounds on the work of playing a recording again.
struct ReplayBudget {
  size_t mostFrames = kReplayMostFrames;       // frames played in all
  size_t mostStageFrames = kReplayMostFrames;  // frames one stage may run
};

// What a recording played again within a budget came to.
enum class Replayed {
  AsRecorded,    // to its recorded end and stage, score and best combo
  Differs,       // to another end or result
  UnknownRules,  // not played: rules this program does not know
  OverBudget,    // stopped at the budget's frames before the game ended
  StageTooLong,  // stopped in a stage that ran past the budget's frames for one stage
};

// Plays `recorded` again in `replay`'s world (started anew) until the game ends, the recorded
// frames run out or the budget stops it; `replay.frame` then tells the frames played. Anything
// but AsRecorded leaves a one-line reason in `difference`; `replayed` gets the result played.
Replayed PlayReplayWithin(const Replay& recorded, const ReplayBudget& budget, ReplayRun& replay, ReplayResult& replayed,
                          std::string& difference);

// Plays the whole replay again headless. True when the game ended exactly with its last
// recorded frame and the stage, score and best combo equal the recorded ones; otherwise
// `difference` says in one line what differs (or that its rules version is not known here). `replayed` gets the result
// played again.
bool VerifyReplay(const Replay& recorded, ReplayResult& replayed, std::string& difference);
