// The hooks the input method client and the dialogs set, and the core's calls through them:
// each does nothing (and answers false) until its library has set it.
#include "platform/window_hooks.h"

#include <SDL_keyboard.h>

#include "platform/display_parts.h"

namespace platform {
namespace {

InputMethodHooks inputMethod;
DialogHooks dialogs;

}  // namespace

void SetInputMethodHooks(const InputMethodHooks& hooks) { inputMethod = hooks; }

void SetDialogHooks(const DialogHooks& hooks) { dialogs = hooks; }

bool InputMethodServes() { return inputMethod.active && inputMethod.active(); }

bool KeyTakenByInputMethod(const SDL_KeyboardEvent& key) { return inputMethod.key && inputMethod.key(key); }

void WindowFocusToInputMethod(bool gained) {
  if (inputMethod.windowFocus) inputMethod.windowFocus(gained);
}

bool PumpInputMethod() { return inputMethod.pump && inputMethod.pump(); }

void CloseInputMethod() {
  if (inputMethod.close) inputMethod.close();
}

bool Typing() { return SDL_IsTextInputActive() || InputMethodServes(); }

bool AnyDialogShown() { return dialogs.shown && dialogs.shown(); }

void ComposeShownDialogs(uint32_t* pixels, int pitch) {
  if (dialogs.compose) dialogs.compose(pixels, pitch);
}

void ForgetWindowDialogs() {
  if (dialogs.forget) dialogs.forget();
}

}  // namespace platform
