// Scripted input: real SDL events pushed into the queue, as if the player had acted.
#include "platform/testing/input.h"

#include <SDL.h>

#include "platform/ime/input_method.h"
#include "platform/internal.h"

namespace platform {
namespace {

// Where the last pushed mouse move left the pointer: pushed button events happen there.
int pushedPointerX = 0;
int pushedPointerY = 0;

uint32_t GameWindowId() {
  SDL_Window* window = GameWindow();
  return window ? SDL_GetWindowID(window) : 0;
}

SDL_Scancode ScancodeFromVirtualKey(uint32_t vk) {
  for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
    if (VirtualKeyFromScancode(static_cast<SDL_Scancode>(sc), true) == vk) return static_cast<SDL_Scancode>(sc);
  }
  return SDL_SCANCODE_UNKNOWN;
}

void PushWindowEvent(uint8_t which) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = which;
  e.window.windowID = GameWindowId();
  SDL_PushEvent(&e);
}

void PushScancode(SDL_Scancode scancode, bool down, uint32_t modifiers) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = scancode;
  e.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
  uint16_t mod = KMOD_NONE;
  if (modifiers & kModAlt) mod |= KMOD_LALT;
  if (modifiers & kModAltGr) mod |= KMOD_RALT;
  if (modifiers & kModCtrl) mod |= KMOD_LCTRL;
  if (modifiers & kModNumLock) mod |= KMOD_NUM;
  e.key.keysym.mod = mod;
  e.key.windowID = GameWindowId();
  SDL_PushEvent(&e);
}

}  // namespace

void PushKey(uint32_t virtualKey, bool down, uint32_t modifiers) {
  PushScancode(ScancodeFromVirtualKey(virtualKey), down, modifiers);
}

void PushKeypadKey(char key, bool down, uint32_t modifiers) {
  SDL_Scancode scancode = SDL_SCANCODE_KP_PERIOD;
  if (key >= '1' && key <= '9') scancode = static_cast<SDL_Scancode>(SDL_SCANCODE_KP_1 + (key - '1'));
  if (key == '0') scancode = SDL_SCANCODE_KP_0;
  PushScancode(scancode, down, modifiers);
}

namespace {

// A text event for the game window: typed text (SDL_Event::text) or a composition
// (SDL_Event::edit), which carry their window and text alike.
template <typename TextEvent>
void PushTextEvent(SDL_EventType type, TextEvent SDL_Event::*kind, const char* utf8) {
  SDL_Event e{};
  e.type = type;
  (e.*kind).windowID = GameWindowId();
  CopyText((e.*kind).text, utf8);
  SDL_PushEvent(&e);
}

}  // namespace

void PushText(const char* utf8) { PushTextEvent(SDL_TEXTINPUT, &SDL_Event::text, utf8); }

void SetTextInput(bool on) { on ? SDL_StartTextInput() : SDL_StopTextInput(); }

void PushComposition(const char* utf8) { PushTextEvent(SDL_TEXTEDITING, &SDL_Event::edit, utf8); }

void PushMouseMove(int x, int y) {
  pushedPointerX = x;
  pushedPointerY = y;
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = GameWindowId();
  e.motion.x = x;
  e.motion.y = y;
  SDL_PushEvent(&e);
}

void PushMouseButton(bool down) {
  SDL_Event e{};
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.windowID = GameWindowId();
  e.button.button = SDL_BUTTON_LEFT;
  e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.button.x = pushedPointerX;
  e.button.y = pushedPointerY;
  SDL_PushEvent(&e);
}

void PushPointerLeave(int x, int y) {
  // SDL's report of a pointer that left: a move to where it crossed the edge, then the leave.
  PushMouseMove(x, y);
  PushWindowEvent(SDL_WINDOWEVENT_LEAVE);
}

void PushFocusLost() { PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST); }
void PushPaint() { PushWindowEvent(SDL_WINDOWEVENT_EXPOSED); }

void ResizeWindow(int width, int height) {
  // SDL queues the window's size change itself.
  if (GameWindow()) SDL_SetWindowSize(GameWindow(), width, height);
}
void PushClose() { PushWindowEvent(SDL_WINDOWEVENT_CLOSE); }

void UseInputMethod(InputMethodClient* (*connect)()) { inputMethodConnector = connect; }

}  // namespace platform
