// The SDL window, its events turned into the game's messages, and presentation.
#include "platform/display.h"

#include <SDL.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/internal.h"
#include "platform/text.h"

namespace platform {
namespace {

SDL_Window* window = nullptr;
// The window the player closed: hidden, and destroyed only when the display closes.
SDL_Window* closedWindow = nullptr;
bool videoStarted = false;

uint16_t offscreen[kScreenPixels];
// The frame presented under open dialogs, converted to the window's 32-bit pixels.
uint32_t converted[kScreenPixels];
uint32_t shown[kScreenPixels];
// The window's surface as last written, and whether all of it must be sent again
// (new surface, or the window system lost what the window showed).
SDL_Surface* lastSurface = nullptr;
bool wholeWindowDue = true;

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
// Where the last pushed mouse move left the pointer: pushed button events happen there.
int pushedPointerX = 0;
int pushedPointerY = 0;
// How many pictures were sent to the window (for tests).
uint32_t presentedPictures = 0;

// Copies a zero-terminated text into a fixed field, cut to fit with its terminator.
template <size_t N>
void CopyText(char (&field)[N], const char* text) {
  size_t n = std::strlen(text);
  if (n > N - 1) n = N - 1;
  std::memcpy(field, text, n);
  field[n] = 0;
}

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
    {SDL_SCANCODE_KP_0, 0x60, VK_INSERT}, {SDL_SCANCODE_KP_1, 0x61, VK_END},
    {SDL_SCANCODE_KP_2, 0x62, VK_DOWN},   {SDL_SCANCODE_KP_3, 0x63, VK_NEXT},
    {SDL_SCANCODE_KP_4, 0x64, VK_LEFT},   {SDL_SCANCODE_KP_5, 0x65, VK_CLEAR},
    {SDL_SCANCODE_KP_6, 0x66, VK_RIGHT},  {SDL_SCANCODE_KP_7, 0x67, VK_HOME},
    {SDL_SCANCODE_KP_8, 0x68, VK_UP},     {SDL_SCANCODE_KP_9, 0x69, VK_PRIOR},
    {SDL_SCANCODE_KP_PERIOD, 0x6E, VK_DELETE},
};

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
    case SDL_SCANCODE_RETURN: case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
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
    case SDL_SCANCODE_LSHIFT: case SDL_SCANCODE_RSHIFT: return 0x10;
    case SDL_SCANCODE_LCTRL: case SDL_SCANCODE_RCTRL: return 0x11;
    case SDL_SCANCODE_LALT: case SDL_SCANCODE_RALT: return 0x12;
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

SDL_Scancode ScancodeFromVirtualKey(uint32_t vk) {
  for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
    if (VirtualKeyFromScancode(static_cast<SDL_Scancode>(sc), true) == vk) return static_cast<SDL_Scancode>(sc);
  }
  return SDL_SCANCODE_UNKNOWN;
}

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

void DestroyGameWindow() {
  // Dialogs belong to the game window and go with it.
  ForgetDialogs();
  // A closed window is hidden, and its X window kept until the display closes: SDL 2.26 may
  // still send a wake-up to the window a wait was told of, and that, for a window already
  // gone, is an X error that ends the program (seen at random when the window was closed).
  if (window) SDL_HideWindow(window);
  if (window && window != closedWindow) {
    if (closedWindow) SDL_DestroyWindow(closedWindow);
    closedWindow = window;
  }
  window = nullptr;
  lastSurface = nullptr;
  wholeWindowDue = true;
}

void Translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const SDL_Keysym& keysym = e.key.keysym;
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
        if (c) {
          char text[2] = {c, 0};
          Queue(WM_CHAR, static_cast<uint8_t>(c), 0, text);
        }
      }
      return;
    }
    case SDL_TEXTINPUT: {
      // Letters typed with left Alt or Ctrl are no text: SDL types "a" for Alt+A.
      if (!TypesText(keyModifiers)) return;
      // One WM_CHAR per typed character, carrying its code page 949 bytes.
      const char* s = e.text.text;
      size_t len = std::strlen(s);
      size_t i = 0;
      while (i < len && pendingCount < kPendingCap) {
        size_t n = 1;
        auto lead = static_cast<uint8_t>(s[i]);
        if (lead >= 0xF0) n = 4; else if (lead >= 0xE0) n = 3; else if (lead >= 0xC0) n = 2;
        if (i + n > len) n = len - i;
        char cp[8];
        size_t got = Utf8ToCp949(s + i, n, cp, sizeof cp);
        if (got > 0) Queue(WM_CHAR, static_cast<uint8_t>(cp[0]), 0, cp);
        i += n;
      }
      return;
    }
    case SDL_TEXTEDITING: {
      // The whole composition in progress; an empty one means it ended.
      char cp[sizeof Message{}.text];
      Utf8ToCp949(e.edit.text, std::strlen(e.edit.text), cp, sizeof cp);
      Queue(WM_IME_COMPOSITION, static_cast<uint32_t>(e.edit.start), 0, cp);
      return;
    }
    case SDL_MOUSEMOTION:
      if (e.motion.windowID != 0 && window && e.motion.windowID != SDL_GetWindowID(window)) return;
      // Only moves over the client area move the pointer. With the button held SDL reports
      // moves outside the window, and a pointer that leaves as a move to the edge just before
      // the leave: neither is a place over the game's picture.
      if (e.motion.x < 0 || e.motion.y < 0 || e.motion.x >= kScreenWidth || e.motion.y >= kScreenHeight) {
        return;
      }
      if (PointerLeavesNext()) return;
      Queue(WM_MOUSEMOVE, 0, PackPoint(e.motion.x, e.motion.y));
      return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.button != SDL_BUTTON_LEFT) return;
      Queue(e.type == SDL_MOUSEBUTTONDOWN ? WM_LBUTTONDOWN : WM_LBUTTONUP, 1,
            PackPoint(e.button.x, e.button.y));
      return;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
        wholeWindowDue = true;  // the next present sends the whole picture
        Queue(WM_PAINT, 0, 0);
      }
      // SDL lets go of the held keys when the window loses the keyboard (its key releases
      // came before this); whatever the game still holds is let go here, so that no key
      // stays down while the player is in another window.
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        ReleaseHeldKeys();
        keyModifiers = KMOD_NONE;
        shiftKeysDown = false;
      }
      if (e.window.event == SDL_WINDOWEVENT_CLOSE && window) {
        DestroyGameWindow();
        Queue(WM_DESTROY, 0, 0);
      }
      return;
    case SDL_QUIT:
      // The last window's close box also sends a quit; it counts once.
      if (window) {
        DestroyGameWindow();
        Queue(WM_DESTROY, 0, 0);
      }
      return;
    default:
      if (e.type == MusicEventType()) Queue(WM_MUSIC_NOTIFY, static_cast<uint32_t>(e.user.code), 0);
      return;
  }
}

void PushWindowEvent(uint8_t which) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = which;
  e.window.windowID = window ? SDL_GetWindowID(window) : 0;
  SDL_PushEvent(&e);
}

}  // namespace

bool StartVideo() {
  if (videoStarted) return true;
  // A drain right after a timed wait must see every event pushed before it.
  SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
  // Frames go straight into the window's own surface: no renderer, and no hidden
  // OpenGL texture behind the surface (costly where OpenGL is emulated in software).
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "brakkel: the display cannot be used: %s\n", SDL_GetError());
    return false;
  }
  videoStarted = true;
  return true;
}

namespace {

// Without a display SDL falls back on a driver that shows nothing; a game window there
// could be neither seen nor closed. Such a driver counts only when it was asked for.
bool InvisibleDriverUnasked() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0)) {
    return false;
  }
  const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  return !asked || std::strstr(asked, driver) == nullptr;
}

}  // namespace

bool OpenWindow(const char* captionCp949) {
  if (!StartVideo() || InvisibleDriverUnasked()) return false;
  DestroyGameWindow();
  char caption[256];
  Cp949ToUtf8(captionCp949, std::strlen(captionCp949), caption, sizeof caption);
  window = SDL_CreateWindow(caption, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kScreenWidth,
                            kScreenHeight, SDL_WINDOW_SHOWN);
  if (!window) {
    std::fprintf(stderr, "brakkel: the game window cannot be opened: %s\n", SDL_GetError());
    return false;
  }
  // SDL makes the window's surface when first asked: here, rather than in a frame.
  SDL_GetWindowSurface(window);
  pendingCount = pendingNext = 0;
  for (HeldKey& held : heldKeys) held = HeldKey{};
  keyModifiers = KMOD_NONE;
  Queue(WM_CREATE, 0, 0);
  SDL_StartTextInput();
  return true;
}

