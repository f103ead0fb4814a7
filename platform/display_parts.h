#pragma once
// Shared by the display's files only: the window's life (display.cpp), SDL's events turned
// into messages (display_events.cpp), presentation (display_present.cpp), the window's
// size with the picture's place in it (display_scale.cpp), the game controllers
// (gamepad.cpp), the screenshot (screenshot.cpp) and the hooks of the libraries above
// (window_hooks.cpp).
#include <cstdint>

#include "platform/display.h"
#include "platform/picture_fit.h"

union SDL_Event;
struct SDL_KeyboardEvent;

namespace platform {

// Hides the game window and lets it go, with its dialogs and its surface.
void DestroyGameWindow();

// A new window starts with no message pending and no key held, its WM_CREATE queued, and
// the input method's text on.
void StartWindowInput();

// The next presentation sends the whole picture (the window system lost what it showed).
void SendWholeWindowNext();
// The window's surface went with its window: the next one is new, and gets the whole picture.
void ForgetWindowSurface();

// The 640x480 frame the window shows (dialogs aside), or null before the first.
const uint16_t* ShownFrame();

// Game controllers: their subsystem started with the display, each opened as it comes.
void StartGamepads();
void StopGamepads();
// The messages a controller's event gives. True when the event was the controller's alone;
// the pointer's moves and the window's loss of focus are looked at and go on.
inline constexpr int kPadMessageCap = 16;
struct PadMessages {
  Message list[kPadMessageCap];
  int count = 0;
};
bool TranslatePadEvent(const SDL_Event& e, PadMessages& out);

// Through the hooks of the input method client (window_hooks.h); each does nothing and
// answers false until the client set them.
bool InputMethodServes();
bool KeyTakenByInputMethod(const SDL_KeyboardEvent& key);
void WindowFocusToInputMethod(bool gained);
bool PumpInputMethod();
void CloseInputMethod();
// An edit takes typing: SDL's text input is on, or the input method serves the edit.
bool Typing();
// Through the hooks of the dialogs: whether one shows, drawing those shown over a 640x480
// XRGB8888 picture, and letting them go with the window.
bool AnyDialogShown();
void ComposeShownDialogs(uint32_t* pixels, int pitch);
void ForgetWindowDialogs();

// The size and SDL window flags a new window opens with, from the player's choice and the
// desktop's usable area.
struct WindowOpening {
  int width = kScreenWidth;
  int height = kScreenHeight;
  uint32_t flags = 0;
};
WindowOpening OpeningWindow();
// The window's size changed (or may have): the picture is placed again at the next present.
void WindowResized();
// The picture's place in a window surface of the given size, for this presentation.
const PictureRect& PlacePictureInSurface(int surfaceWidth, int surfaceHeight);
// A pointer position in the window's units mapped to the picture's pixel under it; false on
// a bar or outside the window.
bool PointerToClient(int x, int y, int& clientX, int& clientY);

}  // namespace platform
