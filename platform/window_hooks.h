#pragma once
// Where the libraries above the platform's core plug into the game window, so that the core
// includes neither: the input method client (platform/ime/) stands between SDL's keys and
// the game's messages, and the dialogs (platform/dialog/) lie over the picture on its way to
// the window. Each library sets its hooks itself when it is first used; until then the
// window has no input method and no dialog.
#include <SDL_events.h>

#include <cstdint>

namespace platform {

struct InputMethodHooks {
  // True while the input method serves a focused edit: the keys type there.
  bool (*active)() = nullptr;
  // A key press or release, offered before the key becomes messages; true when the input
  // method took it. Either way, what the input method gave meanwhile has been delivered.
  bool (*key)(const SDL_KeyboardEvent& key) = nullptr;
  // The game window gained (true) or lost the keyboard.
  void (*windowFocus)(bool gained) = nullptr;
  // Asked on every idle look at the queue: delivers what the input method gave on its own
  // (not in answer to a key). False when it gave nothing.
  bool (*pump)() = nullptr;
  // The display closes: the input method is let go.
  void (*close)() = nullptr;
};
void SetInputMethodHooks(const InputMethodHooks& hooks);

// What the input method's output becomes (display_events.cpp), queued as the game's
// messages: typed text, the composition in progress (empty: it ended; `cursor` in
// characters), and a key handed back.
void DeliverText(const char* utf8);
void DeliverComposition(const char* utf8, int cursor);
void DeliverKey(const SDL_KeyboardEvent& key);

struct DialogHooks {
  // True while a dialog shows (presentation must then compose).
  bool (*shown)() = nullptr;
  // Draws the dialogs shown over a 640x480 XRGB8888 picture (`pitch` in pixels) on its way
  // to the window or into a screenshot.
  void (*compose)(uint32_t* pixels, int pitch) = nullptr;
  // The game window goes, and its dialogs go with it.
  void (*forget)() = nullptr;
};
void SetDialogHooks(const DialogHooks& hooks);

}  // namespace platform
