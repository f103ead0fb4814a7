#pragma once
// Korean text: the font and drawing onto the off-screen surface.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "text/cp949.h"

namespace platform {

// One pass of a text draw: the glyphs land at (x + dx, y + dy) in this colour.
struct TextPass {
  int dx = 0;
  int dy = 0;
  uint8_t r = 0, g = 0, b = 0;
};

// Loads the game face (a monospaced Korean face found through fontconfig).
// Checks that at a 24-pixel cell 'A' advances 12 and '가' 24. False when no usable face.
bool LoadGameFont();
void CloseGameFont();
// Horizontal advance of one code point at the given cell height (0 when no font).
int GlyphAdvance(int cellHeight, uint32_t codepoint);

// Draws a code page 949 text onto the off-screen surface with its top-left cell corner
// at (x, y): the glyphs are rendered once and painted once per pass, in order; only
// glyph pixels change, clipped at the surface's edges. Empty text draws nothing.
// The cell height picks the font size (width is half the height for Latin letters).
void DrawText(int cellHeight, int x, int y, const char* textCp949, const TextPass* passes, int passCount);

// Makes a code page 949 text's glyphs ready at the given cell height (opening the font of
// that size if need be), so that drawing the text takes no memory later. Draws nothing.
void PrepareText(int cellHeight, const char* textCp949);

// Renders UTF-8 text into an 8-bit coverage mask (0 background, 1 glyph), for the data
// generator. Returns false when no font is loaded.
bool RenderTextMask(int cellHeight, const char* utf8, std::vector<uint8_t>& mask, int& width, int& height);

}  // namespace platform
