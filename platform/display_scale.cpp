// The window's size and the picture's place in it: the multiple a window opens at, the
// switch between a window and the whole screen, and pointer positions mapped back to the
// 640x480 picture.
#include <SDL.h>
// The window system's own view of the window, on X11 only: elsewhere SDL's size is true (and
// on Windows SDL_syswm.h would bring windows.h, whose WM_* macros clash with display.h's).
#if defined(SDL_VIDEO_DRIVER_X11)
#include <SDL_syswm.h>
#endif

#include <algorithm>

#include "platform/display.h"
#include "platform/display_parts.h"
#include "platform/internal.h"
#include "platform/picture_fit.h"

namespace platform {
namespace {

WindowChoice chosen;
// Where the picture went at the latest presentation.
PictureRect shownPicture;
// The window's size before it took the whole screen.
int windowedWidth = 0;
int windowedHeight = 0;

// The window's size in pixels as the window system really has it. SDL takes a fullscreen
// request as done at once; without a window manager to carry it out the X window keeps its
// old size, and the picture must stay in what the window really has.
void RealSize(SDL_Window* window, int& width, int& height) {
  SDL_GetWindowSizeInPixels(window, &width, &height);
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  XWindowAttributes attributes;
  if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11 &&
      XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes)) {
    width = attributes.width;
    height = attributes.height;
  }
#endif
}

bool Fullscreen(SDL_Window* window) { return (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0; }

}  // namespace

void ChooseWindow(const WindowChoice& choice) { chosen = choice; }

WindowChoice ChosenWindow() { return chosen; }

WindowOpening OpeningWindow() {
  int scale = std::clamp(chosen.scale, 0, kMaxScale);
  if (scale == 0) {
    SDL_Rect usable{0, 0, kScreenWidth, kScreenHeight};
    SDL_GetDisplayUsableBounds(0, &usable);
    scale = OpeningScale(usable.w, usable.h);
  }
  WindowOpening opening;
  opening.width = windowedWidth = kScreenWidth * scale;
  opening.height = windowedHeight = kScreenHeight * scale;
  // High-density displays: the window's size counts the display's own pixels.
  opening.flags = SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
  if (chosen.fullscreen) opening.flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  return opening;
}

void WindowResized() { SendWholeWindowNext(); }

const PictureRect& PlacePictureInSurface(int surfaceWidth, int surfaceHeight) {
  int width = surfaceWidth, height = surfaceHeight;
  SDL_Window* window = GameWindow();
  if (window && Fullscreen(window)) {
    // SDL's size may be one the window system has not (yet) given: ask it at every picture.
    int realWidth = 0, realHeight = 0;
    RealSize(window, realWidth, realHeight);
    if (realWidth > 0 && realHeight > 0) {
      width = std::min(width, realWidth);
      height = std::min(height, realHeight);
    }
  }
  const PictureRect place = PlacePicture(width, height);
  if (place.x != shownPicture.x || place.y != shownPicture.y || place.width != shownPicture.width ||
      place.height != shownPicture.height) {
    SendWholeWindowNext();  // the bars and the picture move: everything is drawn again
  }
  shownPicture = place;
  return shownPicture;
}

const PictureRect& ShownPicture() { return shownPicture; }

SDL_Rect ClientRectInWindow(const SDL_Rect& r) {
  const PictureRect& p = shownPicture;
  return SDL_Rect{p.x + r.x * p.width / kScreenWidth, p.y + r.y * p.height / kScreenHeight,
                  std::max(1, r.w * p.width / kScreenWidth), std::max(1, r.h * p.height / kScreenHeight)};
}

void SwitchFullscreen() {
  SDL_Window* window = GameWindow();
  if (!window) return;
  // The whole screen as the desktop has it: the display's mode never changes.
  chosen.fullscreen = !Fullscreen(window);
  if (chosen.fullscreen) {
    SDL_GetWindowSize(window, &windowedWidth, &windowedHeight);
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  } else {
    // Back to the window as it was (not every window system restores it by itself).
    SDL_SetWindowFullscreen(window, 0);
    if (windowedWidth > 0 && windowedHeight > 0) SDL_SetWindowSize(window, windowedWidth, windowedHeight);
  }
  SendWholeWindowNext();
}

bool PointerToClient(int x, int y, int& clientX, int& clientY) {
  SDL_Window* window = GameWindow();
  if (window) {
    // SDL reports the pointer in the window's own units; the picture is placed in pixels.
    int points = 0, pointsHigh = 0, pixels = 0, pixelsHigh = 0;
    SDL_GetWindowSize(window, &points, &pointsHigh);
    SDL_GetWindowSizeInPixels(window, &pixels, &pixelsHigh);
    if (points > 0 && pointsHigh > 0 && (points != pixels || pointsHigh != pixelsHigh)) {
      x = static_cast<int>(static_cast<long long>(x) * pixels / points);
      y = static_cast<int>(static_cast<long long>(y) * pixelsHigh / pointsHigh);
    }
  }
  return WindowToClient(shownPicture, x, y, clientX, clientY);
}

}  // namespace platform
