#pragma once
// One stage's rules, a frame at a time: the chicken and the mobs move by the frame's input,
// the scrolling field is drawn into the FrameBuffer, the HUD's lines are formatted and the
// banners zoom. Nothing here reads a window, a clock or a font: app/stage_screen.h shows it.
#include <cstdint>

#include "game/stage_input.h"

inline constexpr uint32_t kStageFrameMs = 50;  // a stage frame lasts at least this long
inline constexpr int32_t kScrollStep = 10;

// Stage n has 100 x n mobs and a target of 30 + 5 (n - 1) percent, never above 100.
inline constexpr int32_t kFirstStageMobs = 100;
inline constexpr int32_t kStageMobStep = 100;
inline constexpr int32_t kFirstStageTarget = 30;
inline constexpr int32_t kStageTargetStep = 5;
inline constexpr int32_t kHighestTarget = 100;
int32_t StageMobCount(int32_t stage);
int32_t StageTarget(int32_t stage);

// The HUD's four lines, code page 949, one per 24-pixel text row from the top.
inline constexpr int kHudLineCount = 4;
inline constexpr int kHudLineBytes = 128;
struct HudLines {
  char line[kHudLineCount][kHudLineBytes];
};

// Kills as a whole percentage of the stage's mobs, truncated.
int32_t KillRatio(int32_t kills, int32_t count);
// Formats the HUD from the counters; `count` is the stage's mob count as played,
// `now` the clock for the game time.
void FormatHudLines(HudLines& out, int32_t stage, int32_t count, int32_t remaining, int32_t target, uint32_t now);

// The state of one stage while it plays: Start, then Frame until Over.
struct StageRun {
  int32_t stage = 1;
  int32_t mobs = 1;  // the stage's mob count as played (at most the pool's 5000)
  int32_t target = 0;
  bool running = true;   // false once left, quit, or the end banner has run its course
  bool allGone = false;  // set on the first frame without an active mob
  bool cleared = false;  // whether the ratio had reached the target on that frame
  int32_t stageBannerTicks = 1;
  int32_t endBannerTicks = 1;
  int32_t drawnScroll = 0;  // the field's scroll offset as the last frame shows it
  HudLines hud = {};

  // Resets the stage counters and spawns the stage's mobs.
  void Start(int32_t stageNumber, int32_t count, int32_t targetPercent);
  // One frame: the chicken and the mobs move by `input`, the field, the mobs and the chicken
  // are drawn into the FrameBuffer, the HUD is formatted for the clock value `now`, and the
  // banners move on. A leave or a quit ends the run with this frame.
  void Frame(const StageInput& input, uint32_t now);
  // The same frame in its two halves: the rules alone (all a re-played game needs), then the
  // picture of where they left the field, the mobs and the chicken. Frame and Draw live with
  // the other pictures in game/draw.cpp, in the game's library, not in the rules'.
  void Play(const StageInput& input, uint32_t now);
  void Draw() const;
  // The stage is over once `running` is off, the target is reached or the game is lost;
  // judged after a frame as a whole has been played.
  bool Over() const;
  // 1 when the kill ratio has reached the target.
  int32_t Result() const;
  // The sizes at which this frame shows "STAGE n" (1..50) and the end banner (0..50),
  // or -1 for a banner not shown.
  int32_t StageBannerSize() const;
  int32_t EndBannerSize() const;
};

// "STAGE n", "STAGE CLEAR!!" and "STAGE FAILED!!" (ASCII, the same in code page 949).
inline constexpr const char* kStageBannerFormat = "STAGE %d";
inline constexpr const char* kClearText = "STAGE CLEAR!!";
inline constexpr const char* kFailedText = "STAGE FAILED!!";
