#pragma once
// Which clients count as one for the per-address limits of the game's port and the web side.
#include <sys/socket.h>

#include <string>

namespace rankd {

// An IPv4 client by its address; an IPv4 address written as IPv6 (::ffff:a.b.c.d) the same;
// an IPv6 client by its /64, the block one household or host is usually given, so the
// addresses of one block share one limit. "" for any other kind of socket address.
std::string AddressKey(const sockaddr* address);
// The address as the log writes it (IPv4 written as IPv6 shown as IPv4).
std::string AddressText(const sockaddr* address);

}  // namespace rankd
