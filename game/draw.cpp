// The pictures of the rules' records: the scrolled field, the mobs and the chicken, drawn
// into the FrameBuffer. Kept apart from the rules so that those build without the graphics
// (and so without SDL) for the ranking server, which plays recorded games again.
#include "game/counters.h"
#include "game/mob.h"
#include "game/player.h"
#include "game/stage.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"

void StageRun::Frame(const StageInput& input, uint32_t now) {
  Play(input, now);
  Draw();
}

void StageRun::Draw() const {
  ShowPictureScrolled(drawnScroll);
  for (const Mob& mob : MobPool) mob.Draw();
  Player.Draw();
}

void Mob::Draw() const {
  if (active == 1 && x < kFrameWidth) DrawSpriteTinted(kMobBank, frame, kMobTintIndex, tint, x, y);
}

void PlayerRecord::Draw() const {
  // animCounter stays within 0..19 unless a caller set it otherwise; keep the row in range.
  const int32_t row = (animCounter >= 0 && animCounter < 20) ? animCounter / 5 : 0;
  const FootOffset& feet = FootOffsets[row];
  DrawSprite(kFootBank, footPhaseA, WrapAdd(x, feet.dxA - kFootOriginX), WrapAdd(y, feet.dyA - kFootOriginY));
  DrawSprite(kChickenBank, row, x, y);
  DrawSprite(kFootBank, footPhaseB, WrapAdd(x, feet.dxB - kFootOriginX), WrapAdd(y, feet.dyB - kFootOriginY));
}
