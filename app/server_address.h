#pragma once
// Where netplay finds its ranking server, as --server and the settings' "server" line write
// it: HOST[:PORT], the host a name, a dotted IPv4 address or an IPv6 address in brackets.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "wire/protocol.h"

// The longest host name the system's resolver takes.
inline constexpr size_t kLongestHostName = 253;

struct ServerAddress {
  std::string host;  // a name, a dotted IPv4 address, or an IPv6 address without brackets
  uint16_t port = kRankingPort;
  bool operator==(const ServerAddress&) const = default;
};

// Reads "HOST", "HOST:PORT", "[IPv6]" or "[IPv6]:PORT"; the port 1 to 65535, kRankingPort
// when left out. A name is letters, digits, '-', '_' and dots between them, at most
// kLongestHostName bytes; an IPv6 address is hexadecimal digits, ':' and '.' (a zone after
// '%'). Anything else (an empty host, a bad port, an unclosed bracket, an IPv6 address without
// brackets, a control character or a space) is refused: false, `address` untouched, and a
// short reason in `error`. Pure: nothing is looked up.
bool ParseServerAddress(std::string_view text, ServerAddress& address, std::string& error);
// The address written back as ParseServerAddress reads it.
std::string FormatServerAddress(const ServerAddress& address);
