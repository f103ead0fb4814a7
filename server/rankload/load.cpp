// rankload: a load program for rankd, all on one thread (asio, C++20 coroutines).
#include "server/rankload/load.h"

#include <netinet/in.h>

#include <algorithm>
#include <asio.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "wire/protocol.h"
#include "server/rankd/exchange.h"
#include "server/rankd/server.h"
#include "server/rankd/store.h"

namespace rankload {
namespace {

using asio::awaitable;
using asio::ip::tcp;
using namespace asio::experimental::awaitable_operators;
using Clock = std::chrono::steady_clock;
constexpr auto kTuple = asio::experimental::as_tuple(asio::use_awaitable);
// The letters of the run's prefix and of the names' counter, written in base 36.
constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";

const char kUsage[] =
    "Usage: rankload [options]\n"
    "Plays ranking exchanges against a running rankd and checks what it acknowledged.\n"
    "\n"
    "  --host ADDRESS       the server (default 127.0.0.1)\n"
    "  --port N             its port (default 20)\n"
    "  --clients N          exchanges played at once, one after another each (default 200)\n"
    "  --idle N             connections held waiting for a name meanwhile (default 2000)\n"
    "  --seconds S          how long the clients play (default 10)\n"
    "  --submit-percent P   share of exchanges that submit a score, the rest decline (default 10)\n"
    "  --sources N          local addresses 127.0.10.x to connect from, so that the server's\n"
    "                       limit per address holds (default: one per 100 connections)\n"
    "  --pid PID            the server's process, for its peak memory (VmHWM)\n"
    "  --db WHERE           the server's database (file or postgresql:// URI): also check\n"
    "                       there that every acknowledged submission is kept, once\n";

struct Options {
  std::string host = "127.0.0.1";
  uint16_t port = kRankingPort;
  int clients = 200;
  int idle = 2000;
  double seconds = 10;
  int submitPercent = 10;
  int sources = 0;
  long pid = 0;
  std::string db;
};

bool ParseArgs(int argc, const char* const* argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "rankload: %s needs a value\n", name.c_str());
      return false;
    }
    const std::string value = argv[++i];
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    const bool numeric = !value.empty() && *end == 0 && number >= 0;
    if (name == "--host") {
      o.host = value;
    } else if (name == "--db") {
      o.db = value;
    } else if (!numeric) {
      std::fprintf(stderr, "rankload: bad value for %s: '%s'\n", name.c_str(), value.c_str());
      return false;
    } else if (name == "--port" && number <= 65535) {
      o.port = static_cast<uint16_t>(number);
    } else if (name == "--clients" && number >= 1) {
      o.clients = static_cast<int>(number);
    } else if (name == "--idle") {
      o.idle = static_cast<int>(number);
    } else if (name == "--seconds" && number > 0) {
      o.seconds = number;
    } else if (name == "--submit-percent" && number <= 100) {
      o.submitPercent = static_cast<int>(number);
    } else if (name == "--sources" && number >= 1 && number <= 250) {
      o.sources = static_cast<int>(number);
    } else if (name == "--pid") {
      o.pid = static_cast<long>(number);
    } else {
      std::fprintf(stderr, "rankload: unknown option or bad value: %s %s\n", name.c_str(), value.c_str());
      return false;
    }
  }
  return true;
}

long StatusKb(long pid, const char* field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(in, line)) {
    if (line.starts_with(key)) return std::atol(line.c_str() + key.size());
  }
  return -1;
}

// One listing row as the server prints it: rank, name right-aligned in 10 bytes, score.
struct Row {
  std::string name;
  uint32_t score = 0;
};
std::vector<Row> ParseListing(const std::string& text) {
  std::vector<Row> rows;
  size_t at = 0;
  for (int line = 0; at < text.size(); ++line) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    const std::string l = text.substr(at, end - at);
    at = end + 2;
    if (line < 2 || l.size() < 28) continue;
    std::string name = l.substr(8, 10);
    name.erase(0, name.find_first_not_of(' '));
    const auto score = static_cast<uint32_t>(std::strtoll(l.substr(18, 10).c_str(), nullptr, 10));
    if (!name.empty() || score != 0) rows.push_back({name, score});
  }
  return rows;
}

