// One stage frame at the heaviest load: all 5000 mob records active, about 250 of them on
// screen, the chicken attacking, the HUD and the stage banner at its largest, composed,
// text drawn and presented (headless under SDL's dummy video driver).
#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/window.h"
#include "game/counters.h"
#include "game/mob.h"
#include "game/player.h"
#include "game/random.h"
#include "game/stage.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "platform/clock.h"
#include "platform/messagebox.h"

namespace {

// Frames of the generated data's sizes, two thirds opaque, some pixels of the tint index.
void FillBank(int32_t bank, int32_t frames, int32_t width, int32_t height) {
  std::vector<uint8_t> file(28 + 4, 0);
  std::memcpy(file.data(), "Quorbelith ANI FILE VER 2.0", 28);
  auto put = [&](int32_t v) {
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
  };
  file.resize(28);
  put(frames);
  for (int32_t k = 0; k < frames; ++k) {
    put(width);
    put(height);
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        file.push_back((x + y) % 3 == 0 ? kSpriteTransparent : (x % 2 ? kMobTintIndex : 100));
      }
    }
  }
  LoadSpriteFromMemory(bank, file.data(), file.size());
}

// Loads the sprite files and the stage background from BRAKKEL_DATA_DIR; sprite files that
// are not there yet are replaced by frames of the same sizes.
void LoadGameData() {
  platform::SetMessageBoxHook([](const char*, const char*) {});
  const char* dir = std::getenv("BRAKKEL_DATA_DIR");
  const std::string base = dir ? std::string(dir) + "/" : std::string();
  ClearSpriteBanks();
  if (LoadSpriteFile(kChickenBank, (base + "chicken.ani").c_str()) != 1) FillBank(kChickenBank, 4, 320, 256);
  if (LoadSpriteFile(kFootBank, (base + "foot.ani").c_str()) != 1) FillBank(kFootBank, 8, 200, 180);
  if (LoadSpriteFile(kMobBank, (base + "mop.ani").c_str()) != 1) FillBank(kMobBank, 8, 92, 58);
  LoadPicture((base + "back.pcx").c_str());
  BuildSpritePalette();
}

void BM_StageFrameFullPool(benchmark::State& state) {
  CreateGameWindow();
  InitOffscreen();
  InitRowOffsets();
  LoadGameData();
  platform::UseFakeClock(1000);
  GameSrand(1);
  Counters = GameCounters{};
  Counters.gameMode = GameModeNormal;
  Counters.lives = 10;

  StageRun run;
  run.Start(50, kMobPoolSize, 100);
  // 250 mobs spread over the screen, the other 4750 still walking in from the right.
  for (int32_t i = 0; i < kMobPoolSize; ++i) {
    Mob& mob = MobPool[i];
    mob.x = i < 250 ? -140 + (i * 780) / 250 : 700 + (i % 150) * 100;
  }
  const std::array<Mob, kMobPoolSize> placed = MobPool;
  InputState.keyDown[platform::VK_SPACE] = 1;

  for (auto _ : state) {
    state.PauseTiming();
    MobPool = placed;
    Counters.lives = 10;
    run.stageBannerTicks = 49;  // drawn at size 50
    state.ResumeTiming();
    run.Frame();
  }
  benchmark::DoNotOptimize(FrameBuffer[0]);
  state.counters["onScreen"] = 250;
  // Each run of this function loads afresh: the banks must be empty again.
  FreeSpriteBanks();
  SpriteBankTable = {};
  platform::UseRealClock();
}
BENCHMARK(BM_StageFrameFullPool)->Unit(benchmark::kMillisecond);

}  // namespace


