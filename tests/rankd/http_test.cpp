// rankd's web side (--http) against the real program: the JSON and page of a known table,
// /metrics after known exchanges (and promtool's verdict on it), /healthz while the
// database goes away and comes back.
#include <arpa/inet.h>
#include <httplib.h>
#include <libpq-fe.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <regex>
#include <thread>

#include "support/cp949_text.h"
#include "tests/rankd/engine_fixture.h"

namespace rankd_test {
namespace {

class RankdHttp : public EngineTest {
 protected:
  // Starts rankd with its web side on a free port; the client then talks to it.
  bool StartWeb(std::vector<std::string> options = {}) {
    options.insert(options.end(), {"--http", "127.0.0.1:0"});
    if (!Start(options)) return false;
    const std::string log = server_.Log();
    const std::string mark = "web page on http://127.0.0.1:";
    const size_t at = log.find(mark);
    if (at == std::string::npos) return false;
    webPort_ = static_cast<uint16_t>(std::atoi(log.c_str() + at + mark.size()));
    web_ = std::make_unique<httplib::Client>("127.0.0.1", webPort_);
    web_->set_read_timeout(30, 0);
    return true;
  }
  // The body of a GET, with its status.
  std::string Get(const std::string& path, int& status) {
    const auto result = web_->Get(path);
    status = result ? result->status : -1;
    return result ? result->body : "";
  }
  // One figure of /metrics ("name{labels}" as the text writes it), -1 when absent.
  double Figure(const std::string& sample) {
    int status;
    const std::string text = Get("/metrics", status);
    const size_t at = text.find("\n" + sample + " ");
    return at == std::string::npos ? -1 : std::atof(text.c_str() + at + sample.size() + 2);
  }

  std::unique_ptr<httplib::Client> web_;
  uint16_t webPort_ = 0;
};

// A GET on a connection of its own from the local address `from`, read to its close; what
// came within `patience` (the status line, headers and body).
std::string GetFrom(uint16_t port, const char* from, const std::string& path, std::chrono::milliseconds patience) {
  Client c(port, from);
  const std::string request = "GET " + path + " HTTP/1.1\r\nHost: rankd\r\nConnection: close\r\n\r\n";
  std::string answer;
  if (!c.Send(request.data(), request.size())) return answer;
  const auto end = std::chrono::steady_clock::now() + patience;
  char byte;
  while (c.Receive(&byte, 1,
                   std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()))) {
    answer += byte;
  }
  return answer;
}

// A client that sends the start of a request and then a byte of its headers now and then.
class Dribbler {
 public:
  explicit Dribbler(uint16_t port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) Close();
    Send("GET / HTTP/1.1\r\nX-Slow: ");
  }
  ~Dribbler() { Close(); }
  bool Send(const std::string& bytes) { return fd_ >= 0 && send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0; }
  // Whether the server answered or closed within `patience`: it no longer waits for the rest.
  bool Ended(std::chrono::milliseconds patience) {
    if (fd_ < 0) return true;
    pollfd wait = {fd_, POLLIN, 0};
    return poll(&wait, 1, static_cast<int>(patience.count())) > 0;
  }

 private:
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  int fd_;
};

// Seconds since the epoch of "2026-12-08T07:21:13Z", -1 for anything else.
long long Rfc3339Utc(const std::string& text) {
  std::tm parts{};
  const char* end = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%SZ", &parts);
  if (end == nullptr || *end != 0 || text.size() != 20) return -1;
  return static_cast<long long>(timegm(&parts));
}

long long Now() { return static_cast<long long>(std::time(nullptr)); }

