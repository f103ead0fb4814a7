#pragma once
// The 32-bit millisecond clock and the waits built on it.
#include <cstdint>
#include <ctime>
#include <functional>

namespace platform {

// Milliseconds since start-up; wraps after 49.7 days.
uint32_t Ticks();

// Waits until Ticks() - since >= ms (unsigned) and returns the clock value then.
// Sleeps until shortly before the deadline instead of spinning.
uint32_t WaitUntilElapsed(uint32_t since, uint32_t ms);

// The local calendar time of `when` (the system's time zone), for the names of files.
std::tm LocalTime(std::time_t when);

// Tests: a fake clock that only moves when told to or when a wait needs it.
void UseFakeClock(uint32_t start);
void UseRealClock();
bool FakeClockInUse();
void AdvanceFakeClock(uint32_t ms);
// Called after every wait under the fake clock with the new clock value:
// scripts push their input from here.
void SetWaitHook(std::function<void(uint32_t now)> hook);

}  // namespace platform
