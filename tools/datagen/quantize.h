#pragma once
// Turning drawn canvases into palette pictures and sprite frames.
//
// The game shows every colour with 5 bits per component, so colours are chosen and
// compared in that space: a picture's palette entries are 5-bit values widened to
// 8 bits, and sprite colours are the built-in table as the game shows it.
#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "tools/datagen/canvas.h"

namespace datagen {

struct Rgb5 {
  uint8_t r = 0, g = 0, b = 0;  // 0..31
};

// A 5-bit component widened to 8 bits the way the game's screen shows it.
inline uint8_t Widen5(int v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }

struct IndexedPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;         // width * height palette indices
  std::array<uint8_t, 768> palette{};  // red, green, blue per entry
};

// Colours forced for pixels of a tag: every pixel whose tag is listed takes that
// palette entry exactly (used for text whose colour must stay recognisable).
using ReservedColours = std::map<uint8_t, Rgb>;

// Builds a 256-colour palette for an opaque canvas (median cut over the drawn colours,
// refined by a few k-means rounds) and maps every pixel to it with a light 4x4
// ordered dither. Reserved colours take the first palette entries, in tag order.
IndexedPicture QuantizePicture(const Canvas& canvas, const ReservedColours& reserved);

// The palette index a reserved tag was given in QuantizePicture (its rank in tag order).
int ReservedIndex(const ReservedColours& reserved, uint8_t tag);

// A sprite frame: palette indices of the built-in sprite colours, 255 transparent.
struct SpriteImage {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
  uint8_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  uint8_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline constexpr uint8_t kTransparent = 255;
// The mob colour index: each mob's tint replaces it.
inline constexpr uint8_t kTintIndex = 146;

// The built-in sprite colour of an index as the game shows it.
Rgb5 SpriteColour5(int index);

// Maps a transparent canvas to sprite colours: pixels with alpha below one half are
// transparent; pixels tagged with 'tintTag' become the tint index; all others take the
// nearest built-in colour other than the tint index and the transparent one. Pixels
// tagged with 'shadeTag' take 'shadeIndex' on every fourth pixel (a sparse checkerboard)
// and the tint index elsewhere: a shade that darkens whatever tint replaces the index.
SpriteImage QuantizeSprite(const Canvas& canvas, uint8_t tintTag = 0, uint8_t shadeTag = 0, uint8_t shadeIndex = 0);

// Nearest built-in sprite colour (never the tint or transparent index).
uint8_t NearestSpriteIndex(Rgb c);

// Paints 'colour' into every transparent pixel that touches an opaque one along an edge.
void AddOutline(SpriteImage& image, uint8_t colour);

}  // namespace datagen
