// Which input method serves the edits, and SDL's keys in the input method's terms: X keysyms,
// the kernel's key codes and X modifier bits, and back again for the keys it hands back. The
// window's core reaches the client through the hooks set here at the first focus.
#include "platform/ime/input_method.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>

#include "platform/internal.h"
#include "platform/window_hooks.h"

namespace platform {

InputMethodClient* (*inputMethodConnector)() = nullptr;

namespace {

std::unique_ptr<InputMethodClient> client;
bool focused = false;
SDL_Rect caret{-1, -1, 0, 0};
// The keys pressed while the client served the edit. A key held since before (Escape that
// left the stage, still repeating) is no key for the input method: ibus-hangul takes Escape
// as its switch to Latin mode.
bool pressedHere[SDL_NUM_SCANCODES];

// fcitx when the desktop asks for it as SDL reads the wish (SDL_IM_MODULE, else XMODIFIERS),
// IBus otherwise. The other one is never tried: asking it could start it.
InputMethodClient* Connect() {
  const char* module = std::getenv("SDL_IM_MODULE");
  const char* modifiers = std::getenv("XMODIFIERS");
  bool fcitx = module ? std::strcmp(module, "fcitx") == 0 : modifiers && std::strstr(modifiers, "@im=fcitx");
  return fcitx ? ConnectFcitx() : ConnectIbus();
}

// Only a window on a real display has a desktop input method; under SDL's invisible drivers
// (the tests) a developer's own input method stays out.
bool DisplayHasInputMethod() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
}

void Drop() {
  client.reset();
  focused = false;
}

void SendCaret() {
  SDL_Window* w = GameWindow();
  if (!client || !focused || !w || caret.x < 0) return;
  int x = 0, y = 0;
  SDL_GetWindowPosition(w, &x, &y);
  const SDL_Rect spot = ClientRectInWindow(caret);  // surface pixels taken as window units, as on X11
  client->Caret(x + spot.x, y + spot.y, spot.w, spot.h);
}

// X keysyms of the keys that type no character, by scancode.
struct NamedKey {
  SDL_Scancode scancode;
  uint32_t keysym;
};
constexpr NamedKey kNamedKeys[] = {
    {SDL_SCANCODE_RETURN, 0xFF0D},    {SDL_SCANCODE_KP_ENTER, 0xFF8D}, {SDL_SCANCODE_ESCAPE, 0xFF1B},
    {SDL_SCANCODE_BACKSPACE, 0xFF08}, {SDL_SCANCODE_TAB, 0xFF09},      {SDL_SCANCODE_DELETE, 0xFFFF},
    {SDL_SCANCODE_INSERT, 0xFF63},    {SDL_SCANCODE_HOME, 0xFF50},     {SDL_SCANCODE_END, 0xFF57},
    {SDL_SCANCODE_PAGEUP, 0xFF55},    {SDL_SCANCODE_PAGEDOWN, 0xFF56}, {SDL_SCANCODE_LEFT, 0xFF51},
    {SDL_SCANCODE_UP, 0xFF52},        {SDL_SCANCODE_RIGHT, 0xFF53},    {SDL_SCANCODE_DOWN, 0xFF54},
    {SDL_SCANCODE_LSHIFT, 0xFFE1},    {SDL_SCANCODE_RSHIFT, 0xFFE2},   {SDL_SCANCODE_LCTRL, 0xFFE3},
    {SDL_SCANCODE_RCTRL, 0xFFE4},     {SDL_SCANCODE_CAPSLOCK, 0xFFE5}, {SDL_SCANCODE_LALT, 0xFFE9},
    {SDL_SCANCODE_RALT, 0xFFEA},      {SDL_SCANCODE_LGUI, 0xFFEB},     {SDL_SCANCODE_RGUI, 0xFFEC},
    {SDL_SCANCODE_LANG1, 0xFF31},     {SDL_SCANCODE_LANG2, 0xFF34},  // Hangul, Hangul_Hanja
};

// The kernel's key codes (what IBus takes; X's are 8 more), by scancode.
constexpr uint8_t kLetterCodes[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                      49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
struct KeyCode {
  SDL_Scancode scancode;
  uint8_t code;
};
constexpr KeyCode kKeyCodes[] = {
    {SDL_SCANCODE_ESCAPE, 1},        {SDL_SCANCODE_MINUS, 12},      {SDL_SCANCODE_EQUALS, 13},
    {SDL_SCANCODE_BACKSPACE, 14},    {SDL_SCANCODE_TAB, 15},        {SDL_SCANCODE_LEFTBRACKET, 26},
    {SDL_SCANCODE_RIGHTBRACKET, 27}, {SDL_SCANCODE_RETURN, 28},     {SDL_SCANCODE_LCTRL, 29},
    {SDL_SCANCODE_SEMICOLON, 39},    {SDL_SCANCODE_APOSTROPHE, 40}, {SDL_SCANCODE_GRAVE, 41},
    {SDL_SCANCODE_LSHIFT, 42},       {SDL_SCANCODE_BACKSLASH, 43},  {SDL_SCANCODE_COMMA, 51},
    {SDL_SCANCODE_PERIOD, 52},       {SDL_SCANCODE_SLASH, 53},      {SDL_SCANCODE_RSHIFT, 54},
    {SDL_SCANCODE_LALT, 56},         {SDL_SCANCODE_SPACE, 57},      {SDL_SCANCODE_CAPSLOCK, 58},
    {SDL_SCANCODE_KP_ENTER, 96},     {SDL_SCANCODE_RCTRL, 97},      {SDL_SCANCODE_RALT, 100},
    {SDL_SCANCODE_HOME, 102},        {SDL_SCANCODE_UP, 103},        {SDL_SCANCODE_PAGEUP, 104},
    {SDL_SCANCODE_LEFT, 105},        {SDL_SCANCODE_RIGHT, 106},     {SDL_SCANCODE_END, 107},
    {SDL_SCANCODE_DOWN, 108},        {SDL_SCANCODE_PAGEDOWN, 109},  {SDL_SCANCODE_INSERT, 110},
    {SDL_SCANCODE_DELETE, 111},      {SDL_SCANCODE_LANG1, 122},     {SDL_SCANCODE_LANG2, 123},
    {SDL_SCANCODE_LGUI, 125},        {SDL_SCANCODE_RGUI, 126},
};

uint32_t KernelKeyCode(SDL_Scancode sc) {
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return kLetterCodes[sc - SDL_SCANCODE_A];
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_0) return 2 + (sc - SDL_SCANCODE_1);
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F10) return 59 + (sc - SDL_SCANCODE_F1);
  for (const KeyCode& k : kKeyCodes) {
    if (k.scancode == sc) return k.code;
  }
  return 0;
}

