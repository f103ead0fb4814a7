// The sprites of the heaviest stage frame, the 250 tinted mobs on screen and the chicken
// (a foot, the body, the other foot), drawn by the game's DrawSpriteTinted and DrawSprite and
// by SDL's blitter from 8-bit colour-keyed surfaces onto an RGB555 surface. Before any timing
// each SDL way is checked to give exactly the game's pixels; the program stops if not.
//
// SDL's ways of giving every mob its own colour:
// - Palette: one surface per frame; before each blit, palette entry 146 becomes the mob's
//   colour (SDL then maps the palette to the screen's format again).
// - Pretinted: a surface per frame and colour (2040 of them sharing the frames' pixels),
//   each with its own palette, so no blit changes a palette.
// SDL codes colour-keyed surfaces by runs (SDL_RLEACCEL) only where they have the screen's own
// pixel format, never for 8-bit ones. For comparison only, not an 8-bit way:
// - ScreenFormatRle: the pretinted surfaces converted to RGB555 and run-length coded.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "game/world.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "platform/display.h"
#include "scene.h"

namespace {

struct SpriteDraw {
  int32_t bank, frame;
  bool tinted;
  uint8_t from, to;
  int32_t x, y;
};

// The draws of one heaviest stage frame, in the game's order: the mobs, then the chicken.
std::vector<SpriteDraw> HeaviestFrameDraws(const World& world) {
  const PlayerRecord& chicken = world.chicken;
  std::vector<SpriteDraw> draws;
  for (const Mob& mob : world.mobs.Front()) {
    if (mob.active == 1 && mob.x < kFrameWidth) {
      draws.push_back({kMobBank, mob.frame, true, kMobTintIndex, mob.tint, mob.x, mob.y});
    }
  }
  const int32_t row = chicken.animCounter / 5;
  const FootOffset& feet = FootOffsets[row];
  draws.push_back({kFootBank, chicken.footPhaseA, false, 0, 0, chicken.x + feet.dxA - kFootOriginX,
                   chicken.y + feet.dyA - kFootOriginY});
  draws.push_back({kChickenBank, row, false, 0, 0, chicken.x, chicken.y});
  draws.push_back({kFootBank, chicken.footPhaseB, false, 0, 0, chicken.x + feet.dxB - kFootOriginX,
                   chicken.y + feet.dyB - kFootOriginY});
  return draws;
}

void DrawOurs(const std::vector<SpriteDraw>& draws) {
  for (const SpriteDraw& d : draws) {
    if (d.tinted) {
      DrawSpriteTinted(d.bank, d.frame, d.from, d.to, d.x, d.y);
    } else {
      DrawSprite(d.bank, d.frame, d.x, d.y);
    }
  }
}

SDL_Color ColourOf(uint16_t pixel) {
  const uint32_t wide = platform::WidenRgb555(pixel);
  return SDL_Color{static_cast<uint8_t>(wide >> 16), static_cast<uint8_t>(wide >> 8), static_cast<uint8_t>(wide), 255};
}

enum class SdlWay { Palette, Pretinted, ScreenFormatRle };

// SDL's surfaces for the frames of the three banks, and the screen they are blitted onto.
struct SdlScene {
  uint16_t screenPixels[kFramePixels];
  SDL_Surface* screen = nullptr;
  SDL_Surface* frames[3][kSpriteFramesPerBank] = {};
  SDL_Surface* tinted[kSpriteFramesPerBank][256] = {};  // mob frame, colour

  SDL_Surface* Make(int32_t bank, int32_t k) {
    const SpriteBank& b = SpriteBankTable[bank];
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(b.pixels[k], b.width[k], b.height[k], 8, b.width[k],
                                                        SDL_PIXELFORMAT_INDEX8);
    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = ColourOf(SpritePalette[i]);
    SDL_SetPaletteColors(s->format->palette, colours, 0, 256);
    SDL_SetColorKey(s, SDL_TRUE, kSpriteTransparent);
    SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
    return s;
  }

  // The surface in the screen's format, colour key and all, coded by runs.
  static SDL_Surface* ScreenFormat(SDL_Surface* s) {
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB555, 0);
    SDL_FreeSurface(s);
    SDL_SetSurfaceRLE(converted, 1);
    return converted;
  }

