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
#include <initializer_list>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "server/rankd/exchange.h"
#include "server/rankd/metrics.h"
#include "server/rankd/replay_check.h"
#include "server/rankd/replay_room.h"
#include "server/rankd/server.h"
#include "server/rankd/web.h"

namespace rankd {

using asio::awaitable;
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;
constexpr auto kTuple = asio::experimental::as_tuple(asio::use_awaitable);

// Log lines, one per exchange, gathered and written to standard error at most
// kLogFlushEvery after the first of them (or once 64 KiB wait), so that a server answering
// thousands of exchanges a second makes a few dozen writes, not one per exchange.
inline constexpr auto kLogFlushEvery = std::chrono::milliseconds(20);
class LogSink {
 public:
  explicit LogSink(asio::io_context& io) : timer_(io) {}
  ~LogSink() { Flush(); }

  __attribute__((format(printf, 2, 3))) void Line(const char* format, ...);
  // The line of one exchange: the words one after another, then " MS ms". Written without
  // printf, as it comes thousands of times a second.
  void Words(std::initializer_list<std::string_view> words, long long ms);
  void Flush();

 private:
  void Ended();  // a line is complete: flush now, or soon

  asio::steady_timer timer_;
  bool armed_ = false;
  std::string pending_;
};

// One client's connection. Its time limit is one timer: when the deadline passes, what the
// exchange waits for is cancelled. (A timer raced against each read costs two coroutines
// per read; this costs about one timer wait an exchange.)
struct Connection {
  // Reads and writes are tried at once before they wait (ReadSome, Write), so the socket
  // does not block; asio would make it so at the first wait all the same.
  Connection(tcp::socket s, std::string a)
      : socket(std::move(s)), limit(socket.get_executor()), wake(socket.get_executor()), address(std::move(a)) {
    asio::error_code unset;  // then every read and write waits its turn, as asio's own
    socket.non_blocking(true, unset);
  }
  tcp::socket socket;
  asio::steady_timer limit;
  Clock::time_point deadline = Clock::time_point::max();
  bool armed = false;
  bool timedOut = false;
  asio::steady_timer wake;  // ends the wait for a commit
  std::string address;
  bool storeDone = false;
  bool committed = false;
  bool committing = false;  // waits for the store's thread: not closed at the stop time
  bool banned = false;      // the committed score was not kept: its name is banned
  // A replay fetch: the reply the store's thread made (its length and bytes), and how it went.
  ReplayBytes fetchReply;
  FetchEnd fetchEnd = FetchEnd::Failed;
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
  // A kept replay asked for on the game port, and its answer: the reply to send (its length,
  // 0 for none, and its bytes, counted against --replay-memory), or why there is none.
  struct Fetch {
    ReplayFetch ask;
    Connection* waiter = nullptr;
    ReplayBytes reply;
    FetchEnd end = FetchEnd::Failed;
  };
  struct Mark {
    ReplayVerdict verdict;
    std::shared_ptr<const ReplayBytes> replay;  // a verified one's bytes, kept with its row while listed
    ReplayMark written = ReplayMark::None;      // what the row got; None when no row matched
    std::string failed;                         // why the mark could not be written (empty: it was)
    bool retrying = false;                      // failed, and kept to be tried again
    int tries = 0;
    Clock::time_point firstTry{};
  };
  struct Result {
    std::vector<Job> jobs;
    std::vector<Mark> marks;     // the marks of this turn: written, matching no row, or failed
    std::vector<Fetch> fetches;  // the fetches of this turn, answered
    int expired = 0;             // rows marked suspect for want of their replay
    bool committed = false;
    std::vector<Score> scores;  // the jobs' scores, in their order
    std::vector<bool> banned;   // in the same order: not kept for the name's ban
    bool fresh = false;         // tables holds the store's best rows
    ScoreTable tables[kModes];
    std::string error;
  };
  using Deliver = void (*)(void* to, std::shared_ptr<Result> result);