TEST_P(RankdHttp, TheRankingsShowAsJsonAndAsAPageWithEveryNameEscaped) {
  // Kept directly, as an older server or a hand in the database may have: the game itself
  // refuses control bytes and bytes that are no code page 949.
  const long long before = Now();
  {
    std::string error;
    auto store = rankd::OpenRankStore(db_.where(), error);
    ASSERT_TRUE(store) << error;
    ASSERT_TRUE(store->Store({{1, "a<&\"\x01'>", 2, 3000, 1, 3725},
                              {1, Cp949("닭고기"), 4, 5000, 7, 75},
                              {1, "tie", 1, 3000, 0, 9},
                              {1,
                               "\xFF"
                               "A",
                               1, 10, 0, 0},
                              {0, "solo", 1, 1, 0, 1}},
                             error))
        << error;
  }
  ASSERT_TRUE(StartWeb()) << server_.Log();
  // Kept through the game's port while the web side reads: the reader sees the commit.
  ASSERT_TRUE(Submit(server_.port(), 1, Submission("late", 3, 4000, 2, 60)).text);
  const long long after = Now();

  int status;
  std::string json = Get("/api/rankings/1", status);
  EXPECT_EQ(status, 200);
  // Every time is the moment of keeping, in UTC; with the times out the rest is exact.
  const std::regex time("\"time\":\"([^\"]*)\"");
  int times = 0;
  for (auto it = std::sregex_iterator(json.begin(), json.end(), time); it != std::sregex_iterator(); ++it, ++times) {
    const long long at = Rfc3339Utc((*it)[1].str());
    EXPECT_GE(at, before - 1) << (*it)[1].str();
    EXPECT_LE(at, after + 1) << (*it)[1].str();
  }
  EXPECT_EQ(times, 5);
  EXPECT_EQ(std::regex_replace(json, time, "\"time\":T"),
            "{\"mode\":1,\"rows\":["
            "{\"place\":1,\"name\":\"닭고기\",\"score\":5000,\"stage\":4,\"combo\":7,\"seconds\":75,\"time\":T,"
            "\"replay\":null,\"verified\":false,\"suspect\":false,\"before_checks\":false},"
            "{\"place\":2,\"name\":\"late\",\"score\":4000,\"stage\":3,\"combo\":2,\"seconds\":60,\"time\":T,"
            "\"replay\":null,\"verified\":false,\"suspect\":false,\"before_checks\":false},"
            "{\"place\":3,\"name\":\"a<&\\\"\\u0001'>\",\"score\":3000,\"stage\":2,\"combo\":1,\"seconds\":3725,"
            "\"time\":T,\"replay\":null,\"verified\":false,\"suspect\":false,\"before_checks\":false},"
            "{\"place\":4,\"name\":\"tie\",\"score\":3000,\"stage\":1,\"combo\":0,\"seconds\":9,\"time\":T,"
            "\"replay\":null,\"verified\":false,\"suspect\":false,\"before_checks\":false},"
            "{\"place\":5,\"name\":\"\uFFFDA\",\"score\":10,\"stage\":1,\"combo\":0,\"seconds\":0,\"time\":T,"
            "\"replay\":null,\"verified\":false,\"suspect\":false,\"before_checks\":false}]}");
  EXPECT_EQ(Get("/api/rankings/2", status), "{\"mode\":2,\"rows\":[]}");
  EXPECT_EQ(status, 200);
  Get("/api/rankings/3", status);
  EXPECT_EQ(status, 404);

  const std::string page = Get("/", status);
  EXPECT_EQ(status, 200);
  for (const char* shown :
       {"쉬운게임", "보통게임", "하드코어게임", ">solo<", ">닭고기<", ">a&lt;&amp;&quot;?&#39;&gt;<", ">\uFFFDA<",
        "<td class=\"n\">1:02:05</td>", "<meta name=\"viewport\""}) {
    EXPECT_NE(page.find(shown), std::string::npos) << shown << "\n" << page;
  }
  EXPECT_EQ(page.find("a<&"), std::string::npos) << page;
  EXPECT_EQ(page.find("<script"), std::string::npos) << page;

  EXPECT_EQ(Get("/healthz", status), "ok\n");
  EXPECT_EQ(status, 200);
}

TEST_P(RankdHttp, MetricsCountEveryExchangeAndPromtoolAcceptsThem) {
  ASSERT_TRUE(StartWeb({"--max-per-address", "2"})) << server_.Log();
  ASSERT_TRUE(Submit(server_.port(), 0, Submission("kept", 2, 700)).text);
  ASSERT_TRUE(Submit(server_.port(), 0, Submission("low", 2, 0)).text);  // not above the score to beat
  ASSERT_TRUE(Decline(server_.port(), 1).text);
  // A banned name's submission sees the listing as any other, and counts as banned.
  std::string out;
  ASSERT_EQ(RunProgram({RANKCTL_BINARY, "--db", db_.where(), "ban", "outlaw"}, out), 0) << out;
  ASSERT_TRUE(Submit(server_.port(), 0, Submission("outlaw", 2, 900)).text);
  {
    Client bad(server_.port());
    ASSERT_TRUE(bad.Send(RequestBytes(7)));  // no such difficulty
    EXPECT_TRUE(bad.ClosedByServer());
  }
  // Two held connections, and a third from the same address closed by the limit.
  Client one(server_.port());
  Client two(server_.port());
  ASSERT_TRUE(WaitFor([&] { return Figure("rankd_connections_open") == 2; }, 30s)) << server_.Log();
  Client three(server_.port());
  EXPECT_TRUE(three.ClosedByServer());

  const auto counted = [&](const char* sample, double value) {
    return WaitFor([&] { return Figure(sample) == value; }, 30s);
  };
  EXPECT_TRUE(counted("rankd_exchanges_total{outcome=\"stored\"}", 1));
  EXPECT_TRUE(counted("rankd_exchanges_total{outcome=\"banned\"}", 1));
  EXPECT_TRUE(server_.LogShows("mode 0 banned")) << server_.Log();
  EXPECT_TRUE(counted("rankd_exchanges_total{outcome=\"refused\"}", 1));
  EXPECT_TRUE(counted("rankd_refusals_total{reason=\"not_above_threshold\"}", 1));
  EXPECT_TRUE(counted("rankd_exchanges_total{outcome=\"declined\"}", 1));
  EXPECT_TRUE(counted("rankd_exchanges_total{outcome=\"malformed\"}", 1));
  EXPECT_TRUE(counted("rankd_connections_refused_total{limit=\"max_per_address\"}", 1));
  EXPECT_TRUE(counted("rankd_exchange_duration_seconds_count", 5));
  EXPECT_TRUE(counted("rankd_exchange_duration_seconds_bucket{le=\"+Inf\"}", 5));
  EXPECT_TRUE(counted("rankd_store_commit_duration_seconds_count", 2));
  EXPECT_EQ(Figure("rankd_scores_verified_total"), 0);
  EXPECT_EQ(Figure("rankd_scores_suspect_total"), 0);
  one.Close();
  two.Close();
  EXPECT_TRUE(counted("rankd_connections_open", 0));
  EXPECT_TRUE(counted("rankd_exchanges_total{outcome=\"closed\"}", 2));

  int status;
  const std::string metrics = Get("/metrics", status);
  EXPECT_EQ(status, 200);
  if (std::system("command -v promtool >/dev/null") != 0) {
    GTEST_SKIP() << "promtool is not installed (Debian package prometheus): its check of /metrics is not run";
  }
  const std::string file = dir_.path() / "metrics.txt";
  std::ofstream(file) << metrics;
  std::string output;
  EXPECT_EQ(RunProgram({"/bin/sh", "-c", "promtool check metrics < " + file}, output), 0) << output << metrics;
}

