#include "tools/datagen/canvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace datagen {

namespace {

constexpr int kSub = 4;  // samples per pixel along each axis

struct Crossing {
  float x;
  int dir;
};

}  // namespace

Rgb Hex(uint32_t rgb) {
  return {static_cast<float>((rgb >> 16) & 255) / 255.0f, static_cast<float>((rgb >> 8) & 255) / 255.0f,
          static_cast<float>(rgb & 255) / 255.0f};
}

Rgb Mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

Rgb Scale(Rgb c, float k) { return {c.r * k, c.g * k, c.b * k}; }

Affine Affine::Rotate(float radians) {
  float c = std::cos(radians), s = std::sin(radians);
  return {c, -s, 0, s, c, 0};
}

Affine Affine::RotateAbout(float radians, Vec2 centre) {
  return Translate(centre.x, centre.y).Then(Rotate(radians)).Then(Translate(-centre.x, -centre.y));
}

Affine Affine::Then(const Affine& o) const {
  return {a * o.a + b * o.d, a * o.b + b * o.e, a * o.c + b * o.f + c,
          d * o.a + e * o.d, d * o.b + e * o.e, d * o.c + e * o.f + f};
}

Polygon Transform(const Polygon& poly, const Affine& m) {
  Polygon out;
  out.reserve(poly.size());
  for (Vec2 p : poly) out.push_back(m.Apply(p));
  return out;
}

Polygon Ellipse(float cx, float cy, float rx, float ry, float rotation, int segments) {
  Polygon out;
  float c = std::cos(rotation), s = std::sin(rotation);
  for (int i = 0; i < segments; ++i) {
    float t = 2 * std::numbers::pi_v<float> * static_cast<float>(i) / static_cast<float>(segments);
    float x = rx * std::cos(t), y = ry * std::sin(t);
    out.push_back({cx + c * x - s * y, cy + s * x + c * y});
  }
  return out;
}

Polygon Circle(float cx, float cy, float r, int segments) { return Ellipse(cx, cy, r, r, 0, segments); }

Polygon Capsule(Vec2 a, Vec2 b, float ra, float rb) {
  float dx = b.x - a.x, dy = b.y - a.y;
  float angle = std::atan2(dy, dx);
  constexpr float kPi = std::numbers::pi_v<float>;
  Polygon out;
  const int steps = 16;
  // Half circle around b, then around a.
  for (int i = 0; i <= steps; ++i) {
    float t = angle - kPi / 2 + kPi * static_cast<float>(i) / steps;
    out.push_back({b.x + rb * std::cos(t), b.y + rb * std::sin(t)});
  }
  for (int i = 0; i <= steps; ++i) {
    float t = angle + kPi / 2 + kPi * static_cast<float>(i) / steps;
    out.push_back({a.x + ra * std::cos(t), a.y + ra * std::sin(t)});
  }
  return out;
}

