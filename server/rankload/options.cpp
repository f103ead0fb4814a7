// rankload's command line.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "server/rankload/load_impl.h"

namespace rankload {
namespace {

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
    "  --pid PID            the server's process, for its peak memory (VmHWM)\n"
    "  --db WHERE           the server's database (file or postgresql:// URI): also check\n"
    "                       there that every acknowledged submission is kept, once\n";

}  // namespace

bool ParseArgs(int argc, const char* const* argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "rankload: %s needs a value\n", name.c_str());
      return false;
    }
    const std::string value = argv[++i];
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    const bool numeric = !value.empty() && *end == 0 && number >= 0;
    if (name == "--host") {
      o.host = value;
    } else if (name == "--db") {
      o.db = value;
    } else if (!numeric) {
      std::fprintf(stderr, "rankload: bad value for %s: '%s'\n", name.c_str(), value.c_str());
      return false;
    } else if (name == "--port" && number <= 65535) {
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
    } else if (name == "--pid") {
      o.pid = static_cast<long>(number);
    } else {
      std::fprintf(stderr, "rankload: unknown option or bad value: %s %s\n", name.c_str(), value.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace rankload