  StoreWorker(RankStore& store, Metrics& metrics, ReplayMemory& memory, Deliver deliver, void* to)
      : store_(store), metrics_(metrics), memory_(memory), deliver_(deliver), to_(to) {}
  ~StoreWorker() { Stop(); }

  // With `expireSeconds` above 0, rows that wait longer for their replay are marked suspect.
  bool Start(int expireSeconds = 0);
  void Submit(Job job);
  // A replay was taken: its verdict will come through SubmitMark. No row expires while a
  // verdict is awaited or waits to be written.
  void ExpectMark();
  // A verdict with its replay's bytes, which a verified row keeps while it is listed.
  void SubmitMark(ReplayVerdict verdict, std::shared_ptr<const ReplayBytes> replay = nullptr);
  // Looks up a listed place's kept replay; the answer comes back in the Result.
  void SubmitFetch(const ReplayFetch& ask, Connection* waiter);
  // Commits the scores and writes the marks that still wait, then ends the thread. A database
  // that keeps the thread past kStopPatience has its waits cut short (what waited then is not
  // written).
  void Stop();
  // From any thread: every wait on the database ends at once, now and from now on.
  void Interrupt() { store_.Interrupt(); }
  static constexpr std::chrono::seconds kStopPatience{2};

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
  // Makes the reply of a fetch from the kept replay of its place.
  void Answer(Fetch& fetch);
  // At shutdown: whether nothing waits any more (retries are given up after a while).
  bool Finished(Clock::time_point& stopSince);
  // The store's health as the last calls found it: a commit's outcome; any other call's,
  // which clears only a silence of the database.
  void Committed(bool committed, const std::string& error);
  void Answered(bool answered, const std::string& error);
  // Asks the database whether it answers when nothing else did for kCheckEvery.
  void CheckIfQuiet();
  static constexpr std::chrono::seconds kCheckEvery{2};

  RankStore& store_;
  Metrics& metrics_;
  ReplayMemory& memory_;
  Deliver deliver_;
  void* to_;
  int wake_ = -1;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Job> queue_;
  std::vector<Mark> marks_;
  std::vector<Fetch> fetches_;
  int awaited_ = 0;          // marks expected and not yet done with
  std::vector<Mark> retry_;  // marks whose writing failed, for the next turn (store thread only)
  int expireSeconds_ = 0;
  bool stop_ = false;
  bool finished_ = false;  // the thread has nothing more to do
  std::condition_variable finishing_;
  std::chrono::steady_clock::time_point answered_{};  // when the database last answered
  std::chrono::steady_clock::time_point checked_{};
};

// Whether an upload found a place to wait for its check.
enum class ReplayQueued { Yes, AddressFull, QueueFull };

// The threads that play replays again, each in a world of its own, and hand each verdict to
// the store's thread. Replays wait in one line per client address, at most
// kReplaysWaitingPerAddress each and kReplaysWaiting in all, and the addresses take turns: one
// address's replays never hold up another's for longer than one check each.
class ReplayChecker {
 public:
  ReplayChecker(StoreWorker& worker, Metrics& metrics) : worker_(worker), metrics_(metrics) {}
  ~ReplayChecker() { Stop(); }
  void Start(int threads);
  // Every replay queued is expected by the store (StoreWorker::ExpectMark) and ends in one
  // verdict. Refused when the queue or the address's line is full, or the checker stops.
  ReplayQueued Submit(const std::string& address, const ScoreSubmission& submitted, ReplayBytes bytes);
  // Lets the checks under way finish and ends the threads; replays still waiting are not
  // played, and their rows are marked Unchecked.
  void Stop();

 private:
  struct Job {
    ScoreSubmission submitted;
    ReplayBytes bytes;
    std::string address;
  };
  void Run();
  // The next job, the next address's turn; false once stopping.
  bool Next(Job& job);
  void Check(Job& job, ReplayRun& run);

