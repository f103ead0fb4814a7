#pragma once
// What the ranking server's own files share: its log, one client's connection, the store's
// thread, and the server's state on the network thread. Not for use outside server/rankd/.
#include <asio.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "server/rankd/exchange.h"
#include "server/rankd/metrics.h"
#include "server/rankd/replay_check.h"
#include "server/rankd/server.h"
#include "server/rankd/web.h"

namespace rankd {

using asio::awaitable;
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;
constexpr auto kTuple = asio::experimental::as_tuple(asio::use_awaitable);

// Log lines, one per exchange, gathered and written to standard error once per turn of
// the event loop, so a busy server makes few writes.
class LogSink {
 public:
  explicit LogSink(asio::io_context& io) : io_(io) {}
  ~LogSink() { Flush(); }

  __attribute__((format(printf, 2, 3))) void Line(const char* format, ...);
  void Flush();

 private:
  asio::io_context& io_;
  bool posted_ = false;
  std::string pending_;
};

// One client's connection. Its time limit is one timer: when the deadline passes, what the
// exchange waits for is cancelled. (A timer raced against each read costs two coroutines
// per read; this costs about one timer wait an exchange.)
struct Connection {
  Connection(tcp::socket s, std::string a)
      : socket(std::move(s)), limit(socket.get_executor()), wake(socket.get_executor()), address(std::move(a)) {}
  tcp::socket socket;
  asio::steady_timer limit;
  Clock::time_point deadline = Clock::time_point::max();
  bool armed = false;
  bool timedOut = false;
  asio::steady_timer wake;  // ends the wait for a commit
  std::string address;
  bool storeDone = false;
  bool committed = false;
};

// The store's own thread: takes the scores that wait, commits them in one transaction,
// reads the best rows back and hands both to the network thread. It also listens for
// other servers' news when the store can have any.
class StoreWorker {
 public:
  struct Job {
    Score score;
    Connection* waiter;
  };
  struct Mark {
    ReplayVerdict verdict;
    ReplayMark written = ReplayMark::None;  // what the row got; None when no row matched
    std::string failed;                     // why the mark could not be written (empty: it was)
    bool retrying = false;                  // failed, and kept to be tried again
    int tries = 0;
    Clock::time_point firstTry{};
  };
  struct Result {
    std::vector<Job> jobs;
    std::vector<Mark> marks;  // the marks of this turn: written, matching no row, or failed
    int expired = 0;          // rows marked suspect for want of their replay
    bool committed = false;
    std::vector<Score> scores;  // the jobs' scores, in their order
    bool fresh = false;         // tables holds the store's best rows
    ScoreTable tables[kModes];
    std::string error;
  };
  using Deliver = void (*)(void* to, std::shared_ptr<Result> result);

  StoreWorker(RankStore& store, Metrics& metrics, Deliver deliver, void* to)
      : store_(store), metrics_(metrics), deliver_(deliver), to_(to) {}
  ~StoreWorker() { Stop(); }

  // With `expireSeconds` above 0, rows that wait longer for their replay are marked suspect.
  bool Start(int expireSeconds = 0);
  void Submit(Job job);
  // A replay was taken: its verdict will come through SubmitMark. No row expires while a
  // verdict is awaited or waits to be written.
  void ExpectMark();
  void SubmitMark(ReplayVerdict verdict);
  // Commits the scores and writes the marks that still wait, then ends the thread.
  void Stop();

 private:
  void Wake();
  void Run();
  // Waits for a wake-up, news from another server, or half a second.
  void WaitForWork();
  // Commits the batch, marks the replays' rows and reads the best rows back into `result`;
  // the batch and the marks move there. Returns how many marks are done with.
  int Keep(std::vector<Job>& batch, std::vector<Mark>& marks, Result& result);
  // Writes one mark; one that fails is kept in retry_ while it may be tried again.
  void WriteMark(Mark& mark);
  // At shutdown: whether nothing waits any more (retries are given up after a while).
  bool Finished(Clock::time_point& stopSince);

  RankStore& store_;
  Metrics& metrics_;
  Deliver deliver_;
  void* to_;
  int wake_ = -1;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Job> queue_;
  std::vector<Mark> marks_;
  int awaited_ = 0;          // marks expected and not yet done with
  std::vector<Mark> retry_;  // marks whose writing failed, for the next turn (store thread only)
  int expireSeconds_ = 0;
  bool stop_ = false;
};

// The thread that plays replays again, one at a time (each in a world of its own, so more
// threads could share the work), and hands each verdict to the store's thread.
class ReplayChecker {
 public:
  explicit ReplayChecker(StoreWorker& worker) : worker_(worker) {}
  ~ReplayChecker() { Stop(); }
  void Start();
  // False when kReplaysWaiting replays wait already, or the checker stops: the replay is
  // not played, and its row is marked Unchecked. `address` is the client's.
  bool Submit(const ScoreSubmission& submitted, std::vector<uint8_t> bytes, const std::string& address);
  // Ends the thread; replays still waiting are not played, and their rows marked Unchecked.
  void Stop();