uint32_t ModifierState(uint16_t mod) {
  uint32_t state = 0;
  if (mod & KMOD_SHIFT) state |= kShiftMask;
  if (mod & KMOD_CAPS) state |= kLockMask;
  if (mod & KMOD_CTRL) state |= kControlMask;
  if (mod & KMOD_ALT) state |= kMod1Mask;
  if (mod & KMOD_NUM) state |= kMod2Mask;
  if (mod & KMOD_GUI) state |= kMod4Mask;
  return state;
}

// The X keysym of a key: its name for a key that types nothing, else the character it types
// (Latin-1 keysyms are the characters themselves); 0 for a key the input method needs not see.
uint32_t KeysymOf(const SDL_Keysym& key) {
  for (const NamedKey& k : kNamedKeys) {
    if (k.scancode == key.scancode) return k.keysym;
  }
  if (key.scancode >= SDL_SCANCODE_F1 && key.scancode <= SDL_SCANCODE_F12)
    return 0xFFBE + (key.scancode - SDL_SCANCODE_F1);
  return static_cast<uint8_t>(TypedCharacter(key));
}

// ---- the client's part in the window (the hooks of window_hooks.h) ---------------------

bool Key(const SDL_KeyboardEvent& key) {
  if (!InputMethodActive()) return false;
  const SDL_Scancode sc = key.keysym.scancode;
  if (sc <= SDL_SCANCODE_UNKNOWN || sc >= SDL_NUM_SCANCODES) return false;
  if (key.type == SDL_KEYDOWN && !key.repeat) pressedHere[sc] = true;
  if (!pressedHere[sc]) return false;
  if (key.type == SDL_KEYUP) pressedHere[sc] = false;
  uint32_t keysym = KeysymOf(key.keysym);
  if (keysym == 0) return false;
  const bool release = key.type == SDL_KEYUP;
  const KeyAnswer answer = client->Key(keysym, KernelKeyCode(key.keysym.scancode), ModifierState(key.keysym.mod),
                                       release);
  if (answer == KeyAnswer::ConnectionLost) {
    // The input method went away: the edit goes on with plain keys and SDL's text input.
    Drop();
    SDL_StartTextInput();
    return false;
  }
  return answer == KeyAnswer::Taken;
}

