// A listed game's replay fetched over the game port (type 4): the place asked for is looked up
// on the store's thread, and its kept replay sent back with its length, then the connection
// closes.
#include <algorithm>

#include "server/rankd/server_impl.h"

namespace rankd {
namespace {

const char* FetchEndText(FetchEnd end) {
  switch (end) {
    case FetchEnd::Sent: return "sent";
    case FetchEnd::None: return "none kept";
    case FetchEnd::Malformed: return "not a fetch";
    case FetchEnd::NoRoom: return "no room left for replays";
    case FetchEnd::Failed: return "the database failed";
    case FetchEnd::TimedOut: return "not sent in time";
    case FetchEnd::Closed: return "closed by client in a message";
    case FetchEnd::NotTaken: return "reply not taken";
  }
  return "";
}

}  // namespace

awaitable<void> RankServer::Impl::LookUp(Connection& c, const ReplayFetch& ask) {
  // The database's own deadlines bound the wait; the client's begin again with the reply.
  c.deadline = Clock::time_point::max();
  c.timedOut = false;
  c.storeDone = false;
  worker.SubmitFetch(ask, &c);
  while (!c.storeDone) {
    c.wake.expires_at(Clock::time_point::max());
    co_await c.wake.async_wait(kTuple);
  }
}

awaitable<void> RankServer::Impl::ServeFetch(std::shared_ptr<Connection> connection, const uint8_t* first,
                                             size_t firstBytes, Clock::time_point begun) {
  Connection& c = *connection;
  uint8_t ask[kReplayFetchBytes] = {};
  firstBytes = std::min(firstBytes, sizeof ask);
  std::copy(first, first + firstBytes, ask);
  ReplayFetch fetch;
  FetchEnd end = FetchEnd::Malformed;
  if (!co_await ReadExactly(connection, ask + firstBytes, sizeof ask - firstBytes, begun + options.messageTime)) {
    end = c.timedOut ? FetchEnd::TimedOut : FetchEnd::Closed;
  } else if (DecodeReplayFetch(ask, fetch)) {
    co_await LookUp(c, fetch);
    end = c.fetchEnd;
    const std::vector<uint8_t>& reply = c.fetchReply.bytes();
    if ((end == FetchEnd::Sent || end == FetchEnd::None) &&
        co_await Write(connection, asio::buffer(reply), Clock::now() + options.sendTime, true)) {
      end = FetchEnd::NotTaken;
    }
  }
  c.fetchReply = ReplayBytes{};  // its room goes back
  asio::error_code ignored;
  c.limit.cancel();
  c.socket.close(ignored);
  metrics.CountFetch(end);
  if (!options.log) co_return;  // --quiet: the counters of /metrics tell
  if (end == FetchEnd::Sent || end == FetchEnd::None) {
    log.Line("%s replay fetch of mode %d place %d: %s", c.address.c_str(), fetch.mode, fetch.place, FetchEndText(end));
  } else {
    log.Line("%s replay fetch refused: %s", c.address.c_str(), FetchEndText(end));
  }
}

}  // namespace rankd
