// SDL's events turned into the game's messages: keys (with the keypad by NumLock, and the
// keys held across NumLock and Alt changes), typed text, the input method's composition,
// the mouse, the window's focus, paint and close, and the music's notices.
#include <SDL.h>

#include <cstring>

#include "platform/clock.h"
#include "platform/display.h"
#include "platform/display_parts.h"
#include "platform/internal.h"
#include "platform/text.h"
#include "platform/window_hooks.h"

namespace platform {
namespace {

// Messages made from one SDL event (a key press can give WM_KEYDOWN and WM_CHAR; a text
// event up to 32 characters, one WM_CHAR each).
constexpr int kPendingCap = 40;
Message pending[kPendingCap];
int pendingCount = 0;
int pendingNext = 0;
// Shift as of the latest key event (held Shift keys, or the event's own modifiers).
bool shiftKeysDown = false;
bool shiftInEvent = false;
// The modifiers of the latest key event: the text that follows a key press was typed with them.
uint16_t keyModifiers = KMOD_NONE;
// What each key held down pressed, by scancode (code 0: not held), so that its repeats and its
// release give the same code and message even when NumLock or Alt changed meanwhile.
struct HeldKey {
  uint8_t vk = 0;
  bool system = false;
};
HeldKey heldKeys[SDL_NUM_SCANCODES];

void Queue(uint32_t message, uint32_t wParam, int32_t lParam, const char* text = nullptr) {
  if (pendingCount >= kPendingCap) return;
  Message& m = pending[pendingCount++];
  m = Message{};
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  if (text) CopyText(m.text, text);
}

// The keypad's digits and point: the number keys with NumLock on, else the navigation keys
// printed on them (keypad 5 is Clear), as a keypad player steers with them.
struct KeypadKey {
  SDL_Scancode scancode;
  uint8_t numLockOn;
  uint8_t numLockOff;
};
constexpr KeypadKey kKeypad[] = {
    {SDL_SCANCODE_KP_0, 0x60, VK_INSERT},      {SDL_SCANCODE_KP_1, 0x61, VK_END},
    {SDL_SCANCODE_KP_2, 0x62, VK_DOWN},        {SDL_SCANCODE_KP_3, 0x63, VK_NEXT},
    {SDL_SCANCODE_KP_4, 0x64, VK_LEFT},        {SDL_SCANCODE_KP_5, 0x65, VK_CLEAR},
    {SDL_SCANCODE_KP_6, 0x66, VK_RIGHT},       {SDL_SCANCODE_KP_7, 0x67, VK_HOME},
    {SDL_SCANCODE_KP_8, 0x68, VK_UP},          {SDL_SCANCODE_KP_9, 0x69, VK_PRIOR},
    {SDL_SCANCODE_KP_PERIOD, 0x6E, VK_DELETE},
};

}  // namespace

uint32_t VirtualKeyFromScancode(SDL_Scancode sc, bool numLock) {
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 0x41 + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return 0x31 + (sc - SDL_SCANCODE_1);
  if (sc == SDL_SCANCODE_0) return 0x30;
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
  for (const KeypadKey& k : kKeypad) {
    if (k.scancode == sc) return numLock ? k.numLockOn : k.numLockOff;
  }
  switch (sc) {
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return 0x10;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return 0x11;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return 0x12;
    case SDL_SCANCODE_CAPSLOCK: return 0x14;
    case SDL_SCANCODE_MINUS: return 0xBD;
    case SDL_SCANCODE_EQUALS: return 0xBB;
    case SDL_SCANCODE_COMMA: return 0xBC;
    case SDL_SCANCODE_PERIOD: return 0xBE;
    case SDL_SCANCODE_SLASH: return 0xBF;
    case SDL_SCANCODE_SEMICOLON: return 0xBA;
    case SDL_SCANCODE_APOSTROPHE: return 0xDE;
    case SDL_SCANCODE_LEFTBRACKET: return 0xDB;
    case SDL_SCANCODE_RIGHTBRACKET: return 0xDD;
    case SDL_SCANCODE_BACKSLASH: return 0xDC;
    case SDL_SCANCODE_GRAVE: return 0xC0;
    default: return 0;
  }
}

// What Shift makes of the keys that are no letters, on the US keyboard (and the Korean one,
// whose keys outside the letters are the same).
constexpr char kUnshifted[] = "1234567890-=[]\\;',./`";
constexpr char kShifted[] = "!@#$%^&*()_+{}|:\"<>?~";

char TypedCharacter(const SDL_Keysym& keysym) {
  SDL_Keycode key = keysym.sym != SDLK_UNKNOWN ? keysym.sym : SDL_GetKeyFromScancode(keysym.scancode);
  if (key < 0x20 || key > 0x7E) return 0;
  const bool shift = (keysym.mod & KMOD_SHIFT) != 0;
  if (key >= 'a' && key <= 'z') return static_cast<char>(shift != ((keysym.mod & KMOD_CAPS) != 0) ? key - 0x20 : key);
  const char* at = shift ? std::strchr(kUnshifted, static_cast<char>(key)) : nullptr;
  return at ? kShifted[at - kUnshifted] : static_cast<char>(key);
}

SDL_Scancode ScancodeTyping(char c) {
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
  if (const char* at = c ? std::strchr(kShifted, c) : nullptr) c = kUnshifted[at - kShifted];
  return SDL_GetScancodeFromKey(static_cast<SDL_Keycode>(c));
}

namespace {

// Escape, Return, Backspace and Tab type a character on the game's home platform, and so
// does Ctrl with a letter (its control code, Ctrl+A 0x01 to Ctrl+Z 0x1A); SDL gives no text
// event for any of them.
char ControlCharacter(uint32_t vk, uint16_t mod) {
  if ((mod & KMOD_CTRL) && !(mod & KMOD_ALT) && vk >= 'A' && vk <= 'Z') {
    return static_cast<char>(vk - 0x40);
  }
  switch (vk) {
    case VK_ESCAPE: return 0x1B;
    case VK_RETURN: return '\r';
    case VK_BACK: return 0x08;
    case VK_TAB: return '\t';
    default: return 0;
  }
}

// Whether text typed with these modifiers is characters for the game. Right Alt is AltGr on
// the layouts that type with it, and its text counts; left Alt makes system characters, and
// Ctrl's characters are the control codes its key press gives.
bool TypesText(uint16_t mod) {
  if (mod & (KMOD_RALT | KMOD_MODE)) return true;
  return (mod & (KMOD_LALT | KMOD_CTRL)) == 0;
}

// True when the next queued event says the pointer left the game window.
bool PointerLeavesNext() {
  SDL_Event next;
  if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) != 1) return false;
  return next.type == SDL_WINDOWEVENT && next.window.event == SDL_WINDOWEVENT_LEAVE;
}

