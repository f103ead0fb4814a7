#pragma once
// A stage as the window shows it: each frame pumps the messages, reads the keys, runs the
// rules' frame, puts the HUD and the banners over the field in the game's font, presents
// the picture and keeps the 50 ms pace.
#include <cstdint>

#include "game/stage.h"
#include "game/world.h"

struct GameRecording;

// The HUD's four lines, code page 949, one per 24-pixel text row from the top.
inline constexpr int kHudLineCount = 4;
inline constexpr int kHudLineBytes = 128;
struct HudLines {
  char line[kHudLineCount][kHudLineBytes];
};
// Formats the HUD from the world's counters and the stage as its last frame left it; the game
// time counts from `startClock` to the clock that frame read.
void FormatHudLines(HudLines& out, const GameCounters& counters, const StageRun& run, uint32_t startClock);

struct StageScreen {
  StageScreen(World& playedIn, FieldView& shownIn) : world(playedIn), view(shownIn) {}
  World& world;
  FieldView& view;
  StageRun run;
  uint32_t lastFrameTime = 0;
  GameRecording* recording = nullptr;  // takes each frame's input and clock when set

  // Makes the stage's texts ready, then starts stage `stage` of `count` mobs and `target`
  // percent, and the frame clock.
  void Start(int32_t stage, int32_t count, int32_t target);
  void Frame();
};

// Plays the stage the world's counters stand at: true when it was cleared and the counters
// stand at the next one, false when the game ended with it.
bool PlayStage(World& world, FieldView& view, GameRecording* recording = nullptr);
// Shows the frame the FrameBuffer holds (the field as `run` left it) with the HUD and the
// banners over it in the game's font, presented in the window.
void ShowStageFrame(const World& world, const FieldView& view, const StageRun& run);
// The keys a stage frame reads, from the input state after the pump. Escape is taken:
// the next screen must not see it.
StageInput TakeStageInput();
// Makes every text a frame of stage `stage` can draw ready (the HUD's characters, both banners
// at every size), so that no frame takes memory for a glyph or a font.
void PrepareStageTexts(int32_t stage);
// "STAGE n", centred, white with a black rim, at a size 1..50.
void DrawStageBanner(int32_t stage, int32_t size);
// "STAGE CLEAR!!" or "STAGE FAILED!!" at a size 0..50.
void DrawEndBanner(int32_t size, bool cleared);
