// Reading a replay upload on the network thread, within its bounds of time, size and memory,
// and handing it to the checkers.
#include <algorithm>

#include "server/rankd/server_impl.h"

namespace rankd {
namespace {

// The room a replay first gets, before more of it has come.
constexpr size_t kFirstRoom = 4096;

// Why an upload was refused, for its log line and its counter.
struct Refusal {
  const char* text;
  UploadRefusal counted;
};

Refusal EndedEarly(const Connection& c) {
  return c.timedOut ? Refusal{"not sent in time", UploadRefusal::TimedOut}
                    : Refusal{"closed by client in a message", UploadRefusal::Closed};
}

}  // namespace

awaitable<bool> RankServer::Impl::ReadExactly(const std::shared_ptr<Connection>& c, uint8_t* to, size_t size,
                                              Clock::time_point deadline) {
  for (size_t got = 0; got < size;) {
    auto [ec, n] = co_await ReadSome(c, to + got, size - got, deadline);
    if (ec) co_return false;
    got += n;
  }
  co_return true;
}

awaitable<bool> RankServer::Impl::ReadReplay(const std::shared_ptr<Connection>& c, ReplayBytes& replay, size_t length,
                                             Clock::time_point deadline, bool& roomLacking) {
  while (replay.bytes().size() < length) {
    const size_t left = length - replay.bytes().size();
    if (!replay.Grow(std::min(left, kFirstRoom), length)) {
      roomLacking = true;
      co_return false;
    }
    const size_t room = std::min(left, replay.bytes().capacity() - replay.bytes().size());
    uint8_t* to = replay.Extend(room);
    auto [ec, n] = co_await ReadSome(c, to, room, deadline);
    replay.Shrink(ec ? room : room - n);
    if (ec) co_return false;
  }
  co_return true;
}

awaitable<void> RankServer::Impl::TakeReplay(std::shared_ptr<Connection> connection, const uint8_t* first,
                                             size_t firstBytes, Clock::time_point begun) {
  Connection& c = *connection;
  const Clock::time_point deadline = begun + options.messageTime;
  uint8_t head[kReplayUploadHeadBytes] = {};
  std::copy(first, first + firstBytes, head);
  ScoreSubmission submitted;
  uint32_t length = 0;
  ReplayBytes replay(replayMemory);
  bool roomLacking = false;
  std::optional<Refusal> refused;
  if (!co_await ReadExactly(connection, head + firstBytes, sizeof head - firstBytes, deadline)) {
    refused = EndedEarly(c);
  } else if (const UploadHead read = DecodeUploadHead(head, submitted, length); read == UploadHead::TooLong) {
    refused = Refusal{"longer than 1 MiB", UploadRefusal::TooLong};  // neither read nor allocated
  } else if (read != UploadHead::Ok) {
    refused = Refusal{"not a submission", UploadRefusal::NotASubmission};
  } else if (!co_await ReadReplay(connection, replay, length, deadline, roomLacking)) {
    refused = roomLacking ? Refusal{"no room left for replays", UploadRefusal::NoRoom} : EndedEarly(c);
  } else if (const ReplayQueued queued = checker.Submit(c.address, submitted, std::move(replay));
             queued != ReplayQueued::Yes) {
    refused = queued == ReplayQueued::AddressFull
                  ? Refusal{"too many replays waiting from the address", UploadRefusal::AddressFull}
                  : Refusal{"too many replays waiting", UploadRefusal::QueueFull};
  }
  // A replay that came whole, or was being received, but found no room: its row is marked
  // Unchecked rather than suspect, since its game was never looked at. (A queued one was
  // expected by the checker, whose verdict ends it.)
  if (refused && (refused->counted == UploadRefusal::NoRoom || refused->counted == UploadRefusal::QueueFull ||
                  refused->counted == UploadRefusal::AddressFull)) {
    worker.ExpectMark();
    worker.SubmitMark(NotChecked(submitted, c.address, refused->text));
  }
  asio::error_code ignored;
  c.limit.cancel();
  c.socket.close(ignored);
  metrics.CountUpload(refused ? refused->counted : UploadRefusal::None);
  // Under --quiet no line per upload: the counters of /metrics tell them.
  if (!options.log) co_return;
  if (refused) {
    log.Line("%s replay of %u bytes refused: %s", c.address.c_str(), length, refused->text);
  } else {
    log.Line("%s replay of %u bytes taken", c.address.c_str(), length);
  }
}

}  // namespace rankd
