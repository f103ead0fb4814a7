// The run of a program from start-up to shutdown, and the sequence of one game.
#include "app/game_flow.h"

#include <cstdio>
#include <vector>

#include "app/edition.h"
#include "app/music.h"
#include "app/replay_recording.h"
#include "app/screens.h"
#include "app/stage_screen.h"
#include "app/start_up.h"
#include "app/window.h"
#include "game/counters.h"
#include "game/random.h"
#include "game/stage.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/music.h"
#include "platform/text.h"

namespace {

// The game being recorded; kept from game to game so its buffers are grown once.
GameRecording Recording;

// The play time of the game as the ranking steps count it, whole seconds.
uint32_t PlaySecondsNow() { return (platform::Ticks() - Counters.gameStartTime) / 1000u; }

}  // namespace

void PlayOneGame() {
  const uint32_t seed = platform::Ticks();
  GameSrand(seed);
  Counters.gameOver = 0;
  Counters.score = 0;
  Counters.escapedMobs = 0;
  Counters.bestCombo = 0;
  // Both editions keep the stage number among the game counters, where the ranking
  // steps read it.
  Counters.stageNumber = 1;

  const int32_t mode = RunModeMenu();
  if (InputState.quit == 1) return;  // closed during the menu: no game
  Counters.gameMode = static_cast<GameMode>(mode);
  if (mode == GameModeNormal) Counters.lives = kNormalLives;
  if (mode == GameModeHardcore) Counters.lives = kHardcoreLives;
  LoadPicture("back.pcx");
  BuildSpritePalette();
  Counters.gameStartTime = platform::Ticks();
  GameRecording* recording = nullptr;
  if (Edition.program) {
    recording = &Recording;
    recording->Begin(Edition.program, BRAKKEL_VERSION, mode, seed, Counters.gameStartTime);
  }

  // Stages until one is not cleared; the stage number is then that stage's.
  while (PlayStage(Counters.stageNumber, StageMobCount(Counters.stageNumber), StageTarget(Counters.stageNumber),
                   recording) == 1) {
    ++Counters.stageNumber;
  }
  // The seconds as the game ended; a ranking step that reads the clock itself puts its own.
  Counters.playSeconds = PlaySecondsNow();
  const bool ranked = Edition.rankingStep && Edition.rankingStep(Counters.gameMode, Counters.stageNumber);
  if (!recording) return;
  recording->End({Counters.stageNumber, Counters.score, Counters.bestCombo, Counters.playSeconds}, ranked);
  if (recording->cutShort) return;
  // Encoded once: the file and, for a kept score, what netplay sends are the same bytes.
  const std::vector<uint8_t> encoded = EncodeReplay(recording->replay);
  SaveReplay(encoded, recording->replay.mode, kReplayFolder, std::time(nullptr));
  if (ranked && Edition.keptGameStep) Edition.keptGameStep(encoded);
}

void GameMain() {
  PrepareScreenAndSprites();
  StartMusic();
  ShowLogo();
  while (InputState.quit == 0) PlayOneGame();
  FreeSpriteBanks();
  StopMusic();
}

int RunProgram() {
  if (CreateGameWindow() != 1) {
    std::fprintf(stderr,
                 "Brakkel!!: no game window could be opened (is there a display?) or no Korean "
                 "font (NanumGothicCoding) was found\n");
    platform::CloseGameFont();
    platform::CloseDisplay();
    return 1;
  }
  GameMain();
  platform::CloseMusic();
  platform::CloseGameFont();
  platform::CloseDisplay();
  return 0;
}
