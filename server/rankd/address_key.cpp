// The client's address as a key of the per-address limits, and as the log writes it.
#include "server/rankd/address_key.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

namespace rankd {
namespace {

std::string V4Text(const in_addr& a) {
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &a, text, sizeof text);
  return text;
}

// The IPv4 address inside ::ffff:a.b.c.d, false for any other IPv6 address.
bool MappedV4(const in6_addr& six, in_addr& four) {
  if (!IN6_IS_ADDR_V4MAPPED(&six)) return false;
  std::memcpy(&four, six.s6_addr + 12, sizeof four);
  return true;
}

}  // namespace

std::string AddressKey(const sockaddr* address) {
  if (address->sa_family != AF_INET6) return AddressText(address);
  const in6_addr& six = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
  in_addr four;
  if (MappedV4(six, four)) return V4Text(four);
  in6_addr block{};
  std::memcpy(block.s6_addr, six.s6_addr, 8);
  char text[INET6_ADDRSTRLEN] = "";
  inet_ntop(AF_INET6, &block, text, sizeof text);
  return std::string(text) + "/64";
}

std::string AddressText(const sockaddr* address) {
  if (address->sa_family == AF_INET) return V4Text(reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
  if (address->sa_family != AF_INET6) return "";
  const in6_addr& six = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
  in_addr four;
  if (MappedV4(six, four)) return V4Text(four);
  char text[INET6_ADDRSTRLEN] = "";
  inet_ntop(AF_INET6, &six, text, sizeof text);
  return text;
}

}  // namespace rankd
