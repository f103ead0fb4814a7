// Reading back what the window shows, for tests.
#include "platform/testing/readback.h"

#include <SDL.h>

#include <cstring>

#include "platform/display.h"
#include "platform/input_method.h"
#include "platform/internal.h"

namespace platform {
namespace {

uint32_t shown[kScreenPixels];

}  // namespace

const uint32_t* ShownPixels() {
  // Read back from the window's surface: what the player sees.
  SDL_Window* window = GameWindow();
  SDL_Surface* surface = window ? SDL_GetWindowSurface(window) : nullptr;
  if (!surface || surface->w < kScreenWidth || surface->h < kScreenHeight ||
      SDL_ConvertPixels(kScreenWidth, kScreenHeight, surface->format->format, surface->pixels, surface->pitch,
                        SDL_PIXELFORMAT_RGB888, shown, kScreenWidth * 4) != 0) {
    std::memset(shown, 0, sizeof shown);
  }
  return shown;
}

uint32_t PresentedPictures() { return PicturesSent(); }

bool TextInputOn() { return SDL_IsTextInputActive() == SDL_TRUE || InputMethodActive(); }

}  // namespace platform
