#pragma once
// A stage as the window shows it: each frame pumps the messages, reads the keys, runs the
// rules' frame, puts the HUD and the banners over the field in the game's font, presents
// the picture and keeps the 50 ms pace.
#include <cstdint>

#include "game/stage.h"

struct GameRecording;

struct StageScreen {
  StageRun run;
  uint32_t lastFrameTime = 0;
  GameRecording* recording = nullptr;  // takes each frame's input and clock when set

  // Makes the stage's texts ready, then starts the rules' stage and the frame clock.
  void Start(int32_t stage, int32_t count, int32_t target);
  void Frame();
};

// Plays one stage of `count` mobs; 1 when the kill ratio reached `target` at its end.
int32_t PlayStage(int32_t stage, int32_t count, int32_t target, GameRecording* recording = nullptr);
// Shows the frame `run` has composed: the field, with the HUD and the banners over it in the
// game's font, presented in the window.
void ShowStageFrame(const StageRun& run);
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