class Load {
 public:
  explicit Load(const Options& o) : o_(o), random_(std::random_device{}()) {
    server_ = tcp::endpoint(asio::ip::make_address(o.host), o.port);
    loopback_ = server_.address().is_loopback();
    const int wanted = o.sources > 0 ? o.sources : std::max(1, (o.clients + o.idle + 99) / 100);
    for (int i = 0; loopback_ && i < wanted; ++i) {
      sources_.push_back(asio::ip::make_address_v4("127.0.10." + std::to_string(1 + i)));
    }
    prefix_ = "L";
    for (int i = 0; i < 2; ++i) prefix_ += kDigits[random_() % 36];
  }

  int Run() {
    asio::co_spawn(io_, Main(), asio::detached);
    io_.run();
    return Report();
  }

 private:
  struct Exchange {
    bool ok = false;
    bool submitted = false;
    rankd::Score score;
    std::string listing;
  };

  awaitable<bool> Connect(tcp::socket& s) {
    asio::error_code ec;
    s.open(tcp::v4(), ec);
    if (ec) co_return false;
    if (!sources_.empty()) {
      // The port is chosen at connect time, per destination, so many sources share the range.
      const int one = 1;
      setsockopt(s.native_handle(), IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &one, sizeof one);
      s.bind(tcp::endpoint(sources_[nextSource_++ % sources_.size()], 0), ec);
      if (ec) co_return false;
    }
    auto [e] = co_await s.async_connect(server_, kTuple);
    co_return !e;
  }

  // The request, the reply, and the answer; false on any failure.
  awaitable<bool> Begin(tcp::socket& s, int mode, uint32_t& threshold) {
    if (!co_await Connect(s)) co_return false;
    uint8_t request[kRankRequestBytes];
    EncodeRankRequest(RankRequest{static_cast<uint8_t>(mode)}, request);
    auto [we, wn] = co_await asio::async_write(s, asio::buffer(request), kTuple);
    if (we) co_return false;
    uint8_t reply[kThresholdReplyBytes];
    auto [re, rn] = co_await asio::async_read(s, asio::buffer(reply), kTuple);
    if (re) co_return false;
    threshold = DecodeThresholdReply(reply);
    co_return true;
  }

  // Sends the answer and reads the header and the listing, in as few reads as they came in;
  // the listing is kept only when `listing` is given.
  awaitable<bool> Finish(tcp::socket& s, const uint8_t* answer, size_t size, std::string* listing) {
    auto [we, wn] = co_await asio::async_write(s, asio::buffer(answer, size), kTuple);
    if (we) co_return false;
    uint8_t bytes[4096];
    size_t have = 0;
    size_t need = kRankTextHeaderBytes;
    while (have < need) {
      auto [re, n] = co_await s.async_read_some(asio::buffer(bytes + have, sizeof bytes - have), kTuple);
      if (re) co_return false;
      have += n;
      if (have >= kRankTextHeaderBytes) {
        const uint32_t length = DecodeRankTextHeader(bytes);
        if (length > sizeof bytes - kRankTextHeaderBytes) co_return false;
        need = kRankTextHeaderBytes + length;
      }
    }
    if (listing != nullptr) listing->assign(bytes + kRankTextHeaderBytes, bytes + need);
    co_return true;
  }

  std::string NextName() {
    std::string tail;
    for (uint32_t n = counter_++; tail.empty() || n > 0; n /= 36) tail.insert(tail.begin(), kDigits[n % 36]);
    return prefix_ + tail;
  }

