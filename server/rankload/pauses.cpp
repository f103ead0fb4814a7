// The watch on the machine's own pauses.
#include "server/rankload/load_impl.h"

namespace rankload {

void PauseWatch::Start() {
  stop_ = false;
  thread_ = std::thread([this] {
    constexpr auto kNap = std::chrono::milliseconds(1);
    while (!stop_) {
      const Clock::time_point asked = Clock::now();
      std::this_thread::sleep_for(kNap);
      const Clock::duration late = Clock::now() - asked - kNap;
      longest_ = std::max(longest_, late);
      if (late > kLong) ++long_;
    }
  });
}

void PauseWatch::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

}  // namespace rankload
