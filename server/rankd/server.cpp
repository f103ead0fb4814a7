// The ranking server's network side and its store thread.
#include "server/rankd/server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <asio.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <list>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>

namespace rankd {
namespace {

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

  __attribute__((format(printf, 2, 3))) void Line(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (n < 0) return;
    const size_t length = std::min(static_cast<size_t>(n), sizeof line - 2);
    line[length] = '\n';
    pending_.append(line, length + 1);
    if (pending_.size() > 64 * 1024) {
      Flush();
    } else if (!posted_) {
      posted_ = true;
      asio::post(io_, [this] {
        posted_ = false;
        Flush();
      });
    }
  }

  void Flush() {
    size_t at = 0;
    while (at < pending_.size()) {
      const ssize_t n = ::write(STDERR_FILENO, pending_.data() + at, pending_.size() - at);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // standard error is gone: the lines are lost, the server goes on
      at += static_cast<size_t>(n);
    }
    pending_.clear();
  }

 private:
  asio::io_context& io_;
  bool posted_ = false;
  std::string pending_;
};

// One client's connection. Its time limit is one timer: when the deadline passes, what the
// exchange waits for is cancelled. (A timer raced against each read costs two coroutines
// per read; this costs a timer wait per deadline.)
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

// Sets the connection's deadline (kept when it is the one already set).
void Arm(const std::shared_ptr<Connection>& c, Clock::time_point deadline) {
  if (c->armed && c->deadline == deadline) return;
  c->armed = true;
  c->deadline = deadline;
  c->limit.expires_at(deadline);
  c->limit.async_wait([weak = std::weak_ptr<Connection>(c)](const asio::error_code& ec) {
    const auto conn = weak.lock();
    // A wait that expired just before the deadline moved on is not the deadline.
    if (ec || !conn || Clock::now() < conn->deadline) return;
    conn->timedOut = true;
    asio::error_code ignored;
    conn->socket.cancel(ignored);
  });
}

// The store's own thread: takes the scores that wait, commits them in one transaction,
// reads the best rows back and hands both to the network thread. It also listens for
// other servers' news when the store can have any.
class StoreWorker {
 public:
  struct Job {
    Score score;
    Connection* waiter;
  };
  struct Result {
    std::vector<Job> jobs;
    bool committed = false;
    std::vector<Score> scores;  // the jobs' scores, in their order
    bool fresh = false;  // tables holds the store's best rows
    ScoreTable tables[kModes];
    std::string error;
  };
  using Deliver = void (*)(void* to, std::shared_ptr<Result> result);

  StoreWorker(RankStore& store, Deliver deliver, void* to) : store_(store), deliver_(deliver), to_(to) {}
  ~StoreWorker() { Stop(); }

  bool Start() {
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake_ < 0) return false;
    thread_ = std::thread([this] { Run(); });
    return true;
  }

  void Submit(Job job) {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(job));
    }
    Wake();
  }

  // Commits what still waits, then ends the thread.
  void Stop() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    Wake();
    thread_.join();
    ::close(wake_);
  }

 private:
  void Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
  }

  void Run() {
    std::vector<Job> batch;
    for (;;) {
      pollfd fds[2] = {{wake_, POLLIN, 0}, {store_.ChangeDescriptor(), POLLIN, 0}};
      ::poll(fds, fds[1].fd >= 0 ? 2 : 1, 1000);
      uint64_t count;
      [[maybe_unused]] const ssize_t n = ::read(wake_, &count, sizeof count);
      bool stopping;
      {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
        stopping = stop_;
      }
      const bool news = store_.TakeChanges();
      if (!batch.empty()) {
        auto result = std::make_shared<Result>();
        std::vector<Score>& scores = result->scores;
        scores.reserve(batch.size());
        for (const Job& job : batch) scores.push_back(job.score);
        result->committed = store_.Store(scores);
        if (!result->committed) result->error = store_.Error();
        result->fresh = store_.LoadTop(result->tables);
        result->jobs = std::move(batch);
        batch.clear();
        deliver_(to_, std::move(result));
      } else if (news) {
        auto result = std::make_shared<Result>();
        result->fresh = store_.LoadTop(result->tables);
        if (result->fresh) deliver_(to_, std::move(result));
      }
      if (stopping) {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) return;
      }
    }
  }

  RankStore& store_;
  Deliver deliver_;
  void* to_;
  int wake_ = -1;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Job> queue_;
  bool stop_ = false;
};

std::string AddressText(const asio::ip::address& address) {
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).to_string();
  }
  return address.to_string();
}

long long MillisecondsSince(Clock::time_point from) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count();
}

}  // namespace

struct RankServer::Impl {
  Impl(const ServerOptions& o, std::unique_ptr<RankStore> s)
      : options(o), store(std::move(s)), log(io), worker(*store, &Impl::Receive, this),
        signals(io, SIGINT, SIGTERM), graceTimer(io), work(asio::make_work_guard(io)) {}