void WindowFocus(bool gained) {
  // SDL's own client takes the input method's focus when the window gains the keyboard.
  if (!client || !focused) return;
  if (!client->Focus(gained)) {
    Drop();
    return;
  }
  if (gained) SendCaret();
}

bool Pump() {
  // Called on every idle look at the queue: without a focused edit nothing is asked of the
  // bus. What the input method sends meanwhile waits in the connection and is read with the
  // answer to the next focus.
  if (!client || !focused) return false;
  return client->Pump();
}

// The window's core asks the client through its hooks from the first focus on.
void SetHooksOnce() {
  static bool set = false;
  if (set) return;
  set = true;
  SetInputMethodHooks(InputMethodHooks{
      .active = InputMethodActive, .key = Key, .windowFocus = WindowFocus, .pump = Pump, .close = InputMethodClose});
}

}  // namespace

bool InputMethodFocus(bool focus) {
  SetHooksOnce();
  if (!focus) {
    if (client && focused && !client->Focus(false)) Drop();
    focused = false;
    return false;
  }
  if (!client && inputMethodConnector) {
    client.reset(inputMethodConnector());
  } else if (!client && DisplayHasInputMethod()) {
    client.reset(Connect());
  }
  if (!client) return false;
  if (!client->Focus(true)) {
    Drop();
    return false;
  }
  focused = true;
  caret = SDL_Rect{-1, -1, 0, 0};
  std::fill(std::begin(pressedHere), std::end(pressedHere), false);
  return true;
}

bool InputMethodActive() { return client && focused; }

void InputMethodCaret(const SDL_Rect& spot) {
  caret = spot;
  SendCaret();
}

void InputMethodClose() { Drop(); }

bool KeyFromKeysym(uint32_t keysym, uint32_t state, bool release, SDL_KeyboardEvent& out) {
  SDL_Scancode sc = SDL_SCANCODE_UNKNOWN;
  for (const NamedKey& k : kNamedKeys) {
    if (k.keysym == keysym) sc = k.scancode;
  }
  if (sc == SDL_SCANCODE_UNKNOWN && keysym >= 0x20 && keysym < 0x7F) sc = ScancodeTyping(static_cast<char>(keysym));
  if (sc == SDL_SCANCODE_UNKNOWN) return false;
  out = SDL_KeyboardEvent{};
  out.type = release ? SDL_KEYUP : SDL_KEYDOWN;
  out.state = release ? SDL_RELEASED : SDL_PRESSED;
  out.keysym.scancode = sc;
  out.keysym.sym = SDL_GetKeyFromScancode(sc);
  uint16_t mod = KMOD_NONE;
  if (state & kShiftMask) mod |= KMOD_LSHIFT;
  if (state & kLockMask) mod |= KMOD_CAPS;
  if (state & kControlMask) mod |= KMOD_LCTRL;
  if (state & kMod1Mask) mod |= KMOD_LALT;
  if (state & kMod2Mask) mod |= KMOD_NUM;
  out.keysym.mod = mod;
  // A character handed back types itself, whatever modifiers came with it ('!' is Shift+1).
  if (keysym >= 0x20 && keysym < 0x7F && TypedCharacter(out.keysym) != static_cast<char>(keysym)) {
    out.keysym.mod ^= KMOD_LSHIFT;
  }
  return true;
}

int Utf8Characters(const char* utf8, int bytes) {
  int chars = 0;
  for (int i = 0; i < bytes && utf8[i]; ++i) {
    if ((static_cast<uint8_t>(utf8[i]) & 0xC0) != 0x80) ++chars;
  }
  return chars;
}

}  // namespace platform
