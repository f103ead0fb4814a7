#pragma once
// The few BSD socket calls the tests' scripted servers make, on Linux and on Windows (winsock
// 2, started once by SocketsStarted). Sockets are held in an int: winsock's handles are
// small numbers, and INVALID_SOCKET becomes -1.
#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>

using socklen_t = int;
inline constexpr int MSG_NOSIGNAL = 0;  // Windows raises no signal on a closed peer
inline constexpr int SOCK_CLOEXEC = 0;  // Windows' sockets are not inherited by default
inline constexpr int SHUT_RDWR = SD_BOTH;
inline bool SocketsStarted() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}
inline int poll(pollfd* fds, unsigned long count, int ms) { return WSAPoll(fds, count, ms); }
inline int close(int socket) { return closesocket(static_cast<SOCKET>(socket)); }
inline int accept4(int socket, sockaddr* address, socklen_t* length, int /*flags*/) {
  return static_cast<int>(accept(static_cast<SOCKET>(socket), address, length));
}
inline int UnreadBytes(int socket, int& unread) {
  u_long n = 0;
  const int result = ioctlsocket(static_cast<SOCKET>(socket), FIONREAD, &n);
  unread = static_cast<int>(n);
  return result;
}
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

inline bool SocketsStarted() { return true; }
inline int UnreadBytes(int socket, int& unread) { return ioctl(socket, FIONREAD, &unread); }
#endif