  bool Start(std::string& error);
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
    }
    Registration(Registration&& other) noexcept
        : server_(std::exchange(other.server_, nullptr)), address_(std::move(other.address_)), at_(other.at_) {}
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    Registration& operator=(Registration&&) = delete;
    ~Registration() {
      if (server_ == nullptr) return;
      server_->live.erase(at_);
      if (--server_->perAddress[address_] <= 0) server_->perAddress.erase(address_);
      server_->EndIfIdle();
    }

   private:
    Impl* server_;
    std::string address_;
    std::list<Connection*>::iterator at_;
  };
  awaitable<void> Session(std::shared_ptr<Connection> connection, Registration registration);
  awaitable<std::tuple<asio::error_code, size_t>> ReadSome(const std::shared_ptr<Connection>& c, uint8_t* to,
                                                           size_t size, Clock::time_point deadline);
  awaitable<asio::error_code> Write(const std::shared_ptr<Connection>& c, asio::const_buffer bytes,
                                    Clock::time_point deadline, bool last = false);
  static void Receive(void* self, std::shared_ptr<StoreWorker::Result> result);
  void Apply(StoreWorker::Result& result);

  ServerOptions options;
  std::unique_ptr<RankStore> store;
  // One thread does all the I/O (the store's thread only posts its results), so the
  // reactor needs no locks.
  asio::io_context io{ASIO_CONCURRENCY_HINT_UNSAFE_IO};
  LogSink log;
  StoreWorker worker;
  RankCache cache;
  std::list<tcp::acceptor> acceptors;
  asio::signal_set signals;
  asio::steady_timer graceTimer;
  asio::executor_work_guard<asio::io_context::executor_type> work;
  std::list<Connection*> live;
  std::unordered_map<std::string, int> perAddress;
  bool stopping = false;
  bool ended = false;
};

RankServer::RankServer(const ServerOptions& options, std::unique_ptr<RankStore> store)
    : impl_(std::make_unique<Impl>(options, std::move(store))) {}

RankServer::~RankServer() = default;

bool RankServer::Start(std::string& error) { return impl_->Start(error); }

void RankServer::Run() {
  impl_->io.run();
  impl_->log.Flush();
}

void RankServer::Stop() {
  asio::post(impl_->io, [impl = impl_.get()] { impl->BeginStop(); });
}

bool RankServer::Impl::Start(std::string& error) {
  ScoreTable tables[kModes];
  if (!store->LoadTop(tables)) {
    error = "cannot read the rankings: " + store->Error();
    return false;
  }
  for (int mode = 0; mode < kModes; ++mode) cache.Set(mode, tables[mode]);

  RaiseOpenFileLimit();
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY &&
      files.rlim_cur < static_cast<rlim_t>(options.maxConnections) + 64) {
    options.maxConnections = std::max(1, static_cast<int>(files.rlim_cur) - 64);
    log.Line("only %llu descriptors: at most %d connections", static_cast<unsigned long long>(files.rlim_cur),
             options.maxConnections);
  }

  const int passed = sd_listen_fds(1);
  if (passed < 0) {
    error = std::string("cannot take the sockets from systemd: ") + std::strerror(-passed);
    return false;
  }
  asio::error_code ec;
  for (int fd = SD_LISTEN_FDS_START; fd < SD_LISTEN_FDS_START + passed; ++fd) {
    if (sd_is_socket_inet(fd, AF_UNSPEC, SOCK_STREAM, 1, 0) <= 0) {
      error = "systemd passed a socket that is not a listening TCP socket";
      return false;
    }
    const bool v6 = sd_is_socket_inet(fd, AF_INET6, SOCK_STREAM, 1, 0) > 0;
    tcp::acceptor& acceptor = acceptors.emplace_back(io);
    acceptor.assign(v6 ? tcp::v6() : tcp::v4(), fd, ec);
    if (ec) {
      error = "cannot use the socket from systemd: " + ec.message();
      return false;
    }
  }
  if (passed == 0) {
    const asio::ip::address address = asio::ip::make_address(options.bind, ec);
    if (ec) {
      error = "--bind: '" + options.bind + "' is not an IP address";
      return false;
    }
    tcp::acceptor& acceptor = acceptors.emplace_back(io);
    const tcp::endpoint endpoint(address, options.port);
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec) acceptor.bind(endpoint, ec);
    if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
      error = "cannot listen on " + options.bind + " port " + std::to_string(options.port) + ": " + ec.message();
      if (ec == asio::error::access_denied && options.port < 1024) {
        error += " (ports below 1024 need root, the capability cap_net_bind_service, or systemd's rankd.socket)";
      }
      return false;
    }
  }
  if (!worker.Start()) {
    error = "cannot start the store's thread";
    return false;
  }
  const std::string where = IsPostgresUri(options.db) ? std::string("postgresql") : "sqlite " + options.db;
  for (tcp::acceptor& acceptor : acceptors) {
    const tcp::endpoint local = acceptor.local_endpoint(ec);
    log.Line("listening on %s:%u%s (%s)", AddressText(local.address()).c_str(), local.port(),
             passed > 0 ? " from systemd" : "", where.c_str());
    asio::co_spawn(io, Accept(acceptor), asio::detached);
  }
  log.Flush();
  signals.async_wait([this](const asio::error_code& e, int) {
    if (!e) BeginStop();
  });
  sd_notify(0, "READY=1");
  return true;
}