 private:
  struct Job {
    ScoreSubmission submitted;
    std::vector<uint8_t> bytes;
    std::string address;
  };
  static ReplayVerdict NotChecked(const Job& job, const char* why);
  void Run();

  StoreWorker& worker_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Job> queue_;
  bool stop_ = false;
};

struct RankServer::Impl {
  Impl(const RankdOptions& o, std::unique_ptr<RankStore> s)
      : options(o),
        store(std::move(s)),
        log(io),
        worker(*store, metrics, &Impl::Receive, this),
        checker(worker),
        signals(io, SIGINT, SIGTERM),
        graceTimer(io),
        work(asio::make_work_guard(io)) {}

  bool Start(std::string& error);
  // The steps of Start: the rankings into the cache, --max-connections within the open-file
  // limit, and the listening sockets (systemd's, or one of our own on --bind and --port).
  bool LoadRankings(std::string& error);
  void FitConnectionsToFiles();
  bool TakeSystemdSockets(int passed, std::string& error);
  bool ListenOnOwnSocket(std::string& error);
  void BeginStop();
  void EndIfIdle();
  awaitable<void> Accept(tcp::acceptor& acceptor);
  // Counts a connection from its acceptance until its exchange's frame is gone, however
  // that frame ends (even one that never ran).
  class Registration {
   public:
    Registration(Impl& server, Connection* c) : server_(&server), address_(c->address) {
      at_ = server.live.insert(server.live.end(), c);
      ++server.perAddress[address_];
      server.metrics.connectionsOpen.fetch_add(1, std::memory_order_relaxed);
    }
    Registration(Registration&& other) noexcept
        : server_(std::exchange(other.server_, nullptr)), address_(std::move(other.address_)), at_(other.at_) {}
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    Registration& operator=(Registration&&) = delete;
    ~Registration() {
      if (server_ == nullptr) return;
      server_->live.erase(at_);
      server_->metrics.connectionsOpen.fetch_sub(1, std::memory_order_relaxed);
      if (--server_->perAddress[address_] <= 0) server_->perAddress.erase(address_);
      server_->EndIfIdle();
    }

   private:
    Impl* server_;
    std::string address_;
    std::list<Connection*>::iterator at_;
  };
  awaitable<void> Session(std::shared_ptr<Connection> connection, Registration registration);
  // Hands an accepted score to the store's thread and waits for the commit; true once it is kept.
  awaitable<bool> Commit(Connection& c, const Score& score);
  // Counts a finished exchange and writes its log line; `ending` says why the connection
  // closed before the exchange ended (nullptr when it did not).
  void Tell(const Connection& c, const Exchange& exchange, const char* ending, Clock::time_point begun);
  awaitable<std::tuple<asio::error_code, size_t>> ReadSome(const std::shared_ptr<Connection>& c, uint8_t* to,
                                                           size_t size, Clock::time_point deadline);
  awaitable<asio::error_code> Write(const std::shared_ptr<Connection>& c, asio::const_buffer bytes,
                                    Clock::time_point deadline, bool last = false);
  // A replay upload (its first bytes already read): read with bounds, then handed to the
  // checker; the connection closes without an answer.
  awaitable<void> TakeReplay(std::shared_ptr<Connection> connection, const uint8_t* first, size_t firstBytes,
                             Clock::time_point begun);
  awaitable<bool> ReadExactly(const std::shared_ptr<Connection>& c, uint8_t* to, size_t size,
                              Clock::time_point deadline);
  static void Receive(void* self, std::shared_ptr<StoreWorker::Result> result);
  void Apply(StoreWorker::Result& result);
  // Counts and logs what became of one replay's mark.
  void TellMark(const StoreWorker::Mark& mark);

  RankdOptions options;
  std::unique_ptr<RankStore> store;
  Metrics metrics;  // before the worker, which counts its commits there
  // One thread does all the I/O (the store's thread only posts its results), so the
  // reactor needs no locks.
  asio::io_context io{ASIO_CONCURRENCY_HINT_UNSAFE_IO};
  LogSink log;
  StoreWorker worker;
  ReplayChecker checker;  // after the worker, which it hands its verdicts to
  RankCache cache;
  std::list<tcp::acceptor> acceptors;
  asio::signal_set signals;
  asio::steady_timer graceTimer;
  asio::executor_work_guard<asio::io_context::executor_type> work;
  std::list<Connection*> live;
  std::unordered_map<std::string, int> perAddress;
  bool stopping = false;
  bool ended = false;
  std::unique_ptr<WebServer> web;  // with --http
};

}  // namespace rankd
