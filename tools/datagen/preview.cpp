#include "tools/datagen/preview.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/text.h"
#include "text/texts.h"
#include "tools/datagen/chicken.h"
#include "tools/datagen/formats.h"
#include "tools/datagen/mob.h"
#include "tools/datagen/pictures.h"

namespace datagen {

namespace {

struct Colour8 {
  uint8_t r, g, b;
};

class Sheet {
 public:
  Sheet(int width, int height) : width_(width), height_(height), rgb_(static_cast<size_t>(width) * height * 3) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) Put(x, y, ((x / 8 + y / 8) % 2) ? Colour8{58, 60, 68} : Colour8{50, 52, 60});
  }
  void Put(int x, int y, Colour8 c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* p = &rgb_[(static_cast<size_t>(y) * width_ + x) * 3];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
  }
  Colour8 Get(int x, int y) const {
    const uint8_t* p = &rgb_[(static_cast<size_t>(y) * width_ + x) * 3];
    return {p[0], p[1], p[2]};
  }
  void Box(int x0, int y0, int x1, int y1, Colour8 c) {
    for (int x = x0; x <= x1; ++x) {
      Put(x, y0, c);
      Put(x, y1, c);
    }
    for (int y = y0; y <= y1; ++y) {
      Put(x0, y, c);
      Put(x1, y, c);
    }
  }
  bool Save(const std::string& path) const {
    const Bytes png = EncodePngPixels(rgb_, width_, height_, false);
    return !png.empty() && WriteFile(path, png);
  }

 private:
  int width_, height_;
  std::vector<uint8_t> rgb_;
};

// Colours as the game's 5:5:5 screen shows them.
Colour8 PictureColour(const IndexedPicture& picture, uint8_t index) {
  const uint8_t* c = &picture.palette[static_cast<size_t>(index) * 3];
  return {Widen5(c[0] >> 3), Widen5(c[1] >> 3), Widen5(c[2] >> 3)};
}

Colour8 SpriteColour(int index) {
  Rgb5 c = SpriteColour5(index);
  return {Widen5(c.r), Widen5(c.g), Widen5(c.b)};
}

// Half size, with the colour table scaled to a percentage as the title's fade does.
void DrawFadedThumbnail(Sheet& sheet, const IndexedPicture& picture, int x0, int y0, int percent) {
  for (int y = 0; y < picture.height / 2; ++y)
    for (int x = 0; x < picture.width / 2; ++x) {
      uint8_t index = picture.pixels[static_cast<size_t>(y * 2) * picture.width + x * 2];
      const uint8_t* c = &picture.palette[static_cast<size_t>(index) * 3];
      auto fade = [percent](uint8_t v) { return Widen5((v * percent / 100) >> 3); };
      sheet.Put(x0 + x, y0 + y, {fade(c[0]), fade(c[1]), fade(c[2])});
    }
}

void DrawPicture(Sheet& sheet, const IndexedPicture& picture, int x0, int y0, int scroll = 0) {
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      int sx = (x + scroll) % picture.width;
      sheet.Put(x0 + x, y0 + y, PictureColour(picture, picture.pixels[static_cast<size_t>(y) * picture.width + sx]));
    }
}

// As the game's sprite drawing: index 255 left out, 'from' drawn in the colour of 'to'.
void DrawSprite(Sheet& sheet, const SpriteImage& frame, int x0, int y0, int from = -1, int to = 0, int zoom = 1) {
  for (int y = 0; y < frame.height; ++y)
    for (int x = 0; x < frame.width; ++x) {
      uint8_t p = frame.At(x, y);
      if (p == kTransparent) continue;
      Colour8 c = SpriteColour(p == from ? to : p);
      for (int zy = 0; zy < zoom; ++zy)
        for (int zx = 0; zx < zoom; ++zx) sheet.Put(x0 + x * zoom + zx, y0 + y * zoom + zy, c);
    }
}

void DrawAssembledChicken(Sheet& sheet, const SpriteSet& sprites, int frame, int phaseA, int phaseB, int x, int y) {
  const FootOffset& place = FootOffsets[frame];
  DrawSprite(sheet, sprites.feet[static_cast<size_t>(phaseA)], x + place.dxA - kFootOriginX,
             y + place.dyA - kFootOriginY);
  DrawSprite(sheet, sprites.body[static_cast<size_t>(frame)], x, y);
  DrawSprite(sheet, sprites.feet[static_cast<size_t>(phaseB)], x + place.dxB - kFootOriginX,
             y + place.dyB - kFootOriginY);
}

