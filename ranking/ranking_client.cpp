// The ranking connection over POSIX sockets.
#include "ranking/ranking_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "app/window.h"
#include "platform/clock.h"

RankingClient RankingConnection;

namespace {

// Waits until the socket reports `events` or `ms` pass; true when it did. Under the fake
// clock nothing sleeps: the socket is only looked at, and the clock moves on instead.
bool WaitForSocket(int socketHandle, short events, uint32_t ms) {
  pollfd watch{socketHandle, events, 0};
  const bool fake = platform::FakeClockInUse();
  const int ready = poll(&watch, 1, fake ? 0 : static_cast<int>(ms));
  if (ready > 0) return true;
  if (fake) platform::WaitUntilElapsed(platform::Ticks(), ms);
  return false;
}

bool SetBlocking(int socketHandle, bool blocking) {
  const int flags = fcntl(socketHandle, F_GETFL);
  if (flags < 0) return false;
  const int wanted = blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK;
  return fcntl(socketHandle, F_SETFL, wanted) == 0;
}

// A connect under way: the window keeps pumping while it lasts, and a server that has not
// answered within the limit counts as unreachable, like one that refused.
bool FinishConnect(int socketHandle) {
  const uint32_t start = platform::Ticks();
  for (;;) {
    const bool ready = WaitForSocket(socketHandle, POLLOUT, kConnectWaitStepMs);
    PumpMessages();
    if (ready) {
      int error = 0;
      socklen_t length = sizeof error;
      if (getsockopt(socketHandle, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
      return error == 0;
    }
    if (platform::Ticks() - start >= kConnectLimitMs) return false;
  }
}

}  // namespace

bool RankingClient::ConnectTo(const char* address, uint16_t port) {
  Cleanup();
  fillLevel = 0;
  receiveBuffer[0] = 0;
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(port);
  if (inet_pton(AF_INET, address, &server.sin_addr) != 1) return false;

  socketHandle = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (socketHandle < 0) return false;
  // Connecting without blocking keeps the window alive while the server is slow to answer.
  if (!SetBlocking(socketHandle, false)) return false;
  if (connect(socketHandle, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
    if (errno != EINPROGRESS || !FinishConnect(socketHandle)) return false;
  }
  if (!SetBlocking(socketHandle, true)) return false;
  connected = 1;
  return true;
}

bool RankingClient::PollReceive(long seconds, long microseconds) {
  if (!connected) return false;
  pollfd watch{socketHandle, POLLIN, 0};
  const timespec limit{seconds + microseconds / 1000000, (microseconds % 1000000) * 1000};
  if (ppoll(&watch, 1, &limit, nullptr) <= 0) return true;  // nothing arrived
  if (fillLevel >= kReceiveCapacity) {
    // A server that fills the whole buffer without ever completing a message only loses
    // its connection; it cannot end the player's program.
    connected = 0;
    return false;
  }
  const ssize_t got = recv(socketHandle, receiveBuffer + fillLevel, kReceiveCapacity - fillLevel, 0);
  if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return true;
  if (got <= 0) {
    connected = 0;
    return false;
  }
  fillLevel += static_cast<uint32_t>(got);
  receiveBuffer[fillLevel] = 0;
  return true;
}

bool RankingClient::SendBytes(const void* data, size_t count) {
  if (!connected) return false;
  // MSG_NOSIGNAL: a server that has already gone away gives an error, not a signal that
  // would end the program.
  if (send(socketHandle, data, count, MSG_NOSIGNAL) < 0) {
    connected = 0;
    return false;
  }
  return true;
}

void RankingClient::Consume(uint32_t n) {
  if (n >= fillLevel) {
    fillLevel = 0;
    receiveBuffer[0] = 0;
    return;
  }
  const uint32_t rest = fillLevel - n;
  std::memmove(receiveBuffer, receiveBuffer + n, rest);
  std::memset(receiveBuffer + rest, 0, n);
  fillLevel = rest;
}

void RankingClient::Cleanup() {
  if (socketHandle >= 0) close(socketHandle);
  socketHandle = -1;
  connected = 0;
}

uint32_t RankingClient::Deliver(const uint8_t* data, size_t count) {
  const uint32_t room = kReceiveCapacity - fillLevel;
  const uint32_t taken = count < room ? static_cast<uint32_t>(count) : room;
  if (taken > 0) std::memcpy(receiveBuffer + fillLevel, data, taken);
  fillLevel += taken;
  receiveBuffer[fillLevel] = 0;
  return taken;
}
