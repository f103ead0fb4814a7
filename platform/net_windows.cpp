// TCP connections over Windows sockets (winsock 2, started once). Waits use select, which
// also reports a failed connect (as an exception on the socket).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/net.h"

namespace platform {
namespace {

bool StartWinsock() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    WSADATA data;
    started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  });
  return started;
}

SOCKET Native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

long Failure() {
  const int code = WSAGetLastError();
  return code == WSAEWOULDBLOCK || code == WSAEINTR ? kSocketTryAgain : kSocketFailed;
}

timeval Limit(long seconds, long microseconds) {
  timeval limit{};
  limit.tv_sec = seconds + microseconds / 1000000;
  limit.tv_usec = microseconds % 1000000;
  return limit;
}

// The endpoint as the socket calls take it; its length.
int SocketAddress(const Endpoint& endpoint, sockaddr_storage& storage) {
  storage = sockaddr_storage{};
  if (endpoint.v6) {
    auto& six = reinterpret_cast<sockaddr_in6&>(storage);
    six.sin6_family = AF_INET6;
    six.sin6_port = htons(endpoint.port);
    std::memcpy(six.sin6_addr.s6_addr, endpoint.address, 16);
    six.sin6_scope_id = endpoint.scope;
    return sizeof six;
  }
  auto& four = reinterpret_cast<sockaddr_in&>(storage);
  four.sin_family = AF_INET;
  four.sin_port = htons(endpoint.port);
  std::memcpy(&four.sin_addr, endpoint.address, 4);
  return sizeof four;
}

// One resolved address as an endpoint; false for a family other than IPv4 and IPv6.
bool EndpointOf(const addrinfo& found, Endpoint& endpoint) {
  endpoint = Endpoint{};
  if (found.ai_family == AF_INET6 && found.ai_addrlen >= sizeof(sockaddr_in6)) {
    const auto* six = reinterpret_cast<const sockaddr_in6*>(found.ai_addr);
    endpoint.v6 = true;
    std::memcpy(endpoint.address, six->sin6_addr.s6_addr, 16);
    endpoint.port = ntohs(six->sin6_port);
    endpoint.scope = six->sin6_scope_id;
    return true;
  }
  if (found.ai_family != AF_INET || found.ai_addrlen < sizeof(sockaddr_in)) return false;
  const auto* four = reinterpret_cast<const sockaddr_in*>(found.ai_addr);
  std::memcpy(endpoint.address, &four->sin_addr, 4);
  endpoint.port = ntohs(four->sin_port);
  return true;
}

}  // namespace

bool ResolveHost(const char* host, uint16_t port, bool addressOnly, std::vector<Endpoint>& endpoints) {
  endpoints.clear();
  if (!StartWinsock() || host == nullptr || *host == 0) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICSERV | (addressOnly ? AI_NUMERICHOST : 0);
  const std::string service = std::to_string(port);
  addrinfo* found = nullptr;
  if (getaddrinfo(host, service.c_str(), &hints, &found) != 0) return false;
  for (const addrinfo* at = found; at != nullptr; at = at->ai_next) {
    Endpoint endpoint;
    if (EndpointOf(*at, endpoint) && std::find(endpoints.begin(), endpoints.end(), endpoint) == endpoints.end())
      endpoints.push_back(endpoint);
  }
  freeaddrinfo(found);
  return !endpoints.empty();
}

bool StartConnect(const Endpoint& endpoint, SocketHandle& socketOut) {
  socketOut = kNoSocket;
  if (!StartWinsock()) return false;
  sockaddr_storage server;
  const int length = SocketAddress(endpoint, server);
  const SOCKET s = socket(server.ss_family, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
      (connect(s, reinterpret_cast<const sockaddr*>(&server), length) != 0 && WSAGetLastError() != WSAEWOULDBLOCK)) {
    closesocket(s);
    return false;
  }
  socketOut = static_cast<SocketHandle>(s);
  return true;
}

bool ConnectSucceeded(SocketHandle socket) {
  int error = 0;
  int length = sizeof error;
  return getsockopt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 && error == 0;
}

bool SetBlocking(SocketHandle socket, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  return ioctlsocket(Native(socket), FIONBIO, &nonBlocking) == 0;
}

int WaitWritable(SocketHandle socket, uint32_t ms) {
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(Native(socket), &writable);
  FD_SET(Native(socket), &failed);
  timeval limit = Limit(0, static_cast<long>(ms) * 1000);
  const int ready = select(0, nullptr, &writable, &failed, &limit);
  if (ready == SOCKET_ERROR) return WSAGetLastError() == WSAEINTR ? 0 : -1;
  // A failed connect shows as an exception: ConnectSucceeded then tells it.
  return ready > 0 ? 1 : 0;
}

int WaitReadable(SocketHandle socket, long seconds, long microseconds) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Native(socket), &readable);
  timeval limit = Limit(seconds, microseconds);
  return select(0, &readable, nullptr, nullptr, &limit) > 0 ? 1 : 0;
}

long Send(SocketHandle socket, const void* data, size_t count) {
  const int chunk = count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(count);
  const int n = send(Native(socket), static_cast<const char*>(data), chunk, 0);
  return n == SOCKET_ERROR ? Failure() : n;
}

long Receive(SocketHandle socket, void* data, size_t count) {
  const int chunk = count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(count);
  const int n = recv(Native(socket), static_cast<char*>(data), chunk, 0);
  return n == SOCKET_ERROR ? Failure() : n;
}

void CloseSocket(SocketHandle socket) {
  if (socket != kNoSocket) closesocket(Native(socket));
}

}  // namespace platform
