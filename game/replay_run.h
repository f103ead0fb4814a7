#pragma once
// A recorded game played again by the rules: the world it started from is put back, the
// generator seeded, and each stage frame takes its recorded input and clock. One frame at a
// time, so a viewer can go at its own pace; headless it plays as fast as the rules run.
#include <cstddef>
#include <cstdint>
#include <string>

#include "game/stage.h"
#include "game/stage_input.h"
#include "replay/replay.h"

uint8_t PackStageInput(const StageInput& input);
StageInput UnpackStageInput(uint8_t bits);

// What a game takes over from the games before it in the run (the chicken, the mob pool, the
// scroll, the lives), from the game's state into `start`, and back.
void CaptureGameStart(ReplayStart& start);
void RestoreGameStart(const ReplayStart& start);

struct ReplayRun {
  const Replay* replay = nullptr;
  StageRun run;
  size_t frame = 0;        // frames played so far
  bool stageOver = false;  // the current stage ended with the last frame
  bool gameEnded = false;  // a stage was not cleared: the game is over

  // Sets the counters, the world and the generator as the game had them at its first stage,
  // and starts that stage. The replay must outlive the run.
  void Start(const Replay& recorded);
  // Starts the next stage if the last one was cleared, then plays one recorded frame by the
  // rules alone (a viewer then draws `run`). False, with nothing played, once the game has
  // ended or the recorded frames have run out.
  bool Step();
  // The result as the game stands: stage, score, best combo; the seconds as recorded.
  ReplayResult Result() const;
};

// Plays the whole replay again headless. True when the game ended exactly with its last
// recorded frame and the stage, score and best combo equal the recorded ones; otherwise
// `difference` says in one line what differs. `replayed` gets the result played again.
bool VerifyReplay(const Replay& recorded, ReplayResult& replayed, std::string& difference);
