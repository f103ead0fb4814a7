// The scripted loopback ranking server of the tests.
#include "support/scripted_server.h"

#include "support/sockets.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

ScriptStep Send(Bytes bytes) {
  ScriptStep step;
  step.kind = ScriptStep::kSend;
  step.bytes = std::move(bytes);
  return step;
}

ScriptStep Receive(size_t count) {
  ScriptStep step;
  step.kind = ScriptStep::kReceive;
  step.count = count;
  return step;
}

ScriptStep Pause(int ms) {
  ScriptStep step;
  step.kind = ScriptStep::kPause;
  step.ms = ms;
  return step;
}

ScriptStep CloseConnection() { return ScriptStep{}; }

ScriptStep Hold() {
  ScriptStep step;
  step.kind = ScriptStep::kHold;
  return step;
}

namespace {

// A loopback address of either family, port 0 (any free port); its length.
socklen_t Loopback(bool ipv6, sockaddr_storage& address) {
  address = sockaddr_storage{};
  if (ipv6) {
    auto& six = reinterpret_cast<sockaddr_in6&>(address);
    six.sin6_family = AF_INET6;
    six.sin6_addr = in6addr_loopback;
    return sizeof six;
  }
  auto& four = reinterpret_cast<sockaddr_in&>(address);
  four.sin_family = AF_INET;
  four.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return sizeof four;
}

// A socket listening on the loopback address; -1 when it cannot be made. `port` tells where.
int ListenOnLoopback(bool ipv6, uint16_t& port) {
  SocketsStarted();
  sockaddr_storage address;
  socklen_t length = Loopback(ipv6, address);
  const int listener = static_cast<int>(socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (listener < 0) return -1;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener, 4) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(listener);
    return -1;
  }
  port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                    : reinterpret_cast<sockaddr_in&>(address).sin_port);
  return listener;
}

}  // namespace

bool ScriptedServer::HasIpv6Loopback() {
  uint16_t port = 0;
  const int probe = ListenOnLoopback(true, port);
  if (probe < 0) return false;
  close(probe);
  return true;
}

ScriptedServer::ScriptedServer(std::vector<ScriptStep> script, bool ipv6) {
  listener_ = ListenOnLoopback(ipv6, port_);
  if (listener_ < 0) {
    std::perror("scripted server");
    std::abort();
  }
  thread_ = std::thread(&ScriptedServer::Run, this, std::move(script));
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  thread_.join();
  if (connection_ >= 0) close(connection_);
  close(listener_);
}

Bytes ScriptedServer::Received() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

bool ScriptedServer::ReadSome(size_t limit) {
  for (;;) {
    if (stop_) return false;
    pollfd watch{};
    watch.fd = connection_;  // an int here, Windows' SOCKET there
    watch.events = POLLIN;
    if (poll(&watch, 1, 2) <= 0) continue;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      state_ = State::Busy;
    }
    uint8_t chunk[4096];
    const auto got = recv(connection_, reinterpret_cast<char*>(chunk), limit < sizeof chunk ? limit : sizeof chunk, 0);
    if (got <= 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    received_.insert(received_.end(), chunk, chunk + got);
    return true;
  }
}

void ScriptedServer::Run(std::vector<ScriptStep> script) {
  while (!stop_ && connection_ < 0) {
    pollfd watch{};
    watch.fd = listener_;
    watch.events = POLLIN;
    if (poll(&watch, 1, 2) > 0) connection_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  }
  for (const ScriptStep& step : script) {
    if (stop_ || connection_ < 0) break;
    if (step.kind == ScriptStep::kSend) {
      size_t sent = 0;
      while (sent < step.bytes.size()) {
        const auto n = send(connection_, reinterpret_cast<const char*>(step.bytes.data()) + sent,
                            step.bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
      }
      if (sent < step.bytes.size()) break;
    } else if (step.kind == ScriptStep::kReceive || step.kind == ScriptStep::kHold) {
      size_t want = step.kind == ScriptStep::kHold ? SIZE_MAX : Received().size() + step.count;
      bool open = true;
      while (open && Received().size() < want) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          state_ = State::Reading;
        }
        open = ReadSome(want - Received().size());
      }
      if (!open) break;
    } else if (step.kind == ScriptStep::kPause) {
      std::this_thread::sleep_for(std::chrono::milliseconds(step.ms));
    } else {
      break;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = State::Busy;
  }
  if (connection_ >= 0) shutdown(connection_, SHUT_RDWR);
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = State::Done;
}

bool ScriptedServer::ClientsTurn() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_ == State::Done) return true;
  if (state_ != State::Reading) return false;
  int unread = 0;
  return UnreadBytes(connection_, unread) == 0 && unread == 0;
}

void ScriptedServer::WaitForClientsTurn() {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!ClientsTurn() && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

bool ScriptedServer::WaitUntilDone() {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (state_ == State::Done) return true;
    }
    if (std::chrono::steady_clock::now() >= limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

static sockaddr_in LoopbackAddress() {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

uint16_t ClosedPort() {
  SocketsStarted();
  const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = LoopbackAddress();
  socklen_t length = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  close(probe);
  return ntohs(address.sin_port);
}

HangingListener::HangingListener() {
  SocketsStarted();
  sockaddr_in address = LoopbackAddress();
  socklen_t length = sizeof address;
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener_, 0);
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  filler_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

HangingListener::~HangingListener() {
  close(filler_);
  close(listener_);
}

// Written out here byte by byte rather than with the game's encoders, so a mistake in
// those cannot hide itself.
static void PutLittleEndian(Bytes& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

Bytes ThresholdReplyBytes(uint32_t threshold) {
  Bytes out(56, 0xEE);  // bytes the client does not read
  PutLittleEndian(out, 52, threshold);
  return out;
}

Bytes RankTextBytes(uint32_t length, const Bytes& text) {
  Bytes out(8, 0xEE);
  PutLittleEndian(out, 4, length);
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}
