#include "game/player.h"

#include "game/counters.h"
#include "game/mob.h"

namespace {

// One step of a foot: 0..7 and back, resting one step at each turn.
void StepFoot(int32_t& phase, int32_t& direction) {
  if (direction != 0) {
    if (phase > 0) {
      --phase;
    } else {
      direction = 0;
    }
  } else {
    if (phase < 7) {
      ++phase;
    } else {
      direction = 1;
    }
  }
}

}  // namespace

void PlayerRecord::Update(World& world, const StageInput& input) {
  if (attacking == 1) {
    ++animCounter;
    if (animCounter > 19) {
      animCounter = 0;
      attacking = 0;
      // Resolved where the chicken stood at the end of the previous frame.
      ResolveAttack(world);
    }
  }
  Move(input);
}

void PlayerRecord::Move(const StageInput& input) {
  if (input.up && y >= kPlayerTop + kPlayerStep) y -= kPlayerStep;
  if (input.down && y <= kPlayerBottom - kPlayerStep) y += kPlayerStep;
  if (input.right) x = WrapAdd(x, kPlayerStep);
  if (input.left) x = WrapAdd(x, -kPlayerStep);
  Animate();
  Animate();
  if (attacking == 0 && input.attack) {
    attacking = 1;
    animCounter = 10;
  }
}

void PlayerRecord::Animate() {
  if (attacking == 0) {
    ++animCounter;
    if (animCounter > 9) animCounter = 0;
  }
  ++footTick;
  if (footTick <= 2) return;
  footTick = 0;
  StepFoot(footPhaseA, footDirA);
  StepFoot(footPhaseB, footDirB);
}
