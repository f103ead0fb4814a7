#include "game/stage.h"

#include <algorithm>

#include "game/world.h"

namespace {

constexpr int32_t kStageBannerLastTick = 100;

}  // namespace

int32_t KillRatio(int32_t kills, int32_t count) {
  if (count <= 0) return 0;
  return static_cast<int32_t>(static_cast<int64_t>(kills) * 100 / count);
}

int32_t StageMobCount(int32_t stage) { return kFirstStageMobs + kStageMobStep * (stage - 1); }

int32_t StageTarget(int32_t stage) {
  return std::min(kFirstStageTarget + kStageTargetStep * (stage - 1), kHighestTarget);
}

void StageRun::Start(World& world, int32_t stageNumber, int32_t count, int32_t targetPercent) {
  *this = StageRun{};
  stage = stageNumber;
  // The pool holds 5000 mobs: larger stages (51 on) play with all of them, and the
  // kill ratio and the HUD count those, so every stage can still be cleared.
  mobs = std::clamp(count, 1, kMobPoolSize);
  target = targetPercent;
  world.counters.stageKills = 0;
  world.counters.combo = 0;
  world.mobs.Spawn(mobs, world.random);
  remaining = world.mobs.CountActive();
}

void StageRun::Play(World& world, const StageInput& input, uint32_t now) {
  world.chicken.Update(world, input);
  remaining = world.mobs.Update(world.counters);
  if (input.quit || input.leave) running = false;
  clock = now;
  if (!allGone && remaining == 0) {
    allGone = true;
    cleared = Cleared(world);
  }
  if (stageBannerTicks < kStageBannerLastTick) ++stageBannerTicks;
  if (allGone) {
    ++endBannerTicks;
    if (endBannerTicks > kEndBannerLastTick) running = false;
  }
}

bool StageRun::Over(const World& world) const { return !running || Cleared(world) || world.counters.gameOver == 1; }

bool StageRun::Cleared(const World& world) const { return KillRatio(world.counters.stageKills, mobs) >= target; }

int32_t StageRun::StageBannerSize() const {
  if (stageBannerTicks <= 50) return stageBannerTicks;
  return stageBannerTicks < kStageBannerLastTick ? 100 - stageBannerTicks : -1;
}

int32_t StageRun::EndBannerSize() const {
  if (!allGone) return -1;
  const int32_t size = endBannerTicks <= 50 ? endBannerTicks : 100 - endBannerTicks;
  return size >= 0 ? size : -1;
}
