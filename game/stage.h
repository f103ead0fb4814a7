#pragma once
// One stage's rules, a frame at a time: the chicken and the mobs move by the frame's input,
// the kills are counted and the banners' ticks move on. Nothing here reads a window, a clock or
// a font, or makes a text: app/stage_screen.h shows a stage, draw/draw.h draws its records.
#include <cstdint>

#include "game/stage_input.h"

struct World;

inline constexpr uint32_t kStageFrameMs = 50;  // a stage frame lasts at least this long
inline constexpr int32_t kScrollStep = 10;
// Columns of the scrolling background: the background picture's width, gfx's kFrameWidth. The
// rules may not include gfx/, so the number is written here too; draw/draw.cpp, where the
// scroll meets the picture, asserts that the two agree.
inline constexpr int32_t kFieldWidth = 640;

// Stage n has 100 x n mobs and a target of 30 + 5 (n - 1) percent, never above 100.
inline constexpr int32_t kFirstStageMobs = 100;
inline constexpr int32_t kStageMobStep = 100;
inline constexpr int32_t kFirstStageTarget = 30;
inline constexpr int32_t kStageTargetStep = 5;
inline constexpr int32_t kHighestTarget = 100;
// Once no mob is left in play, the end banner runs this many ticks and the stage ends.
inline constexpr int32_t kEndBannerLastTick = 100;
int32_t StageMobCount(int32_t stage);
int32_t StageTarget(int32_t stage);

// Kills as a whole percentage of the stage's mobs, truncated.
int32_t KillRatio(int32_t kills, int32_t count);

// What the window shows beside the rules, kept from frame to frame and from game to game: the
// field's scroll and the clock the game's seconds count from. No rule reads it.
struct FieldView {
  int32_t scroll = 0;       // 0..639, column of the background at the left edge for the next frame
  int32_t drawnScroll = 0;  // the column the last frame showed
  uint32_t startClock = 0;  // the clock the HUD's seconds and the ranked seconds count from

  // One frame's scroll: the field shows `scroll`, then moves on by kScrollStep.
  void Step() {
    drawnScroll = scroll;
    scroll += kScrollStep;
    if (scroll >= kFieldWidth) scroll -= kFieldWidth;
  }
};

// The state of one stage while it plays in a world: Start, then Play until Over.
struct StageRun {
  int32_t stage = 1;
  int32_t mobs = 1;  // the stage's mob count as played (at most the pool's 5000)
  int32_t target = 0;
  bool running = true;   // false once left, quit, or the end banner has run its course
  bool allGone = false;  // set on the first frame without an active mob
  bool cleared = false;  // whether the ratio had reached the target on that frame
  int32_t stageBannerTicks = 1;
  int32_t endBannerTicks = 1;
  int32_t remaining = 0;  // mobs in play after the last frame
  uint32_t clock = 0;     // the clock value the last frame read

  // Resets the stage counters and spawns the stage's mobs.
  void Start(World& world, int32_t stageNumber, int32_t count, int32_t targetPercent);
  // One frame of the rules: the chicken and the mobs move by `input`, and the banners move on.
  // A leave or a quit ends the run with this frame. `now` is kept for the HUD.
  void Play(World& world, const StageInput& input, uint32_t now);
  // The stage is over once `running` is off, the target is reached or the game is lost;
  // judged after a frame as a whole has been played.
  bool Over(const World& world) const;
  // True when the kill ratio has reached the target.
  bool Cleared(const World& world) const;
  // The sizes at which this frame shows "STAGE n" (1..50) and the end banner (0..50),
  // or -1 for a banner not shown.
  int32_t StageBannerSize() const;
  int32_t EndBannerSize() const;
};

// "STAGE n", "STAGE CLEAR!!" and "STAGE FAILED!!" (ASCII, the same in code page 949).
inline constexpr const char* kStageBannerFormat = "STAGE %d";
inline constexpr const char* kClearText = "STAGE CLEAR!!";
inline constexpr const char* kFailedText = "STAGE FAILED!!";