awaitable<void> RankServer::Impl::Accept(tcp::acceptor& acceptor) {
  asio::steady_timer pause(io);
  tcp::endpoint remote;
  for (;;) {
    auto [ec, socket] = co_await acceptor.async_accept(remote, kTuple);
    if (stopping || ec == asio::error::operation_aborted) co_return;
    if (ec) {
      // Out of descriptors or memory: wait a little rather than spin.
      pause.expires_after(std::chrono::milliseconds(50));
      co_await pause.async_wait(kTuple);
      continue;
    }
    std::string address = AddressText(remote.address());
    const int fromThere = perAddress.contains(address) ? perAddress[address] : 0;
    if (static_cast<int>(live.size()) >= options.maxConnections || fromThere >= options.maxPerAddress) {
      if (options.log) {
        log.Line("%s mode - refused: %s 0 ms", address.c_str(),
                 fromThere >= options.maxPerAddress ? "too many connections from this address" : "server full");
      }
      continue;  // the socket closes here
    }
    auto connection = std::make_shared<Connection>(std::move(socket), std::move(address));
    Registration registration(*this, connection.get());
    asio::co_spawn(io, Session(std::move(connection), std::move(registration)), asio::detached);
  }
}

awaitable<std::tuple<asio::error_code, size_t>> RankServer::Impl::ReadSome(const std::shared_ptr<Connection>& c,
                                                                           uint8_t* to, size_t size,
                                                                           Clock::time_point deadline) {
  Arm(c, deadline);
  if (c->timedOut || Clock::now() >= deadline) co_return std::tuple<asio::error_code, size_t>{asio::error::timed_out, 0};
  auto [ec, n] = co_await c->socket.async_read_some(asio::buffer(to, size), kTuple);
  if (ec && c->timedOut) ec = asio::error::timed_out;
  co_return std::tuple<asio::error_code, size_t>{ec, n};
}

awaitable<asio::error_code> RankServer::Impl::Write(const std::shared_ptr<Connection>& c, asio::const_buffer bytes,
                                                   Clock::time_point deadline, bool last) {
  Arm(c, deadline);
  if (c->timedOut || Clock::now() >= deadline) co_return asio::error::timed_out;
  // The last bytes wait for the close, which sends them with the end of the connection in
  // one segment.
  const asio::socket_base::message_flags flags = last ? MSG_MORE : 0;
  for (size_t sent = 0; sent < bytes.size();) {
    auto [ec, n] = co_await c->socket.async_send(asio::buffer(bytes + sent), flags, kTuple);
    if (ec) co_return c->timedOut ? asio::error::timed_out : ec;
    sent += n;
  }
  co_return asio::error_code{};
}

