#include "app/start_up.h"

#include "gfx/sprite.h"

void PrepareScreenAndSprites() {
  ClearSpriteBanks();
  LoadSpriteFile(kChickenBank, "chicken.ani");
  LoadSpriteFile(kFootBank, "foot.ani");
  LoadSpriteFile(kMobBank, "mop.ani");
}
