#include "game/stage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/window.h"
#include "game/counters.h"
#include "game/mob.h"
#include "game/player.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace {

// "%s %d점 게임 시간 : %3d초"
constexpr const char* kHudTimeFormat =
    "%s %d\xc1\xa1 \xb0\xd4\xc0\xd3 \xbd\xc3\xb0\xa3 : %3d\xc3\xca";
// "%d/%d마리 살해 남은몹 %d마리 놓힌몹 %d마리"
constexpr const char* kHudMobFormat =
    "%d/%d\xb8\xb6\xb8\xae \xbb\xec\xc7\xd8 \xb3\xb2\xc0\xba\xb8\xf7 %d\xb8\xb6\xb8\xae "
    "\xb3\xf5\xc8\xf9\xb8\xf7 %d\xb8\xb6\xb8\xae";
// "스테이지%d 목표%3d%%/%3d%%"
constexpr const char* kHudStageFormat =
    "\xbd\xba\xc5\xd7\xc0\xcc\xc1\xf6%d \xb8\xf1\xc7\xa5%3d%%/%3d%%";
// "어텍콤보 %d 최고 %d"
constexpr const char* kHudComboFormat = "\xbe\xee\xc5\xd8\xc4\xde\xba\xb8 %d \xc3\xd6\xb0\xed %d";

constexpr const char* kStageBannerFormat = "STAGE %d";
constexpr const char* kClearText = "STAGE CLEAR!!";
constexpr const char* kFailedText = "STAGE FAILED!!";

// The font heights of both banners at a size: the texts are made ready and drawn at these.
constexpr int32_t StageBannerHeight(int32_t size) { return 2 * size; }
constexpr int32_t EndBannerHeight(int32_t size) { return 2 * size + 12; }

constexpr int32_t kStageBannerLastTick = 100;
constexpr int32_t kEndBannerLastTick = 100;

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

int32_t KillRatio(int32_t kills, int32_t count) {
  if (count <= 0) return 0;
  return static_cast<int32_t>(static_cast<int64_t>(kills) * 100 / count);
}

void FormatHudLines(HudLines& out, int32_t stage, int32_t count, int32_t remaining,
                    int32_t target, uint32_t now) {
  const uint32_t seconds = (now - Counters.gameStartTime) / 1000;
  std::snprintf(out.line[0], kHudLineBytes, kHudTimeFormat, GameModeName(Counters.gameMode),
                Counters.score, static_cast<int>(seconds));
  std::snprintf(out.line[1], kHudLineBytes, kHudMobFormat, Counters.stageKills, count, remaining,
                Counters.escapedMobs);
  std::snprintf(out.line[2], kHudLineBytes, kHudStageFormat, stage,
                KillRatio(Counters.stageKills, count), target);
  std::snprintf(out.line[3], kHudLineBytes, kHudComboFormat, Counters.combo, Counters.bestCombo);
}

void DrawStageBanner(int32_t stage, int32_t size) {
  char text[32];
  std::snprintf(text, sizeof text, kStageBannerFormat, stage);
  DrawBanner(StageBannerHeight(size), size, text);
}

void DrawEndBanner(int32_t size, bool cleared) {
  DrawBanner(EndBannerHeight(size), size, cleared ? kClearText : kFailedText);
}

void PrepareStageTexts(int32_t stage) {
  for (const char* text : {kHudTimeFormat, kHudMobFormat, kHudStageFormat, kHudComboFormat,
                           "0123456789-", GameModeNames[0], GameModeNames[1], GameModeNames[2]}) {
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

void StageRun::Start(int32_t stageNumber, int32_t count, int32_t targetPercent) {
  *this = StageRun{};
  stage = stageNumber;
  // Before the clock is read: the first stage of a run opens the banner fonts here.
  PrepareStageTexts(stage);
  // The pool holds 5000 mobs: larger stages (51 on) play with all of them, and the
  // kill ratio and the HUD count those, so every stage can still be cleared.
  mobs = std::clamp(count, 1, kMobPoolSize);
  target = targetPercent;
  lastFrameTime = platform::Ticks();
  Counters.stageKills = 0;
  Counters.combo = 0;
  for (int32_t i = 0; i < mobs; ++i) MobPool[i].Spawn();
}

void StageRun::Frame() {
  PumpMessages();
  Player.Update();
  for (Mob& mob : MobPool) mob.Update();
  if (InputState.quit != 0) running = false;
  if (InputState.keyDown[platform::VK_ESCAPE] != 0) {
    running = false;
    InputState.keyDown[platform::VK_ESCAPE] = 0;  // the next screen must not see it
  }

  ShowPictureScrolled(Counters.scrollOffset);
  Counters.scrollOffset += kScrollStep;
  if (Counters.scrollOffset >= 640) Counters.scrollOffset -= 640;
  for (const Mob& mob : MobPool) mob.Draw();
  const int32_t remaining = CountActiveMobs();
  if (!allGone && remaining == 0) {
    allGone = true;
    cleared = Result() == 1;
  }
  Player.Draw();
  CopyFrameToOffscreen();

  FormatHudLines(hud, stage, mobs, remaining, target, platform::Ticks());
  for (int i = 0; i < kHudLineCount; ++i) DrawOutlinedText(0, kTextFontHeight * i, hud.line[i]);

  if (stageBannerTicks < kStageBannerLastTick) ++stageBannerTicks;
  if (stageBannerTicks <= 50) {
    DrawStageBanner(stage, stageBannerTicks);
  } else if (stageBannerTicks < kStageBannerLastTick) {
    DrawStageBanner(stage, 100 - stageBannerTicks);
  }
  if (allGone) {
    ++endBannerTicks;
    const int32_t size = endBannerTicks <= 50 ? endBannerTicks : 100 - endBannerTicks;
    if (size >= 0) DrawEndBanner(size, cleared);
    if (endBannerTicks > kEndBannerLastTick) running = false;
  }

  PresentOffscreen();
  InputState.repaint = 0;
  // At least 50 ms between frames; a slow frame is not made up for.
  lastFrameTime = platform::WaitUntilElapsed(lastFrameTime, kStageFrameMs);

  if (Result() == 1) running = false;
  if (Counters.gameOver == 1) running = false;
}

int32_t StageRun::Result() const { return KillRatio(Counters.stageKills, mobs) >= target ? 1 : 0; }

int32_t PlayStage(int32_t stage, int32_t count, int32_t target) {
  StageRun run;
  run.Start(stage, count, target);
  while (run.running) run.Frame();
  return run.Result();
}
