// The replay's own connection: made, written and closed on a thread of its own within
// kReplayUploadLimitMs; any failure (no server, a server that does not know the message and
// closes) ends it silently.
#include "ranking/replay_upload.h"

#include <chrono>
#include <string>
#include <thread>

#include "platform/net.h"
#include "ranking/ranking_exchange.h"

namespace {

using Clock = std::chrono::steady_clock;

// Waits for the socket to take bytes until the deadline; false on a timeout or an error.
bool WaitWritable(platform::SocketHandle socket, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    const int ready = platform::WaitWritable(socket, static_cast<uint32_t>(left));
    if (ready != 0) return ready > 0;
  }
}

void Send(const platform::Endpoint& server, const std::string& message) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kReplayUploadLimitMs);
  platform::SocketHandle socket = platform::kNoSocket;
  if (!platform::StartConnect(server, socket)) return;
  bool ok = WaitWritable(socket, deadline) && platform::ConnectSucceeded(socket);
  size_t sent = 0;
  while (ok && sent < message.size()) {
    const long n = platform::Send(socket, message.data() + sent, message.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n == platform::kSocketTryAgain) {
      ok = WaitWritable(socket, deadline);
    } else {
      ok = false;
    }
  }
  platform::CloseSocket(socket);
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

void UploadReplayOfSubmission(const std::vector<uint8_t>& encodedReplay, const platform::Endpoint& server) {
  uint8_t submission[kScoreSubmissionBytes];
  if (!LastSubmission(submission)) return;
  std::string message = ReplayUploadMessage(submission, encodedReplay);
  if (message.empty()) return;
  // Left to run on its own: it ends within its limit, and a program that ends first takes it along.
  std::thread(Send, server, std::move(message)).detach();
}
