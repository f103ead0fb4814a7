#pragma once
// The web side of rankd (--http): the rankings page, their JSON, /healthz and /metrics,
// served by cpp-httplib on threads of its own. It reads the database through a connection
// of its own, so the game's port never waits on a page.
#include <memory>
#include <string>

#include "server/rankd/metrics.h"
#include "server/rankd/options.h"

namespace rankd {

class WebServer {
 public:
  WebServer(const RankdOptions& options, const Metrics& metrics);
  ~WebServer();
  // Opens the database for reading and listens; false with a reason when it cannot.
  // `where` then tells the address and port it listens on.
  bool Start(std::string& where, std::string& error);
  // Stops listening and waits for the requests under way.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace rankd
