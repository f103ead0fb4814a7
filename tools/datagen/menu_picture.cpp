// The difficulty menu: three panels, each inside its area, in rising fierceness.
#include <algorithm>
#include <cmath>
#include <string>

#include "platform/text.h"
#include "text/texts.h"
#include "tools/datagen/chicken.h"
#include "tools/datagen/mob.h"
#include "tools/datagen/picture_parts.h"
#include "tools/datagen/pictures.h"
#include "tools/datagen/text_art.h"

namespace datagen {

constexpr float kWidth = kFrameWidth;
constexpr float kHeight = kFrameHeight;

namespace {

constexpr uint8_t kLabelTags[3] = {10, 11, 12};

struct Bounds {
  float x0, y0, x1, y1;
};

// Where a chicken drawn at scale 1 from (0, 0) puts paint.
Bounds ChickenBounds(int frame, int phaseA, int phaseB, const ChickenStyle& style) {
  Canvas scratch(kBodyWidth + 40, kBodyHeight + 80);
  DrawChicken(scratch, Affine::Translate(0, 0), frame, phaseA, phaseB, style);
  Bounds b{1e9f, 1e9f, -1e9f, -1e9f};
  for (int y = 0; y < scratch.Height(); ++y)
    for (int x = 0; x < scratch.Width(); ++x)
      if (scratch.Alpha(x, y) > 0.1f) {
        b.x0 = std::min(b.x0, static_cast<float>(x));
        b.y0 = std::min(b.y0, static_cast<float>(y));
        b.x1 = std::max(b.x1, static_cast<float>(x + 1));
        b.y1 = std::max(b.y1, static_cast<float>(y + 1));
      }
  return b;
}

void DrawFlames(Canvas& canvas, float x0, float x1, float base, float height) {
  Scatter scatter(99);
  const Rgb layers[3] = {Hex(0xd81c0c), Hex(0xff7a10), Hex(0xffd23a)};
  for (int layer = 0; layer < 3; ++layer) {
    float h = height * (1 - 0.28f * static_cast<float>(layer));
    for (float x = x0; x < x1; x += 16) {
      float tip = h * scatter.Range(0.6f, 1.0f);
      canvas.Fill(SmoothClosed({{x - 10, base},
                                {x - 6, base - tip * 0.5f},
                                {x + scatter.Range(-4, 6), base - tip},
                                {x + 7, base - tip * 0.45f},
                                {x + 11, base}}),
                  layers[layer]);
    }
  }
}

// A warm paper background, the heading and two mobs; false if the font drew nothing.
bool DrawMenuBackdrop(Canvas& canvas) {
  // Soft diagonal stripes.
  canvas.Fill(Rectangle(0, 0, kWidth, kHeight), [](float x, float y) {
    Rgb base = Mix(Hex(0xfff6dc), Hex(0xffe2b0), y / kHeight);
    float stripe = std::fmod(x + y, 48.0f) < 24 ? 1.0f : 0.0f;
    return Mix(base, Hex(0xffffff), 0.25f * stripe);
  });
  // A large, faint egg behind the right half keeps the hint text readable everywhere.
  canvas.Fill(Ellipse(460, 280, 160, 190), Hex(0xffffff), 0.35f);

  TextStyle heading;
  heading.cellHeight = 40;
  heading.bold = 1.5f;
  heading.outlineWidth = 3;
  heading.outline = Hex(0x5a2a10);
  heading.fill = VerticalGradient(40, Hex(0xffe46a), 80, Hex(0xff9a1a));
  heading.shadowOffset = 3;
  heading.shadowOpacity = 0.3f;
  const std::string choose = Utf8(kMenuHeading);
  const bool ok = DrawText(canvas, choose.c_str(), 282, 40, heading) > 0;
  canvas.Fill(Capsule({288, 98}, {600, 98}, 2, 2), Hex(0xd88a3a), 0.6f);

  // Two mobs watch from the bottom corner, waiting for the game to begin.
  canvas.Fill(Ellipse(540, 470, 100, 12), Hex(0xc8a070), 0.35f);
  DrawMob(canvas, Affine::Translate(532, 418).Then(Affine::ScaleBy(-0.9f, 0.9f)), 0, Hex(0x6a8cff));
  DrawMob(canvas, Affine::Translate(540, 414), 2, Hex(0x58c060));
  return ok;
}

struct Panel {
  Rgb top, bottom, rim;
  ChickenStyle style;
  int frame, phaseA, phaseB;
  float scale;        // share of the room the bird fills
  const char* label;  // code page 949
  int cell;
  Rgb fill, outline;
};

// The bird, as large as fits between the panel's rim and the label.
void DrawPanelBird(Canvas& canvas, const Panel& p, float l, float t, float r, float b) {
  const Bounds bird = ChickenBounds(p.frame, p.phaseA, p.phaseB, p.style);
  const float roomW = r - l - 16, roomH = b - t - 16 - static_cast<float>(p.cell) - 6;
  const float scale = std::min(roomW / (bird.x1 - bird.x0), roomH / (bird.y1 - bird.y0)) * p.scale;
  const float bx = (l + r) / 2 - (bird.x0 + bird.x1) / 2 * scale;
  const float by = t + 8 + roomH - bird.y1 * scale;
  DrawChicken(canvas, Affine::Translate(bx, by).Then(Affine::ScaleBy(scale, scale)), p.frame, p.phaseA, p.phaseB,
              p.style);
}

// Difficulty 'i''s panel in its menu area, its label tagged kLabelTags[i]; false if the
// font drew nothing.
bool DrawPanel(Canvas& canvas, int i, const Panel& p) {
  const MenuArea& a = kMenuAreas[i];
  const float l = static_cast<float>(a.left), t = static_cast<float>(a.top);
  const float r = static_cast<float>(a.right) + 1, b = static_cast<float>(a.bottom) + 1;
  canvas.Fill(RoundedRect(l + 4, t + 5, r + 4, b + 5, 14), Hex(0x000000), 0.2f);
  canvas.Fill(RoundedRect(l, t, r, b, 14), p.rim);
  canvas.Fill(RoundedRect(l + 4, t + 4, r - 4, b - 4, 11), VerticalGradient(t, p.top, b, p.bottom));
  if (i == 2) DrawFlames(canvas, l + 12, r - 8, b - 34, 70);
  DrawPanelBird(canvas, p, l, t, r, b);

  TextStyle label;
  label.cellHeight = p.cell;
  label.bold = 0.8f + 0.3f * static_cast<float>(i);
  label.outlineWidth = 2.5f;
  label.outline = p.outline;
  label.fill = Solid(p.fill);
  label.tag = kLabelTags[i];
  const std::string text = Utf8(p.label);
  int w = TextWidth(text.c_str(), p.cell);
  return DrawText(canvas, text.c_str(), (l + r) / 2 - static_cast<float>(w) / 2, b - 8 - static_cast<float>(p.cell),
                  label) > 0;
}

}  // namespace

IndexedPicture DrawLevelMenu(bool& ok) {
  Canvas canvas(kFrameWidth, kFrameHeight);
  ok = DrawMenuBackdrop(canvas);
  const Panel panels[3] = {
      {Hex(0xd8f7c8), Hex(0x9ee08a), Hex(0x3f8f3a), ChickStyle(), 0, 3, 4, 0.95f, kEasyModeName, 22, Hex(0xffffff),
       Hex(0x2f7a2a)},
      {Hex(0xfff0b0), Hex(0xffc062), Hex(0xb8661c), HenStyle(), 0, 6, 1, 1.0f, kNormalModeName, 26, Hex(0xfff6a0),
       Hex(0x8a3a08)},
      {Hex(0x5a0c0c), Hex(0x1a0404), Hex(0x000000), RoosterStyle(), 1, 5, 1, 1.0f, kHardcoreModeName, 29, Hex(0xffe020),
       Hex(0xa00000)},
  };
  // The labels keep their colours exactly.
  ReservedColours reserved;
  for (int i = 0; i < 3; ++i) {
    ok = DrawPanel(canvas, i, panels[i]) && ok;
    reserved[kLabelTags[i]] = panels[i].fill;
  }
  return QuantizePicture(canvas, reserved);
}

}  // namespace datagen
