#pragma once
// One whole ranking exchange played without sockets, as the server would play it, over
// bytes a client already sent: for the exchange tests and the fuzzer. Header only, so the
// fuzzer needs no library of the tests.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "server/rankd/exchange.h"
#include "server/rankd/store.h"

namespace rankd_test {

struct PlayedExchange {
  rankd::Outcome outcome = rankd::Outcome::Open;
  rankd::Verdict verdict = rankd::Verdict::Accepted;
  uint32_t thresholdSent = 0;
  std::vector<uint8_t> sent;  // everything the server sent
};

// Keeps the scores and refreshes the cache's tables from the store, as the server's store
// thread does; false when the store did not commit. When the store commits but cannot be
// read back, the kept scores are placed into the cached tables directly.
inline bool CommitScores(rankd::RankStore& store, const std::vector<rankd::Score>& scores, rankd::RankCache& cache) {
  std::string error;
  if (!store.Store(scores, error)) return false;
  ScoreTable tables[rankd::kModes];
  if (store.LoadTop(tables, error)) {
    for (int mode = 0; mode < rankd::kModes; ++mode) cache.Set(mode, tables[mode]);
  } else {
    cache.Place(scores);
  }
  return true;
}

// The client's bytes are handed over `chunk` bytes at a time (at least 1); scores are kept
// in `store` and the cache refreshed from it.
inline PlayedExchange PlayExchange(const uint8_t* data, size_t size, size_t chunk, rankd::RankStore& store,
                                   rankd::RankCache& cache) {
  using Phase = rankd::Exchange::Phase;
  PlayedExchange played;
  rankd::Exchange exchange(cache);
  size_t at = 0;
  chunk = std::max<size_t>(chunk, 1);
  for (bool going = true; going;) {
    switch (exchange.phase()) {
      case Phase::Request:
      case Phase::Answer: {
        if (at >= size) {
          going = false;  // the client sent nothing more
          break;
        }
        const size_t n = std::min({chunk, size - at, exchange.Room()});
        exchange.Take(data + at, n);
        at += n;
        break;
      }
      case Phase::Reply:
        played.sent.insert(played.sent.end(), exchange.Reply(), exchange.Reply() + kThresholdReplyBytes);
        exchange.Sent();
        break;
      case Phase::Storing: exchange.Stored(CommitScores(store, {exchange.Pending()}, cache)); break;
      case Phase::Text: {
        const auto text = cache.Text(exchange.mode());
        played.sent.insert(played.sent.end(), text->begin(), text->end());
        exchange.Sent();
        break;
      }
      case Phase::Closed: going = false; break;
    }
  }
  played.outcome = exchange.outcome();
  played.verdict = exchange.verdict();
  played.thresholdSent = exchange.thresholdSent();
  return played;
}

}  // namespace rankd_test
