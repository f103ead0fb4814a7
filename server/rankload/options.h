#pragma once
// rankload's command line.
#include <cstdint>
#include <string>

#include "server/rankd/parse_result.h"
#include "wire/protocol.h"

namespace rankload {

using rankd::ParseResult;

struct RankloadOptions {
  std::string host = "127.0.0.1";
  uint16_t port = kRankingPort;
  int clients = 200;
  int idle = 2000;
  // Exchanges started per second on a fixed schedule (open loop); 0 plays the clients in a
  // closed loop instead.
  double rate = 0;
  int maxInFlight = 2000;
  double seconds = 10;
  int submitPercent = 10;
  int sources = 0;
  long pid = 0;
  std::string db;
  // Replay mode: this game uploaded again and again for the server's check instead of the
  // exchanges, behind `hostile` uploads of a game that never ends a stage; the checks are
  // counted on the server's /metrics at `http` (ADDRESS:PORT).
  std::string replay;
  int uploads = 300;
  int hostile = 0;
  std::string http;
};

// Reads the options after the program name, --name value each. Bad gives a one-line reason
// in `error`.
ParseResult ParseRankloadOptions(int argc, const char* const* argv, RankloadOptions& options, std::string& error);
// The text of --help.
extern const char kUsage[];

}  // namespace rankload