void ReleaseHeldKeys() {
  for (HeldKey& held : heldKeys) {
    if (held.vk != 0) Queue(held.system ? WM_SYSKEYUP : WM_KEYUP, held.vk, 0);
    held = HeldKey{};
  }
}

int32_t PackPoint(int x, int y) {
  return static_cast<int32_t>((static_cast<uint32_t>(x) & 0xFFFF) | ((static_cast<uint32_t>(y) & 0xFFFF) << 16));
}

void TranslateKey(const SDL_KeyboardEvent& e) {
  const SDL_Keysym& keysym = e.keysym;
  const bool down = e.type == SDL_KEYDOWN;
  keyModifiers = keysym.mod;
  shiftInEvent = (keysym.mod & KMOD_SHIFT) != 0;
  if (keysym.scancode <= SDL_SCANCODE_UNKNOWN || keysym.scancode >= SDL_NUM_SCANCODES) return;
  // A held key repeats and is released as it was pressed.
  HeldKey& held = heldKeys[keysym.scancode];
  HeldKey key = held;
  if (key.vk == 0) {
    uint32_t vk = VirtualKeyFromScancode(keysym.scancode, (keysym.mod & KMOD_NUM) != 0);
    if (vk == 0) return;
    // Keys held with Alt, and F10, are system keys: the game never sees them as keys.
    key = HeldKey{static_cast<uint8_t>(vk), (keysym.mod & KMOD_ALT) != 0 || vk == VK_F10 || vk == 0x12};
  }
  held = down ? key : HeldKey{};
  if (key.vk == VK_SHIFT) shiftKeysDown = down;
  if (key.system) {
    Queue(down ? WM_SYSKEYDOWN : WM_SYSKEYUP, key.vk, 0);
    return;
  }
  Queue(down ? WM_KEYDOWN : WM_KEYUP, key.vk, 0);
  if (down) {
    char c = ControlCharacter(key.vk, keysym.mod);
    // Without text input (no edit has the focus) a typing key still types its character.
    if (!c && !SDL_IsTextInputActive() && TypesText(keysym.mod)) c = TypedCharacter(keysym);
    if (c) {
      char text[2] = {c, 0};
      Queue(WM_CHAR, static_cast<uint8_t>(c), 0, text);
    }
  }
}

}  // namespace

