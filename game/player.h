#pragma once
// The chicken: movement by the arrow keys, its running feet, and the attack on space.
#include <cstdint>

#include "game/stage_input.h"

struct World;

// Offsets of the rear foot (dxA, dyA) and the front foot (dxB, dyB), by body frame
// (animCounter / 5). A foot is drawn at (x + dx - 100, y + dy - 90).
struct FootOffset {
  int32_t dxA, dyA, dxB, dyB;
};
inline constexpr FootOffset FootOffsets[4] = {
    {154, 166, 130, 178},  // walking, frame 0
    {153, 167, 129, 177},  // walking, frame 1
    {147, 175, 120, 175},  // attacking, frame 2
    {137, 181, 113, 169},  // attacking, frame 3
};
inline constexpr int32_t kFootOriginX = 100;
inline constexpr int32_t kFootOriginY = 90;

// The chicken's hit box, relative to its position, edges included.
inline constexpr int32_t kPlayerHitLeft = 281;
inline constexpr int32_t kPlayerHitTop = 223;
inline constexpr int32_t kPlayerHitRight = 304;
inline constexpr int32_t kPlayerHitBottom = 240;

inline constexpr int32_t kPlayerStep = 5;
inline constexpr int32_t kPlayerTop = 125;     // highest y the up arrow reaches
inline constexpr int32_t kPlayerBottom = 230;  // lowest y the down arrow reaches

struct PlayerRecord {
  int32_t x = 170;  // body sprite's top-left corner; no bounds
  int32_t y = 200;  // kept within 125..230 by Move
  int32_t footTick = 0;
  int32_t footPhaseA = 3;  // frame of the rear foot, 0..7
  int32_t footPhaseB = 3;  // frame of the front foot
  int32_t footDirA = 0;    // 0 counting up, 1 counting down
  int32_t footDirB = 1;
  int32_t animCounter = 0;  // 0..9 walking, 10..19 attacking; / 5 is the body frame
  uint8_t attacking = 0;

  // One frame: finishes a running attack (resolving it in `world`), then moves by the input.
  void Update(World& world, const StageInput& input);
  void Move(const StageInput& input);
  void Animate();
};
