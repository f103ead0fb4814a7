#pragma once
// TCP connections to an IPv4 or IPv6 address, as the ranking client and the replay upload use
// them: a host's addresses looked up, a connect that does not block, waits on one socket with
// a limit, sends and receives. The system's sockets and resolver stay behind these calls
// (net_posix.cpp, net_windows.cpp).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// A socket; kNoSocket for none.
using SocketHandle = intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// One address of a host with the port to reach it on.
struct Endpoint {
  bool v6 = false;
  uint8_t address[16] = {};  // the first 4 bytes for IPv4, in network order
  uint16_t port = 0;
  uint32_t scope = 0;  // an IPv6 link-local address's interface
  bool operator==(const Endpoint&) const = default;
};

// The TCP endpoints of `host` (a name, a dotted IPv4 address, or an IPv6 address without
// brackets) on `port`, in the order the system's resolver gives them. With `addressOnly` only
// an address is read, never a name looked up, and nothing blocks; otherwise it blocks as long
// as the resolver takes. False, with `endpoints` empty, when there is none.
bool ResolveHost(const char* host, uint16_t port, bool addressOnly, std::vector<Endpoint>& endpoints);

// Starts connecting to an endpoint, without blocking: `socket` is then a socket in
// non-blocking mode whose connect is under way (or done). False, with `socket` kNoSocket,
// for no socket or a connect refused at once.
bool StartConnect(const Endpoint& endpoint, SocketHandle& socket);
// Whether the connect under way ended in a connection (asked once the socket is writable).
bool ConnectSucceeded(SocketHandle socket);
// Switches the socket between blocking and non-blocking calls; false on failure.
bool SetBlocking(SocketHandle socket, bool blocking);

// Waits at most the given time for the socket to take bytes (or, while connecting, for the
// connect to end): 1 ready, 0 not within the time (or interrupted), -1 the socket failed.
int WaitWritable(SocketHandle socket, uint32_t ms);
// Waits at most the given time for bytes or the peer's close: 1 something to receive, 0 nothing.
int WaitReadable(SocketHandle socket, long seconds, long microseconds);

// What a send or receive answers besides a count.
inline constexpr long kSocketFailed = -1;
inline constexpr long kSocketTryAgain = -2;  // nothing now (would block, interrupted)
// Sends up to `count` bytes once; no signal if the peer has gone. The count sent, or one of the above.
long Send(SocketHandle socket, const void* data, size_t count);
// Receives up to `count` bytes: the count, 0 when the peer closed, or one of the above.
long Receive(SocketHandle socket, void* data, size_t count);
// Closes a socket (kNoSocket: nothing).
void CloseSocket(SocketHandle socket);

}  // namespace platform