awaitable<void> RankServer::Impl::Session(std::shared_ptr<Connection> connection,
                                            [[maybe_unused]] Registration registration) {
  Connection& c = *connection;
  const Clock::time_point begun = Clock::now();
  Clock::time_point messageBegun = begun;
  Clock::time_point answerFrom = begun;
  Exchange exchange(cache);
  uint8_t bytes[kScoreSubmissionBytes];
  const char* ending = nullptr;  // why the connection closed before the exchange ended
  while (exchange.phase() != Exchange::Phase::Closed && ending == nullptr) {
    switch (exchange.phase()) {
      case Exchange::Phase::Request:
      case Exchange::Phase::Answer: {
        const bool request = exchange.phase() == Exchange::Phase::Request;
        const bool begunAlready = exchange.MessageBegun();
        const Clock::time_point deadline = begunAlready ? messageBegun + options.messageTime
                                           : request    ? begun + options.requestTime
                                                        : answerFrom + options.answerTime;
        auto [ec, n] = co_await ReadSome(connection, bytes, exchange.Room(), deadline);
        if (ec == asio::error::timed_out) {
          ending = begunAlready ? "message not finished in time"
                   : request    ? "no request in time"
                                : "no answer in time";
        } else if (ec) {
          ending = stopping ? "closed at shutdown" : begunAlready ? "closed by client in a message" : "closed by client";
        } else {
          if (!begunAlready) messageBegun = Clock::now();
          exchange.Take(bytes, n);
        }
        break;
      }
      case Exchange::Phase::Reply:
        if (co_await Write(connection, asio::buffer(exchange.Reply(), kThresholdReplyBytes),
                           Clock::now() + options.sendTime)) {
          ending = "score to beat not taken";
        } else {
          exchange.Sent();
          answerFrom = Clock::now();
        }
        break;
      case Exchange::Phase::Storing:
        c.storeDone = false;
        worker.Submit({exchange.Pending(), &c});
        while (!c.storeDone) {
          c.wake.expires_at(Clock::time_point::max());
          co_await c.wake.async_wait(kTuple);
        }
        exchange.Stored(c.committed);
        break;
      case Exchange::Phase::Text: {
        const auto text = cache.Text(exchange.mode());
        if (co_await Write(connection, asio::buffer(*text), Clock::now() + options.sendTime, true)) {
          ending = "listing not taken";
        } else {
          exchange.Sent();
        }
        break;
      }
      case Exchange::Phase::Closed:
        break;
    }
  }
  asio::error_code ignored;
  c.limit.cancel();
  c.socket.close(ignored);

  char mode[12] = "-";
  if (exchange.mode() >= 0) std::snprintf(mode, sizeof mode, "%d", exchange.mode());
  const long long ms = MillisecondsSince(begun);
  const Outcome outcome = exchange.outcome();
  if (!options.log) {
    // --quiet: no line per exchange
  } else if (ending != nullptr) {
    log.Line("%s mode %s %s%s%s %lld ms", c.address.c_str(), mode, outcome == Outcome::Open ? "" : OutcomeText(outcome),
             outcome == Outcome::Open ? "" : ", ", ending, ms);
  } else if (outcome == Outcome::Refused) {
    log.Line("%s mode %s refused (%s) %lld ms", c.address.c_str(), mode, VerdictText(exchange.verdict()), ms);
  } else {
    log.Line("%s mode %s %s %lld ms", c.address.c_str(), mode, OutcomeText(outcome), ms);
  }
}

void RankServer::Impl::Receive(void* self, std::shared_ptr<StoreWorker::Result> result) {
  auto* impl = static_cast<Impl*>(self);
  asio::post(impl->io, [impl, result] { impl->Apply(*result); });
}

void RankServer::Impl::Apply(StoreWorker::Result& result) {
  if (result.fresh) {
    for (int mode = 0; mode < kModes; ++mode) cache.Set(mode, result.tables[mode]);
  } else if (result.committed) {
    cache.Place(result.scores);  // committed but not read back
  }
  if (!result.committed && !result.jobs.empty()) log.Line("store failed: %s", result.error.c_str());
  for (const auto& job : result.jobs) {
    job.waiter->committed = result.committed;
    job.waiter->storeDone = true;
    job.waiter->wake.cancel();
  }
}

void RankServer::Impl::BeginStop() {
  if (stopping) return;
  stopping = true;
  asio::error_code ignored;
  for (tcp::acceptor& acceptor : acceptors) acceptor.close(ignored);
  signals.cancel(ignored);
  sd_notify(0, "STOPPING=1");
  log.Line("stopping: %zu exchanges under way", live.size());
  // Whatever has not finished by then is closed; a commit under way still completes.
  graceTimer.expires_after(options.stopTime);
  graceTimer.async_wait([this](const asio::error_code& e) {
    if (e) return;
    asio::error_code ignoredToo;
    for (Connection* c : live) c->socket.close(ignoredToo);
  });
  EndIfIdle();
}

void RankServer::Impl::EndIfIdle() {
  if (!stopping || !live.empty() || ended) return;
  ended = true;
  graceTimer.cancel();
  worker.Stop();
  log.Line("stopped");
  work.reset();
}

void RaiseOpenFileLimit() {
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }
}

int RankdMain(int argc, const char* const* argv) {
  ServerOptions options;
  std::string error;
  switch (ParseOptions(argc, argv, options, error)) {
    case ParseResult::Help:
      std::fputs(kUsage, stdout);
      return 0;
    case ParseResult::Bad:
      std::fprintf(stderr, "rankd: %s\nTry 'rankd --help' for the options.\n", error.c_str());
      return 2;
    case ParseResult::Run:
      break;
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::unique_ptr<RankStore> store = OpenRankStore(options.db, error);
  if (!store) {
    std::fprintf(stderr, "rankd: cannot open the database: %s\n", error.c_str());
    return 1;
  }
  RankServer server(options, std::move(store));
  if (!server.Start(error)) {
    std::fprintf(stderr, "rankd: %s\n", error.c_str());
    return 1;
  }
  server.Run();
  return 0;
}

}  // namespace rankd