Polygon Rectangle(float x0, float y0, float x1, float y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

Polygon RoundedRect(float x0, float y0, float x1, float y1, float radius) {
  constexpr float kPi = std::numbers::pi_v<float>;
  Polygon out;
  const Vec2 centres[4] = {{x1 - radius, y0 + radius},
                           {x1 - radius, y1 - radius},
                           {x0 + radius, y1 - radius},
                           {x0 + radius, y0 + radius}};
  const int steps = 8;
  for (int corner = 0; corner < 4; ++corner) {
    float start = -kPi / 2 + kPi / 2 * static_cast<float>(corner);
    for (int i = 0; i <= steps; ++i) {
      float t = start + kPi / 2 * static_cast<float>(i) / steps;
      out.push_back({centres[corner].x + radius * std::cos(t), centres[corner].y + radius * std::sin(t)});
    }
  }
  return out;
}

Polygon SmoothClosed(const Polygon& controls, int stepsPerSpan) {
  Polygon out;
  const size_t n = controls.size();
  for (size_t i = 0; i < n; ++i) {
    Vec2 p0 = controls[(i + n - 1) % n], p1 = controls[i], p2 = controls[(i + 1) % n], p3 = controls[(i + 2) % n];
    for (int s = 0; s < stepsPerSpan; ++s) {
      float t = static_cast<float>(s) / static_cast<float>(stepsPerSpan);
      float t2 = t * t, t3 = t2 * t;
      auto blend = [&](float a, float b, float c, float d) {
        return 0.5f * ((2 * b) + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 + (-a + 3 * b - 3 * c + d) * t3);
      };
      out.push_back({blend(p0.x, p1.x, p2.x, p3.x), blend(p0.y, p1.y, p2.y, p3.y)});
    }
  }
  return out;
}

Polygon Star(float cx, float cy, float outer, float inner, int points, float rotation) {
  Polygon out;
  for (int i = 0; i < points * 2; ++i) {
    float r = (i % 2 == 0) ? outer : inner;
    float t = rotation + std::numbers::pi_v<float> * static_cast<float>(i) / static_cast<float>(points);
    out.push_back({cx + r * std::cos(t), cy + r * std::sin(t)});
  }
  return out;
}

Polygon Grow(const Polygon& poly, float d) {
  // The sign of the area tells which side is outside.
  float area = 0;
  const size_t n = poly.size();
  for (size_t i = 0; i < n; ++i) {
    const Vec2& p = poly[i];
    const Vec2& q = poly[(i + 1) % n];
    area += p.x * q.y - q.x * p.y;
  }
  float side = area > 0 ? 1.0f : -1.0f;
  Polygon out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    Vec2 prev = poly[(i + n - 1) % n], next = poly[(i + 1) % n];
    float tx = next.x - prev.x, ty = next.y - prev.y;
    float len = std::sqrt(tx * tx + ty * ty);
    if (len == 0) {
      out.push_back(poly[i]);
      continue;
    }
    // For a counter-clockwise outline (positive area, y down) the outward normal is (ty, -tx).
    float nx = side * ty / len, ny = -side * tx / len;
    out.push_back({poly[i].x + nx * d, poly[i].y + ny * d});
  }
  return out;
}

Canvas::Canvas(int width, int height)
    : width_(width),
      height_(height),
      pixels_(static_cast<size_t>(width) * height),
      alpha_(static_cast<size_t>(width) * height, 0.0f),
      tags_(static_cast<size_t>(width) * height, 0) {}

void Canvas::Blend(int x, int y, Rgb c, float a, uint8_t tag) {
  if (a <= 0) return;
  size_t i = Index(x, y);
  float under = alpha_[i];
  float out = a + under * (1 - a);
  Rgb& p = pixels_[i];
  p.r = (c.r * a + p.r * under * (1 - a)) / out;
  p.g = (c.g * a + p.g * under * (1 - a)) / out;
  p.b = (c.b * a + p.b * under * (1 - a)) / out;
  alpha_[i] = out;
  if (a >= 0.5f) tags_[i] = tag;
}

void Canvas::Fill(const Polygon& poly, Rgb colour, float opacity, uint8_t tag) {
  FillShapes({poly}, Solid(colour), opacity, tag);
}

void Canvas::Fill(const Polygon& poly, const Shader& shader, float opacity, uint8_t tag) {
  FillShapes({poly}, shader, opacity, tag);
}

void Canvas::FillShapes(const std::vector<Polygon>& contours, const Shader& shader, float opacity, uint8_t tag) {
  FillOnce(contours, shader, opacity, tag);
  if (wrapPeriod_ <= 0) return;
  for (float shift : {-static_cast<float>(wrapPeriod_), static_cast<float>(wrapPeriod_)}) {
    std::vector<Polygon> moved = contours;
    for (Polygon& poly : moved)
      for (Vec2& p : poly) p.x += shift;
    // The shader is asked at the shifted position's original place, so gradients tile too.
    Shader wrapped = [&shader, shift](float x, float y) { return shader(x - shift, y); };
    FillOnce(moved, wrapped, opacity, tag);
  }
}

