#pragma once
// The mobs: a fixed pool of records that walk in from the right, and the attack that
// kills those under the chicken's hit box.
#include <array>
#include <cstdint>
#include <span>

#include "game/counters.h"
#include "game/random.h"

struct World;

inline constexpr int32_t kMobPoolSize = 5000;
// Palette index of a mob frame that takes the mob's own colour.
inline constexpr uint8_t kMobTintIndex = 146;
inline constexpr int32_t kMobStep = 5;
inline constexpr int32_t kMobEscapeX = -150;  // a mob left of this has escaped
// A mob enters at kMobSpawnX plus one of kMobSpawnPlaces steps of kMobSpawnStep: never
// farther right than kMobFarthestSpawnX.
inline constexpr int32_t kMobSpawnX = 1000;
inline constexpr int32_t kMobSpawnStep = 100;
inline constexpr int32_t kMobSpawnPlaces = 150;
inline constexpr int32_t kMobFarthestSpawnX = kMobSpawnX + kMobSpawnStep * (kMobSpawnPlaces - 1);

// A mob's hit box, relative to its position, edges included.
inline constexpr int32_t kMobHitLeft = 20;
inline constexpr int32_t kMobHitTop = 14;
inline constexpr int32_t kMobHitRight = 70;
inline constexpr int32_t kMobHitBottom = 25;

struct Mob {
  int32_t x = 0;  // sprite's top-left corner
  int32_t y = 0;
  uint8_t frame = 0;       // 0..7 of the mob bank
  uint8_t frameDelay = 0;  // frames towards the next frame change
  uint8_t active = 0;
  uint8_t tint = 0;  // palette index drawn in place of 146

  // Puts the record into play at a random place and colour (three random numbers).
  void Spawn(GameRandom& random);
  // Takes the record out of play after a hit (one random number).
  void Kill(GameRandom& random);
  // One frame: walk, animate, escape (counted, and a life lost outside easy).
  void Update(GameCounters& counters);
};

// All mob records; never cleared as a whole. The records from `reach` on are all out of play,
// so a frame walks only the front of the pool that a stage has used.
struct MobPool {
  std::array<Mob, kMobPoolSize> records{};
  int32_t reach = kMobPoolSize;  // set anew by each frame; a record put into play raises it

  Mob& operator[](size_t i) { return records[i]; }
  const Mob& operator[](size_t i) const { return records[i]; }
  // The records that may be in play, in pool order.
  std::span<Mob> Front() { return {records.data(), static_cast<size_t>(reach)}; }
  std::span<const Mob> Front() const { return {records.data(), static_cast<size_t>(reach)}; }
  // Puts the first `count` records into play, in order.
  void Spawn(int32_t count, GameRandom& random);
  // One frame of every record in play; returns how many are still in play after it.
  int32_t Update(GameCounters& counters);
  int32_t CountActive() const;
};

// True when the two rectangles, given by opposite corners and including their edges, meet.
bool RectsOverlap(int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2, int32_t bx1, int32_t by1, int32_t bx2,
                  int32_t by2);
// Kills every active mob under the chicken's hit box, scores the kills, keeps the combo.
void ResolveAttack(World& world);
