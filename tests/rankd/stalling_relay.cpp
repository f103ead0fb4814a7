// The relay's one thread: a poll over the listener and both ends of every connection, or
// over its wake-up pipe alone while frozen.
#include "tests/rankd/stalling_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rankd_test {

StallingRelay::StallingRelay(uint16_t to) : to_(to) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  socklen_t length = sizeof address;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 64) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      pipe(wake_) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

StallingRelay::~StallingRelay() {
  ending_ = true;
  Freeze(false);
  if (thread_.joinable()) thread_.join();
  for (const auto& [client, server] : pairs_) {
    close(client);
    close(server);
  }
  for (const int fd : {listener_, wake_[0], wake_[1]}) {
    if (fd >= 0) close(fd);
  }
}

void StallingRelay::Freeze(bool frozen) {
  frozen_ = frozen;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(wake_[1], &byte, 1);
}

void StallingRelay::Run() {
  std::vector<pollfd> fds;
  while (!ending_) {
    fds.assign(1, {wake_[0], POLLIN, 0});
    if (!frozen_) {
      fds.push_back({listener_, POLLIN, 0});
      for (const auto& [client, server] : pairs_) {
        fds.push_back({client, POLLIN, 0});
        fds.push_back({server, POLLIN, 0});
      }
    }
    if (poll(fds.data(), fds.size(), 1000) <= 0) continue;
    if (fds[0].revents != 0) {
      char bytes[64];
      [[maybe_unused]] const ssize_t n = read(wake_[0], bytes, sizeof bytes);
      continue;  // frozen or thawed: the descriptors to watch change
    }
    const size_t polled = (fds.size() - 2) / 2;  // connections accepted now come after these
    if (fds[1].revents != 0) Accept();
    std::vector<std::pair<int, int>> kept;
    for (size_t i = 0; i < pairs_.size(); ++i) {
      const auto [client, server] = pairs_[i];
      const bool open = i >= polled || ((fds[2 + 2 * i].revents == 0 || Forward(client, server)) &&
                                        (fds[3 + 2 * i].revents == 0 || Forward(server, client)));
      if (open) {
        kept.push_back(pairs_[i]);
      } else {
        close(client);
        close(server);
      }
    }
    pairs_.swap(kept);
  }
}

void StallingRelay::Accept() {
  const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (client < 0) return;
  const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(to_);
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  if (server < 0 || connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(client);
    if (server >= 0) close(server);
    return;
  }
  pairs_.emplace_back(client, server);
}

bool StallingRelay::Forward(int from, int to) {
  char bytes[16384];
  const ssize_t n = read(from, bytes, sizeof bytes);
  if (n <= 0) return false;
  for (ssize_t sent = 0; sent < n;) {
    const ssize_t w = send(to, bytes + sent, static_cast<size_t>(n - sent), MSG_NOSIGNAL);
    if (w <= 0) return false;
    sent += w;
  }
  return true;
}

}  // namespace rankd_test