  awaitable<void> PlayOn(tcp::socket& s, int mode, bool submit, Exchange& result, bool keep) {
    uint32_t threshold = 0;
    if (!co_await Begin(s, mode, threshold)) co_return;
    if (submit) {
      const std::string name = NextName();
      ScoreSubmission sub;
      std::memcpy(sub.name, name.data(), name.size());
      sub.stage = 1 + static_cast<int32_t>(random_() % 50);
      sub.score = threshold + 1 + random_() % 1000;
      sub.bestCombo = static_cast<int32_t>(random_() % 200);
      sub.playSeconds = random_() % 3000;
      sub.checkCode = CheckCode(sub.score, sub.stage, sub.bestCombo, sub.playSeconds);
      uint8_t bytes[kScoreSubmissionBytes];
      EncodeScoreSubmission(sub, bytes);
      result.submitted = true;
      result.score = rankd::ScoreFromSubmission(mode, sub);
      result.ok = co_await Finish(s, bytes, sizeof bytes, keep ? &result.listing : nullptr);
    } else {
      uint8_t bytes[kRankDeclineBytes];
      EncodeRankDecline(bytes);
      result.ok = co_await Finish(s, bytes, sizeof bytes, keep ? &result.listing : nullptr);
    }
  }

  // A single exchange with a time limit: one that takes 10 seconds counts as failed.
  awaitable<void> Play(int mode, bool submit, Exchange& result) {
    tcp::socket s(io_);
    asio::steady_timer limit(io_, std::chrono::seconds(10));
    co_await (PlayOn(s, mode, submit, result, true) || limit.async_wait(kTuple));
  }

