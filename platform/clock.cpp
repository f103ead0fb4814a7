// The millisecond clock, a fake clock for tests, and waits that sleep instead of spinning.
#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace platform {
namespace {

const auto startTime = std::chrono::steady_clock::now();
bool fake = false;
uint32_t fakeNow = 0;
std::function<void(uint32_t)> waitHook;

uint32_t RealTicks() {
  auto elapsed = std::chrono::steady_clock::now() - startTime;
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

}  // namespace

uint32_t Ticks() { return fake ? fakeNow : RealTicks(); }

uint32_t WaitUntilElapsed(uint32_t since, uint32_t ms) {
  if (fake) {
    if (fakeNow - since < ms) fakeNow = since + ms;
    if (waitHook) waitHook(fakeNow);
    return fakeNow;
  }
  // Sleep for what is left and look again: a late wake-up only makes the wait a little
  // longer, never shorter, and no processor is held spinning.
  for (;;) {
    uint32_t now = RealTicks();
    uint32_t elapsed = now - since;
    if (elapsed >= ms) return now;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms - elapsed));
  }
}

void UseFakeClock(uint32_t start) {
  fake = true;
  fakeNow = start;
}

void UseRealClock() {
  fake = false;
  waitHook = nullptr;
}

bool FakeClockInUse() { return fake; }

void AdvanceFakeClock(uint32_t ms) { fakeNow += ms; }

void SetWaitHook(std::function<void(uint32_t now)> hook) { waitHook = std::move(hook); }

}  // namespace platform
