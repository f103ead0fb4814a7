#pragma once
// Shared by the display's files only: the window's life (display.cpp), SDL's events turned
// into messages (display_events.cpp), presentation (display_present.cpp) and the window's
// size with the picture's place in it (display_scale.cpp).
#include <cstdint>

#include "platform/picture_fit.h"

namespace platform {

// True between StartVideo and CloseDisplay.
bool VideoStarted();
// Hides the game window and lets it go, with its dialogs and its surface.
void DestroyGameWindow();

// A new window starts with no message pending and no key held, its WM_CREATE queued, and
// the input method's text on.
void StartWindowInput();

// The next presentation sends the whole picture (the window system lost what it showed).
void SendWholeWindowNext();
// The window's surface went with its window: the next one is new, and gets the whole picture.
void ForgetWindowSurface();

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
// F11, or Alt with Enter, pressed: switches between the window and the whole screen.
void WindowKeyPressed(int scancode, uint16_t modifiers, bool repeat);
// A pointer position in the window's units mapped to the picture's pixel under it; false on
// a bar or outside the window.
bool PointerToClient(int x, int y, int& clientX, int& clientY);

}  // namespace platform
