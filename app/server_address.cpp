// HOST[:PORT] read and written.
#include "app/server_address.h"

#include <charconv>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// A host name or dotted IPv4 address: labels of letters, digits, '-' and '_' between single
// dots (one dot may end it), no label starting or ending with '-'.
bool IsHostName(std::string_view host) {
  if (host.ends_with('.')) host.remove_suffix(1);
  if (host.empty()) return false;
  size_t labelStart = 0;
  for (size_t i = 0; i <= host.size(); ++i) {
    if (i < host.size() && host[i] != '.') {
      if (!IsLetter(host[i]) && !IsDigit(host[i]) && host[i] != '-' && host[i] != '_') return false;
      continue;
    }
    const std::string_view label = host.substr(labelStart, i - labelStart);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
    labelStart = i + 1;
  }
  return true;
}

// An IPv6 address as written in brackets: hexadecimal digits, ':' (two at least) and '.'
// (an IPv4 tail), then an optional zone of letters, digits, '-', '_' and '.' after '%'.
bool IsIpv6Text(std::string_view host) {
  const size_t percent = host.find('%');
  const std::string_view address = host.substr(0, percent);
  size_t colons = 0;
  for (const char c : address) {
    if (c == ':') {
      ++colons;
    } else if (!IsHexDigit(c) && c != '.') {
      return false;
    }
  }
  if (colons < 2 || address.size() > 45) return false;
  if (percent == std::string_view::npos) return true;
  const std::string_view zone = host.substr(percent + 1);
  if (zone.empty()) return false;
  for (const char c : zone)
    if (!IsLetter(c) && !IsDigit(c) && c != '-' && c != '_' && c != '.') return false;
  return true;
}

bool ReadPort(std::string_view text, uint16_t& port) {
  unsigned value = 0;
  const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || !IsDigit(text.front()) || fault != std::errc() || end != text.data() + text.size() || value < 1 ||
      value > 65535)
    return false;
  port = static_cast<uint16_t>(value);
  return true;
}

bool Refuse(std::string& error, const char* reason) {
  error = reason;
  return false;
}

}  // namespace

bool ParseServerAddress(std::string_view text, ServerAddress& address, std::string& error) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return Refuse(error, "a control character or a space");
  std::string_view host = text;
  std::string_view rest;
  const bool bracketed = text.starts_with('[');
  if (bracketed) {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) return Refuse(error, "an unclosed '['");
    host = text.substr(1, close - 1);
    rest = text.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(':')) return Refuse(error, "something after ']' that is not :PORT");
  } else if (const size_t colon = text.find(':'); colon != std::string_view::npos) {
    host = text.substr(0, colon);
    rest = text.substr(colon);
    if (rest.find(':', 1) != std::string_view::npos) return Refuse(error, "an IPv6 address goes in brackets");
  }
  if (host.empty()) return Refuse(error, "no host");
  if (host.size() > kLongestHostName) return Refuse(error, "a host longer than 253 bytes");
  if (bracketed ? !IsIpv6Text(host) : !IsHostName(host)) {
    return Refuse(error, bracketed ? "not an IPv6 address in brackets" : "not a host name or address");
  }
  uint16_t port = kRankingPort;
  if (!rest.empty() && !ReadPort(rest.substr(1), port)) return Refuse(error, "a port not from 1 to 65535");
  address = ServerAddress{std::string(host), port};
  return true;
}

std::string FormatServerAddress(const ServerAddress& address) {
  const bool v6 = address.host.find(':') != std::string::npos;
  return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}
