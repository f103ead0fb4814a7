// The game's Korean face (found by font_find_*.cpp, drawn through SDL_ttf), text drawing onto the
// off-screen surface through a glyph cache.
#include "platform/text.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/display.h"
#include "platform/internal.h"
#include "text/cp949.h"

namespace platform {
namespace {

std::string facePath;
std::unordered_map<int, TTF_Font*> fonts;  // by cell height

// A row's stretch of pixels that a glyph paints, relative to its rendered cell.
struct LitRun {
  int16_t y = 0;
  int16_t x = 0;
  int16_t length = 0;
};

struct Glyph {
  int offsetX = 0;  // where the rendered cell starts relative to the pen
  int advance = 0;
  std::vector<LitRun> lit;  // the pixels the glyph paints, row by row
  // The pixels of the glyph moved one pixel left, right, up and down, all four together:
  // what an outline paints.
  std::vector<LitRun> rim;
};

// The stretches of set bytes in a w x h mask, each row's from the left; (x0, y0) is added.
std::vector<LitRun> RunsOf(const uint8_t* mask, int pitch, int w, int h, int x0, int y0) {
  std::vector<LitRun> runs;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = mask + y * pitch;
    for (int x = 0; x < w;) {
      if (!row[x]) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < w && row[x]) ++x;
      runs.push_back(
          LitRun{static_cast<int16_t>(y + y0), static_cast<int16_t>(start + x0), static_cast<int16_t>(x - start)});
    }
  }
  return runs;
}

// The rim of a w x h glyph mask, one pixel wider on every side.
std::vector<LitRun> RimOf(const uint8_t* mask, int pitch, int w, int h) {
  const int rw = w + 2;
  std::vector<uint8_t> rim(static_cast<size_t>(rw) * static_cast<size_t>(h + 2), 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (!mask[y * pitch + x]) continue;
      // Rim position (x + 1, y + 1) is the pixel itself; its four neighbours light up.
      rim[static_cast<size_t>((y + 1) * rw + x)] = 1;
      rim[static_cast<size_t>((y + 1) * rw + x + 2)] = 1;
      rim[static_cast<size_t>(y * rw + x + 1)] = 1;
      rim[static_cast<size_t>((y + 2) * rw + x + 1)] = 1;
    }
  }
  return RunsOf(rim.data(), rw, rw, h + 2, -1, -1);
}
std::unordered_map<uint64_t, Glyph> glyphs;  // by (cell height, code point)

TTF_Font* FontOfHeight(int cellHeight) {
  if (facePath.empty() || cellHeight <= 0) return nullptr;
  auto it = fonts.find(cellHeight);
  if (it != fonts.end()) return it->second;
  TTF_Font* font = TTF_OpenFont(facePath.c_str(), cellHeight);
  if (font) {
    TTF_SetFontHinting(font, TTF_HINTING_MONO);
    TTF_SetFontKerning(font, 0);
  }
  fonts[cellHeight] = font;
  return font;
}

const Glyph* GlyphOf(int cellHeight, uint32_t codepoint) {
  uint64_t key = (static_cast<uint64_t>(cellHeight) << 32) | codepoint;
  auto it = glyphs.find(key);
  if (it != glyphs.end()) return &it->second;
  Glyph& g = glyphs[key];
  TTF_Font* font = FontOfHeight(cellHeight);
  if (!font) return &g;
  int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
  if (TTF_GlyphMetrics32(font, codepoint, &minx, &maxx, &miny, &maxy, &advance) != 0) return &g;
  g.advance = advance;
  g.offsetX = minx < 0 ? minx : 0;
  if (codepoint == ' ') return &g;
  SDL_Surface* s = TTF_RenderGlyph32_Solid(font, codepoint, SDL_Color{255, 255, 255, 255});
  if (!s) return &g;
  SDL_LockSurface(s);
  const auto* mask = static_cast<const uint8_t*>(s->pixels);
  g.lit = RunsOf(mask, s->pitch, s->w, s->h, 0, 0);
  g.rim = RimOf(mask, s->pitch, s->w, s->h);
  SDL_UnlockSurface(s);
  SDL_FreeSurface(s);
  return &g;
}

