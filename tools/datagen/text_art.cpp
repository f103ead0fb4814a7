#include "tools/datagen/text_art.h"

#include <cmath>
#include <limits>

#include "platform/text.h"

namespace datagen {

namespace {

constexpr int kMaskScale = 4;
constexpr float kFar = 1e20f;

// One-dimensional squared distance transform of a sampled function (lower envelope of
// parabolas); f and d hold n values.
void DistanceTransform1d(const std::vector<float>& f, std::vector<float>& d, int n) {
  std::vector<int> v(static_cast<size_t>(n));
  std::vector<float> z(static_cast<size_t>(n) + 1);
  int k = 0;
  v[0] = 0;
  z[0] = -std::numeric_limits<float>::infinity();
  z[1] = std::numeric_limits<float>::infinity();
  for (int q = 1; q < n; ++q) {
    float s;
    while (true) {
      int p = v[static_cast<size_t>(k)];
      s = ((f[static_cast<size_t>(q)] + static_cast<float>(q * q)) -
           (f[static_cast<size_t>(p)] + static_cast<float>(p * p))) /
          static_cast<float>(2 * q - 2 * p);
      if (s <= z[static_cast<size_t>(k)] && k > 0) {
        --k;
        continue;
      }
      break;
    }
    ++k;
    v[static_cast<size_t>(k)] = q;
    z[static_cast<size_t>(k)] = s;
    z[static_cast<size_t>(k) + 1] = std::numeric_limits<float>::infinity();
  }
  k = 0;
  for (int q = 0; q < n; ++q) {
    while (z[static_cast<size_t>(k) + 1] < static_cast<float>(q)) ++k;
    int p = v[static_cast<size_t>(k)];
    d[static_cast<size_t>(q)] = static_cast<float>((q - p) * (q - p)) + f[static_cast<size_t>(p)];
  }
}

}  // namespace

bool MakeTextField(const char* utf8, int cellHeight, int margin, TextField& field) {
  std::vector<uint8_t> mask;
  int maskW = 0, maskH = 0;
  if (!platform::RenderTextMask(cellHeight * kMaskScale, utf8, mask, maskW, maskH)) return false;
  field.scale = kMaskScale;
  field.margin = margin;
  field.width = (maskW + kMaskScale - 1) / kMaskScale + 2 * margin;
  field.height = (maskH + kMaskScale - 1) / kMaskScale + 2 * margin;
  const int w = field.width * kMaskScale, h = field.height * kMaskScale;
  const int offset = margin * kMaskScale;

  std::vector<float> grid(static_cast<size_t>(w) * h, kFar);
  for (int y = 0; y < maskH; ++y)
    for (int x = 0; x < maskW; ++x)
      if (mask[static_cast<size_t>(y) * maskW + x]) grid[static_cast<size_t>(y + offset) * w + (x + offset)] = 0;

  // Squared distances along columns, then along rows.
  std::vector<float> f(static_cast<size_t>(std::max(w, h))), d(f.size());
  for (int x = 0; x < w; ++x) {
    for (int y = 0; y < h; ++y) f[static_cast<size_t>(y)] = grid[static_cast<size_t>(y) * w + x];
    DistanceTransform1d(f, d, h);
    for (int y = 0; y < h; ++y) grid[static_cast<size_t>(y) * w + x] = d[static_cast<size_t>(y)];
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) f[static_cast<size_t>(x)] = grid[static_cast<size_t>(y) * w + x];
    DistanceTransform1d(f, d, w);
    for (int x = 0; x < w; ++x) grid[static_cast<size_t>(y) * w + x] = std::sqrt(d[static_cast<size_t>(x)]);
  }
  field.distance = std::move(grid);
  return true;
}

Coverage TextCoverage(const TextField& field, float grow) {
  Coverage cov;
  cov.width = field.width;
  cov.height = field.height;
  cov.value.assign(static_cast<size_t>(cov.width) * cov.height, 0.0f);
  const int s = field.scale, w = field.width * s;
  const float limit = grow * static_cast<float>(s);
  for (int y = 0; y < cov.height; ++y)
    for (int x = 0; x < cov.width; ++x) {
      int inside = 0;
      for (int sy = 0; sy < s; ++sy)
        for (int sx = 0; sx < s; ++sx)
          if (field.distance[static_cast<size_t>(y * s + sy) * w + (x * s + sx)] <= limit) ++inside;
      cov.value[static_cast<size_t>(y) * cov.width + x] = static_cast<float>(inside) / static_cast<float>(s * s);
    }
  return cov;
}

int DrawText(Canvas& canvas, const char* utf8, float x, float y, const TextStyle& style) {
  TextField field;
  if (!MakeTextField(utf8, style.cellHeight,
                     static_cast<int>(std::ceil(style.bold + style.outlineWidth + style.shadowOffset)) + 2, field))
    return 0;
  int left = static_cast<int>(std::lround(x)) - field.margin;
  int top = static_cast<int>(std::lround(y)) - field.margin;
  float outer = style.bold + style.outlineWidth;
  if (style.shadowOpacity > 0) {
    int d = static_cast<int>(std::lround(style.shadowOffset));
    canvas.PaintCoverage(TextCoverage(field, outer + 0.5f), left + d, top + d, Solid({0, 0, 0}), style.shadowOpacity);
  }
  if (style.outlineWidth > 0) canvas.PaintCoverage(TextCoverage(field, outer), left, top, Solid(style.outline));
  canvas.PaintCoverage(TextCoverage(field, style.bold), left, top, style.fill ? style.fill : Solid({1, 1, 1}), 1,
                       style.tag);
  return field.width - 2 * field.margin;
}

int TextWidth(const char* utf8, int cellHeight) {
  std::vector<uint8_t> mask;
  int w = 0, h = 0;
  if (!platform::RenderTextMask(cellHeight, utf8, mask, w, h)) return 0;
  return w;
}

}  // namespace datagen
