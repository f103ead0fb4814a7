#pragma once
// Scripted input for tests and tools: real events pushed into the display's queue, as if the
// player had acted. They come out of PollMessage as the player's would.
#include <cstdint>

namespace platform {

// Modifiers held with a scripted key (bits).
inline constexpr uint32_t kModAlt = 1;    // the left Alt
inline constexpr uint32_t kModAltGr = 2;  // the right Alt, which types with it on many layouts
inline constexpr uint32_t kModCtrl = 4;
inline constexpr uint32_t kModNumLock = 8;  // NumLock is on
void PushKey(uint32_t virtualKey, bool down, uint32_t modifiers = 0);
// A keypad key: '0' to '9' or '.'; what it gives depends on kModNumLock.
void PushKeypadKey(char key, bool down, uint32_t modifiers);
void PushText(const char* utf8);
// Turns text input on or off, as an edit taking or losing the focus does (for tests of the
// pump without a dialog).
void SetTextInput(bool on);
// The input method's composition in progress (empty: the composition ended).
void PushComposition(const char* utf8);
void PushMouseMove(int x, int y);
// A left-button press or release where the last pushed mouse move left the pointer.
void PushMouseButton(bool down);
// The pointer leaving the window, as SDL reports it: a move to (x, y) on the window's edge,
// then the leave.
void PushPointerLeave(int x, int y);
// The window losing the keyboard focus (only the notice: SDL's own key releases come before it).
void PushFocusLost();
void PushPaint();
// The window's size changed to width x height pixels, as when the player drags its border.
void ResizeWindow(int width, int height);
void PushClose();

class InputMethodClient;
// Where the edits' next input method connection comes from: `connect` instead of the
// desktop's, on any display (a test's own client); null gives the desktop's back. Takes
// effect when no client is connected.
void UseInputMethod(InputMethodClient* (*connect)());

}  // namespace platform
