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
// Where the last pushed mouse move left the pointer: pushed button events happen there.
int pushedPointerX = 0;
int pushedPointerY = 0;

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

uint32_t VirtualKeyFromScancode(SDL_Scancode sc) {
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 0x41 + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return 0x31 + (sc - SDL_SCANCODE_1);
  if (sc == SDL_SCANCODE_0) return 0x30;
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
  if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return 0x61 + (sc - SDL_SCANCODE_KP_1);
  switch (sc) {
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_RETURN: case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_PAGEUP: return 0x21;
    case SDL_SCANCODE_PAGEDOWN: return 0x22;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_INSERT: return 0x2D;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_KP_0: return 0x60;
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
    if (VirtualKeyFromScancode(static_cast<SDL_Scancode>(sc)) == vk) return static_cast<SDL_Scancode>(sc);
  }
  return SDL_SCANCODE_UNKNOWN;
}

// Escape, Return, Backspace and Tab type a character on the game's home platform,
// but SDL gives no text event for them.
char ControlCharacter(uint32_t vk) {
  switch (vk) {
    case VK_ESCAPE: return 0x1B;
    case VK_RETURN: return '\r';
    case VK_BACK: return 0x08;
    case VK_TAB: return '\t';
    default: return 0;
  }
}

int32_t PackPoint(int x, int y) {
  return static_cast<int32_t>((static_cast<uint32_t>(x) & 0xFFFF) | ((static_cast<uint32_t>(y) & 0xFFFF) << 16));
}

void DestroyGameWindow() {
  // Dialogs belong to the game window and go with it.
  ForgetDialogs();
  if (window) SDL_DestroyWindow(window);
  window = nullptr;
  lastSurface = nullptr;
  wholeWindowDue = true;
}

void Translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      uint32_t vk = VirtualKeyFromScancode(e.key.keysym.scancode);
      if (vk == 0) return;
      bool down = e.type == SDL_KEYDOWN;
      if (vk == VK_SHIFT) shiftKeysDown = down;
      shiftInEvent = (e.key.keysym.mod & KMOD_SHIFT) != 0;
      // Keys held with Alt, and F10, are system keys: the game never sees them as keys.
      bool system = (e.key.keysym.mod & KMOD_ALT) != 0 || vk == VK_F10 || vk == 0x12;
      if (system) {
        Queue(down ? WM_SYSKEYDOWN : WM_SYSKEYUP, vk, 0);
        return;
      }
      Queue(down ? WM_KEYDOWN : WM_KEYUP, vk, 0);
      if (down) {
        char c = ControlCharacter(vk);
        if (c) {
          char text[2] = {c, 0};
          Queue(WM_CHAR, static_cast<uint8_t>(c), 0, text);
        }
      }
      return;
    }
    case SDL_TEXTINPUT: {
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
  Queue(WM_CREATE, 0, 0);
  SDL_StartTextInput();
  return true;
}

bool WindowOpen() { return window != nullptr; }

bool ShiftHeld() { return shiftKeysDown || shiftInEvent; }

void CloseDisplay() {
  DestroyGameWindow();
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

void PushKey(uint32_t virtualKey, bool down, bool alt) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = ScancodeFromVirtualKey(virtualKey);
  e.key.keysym.sym = SDL_GetKeyFromScancode(e.key.keysym.scancode);
  e.key.keysym.mod = alt ? KMOD_LALT : KMOD_NONE;
  e.key.windowID = window ? SDL_GetWindowID(window) : 0;
  SDL_PushEvent(&e);
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

void PushPaint() { PushWindowEvent(SDL_WINDOWEVENT_EXPOSED); }
void PushClose() { PushWindowEvent(SDL_WINDOWEVENT_CLOSE); }

}  // namespace platform
