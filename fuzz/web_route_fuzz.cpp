// Any path into the web side's routing, and any IPv6 address into the per-address key: the
// route is one of the known ones exactly when the path names it, and a key never depends on
// more than an address's /64.
#include <netinet/in.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "server/rankd/address_key.h"
#include "server/rankd/web_door.h"

namespace {

bool CanonicalReplayPath(std::string_view path) {
  constexpr std::string_view kReplays = "/replays/";
  if (!path.starts_with(kReplays)) return false;
  const std::string digits(path.substr(kReplays.size()));
  if (digits.empty() || digits.size() > 19) return false;
  errno = 0;
  char* end = nullptr;
  const long long id = std::strtoll(digits.c_str(), &end, 10);
  return errno == 0 && *end == 0 && id > 0 && std::to_string(id) == digits;
}

void CheckRoute(std::string_view path) {
  using Kind = rankd::WebRoute::Kind;
  const rankd::WebRoute route = rankd::ParseWebPath(path);
  const bool rankings = route.kind == Kind::Rankings;
  if ((route.kind == Kind::Page) != (path == "/")) std::abort();
  if ((route.kind == Kind::Health) != (path == "/healthz")) std::abort();
  if ((route.kind == Kind::Metrics) != (path == "/metrics")) std::abort();
  if (rankings != (path.size() == 15 && path.starts_with("/api/rankings/") && path[14] >= '0' && path[14] <= '2')) {
    std::abort();
  }
  if (rankings ? route.mode != path[14] - '0' : route.mode != -1) std::abort();
  if (route.kind == Kind::NoSuchMode && !path.starts_with("/api/rankings/")) std::abort();
  // A replay's route exactly when the path is /replays/ and a row's id as written back (1 to
  // 2^63 - 1, no sign, no leading zero), and then that row.
  const bool replay = route.kind == Kind::Replay;
  if (replay != CanonicalReplayPath(path)) std::abort();
  if (replay ? path != "/replays/" + std::to_string(route.id) : route.id != 0) std::abort();
}

void CheckKey(const uint8_t* bytes) {
  sockaddr_in6 six{};
  six.sin6_family = AF_INET6;
  std::memcpy(six.sin6_addr.s6_addr, bytes, 16);
  const std::string key = rankd::AddressKey(reinterpret_cast<const sockaddr*>(&six));
  if (IN6_IS_ADDR_V4MAPPED(&six.sin6_addr)) {
    sockaddr_in four{};
    four.sin_family = AF_INET;
    std::memcpy(&four.sin_addr, bytes + 12, 4);
    if (key != rankd::AddressKey(reinterpret_cast<const sockaddr*>(&four))) std::abort();
    return;
  }
  // Another host of the same /64 shares the key.
  sockaddr_in6 neighbour = six;
  for (int i = 8; i < 16; ++i) neighbour.sin6_addr.s6_addr[i] ^= 0x5A;
  if (IN6_IS_ADDR_V4MAPPED(&neighbour.sin6_addr)) return;
  if (!key.ends_with("/64") || key != rankd::AddressKey(reinterpret_cast<const sockaddr*>(&neighbour))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckRoute(std::string_view(reinterpret_cast<const char*>(data), size));
  if (size >= 16) CheckKey(data);
  return 0;
}