bool WindowOpen() { return window != nullptr; }

bool ShiftHeld() { return shiftKeysDown || shiftInEvent; }

void CloseDisplay() {
  DestroyGameWindow();
  if (closedWindow) SDL_DestroyWindow(closedWindow);
  closedWindow = nullptr;
  if (videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  videoStarted = false;
}

bool PollMessage(Message& out) {
  for (;;) {
    if (pendingNext < pendingCount) {
      out = pending[pendingNext++];
      return true;
    }
    pendingCount = pendingNext = 0;
    if (!videoStarted) return false;
    SDL_Event e;
    if (!SDL_PollEvent(&e)) return false;
    Translate(e);
  }
}

void WaitForMessage(uint32_t ms) {
  if (pendingNext < pendingCount || !videoStarted) return;
  if (FakeClockInUse()) {
    // Under the fake clock nothing really sleeps: time moves on and scripts may act.
    if (!SDL_PollEvent(nullptr)) WaitUntilElapsed(Ticks(), ms);
    return;
  }
  SDL_WaitEventTimeout(nullptr, static_cast<int>(ms));
}

uint16_t* OffscreenPixels() { return offscreen; }

void CopyToOffscreen(const uint16_t* frame) {
  // Bit 15 travels along; presentation ignores it.
  std::memcpy(offscreen, frame, sizeof offscreen);
}

namespace {

// RGB555 -> XRGB8888: each 5-bit v becomes (v << 3) | (v >> 2). Worked out rather than
// looked up, so the compiler can convert several pixels at once.
inline uint32_t Widen(uint32_t pixel) {
  const uint32_t spread = (pixel & 0x7C00) << 9 | (pixel & 0x03E0) << 6 | (pixel & 0x001F) << 3;
  return spread | (spread >> 5 & 0x070707);
}

// Converts one row straight into the window's row; true when any of its pixels changed.
bool WidenRowInto(const uint16_t* row, uint32_t* windowRow) {
  uint32_t changed = 0;
  for (int x = 0; x < kScreenWidth; ++x) {
    const uint32_t wide = Widen(row[x]);
    changed |= wide ^ windowRow[x];
    windowRow[x] = wide;
  }
  return changed != 0;
}

// The rows sent to the window system, joined into bands of neighbouring rows.
struct ChangedRows {
  static constexpr int kMaxBands = 16;
  SDL_Rect bands[kMaxBands];
  int count = 0;

  void Add(int y) {
    if (count > 0 && bands[count - 1].y + bands[count - 1].h == y) {
      ++bands[count - 1].h;  // the row joins the band above it
    } else if (count < kMaxBands) {
      bands[count++] = SDL_Rect{0, y, kScreenWidth, 1};
    } else {
      bands[count - 1].h = y + 1 - bands[count - 1].y;  // too many bands: widen the last
    }
  }
};

// The window's surface when presentation can write 32-bit pixels into it, else null.
SDL_Surface* WindowSurface() {
  if (!window) return nullptr;
  SDL_Surface* surface = SDL_GetWindowSurface(window);
  if (!surface || surface->w < kScreenWidth || surface->h < kScreenHeight) return nullptr;
  if (surface != lastSurface) wholeWindowDue = true;
  lastSurface = surface;
  return surface;
}

uint32_t* SurfaceRow(SDL_Surface* surface, int y) {
  return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) +
                                     static_cast<size_t>(y) * surface->pitch);
}

