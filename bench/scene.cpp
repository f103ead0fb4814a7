#include "scene.h"

#include <cstdlib>
#include <string>

#include "app/window.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "gfx/sprite_file.h"
#include "platform/clock.h"
#include "tests/support/heaviest_stage.h"

bool OpenScene() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (!platform::WindowOpen() && !CreateGameWindow()) return false;
  const char* dir = std::getenv("BRAKKEL_DATA_DIR");
  const std::string base = std::string(dir ? dir : BRAKKEL_BENCH_DATA_DIR) + "/";
  ClearSpriteBanks();
  if (LoadSpriteFile(kChickenBank, (base + "chicken.ani").c_str()) != SpriteLoad::Loaded ||
      LoadSpriteFile(kFootBank, (base + "foot.ani").c_str()) != SpriteLoad::Loaded ||
      LoadSpriteFile(kMobBank, (base + "mop.ani").c_str()) != SpriteLoad::Loaded) {
    return false;
  }
  if (!LoadPicture((base + "back.pcx").c_str())) return false;
  BuildSpritePalette();
  return true;
}

bool OpenHeaviestStage(benchmark::State& state, HeaviestStage& stage) {
  if (!OpenScene()) {
    state.SkipWithError("no window, font or game data");
    return false;
  }
  ResetForHeaviestStage(stage.world, stage.view);
  StartHeaviestStage(stage.screen, 50);
  // The generated mob's eight frames all in use at once, as mobs that came in at different times.
  for (int32_t i = 0; i < kMobPoolSize; ++i) stage.world.mobs[i].frame = static_cast<uint8_t>(i % 8);
  return true;
}

void CloseScene() {
  FreeSpriteBanks();
  SpriteBankTable = {};
  platform::UseRealClock();
}
