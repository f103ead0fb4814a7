#include "tools/datagen/sprites.h"

#include "tools/datagen/chicken.h"
#include "tools/datagen/mob.h"

namespace datagen {

SpriteSet DrawSprites() {
  SpriteSet set;
  const ChickenStyle hen = HenStyle();
  const Affine same = Affine::Translate(0, 0);

  for (int frame = 0; frame < 4; ++frame) {
    Canvas canvas(kBodyWidth, kBodyHeight);
    DrawChickenBody(canvas, same, frame, hen);
    set.body.push_back(QuantizeSprite(canvas));
  }
  for (int phase = 0; phase < 8; ++phase) {
    Canvas canvas(kFootWidth, kFootHeight);
    DrawChickenLeg(canvas, same, phase, hen);
    set.feet.push_back(QuantizeSprite(canvas));
  }
  // The mob's body is drawn in the colour the tint index shows, so that its shading and
  // edges are judged against it; the tint replaces it in the game.
  const uint8_t ink = NearestSpriteIndex(Hex(0x1c1410));
  Rgb5 tint = SpriteColour5(kTintIndex);
  const Rgb tintColour{tint.r / 31.0f, tint.g / 31.0f, tint.b / 31.0f};
  for (int frame = 0; frame < kMobFrames; ++frame) {
    Canvas canvas(kMobWidth, kMobHeight);
    DrawMob(canvas, same, frame, tintColour);
    SpriteImage image = QuantizeSprite(canvas, kMobBodyTag, kMobShadeTag, ink);
    AddOutline(image, ink);
    set.mobs.push_back(image);
  }
  return set;
}

}  // namespace datagen
