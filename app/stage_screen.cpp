#include "app/stage_screen.h"

#include <cstdio>
#include <cstring>

#include "app/replay_recording.h"
#include "app/window.h"
#include "game/counters.h"
#include "gfx/frame.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "wire/texts.h"

namespace {

// The font heights of both banners at a size: the texts are made ready and drawn at these.
constexpr int32_t StageBannerHeight(int32_t size) { return 2 * size; }
constexpr int32_t EndBannerHeight(int32_t size) { return 2 * size + 12; }

// Draws a banner text centred on the screen by its size: a black rim, then white.
void DrawBanner(int32_t cellHeight, int32_t size, const char* text) {
  static constexpr platform::TextPass kPasses[5] = {
      {1, 0, 0, 0, 0}, {-1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, -1, 0, 0, 0}, {0, 0, 255, 255, 255},
  };
  if (cellHeight < 1) return;
  const int32_t length = static_cast<int32_t>(std::strlen(text));
  // Centred by the size, not by the font's real advance (the end banner's is size + 6).
  const int32_t x0 = 320 - (length * size) / 2;
  const int32_t y0 = 240 - size / 2;
  platform::DrawText(cellHeight, x0, y0, text, kPasses, 5);
}

}  // namespace

void DrawStageBanner(int32_t stage, int32_t size) {
  char text[32];
  std::snprintf(text, sizeof text, kStageBannerFormat, stage);
  DrawBanner(StageBannerHeight(size), size, text);
}

void DrawEndBanner(int32_t size, bool cleared) {
  DrawBanner(EndBannerHeight(size), size, cleared ? kClearText : kFailedText);
}

void PrepareStageTexts(int32_t stage) {
  for (const char* text : {kHudTimeFormat, kHudMobFormat, kHudStageFormat, kHudComboFormat, "0123456789-",
                           GameModeNames[0], GameModeNames[1], GameModeNames[2]}) {
    platform::PrepareText(kTextFontHeight, text);
  }
  char banner[32];
  std::snprintf(banner, sizeof banner, kStageBannerFormat, stage);
  for (int32_t size = 1; size <= 50; ++size) platform::PrepareText(StageBannerHeight(size), banner);
  for (int32_t size = 0; size <= 50; ++size) {
    platform::PrepareText(EndBannerHeight(size), kClearText);
    platform::PrepareText(EndBannerHeight(size), kFailedText);
  }
}

void ShowStageFrame(const StageRun& run) {
  CopyFrameToOffscreen();
  for (int i = 0; i < kHudLineCount; ++i) DrawOutlinedText(0, kTextFontHeight * i, run.hud.line[i]);
  if (const int32_t size = run.StageBannerSize(); size >= 0) DrawStageBanner(run.stage, size);
  if (const int32_t size = run.EndBannerSize(); size >= 0) DrawEndBanner(size, run.cleared);
  PresentOffscreen();
}

StageInput TakeStageInput() {
  const auto& key = InputState.keyDown;
  StageInput input;
  input.up = key[platform::VK_UP] != 0;
  input.down = key[platform::VK_DOWN] != 0;
  input.left = key[platform::VK_LEFT] != 0;
  input.right = key[platform::VK_RIGHT] != 0;
  input.attack = key[platform::VK_SPACE] != 0;
  input.leave = key[platform::VK_ESCAPE] != 0;
  input.quit = InputState.quit != 0;
  InputState.keyDown[platform::VK_ESCAPE] = 0;
  return input;
}

void StageScreen::Start(int32_t stage, int32_t count, int32_t target) {
  // Before the clock is read: the first stage of a run opens the banner fonts here.
  PrepareStageTexts(stage);
  if (recording) recording->ReadyStage();
  lastFrameTime = platform::Ticks();
  run.Start(stage, count, target);
}

void StageScreen::Frame() {
  PumpMessages();
  const StageInput input = TakeStageInput();
  const uint32_t now = platform::Ticks();
  if (recording) recording->Frame(input, now);
  run.Frame(input, now);
  ShowStageFrame(run);
  InputState.repaint = 0;
  // At least 50 ms between frames; a slow frame is not made up for.
  lastFrameTime = platform::WaitUntilElapsed(lastFrameTime, kStageFrameMs);
}

int32_t PlayStage(int32_t stage, int32_t count, int32_t target, GameRecording* recording) {
  StageScreen screen;
  screen.recording = recording;
  screen.Start(stage, count, target);
  while (!screen.run.Over()) screen.Frame();
  return screen.run.Result();
}
