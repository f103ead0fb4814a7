#include "app/start_up.h"

#include "gfx/frame.h"
#include "gfx/sprite.h"

void PrepareScreenAndSprites() {
  InitOffscreen();
  InitRowOffsets();
  ClearSpriteBanks();
  LoadSpriteFile(kChickenBank, "chicken.ani");
  LoadSpriteFile(kFootBank, "foot.ani");
  LoadSpriteFile(kMobBank, "mop.ani");
}
