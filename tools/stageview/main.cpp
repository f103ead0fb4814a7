// Plays stages 1, 2, 3, ... (or from the stage given as the only argument) in a window with
// the sprite files and "back.pcx" of the working directory, in normal mode, until a stage is
// not cleared or the window is closed.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/game_flow.h"
#include "app/stage_screen.h"
#include "app/start_up.h"
#include "app/window.h"
#include "game/course.h"
#include "game/stage.h"
#include "game/world.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "platform/clock.h"
#include "platform/display.h"

namespace {

int WatchStages(int32_t firstStage) {
  if (!CreateGameWindow()) {
    std::fprintf(stderr, "stageview: no game window (is there a display?) or no Korean font\n");
    return 1;
  }
  LoadGameSprites();
  LoadPicture("back.pcx");
  BuildSpritePalette();

  World world;
  FieldView view;
  BeginGame(world, RuleBook{}, GameMode::Normal, platform::Ticks());
  view.startClock = platform::Ticks();
  world.counters.stageNumber = firstStage;
  // The game's series of stages, from the stage given on.
  while (InputState.quit == 0 && PlayStage(world, view)) {
  }
  FreeSpriteBanks();
  platform::CloseDisplay();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t firstStage = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 1000) : 1;
  return WatchStages(firstStage);
}
