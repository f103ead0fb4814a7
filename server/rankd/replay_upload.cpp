// Reading a replay upload on the network thread, within its bounds of time and size, and
// handing it to the checker.
#include <algorithm>

#include "server/rankd/server_impl.h"

namespace rankd {

awaitable<bool> RankServer::Impl::ReadExactly(const std::shared_ptr<Connection>& c, uint8_t* to, size_t size,
                                              Clock::time_point deadline) {
  for (size_t got = 0; got < size;) {
    auto [ec, n] = co_await ReadSome(c, to + got, size - got, deadline);
    if (ec) co_return false;
    got += n;
  }
  co_return true;
}

awaitable<void> RankServer::Impl::TakeReplay(std::shared_ptr<Connection> connection, const uint8_t* first,
                                             size_t firstBytes, Clock::time_point begun) {
  Connection& c = *connection;
  const Clock::time_point deadline = begun + options.messageTime;
  uint8_t head[kReplayUploadHeadBytes] = {};
  std::copy(first, first + firstBytes, head);
  const char* refused = nullptr;
  ScoreSubmission submitted;
  uint32_t length = 0;
  std::vector<uint8_t> bytes;
  if (!co_await ReadExactly(connection, head + firstBytes, sizeof head - firstBytes, deadline)) {
    refused = c.timedOut ? "not sent in time" : "closed by client in a message";
  } else if (!DecodeScoreSubmission(head + 1, submitted)) {
    refused = "not a submission";
  } else if ((length = GetLe32(head + 1 + kScoreSubmissionBytes)) > kReplayMostBytes) {
    refused = "longer than 1 MiB";  // neither read nor allocated
  } else {
    bytes.resize(length);
    if (!co_await ReadExactly(connection, bytes.data(), bytes.size(), deadline)) {
      refused = c.timedOut ? "not sent in time" : "closed by client in a message";
    } else if (!checker.Submit(submitted, std::move(bytes), c.address)) {
      refused = "too many replays waiting";
    }
  }
  asio::error_code ignored;
  c.limit.cancel();
  c.socket.close(ignored);
  if (refused != nullptr) {
    log.Line("%s replay of %u bytes refused: %s", c.address.c_str(), length, refused);
  } else if (options.log) {
    log.Line("%s replay of %u bytes taken", c.address.c_str(), length);
  }
}

}  // namespace rankd
