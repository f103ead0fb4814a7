// The ranking connection, over the platform's sockets.
#include "ranking/ranking_client.h"

#include <cstring>

#include "app/window.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "ranking/host_lookup.h"

RankingClient RankingConnection;

namespace {

// Waits until the socket reports `events` or `ms` pass; true when it did. Under the fake
// clock nothing sleeps: the socket is only looked at, and the clock moves on instead.
bool WaitForConnect(platform::SocketHandle socketHandle, uint32_t ms) {
  const bool fake = platform::FakeClockInUse();
  const int ready = platform::WaitWritable(socketHandle, fake ? 0 : ms);
  if (ready != 0) return true;
  if (fake) platform::WaitUntilElapsed(platform::Ticks(), ms);
  return false;
}

// A connect under way: the window keeps pumping while it lasts, and a server that has not
// answered within `limitMs` counts as unreachable, like one that refused.
bool FinishConnect(platform::SocketHandle socketHandle, uint32_t limitMs) {
  const uint32_t start = platform::Ticks();
  for (;;) {
    const bool ready = WaitForConnect(socketHandle, kConnectWaitStepMs);
    PumpMessages();
    if (ready) return platform::ConnectSucceeded(socketHandle);
    if (platform::Ticks() - start >= limitMs) return false;
  }
}

}  // namespace

bool RankingClient::ConnectTo(const char* host, uint16_t port) {
  Cleanup();
  fillLevel = 0;
  receiveBuffer[0] = 0;
  const uint32_t start = platform::Ticks();
  // Allocated once per exchange, never per frame.
  std::vector<platform::Endpoint> endpoints;
  if (!LookUpHost(host, port, kConnectLimitMs, endpoints)) return false;
  const uint32_t spent = platform::Ticks() - start;
  return spent < kConnectLimitMs && ConnectToAny(endpoints, kConnectLimitMs - spent);
}

bool RankingClient::ConnectToAny(const std::vector<platform::Endpoint>& endpoints, uint32_t limitMs) {
  Cleanup();
  fillLevel = 0;
  receiveBuffer[0] = 0;
  const uint32_t start = platform::Ticks();
  for (size_t i = 0; i < endpoints.size(); ++i) {
    const uint32_t spent = platform::Ticks() - start;
    if (spent >= limitMs) break;
    const auto share = static_cast<uint32_t>((limitMs - spent) / (endpoints.size() - i));
    // Connecting without blocking keeps the window alive while the server is slow to answer.
    if (platform::StartConnect(endpoints[i], socketHandle) && FinishConnect(socketHandle, share) &&
        platform::SetBlocking(socketHandle, true)) {
      endpoint = endpoints[i];
      connected = 1;
      return true;
    }
    Cleanup();
  }
  return false;
}

bool RankingClient::PollReceive(long seconds, long microseconds) {
  if (!connected) return false;
  if (platform::WaitReadable(socketHandle, seconds, microseconds) == 0) return true;  // nothing arrived
  if (fillLevel >= kReceiveCapacity) {
    // A server that fills the whole buffer without ever completing a message only loses
    // its connection; it cannot end the player's program.
    connected = 0;
    return false;
  }
  const long got = platform::Receive(socketHandle, receiveBuffer + fillLevel, kReceiveCapacity - fillLevel);
  if (got == platform::kSocketTryAgain) return true;
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
  // A server that has already gone away gives an error, never a signal that would end the program.
  if (platform::Send(socketHandle, data, count) < 0) {
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
  platform::CloseSocket(socketHandle);
  socketHandle = platform::kNoSocket;
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