// With a dialog open: the frame converted into `converted`, the dialogs drawn over it, and
// the rows that differ from what the window holds copied there and sent.
void PresentUnderDialogs(const uint16_t* frame, SDL_Surface* surface) {
  WidenRgb555Frame(frame, converted);
  // Open dialogs lie over the game's picture in the window, never in the picture itself.
  ComposeDialogs(converted, kScreenWidth);
  if (surface->format->format != SDL_PIXELFORMAT_RGB888) {
    // A window of another pixel layout takes the whole frame through SDL's conversion.
    SDL_ConvertPixels(kScreenWidth, kScreenHeight, SDL_PIXELFORMAT_RGB888, converted,
                      kScreenWidth * 4, surface->format->format, surface->pixels, surface->pitch);
    SDL_UpdateWindowSurface(window);
    wholeWindowDue = false;
    return;
  }
  ChangedRows rows;
  const size_t rowBytes = kScreenWidth * 4;
  for (int y = 0; y < kScreenHeight; ++y) {
    uint32_t* dst = SurfaceRow(surface, y);
    const uint32_t* src = converted + y * kScreenWidth;
    if (!wholeWindowDue && std::memcmp(dst, src, rowBytes) == 0) continue;
    std::memcpy(dst, src, rowBytes);
    rows.Add(y);
  }
  wholeWindowDue = false;
  if (rows.count > 0) SDL_UpdateWindowSurfaceRects(window, rows.bands, rows.count);
}

// Shows a frame: converted row by row straight into the window's own surface, and only the
// rows that changed are sent to the window system.
void Present(const uint16_t* frame) {
  SDL_Surface* surface = WindowSurface();
  if (!surface) return;
  ++presentedPictures;
  if (DialogsShown() || surface->format->format != SDL_PIXELFORMAT_RGB888) {
    PresentUnderDialogs(frame, surface);
    return;
  }
  ChangedRows rows;
  for (int y = 0; y < kScreenHeight; ++y) {
    if (WidenRowInto(frame + y * kScreenWidth, SurfaceRow(surface, y)) || wholeWindowDue) rows.Add(y);
  }
  wholeWindowDue = false;
  if (rows.count > 0) SDL_UpdateWindowSurfaceRects(window, rows.bands, rows.count);
}

}  // namespace

uint32_t WidenRgb555(uint16_t pixel) { return Widen(pixel); }

void WidenRgb555Frame(const uint16_t* frame, uint32_t* out) {
  for (int i = 0; i < kScreenPixels; ++i) out[i] = Widen(frame[i]);
}

void PresentOffscreen() { Present(offscreen); }

void PresentFrame(const uint16_t* frame) { Present(frame); }

uint32_t PresentedPictures() { return presentedPictures; }

SDL_Window* GameWindow() { return window; }

const uint32_t* ShownPixels() {
  // Read back from the window's surface: what the player sees.
  SDL_Surface* surface = window ? SDL_GetWindowSurface(window) : nullptr;
  if (!surface || surface->w < kScreenWidth || surface->h < kScreenHeight ||
      SDL_ConvertPixels(kScreenWidth, kScreenHeight, surface->format->format, surface->pixels,
                        surface->pitch, SDL_PIXELFORMAT_RGB888, shown, kScreenWidth * 4) != 0) {
    std::memset(shown, 0, sizeof shown);
  }
  return shown;
}

namespace {

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
  e.key.windowID = window ? SDL_GetWindowID(window) : 0;
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

void PushText(const char* utf8) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  e.text.windowID = window ? SDL_GetWindowID(window) : 0;
  CopyText(e.text.text, utf8);
  SDL_PushEvent(&e);
}

void PushComposition(const char* utf8) {
  SDL_Event e{};
  e.type = SDL_TEXTEDITING;
  e.edit.windowID = window ? SDL_GetWindowID(window) : 0;
  CopyText(e.edit.text, utf8);
  SDL_PushEvent(&e);
}

void PushMouseMove(int x, int y) {
  pushedPointerX = x;
  pushedPointerY = y;
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = window ? SDL_GetWindowID(window) : 0;
  e.motion.x = x;
  e.motion.y = y;
  SDL_PushEvent(&e);
}

void PushMouseButton(bool down) {
  SDL_Event e{};
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.windowID = window ? SDL_GetWindowID(window) : 0;
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
void PushClose() { PushWindowEvent(SDL_WINDOWEVENT_CLOSE); }

}  // namespace platform
