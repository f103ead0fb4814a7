// The web side: cpp-httplib's server on its own threads over one read connection.
#include "server/rankd/web.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "server/rankd/web_door.h"
#include "server/rankd/web_page.h"

namespace rankd {

struct WebServer::Impl {
  Impl(const RankdOptions& o, const Metrics& m) : options(o), metrics(m) {}

  // The rows of every mode; false when the database does not answer. The caller holds
  // readMutex until it has made its text: the read connection and the code page converter
  // serve one request at a time. Why the database failed goes unsaid: the answer is 503.
  bool List(std::vector<ListedScore> (&modes)[kModes]) {
    std::string error;
    for (int mode = 0; mode < kModes; ++mode) {
      if (!reader->LoadListing(mode, modes[mode], error)) return false;
    }
    return true;
  }

  // Every GET is routed here, before cpp-httplib's own (regular expression) routing.
  void Routes() {
    http.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
      if (request.method != "GET" && request.method != "HEAD") return httplib::Server::HandlerResponse::Unhandled;
      const WebRoute route = ParseWebPath(request.path);
      switch (route.kind) {
        case WebRoute::Kind::Page: Page(response); break;
        case WebRoute::Kind::Rankings: Rankings(route.mode, response); break;
        case WebRoute::Kind::Health: Health(response); break;
        case WebRoute::Kind::Metrics:
          response.set_content(metrics.Render(), "text/plain; version=0.0.4; charset=utf-8");
          break;
        case WebRoute::Kind::Replay: Replay(route.id, response); break;
        case WebRoute::Kind::NoSuchMode:
          response.status = 404;
          response.set_content("no such difficulty: 0, 1 or 2\n", "text/plain; charset=utf-8");
          break;
        case WebRoute::Kind::NotFound: response.status = 404; break;
      }
      return httplib::Server::HandlerResponse::Handled;
    });
  }

  void Page(httplib::Response& response) {
    std::lock_guard lock(readMutex);
    std::vector<ListedScore> modes[kModes];
    if (!List(modes)) return Unavailable(response);
    response.set_content(RankingsPage(modes), "text/html; charset=utf-8");
  }

  void Rankings(int mode, httplib::Response& response) {
    std::lock_guard lock(readMutex);
    std::vector<ListedScore> rows;
    std::string error;
    if (!reader->LoadListing(mode, rows, error)) return Unavailable(response);
    response.set_content(RankingsJson(mode, rows), "application/json");
  }

  // A listed row's kept replay, as a file to save. One replay (at most kReplayMostBytes) is
  // held per request; reading takes the read connection's turn like the page does.
  void Replay(long long id, httplib::Response& response) {
    KeptReplay kept;
    bool found = false;
    {
      std::lock_guard lock(readMutex);
      std::string error;
      if (!reader->ListedReplay(id, kept, found, error)) return Unavailable(response);
    }
    if (!found) {
      response.status = 404;
      response.set_content("no replay kept for that row\n", "text/plain; charset=utf-8");
      return;
    }
    response.set_header("Content-Disposition", "attachment; filename=\"" + ReplayFileName(kept) + "\"");
    // Streamed from the one copy read (set_content would copy it again).
    auto bytes = std::make_shared<const std::string>(std::move(kept.bytes));
    response.set_content_provider(bytes->size(), "application/octet-stream",
                                  [bytes](size_t offset, size_t length, httplib::DataSink& sink) {
                                    return sink.write(bytes->data() + offset, length);
                                  });
  }

  // The store's thread keeps the health: answered at once, however the database fares.
  void Health(httplib::Response& response) {
    std::string reason;
    if (metrics.storeHealth.Working(reason)) return response.set_content("ok\n", "text/plain; charset=utf-8");
    response.status = 503;
    response.set_content(reason + "\n", "text/plain; charset=utf-8");
  }

  void Unavailable(httplib::Response& response) {
    response.status = 503;
    response.set_content("the database does not answer\n", "text/plain; charset=utf-8");
  }

  const RankdOptions& options;
  const Metrics& metrics;
  std::unique_ptr<RankStore> reader;
  std::mutex readMutex;
  WebDoor http;
  std::thread thread;
  std::atomic<bool> ended{false};
};

WebServer::WebServer(const RankdOptions& options, const Metrics& metrics)
    : impl_(std::make_unique<Impl>(options, metrics)) {}

WebServer::~WebServer() { Stop(); }

bool WebServer::Start(std::string& where, std::string& error) {
  Impl& w = *impl_;
  std::string why;
  w.reader = OpenRankStore(w.options.db, why, StoreUse::Read);
  if (!w.reader) {
    error = "--http: cannot open the database for reading: " + why;
    return false;
  }
  w.reader->RankOnlyVerified(w.options.requireVerified);
  // Requests are small (GETs): a body of more is refused.
  w.http.set_payload_max_length(4096);
  w.Routes();
  const std::string& address = w.options.httpAddress;
  int port = w.options.httpPort;
  if (port == 0) {
    port = w.http.bind_to_any_port(address);
  } else if (!w.http.bind_to_port(address, port)) {
    port = -1;
  }
  if (port <= 0) {
    error = "--http: cannot listen on " + address + " port " + std::to_string(w.options.httpPort);
    return false;
  }
  const bool v6 = address.find(':') != std::string::npos;
  where = (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
  w.thread = std::thread([&w] {
    w.http.listen_after_bind();
    w.ended = true;
  });
  return true;
}

void WebServer::Stop() {
  Impl& w = *impl_;
  if (!w.thread.joinable()) return;
  w.reader->Interrupt();  // a request waiting on the database ends now
  // A stop that comes before the listening loop began is not heard: ask until it ends.
  while (!w.ended) {
    w.http.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  w.thread.join();
}

}  // namespace rankd
