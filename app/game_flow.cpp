// The run of a program from start-up to shutdown, and the sequence of one game.
#include "app/game_flow.h"

#include <cstdio>

#include "app/edition.h"
#include "app/music.h"
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

void PlayOneGame() {
  GameSrand(platform::Ticks());
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

  // Stages until one is not cleared; the stage number is then that stage's.
  while (PlayStage(Counters.stageNumber, StageMobCount(Counters.stageNumber), StageTarget(Counters.stageNumber)) == 1) {
    ++Counters.stageNumber;
  }
  if (Edition.rankingStep) Edition.rankingStep(Counters.gameMode, Counters.stageNumber);
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
