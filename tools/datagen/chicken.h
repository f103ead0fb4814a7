#pragma once
// The chicken: body poses, legs and the whole bird, drawn with vector shapes so the
// same drawing serves the sprites and the pictures at any size.
#include "game/player.h"  // FootOffsets and the hit box: the generator draws to the game's geometry
#include "tools/datagen/canvas.h"

namespace datagen {

// Body frames of "chicken.ani": 0 and 1 walking, 2 and 3 attacking.
inline constexpr int kBodyWidth = 320;
inline constexpr int kBodyHeight = 256;
// Foot frames of "foot.ani" are drawn with the hip at (100, 90).
inline constexpr int kFootWidth = 200;
inline constexpr int kFootHeight = 180;
inline constexpr float kHipX = kFootOriginX;
inline constexpr float kHipY = kFootOriginY;

enum class Breed {
  Chick,    // a round yellow chick
  Hen,      // the white hen of the game
  Rooster,  // a fierce dark rooster
};

struct ChickenStyle {
  Breed breed = Breed::Hen;
  Rgb feather, featherShade, wing, wingShade, tail, tailShade;
  Rgb comb, combShade, beak, beakShade, leg, legShade, outline, eye;
  float outlineWidth = 1.5f;  // lines between parts, in body units
};

ChickenStyle HenStyle();
ChickenStyle ChickStyle();
ChickenStyle RoosterStyle();

// The body of frame 0..3 in body-frame coordinates (kBodyWidth x kBodyHeight), mapped
// onto the canvas by 'toCanvas'. Legs are not part of it.
void DrawChickenBody(Canvas& canvas, const Affine& toCanvas, int frame, const ChickenStyle& style);
// One leg in foot-frame coordinates, hip at (kHipX, kHipY); phase 0 (swung back) to
// 7 (swung forward).
void DrawChickenLeg(Canvas& canvas, const Affine& toCanvas, int phase, const ChickenStyle& style);
// The head alone in its own coordinates: centre (0, 0), beak pointing right; the comb
// reaches up to about y = -44, the beak out to x = 52, the wattle down to y = 31.
void DrawChickenHead(Canvas& canvas, const Affine& toCanvas, const ChickenStyle& style);
// The whole bird as the game assembles it: rear leg, body, front leg.
void DrawChicken(Canvas& canvas, const Affine& toCanvas, int frame, int phaseA, int phaseB, const ChickenStyle& style);

}  // namespace datagen