  explicit SdlScene(SdlWay way) {
    screen = SDL_CreateRGBSurfaceWithFormatFrom(screenPixels, kFrameWidth, kFrameHeight, 16, kFrameWidth * 2,
                                                SDL_PIXELFORMAT_RGB555);
    for (int32_t bank = 0; bank < 3; ++bank) {
      for (int32_t k = 0; k < SpriteBankTable[bank].frameCount; ++k) {
        frames[bank][k] = Make(bank, k);
        if (way == SdlWay::ScreenFormatRle) frames[bank][k] = ScreenFormat(frames[bank][k]);
      }
    }
    if (way == SdlWay::Palette) return;
    for (int32_t k = 0; k < SpriteBankTable[kMobBank].frameCount; ++k) {
      for (int to = 0; to < 256; ++to) {
        SDL_Surface* s = Make(kMobBank, k);
        const SDL_Color colour = ColourOf(SpritePalette[to]);
        SDL_SetPaletteColors(s->format->palette, &colour, kMobTintIndex, 1);
        tinted[k][to] = way == SdlWay::ScreenFormatRle ? ScreenFormat(s) : s;
      }
    }
  }
  ~SdlScene() {
    for (auto& bank : frames) {
      for (SDL_Surface* s : bank) SDL_FreeSurface(s);
    }
    for (auto& frame : tinted) {
      for (SDL_Surface* s : frame) SDL_FreeSurface(s);
    }
    SDL_FreeSurface(screen);
  }
  SdlScene(const SdlScene&) = delete;
  SdlScene& operator=(const SdlScene&) = delete;

  void Draw(const std::vector<SpriteDraw>& draws, SdlWay way) {
    for (const SpriteDraw& d : draws) {
      SDL_Surface* s = frames[d.bank][d.frame];
      if (d.tinted && way == SdlWay::Palette) {
        const SDL_Color colour = ColourOf(SpritePalette[d.to]);
        SDL_SetPaletteColors(s->format->palette, &colour, d.from, 1);
      } else if (d.tinted) {
        s = tinted[d.frame][d.to];
      }
      SDL_Rect at{d.x, d.y, 0, 0};
      SDL_BlitSurface(s, nullptr, screen, &at);
    }
  }
};

// Both draw onto the stage background; every pixel must agree.
void CheckSamePixels(SdlScene& sdl, SdlWay way, const std::vector<SpriteDraw>& draws) {
  ShowPictureScrolled(130);
  std::memcpy(sdl.screenPixels, FrameBuffer, sizeof FrameBuffer);
  DrawOurs(draws);
  sdl.Draw(draws, way);
  for (int i = 0; i < kFramePixels; ++i) {
    if (sdl.screenPixels[i] != FrameBuffer[i]) {
      std::fprintf(stderr, "sprite_bench: SDL and the game differ at (%d, %d): 0x%04X, 0x%04X\n", i % kFrameWidth,
                   i / kFrameWidth, sdl.screenPixels[i], FrameBuffer[i]);
      std::abort();
    }
  }
}

void BM_SpritesOurs(benchmark::State& state) {
  HeaviestStage stage;
  if (!OpenHeaviestStage(state, stage)) return;
  const std::vector<SpriteDraw> draws = HeaviestFrameDraws(stage.world);
  for (auto _ : state) {
    DrawOurs(draws);
    benchmark::ClobberMemory();
  }
  state.counters["draws"] = static_cast<double>(draws.size());
  CloseScene();
}
BENCHMARK(BM_SpritesOurs)->Unit(benchmark::kMillisecond);

void SdlSprites(benchmark::State& state, SdlWay way) {
  HeaviestStage stage;
  if (!OpenHeaviestStage(state, stage)) return;
  const std::vector<SpriteDraw> draws = HeaviestFrameDraws(stage.world);
  {
    auto sdl = std::make_unique<SdlScene>(way);
    CheckSamePixels(*sdl, way, draws);
    for (auto _ : state) {
      sdl->Draw(draws, way);
      benchmark::ClobberMemory();
    }
  }
  state.counters["draws"] = static_cast<double>(draws.size());
  CloseScene();
}
void BM_SpritesSdlPalette(benchmark::State& state) { SdlSprites(state, SdlWay::Palette); }
void BM_SpritesSdlPretinted(benchmark::State& state) { SdlSprites(state, SdlWay::Pretinted); }
void BM_SpritesSdlScreenFormatRle(benchmark::State& state) { SdlSprites(state, SdlWay::ScreenFormatRle); }
BENCHMARK(BM_SpritesSdlPalette)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpritesSdlPretinted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpritesSdlScreenFormatRle)->Unit(benchmark::kMillisecond);

}  // namespace
