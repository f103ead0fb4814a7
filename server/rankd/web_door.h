#pragma once
// The web side's door: cpp-httplib's server, but each connection taken as this side wants
// it. One request a connection; the whole request within a deadline (a client that sends a
// byte every few seconds is cut when it passes, however often it sends); a bound on the
// connections of one address (AddressKey); and more workers than one address may hold, so
// /healthz and /metrics answer while slow clients try to hold the page.
#include <httplib.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace rankd {

// What a request's path asks for: the page, one difficulty's JSON (mode 0..2), health,
// metrics, a row's kept replay (/replays/ID: ID a plain decimal 1 to 2^63 - 1, no leading
// zero); a difficulty that does not exist, or nothing known.
struct WebRoute {
  enum class Kind { Page, Rankings, Health, Metrics, Replay, NoSuchMode, NotFound };
  Kind kind = Kind::NotFound;
  int mode = -1;     // Rankings: 0, 1 or 2
  long long id = 0;  // Replay: the row
};
// The path as cpp-httplib gives it (decoded, without the query); any bytes.
WebRoute ParseWebPath(std::string_view path);

class WebDoor : public httplib::Server {
 public:
  static constexpr int kWorkers = 32;
  static constexpr int kPerAddress = 4;
  // For the request line, the headers and any body, from the connection's acceptance.
  static constexpr std::chrono::seconds kRequestTime{5};
  // For the whole answer, from its first byte.
  static constexpr std::chrono::seconds kAnswerTime{5};

  WebDoor();

 private:
  // Called on a worker for each accepted connection (cpp-httplib's own step, replaced).
  bool process_and_close_socket(socket_t sock) override;
  bool Admit(const std::string& key);
  void Leave(const std::string& key);

  std::mutex mutex_;
  std::map<std::string, int> perAddress_;
};

}  // namespace rankd
