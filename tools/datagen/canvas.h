#pragma once
// A floating-point RGBA canvas with anti-aliased polygon filling: everything the
// generator draws is built from polygons (ellipses, capsules, splines are turned into
// point lists first) and text coverage masks.
#include <cstdint>
#include <functional>
#include <vector>

namespace datagen {

struct Vec2 {
  float x = 0, y = 0;
};

struct Rgb {
  float r = 0, g = 0, b = 0;  // 0..1
};

// From 8-bit components, e.g. Hex(0xffcc00).
Rgb Hex(uint32_t rgb);
Rgb Mix(Rgb a, Rgb b, float t);
Rgb Scale(Rgb c, float k);

using Polygon = std::vector<Vec2>;
// A colour chosen per pixel (x, y in canvas pixels).
using Shader = std::function<Rgb(float x, float y)>;

// Affine map from drawing coordinates to canvas coordinates.
struct Affine {
  float a = 1, b = 0, c = 0;  // x' = a x + b y + c
  float d = 0, e = 1, f = 0;  // y' = d x + e y + f
  Vec2 Apply(Vec2 p) const { return {a * p.x + b * p.y + c, d * p.x + e * p.y + f}; }
  static Affine Translate(float tx, float ty) { return {1, 0, tx, 0, 1, ty}; }
  static Affine ScaleBy(float sx, float sy) { return {sx, 0, 0, 0, sy, 0}; }
  static Affine Rotate(float radians);
  static Affine RotateAbout(float radians, Vec2 centre);
  // this after other: (this * other)(p) = this(other(p)).
  Affine Then(const Affine& other) const;
};

Polygon Transform(const Polygon& poly, const Affine& m);

// Shape builders (closed point lists).
Polygon Ellipse(float cx, float cy, float rx, float ry, float rotation = 0, int segments = 72);
Polygon Circle(float cx, float cy, float r, int segments = 56);
// A stroke from a to b with round ends of radius ra at a and rb at b.
Polygon Capsule(Vec2 a, Vec2 b, float ra, float rb);
Polygon Rectangle(float x0, float y0, float x1, float y1);
Polygon RoundedRect(float x0, float y0, float x1, float y1, float radius);
// A closed Catmull-Rom curve through the control points.
Polygon SmoothClosed(const Polygon& controls, int stepsPerSpan = 12);
// A star with points alternating between the outer and the inner radius.
Polygon Star(float cx, float cy, float outer, float inner, int points, float rotation);
// Moves every vertex outwards (positive d) along its averaged normal; fine for
// smooth, roughly convex outlines.
Polygon Grow(const Polygon& poly, float d);

// Per-pixel coverage 0..1 of a grid the size of the canvas (or any w x h grid).
struct Coverage {
  int width = 0, height = 0;
  std::vector<float> value;
};

class Canvas {
 public:
  Canvas(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }

  // Fills with non-zero winding; edges are anti-aliased by 4x4 supersampling.
  void Fill(const Polygon& poly, Rgb colour, float opacity = 1, uint8_t tag = 0);
  void Fill(const Polygon& poly, const Shader& shader, float opacity = 1, uint8_t tag = 0);
  // Several contours filled as one shape (holes by opposite winding or even overlap).
  void FillShapes(const std::vector<Polygon>& contours, const Shader& shader, float opacity = 1, uint8_t tag = 0);
  // Paints a coverage grid whose top-left lands at (x0, y0).
  void PaintCoverage(const Coverage& cov, int x0, int y0, const Shader& shader, float opacity = 1, uint8_t tag = 0);
  // When set, every shape is also painted 'period' pixels to its left and right so
  // that the picture tiles horizontally.
  void SetWrapPeriod(int period) { wrapPeriod_ = period; }

  Rgb Colour(int x, int y) const { return pixels_[Index(x, y)]; }
  float Alpha(int x, int y) const { return alpha_[Index(x, y)]; }
  // The tag of the last shape that covered the pixel by half or more (0 = none).
  uint8_t Tag(int x, int y) const { return tags_[Index(x, y)]; }
  void Set(int x, int y, Rgb c, float alpha = 1) {
    pixels_[Index(x, y)] = c;
    alpha_[Index(x, y)] = alpha;
  }

 private:
  size_t Index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }
  void Blend(int x, int y, Rgb c, float a, uint8_t tag);
  void FillOnce(const std::vector<Polygon>& contours, const Shader& shader, float opacity, uint8_t tag);

  int width_, height_;
  int wrapPeriod_ = 0;
  std::vector<Rgb> pixels_;
  std::vector<float> alpha_;
  std::vector<uint8_t> tags_;
};

Shader Solid(Rgb c);
// Vertical gradient from 'top' at y0 to 'bottom' at y1 (clamped outside).
Shader VerticalGradient(float y0, Rgb top, float y1, Rgb bottom);

}  // namespace datagen
