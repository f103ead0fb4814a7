// Listening: the sockets systemd passed or one of our own, the readiness and stopping
// notices to systemd, the signals that stop the server, and the accepting of clients.
#include <sys/resource.h>
#include <sys/socket.h>
#include <systemd/sd-daemon.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "server/rankd/address_key.h"
#include "server/rankd/server_impl.h"

namespace rankd {
bool RankServer::Impl::Start(std::string& error) {
  if (!LoadRankings(error)) return false;
  FitConnectionsToFiles();
  const int passed = sd_listen_fds(1);
  if (passed < 0) {
    error = std::string("cannot take the sockets from systemd: ") + std::strerror(-passed);
    return false;
  }
  if (!(passed > 0 ? TakeSystemdSockets(passed, error) : ListenOnOwnSocket(error))) return false;
  if (!worker.Start(options.requireVerified ? kReplayWaitSeconds : 0)) {
    error = "cannot start the store's thread";
    return false;
  }
  checker.Start(options.checkThreads > 0 ? options.checkThreads
                                         : static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  if (!options.httpAddress.empty()) {
    web = std::make_unique<WebServer>(options, metrics);
    std::string at;
    if (!web->Start(at, error)) return false;
    log.Line("web page on http://%s/", at.c_str());
  }
  const std::string where = IsPostgresUri(options.db) ? std::string("postgresql") : "sqlite " + options.db;
  asio::error_code ec;
  for (tcp::acceptor& acceptor : acceptors) {
    const tcp::endpoint local = acceptor.local_endpoint(ec);
    const std::string at = AddressText(local.data());
    const bool v6 = at.find(':') != std::string::npos;
    log.Line("listening on %s%s%s:%u%s (%s)", v6 ? "[" : "", at.c_str(), v6 ? "]" : "", local.port(),
             passed > 0 ? " from systemd" : "", where.c_str());
    asio::co_spawn(io, Accept(acceptor), asio::detached);
  }
  log.Flush();
  signals.async_wait([this](const asio::error_code& e, int) {
    if (!e) BeginStop();
  });
  sd_notify(0, "READY=1");
  return true;
}

bool RankServer::Impl::LoadRankings(std::string& error) {
  ScoreTable tables[kModes];
  store->RankOnlyVerified(options.requireVerified);
  std::string why;
  if (!store->BeginChecks(options.requireVerified, why)) {
    error = why;
    return false;
  }
  if (!store->LoadTop(tables, why)) {
    error = "cannot read the rankings: " + why;
    return false;
  }
  for (int mode = 0; mode < kModes; ++mode) cache.Set(mode, tables[mode]);
  return true;
}

void RankServer::Impl::FitConnectionsToFiles() {
  RaiseOpenFileLimit();
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY &&
      files.rlim_cur < static_cast<rlim_t>(options.maxConnections) + 64) {
    options.maxConnections = std::max(1, static_cast<int>(files.rlim_cur) - 64);
    log.Line("only %llu descriptors: at most %d connections", static_cast<unsigned long long>(files.rlim_cur),
             options.maxConnections);
  }
}

bool RankServer::Impl::TakeSystemdSockets(int passed, std::string& error) {
  asio::error_code ec;
  for (int fd = SD_LISTEN_FDS_START; fd < SD_LISTEN_FDS_START + passed; ++fd) {
    if (sd_is_socket_inet(fd, AF_UNSPEC, SOCK_STREAM, 1, 0) <= 0) {
      error = "systemd passed a socket that is not a listening TCP socket";
      return false;
    }
    const bool v6 = sd_is_socket_inet(fd, AF_INET6, SOCK_STREAM, 1, 0) > 0;
    tcp::acceptor& acceptor = acceptors.emplace_back(io);
    acceptor.assign(v6 ? tcp::v6() : tcp::v4(), fd, ec);
    if (ec) {
      error = "cannot use the socket from systemd: " + ec.message();
      return false;
    }
  }
  return true;
}

bool RankServer::Impl::ListenOnOwnSocket(std::string& error) {
  std::vector<asio::ip::address> addresses;
  for (const std::string& bind : options.bind) {
    asio::error_code ec;
    addresses.push_back(asio::ip::make_address(bind, ec));
    if (ec) {
      error = "--bind: '" + bind + "' is not an IP address";
      return false;
    }
  }
  // Port 0 lets the system pick one for the first address; the others then take the same.
  // The port picked may be taken on another address: then all of them try a new one.
  for (int attempt = 0;; ++attempt) {
    uint16_t port = options.port;
    asio::error_code ec;
    size_t i = 0;
    for (; i < addresses.size() && !ec; ++i) {
      ec = ListenOn(addresses[i], addresses.size() > 1, port);
      if (!ec && port == 0) port = acceptors.back().local_endpoint().port();
    }
    if (!ec) return true;
    if (options.port == 0 && ec == asio::error::address_in_use && attempt < 20) {
      acceptors.clear();
      continue;
    }
    error = "cannot listen on " + options.bind[i - 1] + " port " + std::to_string(port) + ": " + ec.message();
    if (ec == asio::error::access_denied && port > 0 && port < 1024) {
      error += " (ports below 1024 need root, the capability cap_net_bind_service, or systemd's rankd.socket)";
    }
    return false;
  }
}

asio::error_code RankServer::Impl::ListenOn(const asio::ip::address& address, bool several, uint16_t port) {
  asio::error_code ec;
  tcp::acceptor& acceptor = acceptors.emplace_back(io);
  const tcp::endpoint endpoint(address, port);
  acceptor.open(endpoint.protocol(), ec);
  if (!ec) acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
  // An IPv6 address alone serves IPv4 too (:: takes every client, whatever the system's
  // default); beside other addresses it keeps to IPv6, so :: and 0.0.0.0 can both be bound.
  if (!ec && address.is_v6()) acceptor.set_option(asio::ip::v6_only(several), ec);
  if (!ec) acceptor.bind(endpoint, ec);
  if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
  return ec;
}

awaitable<void> RankServer::Impl::Accept(tcp::acceptor& acceptor) {
  asio::steady_timer pause(io);
  tcp::endpoint remote;
  for (;;) {
    auto [ec, socket] = co_await acceptor.async_accept(remote, kTuple);
    if (stopping || ec == asio::error::operation_aborted) co_return;
    if (ec) {
      // Out of descriptors or memory: wait a little rather than spin.
      pause.expires_after(std::chrono::milliseconds(50));
      co_await pause.async_wait(kTuple);
      continue;
    }
    std::string address = AddressText(remote.data());
    std::string key = AddressKey(remote.data());
    const auto there = perAddress.find(key);
    const int fromThere = there == perAddress.end() ? 0 : there->second;
    if (static_cast<int>(live.size()) >= options.maxConnections || fromThere >= options.maxPerAddress) {
      (fromThere >= options.maxPerAddress ? metrics.refusedPerAddress : metrics.refusedServerFull)
          .fetch_add(1, std::memory_order_relaxed);
      if (options.log) {
        log.Line("%s mode - refused: %s 0 ms", address.c_str(),
                 fromThere >= options.maxPerAddress ? "too many connections from this address" : "server full");
      }
      continue;  // the socket closes here
    }
    auto connection = std::make_shared<Connection>(std::move(socket), std::move(address));
    Registration registration(*this, connection.get(), std::move(key));
    asio::co_spawn(io, Session(std::move(connection), std::move(registration)), asio::detached);
  }
}

void RankServer::Impl::BeginStop() {
  if (stopping) return;
  stopping = true;
  asio::error_code ignored;
  for (tcp::acceptor& acceptor : acceptors) acceptor.close(ignored);
  signals.cancel(ignored);
  sd_notify(0, "STOPPING=1");
  log.Line("stopping: %zu exchanges under way", live.size());
  // Whatever has not finished by then is closed, but for a commit under way, which gets one
  // more stop time to be answered; then a commit the database has not answered is given up,
  // so a silent database cannot hold the stop.
  graceTimer.expires_after(options.stopTime);
  graceTimer.async_wait([this](const asio::error_code& e) {
    if (!e) CloseAtStop();
  });
  EndIfIdle();
}

void RankServer::Impl::CloseAtStop() {
  bool spared = false;
  asio::error_code ignored;
  for (Connection* c : live) {
    if (c->committing && !graceOver) {
      spared = true;
    } else {
      c->socket.close(ignored);
    }
  }
  graceOver = true;
  if (!spared) {
    worker.Interrupt();
    return;
  }
  graceTimer.expires_after(options.stopTime);
  graceTimer.async_wait([this](const asio::error_code& e) {
    if (!e) CloseAtStop();
  });
}

void RankServer::Impl::EndIfIdle() {
  if (!stopping || !live.empty() || ended) return;
  ended = true;
  graceTimer.cancel();
  if (web) web->Stop();
  checker.Stop();  // its last verdict still reaches the store
  worker.Stop();
  log.Line("stopped");
  work.reset();
}

void RaiseOpenFileLimit() {
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }
}

}  // namespace rankd