  StoreWorker& worker_;
  Metrics& metrics_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::unordered_map<std::string, std::deque<Job>> waiting_;  // by address
  std::deque<std::string> turns_;                             // the addresses with a job, in turn
  size_t count_ = 0;                                          // jobs waiting in all
  bool stop_ = false;
};

struct RankServer::Impl {
  Impl(const RankdOptions& o, std::unique_ptr<RankStore> s)
      : options(o),
        store(std::move(s)),
        replayMemory(metrics.replayBytesHeld, o.replayMemory),
        log(io),
        worker(*store, metrics, replayMemory, &Impl::Receive, this),
        checker(worker, metrics),
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
  // One listening socket on `address` and `port` (added to `acceptors` however it ends);
  // `several`: other addresses are bound too. What failed, if anything.
  asio::error_code ListenOn(const asio::ip::address& address, bool several, uint16_t port);
  void BeginStop();
  // At the stop time: closes every connection but those waiting for a commit, which get
  // one stop time more to be answered before they are closed too.
  void CloseAtStop();
  void EndIfIdle();
  awaitable<void> Accept(tcp::acceptor& acceptor);
  // Counts a connection from its acceptance until its exchange's frame is gone, however
  // that frame ends (even one that never ran); `key` is its address's share (AddressKey).
  class Registration {
   public:
    Registration(Impl& server, Connection* c, std::string key) : server_(&server), address_(std::move(key)) {
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
  // Hands the exchange's accepted score to the store's thread, waits for the commit and tells
  // the exchange how it went.
  awaitable<void> Commit(Connection& c, Exchange& exchange);
  // Counts a finished exchange and writes its log line; `ending` says why the connection
  // closed before the exchange ended (nullptr when it did not).
  void Tell(const Connection& c, const Exchange& exchange, const char* ending, Clock::time_point begun);
  awaitable<std::tuple<asio::error_code, size_t>> ReadSome(const std::shared_ptr<Connection>& c, uint8_t* to,
                                                           size_t size, Clock::time_point deadline,
                                                           bool awaited = false);
  awaitable<asio::error_code> Write(const std::shared_ptr<Connection>& c, asio::const_buffer bytes,
                                    Clock::time_point deadline, bool last = false);
  // A replay upload (its first bytes already read): read with bounds, then handed to the
  // checker; the connection closes without an answer.
  awaitable<void> TakeReplay(std::shared_ptr<Connection> connection, const uint8_t* first, size_t firstBytes,
                             Clock::time_point begun);
  awaitable<bool> ReadExactly(const std::shared_ptr<Connection>& c, uint8_t* to, size_t size,
                              Clock::time_point deadline);
  // Reads `length` bytes into `replay`, its room growing as they come; false when the client
  // ended or was late, or (with `roomLacking`) when --replay-memory had no room for them.
  awaitable<bool> ReadReplay(const std::shared_ptr<Connection>& c, ReplayBytes& replay, size_t length,
                             Clock::time_point deadline, bool& roomLacking);
  // A fetch (its first bytes already read): the listed place's kept replay sent back, within
  // the deadlines of a message and of sending; a fetch that is not one closes at once.
  awaitable<void> ServeFetch(std::shared_ptr<Connection> connection, const uint8_t* first, size_t firstBytes,
                             Clock::time_point begun);
  // Hands the fetch to the store's thread and waits for its reply, as Commit waits.
  awaitable<void> LookUp(Connection& c, const ReplayFetch& ask);
  static void Receive(void* self, std::shared_ptr<StoreWorker::Result> result);
  void Apply(StoreWorker::Result& result);
  // Counts and logs what became of one replay's mark.
  void TellMark(const StoreWorker::Mark& mark);

  RankdOptions options;
  std::unique_ptr<RankStore> store;
  Metrics metrics;  // before the worker, which counts its commits there
  // The room of replays received and waiting; before the I/O, whose unfinished reads give
  // theirs back as it goes.
  ReplayMemory replayMemory;
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
  bool graceOver = false;  // the first stop time has passed
  bool ended = false;
  std::unique_ptr<WebServer> web;  // with --http
};

}  // namespace rankd