  // A client plays exchanges one after another until the time is up. Each has 10 seconds:
  // a watchdog beside the client cancels the one that overruns.
  struct ClientState {
    explicit ClientState(asio::io_context& io) : socket(io) {}
    tcp::socket socket;
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);  // only ever moves on
  };
  awaitable<void> Watchdog(ClientState& state) {
    asio::steady_timer timer(io_);
    for (;;) {
      timer.expires_at(state.deadline);
      auto [ec] = co_await timer.async_wait(kTuple);
      if (ec) co_return;  // the client is done
      if (Clock::now() >= state.deadline) {
        asio::error_code ignored;
        state.socket.close(ignored);
        state.deadline = Clock::now() + std::chrono::seconds(10);
      }
    }
  }
  awaitable<void> Plays(ClientState& state) {
    Exchange result;
    while (Clock::now() < end_) {
      const int mode = static_cast<int>(random_() % 3);
      const bool submit = static_cast<int>(random_() % 100) < o_.submitPercent;
      const Clock::time_point begun = Clock::now();
      state.deadline = begun + std::chrono::seconds(10);
      result.ok = false;
      result.submitted = false;
      co_await PlayOn(state.socket, mode, submit, result, false);
      asio::error_code ignored;
      state.socket.close(ignored);
      if (result.ok) {
        const auto us = static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begun).count());
        latencyUs_.push_back(us);
        (submit ? submitUs_ : declineUs_).push_back(us);
        ++(submit ? submissions_ : declines_);
      } else {
        ++errors_;
      }
      if (result.submitted) (result.ok ? acked_ : unacked_).push_back(result.score);
    }
  }
  awaitable<void> Client() {
    ClientState state(io_);
    co_await (Plays(state) || Watchdog(state));
    Done();
  }

  // Connects, takes the score to beat, waits until the clients are done, then declines.
  awaitable<void> Idle() {
    tcp::socket s(io_);
    uint32_t threshold = 0;
    asio::steady_timer limit(io_, std::chrono::seconds(30));
    auto begun = co_await (Begin(s, static_cast<int>(random_() % 3), threshold) || limit.async_wait(kTuple));
    const bool ready = begun.index() == 0 && std::get<0>(begun);
    ++(ready ? idleHeld_ : idleFailed_);
    Done();
    if (!ready) co_return;
    co_await release_.async_wait(kTuple);
    uint8_t decline[kRankDeclineBytes];
    EncodeRankDecline(decline);
    std::string listing;
    limit.expires_after(std::chrono::seconds(10));
    auto ended = co_await (Finish(s, decline, sizeof decline, &listing) || limit.async_wait(kTuple));
    ++(ended.index() == 0 && std::get<0>(ended) ? idleAnswered_ : idleFailed_);
    Done();
  }

  void Done() {
    --running_;
    wake_.cancel();
  }
  awaitable<void> WaitForAll() {
    while (running_ > 0) {
      wake_.expires_at(Clock::time_point::max());
      co_await wake_.async_wait(kTuple);
    }
  }

  awaitable<bool> Listings(std::string out[rankd::kModes]) {
    for (int mode = 0; mode < rankd::kModes; ++mode) {
      Exchange result;
      co_await Play(mode, false, result);
      if (!result.ok) co_return false;
      out[mode] = result.listing;
    }
    co_return true;
  }

  awaitable<void> Main() {
    listingsOk_ = co_await Listings(before_);
    running_ = o_.idle;
    release_.expires_at(Clock::time_point::max());
    for (int i = 0; i < o_.idle; ++i) asio::co_spawn(io_, Idle(), asio::detached);
    co_await WaitForAll();
    hwmBefore_ = o_.pid > 0 ? StatusKb(o_.pid, "VmHWM") : -1;

    begun_ = Clock::now();
    end_ = begun_ + std::chrono::microseconds(std::llround(o_.seconds * 1e6));
    running_ = o_.clients;
    for (int i = 0; i < o_.clients; ++i) asio::co_spawn(io_, Client(), asio::detached);
    co_await WaitForAll();
    elapsed_ = std::chrono::duration<double>(Clock::now() - begun_).count();

    running_ = idleHeld_;
    release_.cancel();
    co_await WaitForAll();
    listingsOk_ = co_await Listings(after_) && listingsOk_;
  }

  int Report() {
    const long hwm = o_.pid > 0 ? StatusKb(o_.pid, "VmHWM") : -1;
    for (auto* list : {&latencyUs_, &declineUs_, &submitUs_}) std::sort(list->begin(), list->end());
    auto percentile = [](const std::vector<uint32_t>& list, double p) {
      if (list.empty()) return 0.0;
      const size_t i = std::min(list.size() - 1, static_cast<size_t>(p * static_cast<double>(list.size())));
      return list[i] / 1000.0;
    };
    const long exchanges = declines_ + submissions_;
    std::printf("rankload: %d clients for %.1f s, %d idle connections, %d%% submissions, %zu source addresses\n",
                o_.clients, o_.seconds, o_.idle, o_.submitPercent, sources_.size());
    std::printf("exchanges: %ld complete (%ld declines, %ld submissions) in %.2f s = %.0f per second\n", exchanges,
                declines_, submissions_, elapsed_, exchanges / std::max(elapsed_, 1e-9));
    std::printf("latency: p50 %.2f ms, p99 %.2f ms, max %.2f ms (declines p50 %.2f, p99 %.2f; submissions p50 %.2f, "
                "p99 %.2f)\n",
                percentile(latencyUs_, 0.50), percentile(latencyUs_, 0.99),
                latencyUs_.empty() ? 0.0 : latencyUs_.back() / 1000.0, percentile(declineUs_, 0.5),
                percentile(declineUs_, 0.99), percentile(submitUs_, 0.5), percentile(submitUs_, 0.99));
    std::printf("errors: %ld exchanges; idle connections: %ld held, %ld answered at the end, %ld failed\n", errors_,
                idleHeld_, idleAnswered_, idleFailed_);
    if (o_.pid > 0) std::printf("server peak memory (VmHWM): %ld kB (%ld kB before the clients began)\n", hwm, hwmBefore_);
    bool good = errors_ == 0 && idleFailed_ == 0 && listingsOk_;
    good = CheckThroughServer() && good;
    if (!o_.db.empty()) good = CheckDatabase() && good;
    std::printf("%s\n", good ? "result: good" : "result: FAILED");
    return good ? 0 : 1;
  }

  // The final listings hold only known rows, none twice, and every acknowledged submission
  // that scores above the lowest listed score of its mode.
  bool CheckThroughServer() {
    if (!listingsOk_) {
      std::printf("check through the server: the listings could not be read\n");
      return false;
    }
    std::map<std::string, const rankd::Score*> sent;
    for (const auto* list : {&acked_, &unacked_}) {
      for (const rankd::Score& s : *list) sent.emplace(s.name, &s);
    }
    size_t belong = 0;
    size_t missing = 0;
    size_t strangers = 0;
    size_t twice = 0;
    for (int mode = 0; mode < rankd::kModes; ++mode) {
      const std::vector<Row> rows = ParseListing(after_[mode]);
      std::map<std::string, uint32_t> known;
      for (const Row& r : ParseListing(before_[mode])) known.emplace(r.name, r.score);
      std::map<std::string, int> seen;
      for (const Row& r : rows) {
        if (++seen[r.name] > 1 && r.name.starts_with(prefix_)) ++twice;
        const auto it = sent.find(r.name);
        const bool ours = it != sent.end() && it->second->mode == mode && it->second->score == r.score;
        const bool old = known.contains(r.name) && known[r.name] == r.score;
        if (!ours && !old) ++strangers;
      }
      const uint32_t lowest = rows.size() < 20 ? 0 : rows.back().score;
      for (const rankd::Score& s : acked_) {
        if (s.mode != mode || s.score <= lowest) continue;
        ++belong;
        if (!seen.contains(s.name)) ++missing;
      }
    }
    std::printf("check through the server: %zu acknowledged submissions (%zu sent without an answer); "
                "%zu of them belong in the final listings: %zu missing, %zu unknown rows, %zu twice\n",
                acked_.size(), unacked_.size(), belong, missing, strangers, twice);
    return missing == 0 && strangers == 0 && twice == 0;
  }

  bool CheckDatabase() {
    std::string error;
    auto store = rankd::OpenRankStore(o_.db, error);
    std::vector<rankd::Score> kept;
    if (!store || !store->LoadAll(kept)) {
      std::printf("check of the database: cannot read it: %s\n", store ? store->Error().c_str() : error.c_str());
      return false;
    }
    std::map<std::string, int> count;
    std::map<std::string, const rankd::Score*> byName;
    for (const rankd::Score& s : kept) {
      if (!s.name.starts_with(prefix_)) continue;
      ++count[s.name];
      byName[s.name] = &s;
    }
    size_t missing = 0;
    size_t wrong = 0;
    size_t twice = 0;
    for (const auto& [name, n] : count) twice += n > 1 ? 1 : 0;
    for (const rankd::Score& s : acked_) {
      const auto it = byName.find(s.name);
      if (it == byName.end()) {
        ++missing;
      } else if (!(*it->second == s)) {
        ++wrong;
      }
    }
    std::printf("check of the database: %zu rows of this run kept; of %zu acknowledged: %zu missing, %zu different, "
                "%zu kept twice\n",
                count.size(), acked_.size(), missing, wrong, twice);
    return missing == 0 && wrong == 0 && twice == 0;
  }

  Options o_;
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
  long idleHeld_ = 0;
  long idleAnswered_ = 0;
  long idleFailed_ = 0;
  long hwmBefore_ = -1;
  std::vector<rankd::Score> acked_;
  std::vector<rankd::Score> unacked_;
  bool listingsOk_ = false;
  std::string before_[rankd::kModes];
  std::string after_[rankd::kModes];
};

}  // namespace

int RankloadMain(int argc, const char* const* argv) {
  Options options;
  if (!ParseArgs(argc, argv, options)) return 2;
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
