#include "app/stage_screen.h"

#include <cstdio>
#include <cstring>

#include "app/replay_recording.h"
#include "app/window.h"
#include "draw/draw.h"
#include "game/counters.h"
#include "game/course.h"
#include "gfx/frame.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "text/texts.h"

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

void FormatHudLines(HudLines& out, const GameCounters& counters, const StageRun& run, uint32_t startClock) {
  const uint32_t seconds = (run.clock - startClock) / 1000;
  std::snprintf(out.line[0], kHudLineBytes, kHudTimeFormat, GameModeName(counters.gameMode), counters.score,
                static_cast<int>(seconds));
  std::snprintf(out.line[1], kHudLineBytes, kHudMobFormat, counters.stageKills, run.mobs, run.remaining,
                counters.escapedMobs);
  std::snprintf(out.line[2], kHudLineBytes, kHudStageFormat, run.stage, KillRatio(counters.stageKills, run.mobs),
                run.target);
  std::snprintf(out.line[3], kHudLineBytes, kHudComboFormat, counters.combo, counters.bestCombo);
}

void ShowStageFrame(const World& world, const FieldView& view, const StageRun& run) {
  CopyFrameToOffscreen();
  // Made only for a frame that is shown: the rules themselves never make a text.
  HudLines hud;
  FormatHudLines(hud, world.counters, run, view.startClock);
  for (int i = 0; i < kHudLineCount; ++i) DrawOutlinedText(0, kTextFontHeight * i, hud.line[i]);
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
  run.Start(world, stage, count, target);
}

void StageScreen::Frame() {
  PumpMessages();
  const StageInput input = TakeStageInput();
  const uint32_t now = platform::Ticks();
  if (recording) recording->Frame(input, now);
  run.Play(world, input, now);
  view.Step();
  DrawWorld(world, view.drawnScroll);
  ShowStageFrame(world, view, run);
  InputState.repaint = 0;
  // At least 50 ms between frames; a slow frame is not made up for.
  lastFrameTime = platform::WaitUntilElapsed(lastFrameTime, kStageFrameMs);
}

bool PlayStage(World& world, FieldView& view, GameRecording* recording) {
  StageScreen screen{world, view};
  screen.recording = recording;
  const int32_t stage = world.counters.stageNumber;
  screen.Start(stage, StageMobCount(stage), StageTarget(stage));
  while (!screen.run.Over(world)) screen.Frame();
  return NextStage(world, screen.run);
}
