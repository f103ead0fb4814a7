// Presentation: the off-screen surface, the widening of its RGB555 pixels, and showing a
// frame in the window at its multiple (with the open dialogs over it), sending only the rows
// that changed.
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

inline uint32_t Wide(uint16_t pixel) { return Widen(pixel); }
inline uint32_t Wide(uint32_t pixel) { return pixel; }

// Writes one picture row into the window's row, each pixel as `scale` pixels (kScale when
// known at compile time, so the common multiples get loops of their own); true when any of
// them changed.
template <int kScale, typename Pixel>
bool ScaleRowInto(const Pixel* row, uint32_t* windowRow, int scale) {
  const int s = kScale > 0 ? kScale : scale;
  uint32_t changed = 0;
  for (int x = 0; x < kScreenWidth; ++x) {
    const uint32_t wide = Wide(row[x]);
    uint32_t* block = windowRow + x * s;
    changed |= wide ^ block[0];
    for (int k = 0; k < s; ++k) block[k] = wide;
  }
  return changed != 0;
}

template <typename Pixel>
bool RowInto(const Pixel* row, uint32_t* windowRow, int scale) {
  switch (scale) {
    case 1: return ScaleRowInto<1>(row, windowRow, 1);
    case 2: return ScaleRowInto<2>(row, windowRow, 2);
    default: return ScaleRowInto<0>(row, windowRow, scale);
  }
}

// The rows sent to the window system, joined into bands of neighbouring rows.
struct ChangedRows {
  static constexpr int kMaxBands = 16;
  SDL_Rect bands[kMaxBands];
  int count = 0;
  int left = 0, width = kScreenWidth;

  void Add(int y, int height) {
    if (count > 0 && bands[count - 1].y + bands[count - 1].h == y) {
      bands[count - 1].h += height;  // the rows join the band above them
    } else if (count < kMaxBands) {
      bands[count++] = SDL_Rect{left, y, width, height};
    } else {
      bands[count - 1].h = y + height - bands[count - 1].y;  // too many bands: widen the last
    }
  }
};

// The window's surface, or null while there is none.
SDL_Surface* WindowSurface() {
  if (!GameWindow()) return nullptr;
  SDL_Surface* surface = SDL_GetWindowSurface(GameWindow());
  if (!surface || surface->w <= 0 || surface->h <= 0) return nullptr;
  if (surface != lastSurface) wholeWindowDue = true;
  lastSurface = surface;
  return surface;
}

uint8_t* SurfaceRow(SDL_Surface* surface, int y) {
  return static_cast<uint8_t*>(surface->pixels) + static_cast<size_t>(y) * surface->pitch;
}

// A picture at a whole multiple into a 32-bit window: each row widened and repeated straight
// into the window's surface, compared in the same pass; only the rows that changed are sent.
template <typename Pixel>
void PresentScaled(const Pixel* picture, SDL_Surface* surface, const PictureRect& place, bool whole) {
  const int s = place.scale();
  ChangedRows rows;
  rows.left = place.x;
  rows.width = place.width;
  const size_t rowBytes = static_cast<size_t>(place.width) * 4;
  for (int y = 0; y < kScreenHeight; ++y) {
    const int top = place.y + y * s;
    auto* first = reinterpret_cast<uint32_t*>(SurfaceRow(surface, top)) + place.x;
    if (!RowInto(picture + y * kScreenWidth, first, s) && !whole) continue;
    for (int k = 1; k < s; ++k)
      std::memcpy(reinterpret_cast<uint32_t*>(SurfaceRow(surface, top + k)) + place.x, first, rowBytes);
    rows.Add(top, s);
  }
  if (whole) {
    SDL_UpdateWindowSurface(GameWindow());
  } else if (rows.count > 0) {
    SDL_UpdateWindowSurfaceRects(GameWindow(), rows.bands, rows.count);
  }
}

// Any other window (a picture shrunk below 640x480, or a window of another pixel layout):
// every window row sampled from the converted picture, through SDL's conversion where the
// layout differs, and the whole window sent.
void PresentSampled(const uint32_t* picture, SDL_Surface* surface, const PictureRect& place) {
  static uint32_t line[kScreenWidth * kMaxScale];
  const int bytesPerPixel = surface->format->BytesPerPixel;
  for (int dy = 0; dy < place.height; ++dy) {
    const uint32_t* row = picture + static_cast<size_t>(dy) * kScreenHeight / place.height * kScreenWidth;
    for (int dx = 0; dx < place.width; ++dx) line[dx] = row[static_cast<size_t>(dx) * kScreenWidth / place.width];
    uint8_t* out = SurfaceRow(surface, place.y + dy) + static_cast<size_t>(place.x) * bytesPerPixel;
    SDL_ConvertPixels(place.width, 1, SDL_PIXELFORMAT_RGB888, line, place.width * 4, surface->format->format, out,
                      surface->pitch);
  }
  SDL_UpdateWindowSurface(GameWindow());
}

// Shows a frame at the picture's place in the window, black bars around it, with the open
// dialogs over it.
void Present(const uint16_t* frame) {
  SDL_Surface* surface = WindowSurface();
  if (!surface) return;
  const PictureRect& place = PlacePictureInSurface(surface->w, surface->h);
  if (place.width <= 0 || place.height <= 0) return;
  ++presentedPictures;
  shownFrame = frame;
  const bool whole = wholeWindowDue;
  wholeWindowDue = false;
  // Bars: the whole window black once, the picture over it.
  if (whole) SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
  const bool direct = surface->format->format == SDL_PIXELFORMAT_RGB888 && place.scale() > 0 &&
                      place.width <= kScreenWidth * kMaxScale;
  if (direct && !AnyDialogShown()) {
    PresentScaled(frame, surface, place, whole);
    return;
  }
  WidenRgb555Frame(frame, converted);
  // Open dialogs lie over the game's picture in the window, never in the picture itself.
  ComposeShownDialogs(converted, kScreenWidth);
  if (direct) {
    PresentScaled(converted, surface, place, whole);
  } else {
    PresentSampled(converted, surface, place);
  }
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
