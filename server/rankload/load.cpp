// rankload: a load program for rankd, all on one thread (asio, C++20 coroutines).
#include "server/rankload/load.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "server/rankd/server.h"
#include "server/rankload/load_impl.h"
#include "server/rankload/process_status.h"

namespace rankload {

Load::Load(const RankloadOptions& o) : o_(o), random_(std::random_device{}()) {
  server_ = tcp::endpoint(asio::ip::make_address(o.host), o.port);
  loopback_ = server_.address().is_loopback();
  const int busy = o.rate > 0 ? o.maxInFlight : o.clients;
  const int wanted = o.sources > 0 ? o.sources : std::clamp((busy + o.idle + 99) / 100, 1, 250);
  for (int i = 0; loopback_ && i < wanted; ++i) {
    sources_.push_back(asio::ip::make_address_v4("127.0.10." + std::to_string(1 + i)));
  }
  // Three letters of chance tell this run's names from an earlier run's in the same database
  // (one in 46,656 alike); with the counter's five at most, a name keeps within 9 bytes.
  prefix_ = "L";
  for (int i = 0; i < 3; ++i) prefix_ += kDigits[random_() % 36];
}

int Load::Run() {
  asio::co_spawn(io_, Main(), asio::detached);
  io_.run();
  return o_.replay.empty() ? Report() : ReportReplays();
}

void Load::Done() {
  --running_;
  wake_.cancel();
}

awaitable<void> Load::WaitForAll() {
  while (running_ > 0) {
    wake_.expires_at(Clock::time_point::max());
    co_await wake_.async_wait(kTuple);
  }
}

awaitable<void> Load::Main() {
  listingsOk_ = co_await Listings(before_);
  running_ = o_.idle;
  release_.expires_at(Clock::time_point::max());
  for (int i = 0; i < o_.idle; ++i) asio::co_spawn(io_, Idle(), asio::detached);
  co_await WaitForAll();
  hwmBefore_ = o_.pid > 0 ? StatusKb(o_.pid, "VmHWM") : -1;
  cpuRead_ = o_.pid > 0 && ReadProcessorTime(o_.pid, cpuBefore_);

  pauses_.Start();
  begun_ = Clock::now();
  end_ = begun_ + std::chrono::microseconds(std::llround(o_.seconds * 1e6));
  if (!o_.replay.empty()) {
    running_ = 1;
    asio::co_spawn(io_, Replays(), asio::detached);
  } else if (o_.rate > 0) {
    running_ = 1;
    asio::co_spawn(io_, Schedule(), asio::detached);
  } else {
    running_ = o_.clients;
    for (int i = 0; i < o_.clients; ++i) asio::co_spawn(io_, Client(), asio::detached);
  }
  co_await WaitForAll();
  elapsed_ = std::chrono::duration<double>(Clock::now() - begun_).count();
  cpuRead_ = cpuRead_ && ReadProcessorTime(o_.pid, cpuAfter_);
  pauses_.Stop();

  running_ = idleHeld_;
  release_.cancel();
  co_await WaitForAll();
  listingsOk_ = co_await Listings(after_) && listingsOk_;
}

int RankloadMain(int argc, const char* const* argv) {
  RankloadOptions options;
  std::string error;
  switch (ParseRankloadOptions(argc, argv, options, error)) {
    case ParseResult::Help: std::fputs(kUsage, stdout); return 0;
    case ParseResult::Bad: std::fprintf(stderr, "rankload: %s\n", error.c_str()); return 2;
    case ParseResult::Run: break;
  }
  rankd::RaiseOpenFileLimit();
  try {
    Load load(options);
    return load.Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rankload: %s\n", e.what());
    return 1;
  }
}

}  // namespace rankload
