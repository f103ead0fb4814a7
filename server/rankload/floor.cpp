// rankfloor: the ranking exchange answered by the least a server can do, for the floor of
// what the machine's kernel costs per exchange. One thread, one epoll set, sockets that
// never block; every request gets the score to beat of an empty listing and every answer
// that listing, nothing is kept and nothing is logged. rankload measures it as it measures
// rankd, with declines only (a submission is acknowledged and never listed).
#include "server/rankload/floor.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "server/rankd/rank_cache.h"
#include "wire/protocol.h"

namespace rankload {
namespace {

struct Client {
  int fd = -1;
  bool answering = false;  // the score to beat was sent; the decline or submission comes
  size_t held = 0;
  uint8_t bytes[kScoreSubmissionBytes] = {};
};

// How many bytes the message under way still lacks.
size_t Wanted(const Client& c) {
  if (!c.answering) return kRankRequestBytes - c.held;
  if (c.held == 0) return 1;
  return (c.bytes[0] == kRankDeclineType ? kRankDeclineBytes : kScoreSubmissionBytes) - c.held;
}

class Floor {
 public:
  explicit Floor(int listener, int signals)
      : listener_(listener), signals_(signals), listing_(rankd::RankTextMessage(ScoreTable{})) {
    EncodeThresholdReply(0, reply_);
  }
  ~Floor() {
    for (Client* c : clients_) {
      close(c->fd);
      delete c;
    }
  }

  int Run() {
    epoll_event ready[64];
    for (;;) {
      const int n = epoll_wait(epoll_, ready, 64, -1);
      if (n < 0 && errno != EINTR) return 1;
      for (int i = 0; i < n; ++i) {
        if (ready[i].data.ptr == &signals_) return 0;
        if (ready[i].data.ptr == &listener_) {
          AcceptAll();
        } else {
          Serve(*static_cast<Client*>(ready[i].data.ptr));
        }
      }
    }
  }

  bool Watch(int fd, void* tag) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.ptr = tag;
    return epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) == 0;
  }

  bool Open() {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    return epoll_ >= 0 && Watch(listener_, &listener_) && Watch(signals_, &signals_);
  }

 private:
  void AcceptAll() {
    for (;;) {
      const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) return;
      auto* c = new Client;
      c->fd = fd;
      clients_.insert(c);
      if (!Watch(fd, c)) {
        End(c);
        continue;
      }
      Serve(*c);  // the request has usually come with the connection
    }
  }

  void Serve(Client& c) {
    for (;;) {
      const ssize_t n = recv(c.fd, c.bytes + c.held, Wanted(c), 0);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      if (n <= 0) return End(&c);
      c.held += static_cast<size_t>(n);
      if (Wanted(c) > 0) continue;
      if (!c.answering) {
        c.answering = true;
        c.held = 0;
        if (send(c.fd, reply_, sizeof reply_, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof reply_)) return End(&c);
        continue;
      }
      // Sent with the connection's end in one segment, as rankd does.
      send(c.fd, listing_.data(), listing_.size(), MSG_NOSIGNAL | MSG_MORE);
      return End(&c);
    }
  }

  void End(Client* c) {
    close(c->fd);  // leaves the epoll set with it
    clients_.erase(c);
    delete c;
  }

  int listener_;
  int signals_;
  int epoll_ = -1;
  uint8_t reply_[kThresholdReplyBytes] = {};
  std::vector<uint8_t> listing_;
  std::unordered_set<Client*> clients_;  // those still open when the floor ends
};

}  // namespace

int RankfloorMain(int argc, char** argv) {
  unsigned port = 0;
  if (argc == 3 && std::string_view(argv[1]) == "--port") {
    const std::string_view text(argv[2]);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (ec != std::errc() || end != text.data() + text.size() || port > 65535) argc = 0;
  }
  if (argc != 1 && argc != 3) {
    std::fprintf(stderr,
                 "Usage: rankfloor [--port N]\n"
                 "Answers ranking exchanges on 127.0.0.1 with fixed bytes, keeping nothing: the floor\n"
                 "of a server's processor time per exchange on this machine (measure it with rankload).\n"
                 "Port 0 (the default) lets the system choose. Ends on SIGTERM or SIGINT.\n");
    return 2;
  }
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  sigprocmask(SIG_BLOCK, &stop, nullptr);
  const int signals = signalfd(-1, &stop, SFD_CLOEXEC);
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  at.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t size = sizeof at;
  const int yes = 1;
  if (signals < 0 || listener < 0 || setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
      bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(listener, SOMAXCONN) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
    std::fprintf(stderr, "rankfloor: cannot listen on 127.0.0.1 port %u: %s\n", port, std::strerror(errno));
    return 1;
  }
  Floor floor(listener, signals);
  if (!floor.Open()) {
    std::fprintf(stderr, "rankfloor: cannot watch the sockets: %s\n", std::strerror(errno));
    return 1;
  }
  std::fprintf(stderr, "rankfloor: listening on 127.0.0.1:%u\n", ntohs(at.sin_port));
  return floor.Run();
}

}  // namespace rankload
