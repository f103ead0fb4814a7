#pragma once
// rankd's command line.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "server/rankd/parse_result.h"
#include "wire/protocol.h"

namespace rankd {

struct RankdOptions {
  uint16_t port = kRankingPort;  // 0 lets the system pick a free port (one for every --bind)
  // The addresses listened on, IPv4 or IPv6; the first --bind replaces the default, later
  // ones add to it. "::" alone serves IPv4 too (dual stack); among several, an IPv6 address
  // serves IPv6 only, so "::" and "0.0.0.0" go together.
  std::vector<std::string> bind{"127.0.0.1"};
  std::string db = "rankd.sqlite";
  int maxConnections = 4096;
  int maxPerAddress = 128;
  // The time limits of an exchange.
  std::chrono::milliseconds requestTime{10'000};  // for the request, from the connection
  std::chrono::milliseconds answerTime{600'000};  // for the answer to begin: a player types a name
  std::chrono::milliseconds messageTime{10'000};  // for the rest of a message once it began
  std::chrono::milliseconds sendTime{10'000};     // for the client to take the listing
  // On SIGTERM or SIGINT, how long exchanges under way may still run.
  std::chrono::milliseconds stopTime{2'000};
  bool log = true;
  // --require-verified: rank only scores whose replay played again to them.
  bool requireVerified = false;
  // --check-threads N: threads that play replays again (0: one per processor).
  int checkThreads = 0;
  // --replay-memory BYTES: what all replays being received or waiting for a check may hold.
  size_t replayMemory = size_t{64} << 20;
  // --http ADDRESS:PORT: the web page, its JSON, health and metrics; off when empty.
  std::string httpAddress;
  uint16_t httpPort = 0;  // 0 lets the system pick (the log says which)
};

// Reads the options after the program name, --name value or --name=value. Bad gives a
// one-line reason in `error`.
ParseResult ParseRankdOptions(int argc, const char* const* argv, RankdOptions& options, std::string& error);
// The text of --help.
extern const char kUsage[];

}  // namespace rankd
