// rankload's command line.
#include "server/rankload/options.h"

#include <cstdlib>

namespace rankload {

const char kUsage[] =
    "Usage: rankload [options]\n"
    "Plays ranking exchanges against a running rankd and checks what it acknowledged.\n"
    "\n"
    "  --host ADDRESS       the server (default 127.0.0.1)\n"
    "  --port N             its port (default 20)\n"
    "  --clients N          exchanges played at once, one after another each (default 200)\n"
    "  --rate R             instead, start R exchanges a second on a fixed schedule, each on a\n"
    "                       connection of its own, whatever the answers (open loop); latency\n"
    "                       counts from the scheduled start\n"
    "  --max-in-flight N    with --rate, exchanges under way at most; one due beyond waits and\n"
    "                       counts as late (default 2000)\n"
    "  --idle N             connections held waiting for a name meanwhile (default 2000)\n"
    "  --seconds S          how long the clients play (default 10)\n"
    "  --submit-percent P   share of exchanges that submit a score, the rest decline (default 10)\n"
    "  --sources N          local addresses 127.0.10.x to connect from, so that the server's\n"
    "                       limit per address holds (default: one per 100 connections)\n"
    "  --pid PID            the server's process, for its peak memory (VmHWM) and its\n"
    "                       processor time per exchange\n"
    "  --db WHERE           the server's database (file or postgresql:// URI): also check\n"
    "                       there that every acknowledged submission is kept, once\n"
    "\n"
    "Replay checks (instead of the exchanges; rankd with --require-verified and --http):\n"
    "  --replay FILE        a recorded game: its result is kept under --uploads names, then the\n"
    "                       game is uploaded for each (shifted in time: one game proves one\n"
    "                       score), a few at a time, from the address that kept it (so no\n"
    "                       --sources); reports the games verified a second\n"
    "  --uploads N          how many (default 300); the uploads end after --seconds all the same\n"
    "  --hostile N          first upload N games that never end a stage (default 0)\n"
    "  --http ADDRESS:PORT  the server's web side, whose /metrics counts the verified games\n";

namespace {

ParseResult Bad(std::string& error, const std::string& reason) {
  error = reason;
  return ParseResult::Bad;
}

// Sets the numeric option `name` from `number`; false when it is unknown or out of range.
bool SetNumber(const std::string& name, double number, RankloadOptions& o) {
  if (name == "--port" && number <= 65535) {
    o.port = static_cast<uint16_t>(number);
  } else if (name == "--clients" && number >= 1) {
    o.clients = static_cast<int>(number);
  } else if (name == "--rate" && number > 0 && number <= 1e6) {
    o.rate = number;
  } else if (name == "--max-in-flight" && number >= 1 && number <= 100000) {
    o.maxInFlight = static_cast<int>(number);
  } else if (name == "--idle") {
    o.idle = static_cast<int>(number);
  } else if (name == "--seconds" && number > 0) {
    o.seconds = number;
  } else if (name == "--submit-percent" && number <= 100) {
    o.submitPercent = static_cast<int>(number);
  } else if (name == "--sources" && number >= 1 && number <= 250) {
    o.sources = static_cast<int>(number);
  } else if (name == "--uploads" && number >= 1 && number <= 100000) {
    o.uploads = static_cast<int>(number);
  } else if (name == "--hostile" && number <= 1000) {
    o.hostile = static_cast<int>(number);
  } else if (name == "--pid") {
    o.pid = static_cast<long>(number);
  } else {
    return false;
  }
  return true;
}

}  // namespace

ParseResult ParseRankloadOptions(int argc, const char* const* argv, RankloadOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help") return ParseResult::Help;
    if (i + 1 >= argc) return Bad(error, name + " needs a value");
    const std::string value = argv[++i];
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    const bool numeric = !value.empty() && *end == 0 && number >= 0;
    if (name == "--host") {
      options.host = value;
    } else if (name == "--db") {
      options.db = value;
    } else if (name == "--replay") {
      options.replay = value;
    } else if (name == "--http") {
      options.http = value;
    } else if (!numeric) {
      return Bad(error, "bad value for " + name + ": '" + value + "'");
    } else if (!SetNumber(name, number, options)) {
      return Bad(error, "unknown option or bad value: " + name + " " + value);
    }
  }
  if (!options.replay.empty() && options.http.empty()) return Bad(error, "--replay needs --http");
  // The server counts a replay only for a score kept from the same address.
  if (!options.replay.empty() && options.sources > 0) return Bad(error, "--replay takes no --sources");
  return ParseResult::Run;
}

}  // namespace rankload
