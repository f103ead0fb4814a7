// rankd's options: --name value or --name=value.
#include "server/rankd/options.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace rankd {

const char kUsage[] =
    "Usage: rankd [options]\n"
    "The Brakkel ranking server: answers netplay's ranking exchange on TCP.\n"
    "\n"
    "  --port N              TCP port to listen on (default 20; 0 picks a free port)\n"
    "  --bind ADDRESS        address to listen on, IPv4 or IPv6 (default 127.0.0.1; 0.0.0.0 or ::\n"
    "                        serves a network); given again, rankd listens on each, on one port.\n"
    "                        :: alone takes IPv4 clients too; with other binds it is IPv6 only\n"
    "  --db WHERE            SQLite database file (default rankd.sqlite in the working directory)\n"
    "                        or a postgresql:// URI (several servers may share one database)\n"
    "  --max-connections N   connections held at once, in all (default 4096)\n"
    "  --max-per-address N   connections held at once from one address (default 128)\n"
    "  --request-time S      seconds a client has to send its request (default 10)\n"
    "  --answer-time S       seconds a client has to begin its answer, while the player\n"
    "                        types a name (default 600)\n"
    "  --message-time S      seconds to finish a message once it began (default 10)\n"
    "  --send-time S         seconds a client has to take the ranking text (default 10)\n"
    "  --http ADDRESS:PORT   serve the rankings as a web page and JSON, /healthz and /metrics\n"
    "                        there (IPv6 in brackets: [::1]:8080; off by default)\n"
    "  --require-verified    rank only scores whose replay played again to them (a score waits\n"
    "                        unlisted up to 60 seconds for it, then stays unlisted as suspect)\n"
    "  --check-threads N     threads that play replays again (default one per processor)\n"
    "  --replay-memory BYTES memory all replays being received or waiting may hold; K, M or G\n"
    "                        multiply (default 64M); a replay that finds no room is refused\n"
    "  --quiet               no log line per exchange or replay (start, stop and failures are\n"
    "                        still told)\n"
    "  --help                this text\n"
    "\n"
    "Started by systemd with a socket (rankd.socket), rankd serves that socket and ignores\n"
    "--port and --bind. SIGTERM or SIGINT stops it: no new connections, exchanges under way\n"
    "get 2 seconds to finish.\n";

namespace {

bool ParseCount(const std::string& text, long lowest, long highest, long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != 0 || v < lowest || v > highest) return false;
  value = v;
  return true;
}

// Seconds, fractions allowed (0.25), above 0 and at most a day.
bool ParseSeconds(const std::string& text, std::chrono::milliseconds& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != 0 || !std::isfinite(v) || v < 0.001 || v > 86400) return false;
  value = std::chrono::milliseconds(std::llround(v * 1000));
  return true;
}

// A byte count, 4096 to 1T, with an optional K, M or G (powers of 1024).
bool ParseBytes(const std::string& text, size_t& value) {
  std::string digits = text;
  long long unit = 1;
  if (!digits.empty()) {
    const char last = digits.back();
    unit = last == 'K' || last == 'k'   ? 1LL << 10
           : last == 'M' || last == 'm' ? 1LL << 20
           : last == 'G' || last == 'g' ? 1LL << 30
                                        : 1;
    if (unit > 1) digits.pop_back();
  }
  long count = 0;
  if (!ParseCount(digits, 1, (1L << 40) / unit, count) || count * unit < 4096) return false;
  value = static_cast<size_t>(count * unit);
  return true;
}

