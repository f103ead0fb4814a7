#pragma once
// netplay's one TCP connection to the ranking server: connects, polls for incoming bytes
// without blocking, collects them in a fixed receive buffer, sends byte blocks, and lets
// the exchange take whole messages off the front. It knows nothing of the messages.
#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kReceiveCapacity = 50000;
// How long a connect may take before the server counts as unreachable.
inline constexpr uint32_t kConnectLimitMs = 5000;
// The longest single wait while connecting, so the window keeps answering.
inline constexpr uint32_t kConnectWaitStepMs = 5;

struct RankingClient {
  intptr_t socketHandle = -1;  // a platform::SocketHandle
  uint8_t connected = 0;
  uint32_t fillLevel = 0;                            // bytes held at the front, 0..50000
  uint8_t receiveBuffer[kReceiveCapacity + 1] = {};  // a zero byte follows the data

  // Begins an exchange: closes an earlier socket, empties the buffer and connects to a
  // dotted IPv4 address. Pumps the window's messages while the connection is under way
  // and gives up after kConnectLimitMs. True when connected.
  bool ConnectTo(const char* address, uint16_t port);
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
