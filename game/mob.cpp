#include "game/mob.h"

#include <algorithm>

#include "game/counters.h"
#include "game/player.h"
#include "game/random.h"

std::array<Mob, kMobPoolSize> MobPool;

void Mob::Spawn() {
  active = 1;
  x = 1000 + 100 * (GameRand() % 150);
  y = 330 + GameRand() % 120;
  frame = 0;
  tint = static_cast<uint8_t>(GameRand() % 255);
}

void Mob::Kill() {
  frameDelay = static_cast<uint8_t>(GameRand() % 8);
  active = 0;
}

void Mob::Update() {
  if (active == 0) return;
  ++frameDelay;
  x = WrapAdd(x, -kMobStep);
  if (frameDelay > 3) {
    frameDelay = 0;
    ++frame;
    if (frame > 7) frame = 0;
  }
  if (x < kMobEscapeX) {
    active = 0;
    Counters.escapedMobs = WrapAdd(Counters.escapedMobs, 1);
    if (Counters.gameMode > GameModeEasy) {
      Counters.lives = WrapAdd(Counters.lives, -1);
      if (Counters.lives <= 0) Counters.gameOver = 1;
    }
  }
}

int32_t CountActiveMobs() {
  int32_t count = 0;
  for (const Mob& mob : MobPool) count += mob.active == 1 ? 1 : 0;
  return count;
}

int32_t RectsOverlap(int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2, int32_t bx1, int32_t by1, int32_t bx2,
                     int32_t by2) {
  if (std::max(ax1, ax2) < std::min(bx1, bx2)) return 0;
  if (std::max(ay1, ay2) < std::min(by1, by2)) return 0;
  if (std::min(ax1, ax2) > std::max(bx1, bx2)) return 0;
  if (std::min(ay1, ay2) > std::max(by1, by2)) return 0;
  return 1;
}

void ResolveAttack() {
  const int32_t px1 = WrapAdd(Player.x, kPlayerHitLeft);
  const int32_t py1 = WrapAdd(Player.y, kPlayerHitTop);
  const int32_t px2 = WrapAdd(Player.x, kPlayerHitRight);
  const int32_t py2 = WrapAdd(Player.y, kPlayerHitBottom);
  bool hit = false;
  for (Mob& mob : MobPool) {
    if (mob.active != 1) continue;
    if (RectsOverlap(px1, py1, px2, py2, WrapAdd(mob.x, kMobHitLeft), WrapAdd(mob.y, kMobHitTop),
                     WrapAdd(mob.x, kMobHitRight), WrapAdd(mob.y, kMobHitBottom)) == 0) {
      continue;
    }
    mob.Kill();
    Counters.stageKills = WrapAdd(Counters.stageKills, 1);
    // The score may pass 2^31 in an endless game: it wraps instead of overflowing.
    Counters.score = WrapAdd(Counters.score, GameRand() % 200);
    hit = true;
  }
  if (!hit) {
    Counters.combo = 0;
  } else {
    Counters.combo = WrapAdd(Counters.combo, 1);
    if (Counters.bestCombo < Counters.combo) Counters.bestCombo = Counters.combo;
  }
}
