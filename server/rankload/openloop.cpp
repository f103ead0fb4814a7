// The open loop: exchanges started on a fixed schedule, whatever the server answers. A slow
// answer does not put off the next exchange, and every latency counts from the time the
// exchange was due, so neither a queue of the load program's own nor a stall of the server
// hides from the figures.
#include <algorithm>
#include <cmath>

#include "server/rankload/load_impl.h"

namespace rankload {

awaitable<void> Load::Schedule() {
  // The pool of connections is bounded only so that the open files are. Each slot's time
  // limit is kept by one sweep over them all, not by a timer an exchange.
  for (int i = 0; i < o_.maxInFlight; ++i) {
    ClientState& slot = slots_.emplace_back(io_);
    slot.deadline = Clock::time_point::max();
    free_.push_back(&slot);
  }
  asio::co_spawn(io_, Sweep(), asio::detached);
  asio::steady_timer timer(io_);
  const long total = std::max(1L, std::lround(o_.seconds * o_.rate));
  for (long i = 0; i < total; ++i) {
    const Clock::time_point due = begun_ + std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(i / o_.rate));
    if (Clock::now() < due) {
      timer.expires_at(due);
      co_await timer.async_wait(kTuple);
    }
    // An exchange that waits here for a free connection is late, and its wait counts in
    // its latency.
    if (free_.empty()) ++waited_;
    while (free_.empty()) {
      slot_.expires_at(Clock::time_point::max());
      co_await slot_.async_wait(kTuple);
    }
    ClientState& slot = *free_.back();
    free_.pop_back();
    ++offered_;
    ++running_;
    mostInFlight_ = std::max(mostInFlight_, ++inFlight_);
    asio::co_spawn(io_, Scheduled(due, slot), asio::detached);
  }
  scheduled_ = true;
  Done();
}

awaitable<void> Load::Scheduled(Clock::time_point due, ClientState& slot) {
  const Clock::duration late = Clock::now() - due;
  if (late > std::chrono::milliseconds(1)) ++late_;
  latest_ = std::max(latest_, late);
  const int mode = static_cast<int>(random_() % 3);
  const bool submit = static_cast<int>(random_() % 100) < o_.submitPercent;
  Exchange result;
  slot.deadline = Clock::now() + std::chrono::seconds(10);
  co_await PlayOn(slot.socket, mode, submit, result, false);
  slot.deadline = Clock::time_point::max();
  asio::error_code ignored;
  slot.socket.close(ignored);
  Record(result, submit, due);
  free_.push_back(&slot);
  --inFlight_;
  slot_.cancel();
  Done();
}

awaitable<void> Load::Sweep() {
  asio::steady_timer timer(io_);
  while (!scheduled_ || inFlight_ > 0) {
    timer.expires_after(std::chrono::milliseconds(100));
    co_await timer.async_wait(kTuple);
    const Clock::time_point now = Clock::now();
    for (ClientState& slot : slots_) {
      if (slot.deadline > now) continue;
      asio::error_code ignored;
      slot.socket.close(ignored);  // its exchange fails with the error of a closed socket
      slot.deadline = Clock::time_point::max();
    }
  }
}

}  // namespace rankload