// Code page 949 text with the HUD's look: a lavender rim left, right, above and below,
// a blue body.
void DrawHudText(Sheet& sheet, int x, int y, const char* cp949) {
  char utf8[512];
  Cp949ToUtf8(cp949, std::strlen(cp949), utf8, sizeof utf8);
  std::vector<uint8_t> mask;
  int w = 0, h = 0;
  if (!platform::RenderTextMask(24, utf8, mask, w, h)) return;
  const int offsets[5][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {0, 0}};
  for (int pass = 0; pass < 5; ++pass) {
    Colour8 c = pass < 4 ? Colour8{Widen5(200 >> 3), Widen5(200 >> 3), 255} : Colour8{0, 0, 255};
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i)
        if (mask[static_cast<size_t>(j) * w + i]) sheet.Put(x + i + offsets[pass][0], y + j + offsets[pass][1], c);
  }
}

void Label(Sheet& sheet, int x, int y, const char* utf8) {
  std::vector<uint8_t> mask;
  int w = 0, h = 0;
  if (!platform::RenderTextMask(16, utf8, mask, w, h)) return;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      if (mask[static_cast<size_t>(j) * w + i]) sheet.Put(x + i, y + j, {235, 235, 235});
}

const Colour8 kHitColour{255, 40, 40};

// The sheet has two columns of 640-pixel pictures; rows below use the left one only.
constexpr int kGap = 20;
constexpr int kLeft = kGap, kRight = kGap * 2 + kFrameWidth;

// Where the mock stages put their mobs: x, y and tint.
constexpr int kStageMobs[][3] = {{600, 340, 3},   {420, 352, 171}, {520, 380, 48},  {330, 420, 9},
                                 {455, 424, 200}, {250, 446, 95},  {560, 440, 146}, {40, 400, 13}};

// Each row draws its labels and pictures from 'y' down and returns where the next begins.
int DrawTitleRow(Sheet& sheet, const PictureSet& pictures, int y) {
  Label(sheet, kLeft, y, "logo.pcx");
  Label(sheet, kRight, y, "level.pcx  (menu areas outlined)");
  y += 20;
  DrawPicture(sheet, pictures.logo, kLeft, y);
  DrawPicture(sheet, pictures.level, kRight, y);
  for (const MenuArea& a : kMenuAreas)
    sheet.Box(kRight + a.left, y + a.top, kRight + a.right, y + a.bottom, {255, 0, 255});
  DrawHudText(sheet, kRight + 300, y + 200, kMenuDefaultHint);
  return y + kFrameHeight + 4;
}

// The mock stage: background, mobs in a few tints, the chicken, the HUD.
int DrawStageRow(Sheet& sheet, const PictureSet& pictures, const SpriteSet& sprites, int y) {
  Label(sheet, kLeft, y, "back.pcx scrolled by 320 (the seam is in the middle)");
  Label(sheet, kRight, y, "a stage as the game draws it");
  y += 20;
  DrawPicture(sheet, pictures.back, kLeft, y, 320);
  DrawPicture(sheet, pictures.back, kRight, y, 200);
  for (const auto& m : kStageMobs)
    DrawSprite(sheet, sprites.mobs[static_cast<size_t>((m[0] / 10) % 8)], kRight + m[0], y + m[1], kTintIndex, m[2]);
  DrawAssembledChicken(sheet, sprites, 3, 5, 1, kRight + 170, y + 200);
  // The HUD's four lines as a game of the normal difficulty shows them.
  char hud[4][128];
  std::snprintf(hud[0], sizeof hud[0], kHudTimeFormat, kNormalModeName, 12345, 42);
  std::snprintf(hud[1], sizeof hud[1], kHudMobFormat, 31, 200, 160, 9);
  std::snprintf(hud[2], sizeof hud[2], kHudStageFormat, 2, 15, 35);
  std::snprintf(hud[3], sizeof hud[3], kHudComboFormat, 3, 7);
  for (int i = 0; i < 4; ++i) DrawHudText(sheet, kRight, y + 24 * i, hud[i]);
  return y + kFrameHeight + 4;
}

