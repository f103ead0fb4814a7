// The web side's door: admission by address and the request's deadline, around
// cpp-httplib's handling of one request.
#include "server/rankd/web_door.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <charconv>

#include "server/rankd/address_key.h"

namespace rankd {
namespace {

using Clock = std::chrono::steady_clock;

// One connection as cpp-httplib reads and writes it: every read waits at most until the
// request's deadline, every write until the answer's.
class DeadlineStream final : public httplib::Stream {
 public:
  DeadlineStream(int sock, Clock::time_point readBy) : sock_(sock), readBy_(readBy) {}

  bool is_readable() const override { return Ready(POLLIN, readBy_); }
  bool is_writable() const override {
    if (writeBy_ == Clock::time_point{}) writeBy_ = Clock::now() + WebDoor::kAnswerTime;
    return Ready(POLLOUT, writeBy_);
  }
  ssize_t read(char* ptr, size_t size) override {
    if (!is_readable()) return -1;
    return ::recv(sock_, ptr, size, 0);
  }
  ssize_t write(const char* ptr, size_t size) override {
    if (!is_writable()) return -1;
    return ::send(sock_, ptr, size, MSG_NOSIGNAL);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override { Name(getpeername, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { Name(getsockname, ip, port); }
  socket_t socket() const override { return sock_; }

 private:
  bool Ready(short event, Clock::time_point by) const {
    for (;;) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(by - Clock::now()).count();
      if (left <= 0) return false;
      pollfd fd{sock_, event, 0};
      const int n = ::poll(&fd, 1, static_cast<int>(left));
      if (n > 0) return true;
      if (n == 0 || errno != EINTR) return false;
    }
  }
  void Name(int (*get)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    ip.clear();
    port = 0;
    if (get(sock_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    ip = AddressText(reinterpret_cast<const sockaddr*>(&address));
    if (address.ss_family == AF_INET) port = ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    if (address.ss_family == AF_INET6) port = ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
  }

  int sock_;
  Clock::time_point readBy_;
  mutable Clock::time_point writeBy_{};
};

}  // namespace

namespace {

// /replays/ID, with ID as ReplayPath writes it: anything else names no replay.
WebRoute ParseReplayPath(std::string_view which) {
  if (which.empty() || which[0] == '0') return {};
  for (const char c : which) {
    if (c < '0' || c > '9') return {};
  }
  long long id = 0;
  const auto [end, ec] = std::from_chars(which.data(), which.data() + which.size(), id);
  if (ec != std::errc{} || end != which.data() + which.size()) return {};  // past 2^63 - 1
  return {WebRoute::Kind::Replay, -1, id};
}

}  // namespace

WebRoute ParseWebPath(std::string_view path) {
  using Kind = WebRoute::Kind;
  if (path == "/") return {Kind::Page};
  if (path == "/healthz") return {Kind::Health};
  if (path == "/metrics") return {Kind::Metrics};
  constexpr std::string_view kReplays = "/replays/";
  if (path.starts_with(kReplays)) return ParseReplayPath(path.substr(kReplays.size()));
  constexpr std::string_view kRankings = "/api/rankings/";
  if (!path.starts_with(kRankings) || path.size() == kRankings.size()) return {};
  const std::string_view which = path.substr(kRankings.size());
  for (const char c : which) {
    if (c < '0' || c > '9') return {};
  }
  if (which.size() != 1 || which[0] > '2') return {Kind::NoSuchMode};
  return {Kind::Rankings, which[0] - '0'};
}

WebDoor::WebDoor() {
  new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
}

bool WebDoor::process_and_close_socket(socket_t sock) {
  const auto accepted = Clock::now();
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  const bool named = getpeername(sock, reinterpret_cast<sockaddr*>(&peer), &length) == 0;
  const std::string key = named ? AddressKey(reinterpret_cast<const sockaddr*>(&peer)) : "";
  bool served = false;
  if (named && Admit(key)) {
    DeadlineStream stream(sock, accepted + kRequestTime);
    bool closed = false;
    served = process_request(stream, true, closed, nullptr);
    Leave(key);
  }
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  return served;
}

bool WebDoor::Admit(const std::string& key) {
  std::lock_guard lock(mutex_);
  int& held = perAddress_[key];
  if (held >= kPerAddress) return false;
  ++held;
  return true;
}

void WebDoor::Leave(const std::string& key) {
  std::lock_guard lock(mutex_);
  if (--perAddress_[key] <= 0) perAddress_.erase(key);
}

}  // namespace rankd
