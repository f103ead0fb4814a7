#include "game/mob.h"

#include <algorithm>

#include "game/world.h"

void Mob::Spawn(GameRandom& random) {
  active = 1;
  x = kMobSpawnX + kMobSpawnStep * (random.Next() % kMobSpawnPlaces);
  y = 330 + random.Next() % 120;
  frame = 0;
  tint = static_cast<uint8_t>(random.Next() % 255);
}

void Mob::Kill(GameRandom& random) {
  frameDelay = static_cast<uint8_t>(random.Next() % 8);
  active = 0;
}

void Mob::Update(GameCounters& counters) {
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
    counters.escapedMobs = WrapAdd(counters.escapedMobs, 1);
    if (counters.gameMode != GameMode::Easy) {
      counters.lives = WrapAdd(counters.lives, -1);
      if (counters.lives <= 0) counters.gameOver = 1;
    }
  }
}

void MobPool::Spawn(int32_t count, GameRandom& random) {
  count = std::clamp(count, 0, kMobPoolSize);
  for (int32_t i = 0; i < count; ++i) records[i].Spawn(random);
  reach = std::max(reach, count);
}

int32_t MobPool::Update(GameCounters& counters) {
  int32_t inPlay = 0;
  int32_t end = 0;
  for (int32_t i = 0; i < reach; ++i) {
    Mob& mob = records[i];
    mob.Update(counters);
    if (mob.active != 0) end = i + 1;  // any record Update would still move
    if (mob.active == 1) ++inPlay;
  }
  reach = end;
  return inPlay;
}

int32_t MobPool::CountActive() const {
  int32_t count = 0;
  for (const Mob& mob : Front()) count += mob.active == 1 ? 1 : 0;
  return count;
}

bool RectsOverlap(int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2, int32_t bx1, int32_t by1, int32_t bx2,
                  int32_t by2) {
  if (std::max(ax1, ax2) < std::min(bx1, bx2)) return false;
  if (std::max(ay1, ay2) < std::min(by1, by2)) return false;
  if (std::min(ax1, ax2) > std::max(bx1, bx2)) return false;
  if (std::min(ay1, ay2) > std::max(by1, by2)) return false;
  return true;
}

void ResolveAttack(World& world) {
  const PlayerRecord& chicken = world.chicken;
  GameCounters& counters = world.counters;
  const int32_t px1 = WrapAdd(chicken.x, kPlayerHitLeft);
  const int32_t py1 = WrapAdd(chicken.y, kPlayerHitTop);
  const int32_t px2 = WrapAdd(chicken.x, kPlayerHitRight);
  const int32_t py2 = WrapAdd(chicken.y, kPlayerHitBottom);
  bool hit = false;
  for (Mob& mob : world.mobs.Front()) {
    if (mob.active != 1) continue;
    if (!RectsOverlap(px1, py1, px2, py2, WrapAdd(mob.x, kMobHitLeft), WrapAdd(mob.y, kMobHitTop),
                      WrapAdd(mob.x, kMobHitRight), WrapAdd(mob.y, kMobHitBottom))) {
      continue;
    }
    mob.Kill(world.random);
    counters.stageKills = WrapAdd(counters.stageKills, 1);
    // The score may pass 2^31 in an endless game: it wraps instead of overflowing.
    counters.score = WrapAdd(counters.score, world.random.Next() % 200);
    hit = true;
  }
  if (!hit) {
    counters.combo = 0;
  } else {
    counters.combo = WrapAdd(counters.combo, 1);
    if (counters.bestCombo < counters.combo) counters.bestCombo = counters.combo;
  }
}