int DrawWalkingRow(Sheet& sheet, const PictureSet& pictures, const SpriteSet& sprites, int y) {
  Label(sheet, kLeft, y, "back.pcx");
  Label(sheet, kRight, y, "the same stage frame, chicken walking");
  y += 20;
  DrawPicture(sheet, pictures.back, kLeft, y);
  DrawPicture(sheet, pictures.back, kRight, y, 430);
  for (const auto& m : kStageMobs)
    DrawSprite(sheet, sprites.mobs[static_cast<size_t>((m[0] / 10 + 3) % 8)], kRight + m[0] - 30, y + m[1], kTintIndex,
               (m[2] + 37) % 255);
  DrawAssembledChicken(sheet, sprites, 0, 3, 3, kRight + 120, y + 140);
  return y + kFrameHeight + 4;
}

int DrawChickenRow(Sheet& sheet, const SpriteSet& sprites, int y) {
  Label(sheet, kLeft, y, "chicken.ani frames 0-3 with foot.ani as the game assembles them; strike box in red");
  y += 20;
  const int feetA[4] = {0, 7, 4, 5}, feetB[4] = {7, 0, 3, 1};
  for (int f = 0; f < 4; ++f) {
    int x0 = kLeft + f * (kBodyWidth + 10);
    sheet.Box(x0 - 1, y - 1, x0 + kBodyWidth, y + kBodyHeight, {90, 92, 104});
    DrawAssembledChicken(sheet, sprites, f, feetA[f], feetB[f], x0, y);
    sheet.Box(x0 + kPlayerHitLeft, y + kPlayerHitTop, x0 + kPlayerHitRight, y + kPlayerHitBottom, kHitColour);
  }
  y += kBodyHeight + 4;

  Label(sheet, kLeft, y, "foot.ani frames 0-7 (hip marked)");
  y += 20;
  for (int f = 0; f < 8; ++f) {
    int x0 = kLeft + f * 160 - 30;
    DrawSprite(sheet, sprites.feet[static_cast<size_t>(f)], x0, y);
    sheet.Put(x0 + 100, y + 90, kHitColour);
  }
  return y + kFootHeight + 4;
}

int DrawMobRows(Sheet& sheet, const SpriteSet& sprites, int y) {
  Label(sheet, kLeft, y, "mop.ani frames 0-7, twice the size, tint index as stored; hit box in red");
  y += 20;
  for (int f = 0; f < 8; ++f) {
    int x0 = kLeft + (f % 4) * (kMobWidth * 2 + 16);
    int y0 = y + (f / 4) * (kMobHeight * 2 + 4);
    DrawSprite(sheet, sprites.mobs[static_cast<size_t>(f)], x0, y0, -1, 0, 2);
    sheet.Box(x0 + kMobHitLeft * 2, y0 + kMobHitTop * 2, x0 + kMobHitRight * 2 + 1, y0 + kMobHitBottom * 2 + 1,
              kHitColour);
  }
  y += kMobHeight * 4 + 8;

  Label(sheet, kLeft, y, "mop.ani frames 0-7 in other tints");
  y += 20;
  const int tints[8] = {3, 48, 176, 9, 13, 104, 200, 0};
  for (int f = 0; f < 8; ++f) {
    int x0 = kLeft + f * (kMobWidth + 20);
    DrawSprite(sheet, sprites.mobs[static_cast<size_t>(f)], x0, y, kTintIndex, tints[f]);
  }
  return y + kMobHeight + 4;
}

}  // namespace

bool WritePreview(const std::string& path, const PictureSet& pictures, const SpriteSet& sprites) {
  const int width = kFrameWidth * 2 + kGap * 3;
  const int height = 24 + kFrameHeight + 24 + kFrameHeight + 24 + kFrameHeight + 24 + kBodyHeight + 24 + kFootHeight +
                     24 + kMobHeight * 4 + 8 + 24 + kMobHeight + 4 + 24 + 240 + kGap;
  Sheet sheet(width, height);
  int y = DrawTitleRow(sheet, pictures, 4);
  y = DrawStageRow(sheet, pictures, sprites, y);
  y = DrawWalkingRow(sheet, pictures, sprites, y);
  y = DrawChickenRow(sheet, sprites, y);
  y = DrawMobRows(sheet, sprites, y);

  Label(sheet, kLeft, y, "logo.pcx during its fade: 10%, 30% and 60% brightness");
  y += 20;
  const int levels[3] = {10, 30, 60};
  for (int i = 0; i < 3; ++i) DrawFadedThumbnail(sheet, pictures.logo, kLeft + i * (320 + kGap), y, levels[i]);
  return sheet.Save(path);
}

}  // namespace datagen
