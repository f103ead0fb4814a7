// Reading back what the window shows, for tests.
#include "platform/testing/readback.h"

#include <SDL.h>
#include <SDL_image.h>

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

bool LoadPictureFile(const char* path, std::vector<uint32_t>& pixels, int& width, int& height) {
  SDL_Surface* picture = IMG_Load(path);
  if (!picture) return false;
  width = picture->w;
  height = picture->h;
  pixels.assign(static_cast<size_t>(width) * height, 0);
  const bool ok = SDL_ConvertPixels(width, height, picture->format->format, picture->pixels, picture->pitch,
                                    SDL_PIXELFORMAT_RGB888, pixels.data(), width * 4) == 0;
  SDL_FreeSurface(picture);
  return ok;
}

}  // namespace platform