TEST_P(RankdHttp, SlowClientsAreCutAndHoldNeitherHealthNorMetrics) {
  ASSERT_TRUE(StartWeb()) << server_.Log();
  constexpr int kSlow = 20;
  std::atomic<int> cut{0};
  std::atomic<int> connected{0};
  std::vector<std::thread> slow;
  for (int i = 0; i < kSlow; ++i) {
    slow.emplace_back([&] {
      Dribbler d(webPort_);
      ++connected;
      // A header byte a second, far longer than a request may take.
      for (int second = 0; second < 40; ++second) {
        if (d.Ended(1s) || !d.Send("x")) {
          ++cut;
          return;
        }
      }
    });
  }
  ASSERT_TRUE(WaitFor([&] { return connected == kSlow; }, 30s));
  std::this_thread::sleep_for(1s);  // the slow ones have begun their requests

  const std::string health = GetFrom(webPort_, "127.0.0.2", "/healthz", 5s);
  EXPECT_EQ(health.rfind("HTTP/1.1 200", 0), 0u) << health;
  EXPECT_TRUE(health.ends_with("\r\n\r\nok\n")) << health;
  const std::string metrics = GetFrom(webPort_, "127.0.0.3", "/metrics", 5s);
  EXPECT_EQ(metrics.rfind("HTTP/1.1 200", 0), 0u) << metrics;
  EXPECT_NE(metrics.find("\nrankd_connections_open 0\n"), std::string::npos) << metrics;

  for (std::thread& t : slow) t.join();
  EXPECT_EQ(cut.load(), kSlow);  // every one cut by the request's deadline or the address's bound
  int status;
  EXPECT_EQ(Get("/healthz", status), "ok\n");
  EXPECT_EQ(status, 200);
}

INSTANTIATE_TEST_SUITE_P(Engines, RankdHttp, ::testing::Values("sqlite", "postgresql"), EngineName);

// A SQLite file cannot be taken away from under a running server; a PostgreSQL database can.
using RankdHealth = RankdHttp;

bool AdminRun(const std::string& sql) {
  PGconn* admin = PQconnectdb((std::string(std::getenv("BRAKKEL_TEST_PG_URI")) + "/postgres").c_str());
  PGresult* result = PQexec(admin, sql.c_str());
  const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
  PQclear(result);
  PQfinish(admin);
  return ok;
}

TEST_P(RankdHealth, HealthFailsWhileTheDatabaseIsGoneAndReturnsWithIt) {
  ASSERT_TRUE(StartWeb()) << server_.Log();
  int status;
  EXPECT_EQ(Get("/healthz", status), "ok\n");
  EXPECT_EQ(status, 200);

  const std::string name = db_.where().substr(db_.where().rfind('/') + 1);
  // Renamed with its sessions ended, the database is gone for the server's reconnections.
  ASSERT_TRUE(WaitFor(
      [&] {
        return AdminRun("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + name +
                        "'; ALTER DATABASE " + name + " RENAME TO " + name + "_gone");
      },
      30s));
  EXPECT_TRUE(WaitFor(
      [&] {
        Get("/healthz", status);
        return status == 503;
      },
      30s))
      << status;
  Get("/", status);
  EXPECT_EQ(status, 503);
  // The game's port does not wait on the web side: declines are answered meanwhile.
  EXPECT_TRUE(Decline(server_.port(), 0).text);

  ASSERT_TRUE(AdminRun("ALTER DATABASE " + name + "_gone RENAME TO " + name));
  EXPECT_TRUE(WaitFor(
      [&] {
        Get("/healthz", status);
        return status == 200;
      },
      30s))
      << status;
  EXPECT_EQ(Get("/api/rankings/0", status), "{\"mode\":0,\"rows\":[]}");
}

INSTANTIATE_TEST_SUITE_P(Engines, RankdHealth, ::testing::Values("postgresql"), EngineName);

}  // namespace
}  // namespace rankd_test
