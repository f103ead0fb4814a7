#pragma once
// A recorded game played again by the rules: the world it started from is put back, the
// generator seeded, and each stage frame takes its recorded input and clock. One frame at a
// time, so a viewer can go at its own pace; headless it plays as fast as the rules run.
#include <cstddef>
#include <cstdint>
#include <string>

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

// Plays the whole replay again headless. True when the game ended exactly with its last
// recorded frame and the stage, score and best combo equal the recorded ones; otherwise
// `difference` says in one line what differs (or that its rules version is not known here). `replayed` gets the result
// played again.
bool VerifyReplay(const Replay& recorded, ReplayResult& replayed, std::string& difference);
