// The sessions: one client's exchange, its reads and writes under their deadlines, and
// its log line.
#include <sys/socket.h>

#include <charconv>

#include "server/rankd/server_impl.h"

namespace rankd {
namespace {

void Expired(const std::weak_ptr<Connection>& weak, const asio::error_code& ec);

// Sets the deadline of the phase under way; a phase that begins clears what the last one's
// deadline did. The timer is only ever brought forward: a later deadline (the usual case,
// phase after phase) is looked at when the timer fires, so an exchange costs one timer wait
// rather than one a phase. A timer that fired leaves the connection unarmed, and the next
// phase arms it again.
void Arm(const std::shared_ptr<Connection>& c, Clock::time_point deadline) {
  c->deadline = deadline;
  c->timedOut = false;
  if (c->armed && c->limit.expiry() <= deadline) return;
  c->armed = true;
  c->limit.expires_at(deadline);
  c->limit.async_wait([weak = std::weak_ptr<Connection>(c)](const asio::error_code& ec) { Expired(weak, ec); });
}

void Expired(const std::weak_ptr<Connection>& weak, const asio::error_code& ec) {
  const auto conn = weak.lock();
  if (ec || !conn) return;  // brought forward, or the exchange is over
  if (Clock::now() < conn->deadline) {
    if (conn->deadline == Clock::time_point::max()) {
      conn->armed = false;  // no deadline now (a commit is awaited)
      return;
    }
    conn->limit.expires_at(conn->deadline);
    conn->limit.async_wait([weak](const asio::error_code& e) { Expired(weak, e); });
    return;
  }
  conn->armed = false;
  conn->timedOut = true;
  asio::error_code ignored;
  conn->socket.cancel(ignored);
}

// An exchange counts once: by what came of it, or, when it ended before, why it did.
ExchangeEnd EndOf(Outcome outcome, bool timedOut) {
  switch (outcome) {
    case Outcome::Declined: return ExchangeEnd::Declined;
    case Outcome::Stored: return ExchangeEnd::Stored;
    case Outcome::Banned: return ExchangeEnd::Banned;
    case Outcome::Refused: return ExchangeEnd::Refused;
    case Outcome::BadRequest:
    case Outcome::BadAnswer: return ExchangeEnd::Malformed;
    case Outcome::StoreFailed: return ExchangeEnd::StoreFailed;
    case Outcome::Open: break;
  }
  return timedOut ? ExchangeEnd::TimedOut : ExchangeEnd::Closed;
}

// Why a failed read closes the connection before the exchange ended.
const char* ReadEnding(const asio::error_code& ec, bool stopping, bool begunAlready, bool request) {
  if (ec == asio::error::timed_out) {
    return begunAlready ? "message not finished in time" : request ? "no request in time" : "no answer in time";
  }
  return stopping ? "closed at shutdown" : begunAlready ? "closed by client in a message" : "closed by client";
}

}  // namespace

awaitable<std::tuple<asio::error_code, size_t>> RankServer::Impl::ReadSome(const std::shared_ptr<Connection>& c,
                                                                           uint8_t* to, size_t size,
                                                                           Clock::time_point deadline, bool awaited) {
  Arm(c, deadline);
  if (Clock::now() >= deadline) co_return std::tuple<asio::error_code, size_t>{asio::error::timed_out, 0};
  // What has arrived already is read at once (the socket does not block): waiting for it
  // through the event loop would cost one more turn of the loop, and a poll of every socket.
  // An answer just asked for has not come yet: asio's own first try is the only one.
  asio::error_code ec = asio::error::would_block;
  size_t n = 0;
  if (c->socket.non_blocking() && !awaited) n = c->socket.read_some(asio::buffer(to, size), ec);
  if (!c->socket.non_blocking() || ec == asio::error::would_block)
    std::tie(ec, n) = co_await c->socket.async_read_some(asio::buffer(to, size), kTuple);
  if (ec && c->timedOut) ec = asio::error::timed_out;
  co_return std::tuple<asio::error_code, size_t>{ec, n};
}

awaitable<asio::error_code> RankServer::Impl::Write(const std::shared_ptr<Connection>& c, asio::const_buffer bytes,
                                                    Clock::time_point deadline, bool last) {
  Arm(c, deadline);
  if (Clock::now() >= deadline) co_return asio::error::timed_out;
  // The last bytes wait for the close, which sends them with the end of the connection in
  // one segment.
  const asio::socket_base::message_flags flags = last ? MSG_MORE : 0;
  for (size_t sent = 0; sent < bytes.size();) {
    // At once while the socket takes it (as it nearly always does), else when it can.
    asio::error_code ec;
    size_t n = 0;
    if (c->socket.non_blocking()) n = c->socket.send(asio::buffer(bytes + sent), flags, ec);
    if (!c->socket.non_blocking() || ec == asio::error::would_block)
      std::tie(ec, n) = co_await c->socket.async_send(asio::buffer(bytes + sent), flags, kTuple);
    if (ec) co_return c->timedOut ? asio::error::timed_out : ec;
    sent += n;
  }
  co_return asio::error_code{};
}

awaitable<void> RankServer::Impl::Session(std::shared_ptr<Connection> connection,
                                          [[maybe_unused]] Registration registration) {
  Connection& c = *connection;
  const Clock::time_point begun = Clock::now();
  Clock::time_point messageBegun = begun;
  Clock::time_point answerFrom = begun;
  Exchange exchange(cache);
  uint8_t bytes[kScoreSubmissionBytes];
  const char* ending = nullptr;  // why the connection closed before the exchange ended
  while (exchange.phase() != Exchange::Phase::Closed && ending == nullptr) {
    switch (exchange.phase()) {
      case Exchange::Phase::Request:
      case Exchange::Phase::Answer: {
        const bool request = exchange.phase() == Exchange::Phase::Request;
        const bool begunAlready = exchange.MessageBegun();
        const Clock::time_point deadline = begunAlready ? messageBegun + options.messageTime
                                           : request    ? begun + options.requestTime
                                                        : answerFrom + options.answerTime;
        auto [ec, n] = co_await ReadSome(connection, bytes, exchange.Room(), deadline, !request && !begunAlready);
        if (ec) {
          ending = ReadEnding(ec, stopping, begunAlready, request);
        } else if (request && !begunAlready && bytes[0] == kReplayUploadType) {
          // Not an exchange: a replay for a score kept before.
          co_await TakeReplay(connection, bytes, n, Clock::now());
          co_return;
        } else if (request && !begunAlready && bytes[0] == kReplayFetchType) {
          // Not an exchange either: a listed game's replay asked for.
          co_await ServeFetch(connection, bytes, n, Clock::now());
          co_return;
        } else {
          if (!begunAlready) messageBegun = Clock::now();
          exchange.Take(bytes, n);
        }
        break;
      }
      case Exchange::Phase::Reply:
        if (co_await Write(connection, asio::buffer(exchange.Reply(), kThresholdReplyBytes),
                           Clock::now() + options.sendTime)) {
          ending = "score to beat not taken";
        } else {
          exchange.Sent();
          answerFrom = Clock::now();
        }
        break;
      case Exchange::Phase::Storing: co_await Commit(c, exchange); break;
      case Exchange::Phase::Text: {
        const auto text = cache.Text(exchange.mode());
        if (co_await Write(connection, asio::buffer(*text), Clock::now() + options.sendTime, true)) {
          ending = "listing not taken";
        } else {
          exchange.Sent();
        }
        break;
      }
      case Exchange::Phase::Closed: break;
    }
  }
  asio::error_code ignored;
  c.limit.cancel();
  c.socket.close(ignored);
  Tell(c, exchange, ending, begun);
}

awaitable<void> RankServer::Impl::Commit(Connection& c, Exchange& exchange) {
  // A commit has no deadline of the client's: once the score may be kept, the client is
  // told how it went. (The store's thread holds the connection until it answers.)
  c.deadline = Clock::time_point::max();
  c.timedOut = false;
  c.storeDone = false;
  c.committing = true;
  worker.Submit({exchange.Pending(), &c});
  while (!c.storeDone) {
    c.wake.expires_at(Clock::time_point::max());
    co_await c.wake.async_wait(kTuple);
  }
  c.committing = false;
  exchange.Stored(c.committed, c.banned);
}

void RankServer::Impl::Tell(const Connection& c, const Exchange& exchange, const char* ending,
                            Clock::time_point begun) {
  const Clock::duration took = Clock::now() - begun;
  const Outcome outcome = exchange.outcome();
  metrics.CountExchange(EndOf(outcome, c.timedOut), exchange.verdict(), std::chrono::duration<double>(took).count());
  if (!options.log) return;  // --quiet: no line per exchange
  char mode[12] = "-";
  if (exchange.mode() >= 0) std::to_chars(mode, mode + sizeof mode - 1, exchange.mode());
  const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
  if (ending != nullptr) {
    const bool open = outcome == Outcome::Open;
    log.Words({c.address, " mode ", mode, " ", open ? "" : OutcomeText(outcome), open ? "" : ", ", ending}, ms);
  } else if (outcome == Outcome::Refused) {
    log.Words({c.address, " mode ", mode, " refused (", VerdictText(exchange.verdict()), ")"}, ms);
  } else {
    log.Words({c.address, " mode ", mode, " ", OutcomeText(outcome)}, ms);
  }
}

}  // namespace rankd
