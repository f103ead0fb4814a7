#include "scene.h"

#include <cstdlib>
#include <string>

#include "app/window.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "gfx/sprite_file.h"
#include "platform/clock.h"

bool OpenScene() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if ((!platform::WindowOpen() && CreateGameWindow() != 1)) return false;
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

void StartHeaviestStage(HeaviestStage& stage) {
  platform::UseFakeClock(1000);
  World& world = stage.world;
  world = World{};
  world.random.Seed(1);
  world.counters.gameMode = GameModeNormal;
  world.counters.lives = 10;
  stage.screen.Start(50, kMobPoolSize, 100);
  for (int32_t i = 0; i < kMobPoolSize; ++i) {
    Mob& mob = world.mobs[i];
    mob.x = i < 250 ? -140 + (i * 780) / 250 : 700 + (i % 150) * 100;
    mob.frame = static_cast<uint8_t>(i % 8);
  }
  InputState.keyDown[platform::VK_SPACE] = 1;
}

bool OpenHeaviestStage(benchmark::State& state, HeaviestStage& stage) {
  if (!OpenScene()) {
    state.SkipWithError("no window, font or game data");
    return false;
  }
  StartHeaviestStage(stage);
  return true;
}

void CloseScene() {
  FreeSpriteBanks();
  SpriteBankTable = {};
  platform::UseRealClock();
}
