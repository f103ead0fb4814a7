// Reading back what the window shows, for tests.
#include "platform/testing/readback.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstring>

#include "platform/display.h"
#include "platform/ime/input_method.h"
#include "platform/internal.h"
#include "platform/picture_fit.h"

namespace platform {
namespace {

uint32_t shown[kScreenPixels];

}  // namespace

const uint32_t* ShownPixels() {
  // Read back from the window's surface, where the picture was placed: what the player sees,
  // each picture pixel from the first window pixel that shows it.
  SDL_Window* window = GameWindow();
  SDL_Surface* surface = window ? SDL_GetWindowSurface(window) : nullptr;
  const PictureRect& place = ShownPicture();
  if (!surface || place.x + place.width > surface->w || place.y + place.height > surface->h || place.width <= 0 ||
      place.height <= 0) {
    std::memset(shown, 0, sizeof shown);
    return shown;
  }
  const int bytesPerPixel = surface->format->BytesPerPixel;
  for (int y = 0; y < kScreenHeight; ++y) {
    const int windowY = place.y + (y * place.height + kScreenHeight - 1) / kScreenHeight;
    for (int x = 0; x < kScreenWidth; ++x) {
      const int windowX = place.x + (x * place.width + kScreenWidth - 1) / kScreenWidth;
      const auto* at = static_cast<const uint8_t*>(surface->pixels) + static_cast<size_t>(windowY) * surface->pitch +
                       static_cast<size_t>(windowX) * bytesPerPixel;
      uint32_t& out = shown[y * kScreenWidth + x];
      if (surface->format->format == SDL_PIXELFORMAT_RGB888) {
        std::memcpy(&out, at, 4);
      } else {
        SDL_ConvertPixels(1, 1, surface->format->format, at, surface->pitch, SDL_PIXELFORMAT_RGB888, &out, 4);
      }
    }
  }
  return shown;
}

void WindowPixelSize(int& width, int& height) {
  SDL_Surface* surface = GameWindow() ? SDL_GetWindowSurface(GameWindow()) : nullptr;
  width = surface ? surface->w : 0;
  height = surface ? surface->h : 0;
}

uint32_t WindowPixel(int x, int y) {
  SDL_Surface* surface = GameWindow() ? SDL_GetWindowSurface(GameWindow()) : nullptr;
  uint32_t pixel = 0;
  if (!surface || x < 0 || y < 0 || x >= surface->w || y >= surface->h) return 0;
  const auto* at = static_cast<const uint8_t*>(surface->pixels) + static_cast<size_t>(y) * surface->pitch +
                   static_cast<size_t>(x) * surface->format->BytesPerPixel;
  SDL_ConvertPixels(1, 1, surface->format->format, at, surface->pitch, SDL_PIXELFORMAT_RGB888, &pixel, 4);
  return pixel;
}

PictureRect PictureInWindow() { return ShownPicture(); }

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
