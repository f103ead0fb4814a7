#include "tools/datagen/mob.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace datagen {

namespace {

const Rgb kInk = Hex(0x1c1410);

Polygon Moved(Polygon p, float dx, float dy) {
  for (Vec2& v : p) {
    v.x += dx;
    v.y += dy;
  }
  return p;
}

// A frame's pose: the body's centre and squash, and where the drawing goes on the canvas.
struct MobPose {
  const Affine& toCanvas;
  float t;  // the walk cycle's angle
  float cx, cy, squash;
  Polygon Place(const Polygon& p) const { return Transform(p, toCanvas); }
  Vec2 At(float x, float y) const { return Vec2{cx + x * squash, cy + y / squash}; }
};

// Feet: each swings forward (left) lifted and back on the ground.
void DrawMobFeet(Canvas& canvas, const MobPose& pose) {
  for (int foot = 0; foot < 2; ++foot) {
    float phase = pose.t + (foot == 0 ? 0.0f : std::numbers::pi_v<float>);
    float dx = -7.5f * std::sin(phase);
    float lift = std::max(0.0f, std::cos(phase)) * 3.5f;
    float baseX = foot == 0 ? 36.0f : 58.0f;
    Polygon shoe = Ellipse(baseX + dx, 52.5f - lift, 8.5f, 4.5f, -0.1f);
    canvas.Fill(pose.Place(Capsule({baseX + dx * 0.5f, pose.cy + 12}, {baseX + dx, 51 - lift}, 3.2f, 3.0f)),
                Hex(0x4a3428));
    canvas.Fill(pose.Place(shoe), Hex(0x4a3428));
    canvas.Fill(pose.Place(Ellipse(baseX + dx - 2, 51.5f - lift, 4, 1.6f)), Hex(0x7a5a44));
  }
}

// Tail and body in the tint colour, the lower right of the body in shade; horns and a
// shine on the back.
void DrawMobBody(Canvas& canvas, const MobPose& pose, Rgb bodyColour) {
  auto at = [&pose](float x, float y) { return pose.At(x, y); };
  Polygon body = SmoothClosed({at(-35, 2), at(-31, -13), at(-16, -22), at(6, -24), at(24, -18), at(35, -4), at(33, 12),
                               at(18, 19), at(-10, 20), at(-28, 14)});
  Polygon tail = {at(31, 2), at(41, -7), at(38, 1), at(42, 8), at(30, 11)};
  canvas.Fill(pose.Place(tail), bodyColour, 1, kMobBodyTag);
  canvas.Fill(pose.Place(body), Scale(bodyColour, 0.7f), 1, kMobShadeTag);
  canvas.Fill(pose.Place(Moved(Grow(body, -2), -3, -3)), bodyColour, 1, kMobBodyTag);

  for (float hx : {-14.0f, 8.0f}) {
    Vec2 base = at(hx, -20);
    Polygon horn = {{base.x - 5, base.y + 3}, {base.x + 5, base.y + 2}, {base.x - 3 + hx * 0.08f, base.y - 13}};
    canvas.Fill(pose.Place(Grow(horn, 1.2f)), kInk);
    canvas.Fill(pose.Place(horn), Hex(0xf4e6c4));
    canvas.Fill(pose.Place(Capsule({base.x - 3, base.y - 2}, {base.x + 3, base.y - 3}, 0.8f, 0.8f)), Hex(0xc4a884));
  }

  canvas.Fill(pose.Place(Ellipse(pose.cx + 12, pose.cy - 15, 7, 3.2f, -0.35f)), Hex(0xffffff), 0.9f);
  canvas.Fill(pose.Place(Circle(pose.cx + 21, pose.cy - 11, 1.6f)), Hex(0xffffff), 0.9f);
}

// Eyes looking left under angry brows, and a toothy grin.
void DrawMobFace(Canvas& canvas, const MobPose& pose) {
  auto at = [&pose](float x, float y) { return pose.At(x, y); };
  auto place = [&pose](const Polygon& p) { return pose.Place(p); };
  const Vec2 eyes[2] = {at(-21, -8), at(-5, -10)};
  const float radii[2] = {7.5f, 7.0f};
  for (int i = 0; i < 2; ++i) {
    canvas.Fill(place(Circle(eyes[i].x, eyes[i].y, radii[i] + 1.3f)), kInk);
    canvas.Fill(place(Circle(eyes[i].x, eyes[i].y, radii[i])), Hex(0xffffff));
    canvas.Fill(place(Circle(eyes[i].x - 2.6f, eyes[i].y + 1, 3.6f)), kInk);
    canvas.Fill(place(Circle(eyes[i].x - 3.6f, eyes[i].y - 0.2f, 1.1f)), Hex(0xffffff));
  }
  canvas.Fill(place(Capsule(at(-29, -19), at(-15, -15), 2.0f, 1.6f)), kInk);
  canvas.Fill(place(Capsule(at(-9, -16), at(3, -21), 1.6f, 2.0f)), kInk);

  Polygon mouth = {at(-31, 4), at(-14, 7), at(-3, 3), at(-9, 12), at(-24, 12)};
  canvas.Fill(place(Grow(mouth, 1.0f)), kInk);
  canvas.Fill(place(mouth), Hex(0x8a1420));
  canvas.Fill(place({at(-27, 5), at(-23, 5.6f), at(-25, 9)}), Hex(0xffffff));
  canvas.Fill(place({at(-17, 6.4f), at(-13, 6.8f), at(-15, 10)}), Hex(0xffffff));
  canvas.Fill(place(Ellipse(pose.cx - 16, pose.cy + 10.5f, 4, 1.6f)), Hex(0xff6a7a));
}

}  // namespace

void DrawMob(Canvas& canvas, const Affine& toCanvas, int frame, Rgb bodyColour) {
  const float t = 2 * std::numbers::pi_v<float> * static_cast<float>(frame % kMobFrames) / kMobFrames;
  // Two steps per cycle: the body rises on each and squashes a little as it lands.
  const float bob = -2.0f * std::fabs(std::sin(t));
  const float squash = 1.0f + 0.035f * std::cos(2 * t);
  const MobPose pose{toCanvas, t, 47, 30 + bob, squash};
  DrawMobFeet(canvas, pose);
  DrawMobBody(canvas, pose, bodyColour);
  DrawMobFace(canvas, pose);
}

}  // namespace datagen
