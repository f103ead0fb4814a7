#pragma once
// Text for the pictures, rendered from the game's own Korean face.
//
// A text is rendered at several times its size into a mask, and a distance field of
// that mask gives smooth, anti-aliased letters that can be thickened (for bold titles)
// and grown (for outlines and shadows) without losing their shape.
#include <vector>

#include "tools/datagen/canvas.h"

namespace datagen {

struct TextField {
  int width = 0, height = 0;    // in picture pixels, margin included
  int scale = 1;                // mask pixels per picture pixel
  int margin = 0;               // picture pixels of room around the letters
  std::vector<float> distance;  // per mask pixel: distance to the nearest glyph pixel
};

// Renders UTF-8 text at the given cell height in picture pixels; false when the game
// font is not loaded or renders nothing.
bool MakeTextField(const char* utf8, int cellHeight, int margin, TextField& field);

// Coverage of the letters grown by 'grow' picture pixels (0 = the letters as drawn).
Coverage TextCoverage(const TextField& field, float grow);

// Paints a text with the usual layers: an optional soft drop shadow, an outline of
// 'outlineWidth' and the letters thickened by 'bold', filled by 'fill'. (x, y) is the
// top-left corner of the text's cell. Returns the field's width (0 when nothing drawn).
struct TextStyle {
  int cellHeight = 24;
  float bold = 0;
  float outlineWidth = 0;
  Rgb outline{};
  Shader fill;
  float shadowOffset = 0;
  float shadowOpacity = 0;
  uint8_t tag = 0;  // tag of the fill's pixels
};
int DrawText(Canvas& canvas, const char* utf8, float x, float y, const TextStyle& style);
// The width the text takes (its advance) in picture pixels; 0 without a font.
int TextWidth(const char* utf8, int cellHeight);

}  // namespace datagen
