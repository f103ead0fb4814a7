#pragma once
// The ranking server: every connection on one thread (asio, C++20 coroutines), the store
// on a thread of its own that commits what arrives together in one transaction.
#include <memory>
#include <string>

#include "server/rankd/options.h"
#include "server/rankd/store.h"

namespace rankd {

// The whole program: options, store, listening socket, serving until SIGTERM or SIGINT.
// Returns the exit status (0 after a clean stop, 1 when it cannot start, 2 for bad options).
int RankdMain(int argc, const char* const* argv);

// Every connection is a descriptor: raises this process's open-file limit to its hard limit.
void RaiseOpenFileLimit();

class RankServer {
 public:
  RankServer(const RankdOptions& options, std::unique_ptr<RankStore> store);
  ~RankServer();
  // Reads the rankings and opens the listening sockets: those systemd passed, or
  // --bind and --port. False with a reason when it cannot.
  bool Start(std::string& error);
  // Serves until SIGTERM or SIGINT (or Stop), then finishes the exchanges under way.
  void Run();
  // May be called from any thread.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace rankd
