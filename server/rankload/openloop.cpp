// The open loop: exchanges started on a fixed schedule, whatever the server answers. A slow
// answer does not put off the next exchange, and every latency counts from the time the
// exchange was due, so neither a queue of the load program's own nor a stall of the server
// hides from the figures.
#include <algorithm>
#include <cmath>

#include "server/rankload/load_impl.h"

namespace rankload {

awaitable<void> Load::Schedule() {
  asio::steady_timer timer(io_);
  const long total = std::max(1L, std::lround(o_.seconds * o_.rate));
  for (long i = 0; i < total; ++i) {
    const Clock::time_point due = begun_ + std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(i / o_.rate));
    if (Clock::now() < due) {
      timer.expires_at(due);
      co_await timer.async_wait(kTuple);
    }
    // The pool of connections is bounded only so that the open files are; an exchange that
    // waits here for a free one is late, and its wait counts in its latency.
    if (inFlight_ >= o_.maxInFlight) ++waited_;
    while (inFlight_ >= o_.maxInFlight) {
      slot_.expires_at(Clock::time_point::max());
      co_await slot_.async_wait(kTuple);
    }
    ++offered_;
    ++running_;
    mostInFlight_ = std::max(mostInFlight_, ++inFlight_);
    asio::co_spawn(io_, Scheduled(due), asio::detached);
  }
  Done();
}

awaitable<void> Load::Scheduled(Clock::time_point due) {
  const Clock::duration late = Clock::now() - due;
  if (late > std::chrono::milliseconds(1)) ++late_;
  latest_ = std::max(latest_, late);
  const int mode = static_cast<int>(random_() % 3);
  const bool submit = static_cast<int>(random_() % 100) < o_.submitPercent;
  Exchange result;
  co_await Play(mode, submit, result, false);
  Record(result, submit, due);
  --inFlight_;
  slot_.cancel();
  Done();
}

}  // namespace rankload
