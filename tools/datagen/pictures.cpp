#include "tools/datagen/pictures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "platform/text.h"
#include "text/texts.h"
#include "tools/datagen/chicken.h"
#include "tools/datagen/mob.h"
#include "tools/datagen/picture_parts.h"
#include "tools/datagen/text_art.h"

namespace datagen {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kWidth = kFrameWidth;
constexpr float kHeight = kFrameHeight;

// A band under a curve y = top(x) that repeats every 640 pixels, down to 'bottom'.
Polygon Ridge(float bottom, const std::function<float(float)>& top) {
  Polygon p;
  for (int x = 0; x <= kFrameWidth; x += 4) p.push_back({static_cast<float>(x), top(static_cast<float>(x))});
  p.push_back({kWidth, bottom});
  p.push_back({0, bottom});
  return p;
}

float Wave(float x, float cycles, float phase) { return std::sin(2 * kPi * cycles * x / kWidth + phase); }

Polygon Cloud(float cx, float cy, float size) {
  // A puffy outline: bumps around a flattened ellipse.
  Polygon controls;
  const int bumps = 9;
  for (int i = 0; i < bumps; ++i) {
    float t = 2 * kPi * static_cast<float>(i) / bumps;
    float bump = (i % 2 == 0) ? 1.0f : 0.82f;
    float ry = std::sin(t) > 0 ? 0.38f : 0.62f;  // flat underside
    controls.push_back({cx + std::cos(t) * size * bump, cy + std::sin(t) * size * ry * bump});
  }
  return SmoothClosed(controls);
}

void DrawCloud(Canvas& canvas, float cx, float cy, float size) {
  canvas.Fill(Cloud(cx + 3, cy + 5, size), Hex(0xa9c8e4), 0.6f);
  canvas.Fill(Cloud(cx, cy, size), VerticalGradient(cy - size * 0.5f, Hex(0xffffff), cy + size * 0.4f, Hex(0xdfeaf6)));
  canvas.Fill(Cloud(cx - size * 0.15f, cy - size * 0.12f, size * 0.6f), Hex(0xffffff), 0.8f);
}

void DrawTree(Canvas& canvas, float x, float ground, float size, Rgb leaves, Rgb dark) {
  canvas.Fill(Capsule({x, ground}, {x, ground - size * 0.9f}, size * 0.1f, size * 0.07f), Hex(0x6b4424));
  const float blobs[5][3] = {
      {0, -1.05f, 0.55f}, {-0.38f, -0.8f, 0.42f}, {0.38f, -0.8f, 0.42f}, {-0.15f, -1.4f, 0.4f}, {0.2f, -1.35f, 0.38f}};
  for (const auto& b : blobs) canvas.Fill(Circle(x + b[0] * size, ground + b[1] * size + 3, b[2] * size), dark);
  for (const auto& b : blobs)
    canvas.Fill(Circle(x + b[0] * size - 2, ground + b[1] * size - 1, b[2] * size * 0.9f), leaves);
  canvas.Fill(Circle(x - size * 0.2f, ground - size * 1.35f, size * 0.16f), Mix(leaves, Hex(0xffffff), 0.3f), 0.7f);
}

void DrawFlower(Canvas& canvas, float x, float y, Rgb petals) {
  canvas.Fill(Capsule({x, y}, {x + 1, y + 9}, 0.9f, 0.9f), Hex(0x2f7a2a));
  for (int i = 0; i < 5; ++i) {
    float t = 2 * kPi * static_cast<float>(i) / 5;
    canvas.Fill(Circle(x + std::cos(t) * 3.2f, y + std::sin(t) * 3.2f, 2.4f), petals);
  }
  canvas.Fill(Circle(x, y, 1.8f), Hex(0xffd21a));
}

void DrawTuft(Canvas& canvas, float x, float y, float size, Rgb colour) {
  for (int i = -2; i <= 2; ++i) {
    float lean = static_cast<float>(i) * 0.35f;
    canvas.Fill(Polygon{{x + static_cast<float>(i) * 2.2f - 1.5f, y},
                        {x + static_cast<float>(i) * 2.2f + 1.5f, y},
                        {x + static_cast<float>(i) * 2.2f + lean * size, y - size * (1 - std::fabs(lean) * 0.5f)}},
                colour);
  }
}

// ---------------------------------------------------------------------------------------
// The stage field. Everything repeats every 640 pixels so the scrolling never shows a seam.

// The tops of the rolling hills and of the road, which the trees and tufts stand on.
float HillTop(float x) { return 262 - 14 * Wave(x, 3, 1.3f) - 7 * Wave(x, 7, 0.2f); }
float RoadTop(float x) { return 378 + 4 * Wave(x, 2, 0.3f) + 2 * Wave(x, 5, 1.1f); }

// Sky, light enough for the blue HUD text at the top left, and clouds.
void DrawSky(Canvas& canvas, Scatter& scatter) {
  canvas.Fill(Rectangle(0, 0, kWidth, kHeight), VerticalGradient(0, Hex(0x9fd6f4), 260, Hex(0xeaf7ff)));
  const float cloudX[5] = {40, 190, 330, 470, 590};
  for (int i = 0; i < 5; ++i)
    DrawCloud(canvas, cloudX[i] + scatter.Range(-20, 20), scatter.Range(110, 190) - (i % 2) * 40,
              scatter.Range(34, 54));
}

void DrawPine(Canvas& canvas, float x, float ground, float size) {
  canvas.Fill(Capsule({x, ground}, {x, ground - 14}, 3, 2.5f), Hex(0x6b4424));
  for (int k = 0; k < 3; ++k) {
    float base = ground - 8 - static_cast<float>(k) * size * 0.45f;
    float half = size * (0.62f - 0.14f * static_cast<float>(k));
    canvas.Fill(Polygon{{x - half, base}, {x + half, base}, {x, base - size * 0.75f}}, Hex(0x2f7d4a));
    canvas.Fill(Polygon{{x - half + 3, base - 2}, {x + 1, base - 2}, {x, base - size * 0.7f}}, Hex(0x44a060));
  }
}

// Far mountains, then rolling hills with trees, each a band that repeats every 640 pixels.
void DrawHills(Canvas& canvas, Scatter& scatter) {
  canvas.Fill(Ridge(kHeight,
                    [](float x) {
                      return 232 - 34 * Wave(x, 2, 0.6f) - 14 * Wave(x, 5, 2.0f) - 5 * Wave(x, 13, 1.0f);
                    }),
              VerticalGradient(180, Hex(0xa6b4dc), 280, Hex(0xc8d4ec)));
  canvas.Fill(Ridge(kHeight, HillTop), VerticalGradient(240, Hex(0x86c75a), 300, Hex(0x5fae45)));

  const float treeX[8] = {30, 105, 180, 262, 330, 415, 500, 575};
  for (int i = 0; i < 8; ++i) {
    float x = treeX[i] + scatter.Range(-10, 10);
    float size = scatter.Range(22, 34);
    if (i % 3 == 1)
      DrawPine(canvas, x, HillTop(x) + 6, size);
    else
      DrawTree(canvas, x, HillTop(x) + 6, size, Hex(0x58b548), Hex(0x2f8a3a));
  }
}

// The meadow, then the fence before the path where the mobs walk.
void DrawMeadow(Canvas& canvas, Scatter& scatter) {
  canvas.Fill(Rectangle(0, 292, kWidth, kHeight), VerticalGradient(292, Hex(0x6cc04e), 380, Hex(0x52a83c)));
  for (int i = 0; i < 40; ++i) {
    float x = static_cast<float>(i) * 16 + scatter.Range(0, 10);
    canvas.Fill(Ellipse(x, scatter.Range(300, 360), scatter.Range(10, 22), scatter.Range(3, 5)), Hex(0x7ed15a), 0.6f);
  }
  const float fenceTop = 318, fenceBottom = 360;
  for (int i = 0; i < 10; ++i) {
    float x = 32 + 64.0f * static_cast<float>(i);
    canvas.Fill(Rectangle(x - 5, fenceTop + 2, x + 7, fenceBottom + 4), Hex(0x5e3a1e), 0.35f);
    canvas.Fill(Polygon{{x - 5, fenceTop + 4},
                        {x, fenceTop - 3},
                        {x + 5, fenceTop + 4},
                        {x + 5, fenceBottom},
                        {x - 5, fenceBottom}},
                Hex(0x9a6a3c));
    canvas.Fill(Rectangle(x - 5, fenceTop + 4, x - 2, fenceBottom), Hex(0xb88650));
  }
  for (float railY : {fenceTop + 10, fenceTop + 26}) {
    canvas.Fill(Rectangle(0, railY + 5, kWidth, railY + 8), Hex(0x5e3a1e), 0.4f);
    canvas.Fill(Rectangle(0, railY, kWidth, railY + 6), Hex(0xa87444));
    canvas.Fill(Rectangle(0, railY, kWidth, railY + 2), Hex(0xc89868));
  }
}

// A wide dirt road, lighter in the middle, with pebbles and ruts.
void DrawRoad(Canvas& canvas, Scatter& scatter) {
  canvas.Fill(Ridge(kHeight, [&](float x) { return RoadTop(x) - 4; }), Hex(0x4f9a36));
  canvas.Fill(Ridge(kHeight, RoadTop), VerticalGradient(380, Hex(0xe2c08a), 480, Hex(0xc99c62)));
  for (float rut : {412.0f, 452.0f})
    canvas.Fill(Ridge(kHeight, [rut](float x) { return rut + 2 * Wave(x, 3, rut); }), Hex(0xb88a52), 0.35f);
  for (int i = 0; i < 70; ++i) {
    float x = scatter.Range(0, kWidth), y = scatter.Range(392, 476), r = scatter.Range(1.5f, 4.0f);
    canvas.Fill(Ellipse(x + 1, y + 1.5f, r * 1.3f, r), Hex(0x9a7244), 0.5f);
    canvas.Fill(Ellipse(x, y, r * 1.3f, r), Mix(Hex(0xd8d0c4), Hex(0xa89c8c), scatter.Next()));
  }
}

// Grass tufts and flowers in the meadow and along the road's edge.
void DrawTuftsAndFlowers(Canvas& canvas, Scatter& scatter) {
  const Rgb petals[4] = {Hex(0xffffff), Hex(0xff7aa8), Hex(0xffe24a), Hex(0xb48aff)};
  for (int i = 0; i < 26; ++i) {
    float x = scatter.Range(0, kWidth);
    DrawTuft(canvas, x, RoadTop(x) + scatter.Range(0, 6), scatter.Range(7, 12), Hex(0x3f8f2e));
  }
  for (int i = 0; i < 18; ++i) {
    float x = scatter.Range(0, kWidth);
    DrawFlower(canvas, x, scatter.Range(296, 312), petals[i % 4]);
    DrawFlower(canvas, scatter.Range(0, kWidth), scatter.Range(364, 372), petals[(i + 1) % 4]);
  }
}

// ---------------------------------------------------------------------------------------
// The title: a sunburst, the name, the hen and a few fleeing mobs.

void DrawSunburst(Canvas& canvas) {
  const Vec2 centre{360, 330};
  canvas.Fill(Rectangle(0, 0, kWidth, kHeight), [centre](float x, float y) {
    float dx = x - centre.x, dy = y - centre.y;
    float d = std::sqrt(dx * dx + dy * dy) / 520.0f;
    return Mix(Hex(0xfff3a0), Hex(0xff9a2e), std::min(1.0f, d));
  });
  const int rays = 18;
  for (int i = 0; i < rays; ++i) {
    float a0 = 2 * kPi * static_cast<float>(i) / rays, a1 = a0 + kPi / rays;
    canvas.Fill(Polygon{centre,
                        {centre.x + 900 * std::cos(a0), centre.y + 900 * std::sin(a0)},
                        {centre.x + 900 * std::cos(a1), centre.y + 900 * std::sin(a1)}},
                Hex(0xffffff), 0.22f);
  }
}

// The grassy hill, then mobs fleeing to the left and the hen coming after them.
void DrawChase(Canvas& canvas) {
  canvas.Fill(Ellipse(330, 560, 520, 170), Hex(0x3e8f2c));
  canvas.Fill(Ellipse(330, 566, 510, 162), VerticalGradient(400, Hex(0x8ee05a), 520, Hex(0x4fae36)));
  Scatter scatter(7);
  for (int i = 0; i < 30; ++i) {
    float x = scatter.Range(0, kWidth);
    float top = 566 - 162 * std::sqrt(std::max(0.0f, 1 - (x - 330) * (x - 330) / (510.0f * 510.0f)));
    DrawTuft(canvas, x, top + scatter.Range(6, 40), scatter.Range(8, 14), Hex(0x3e9a2c));
  }

  const Rgb mobColours[3] = {Hex(0x6a8cff), Hex(0xc05ae0), Hex(0x46c0b0)};
  const float mobPlace[3][3] = {{40, 380, 1.3f}, {150, 410, 1.5f}, {250, 372, 1.1f}};
  for (int i = 0; i < 3; ++i) {
    Affine m = Affine::Translate(mobPlace[i][0], mobPlace[i][1]).Then(Affine::ScaleBy(mobPlace[i][2], mobPlace[i][2]));
    DrawMob(canvas, m, i * 3 + 1, mobColours[i]);
  }
  const float henScale = 1.12f;
  DrawChicken(canvas, Affine::Translate(300, 158).Then(Affine::ScaleBy(henScale, henScale)), 0, 6, 1, HenStyle());
}

// The name, big and bright, with a dark rim and a shadow; false if the font drew nothing.
bool DrawName(Canvas& canvas) {
  TextStyle title;
  title.cellHeight = 118;
  title.bold = 5;
  title.outlineWidth = 5;
  title.outline = Hex(0x4a1e08);
  title.fill = [](float, float y) {
    return y < 78 ? Mix(Hex(0xffffff), Hex(0xffe640), std::clamp((y - 30) / 48, 0.0f, 1.0f))
                  : Mix(Hex(0xffc21a), Hex(0xff6a10), std::clamp((y - 78) / 50, 0.0f, 1.0f));
  };
  title.shadowOffset = 7;
  title.shadowOpacity = 0.45f;
  const char* name = "Brakkel!!";
  int nameWidth = TextWidth(name, title.cellHeight);
  return DrawText(canvas, name, (kWidth - static_cast<float>(nameWidth)) / 2, 18, title) > 0;
}

// A ribbon with the call to arms; false if the font drew nothing.
bool DrawRibbon(Canvas& canvas) {
  const std::string call = Utf8(kLogoRibbonText);
  TextStyle ribbonText;
  ribbonText.cellHeight = 30;
  ribbonText.bold = 1.2f;
  ribbonText.outlineWidth = 2.5f;
  ribbonText.outline = Hex(0x6a0a0a);
  ribbonText.fill = Solid(Hex(0xffffff));
  int callWidth = TextWidth(call.c_str(), ribbonText.cellHeight);
  float rx0 = 30, ry0 = 158;
  canvas.Fill(
      Polygon{{rx0 - 18, ry0 + 4}, {rx0 + 4, ry0 + 4}, {rx0 + 4, ry0 + 40}, {rx0 - 18, ry0 + 40}, {rx0 - 8, ry0 + 22}},
      Hex(0xa01818));
  canvas.Fill(RoundedRect(rx0, ry0, rx0 + static_cast<float>(callWidth) + 28, ry0 + 36, 6), Hex(0xe02a2a));
  canvas.Fill(RoundedRect(rx0, ry0, rx0 + static_cast<float>(callWidth) + 28, ry0 + 8, 4), Hex(0xff6a5a), 0.7f);
  return DrawText(canvas, call.c_str(), rx0 + 14, ry0 + 3, ribbonText) > 0;
}

}  // namespace

IndexedPicture DrawField() {
  Canvas canvas(kFrameWidth, kFrameHeight);
  canvas.SetWrapPeriod(kFrameWidth);
  Scatter scatter(20240611);
  DrawSky(canvas, scatter);
  DrawHills(canvas, scatter);
  DrawMeadow(canvas, scatter);
  DrawRoad(canvas, scatter);
  DrawTuftsAndFlowers(canvas, scatter);
  return QuantizePicture(canvas, {});
}

IndexedPicture DrawLogo(bool& ok) {
  Canvas canvas(kFrameWidth, kFrameHeight);
  DrawSunburst(canvas);
  DrawChase(canvas);
  ok = DrawName(canvas);
  ok = DrawRibbon(canvas) && ok;
  return QuantizePicture(canvas, {});
}

}  // namespace datagen
