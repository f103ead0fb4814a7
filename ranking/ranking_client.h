#pragma once
// netplay's one TCP connection to the ranking server: connects, polls for incoming bytes
// without blocking, collects them in a fixed receive buffer, sends byte blocks, and lets
// the exchange take whole messages off the front. It knows nothing of the messages.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/net.h"

inline constexpr uint32_t kReceiveCapacity = 50000;
// How long a connect, the name's lookup included, may take before the server counts as
// unreachable.
inline constexpr uint32_t kConnectLimitMs = 5000;
// The longest single wait while connecting, so the window keeps answering.
inline constexpr uint32_t kConnectWaitStepMs = 5;

struct RankingClient {
  intptr_t socketHandle = -1;  // a platform::SocketHandle
  uint8_t connected = 0;
  platform::Endpoint endpoint;                       // the address the last connect reached
  uint32_t fillLevel = 0;                            // bytes held at the front, 0..50000
  uint8_t receiveBuffer[kReceiveCapacity + 1] = {};  // a zero byte follows the data

  // Begins an exchange: closes an earlier socket, empties the buffer, looks the host up (a
  // name, a dotted IPv4 address or an IPv6 address without brackets) and connects to its
  // addresses in turn (ConnectToAny). Pumps the window's messages all along and gives up
  // after kConnectLimitMs in all. True when connected.
  bool ConnectTo(const char* host, uint16_t port);
  // Connects to the first of the endpoints that answers, trying them in order; each gets an
  // equal share of the time left, so one that never answers leaves time for the next.
  // Pumps the window's messages meanwhile. True when connected (`endpoint` then tells where).
  bool ConnectToAny(const std::vector<platform::Endpoint>& endpoints, uint32_t limitMs);
  // Waits at most the given time for bytes and receives what fits into the free space.
  // True while connected (bytes or not), false when not connected or the connection ended now.
  bool PollReceive(long seconds, long microseconds);
  // Hands the whole block to the socket once. True when sent, false when not connected or failed.
  bool SendBytes(const void* data, size_t count);
  // Removes n bytes from the front (all of them when n is more than the fill level).
  void Consume(uint32_t n);
  // Closes the socket, if one was made. Safe on every way out, also after a failed connect.
  void Cleanup();
  // Appends bytes as a receive would (what fits, then the zero byte); returns the count
  // taken. For feeding the exchange without a socket.
  uint32_t Deliver(const uint8_t* data, size_t count);
};

// The program's one connection, reused by every game's exchange.
extern RankingClient RankingConnection;