void DeliverKey(const SDL_KeyboardEvent& key) { TranslateKey(key); }

// One WM_CHAR per typed character, carrying its code page 949 bytes.
void DeliverText(const char* s) {
  size_t len = std::strlen(s);
  size_t i = 0;
  while (i < len && pendingCount < kPendingCap) {
    size_t n = 1;
    auto lead = static_cast<uint8_t>(s[i]);
    if (lead >= 0xF0)
      n = 4;
    else if (lead >= 0xE0)
      n = 3;
    else if (lead >= 0xC0)
      n = 2;
    if (i + n > len) n = len - i;
    char cp[8];
    size_t got = Utf8ToCp949(s + i, n, cp, sizeof cp);
    if (got > 0) Queue(WM_CHAR, static_cast<uint8_t>(cp[0]), 0, cp);
    i += n;
  }
}

// The whole composition in progress; an empty one means it ended.
void DeliverComposition(const char* utf8, int cursor) {
  char cp[sizeof Message{}.text];
  Utf8ToCp949(utf8, std::strlen(utf8), cp, sizeof cp);
  Queue(WM_IME_COMPOSITION, static_cast<uint32_t>(cursor), 0, cp);
}

namespace {

void (*keyPolicy)(const PressedKey& key) = nullptr;

// The program's key policy hears of a key going down before its input method or its messages.
void AskKeyPolicy(const SDL_Keysym& keysym) {
  PressedKey press;
  press.virtualKey = VirtualKeyFromScancode(keysym.scancode, (keysym.mod & KMOD_NUM) != 0);
  if (!keyPolicy || press.virtualKey == 0) return;
  if (keysym.mod & KMOD_SHIFT) press.modifiers |= kKeyShift;
  if (keysym.mod & KMOD_CTRL) press.modifiers |= kKeyCtrl;
  if (keysym.mod & KMOD_ALT) press.modifiers |= kKeyAlt;
  if (keysym.mod & KMOD_GUI) press.modifiers |= kKeyGui;
  press.typing = Typing();
  keyPolicy(press);
}

// Only moves over the picture move the pointer. With the button held SDL reports moves
// outside the window, and a pointer that leaves as a move to the edge just before the
// leave: neither is a place over the game's picture, and nor is a black bar.
void TranslateMouseMotion(const SDL_MouseMotionEvent& motion) {
  if (motion.windowID != 0 && GameWindow() && motion.windowID != SDL_GetWindowID(GameWindow())) return;
  int x = 0, y = 0;
  if (!PointerToClient(motion.x, motion.y, x, y)) return;
  if (PointerLeavesNext()) return;
  Queue(WM_MOUSEMOVE, 0, PackPoint(x, y));
}

void TranslateMouseButton(const SDL_MouseButtonEvent& button) {
  if (button.button != SDL_BUTTON_LEFT) return;
  int x = 0, y = 0;
  PointerToClient(button.x, button.y, x, y);  // on a bar: a place outside the picture
  Queue(button.type == SDL_MOUSEBUTTONDOWN ? WM_LBUTTONDOWN : WM_LBUTTONUP, 1, PackPoint(x, y));
}

// The game window going away, by its close box or a quit: WM_DESTROY, once.
void WindowCloses() {
  if (!GameWindow()) return;
  DestroyGameWindow();
  Queue(WM_DESTROY, 0, 0);
}

void TranslateWindowEvent(const SDL_WindowEvent& window) {
  if (window.event == SDL_WINDOWEVENT_SIZE_CHANGED) WindowResized();
  if (window.event == SDL_WINDOWEVENT_EXPOSED) {
    SendWholeWindowNext();  // the next present sends the whole picture
    Queue(WM_PAINT, 0, 0);
  }
  // SDL lets go of the held keys when the window loses the keyboard (its key releases
  // came before this); whatever the game still holds is let go here, so that no key
  // stays down while the player is in another window.
  if (window.event == SDL_WINDOWEVENT_FOCUS_GAINED) WindowFocusToInputMethod(true);
  if (window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
    WindowFocusToInputMethod(false);
    ReleaseHeldKeys();
    keyModifiers = KMOD_NONE;
    shiftKeysDown = false;
  }
  if (window.event == SDL_WINDOWEVENT_CLOSE) WindowCloses();
}

void Translate(const SDL_Event& e) {
  PadMessages pad;
  const bool padAlone = TranslatePadEvent(e, pad);
  for (int i = 0; i < pad.count && pendingCount < kPendingCap; ++i) pending[pendingCount++] = pad.list[i];
  if (padAlone) return;
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (e.type == SDL_KEYDOWN && e.key.repeat == 0) AskKeyPolicy(e.key.keysym);
      // An edit's keys go to the input method first; what it gives is delivered meanwhile.
      if (!KeyTakenByInputMethod(e.key)) TranslateKey(e.key);
      return;
    case SDL_TEXTINPUT:
      // Letters typed with left Alt or Ctrl are no text: SDL types "a" for Alt+A.
      if (TypesText(keyModifiers)) DeliverText(e.text.text);
      return;
    case SDL_TEXTEDITING: DeliverComposition(e.edit.text, e.edit.start); return;
    case SDL_MOUSEMOTION: TranslateMouseMotion(e.motion); return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: TranslateMouseButton(e.button); return;
    case SDL_WINDOWEVENT: TranslateWindowEvent(e.window); return;
    // The last window's close box also sends a quit; it counts once.
    case SDL_QUIT: WindowCloses(); return;
    default:
      if (e.type == MusicEventType()) Queue(WM_MUSIC_NOTIFY, static_cast<uint32_t>(e.user.code), 0);
      return;
  }
}

}  // namespace

