// TCP connections over Windows sockets (winsock 2, started once). Waits use select, which
// also reports a failed connect (as an exception on the socket).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

#include "platform/net.h"
#include "platform/net_address.h"

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

}  // namespace

bool ResolveHost(const char* host, uint16_t port, bool addressOnly, std::vector<Endpoint>& endpoints) {
  endpoints.clear();
  return StartWinsock() && net_address::Resolve(host, port, addressOnly, endpoints);
}

bool StartConnect(const Endpoint& endpoint, SocketHandle& socketOut) {
  socketOut = kNoSocket;
  if (!StartWinsock()) return false;
  sockaddr_storage server;
  const int length = net_address::SocketAddress(endpoint, server);
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
