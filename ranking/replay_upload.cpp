// The replay's own connection: made, written and closed on a thread of its own within
// kReplayUploadLimitMs; any failure (no server, a server that does not know the message and
// closes) ends it silently.
#include "ranking/replay_upload.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "ranking/ranking_exchange.h"

namespace {

using Clock = std::chrono::steady_clock;

// Waits for the socket to take bytes until the deadline; false on a timeout or an error.
bool WaitWritable(int fd, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLOUT, 0};
    const int r = poll(&p, 1, static_cast<int>(left));
    if (r > 0) return (p.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

void Send(const std::string& address, uint16_t port, const std::string& message) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kReplayUploadLimitMs);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) return;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 || errno == EINPROGRESS;
  if (ok && WaitWritable(fd, deadline)) {
    int error = 0;
    socklen_t size = sizeof error;
    ok = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
  } else {
    ok = false;
  }
  size_t sent = 0;
  while (ok && sent < message.size()) {
    const ssize_t n = send(fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      ok = WaitWritable(fd, deadline);
    } else {
      ok = false;
    }
  }
  close(fd);
}

// The message as it goes out (empty for a replay longer than the server takes).
std::string ReplayUploadMessage(const uint8_t (&submission)[kScoreSubmissionBytes], const std::vector<uint8_t>& bytes) {
  if (bytes.size() > kReplayMostBytes) return {};
  std::string message(1, static_cast<char>(kReplayUploadType));
  message.append(reinterpret_cast<const char*>(submission), kScoreSubmissionBytes);
  const auto n = static_cast<uint32_t>(bytes.size());
  for (int i = 0; i < 4; ++i) message.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
  message.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return message;
}

}  // namespace

void UploadReplayOfSubmission(const std::vector<uint8_t>& encodedReplay, const char* address, uint16_t port) {
  uint8_t submission[kScoreSubmissionBytes];
  if (!LastSubmission(submission)) return;
  std::string message = ReplayUploadMessage(submission, encodedReplay);
  if (message.empty()) return;
  // Left to run on its own: it ends within its limit, and a program that ends first takes it along.
  std::thread(Send, std::string(address), port, std::move(message)).detach();
}
