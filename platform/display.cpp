// The SDL window: the display started once, the game window opened and closed.
// Its events become messages in display_events.cpp; frames reach it in display_present.cpp.
#include "platform/display.h"

#include <SDL.h>

#include <cstring>

#include "platform/complain.h"
#include "platform/display_parts.h"
#include "platform/internal.h"
#include "platform/text.h"

namespace platform {
namespace {

SDL_Window* window = nullptr;
// The window the player closed: hidden, and destroyed only when the display closes.
SDL_Window* closedWindow = nullptr;
bool videoStarted = false;

}  // namespace

bool StartVideo() {
  if (videoStarted) return true;
  // A drain right after a timed wait must see every event pushed before it.
  SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
  // Frames go straight into the window's own surface: no renderer, and no hidden
  // OpenGL texture behind the surface (costly where OpenGL is emulated in software).
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Windows' input method draws its own candidate list for the dialogs' edits (SDL's Windows
  // driver only; the other drivers do not read it).
  SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    Complain("the display cannot be used: %s", SDL_GetError());
    return false;
  }
  videoStarted = true;
  StartGamepads();
  return true;
}

namespace {

// Without a display SDL falls back on a driver that shows nothing; a game window there
// could be neither seen nor closed. Such a driver counts only when it was asked for.
bool InvisibleDriverUnasked() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0)) {
    return false;
  }
  const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  return !asked || std::strstr(asked, driver) == nullptr;
}

}  // namespace

bool OpenWindow(const char* captionCp949) {
  if (!StartVideo() || InvisibleDriverUnasked()) return false;
  DestroyGameWindow();
  char caption[256];
  Cp949ToUtf8(captionCp949, std::strlen(captionCp949), caption, sizeof caption);
  const WindowOpening opening = OpeningWindow();
  window = SDL_CreateWindow(caption, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, opening.width, opening.height,
                            opening.flags);
  if (!window) {
    Complain("the game window cannot be opened: %s", SDL_GetError());
    return false;
  }
  // SDL makes the window's surface when first asked: here, rather than in a frame.
  SDL_GetWindowSurface(window);
  StartWindowInput();
  return true;
}

bool WindowOpen() { return window != nullptr; }

void CloseDisplay() {
  DestroyGameWindow();
  CloseInputMethod();
  if (closedWindow) SDL_DestroyWindow(closedWindow);
  closedWindow = nullptr;
  StopGamepads();
  if (videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  videoStarted = false;
}

bool VideoStarted() { return videoStarted; }

void DestroyGameWindow() {
  // Dialogs belong to the game window and go with it, and so does typing into it.
  ForgetWindowDialogs();
  if (videoStarted && SDL_IsTextInputActive()) SDL_StopTextInput();
  // A closed window is hidden, and its X window kept until the display closes: SDL 2.26 may
  // still send a wake-up to the window a wait was told of, and that, for a window already
  // gone, is an X error that ends the program (seen at random when the window was closed).
  if (window) SDL_HideWindow(window);
  if (window && window != closedWindow) {
    if (closedWindow) SDL_DestroyWindow(closedWindow);
    closedWindow = window;
  }
  window = nullptr;
  ForgetWindowSurface();
}

SDL_Window* GameWindow() { return window; }

}  // namespace platform
