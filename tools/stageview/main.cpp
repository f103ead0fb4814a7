// Plays stages 1, 2, 3, ... in a window with the sprite files and "back.pcx" of the working
// directory, in normal mode, until a stage is not cleared or the window is closed.
#include "app/window.h"
#include "game/counters.h"
#include "game/random.h"
#include "game/stage.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "platform/clock.h"
#include "platform/display.h"

namespace {

int WatchStages() {
  if (CreateGameWindow() != 1) return 1;
  InitOffscreen();
  InitRowOffsets();
  ClearSpriteBanks();
  LoadSpriteFile(kChickenBank, "chicken.ani");
  LoadSpriteFile(kFootBank, "foot.ani");
  LoadSpriteFile(kMobBank, "mop.ani");
  LoadPicture("back.pcx");
  BuildSpritePalette();

  GameSrand(platform::Ticks());
  Counters = GameCounters{};
  Counters.gameMode = GameModeNormal;
  Counters.lives = 10;
  Counters.gameStartTime = platform::Ticks();
  int32_t count = 100;
  int32_t target = 30;
  while (InputState.quit == 0 && PlayStage(Counters.stageNumber, count, target) == 1) {
    count += 100;
    target = target + 5 >= 100 ? 100 : target + 5;
    ++Counters.stageNumber;
  }
  FreeSpriteBanks();
  platform::CloseDisplay();
  return 0;
}

}  // namespace

int main() { return WatchStages(); }
