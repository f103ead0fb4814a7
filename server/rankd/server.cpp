// The ranking server's public face, and the program around it.
#include <csignal>
#include <cstdio>

#include "server/rankd/server_impl.h"

namespace rankd {

RankServer::RankServer(const RankdOptions& options, std::unique_ptr<RankStore> store)
    : impl_(std::make_unique<Impl>(options, std::move(store))) {}

RankServer::~RankServer() = default;

bool RankServer::Start(std::string& error) { return impl_->Start(error); }

void RankServer::Run() {
  impl_->io.run();
  impl_->log.Flush();
}

void RankServer::Stop() {
  asio::post(impl_->io, [impl = impl_.get()] { impl->BeginStop(); });
}

int RankdMain(int argc, const char* const* argv) {
  RankdOptions options;
  std::string error;
  switch (ParseRankdOptions(argc, argv, options, error)) {
    case ParseResult::Help: std::fputs(kUsage, stdout); return 0;
    case ParseResult::Bad:
      std::fprintf(stderr, "rankd: %s\nTry 'rankd --help' for the options.\n", error.c_str());
      return 2;
    case ParseResult::Run: break;
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::unique_ptr<RankStore> store = OpenRankStore(options.db, error);
  if (!store) {
    std::fprintf(stderr, "rankd: cannot open the database: %s\n", error.c_str());
    return 1;
  }
  RankServer server(options, std::move(store));
  if (!server.Start(error)) {
    std::fprintf(stderr, "rankd: %s\n", error.c_str());
    return 1;
  }
  server.Run();
  return 0;
}

}  // namespace rankd
