#pragma once
// One stage: the frame loop over the scrolling field, the HUD and the zooming banners.
#include <cstdint>

inline constexpr uint32_t kStageFrameMs = 50;
inline constexpr int32_t kScrollStep = 10;

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
void FormatHudLines(HudLines& out, int32_t stage, int32_t count, int32_t remaining,
                    int32_t target, uint32_t now);

// The state of one stage while it plays; PlayStage runs Start, then Frame while running.
struct StageRun {
  int32_t stage = 1;
  int32_t mobs = 1;  // the stage's mob count as played (at most the pool's 5000)
  int32_t target = 0;
  bool running = true;
  bool allGone = false;  // set on the first frame without an active mob
  bool cleared = false;  // whether the ratio had reached the target on that frame
  int32_t stageBannerTicks = 1;
  int32_t endBannerTicks = 1;
  uint32_t lastFrameTime = 0;
  HudLines hud = {};

  // Resets the stage counters and spawns the stage's mobs.
  void Start(int32_t stageNumber, int32_t count, int32_t targetPercent);
  // One frame: input, movement, picture, HUD, banners, presentation and the 50 ms pace.
  void Frame();
  // 1 when the kill ratio has reached the target.
  int32_t Result() const;
};

// Plays one stage of `count` mobs; 1 when the kill ratio reached `target` at its end.
int32_t PlayStage(int32_t stage, int32_t count, int32_t target);
// Makes every text a frame of stage `stage` can draw ready (the HUD's characters, both banners
// at every size), so that no frame takes memory for a glyph or a font.
void PrepareStageTexts(int32_t stage);
// "STAGE n", centred, white with a black rim, at a size 1..50.
void DrawStageBanner(int32_t stage, int32_t size);
// "STAGE CLEAR!!" or "STAGE FAILED!!" at a size 0..50.
void DrawEndBanner(int32_t size, bool cleared);
