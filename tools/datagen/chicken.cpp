#include "tools/datagen/chicken.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

namespace datagen {

namespace {

float Rad(float degrees) { return degrees * std::numbers::pi_v<float> / 180.0f; }

Vec2 Lerp(Vec2 a, Vec2 b, float t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

// Shapes drawn as one silhouette: all outlines first, then all fills, so parts that
// overlap merge without a line between them.
struct Group {
  std::vector<std::pair<Polygon, Rgb>> parts;
  void Add(Polygon p, Rgb c) { parts.emplace_back(std::move(p), c); }
  void Draw(Canvas& canvas, const Affine& m, const ChickenStyle& style) const {
    if (style.outlineWidth > 0)
      for (const auto& part : parts) canvas.Fill(Transform(Grow(part.first, style.outlineWidth), m), style.outline);
    for (const auto& part : parts) canvas.Fill(Transform(part.first, m), part.second);
  }
};

// A part with its own outline.
void Part(Canvas& canvas, const Affine& m, const Polygon& p, Rgb fill, const ChickenStyle& style) {
  Group g;
  g.Add(p, fill);
  g.Draw(canvas, m, style);
}

void Flat(Canvas& canvas, const Affine& m, const Polygon& p, Rgb fill, float opacity = 1) {
  canvas.Fill(Transform(p, m), fill, opacity);
}

// A feather: pointed at 'tip', widest a third of the way from 'base'.
Polygon Leaf(Vec2 base, Vec2 tip, float width) {
  float dx = tip.x - base.x, dy = tip.y - base.y;
  float len = std::sqrt(dx * dx + dy * dy);
  float nx = -dy / len * width, ny = dx / len * width;
  Vec2 wide = Lerp(base, tip, 0.4f);
  Vec2 nearTip = Lerp(base, tip, 0.8f);
  return SmoothClosed({base,
                       {wide.x + nx, wide.y + ny},
                       {nearTip.x + nx * 0.45f, nearTip.y + ny * 0.45f},
                       tip,
                       {nearTip.x - nx * 0.45f, nearTip.y - ny * 0.45f},
                       {wide.x - nx, wide.y - ny}},
                      8);
}

// A line of capsules along a quadratic curve, radius going from r0 to r1.
std::vector<Polygon> Tube(Vec2 a, Vec2 control, Vec2 b, float r0, float r1, int pieces) {
  std::vector<Polygon> out;
  auto at = [&](float t) { return Lerp(Lerp(a, control, t), Lerp(control, b, t), t); };
  for (int i = 0; i < pieces; ++i) {
    float t0 = static_cast<float>(i) / static_cast<float>(pieces);
    float t1 = static_cast<float>(i + 1) / static_cast<float>(pieces);
    out.push_back(Capsule(at(t0), at(t1), r0 + (r1 - r0) * t0, r0 + (r1 - r0) * t1));
  }
  return out;
}

// The torso at rest (walking frame 0), facing right.
Polygon TorsoShape(Breed breed) {
  if (breed == Breed::Chick) return Ellipse(148, 138, 62, 52, Rad(-8));
  return SmoothClosed({{70, 118},
                       {92, 86},
                       {130, 76},
                       {172, 82},
                       {204, 100},
                       {221, 128},
                       {213, 160},
                       {182, 183},
                       {142, 191},
                       {104, 180},
                       {80, 154}});
}

void DrawTail(Canvas& canvas, const Affine& m, const ChickenStyle& style) {
  Group tail;
  if (style.breed == Breed::Chick) {
    tail.Add(Ellipse(88, 118, 16, 8, Rad(-30)), style.tail);
    tail.Draw(canvas, m, style);
    return;
  }
  if (style.breed == Breed::Rooster) {
    // Long arched sickle feathers.
    tail.Add(SmoothClosed({{92, 120}, {60, 40}, {20, 30}, {8, 60}, {30, 50}, {62, 70}, {84, 130}}), style.tail);
    tail.Add(SmoothClosed({{96, 118}, {80, 60}, {46, 62}, {34, 96}, {56, 84}, {78, 100}, {90, 132}}), style.tailShade);
    tail.Add(SmoothClosed({{94, 124}, {70, 34}, {44, 14}, {36, 28}, {56, 40}, {78, 90}, {86, 134}}), style.tail);
    tail.Draw(canvas, m, style);
    return;
  }
  // A fan of pointed feathers rising from the rump, the far ones in shade.
  const Vec2 base{92, 112};
  const Vec2 backTips[2] = {{36, 70}, {58, 30}};
  const Vec2 frontTips[3] = {{30, 96}, {42, 50}, {76, 34}};
  for (Vec2 tip : backTips) tail.Add(Leaf(base, tip, 13), style.tailShade);
  for (Vec2 tip : frontTips) tail.Add(Leaf(base, tip, 14), style.tail);
  tail.Draw(canvas, m, style);
  for (Vec2 tip : frontTips)
    Flat(canvas, m, Capsule(Lerp(base, tip, 0.3f), Lerp(base, tip, 0.85f), 1.1f, 0.6f), style.tailShade);
}

void DrawWing(Canvas& canvas, const Affine& m, float lift, const ChickenStyle& style) {
  // The wing hinges at its front (the shoulder) and lifts its tip by 'lift' degrees.
  Affine w = m.Then(Affine::RotateAbout(Rad(lift), {182, 118}));
  if (style.breed == Breed::Chick) {
    Part(canvas, w, Ellipse(138, 142, 32, 20, Rad(-12)), style.wing, style);
    Flat(canvas, w, Ellipse(132, 150, 22, 8, Rad(-12)), style.wingShade);
    return;
  }
  Polygon wing = SmoothClosed({{182, 112}, {190, 132}, {172, 154}, {132, 160}, {84, 150}, {104, 130}, {134, 114}});
  Part(canvas, w, wing, style.wing, style);
  // Feather rows of the wing.
  Flat(canvas, w, SmoothClosed({{176, 140}, {160, 154}, {130, 158}, {92, 149}, {130, 148}}), style.wingShade);
  Flat(canvas, w, Capsule({172, 128}, {112, 138}, 1.4f, 0.8f), style.wingShade);
  Flat(canvas, w, Capsule({166, 140}, {104, 147}, 1.4f, 0.8f), style.outline, 0.6f);
}

// The head in its own coordinates: centre (0, 0), beak pointing right.
void DrawHead(Canvas& canvas, const Affine& m, const ChickenStyle& style) {
  const bool chick = style.breed == Breed::Chick;
  const bool rooster = style.breed == Breed::Rooster;
  const float r = chick ? 40 : 26;

  if (chick) {
    // A little tuft instead of a comb.
    Group tuft;
    tuft.Add(Ellipse(-4, -44, 5, 12, Rad(-20)), style.feather);
    tuft.Add(Ellipse(6, -42, 4, 10, Rad(25)), style.feather);
    tuft.Draw(canvas, m, style);
  } else {
    Group comb;
    float k = rooster ? 1.35f : 1.0f;
    comb.Add(Ellipse(0, -20, 19 * k, 9, 0), style.comb);
    comb.Add(Circle(-15 * k, -25 * k, 9 * k), style.comb);
    comb.Add(Circle(-3 * k, -31 * k, 11 * k), style.comb);
    comb.Add(Circle(10 * k, -29 * k, 10 * k), style.comb);
    comb.Add(Circle(19 * k, -20 * k, 7 * k), style.comb);
    comb.Draw(canvas, m, style);
    Flat(canvas, m, Circle(-3 * k, -27 * k, 5 * k), style.combShade, 0.5f);
  }

  Part(canvas, m, Circle(0, 0, r), style.feather, style);
  Flat(canvas, m, SmoothClosed({{-r * 0.9f, 6}, {-r * 0.5f, r * 0.8f}, {r * 0.3f, r * 0.9f}, {-r * 0.2f, r * 0.55f}}),
       style.featherShade);

  // Wattle under the beak.
  if (!chick) {
    Group wattle;
    wattle.Add(Ellipse(21, 20, 6, 10, Rad(-10)), style.comb);
    wattle.Add(Ellipse(14, 18, 5, 8, Rad(10)), style.comb);
    wattle.Draw(canvas, m, style);
  }

  // Beak: upper and lower halves.
  float bx = chick ? r - 4 : 18;
  float len = chick ? 20 : 34;
  Part(canvas, m, {{bx, -11}, {bx + len * 0.55f, -8}, {bx + len, 1}, {bx, 3}}, style.beak, style);
  Part(canvas, m, {{bx, 3}, {bx + len * 0.85f, 3}, {bx + 2, 11}}, style.beakShade, style);

  // Eye.
  float ex = chick ? 14 : 9, ey = chick ? -8 : -6, er = chick ? 11 : 7;
  Part(canvas, m, Circle(ex, ey, er), {1, 1, 1}, style);
  Flat(canvas, m, Circle(ex + er * 0.3f, ey, er * 0.62f), style.eye);
  Flat(canvas, m, Circle(ex + er * 0.3f, ey, er * 0.36f), {0.05f, 0.04f, 0.04f});
  Flat(canvas, m, Circle(ex + er * 0.5f, ey - er * 0.3f, er * 0.2f), {1, 1, 1});
  if (rooster) {
    // An angry brow slanting down towards the beak.
    Flat(canvas, m, Capsule({ex - 11, ey - 13}, {ex + 10, ey - 6}, 3.5f, 2.5f), style.outline);
  } else {
    // A rosy cheek.
    Flat(canvas, m, Circle(chick ? 2 : -2, chick ? 14 : 9, chick ? 8 : 5), Hex(0xff9a9a), 0.55f);
  }
}

struct PoseSetup {
  float tilt;      // degrees the torso leans forward about the hips
  float bob;       // pixels the torso sinks
  float wingLift;  // degrees
  Vec2 head;       // head centre (attack frames only)
  float headTurn;  // degrees the head turns down (attack frames only)
};

const PoseSetup kPoses[4] = {
    {0, 0, 0, {0, 0}, 0},
    {0, 2, 6, {0, 0}, 0},
    {16, 0, -28, {257, 193}, 45},
    {26, 0, -42, {271, 193}, 55},
};

const Vec2 kHipsAtRest{142, 172};
const Vec2 kHeadAtRest{228, 52};
const Vec2 kNeckBase{186, 104};

// Where the head sits on the canvas and how far it turns down in a frame.
struct HeadPlace {
  Vec2 centre;
  float turn;  // degrees
};

HeadPlace PlaceHead(int frame, const Affine& torso, const ChickenStyle& style) {
  HeadPlace head{torso.Apply(style.breed == Breed::Chick ? Vec2{196, 84} : kHeadAtRest), 0};
  if (frame == 1) head.centre = {head.centre.x + 2, head.centre.y + 1};
  if (frame >= 2) head = {kPoses[frame].head, kPoses[frame].headTurn};
  return head;
}

// A burst where the beak lands, drawn behind the head.
void DrawStrikeBurst(Canvas& canvas, const Affine& headOnCanvas, const ChickenStyle& style) {
  Vec2 tip = headOnCanvas.Apply({52, 1});
  Affine none = Affine::Translate(0, 0);
  Flat(canvas, none, Star(tip.x, tip.y + 1, 17, 7, 8, Rad(10)), style.outline);
  Flat(canvas, none, Star(tip.x, tip.y + 1, 14, 5.5f, 8, Rad(10)), Hex(0xffe640));
  Flat(canvas, none, Circle(tip.x, tip.y + 1, 5), Hex(0xffffff));
}

// Speed lines on both sides of the diving head's path (the body covers their far ends).
void DrawSpeedLines(Canvas& canvas, const Affine& toCanvas, const HeadPlace& head, const ChickenStyle& style) {
  float c = std::cos(Rad(head.turn)), s = std::sin(Rad(head.turn));
  for (int k = -1; k <= 1; ++k) {
    Vec2 side{-s * 34.0f * static_cast<float>(k), c * 34.0f * static_cast<float>(k)};
    Vec2 from{head.centre.x - c * 62 + side.x, head.centre.y - s * 62 + side.y};
    Vec2 to{head.centre.x - c * 30 + side.x, head.centre.y - s * 30 + side.y};
    if (k == 0) continue;
    Part(canvas, toCanvas, Capsule(from, to, 1.5f, 2.5f), {1, 1, 1}, style);
  }
}

// Rear thigh, then torso and neck as one silhouette, lit on its upper part.
void DrawTrunk(Canvas& canvas, const Affine& toCanvas, const Affine& torso, Vec2 hipA, Vec2 head, bool attacking,
               const ChickenStyle& style) {
  Group thighRear;
  thighRear.Add(Ellipse(hipA.x, hipA.y - 8, 17, 13), style.featherShade);
  thighRear.Draw(canvas, toCanvas, style);

  const Vec2 neckBase = torso.Apply(kNeckBase);
  Vec2 bend = Lerp(neckBase, head, 0.5f);
  if (attacking) bend = {bend.x + 6, bend.y - 14};
  Group body;
  const Polygon torsoShape = TorsoShape(style.breed);
  body.Add(Transform(torsoShape, torso), style.featherShade);
  if (style.breed != Breed::Chick)
    for (Polygon& piece : Tube(neckBase, bend, head, 25, 19, 8)) body.Add(std::move(piece), style.feather);
  body.Draw(canvas, toCanvas, style);
  // Light on the upper part of the torso leaves a shaded belly.
  Flat(canvas, toCanvas.Then(torso), Transform(Grow(torsoShape, -7), Affine::Translate(3, -6)), style.feather);
}

}  // namespace

ChickenStyle HenStyle() {
  ChickenStyle s;
  s.breed = Breed::Hen;
  s.feather = Hex(0xffffff);
  s.featherShade = Hex(0xd6d6e0);
  s.wing = Hex(0xf2f2f2);
  s.wingShade = Hex(0xbdbdc6);
  s.tail = Hex(0xffffff);
  s.tailShade = Hex(0xc4c4d0);
  s.comb = Hex(0xe8201c);
  s.combShade = Hex(0x9c0c0c);
  s.beak = Hex(0xffc21f);
  s.beakShade = Hex(0xe88a10);
  s.leg = Hex(0xffa41c);
  s.legShade = Hex(0xc86a0c);
  s.outline = Hex(0x3a2418);
  s.eye = Hex(0x6a3a14);
  return s;
}

ChickenStyle ChickStyle() {
  ChickenStyle s = HenStyle();
  s.breed = Breed::Chick;
  s.feather = Hex(0xffe23a);
  s.featherShade = Hex(0xf2b51c);
  s.wing = Hex(0xffd21e);
  s.wingShade = Hex(0xe89c10);
  s.tail = Hex(0xffd21e);
  s.tailShade = Hex(0xe89c10);
  s.beak = Hex(0xff8a1c);
  s.beakShade = Hex(0xd0600c);
  s.eye = Hex(0x2a1a10);
  return s;
}

ChickenStyle RoosterStyle() {
  ChickenStyle s = HenStyle();
  s.breed = Breed::Rooster;
  s.feather = Hex(0xc0521c);
  s.featherShade = Hex(0x8a3210);
  s.wing = Hex(0x7a2a10);
  s.wingShade = Hex(0x3c1808);
  s.tail = Hex(0x1c3a30);
  s.tailShade = Hex(0x2f6a4a);
  s.comb = Hex(0xff1010);
  s.combShade = Hex(0x900000);
  s.eye = Hex(0xff2010);
  s.outline = Hex(0x1a0c08);
  return s;
}

void DrawChickenBody(Canvas& canvas, const Affine& toCanvas, int frame, const ChickenStyle& style) {
  frame = std::clamp(frame, 0, 3);
  const PoseSetup& pose = kPoses[frame];
  const FootOffset& place = FootOffsets[frame];
  const Vec2 hipA{static_cast<float>(place.dxA), static_cast<float>(place.dyA)};
  const Vec2 hipB{static_cast<float>(place.dxB), static_cast<float>(place.dyB)};
  const Vec2 hips = Lerp(hipA, hipB, 0.5f);

  // The torso leans about the hips, which follow the foot places of the frame.
  const Affine torso = Affine::Translate(hips.x, hips.y + pose.bob)
                           .Then(Affine::Rotate(Rad(pose.tilt)))
                           .Then(Affine::Translate(-kHipsAtRest.x, -kHipsAtRest.y));
  const Affine torsoOnCanvas = toCanvas.Then(torso);
  const bool attacking = frame >= 2;
  const HeadPlace head = PlaceHead(frame, torso, style);
  const Affine headOnCanvas =
      toCanvas.Then(Affine::Translate(head.centre.x, head.centre.y)).Then(Affine::Rotate(Rad(head.turn)));

  if (frame == 3) DrawStrikeBurst(canvas, headOnCanvas, style);
  if (attacking) DrawSpeedLines(canvas, toCanvas, head, style);
  DrawTail(canvas, torsoOnCanvas, style);
  DrawTrunk(canvas, toCanvas, torso, hipA, head.centre, attacking, style);
  DrawWing(canvas, torsoOnCanvas, pose.wingLift, style);

  // Front thigh fluff over the hip of the front leg.
  Group thighFront;
  thighFront.Add(Ellipse(hipB.x, hipB.y - 9, 18, 13), style.feather);
  thighFront.Draw(canvas, toCanvas, style);

  DrawHead(canvas, headOnCanvas, style);
}

void DrawChickenLeg(Canvas& canvas, const Affine& toCanvas, int phase, const ChickenStyle& style) {
  phase = std::clamp(phase, 0, 7);
  const float t = static_cast<float>(phase) / 7.0f;
  const float swing = -36 + 72 * t;  // degrees from straight down, forward positive
  const bool chick = style.breed == Breed::Chick;
  const float upper = chick ? 30 : 40, lower = chick ? 28 : 38;
  auto dir = [](float degrees) { return Vec2{std::sin(Rad(degrees)), std::cos(Rad(degrees))}; };

  // The leg's joint points backwards, as a bird's ankle does.
  const Vec2 hip{kHipX, kHipY};
  Vec2 d1 = dir(swing - 16), d2 = dir(swing + 14);
  Vec2 ankle{hip.x + d1.x * upper, hip.y + d1.y * upper};
  Vec2 foot{ankle.x + d2.x * lower, ankle.y + d2.y * lower};

  // Toes: the foot tilts with the swing, toes down behind, up in front.
  const float tilt = swing * 0.45f;
  auto toe = [&](float degrees, float length) {
    float a = Rad(degrees + tilt);
    return Vec2{foot.x + std::cos(a) * length, foot.y + std::sin(a) * length};
  };
  const float toeLen = chick ? 14 : 22;
  Group leg;
  leg.Add(Capsule(hip, ankle, 6.5f, 5.0f), style.leg);
  leg.Add(Capsule(ankle, foot, 5.0f, 4.0f), style.leg);
  leg.Add(Capsule(foot, toe(4, toeLen), 3.8f, 2.2f), style.leg);
  leg.Add(Capsule(foot, toe(28, toeLen * 0.8f), 3.4f, 2.0f), style.legShade);
  leg.Add(Capsule(foot, toe(-14, toeLen * 0.75f), 3.4f, 2.0f), style.leg);
  leg.Add(Capsule(foot, toe(186, toeLen * 0.45f), 3.0f, 2.0f), style.legShade);
  leg.Draw(canvas, toCanvas, style);
  // Scales along the shank.
  for (int i = 1; i <= 3; ++i) {
    Vec2 p = Lerp(ankle, foot, static_cast<float>(i) * 0.22f);
    Flat(canvas, toCanvas, Capsule({p.x - 3, p.y}, {p.x + 3, p.y + 1}, 0.8f, 0.8f), style.legShade);
  }
}

void DrawChickenHead(Canvas& canvas, const Affine& toCanvas, const ChickenStyle& style) {
  DrawHead(canvas, toCanvas, style);
}

void DrawChicken(Canvas& canvas, const Affine& toCanvas, int frame, int phaseA, int phaseB, const ChickenStyle& style) {
  frame = std::clamp(frame, 0, 3);
  const FootOffset& place = FootOffsets[frame];
  auto footAt = [&](int dx, int dy) {
    return toCanvas.Then(Affine::Translate(static_cast<float>(dx) - kHipX, static_cast<float>(dy) - kHipY));
  };
  DrawChickenLeg(canvas, footAt(place.dxA, place.dyA), phaseA, style);
  DrawChickenBody(canvas, toCanvas, frame, style);
  DrawChickenLeg(canvas, footAt(place.dxB, place.dyB), phaseB, style);
}

}  // namespace datagen
