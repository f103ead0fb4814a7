// The modal notice; standard error when there is no display to show it on.
#include "platform/messagebox.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/complain.h"
#include "platform/internal.h"
#include "platform/text.h"

namespace platform {
namespace {
std::function<void(const char*, const char*)> messageBoxHook;
}

void ShowMessageBox(const char* captionCp949, const char* textCp949) {
  if (messageBoxHook) {
    messageBoxHook(captionCp949, textCp949);
    return;
  }
  char caption[512];
  char text[2048];
  Cp949ToUtf8(captionCp949, std::strlen(captionCp949), caption, sizeof caption);
  Cp949ToUtf8(textCp949, std::strlen(textCp949), text, sizeof text);
  // The box belongs to the game window, so a window manager keeps it above the game and
  // gives it the keyboard; Return and Escape both press its one button.
  const SDL_MessageBoxButtonData ok{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                                    1, "OK"};
  const SDL_MessageBoxData box{0, GameWindow(), caption, text, 1, &ok, nullptr};
  int pressed = 0;
  // With no display at all SDL may hand the box to zenity, which finds none either and exits
  // as if the box had been closed: the notice would be lost.
  // Windows always has its desktop.
#if defined(_WIN32)
  const bool noDisplay = false;
#else
  const bool noDisplay = !GameWindow() && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY");
#endif
  if (noDisplay || SDL_ShowMessageBox(&box, &pressed) != 0) {
    Complain("%s: %s", caption, text);
  }
}

void SetMessageBoxHook(std::function<void(const char* caption, const char* text)> hook) {
  messageBoxHook = std::move(hook);
}

}  // namespace platform
