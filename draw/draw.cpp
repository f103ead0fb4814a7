#include "draw/draw.h"

#include "game/stage.h"
#include "game/world.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"

static_assert(kFieldWidth == kFrameWidth, "the field scrolls through the whole background picture");

void DrawWorld(const World& world, int32_t scroll) {
  ShowPictureScrolled(scroll);
  for (const Mob& mob : world.mobs.Front()) DrawMob(mob);
  DrawChicken(world.chicken);
}

void DrawMob(const Mob& mob) {
  if (mob.active == 1 && mob.x < kFrameWidth)
    DrawSpriteTinted(kMobBank, mob.frame, kMobTintIndex, mob.tint, mob.x, mob.y);
}

void DrawChicken(const PlayerRecord& chicken) {
  // animCounter stays within 0..19 unless a caller set it otherwise; keep the row in range.
  const int32_t row = (chicken.animCounter >= 0 && chicken.animCounter < 20) ? chicken.animCounter / 5 : 0;
  const FootOffset& feet = FootOffsets[row];
  DrawSprite(kFootBank, chicken.footPhaseA, WrapAdd(chicken.x, feet.dxA - kFootOriginX),
             WrapAdd(chicken.y, feet.dyA - kFootOriginY));
  DrawSprite(kChickenBank, row, chicken.x, chicken.y);
  DrawSprite(kFootBank, chicken.footPhaseB, WrapAdd(chicken.x, feet.dxB - kFootOriginX),
             WrapAdd(chicken.y, feet.dyB - kFootOriginY));
}
