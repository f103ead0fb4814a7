#pragma once
// The server's counters for Prometheus: bumped by the network and store threads, read by
// the web server's threads, so every figure is an atomic and nothing waits on a lock.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "server/rankd/replay_check.h"
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

// How a replay upload counts: taken for a check (None), or why it was refused.
enum class UploadRefusal { None, TimedOut, Closed, NotASubmission, TooLong, NoRoom, QueueFull, AddressFull };
inline constexpr size_t kUploadRefusals = 8;

// How a replay fetch (the game port's type 4) ended: its replay sent, a length of 0 sent (no
// replay kept at that place), or why nothing was sent.
enum class FetchEnd { Sent, None, Malformed, NoRoom, Failed, TimedOut, Closed, NotTaken };
inline constexpr size_t kFetchEnds = 8;

// Whether the store works, as its thread last found: /healthz reads it and never waits on
// the database. A failed commit makes it fail until a commit succeeds; a database that does
// not answer, until it answers again.
class StoreHealth {
 public:
  enum class Trouble { None, CommitFailed, Unreachable };
  void Set(Trouble trouble, const std::string& reason);
  Trouble trouble() const { return trouble_.load(std::memory_order_relaxed); }
  // True when it works; otherwise false and a short reason.
  bool Working(std::string& reason) const;

 private:
  std::atomic<Trouble> trouble_{Trouble::None};
  mutable std::mutex mutex_;  // for the reason's text only
  std::string reason_;
};

struct Metrics {
  Metrics();
  void CountExchange(ExchangeEnd end, Verdict verdict, double seconds);
  void CountUpload(UploadRefusal refusal);
  void CountCheck(ReplayFinding finding, size_t frames, double seconds);
  void CountFetch(FetchEnd end) { fetches[static_cast<size_t>(end)].fetch_add(1, std::memory_order_relaxed); }
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
  // Replay uploads and their checks.
  std::array<std::atomic<uint64_t>, kUploadRefusals> uploads{};  // [0]: taken
  std::array<std::atomic<uint64_t>, kReplayFindings> checks{};
  std::atomic<uint64_t> checkMicroseconds{0};
  std::atomic<uint64_t> framesPlayed{0};
  std::atomic<int64_t> replayBytesHeld{0};  // received and waiting, against --replay-memory
  std::atomic<int64_t> replaysWaiting{0};
  std::array<std::atomic<uint64_t>, kFetchEnds> fetches{};  // kept replays asked for on the game port

  StoreHealth storeHealth;
};

}  // namespace rankd
