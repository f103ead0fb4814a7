#pragma once
// The three sprite banks: the chicken's body, its feet and the mob.
#include <vector>

#include "tools/datagen/quantize.h"

namespace datagen {

struct SpriteSet {
  std::vector<SpriteImage> body;  // "chicken.ani": 4 frames
  std::vector<SpriteImage> feet;  // "foot.ani": 8 frames
  std::vector<SpriteImage> mobs;  // "mop.ani": 8 frames
};

SpriteSet DrawSprites();

}  // namespace datagen
