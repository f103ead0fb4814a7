// rankd through its socket, on SQLite and on PostgreSQL: thresholds, the rules, the modes,
// malformed and slow clients, restarts and two servers on one database.
#include <libpq-fe.h>
#include <netinet/in.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "support/cp949_text.h"
#include "support/scripted_server.h"
#include "tests/rankd/engine_fixture.h"

namespace rankd_test {
namespace {

// "홍길동이다" less its last byte: 9 bytes of code page 949 and one ASCII letter.
const std::string kNineByteName = Cp949("홍길동이") + "a";

std::vector<rankd::Score> Sorted(std::vector<rankd::Score> scores) {
  std::sort(scores.begin(), scores.end(), [](const rankd::Score& a, const rankd::Score& b) {
    return std::tie(a.mode, a.name, a.score) < std::tie(b.mode, b.name, b.score);
  });
  return scores;
}

using RankdBehaviour = EngineTest;

// Holds the scores table against writers, as another client of the database might, so the
// server's commit waits until Release (or the end of the holder).
class WriteLock {
 public:
  WriteLock(const std::string& engine, const std::string& where) {
    if (engine == "postgresql") {
      pg_ = PQconnectdb(where.c_str());
      PGresult* r = PQexec(pg_, "BEGIN; LOCK TABLE scores IN EXCLUSIVE MODE");
      held_ = PQresultStatus(r) == PGRES_COMMAND_OK;
      PQclear(r);
    } else {
      held_ = sqlite3_open(where.c_str(), &lite_) == SQLITE_OK &&
              sqlite3_exec(lite_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
  }
  ~WriteLock() {
    Release();
    PQfinish(pg_);
    sqlite3_close(lite_);
  }
  bool held() const { return held_; }
  void Release() {
    if (!held_) return;
    held_ = false;
    if (pg_ != nullptr) PQclear(PQexec(pg_, "ROLLBACK"));
    if (lite_ != nullptr) sqlite3_exec(lite_, "ROLLBACK", nullptr, nullptr, nullptr);
  }

 private:
  PGconn* pg_ = nullptr;
  sqlite3* lite_ = nullptr;
  bool held_ = false;
};

TEST_P(RankdBehaviour, TheScoreToBeatIsTheTwentiethOnceTwentyAreKept) {
  ASSERT_TRUE(Start()) << server_.Log();
  Seen seen = Decline(server_.port(), 0);
  ASSERT_TRUE(seen.text);
  EXPECT_EQ(seen.threshold, 0u);
  EXPECT_EQ(seen.listing, ExpectedListing({}, 0));

  std::vector<rankd::Score> kept;
  for (int i = 0; i < 20; ++i) {
    const ScoreSubmission s = Submission("n" + std::to_string(i), 1 + i % 4,
                                         300 + static_cast<uint32_t>((i * 37) % 20) * 5, i,
                                         60 + static_cast<uint32_t>(i));
    seen = Submit(server_.port(), 0, s);
    ASSERT_TRUE(seen.text) << i;
    EXPECT_EQ(seen.threshold, 0u) << i;  // fewer than 20 kept when it was sent
    kept.push_back(ScoreOf(0, s));
    EXPECT_EQ(seen.listing, ExpectedListing(kept, 0)) << i;
  }
  seen = Decline(server_.port(), 0);
  EXPECT_EQ(seen.threshold, 300u);  // the lowest of the twenty
  // An equal later score ranks below the earlier one; one equal to the threshold is refused.
  const ScoreSubmission tie = Submission("tie", 2, 350, 1, 5);
  seen = Submit(server_.port(), 0, tie);
  kept.push_back(ScoreOf(0, tie));
  EXPECT_EQ(seen.listing, ExpectedListing(kept, 0));
  seen = Decline(server_.port(), 0);
  EXPECT_EQ(seen.threshold, 305u);
  seen = Submit(server_.port(), 0, Submission("low", 2, 305));
  ASSERT_TRUE(seen.text);
  EXPECT_EQ(seen.listing, ExpectedListing(kept, 0));
  EXPECT_EQ(Sorted(Kept()), Sorted(kept));
  EXPECT_TRUE(server_.LogShows("refused (score not above the score to beat)")) << server_.Log();
}

TEST_P(RankdBehaviour, RefusedSubmissionsSeeTheListingAndKeepNothing) {
  ASSERT_TRUE(Start()) << server_.Log();
  ScoreSubmission unterminated = Submission("x", 3, 500);
  std::fill(std::begin(unterminated.name), std::end(unterminated.name), 'w');
  ScoreSubmission forged = Submission("forger", 3, 500, 2, 40);
  forged.checkCode += 24151;
  const ScoreSubmission refused[] = {
      Submission("abcdefghij", 3, 500), unterminated, Submission("ab\x01", 3, 500), Submission("\x80\x41", 3, 500),
      Submission("", 3, 500),           forged,       Submission("zero", 0, 500),   Submission("combo", 2, 500, -5),
  };
  for (const ScoreSubmission& s : refused) {
    const Seen seen = Submit(server_.port(), 1, s);
    ASSERT_TRUE(seen.text);
    EXPECT_EQ(seen.listing, ExpectedListing({}, 1));
  }
  EXPECT_TRUE(Kept().empty());

  const ScoreSubmission good = Submission(kNineByteName, 7, 777, 12, 321);
  const Seen seen = Submit(server_.port(), 1, good);
  EXPECT_EQ(seen.listing, ExpectedListing({ScoreOf(1, good)}, 1));
  EXPECT_EQ(Kept(), std::vector<rankd::Score>{ScoreOf(1, good)});
  for (const char* reason :
       {"name longer than 9 bytes", "name without terminator", "control byte in name", "name not code page 949",
        "empty name", "wrong check code", "stage below 1", "negative best combo"}) {
    EXPECT_TRUE(server_.LogShows(reason)) << reason << "\n" << server_.Log();
  }
}

TEST_P(RankdBehaviour, TheDifficultiesAreKeptApart) {
  ASSERT_TRUE(Start()) << server_.Log();
  std::vector<rankd::Score> kept;
  for (int mode = 0; mode < 3; ++mode) {
    for (int i = 0; i < 21; ++i) {
      const ScoreSubmission s = Submission("m" + std::to_string(mode) + "r" + std::to_string(i), 1,
                                           static_cast<uint32_t>(1000 * (mode + 1) + i));
      ASSERT_TRUE(Submit(server_.port(), mode, s).text);
      kept.push_back(ScoreOf(mode, s));
    }
  }
  for (int mode = 0; mode < 3; ++mode) {
    const Seen seen = Decline(server_.port(), mode);
    EXPECT_EQ(seen.threshold, static_cast<uint32_t>(1000 * (mode + 1) + 1)) << mode;
    EXPECT_EQ(seen.listing, ExpectedListing(kept, mode)) << mode;
  }
  EXPECT_EQ(Sorted(Kept()), Sorted(kept));
}

TEST_P(RankdBehaviour, MalformedAndSlowClientsCloseOnlyTheirOwnConnection) {
  ASSERT_TRUE(Start({"--request-time", "0.5", "--answer-time", "1", "--message-time", "0.8"})) << server_.Log();
  const uint16_t port = server_.port();
  const ScoreSubmission pieces = Submission("pieces", 4, 4444, 3, 99);
  std::vector<std::thread> hostile;
  std::atomic<int> failures{0};
  auto expect = [&](bool ok, const char* what) {
    if (!ok) {
      ++failures;
      ADD_FAILURE() << what;
    }
  };
  hostile.emplace_back([&] {
    Client c(port);  // says nothing
    expect(c.ClosedByServer(3s), "silent client not closed");
  });
  hostile.emplace_back([&] {
    Client c(port);
    const uint8_t garbage[] = {7, 7, 7, 7, 7, 7, 7, 7};
    c.Send(garbage, sizeof garbage);
    expect(c.ClosedByServer(3s), "garbage not closed");
  });
  hostile.emplace_back([&] {
    Client c(port);
    c.Send(RequestBytes(3));
    expect(c.ClosedByServer(3s), "mode 3 not closed");
  });
  hostile.emplace_back([&] {
    Client c(port);
    uint8_t reply[kThresholdReplyBytes];
    c.Send(RequestBytes(0));
    expect(c.Receive(reply, sizeof reply), "no reply");
    const uint8_t unknown[] = {9, 0};
    c.Send(unknown, sizeof unknown);
    expect(c.ClosedByServer(3s), "unknown answer type not closed");
  });
  hostile.emplace_back([&] {
    Client c(port);  // one byte of a request, then a byte every 300 ms
    c.Send(RequestBytes(0).data(), 1);
    std::this_thread::sleep_for(300ms);
    uint8_t reply[kThresholdReplyBytes];
    c.Send(RequestBytes(0).data() + 1, 1);
    expect(c.Receive(reply, sizeof reply), "slow request not answered in time");
    const auto bytes = SubmissionBytes(Submission("slow", 2, 2222));
    bool closed = false;
    for (size_t i = 0; i < bytes.size() && !closed; ++i) {
      c.Send(&bytes[i], 1);
      closed = c.ClosedByServer(300ms);
    }
    expect(closed, "slow sender not closed");
  });
  hostile.emplace_back([&] {
    Client c(port);  // a player who never types a name
    uint8_t reply[kThresholdReplyBytes];
    c.Send(RequestBytes(1));
    expect(c.Receive(reply, sizeof reply), "no reply");
    expect(c.ClosedByServer(4s), "waiting answer not closed");
  });
  hostile.emplace_back([&] {
    Client c(port);  // half a submission, then gone
    uint8_t reply[kThresholdReplyBytes];
    c.Send(RequestBytes(2));
    expect(c.Receive(reply, sizeof reply), "no reply");
    const auto bytes = SubmissionBytes(Submission("half", 2, 3333));
    c.Send(bytes.data(), 60);
  });
  hostile.emplace_back([&] {
    Client c(port);  // the right bytes, one segment each
    uint8_t reply[kThresholdReplyBytes];
    std::vector<uint8_t> request = RequestBytes(2);
    c.NoDelay();
    for (uint8_t b : request) c.Send(&b, 1);
    expect(c.Receive(reply, sizeof reply), "no reply to a request in pieces");
    for (uint8_t b : SubmissionBytes(pieces)) c.Send(&b, 1);
    std::string listing;
    expect(ReceiveListing(c, listing), "submission in pieces got no listing");
    expect(listing.find("pieces") != std::string::npos, "submission in pieces not in its listing");
  });

  // Honest players meanwhile.
  std::vector<rankd::Score> kept = {ScoreOf(2, pieces)};
  for (int i = 0; i < 30; ++i) {
    if (i % 3 == 0) {
      const ScoreSubmission s = Submission("honest" + std::to_string(i), 3, 100 + static_cast<uint32_t>(i));
      EXPECT_TRUE(Submit(port, i % 2, s).text) << i;
      kept.push_back(ScoreOf(i % 2, s));
    } else {
      EXPECT_TRUE(Decline(port, i % 3).text) << i;
    }
    std::this_thread::sleep_for(30ms);
  }
  for (std::thread& t : hostile) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(Sorted(Kept()), Sorted(kept));
  for (const char* line : {"bad request", "bad answer", "no request in time", "no answer in time",
                           "message not finished in time", "closed by client in a message"}) {
    EXPECT_TRUE(server_.LogShows(line)) << line << "\n" << server_.Log();
  }
}

TEST_P(RankdBehaviour, AKeptScoreIsAnsweredAsKeptHoweverLongItsCommitTook) {
  // The message has 1 s once it began; the commit it leads to takes longer than that.
  ASSERT_TRUE(Start({"--message-time", "1"})) << server_.Log();
  const ScoreSubmission s = Submission("patient", 5, 5555, 5, 55);
  const auto bytes = SubmissionBytes(s);
  Client c(server_.port());
  c.NoDelay();
  uint8_t reply[kThresholdReplyBytes];
  ASSERT_TRUE(c.Send(RequestBytes(1)) && c.Receive(reply, sizeof reply));
  {
    WriteLock lock(GetParam(), db_.where());
    ASSERT_TRUE(lock.held());
    // In two segments: the message's deadline is set by the first.
    ASSERT_TRUE(c.Send(bytes.data(), 40));
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(c.Send(bytes.data() + 40, bytes.size() - 40));
    std::this_thread::sleep_for(2500ms);
  }
  std::string listing;
  EXPECT_TRUE(ReceiveListing(c, listing, 30s)) << server_.Log();
  EXPECT_EQ(listing, ExpectedListing({ScoreOf(1, s)}, 1));
  EXPECT_EQ(Kept(), std::vector<rankd::Score>{ScoreOf(1, s)});
  EXPECT_TRUE(server_.LogShows("mode 1 stored")) << server_.Log();
}

TEST_P(RankdBehaviour, AStopDuringACommitStillAnswersTheClient) {
  ASSERT_TRUE(Start()) << server_.Log();
  const ScoreSubmission s = Submission("laststop", 3, 3030, 3, 33);
  Client c(server_.port());
  uint8_t reply[kThresholdReplyBytes];
  ASSERT_TRUE(c.Send(RequestBytes(2)) && c.Receive(reply, sizeof reply));
  {
    WriteLock lock(GetParam(), db_.where());
    ASSERT_TRUE(lock.held());
    ASSERT_TRUE(c.Send(SubmissionBytes(s)));
    std::this_thread::sleep_for(200ms);
    kill(server_.pid(), SIGTERM);
    ASSERT_TRUE(server_.LogShows("stopping", 60s)) << server_.Log();
    // Past the 2 s the exchanges under way are given.
    std::this_thread::sleep_for(3s);
  }
  std::string listing;
  EXPECT_TRUE(ReceiveListing(c, listing, 30s)) << server_.Log();
  EXPECT_EQ(listing, ExpectedListing({ScoreOf(2, s)}, 2));
  EXPECT_EQ(server_.Wait(30s), 0) << server_.Log();
  EXPECT_EQ(Kept(), std::vector<rankd::Score>{ScoreOf(2, s)});
}

TEST_P(RankdBehaviour, ARestartKeepsTheRankings) {
  ASSERT_TRUE(Start()) << server_.Log();
  std::vector<rankd::Score> kept;
  for (int i = 0; i < 24; ++i) {
    const ScoreSubmission s = Submission("r" + std::to_string(i), 2, 50u + static_cast<uint32_t>(i * 7 % 24));
    if (Submit(server_.port(), i % 3, s).text) kept.push_back(ScoreOf(i % 3, s));
  }
  ASSERT_EQ(server_.Stop(), 0) << server_.Log();
  ASSERT_TRUE(Start()) << server_.Log();
  for (int mode = 0; mode < 3; ++mode) {
    EXPECT_EQ(Decline(server_.port(), mode).listing, ExpectedListing(kept, mode)) << mode;
  }
  EXPECT_EQ(Sorted(Kept()), Sorted(kept));
}

TEST_P(RankdBehaviour, TwoServersOnOneDatabaseAnswerTheSame) {
  if (GetParam() != "postgresql") GTEST_SKIP() << "one SQLite file serves one rankd";
  RankdProcess other;
  ASSERT_TRUE(Start()) << server_.Log();
  ASSERT_TRUE(Start(other)) << other.Log();
  const uint16_t ports[2] = {server_.port(), other.port()};
  std::vector<rankd::Score> kept;
  for (int i = 0; i < 24; ++i) {
    const ScoreSubmission s = Submission("two" + std::to_string(i), 5, 5000u + static_cast<uint32_t>(i * 11 % 24));
    const Seen seen = Submit(ports[i % 2], 2, s);
    ASSERT_TRUE(seen.text) << i;
    if (s.score > seen.threshold) kept.push_back(ScoreOf(2, s));
    EXPECT_EQ(seen.listing, ExpectedListing(kept, 2)) << i;
    // The other server hears of it at once and answers the same.
    const std::string expected = ExpectedListing(kept, 2);
    EXPECT_TRUE(WaitFor([&] { return Decline(ports[(i + 1) % 2], 2).listing == expected; }, 2s)) << i;
    EXPECT_EQ(Decline(ports[0], 2).threshold, Decline(ports[1], 2).threshold) << i;
  }
  EXPECT_EQ(other.Stop(), 0) << other.Log();
  EXPECT_EQ(Sorted(Kept()), Sorted(kept));
}

TEST_P(RankdBehaviour, StoppingLetsExchangesUnderWayEndAndClosesTheRestWithinTwoSeconds) {
  ASSERT_TRUE(Start()) << server_.Log();
  const uint16_t port = server_.port();
  uint8_t reply[kThresholdReplyBytes];
  Client typing(port);  // a player who will not have typed a name in time
  ASSERT_TRUE(typing.Send(RequestBytes(0)) && typing.Receive(reply, sizeof reply));
  Client finishing(port);
  ASSERT_TRUE(finishing.Send(RequestBytes(0)) && finishing.Receive(reply, sizeof reply));

  const auto asked = std::chrono::steady_clock::now();
  kill(server_.pid(), SIGTERM);
  ASSERT_TRUE(server_.LogShows("stopping", 60s)) << server_.Log();
  Client late(port);  // no new exchanges
  EXPECT_TRUE(!late.connected() || late.ClosedByServer(10s));

  const ScoreSubmission s = Submission("intime", 4, 4040, 4, 44);
  std::string listing;
  ASSERT_TRUE(finishing.Send(SubmissionBytes(s)));
  EXPECT_TRUE(ReceiveListing(finishing, listing));
  EXPECT_EQ(listing, ExpectedListing({ScoreOf(0, s)}, 0));
  EXPECT_TRUE(typing.ClosedByServer(30s));
  EXPECT_EQ(server_.Wait(10s), 0) << server_.Log();
  // 2 s of grace and the way out, far short of the 90 s the typing player would otherwise
  // be given; the bound is loose so that a slow, loaded machine passes too.
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 30s);
  EXPECT_EQ(Kept(), std::vector<rankd::Score>{ScoreOf(0, s)});
  EXPECT_NE(server_.Log().find("closed at shutdown"), std::string::npos) << server_.Log();  // it has ended
}

TEST_P(RankdBehaviour, ALostDatabaseConnectionIsTakenUpAgainAndDeclinesGoOn) {
  if (GetParam() != "postgresql") GTEST_SKIP() << "SQLite has no connection to lose";
  ASSERT_TRUE(Start()) << server_.Log();
  const ScoreSubmission first = Submission("before", 3, 300);
  ASSERT_TRUE(Submit(server_.port(), 1, first).text);
  std::vector<rankd::Score> kept = {ScoreOf(1, first)};

  PGconn* admin = PQconnectdb(db_.where().c_str());
  ASSERT_EQ(PQstatus(admin), CONNECTION_OK) << PQerrorMessage(admin);
  PGresult* result = PQexec(admin,
                            "SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                            " WHERE datname = current_database() AND pid <> pg_backend_pid()");
  EXPECT_EQ(PQresultStatus(result), PGRES_TUPLES_OK);
  EXPECT_GE(PQntuples(result), 1);
  PQclear(result);
  PQfinish(admin);

  // Declines are answered from what the server holds.
  EXPECT_EQ(Decline(server_.port(), 1).listing, ExpectedListing(kept, 1));
  // Submissions: one that the server could not commit gets no listing and is not kept;
  // soon they are committed again.
  std::vector<rankd::Score> lost;
  bool storedAgain = false;
  for (int i = 0; i < 40 && !storedAgain; ++i) {
    const ScoreSubmission s = Submission("after" + std::to_string(i), 3, 400u + static_cast<uint32_t>(i));
    if (Submit(server_.port(), 1, s).text) {
      kept.push_back(ScoreOf(1, s));
      storedAgain = true;
    } else {
      lost.push_back(ScoreOf(1, s));
      std::this_thread::sleep_for(100ms);
    }
  }
  EXPECT_TRUE(storedAgain) << server_.Log();
  EXPECT_LE(lost.size(), 2u);
  EXPECT_EQ(Sorted(Kept()), Sorted(kept));
  EXPECT_EQ(Decline(server_.port(), 1).listing, ExpectedListing(kept, 1));
}

INSTANTIATE_TEST_SUITE_P(Engines, RankdBehaviour, ::testing::Values("sqlite", "postgresql"), EngineName);

TEST(RankdProgram, TakesItsListeningSocketFromSystemd) {
  const char* activate = "/usr/bin/systemd-socket-activate";
  if (access(activate, X_OK) != 0) GTEST_SKIP() << "no systemd-socket-activate here";
  TempFolder dir("rankd-test");
  const uint16_t port = ClosedPort();
  ASSERT_NE(port, 0);
  RankdProcess server;
  // systemd's helper listens and starts rankd with the socket at the first connection.
  ASSERT_TRUE(server.Spawn({activate, "-l", "127.0.0.1:" + std::to_string(port), RANKD_BINARY, "--port", "1", "--db",
                            dir.path() / "r.sqlite"},
                           dir.path() / "rankd.log"));
  Seen seen;
  ASSERT_TRUE(WaitFor([&] { return (seen = Decline(port, 2)).text; }, 10s)) << server.Log();
  EXPECT_EQ(seen.listing, ExpectedListing({}, 2));
  EXPECT_TRUE(server.LogShows("from systemd")) << server.Log();
  EXPECT_EQ(server.Stop(), 0) << server.Log();
}

TEST(RankdProgram, BadOptionsGiveAReasonAndStatusTwo) {
  std::string output;
  EXPECT_EQ(RunProgram({RANKD_BINARY, "--port", "99999"}, output), 2);
  EXPECT_NE(output.find("--port"), std::string::npos) << output;
  EXPECT_EQ(RunProgram({RANKD_BINARY, "--colour"}, output), 2);
  EXPECT_NE(output.find("unknown option --colour"), std::string::npos) << output;
  for (const char* http : {"127.0.0.1", "localhost:8080", "::1:8080", "127.0.0.1:65536", "[127.0.0.1]:80"}) {
    EXPECT_EQ(RunProgram({RANKD_BINARY, "--http", http}, output), 2) << http;
    EXPECT_NE(output.find("--http"), std::string::npos) << output;
  }
  EXPECT_EQ(RunProgram({RANKD_BINARY, "--help"}, output), 0);
  for (const char* option :
       {"--port", "--bind", "--db", "--max-connections", "--max-per-address", "--request-time", "--answer-time",
        "--message-time", "--send-time", "--http", "--check-threads", "--replay-memory"}) {
    EXPECT_NE(output.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(RunProgram({RANKD_BINARY, "--db", "/nonexistent/folder/r.sqlite"}, output), 1);
  EXPECT_NE(output.find("cannot open the database"), std::string::npos) << output;
  TempFolder dir("rankd-test");
  // --bind takes addresses only, refused as any bad value is.
  for (const char* bind : {"not-an-address", "localhost", "[::1]", "127.0.0.1:20", ""}) {
    EXPECT_EQ(RunProgram({RANKD_BINARY, "--bind", bind, "--db", dir.path() / "r.sqlite"}, output), 2) << bind;
    EXPECT_NE(output.find("--bind"), std::string::npos) << output;
  }
}

// Plays a decline's first step over IPv6 to [::1]:port: true when the server's 56-byte
// reply came back.
bool RepliesOverIpv6(uint16_t port) {
  const int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  address.sin6_port = htons(port);
  const timeval patience{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  const std::vector<uint8_t> request = RequestBytes(2);
  uint8_t reply[kThresholdReplyBytes];
  size_t got = 0;
  bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
  while (ok && got < sizeof reply) {
    const ssize_t n = recv(fd, reply + got, sizeof reply - got, 0);
    ok = n > 0;
    if (ok) got += static_cast<size_t>(n);
  }
  close(fd);
  return ok;
}

// Several --bind listen on one port, IPv4 and IPv6 together (:: and 0.0.0.0 as well); :: alone
// takes IPv4 clients too, known by their IPv4 address.
TEST(RankdProgram, ListensOnEveryBindAndIpv6) {
  if (!ScriptedServer::HasIpv6Loopback()) GTEST_SKIP() << "this machine has no IPv6 loopback (::1) to listen on";
  TempFolder dir("rankd-test");
  const std::string db = dir.path() / "r.sqlite";
  int run = 0;
  for (const auto& binds : {std::vector<std::string>{"--bind", "::1", "--bind", "127.0.0.1"},
                            std::vector<std::string>{"--bind", "::", "--bind", "0.0.0.0"}}) {
    SCOPED_TRACE(binds[1]);
    RankdProcess server;
    std::vector<std::string> options = binds;
    options.insert(options.end(), {"--db", db});
    ASSERT_TRUE(server.Start(options, dir.path() / ("rankd" + std::to_string(++run) + ".log"))) << server.Log();
    EXPECT_TRUE(Decline(server.port(), 2).text) << server.Log();
    EXPECT_TRUE(RepliesOverIpv6(server.port())) << server.Log();
    const std::string port = std::to_string(server.port());
    EXPECT_TRUE(server.LogShows("[" + binds[1] + "]:" + port + " ")) << server.Log();
    EXPECT_TRUE(server.LogShows("listening on " + binds[3] + ":" + port + " ")) << server.Log();
    EXPECT_TRUE(server.LogShows("::1 mode 2")) << server.Log();
    EXPECT_EQ(server.Stop(), 0) << server.Log();
  }
  RankdProcess dual;
  ASSERT_TRUE(dual.Start({"--bind", "::", "--db", db}, dir.path() / "dual.log")) << dual.Log();
  EXPECT_TRUE(Decline(dual.port(), 2).text) << dual.Log();
  EXPECT_TRUE(RepliesOverIpv6(dual.port())) << dual.Log();
  EXPECT_TRUE(dual.LogShows("127.0.0.1 mode 2")) << dual.Log();
  EXPECT_EQ(dual.Stop(), 0) << dual.Log();
  EXPECT_EQ(dual.Log().find("::ffff:"), std::string::npos) << dual.Log();
}

}  // namespace
}  // namespace rankd_test
