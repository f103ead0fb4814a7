#pragma once
// What the two systems' sockets share: an endpoint as the socket calls take it, and a host's
// addresses from getaddrinfo. For net_posix.cpp and net_windows.cpp only, each including it
// after its system's socket headers (sockaddr_storage, addrinfo and getaddrinfo are the same
// names on both).
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/net.h"

namespace platform::net_address {

// The endpoint as the socket calls take it; its length.
inline int SocketAddress(const Endpoint& endpoint, sockaddr_storage& storage) {
  storage = sockaddr_storage{};
  if (endpoint.v6) {
    auto& six = reinterpret_cast<sockaddr_in6&>(storage);
    six.sin6_family = AF_INET6;
    six.sin6_port = htons(endpoint.port);
    std::memcpy(six.sin6_addr.s6_addr, endpoint.address, 16);
    six.sin6_scope_id = endpoint.scope;
    return sizeof six;
  }
  auto& four = reinterpret_cast<sockaddr_in&>(storage);
  four.sin_family = AF_INET;
  four.sin_port = htons(endpoint.port);
  std::memcpy(&four.sin_addr, endpoint.address, 4);
  return sizeof four;
}

// One resolved address as an endpoint; false for a family other than IPv4 and IPv6.
inline bool EndpointOf(const addrinfo& found, Endpoint& endpoint) {
  endpoint = Endpoint{};
  if (found.ai_family == AF_INET6 && found.ai_addrlen >= sizeof(sockaddr_in6)) {
    const auto* six = reinterpret_cast<const sockaddr_in6*>(found.ai_addr);
    endpoint.v6 = true;
    std::memcpy(endpoint.address, six->sin6_addr.s6_addr, 16);
    endpoint.port = ntohs(six->sin6_port);
    endpoint.scope = six->sin6_scope_id;
    return true;
  }
  if (found.ai_family != AF_INET || found.ai_addrlen < sizeof(sockaddr_in)) return false;
  const auto* four = reinterpret_cast<const sockaddr_in*>(found.ai_addr);
  std::memcpy(endpoint.address, &four->sin_addr, 4);
  endpoint.port = ntohs(four->sin_port);
  return true;
}

// ResolveHost's work once the system's sockets are ready: each TCP address once, in the
// resolver's order.
inline bool Resolve(const char* host, uint16_t port, bool addressOnly, std::vector<Endpoint>& endpoints) {
  endpoints.clear();
  if (host == nullptr || *host == 0) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICSERV | (addressOnly ? AI_NUMERICHOST : 0);
  const std::string service = std::to_string(port);
  addrinfo* found = nullptr;
  if (getaddrinfo(host, service.c_str(), &hints, &found) != 0) return false;
  for (const addrinfo* at = found; at != nullptr; at = at->ai_next) {
    Endpoint endpoint;
    if (EndpointOf(*at, endpoint) && std::find(endpoints.begin(), endpoints.end(), endpoint) == endpoints.end())
      endpoints.push_back(endpoint);
  }
  freeaddrinfo(found);
  return !endpoints.empty();
}

}  // namespace platform::net_address