void StartWindowInput() {
  pendingCount = pendingNext = 0;
  for (HeldKey& held : heldKeys) held = HeldKey{};
  keyModifiers = KMOD_NONE;
  Queue(WM_CREATE, 0, 0);
  // The input method is off until an edit of a dialog takes the focus: stages, the logo and
  // the menu read plain keys, whatever the input method's mode.
  SDL_StopTextInput();
}

bool ShiftHeld() { return shiftKeysDown || shiftInEvent; }

void SetKeyPolicy(void (*policy)(const PressedKey& key)) { keyPolicy = policy; }

bool PollMessage(Message& out) {
  for (;;) {
    if (pendingNext < pendingCount) {
      out = pending[pendingNext++];
      return true;
    }
    pendingCount = pendingNext = 0;
    if (!VideoStarted()) return false;
    SDL_Event e;
    if (SDL_PollEvent(&e)) {
      Translate(e);
    } else if (!PumpInputMethod() || pendingCount == 0) {
      return false;  // neither SDL nor the input method has anything more
    }
  }
}

void WaitForMessage(uint32_t ms) {
  if (pendingNext < pendingCount || !VideoStarted()) return;
  if (FakeClockInUse()) {
    // Under the fake clock nothing really sleeps: time moves on and scripts may act.
    if (!SDL_PollEvent(nullptr)) WaitUntilElapsed(Ticks(), ms);
    return;
  }
  SDL_WaitEventTimeout(nullptr, static_cast<int>(ms));
}

}  // namespace platform
