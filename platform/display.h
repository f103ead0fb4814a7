#pragma once
// The game window, its messages and the off-screen surface.
// Messages carry the Windows numbering the game's window procedure is written against.
#include <cstdint>

namespace platform {

inline constexpr int kScreenWidth = 640;
inline constexpr int kScreenHeight = 480;
inline constexpr int kScreenPixels = kScreenWidth * kScreenHeight;

inline constexpr uint32_t WM_CREATE = 0x0001;
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;
inline constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr uint32_t WM_IME_COMPOSITION = 0x010F;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_APP = 0x8000;
inline constexpr uint32_t WM_MUSIC_NOTIFY = WM_APP + 1;

// Virtual-key codes the game and its dialogs use.
inline constexpr uint32_t VK_BACK = 0x08;
inline constexpr uint32_t VK_TAB = 0x09;
inline constexpr uint32_t VK_CLEAR = 0x0C;
inline constexpr uint32_t VK_SHIFT = 0x10;
inline constexpr uint32_t VK_RETURN = 0x0D;
inline constexpr uint32_t VK_ESCAPE = 0x1B;
inline constexpr uint32_t VK_SPACE = 0x20;
inline constexpr uint32_t VK_PRIOR = 0x21;
inline constexpr uint32_t VK_NEXT = 0x22;
inline constexpr uint32_t VK_END = 0x23;
inline constexpr uint32_t VK_HOME = 0x24;
inline constexpr uint32_t VK_LEFT = 0x25;
inline constexpr uint32_t VK_UP = 0x26;
inline constexpr uint32_t VK_RIGHT = 0x27;
inline constexpr uint32_t VK_DOWN = 0x28;
inline constexpr uint32_t VK_INSERT = 0x2D;
inline constexpr uint32_t VK_DELETE = 0x2E;
inline constexpr uint32_t VK_NUMPAD0 = 0x60;
inline constexpr uint32_t VK_DECIMAL = 0x6E;
inline constexpr uint32_t VK_F1 = 0x70;
inline constexpr uint32_t VK_F10 = 0x79;
inline constexpr uint32_t VK_F11 = 0x7A;
inline constexpr uint32_t VK_F12 = 0x7B;

// Mouse messages (moves and left-button presses and releases) carry x | y << 16 in lParam.
struct Message {
  uint32_t message = 0;
  uint32_t wParam = 0;
  int32_t lParam = 0;
  // WM_CHAR: the typed character; WM_IME_COMPOSITION: the input method's composition in
  // progress (empty when it ended). Code page 949 bytes, zero-terminated.
  char text[32] = {};
};

// How the window shows the 640x480 picture. Takes effect at the next OpenWindow;
// SwitchFullscreen switches `fullscreen` while the window is open (the whole screen as the
// desktop has it, the picture centred at its largest whole multiple). A window the player
// resizes keeps the picture at the largest multiple that fits, with black bars; that is no
// choice.
struct WindowChoice {
  int scale = 0;  // each game pixel as a scale x scale block; 0: the largest that fits the desktop
  bool fullscreen = false;
};
void ChooseWindow(const WindowChoice& choice);
WindowChoice ChosenWindow();
// Switches the open window to the whole screen, or back to the window at the size it had,
// and remembers that as the chosen `fullscreen`. Does nothing without a window.
void SwitchFullscreen();

// Opens the display and a resizable window showing the 640x480 picture at the chosen multiple
// (each game pixel a square block), sends WM_CREATE through the queue. Mouse messages carry
// the picture's own coordinates at any size; a position on a black bar is outside the
// picture. Returns false when no window can be made.
bool OpenWindow(const char* captionCp949);
// True from OpenWindow until the user closes the window.
bool WindowOpen();
// Closes the window (if still open) and the display.
void CloseDisplay();

// Takes the next pending message without waiting. False when none is pending.
bool PollMessage(Message& out);
// Sleeps until a message is pending or `ms` milliseconds have passed.
void WaitForMessage(uint32_t ms);

// A key going down (not its repeats), as the program's key policy sees it.
inline constexpr uint32_t kKeyShift = 1;
inline constexpr uint32_t kKeyCtrl = 2;
inline constexpr uint32_t kKeyAlt = 4;  // either Alt (the right one types as AltGr on many layouts)
inline constexpr uint32_t kKeyGui = 8;  // the Windows (or Super) key
struct PressedKey {
  uint32_t virtualKey = 0;
  uint32_t modifiers = 0;  // the kKey bits held with it
  bool typing = false;     // an edit of a dialog takes typing: the key types there
};
// What the program does with a key as it goes down, asked while the key is taken from the
// queue and before it becomes messages, which it still becomes. The platform has no keys of
// its own: without a policy a key only becomes messages. Set once by the program (app/'s
// table of the game's keys); null takes the policy away.
void SetKeyPolicy(void (*policy)(const PressedKey& key));

// The 640x480 RGB555 off-screen surface, row-major, top row first.
uint16_t* OffscreenPixels();
// Copies a 640x480 RGB555 frame (bit 15 ignored) onto the off-screen surface.
void CopyToOffscreen(const uint16_t* frame);
// Shows the off-screen surface in the window.
void PresentOffscreen();
// Shows a 640x480 RGB555 frame in the window, bypassing the off-screen surface.
void PresentFrame(const uint16_t* frame);
// The widening rule for presentation: 5-bit v becomes (v << 3) | (v >> 2); result is XRGB8888.
uint32_t WidenRgb555(uint16_t pixel);
// The same rule over a whole 640x480 frame, as presentation converts it.
void WidenRgb555Frame(const uint16_t* frame, uint32_t* out);

// Scripted input and reading back the shown picture, for tests: platform/testing.

}  // namespace platform