uint16_t To555(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

// Paints a glyph with its cell's top-left corner at (left, top) of a surface, clipped to the
// rectangle [x0, x1) x [y0, y1).
template <typename Pixel>
void PaintRuns(const std::vector<LitRun>& runs, Pixel* pixels, int pitch, int left, int top, int x0, int y0, int x1,
               int y1, Pixel colour) {
  for (const LitRun& run : runs) {
    const int y = top + run.y;
    if (y < y0 || y >= y1) continue;
    const int start = std::max(left + run.x, x0);
    const int end = std::min(left + run.x + run.length, x1);
    if (start < end) std::fill(pixels + y * pitch + start, pixels + y * pitch + end, colour);
  }
}

// Passes p[0..3] move the text one pixel left, right, up and down, in one colour.
bool FourShiftsInOneColour(const TextPass* p, int passesLeft) {
  if (passesLeft < 4) return false;
  int seen = 0;
  for (int i = 0; i < 4; ++i) {
    if (p[i].r != p[0].r || p[i].g != p[0].g || p[i].b != p[0].b) return false;
    if (p[i].dx * p[i].dx + p[i].dy * p[i].dy != 1) return false;
    seen |= 1 << ((p[i].dx + 1) + 3 * (p[i].dy + 1));
  }
  return seen == (1 << 1 | 1 << 3 | 1 << 5 | 1 << 7);
}

}  // namespace

bool LoadGameFont() {
  if (!facePath.empty()) return true;
  if (!TTF_WasInit() && TTF_Init() != 0) return false;
  facePath = FindGameFace();
  if (facePath.empty()) return false;
  // The game's layout needs a 24-pixel cell with Latin letters 12 and Hangul 24 wide.
  if (GlyphAdvance(24, 'A') != 12 || GlyphAdvance(24, 0xAC00) != 24) {
    CloseGameFont();
    return false;
  }
  return true;
}

void CloseGameFont() {
  glyphs.clear();
  for (auto& [height, font] : fonts) {
    if (font) TTF_CloseFont(font);
  }
  fonts.clear();
  facePath.clear();
  if (TTF_WasInit()) TTF_Quit();
}

int GlyphAdvance(int cellHeight, uint32_t codepoint) {
  TTF_Font* font = FontOfHeight(cellHeight);
  int advance = 0;
  if (!font || TTF_GlyphMetrics32(font, codepoint, nullptr, nullptr, nullptr, nullptr, &advance) != 0) {
    return 0;
  }
  return advance;
}

void DrawText(int cellHeight, int x, int y, const char* textCp949, const TextPass* passes, int passCount) {
  if (!textCp949 || !*textCp949 || !FontOfHeight(cellHeight)) return;
  uint32_t codepoints[512];
  size_t count = Cp949ToCodepoints(textCp949, std::strlen(textCp949), codepoints, 512);
  uint16_t* surface = OffscreenPixels();
  for (int p = 0; p < passCount; ++p) {
    const TextPass& pass = passes[p];
    uint16_t colour = To555(pass.r, pass.g, pass.b);
    // An outline's four shifts in one colour paint, together, each glyph's rim: the same
    // pixels in a quarter of the strokes.
    const bool rim = FourShiftsInOneColour(passes + p, passCount - p);
    int penX = rim ? x : x + pass.dx;
    int top = rim ? y : y + pass.dy;
    for (size_t i = 0; i < count; ++i) {
      const Glyph* g = GlyphOf(cellHeight, codepoints[i]);
      PaintRuns(rim ? g->rim : g->lit, surface, kScreenWidth, penX + g->offsetX, top, 0, 0, kScreenWidth, kScreenHeight,
                colour);
      penX += g->advance;
    }
    if (rim) p += 3;
  }
}

void PrepareText(int cellHeight, const char* textCp949) {
  if (!textCp949 || !FontOfHeight(cellHeight)) return;
  uint32_t codepoints[512];
  const size_t count = Cp949ToCodepoints(textCp949, std::strlen(textCp949), codepoints, 512);
  for (size_t i = 0; i < count; ++i) GlyphOf(cellHeight, codepoints[i]);
}

int DrawGlyphOn(const Canvas& canvas, int cellHeight, int x, int y, uint32_t codepoint, uint32_t colour) {
  if (!FontOfHeight(cellHeight)) return 0;
  const Glyph* g = GlyphOf(cellHeight, codepoint);
  if (!canvas.pixels) return g->advance;
  PaintRuns(g->lit, canvas.pixels, canvas.pitch, x + g->offsetX, y, canvas.left, canvas.top, canvas.right,
            canvas.bottom, colour);
  return g->advance;
}

bool RenderTextMask(int cellHeight, const char* utf8, std::vector<uint8_t>& mask, int& width, int& height) {
  TTF_Font* font = FontOfHeight(cellHeight);
  if (!font || !utf8 || !*utf8) return false;
  SDL_Surface* s = TTF_RenderUTF8_Solid(font, utf8, SDL_Color{255, 255, 255, 255});
  if (!s) return false;
  width = s->w;
  height = s->h;
  mask.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  SDL_LockSurface(s);
  for (int y = 0; y < height; ++y) {
    const auto* row = static_cast<const uint8_t*>(s->pixels) + y * s->pitch;
    for (int x = 0; x < width; ++x) mask[static_cast<size_t>(y * width + x)] = row[x] ? 1 : 0;
  }
  SDL_UnlockSurface(s);
  SDL_FreeSurface(s);
  return true;
}

}  // namespace platform
