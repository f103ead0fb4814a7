// The modal notice; standard error when there is no display to show it on.
#include "platform/messagebox.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

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
  if (SDL_ShowSimpleMessageBox(0, caption, text, nullptr) != 0) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
  }
}

void SetMessageBoxHook(std::function<void(const char* caption, const char* text)> hook) {
  messageBoxHook = std::move(hook);
}

}  // namespace platform
