// TCP connections over POSIX sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/net.h"
#include "platform/net_address.h"

namespace platform {

bool ResolveHost(const char* host, uint16_t port, bool addressOnly, std::vector<Endpoint>& endpoints) {
  return net_address::Resolve(host, port, addressOnly, endpoints);
}

bool StartConnect(const Endpoint& endpoint, SocketHandle& socketOut) {
  socketOut = kNoSocket;
  sockaddr_storage server;
  const socklen_t length = net_address::SocketAddress(endpoint, server);
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
