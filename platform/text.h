#pragma once
// Korean text: the font, drawing onto the off-screen surface, code page 949 conversion.
#include <cstddef>
#include <cstdint>
#include <vector>

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
void DrawText(int cellHeight, int x, int y, const char* textCp949, const TextPass* passes,
              int passCount);

// Renders UTF-8 text into an 8-bit coverage mask (0 background, 1 glyph), for the data
// generator. Returns false when no font is loaded.
bool RenderTextMask(int cellHeight, const char* utf8, std::vector<uint8_t>& mask, int& width,
                    int& height);

// Code page 949 <-> UTF-8. Bad bytes become U+FFFD (or '?' towards code page 949).
// Output is always zero-terminated and never cut through a character; the result is
// the number of bytes written without the terminator.
size_t Cp949ToUtf8(const char* in, size_t inLen, char* out, size_t outCap);
size_t Utf8ToCp949(const char* in, size_t inLen, char* out, size_t outCap);
// Decodes code page 949 to code points (bad bytes give U+FFFD); returns the count written.
size_t Cp949ToCodepoints(const char* in, size_t inLen, uint32_t* out, size_t outCap);
// The longest prefix of a code page 949 text that fits in maxBytes without splitting
// a double-byte character.
size_t Cp949FitLength(const char* text, size_t len, size_t maxBytes);

}  // namespace platform
