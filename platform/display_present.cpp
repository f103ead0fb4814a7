// Presentation: the off-screen surface, the widening of its RGB555 pixels, and showing a
// frame in the window (with the open dialogs over it), sending only the rows that changed.
#include <SDL.h>

#include <cstring>

#include "platform/display.h"
#include "platform/display_parts.h"
#include "platform/internal.h"

namespace platform {
namespace {

uint16_t offscreen[kScreenPixels];
// The frame presented under open dialogs, converted to the window's 32-bit pixels.
uint32_t converted[kScreenPixels];
// The window's surface as last written, and whether all of it must be sent again
// (new surface, or the window system lost what the window showed).
SDL_Surface* lastSurface = nullptr;
bool wholeWindowDue = true;
// How many pictures were sent to the window.
uint32_t presentedPictures = 0;
// The frame last sent to the window (its owner keeps it until it draws the next).
const uint16_t* shownFrame = nullptr;

}  // namespace

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
  if (!GameWindow()) return nullptr;
  SDL_Surface* surface = SDL_GetWindowSurface(GameWindow());
  if (!surface || surface->w < kScreenWidth || surface->h < kScreenHeight) return nullptr;
  if (surface != lastSurface) wholeWindowDue = true;
  lastSurface = surface;
  return surface;
}

uint32_t* SurfaceRow(SDL_Surface* surface, int y) {
  return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) + static_cast<size_t>(y) * surface->pitch);
}

// With a dialog open: the frame converted into `converted`, the dialogs drawn over it, and
// the rows that differ from what the window holds copied there and sent.
void PresentUnderDialogs(const uint16_t* frame, SDL_Surface* surface) {
  WidenRgb555Frame(frame, converted);
  // Open dialogs lie over the game's picture in the window, never in the picture itself.
  ComposeDialogs(converted, kScreenWidth);
  if (surface->format->format != SDL_PIXELFORMAT_RGB888) {
    // A window of another pixel layout takes the whole frame through SDL's conversion.
    SDL_ConvertPixels(kScreenWidth, kScreenHeight, SDL_PIXELFORMAT_RGB888, converted, kScreenWidth * 4,
                      surface->format->format, surface->pixels, surface->pitch);
    SDL_UpdateWindowSurface(GameWindow());
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
  if (rows.count > 0) SDL_UpdateWindowSurfaceRects(GameWindow(), rows.bands, rows.count);
}

// Shows a frame: converted row by row straight into the window's own surface, and only the
// rows that changed are sent to the window system.
void Present(const uint16_t* frame) {
  SDL_Surface* surface = WindowSurface();
  if (!surface) return;
  ++presentedPictures;
  shownFrame = frame;
  if (DialogsShown() || surface->format->format != SDL_PIXELFORMAT_RGB888) {
    PresentUnderDialogs(frame, surface);
    return;
  }
  ChangedRows rows;
  for (int y = 0; y < kScreenHeight; ++y) {
    if (WidenRowInto(frame + y * kScreenWidth, SurfaceRow(surface, y)) || wholeWindowDue) rows.Add(y);
  }
  wholeWindowDue = false;
  if (rows.count > 0) SDL_UpdateWindowSurfaceRects(GameWindow(), rows.bands, rows.count);
}

}  // namespace

uint32_t WidenRgb555(uint16_t pixel) { return Widen(pixel); }

void WidenRgb555Frame(const uint16_t* frame, uint32_t* out) {
  for (int i = 0; i < kScreenPixels; ++i) out[i] = Widen(frame[i]);
}

void PresentOffscreen() { Present(offscreen); }

void PresentFrame(const uint16_t* frame) { Present(frame); }

uint32_t PicturesSent() { return presentedPictures; }

const uint16_t* ShownFrame() { return shownFrame; }

void SendWholeWindowNext() { wholeWindowDue = true; }

void ForgetWindowSurface() {
  lastSurface = nullptr;
  wholeWindowDue = true;
}

}  // namespace platform
