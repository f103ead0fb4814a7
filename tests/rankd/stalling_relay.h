#pragma once
// A TCP relay in front of a server that can stop forwarding at will: to its clients the
// server then looks like a host that froze (connections are still taken and bytes still
// accepted by the kernel, but nothing ever answers), which is what a stopped database
// process or a network that drops packets looks like from the outside.
#include <atomic>
#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

namespace rankd_test {

class StallingRelay {
 public:
  // Listens on a free port of 127.0.0.1 and relays each connection to 127.0.0.1:`to`.
  explicit StallingRelay(uint16_t to);
  ~StallingRelay();
  StallingRelay(const StallingRelay&) = delete;
  StallingRelay& operator=(const StallingRelay&) = delete;

  uint16_t port() const { return port_; }
  // Frozen, nothing is accepted, read or forwarded; thawed, what waited goes through.
  void Freeze(bool frozen);

 private:
  void Run();
  void Accept();
  // Moves what `from` has to `to`; false when either end closed.
  static bool Forward(int from, int to);

  uint16_t to_;
  uint16_t port_ = 0;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::atomic<bool> frozen_{false};
  std::atomic<bool> ending_{false};
  std::vector<std::pair<int, int>> pairs_;  // (client, server) of each connection
  std::thread thread_;
};

}  // namespace rankd_test
