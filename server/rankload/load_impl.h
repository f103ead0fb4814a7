#pragma once
// What rankload's own files share: the load run, all on one thread (asio,
// C++20 coroutines). Not for use outside server/rankload/.
#include <asio.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "replay/replay.h"
#include "server/rankd/score.h"
#include "server/rankload/options.h"
#include "server/rankload/process_status.h"
#include "wire/protocol.h"

namespace rankload {

using asio::awaitable;
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;
constexpr auto kTuple = asio::experimental::as_tuple(asio::use_awaitable);
// The letters of the run's prefix and of the names' counter, written in base 36.
constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";

// A thread that only sleeps, a millisecond at a time, and notes how late it wakes. The two
// busy programs of a load hold it up a few milliseconds at most; a longer pause is the
// machine's own (a virtual machine's host taking its cores away a while), and every exchange
// under way then waits as long, whatever the server does.
class PauseWatch {
 public:
  static constexpr auto kLong = std::chrono::milliseconds(20);
  ~PauseWatch() { Stop(); }
  void Start();
  void Stop();
  // Read after Stop.
  Clock::duration longest() const { return longest_; }
  long longPauses() const { return long_; }

 private:
  std::thread thread_;
  std::atomic<bool> stop_{false};
  Clock::duration longest_{};
  long long_ = 0;
};

class Load {
 public:
  explicit Load(const RankloadOptions& o);

  int Run();

 private:
  struct Exchange {
    bool ok = false;
    bool submitted = false;
    rankd::Score score;
    std::string listing;
  };

  bool Connect(tcp::socket& s);
  // The request, the reply, and the answer; false on any failure.
  awaitable<bool> Begin(tcp::socket& s, int mode, uint32_t& threshold);
  // Sends the answer and reads the header and the listing, in as few reads as they came in;
  // the listing is kept only when `listing` is given.
  awaitable<bool> Finish(tcp::socket& s, const uint8_t* answer, size_t size, std::string* listing);
  std::string NextName();
  awaitable<void> PlayOn(tcp::socket& s, int mode, bool submit, Exchange& result, bool keep);
  // A single exchange with a time limit: one that takes 10 seconds counts as failed.
  awaitable<void> Play(int mode, bool submit, Exchange& result, bool keep);
  // Counts a played exchange, its latency taken from `begun`.
  void Record(const Exchange& result, bool submit, Clock::time_point begun);

  // A client plays exchanges one after another until the time is up. Each has 10 seconds:
  // a watchdog beside the client cancels the one that overruns.
  struct ClientState {
    explicit ClientState(asio::io_context& io) : socket(io) {}
    tcp::socket socket;
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);  // only ever moves on
  };
  awaitable<void> Watchdog(ClientState& state);
  awaitable<void> Plays(ClientState& state);
  awaitable<void> Client();

  // Open loop: exchange i starts at begun_ + i / rate whatever the answers, each on a
  // connection of its own, and its latency counts from that scheduled time.
  awaitable<void> Schedule();
  awaitable<void> Scheduled(Clock::time_point due, ClientState& slot);
  // Closes the connection of every exchange past its time limit, ten times a second.
  awaitable<void> Sweep();

  // Connects, takes the score to beat, waits until the clients are done, then declines.
  awaitable<void> Idle();

  void Done();
  awaitable<void> WaitForAll();

  awaitable<bool> Listings(std::string out[rankd::kModes]);

  awaitable<void> Main();

  // The replay mode (uploads.cpp).
  bool ReadReplay();
  long CheckedSoFar();  // scores verified and suspect on the server's /metrics, -1 unread
  awaitable<bool> KeepResult(const std::string& name);
  awaitable<void> Upload(std::vector<uint8_t> bytes);
  awaitable<void> Replays();
  int ReportReplays();

  int Report();
  void ReportSchedule() const;
  void ReportServer(long exchanges) const;

  // The final listings hold only known rows, none twice, and every acknowledged submission
  // that scores above the lowest listed score of its mode.
  bool CheckThroughServer();

  bool CheckDatabase();

  RankloadOptions o_;
  asio::io_context io_{ASIO_CONCURRENCY_HINT_UNSAFE};  // one thread, no locks
  tcp::endpoint server_;
  bool loopback_ = false;
  std::vector<asio::ip::address_v4> sources_;
  size_t nextSource_ = 0;
  std::mt19937 random_;
  std::string prefix_;
  uint32_t counter_ = 0;
  asio::steady_timer wake_{io_};
  asio::steady_timer release_{io_};
  long running_ = 0;
  Clock::time_point begun_;
  Clock::time_point end_;
  double elapsed_ = 0;
  std::vector<uint32_t> latencyUs_;
  std::vector<uint32_t> declineUs_;
  std::vector<uint32_t> submitUs_;
  long declines_ = 0;
  long submissions_ = 0;
  long errors_ = 0;
  long offered_ = 0;
  long late_ = 0;  // started more than 1 ms after their scheduled time
  Clock::duration latest_{};
  long waited_ = 0;  // found max-in-flight exchanges under way at their time
  long inFlight_ = 0;
  long mostInFlight_ = 0;
  asio::steady_timer slot_{io_};   // woken when a connection comes free
  std::deque<ClientState> slots_;  // the open loop's connections, kept in place
  std::vector<ClientState*> free_;
  bool scheduled_ = false;
  long idleHeld_ = 0;
  long idleAnswered_ = 0;
  long idleFailed_ = 0;
  long hwmBefore_ = -1;
  ProcessorTime cpuBefore_;  // the server's, as the clients began and as they ended
  ProcessorTime cpuAfter_;
  bool cpuRead_ = false;
  PauseWatch pauses_;
  std::vector<rankd::Score> acked_;
  std::vector<rankd::Score> unacked_;
  bool listingsOk_ = false;
  std::string before_[rankd::kModes];
  std::string after_[rankd::kModes];
  std::vector<uint8_t> replayBytes_;
  Replay replay_;
  ScoreSubmission replayResult_;  // the game's result as a submission, without a name
  std::string replayFailure_;
  Clock::time_point replaysBegun_;
  Clock::time_point lastCheck_;
  Clock::time_point replaysEnded_;
  long checked_ = 0;
  long lost_ = 0;
  long uploadErrors_ = 0;
};

}  // namespace rankload
