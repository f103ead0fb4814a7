// The run of a program from start-up to shutdown, and the sequence of one game.
#include "app/game_flow.h"

#include <vector>

#include "app/edition.h"
#include "app/music.h"
#include "app/replay_recording.h"
#include "app/screens.h"
#include "app/stage_screen.h"
#include "app/start_up.h"
#include "app/window.h"
#include "game/course.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "platform/clock.h"

namespace {

// The game being recorded; kept from game to game so its buffers are grown once.
GameRecording Recording;

}  // namespace

void PlayOneGame() {
  const uint32_t seed = platform::Ticks();
  const int32_t mode = RunModeMenu();
  if (InputState.quit == 1) return;  // closed during the menu: no game
  World& world = CurrentGame().world;
  FieldView& view = CurrentGame().view;
  BeginGame(world, RuleBook{}, GameModeOf(mode), seed);
  LoadPicture("back.pcx");
  BuildSpritePalette();
  view.startClock = platform::Ticks();
  GameRecording* recording = nullptr;
  if (Edition.program) {
    recording = &Recording;
    recording->Begin(Edition.program, BRAKKEL_VERSION, seed, world, view);
  }

  // Stages until one is not cleared; the stage number is then that stage's.
  while (PlayStage(world, view, recording)) {
  }
  GameCounters& counters = world.counters;
  // The seconds as the game ended; a ranking step that reads the clock itself puts its own.
  counters.playSeconds = PlaySeconds(view.startClock, platform::Ticks());
  const bool ranked = Edition.rankingStep && Edition.rankingStep(ModeNumber(counters.gameMode), counters.stageNumber);
  if (!recording) return;
  recording->End({counters.stageNumber, counters.score, counters.bestCombo, counters.playSeconds}, ranked);
  if (recording->cutShort) return;
  // Encoded once: the file and, for a kept score, what netplay sends are the same bytes.
  const std::vector<uint8_t> encoded = EncodeReplay(recording->replay);
  SaveReplay(encoded, recording->replay.mode, kReplayFolder, std::time(nullptr));
  if (ranked && Edition.keptGameStep) Edition.keptGameStep(encoded);
}

void GameMain() {
  LoadGameSprites();
  StartMusic();
  ShowLogo();
  while (InputState.quit == 0) PlayOneGame();
  FreeSpriteBanks();
  StopMusic();
}

int RunProgram() {
  if (!OpenGameWindowOrSay(" (NanumGothicCoding) was found")) return 1;
  GameMain();
  CloseGameWindow();
  return 0;
}