// ADDRESS:PORT, an IPv6 address in brackets; the address must be numeric.
bool ParseHttpAddress(const std::string& text, std::string& address, uint16_t& port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  std::string host = text.substr(0, colon);
  const bool bracketed = host.size() >= 2 && host.front() == '[' && host.back() == ']';
  if (bracketed) host = host.substr(1, host.size() - 2);
  unsigned char bytes[sizeof(in6_addr)];
  const bool v4 = !bracketed && inet_pton(AF_INET, host.c_str(), bytes) == 1;
  const bool v6 = bracketed && inet_pton(AF_INET6, host.c_str(), bytes) == 1;
  long number = 0;
  if ((!v4 && !v6) || !ParseCount(text.substr(colon + 1), 0, 65535, number)) return false;
  address = host;
  port = static_cast<uint16_t>(number);
  return true;
}

// A numeric IPv4 or IPv6 address (no brackets).
bool IsIpAddress(const std::string& text) {
  unsigned char bytes[sizeof(in6_addr)];
  return inet_pton(AF_INET, text.c_str(), bytes) == 1 || inet_pton(AF_INET6, text.c_str(), bytes) == 1;
}

// The options that take a value.
bool TakesValue(const std::string& name) {
  return name == "--port" || name == "--bind" || name == "--db" || name == "--max-connections" ||
         name == "--max-per-address" || name == "--request-time" || name == "--answer-time" ||
         name == "--message-time" || name == "--send-time" || name == "--http" || name == "--check-threads" ||
         name == "--replay-memory";
}

// Sets the option `name` (one that takes a value) from `value`; false when the value is bad.
bool SetValue(const std::string& name, const std::string& value, RankdOptions& options) {
  long count = 0;
  bool ok = true;
  if (name == "--port") {
    ok = ParseCount(value, 0, 65535, count);
    options.port = static_cast<uint16_t>(count);
  } else if (name == "--bind") {
    ok = IsIpAddress(value);
    options.bind.push_back(value);
  } else if (name == "--db") {
    ok = !value.empty();
    options.db = value;
  } else if (name == "--max-connections") {
    ok = ParseCount(value, 1, 1'000'000, count);
    options.maxConnections = static_cast<int>(count);
  } else if (name == "--max-per-address") {
    ok = ParseCount(value, 1, 1'000'000, count);
    options.maxPerAddress = static_cast<int>(count);
  } else if (name == "--request-time") {
    ok = ParseSeconds(value, options.requestTime);
  } else if (name == "--answer-time") {
    ok = ParseSeconds(value, options.answerTime);
  } else if (name == "--http") {
    ok = ParseHttpAddress(value, options.httpAddress, options.httpPort);
  } else if (name == "--check-threads") {
    ok = ParseCount(value, 1, 1024, count);
    options.checkThreads = static_cast<int>(count);
  } else if (name == "--replay-memory") {
    ok = ParseBytes(value, options.replayMemory);
  } else if (name == "--message-time") {
    ok = ParseSeconds(value, options.messageTime);
  } else {
    ok = ParseSeconds(value, options.sendTime);
  }
  return ok;
}

ParseResult Bad(std::string& error, const std::string& reason) {
  error = reason;
  return ParseResult::Bad;
}

}  // namespace

ParseResult ParseRankdOptions(int argc, const char* const* argv, RankdOptions& options, std::string& error) {
  bool bound = false;  // a --bind was read: the default address is gone
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    std::string value;
    bool hasValue = false;
    if (const size_t eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      hasValue = true;
    }
    if (name == "--help" || name == "-h") return ParseResult::Help;
    // The switches, which take no value.
    if (name == "--require-verified" || name == "--quiet") {
      if (hasValue) return Bad(error, name + " takes no value");
      if (name == "--quiet") {
        options.log = false;
      } else {
        options.requireVerified = true;
      }
      continue;
    }
    if (!TakesValue(name)) return Bad(error, "unknown option " + name);
    if (!hasValue) {
      if (i + 1 >= argc) return Bad(error, name + " needs a value");
      value = argv[++i];
    }
    if (name == "--bind" && !std::exchange(bound, true)) options.bind.clear();
    if (!SetValue(name, value, options)) return Bad(error, "bad value for " + name + ": '" + value + "'");
  }
  return ParseResult::Run;
}

}  // namespace rankd
