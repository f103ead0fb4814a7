// The picture as the player sees it saved as a PNG, under a name of its second: the frame
// shown with the open dialogs over it, never the scaled window.
#include "platform/screenshot.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/clock.h"
#include "platform/complain.h"
#include "platform/display_parts.h"
#include "platform/files.h"
#include "platform/internal.h"

namespace platform {
namespace {

// The picture as the player sees it: the frame shown, with the open dialogs over it.
uint32_t shot[kScreenPixels];

// screenshots/YYYYMMDD-HHMMSS.png in the game folder (the working directory), with -2, -3 ...
// when a picture of that second is already there. Empty when none is free.
std::string FreeName(std::error_code& error) {
  const std::filesystem::path folder = std::filesystem::absolute("screenshots", error);
  // (the game folder may lie under a Korean user's name: the path stays UTF-8, as SDL takes it)
  if (error) return {};
  std::filesystem::create_directories(folder, error);
  if (error) return {};
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  const std::tm local = LocalTime(now);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  for (int n = 1; n < 1000; ++n) {
    std::string name = stamp;
    if (n > 1) name += "-" + std::to_string(n);
    const std::filesystem::path path = folder / (name + ".png");
    if (!std::filesystem::exists(path, error) && !error) return Utf8Of(path);
    if (error) return {};
  }
  error = std::make_error_code(std::errc::file_exists);
  return {};
}

}  // namespace

bool SaveScreenshot() {
  const uint16_t* frame = ShownFrame();
  if (frame) {
    WidenRgb555Frame(frame, shot);
  } else {
    std::memset(shot, 0, sizeof shot);  // nothing shown yet: the window is black
  }
  if (AnyDialogShown()) ComposeShownDialogs(shot, kScreenWidth);
  std::error_code error;
  const std::string path = FreeName(error);
  if (path.empty()) {
    Complain("no screenshot: the folder screenshots cannot be had: %s", error.message().c_str());
    return false;
  }
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(shot, kScreenWidth, kScreenHeight, 32, kScreenWidth * 4,
                                                            SDL_PIXELFORMAT_RGB888);
  const bool saved = surface && IMG_SavePNG(surface, path.c_str()) == 0;
  if (surface) SDL_FreeSurface(surface);
  if (!saved) {
    Complain("no screenshot: %s cannot be written: %s", path.c_str(), SDL_GetError());
    return false;
  }
  std::printf("screenshot: %s\n", path.c_str());
  std::fflush(stdout);
  return true;
}

}  // namespace platform
