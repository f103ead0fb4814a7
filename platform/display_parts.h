#pragma once
// Shared by the display's files only: the window's life (display.cpp), SDL's events turned
// into messages (display_events.cpp) and presentation (display_present.cpp).

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

}  // namespace platform
