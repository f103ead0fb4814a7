#pragma once
// The server's counters for Prometheus: bumped by the network and store threads, read by
// the web server's threads, so every figure is an atomic and nothing waits on a lock.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "server/rankd/score.h"

namespace rankd {

// A latency histogram with fixed bounds in seconds.
class Histogram {
 public:
  static constexpr size_t kBounds = 14;
  explicit Histogram(const std::array<double, kBounds>& bounds) : bounds_(bounds) {}
  void Observe(double seconds);
  // The family's lines in the text format: buckets (cumulative), sum and count.
  void Render(const char* name, const char* help, std::string& out) const;

 private:
  std::array<double, kBounds> bounds_;
  std::array<std::atomic<uint64_t>, kBounds + 1> buckets_{};  // the last one above every bound
  std::atomic<uint64_t> sumMicroseconds_{0};
};

// How an exchange counts: by what came of it, or, when it ended before, why.
enum class ExchangeEnd { Declined, Stored, Refused, Malformed, StoreFailed, TimedOut, Closed, Banned };
inline constexpr size_t kExchangeEnds = 8;
inline constexpr size_t kVerdicts = static_cast<size_t>(Verdict::CheckCodeWrong) + 1;

struct Metrics {
  Metrics();
  void CountExchange(ExchangeEnd end, Verdict verdict, double seconds);
  // The whole page of /metrics.
  std::string Render() const;

  std::array<std::atomic<uint64_t>, kExchangeEnds> exchanges{};
  std::array<std::atomic<uint64_t>, kVerdicts> refusals{};
  Histogram exchangeSeconds;
  std::atomic<int64_t> connectionsOpen{0};
  std::atomic<uint64_t> refusedServerFull{0};
  std::atomic<uint64_t> refusedPerAddress{0};
  Histogram commitSeconds;
  std::atomic<uint64_t> commitsFailed{0};
  // Scores checked against a replay of their game.
  std::atomic<uint64_t> scoresVerified{0};
  std::atomic<uint64_t> scoresSuspect{0};
};

}  // namespace rankd