void Canvas::FillOnce(const std::vector<Polygon>& contours, const Shader& shader, float opacity, uint8_t tag) {
  float minX = 1e9f, minY = 1e9f, maxX = -1e9f, maxY = -1e9f;
  for (const Polygon& poly : contours)
    for (Vec2 p : poly) {
      minX = std::min(minX, p.x);
      maxX = std::max(maxX, p.x);
      minY = std::min(minY, p.y);
      maxY = std::max(maxY, p.y);
    }
  int x0 = std::max(0, static_cast<int>(std::floor(minX)));
  int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(maxX)));
  int y0 = std::max(0, static_cast<int>(std::floor(minY)));
  int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(maxY)));
  if (x0 > x1 || y0 > y1) return;

  std::vector<int> counts(static_cast<size_t>(x1 - x0 + 1));
  std::vector<Crossing> crossings;
  for (int py = y0; py <= y1; ++py) {
    std::fill(counts.begin(), counts.end(), 0);
    for (int s = 0; s < kSub; ++s) {
      float y = static_cast<float>(py) + (static_cast<float>(s) + 0.5f) / kSub;
      crossings.clear();
      for (const Polygon& poly : contours) {
        const size_t n = poly.size();
        for (size_t i = 0; i < n; ++i) {
          Vec2 a = poly[i], b = poly[(i + 1) % n];
          if (a.y == b.y) continue;
          bool down = b.y > a.y;
          float lo = down ? a.y : b.y, hi = down ? b.y : a.y;
          if (y < lo || y >= hi) continue;
          float x = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
          crossings.push_back({x, down ? 1 : -1});
        }
      }
      std::sort(crossings.begin(), crossings.end(), [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
      int winding = 0;
      for (size_t i = 0; i + 1 < crossings.size(); ++i) {
        winding += crossings[i].dir;
        if (winding == 0) continue;
        // Samples sit at (j + 0.5) / kSub along the row.
        int j0 = static_cast<int>(std::ceil(crossings[i].x * kSub - 0.5f));
        int j1 = static_cast<int>(std::ceil(crossings[i + 1].x * kSub - 0.5f)) - 1;
        j0 = std::max(j0, x0 * kSub);
        j1 = std::min(j1, x1 * kSub + kSub - 1);
        for (int j = j0; j <= j1; ++j) ++counts[static_cast<size_t>(j / kSub - x0)];
      }
    }
    for (int px = x0; px <= x1; ++px) {
      int count = counts[static_cast<size_t>(px - x0)];
      if (count == 0) continue;
      float cover = static_cast<float>(count) / (kSub * kSub);
      Blend(px, py, shader(static_cast<float>(px) + 0.5f, static_cast<float>(py) + 0.5f), cover * opacity, tag);
    }
  }
}

void Canvas::PaintCoverage(const Coverage& cov, int x0, int y0, const Shader& shader, float opacity, uint8_t tag) {
  for (int y = 0; y < cov.height; ++y) {
    int py = y0 + y;
    if (py < 0 || py >= height_) continue;
    for (int x = 0; x < cov.width; ++x) {
      int px = x0 + x;
      if (wrapPeriod_ > 0) px = ((px % wrapPeriod_) + wrapPeriod_) % wrapPeriod_;
      if (px < 0 || px >= width_) continue;
      float c = cov.value[static_cast<size_t>(y) * cov.width + x];
      if (c <= 0) continue;
      Blend(px, py, shader(static_cast<float>(px) + 0.5f, static_cast<float>(py) + 0.5f), c * opacity, tag);
    }
  }
}

Shader Solid(Rgb c) {
  return [c](float, float) { return c; };
}

Shader VerticalGradient(float y0, Rgb top, float y1, Rgb bottom) {
  return [=](float, float y) {
    float t = std::clamp((y - y0) / (y1 - y0), 0.0f, 1.0f);
    return Mix(top, bottom, t);
  };
}

}  // namespace datagen
