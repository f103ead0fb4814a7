// TCP connections over POSIX sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/net.h"

namespace platform {

namespace {

// The endpoint as the socket calls take it; its length.
socklen_t SocketAddress(const Endpoint& endpoint, sockaddr_storage& storage) {
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
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICSERV | (addressOnly ? AI_NUMERICHOST : 0);
  const std::string service = std::to_string(port);
  addrinfo* found = nullptr;
  if (host == nullptr || *host == 0 || getaddrinfo(host, service.c_str(), &hints, &found) != 0) return false;
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
  sockaddr_storage server;
  const socklen_t length = SocketAddress(endpoint, server);
  const int fd = socket(server.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return false;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&server), length) != 0 && errno != EINPROGRESS) {
    close(fd);
    return false;
  }
  socketOut = fd;
  return true;
}

bool ConnectSucceeded(SocketHandle socket) {
  int error = 0;
  socklen_t length = sizeof error;
  return getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool SetBlocking(SocketHandle socket, bool blocking) {
  const int fd = static_cast<int>(socket);
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  const int wanted = blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK;
  return fcntl(fd, F_SETFL, wanted) == 0;
}

int WaitWritable(SocketHandle socket, uint32_t ms) {
  pollfd watch{static_cast<int>(socket), POLLOUT, 0};
  const int ready = poll(&watch, 1, static_cast<int>(ms));
  if (ready > 0) return (watch.revents & POLLNVAL) ? -1 : 1;
  return ready == 0 || errno == EINTR ? 0 : -1;
}

int WaitReadable(SocketHandle socket, long seconds, long microseconds) {
  pollfd watch{static_cast<int>(socket), POLLIN, 0};
  const timespec limit{seconds + microseconds / 1000000, (microseconds % 1000000) * 1000};
  return ppoll(&watch, 1, &limit, nullptr) > 0 ? 1 : 0;
}

long Send(SocketHandle socket, const void* data, size_t count) {
  // MSG_NOSIGNAL: a peer that has already gone away gives an error, not a signal that would
  // end the program.
  const ssize_t n = send(static_cast<int>(socket), data, count, MSG_NOSIGNAL);
  if (n >= 0) return static_cast<long>(n);
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? kSocketTryAgain : kSocketFailed;
}

long Receive(SocketHandle socket, void* data, size_t count) {
  const ssize_t n = recv(static_cast<int>(socket), data, count, 0);
  if (n >= 0) return static_cast<long>(n);
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? kSocketTryAgain : kSocketFailed;
}

void CloseSocket(SocketHandle socket) {
  if (socket >= 0) close(static_cast<int>(socket));
}

}  // namespace platform
