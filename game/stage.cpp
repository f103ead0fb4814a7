#include "game/stage.h"

#include <algorithm>
#include <cstdio>

#include "game/counters.h"
#include "game/mob.h"
#include "game/player.h"
#include "wire/texts.h"

namespace {

constexpr int32_t kStageBannerLastTick = 100;
constexpr int32_t kEndBannerLastTick = 100;

}  // namespace

int32_t KillRatio(int32_t kills, int32_t count) {
  if (count <= 0) return 0;
  return static_cast<int32_t>(static_cast<int64_t>(kills) * 100 / count);
}

void FormatHudLines(HudLines& out, int32_t stage, int32_t count, int32_t remaining, int32_t target, uint32_t now) {
  const uint32_t seconds = (now - Counters.gameStartTime) / 1000;
  std::snprintf(out.line[0], kHudLineBytes, kHudTimeFormat, GameModeName(Counters.gameMode), Counters.score,
                static_cast<int>(seconds));
  std::snprintf(out.line[1], kHudLineBytes, kHudMobFormat, Counters.stageKills, count, remaining, Counters.escapedMobs);
  std::snprintf(out.line[2], kHudLineBytes, kHudStageFormat, stage, KillRatio(Counters.stageKills, count), target);
  std::snprintf(out.line[3], kHudLineBytes, kHudComboFormat, Counters.combo, Counters.bestCombo);
}

int32_t StageMobCount(int32_t stage) { return kFirstStageMobs + kStageMobStep * (stage - 1); }

int32_t StageTarget(int32_t stage) {
  return std::min(kFirstStageTarget + kStageTargetStep * (stage - 1), kHighestTarget);
}

void StageRun::Start(int32_t stageNumber, int32_t count, int32_t targetPercent) {
  *this = StageRun{};
  stage = stageNumber;
  // The pool holds 5000 mobs: larger stages (51 on) play with all of them, and the
  // kill ratio and the HUD count those, so every stage can still be cleared.
  mobs = std::clamp(count, 1, kMobPoolSize);
  target = targetPercent;
  Counters.stageKills = 0;
  Counters.combo = 0;
  for (int32_t i = 0; i < mobs; ++i) MobPool[i].Spawn();
}

void StageRun::Play(const StageInput& input, uint32_t now) {
  Player.Update(input);
  for (Mob& mob : MobPool) mob.Update();
  if (input.quit || input.leave) running = false;

  drawnScroll = Counters.scrollOffset;
  Counters.scrollOffset += kScrollStep;
  if (Counters.scrollOffset >= 640) Counters.scrollOffset -= 640;
  const int32_t remaining = CountActiveMobs();
  if (!allGone && remaining == 0) {
    allGone = true;
    cleared = Result() == 1;
  }
  FormatHudLines(hud, stage, mobs, remaining, target, now);

  if (stageBannerTicks < kStageBannerLastTick) ++stageBannerTicks;
  if (allGone) {
    ++endBannerTicks;
    if (endBannerTicks > kEndBannerLastTick) running = false;
  }
}

bool StageRun::Over() const { return !running || Result() == 1 || Counters.gameOver == 1; }

int32_t StageRun::Result() const { return KillRatio(Counters.stageKills, mobs) >= target ? 1 : 0; }

int32_t StageRun::StageBannerSize() const {
  if (stageBannerTicks <= 50) return stageBannerTicks;
  return stageBannerTicks < kStageBannerLastTick ? 100 - stageBannerTicks : -1;
}

int32_t StageRun::EndBannerSize() const {
  if (!allGone) return -1;
  const int32_t size = endBannerTicks <= 50 ? endBannerTicks : 100 - endBannerTicks;
  return size >= 0 ? size : -1;
}
