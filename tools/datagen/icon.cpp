#include "tools/datagen/icon.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "tools/datagen/chicken.h"

namespace datagen {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kDesign = 256;  // the icon is laid out on a 256-unit square

// The title's sky: a warm glow with soft rays, and a green hill at the bottom.
Rgb Sky(float x, float y) {
  const Vec2 sun{150, 150};
  float dx = x - sun.x, dy = y - sun.y;
  Rgb c = Mix(Hex(0xfff3a0), Hex(0xff9a2e), std::min(1.0f, std::sqrt(dx * dx + dy * dy) / 200.0f));
  const int rays = 14;
  float angle = std::atan2(dy, dx) + kPi;
  if (std::fmod(angle, 2 * kPi / rays) < kPi / rays) c = Mix(c, Hex(0xffffff), 0.22f);
  // The hill: an ellipse's top edge, a darker rim along it.
  float hx = (x - 150) / 210, hy = (y - 330) / 120;
  float inside = hx * hx + hy * hy;
  if (inside < 1)
    c = inside > 0.88f ? Hex(0x3e8f2c) : Mix(Hex(0x8ee05a), Hex(0x4fae36), std::clamp((y - 220) / 40, 0.0f, 1.0f));
  return c;
}

}  // namespace

Canvas DrawIcon(int size) {
  const float k = static_cast<float>(size) / kDesign;
  const Affine toCanvas = Affine::ScaleBy(k, k);
  const Polygon rim = Transform(RoundedRect(8, 8, 248, 248, 46), toCanvas);
  const Polygon tile = Transform(RoundedRect(14, 14, 242, 242, 40), toCanvas);

  Canvas icon(size, size);
  icon.Fill(rim, Hex(0x4a1e08));
  icon.Fill(tile, [k](float x, float y) { return Sky(x / k, y / k); });

  // The hen, neck rising from the bottom edge, is drawn apart and then laid onto the
  // tile only where the tile is, so the neck ends at the rim.
  const ChickenStyle hen = HenStyle();
  Canvas bird(size, size);
  const float headScale = 2.3f;
  const Vec2 head{108, 124};
  const float line = hen.outlineWidth * headScale;
  bird.Fill(Transform(Capsule({60, 300}, head, 62 + line, 44 + line), toCanvas), hen.outline);
  bird.Fill(Transform(Capsule({60, 300}, head, 62, 44), toCanvas), hen.feather);
  bird.Fill(Transform(Capsule({40, 300}, {82, 200}, 30, 20), toCanvas), hen.featherShade, 0.8f);
  DrawChickenHead(bird, toCanvas.Then(Affine::Translate(head.x, head.y)).Then(Affine::ScaleBy(headScale, headScale)),
                  hen);
  Canvas mask(size, size);
  mask.Fill(tile, Hex(0xffffff));
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float a = bird.Alpha(x, y) * mask.Alpha(x, y);
      if (a > 0) icon.Set(x, y, Mix(icon.Colour(x, y), bird.Colour(x, y), a), icon.Alpha(x, y));
    }
  return icon;
}

Bytes EncodePng(const Canvas& canvas) {
  const int w = canvas.Width(), h = canvas.Height();
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
  auto byte = [](float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
      const float a = canvas.Alpha(x, y);
      const Rgb c = a > 0 ? canvas.Colour(x, y) : Rgb{};
      p[0] = byte(c.r);
      p[1] = byte(c.g);
      p[2] = byte(c.b);
      p[3] = byte(a);
    }
  return EncodePngPixels(rgba, w, h, true);
}

bool WriteIcons(const std::string& folder) {
  for (int size : kIconSizes) {
    const std::string n = std::to_string(size);
    const std::filesystem::path dir = std::filesystem::path(folder) / "hicolor" / (n + "x" + n) / "apps";
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    Bytes png = EncodePng(DrawIcon(size));
    if (png.empty() || !WriteFile((dir / "brakkel.png").string(), png)) return false;
  }
  return true;
}

}  // namespace datagen
