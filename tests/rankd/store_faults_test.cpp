// rankd and rankctl when the database misbehaves: a backup's lock on the table, a
// PostgreSQL that stops answering, a disk that fills up; and the news servers on one
// database send each other only when something changed.
#include <fcntl.h>
#include <httplib.h>
#include <libpq-fe.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "tests/rankd/engine_fixture.h"
#include "tests/rankd/stalling_relay.h"

namespace rankd_test {
namespace {

// A session of the test's own on a PostgreSQL database, to hold locks or change tables.
class PgSession {
 public:
  explicit PgSession(const std::string& uri) : conn_(PQconnectdb(uri.c_str())) {}
  ~PgSession() { PQfinish(conn_); }
  PgSession(const PgSession&) = delete;
  PgSession& operator=(const PgSession&) = delete;
  // Runs the statements; the server's reason when they fail.
  std::string Exec(const std::string& sql) {
    PGresult* result = PQexec(conn_, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    PQclear(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ? "" : PQerrorMessage(conn_);
  }

 private:
  PGconn* conn_;
};

class StoreFaults : public EngineTest {
 protected:
  // Runs a program to its end or kills it after `patience`: its exit status (-1 when
  // killed) and what it wrote.
  int RunWithin(const std::vector<std::string>& command, std::chrono::milliseconds patience, std::string& output) {
    const std::string log = dir_.path() / ("run" + std::to_string(++runs_) + ".log");
    RankdProcess program;
    if (!program.Spawn(command, log)) return -1;
    const int status = program.Wait(patience);
    output = program.Log();
    return status;
  }
  int Rankctl(const std::vector<std::string>& args, std::string& output) {
    std::vector<std::string> command = {RANKCTL_BINARY, "--db", db_.where()};
    command.insert(command.end(), args.begin(), args.end());
    return RunWithin(command, 60s, output);
  }
  // Starts `server_` on `where` with its web side; false when it does not listen.
  bool StartWeb(const std::string& where, std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"--db", where, "--http", "127.0.0.1:0"});
    if (!server_.Start(options, dir_.path() / "rankd.log")) return false;
    const std::string log = server_.Log();
    const std::string mark = "web page on http://127.0.0.1:";
    const size_t at = log.find(mark);
    if (at == std::string::npos) return false;
    web_ = std::make_unique<httplib::Client>("127.0.0.1", std::atoi(log.c_str() + at + mark.size()));
    web_->set_connection_timeout(5, 0);
    web_->set_read_timeout(5, 0);
    return true;
  }
  // /healthz's status (-1 without an answer in 5 s), its body in `body`.
  int Health(std::string* body = nullptr) {
    const auto result = web_->Get("/healthz");
    if (body != nullptr) *body = result ? result->body : "";
    return result ? result->status : -1;
  }

  std::unique_ptr<httplib::Client> web_;
  int runs_ = 0;
};

// A backup holds its lock on the scores table as long as the copy takes: pg_dump an ACCESS
// SHARE lock on PostgreSQL, and on SQLite any other writer holds the write lock a while.
// Neither may hold up a server's start or rankctl's list. A database that needs a change
// waits for the lock a bounded time and says what holds it.
TEST_P(StoreFaults, ABackupsLockHoldsUpNeitherAListNorAStartingServer) {
  ASSERT_TRUE(Start()) << server_.Log();
  const ScoreSubmission before = Submission("before", 3, 300);
  ASSERT_TRUE(Submit(server_.port(), 1, before).text);
  ASSERT_EQ(server_.Stop(), 0) << server_.Log();

  const bool pg = GetParam() == "postgresql";
  // The session that holds the lock is named, as pg_dump's is, so the message can tell.
  PgSession backup(pg ? db_.where() + "?application_name=nightly_backup" : "");
  sqlite3* writer = nullptr;
  if (pg) {
    ASSERT_EQ(backup.Exec("BEGIN; LOCK TABLE scores IN ACCESS SHARE MODE"), "");
  } else {
    ASSERT_EQ(sqlite3_open(db_.where().c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  }
  std::string output;
  EXPECT_EQ(Rankctl({"list", "normal"}, output), 0) << output;
  EXPECT_NE(output.find("\tbefore\t300\t"), std::string::npos) << output;
  ASSERT_TRUE(Start()) << server_.Log();
  EXPECT_EQ(Decline(server_.port(), 1).listing, ExpectedListing({ScoreOf(1, before)}, 1));
  if (pg) {
    // pg_dump's lock lets rows in (SQLite's writer would not).
    EXPECT_TRUE(Submit(server_.port(), 1, Submission("during", 3, 400)).text) << server_.Log();
  }
  ASSERT_EQ(server_.Stop(), 0) << server_.Log();
  sqlite3_close_v2(writer);
  if (!pg) return;
  ASSERT_EQ(backup.Exec("COMMIT"), "");

  // A database that lacks an index can be read, and the index made, while the backup runs.
  PgSession owner(db_.where());
  ASSERT_EQ(owner.Exec("DROP INDEX scores_unchecked"), "");
  ASSERT_EQ(backup.Exec("BEGIN; LOCK TABLE scores IN ACCESS SHARE MODE"), "");
  EXPECT_EQ(Rankctl({"list", "normal"}, output), 0) << output;
  ASSERT_TRUE(Start()) << server_.Log();
  ASSERT_EQ(server_.Stop(), 0) << server_.Log();
  ASSERT_EQ(backup.Exec("COMMIT"), "");
  EXPECT_EQ(owner.Exec("DO $$ BEGIN IF to_regclass('scores_unchecked') IS NULL THEN RAISE 'no index'; END IF; END $$"),
            "");

  // A database from before replays were checked needs a column: not while the backup runs.
  ASSERT_EQ(owner.Exec("ALTER TABLE scores DROP COLUMN checked"), "");
  ASSERT_EQ(backup.Exec("BEGIN; LOCK TABLE scores IN ACCESS SHARE MODE"), "");
  EXPECT_EQ(Rankctl({"list", "normal"}, output), 3) << output;
  EXPECT_NE(output.find("lacks column scores.checked"), std::string::npos) << output;
  EXPECT_EQ(RunWithin({RANKD_BINARY, "--port", "0", "--db", db_.where()}, 60s, output), 1) << output;
  EXPECT_NE(output.find("(nightly_backup, idle in transaction) holds a lock on the table scores"), std::string::npos)
      << output;
  ASSERT_EQ(backup.Exec("COMMIT"), "");
  ASSERT_TRUE(Start()) << server_.Log();  // the change is made now
  EXPECT_EQ(Rankctl({"list", "normal"}, output), 0) << output;
}

// A PostgreSQL whose host froze: the relay in front of it stops forwarding. The server says
// so on /healthz at once, fails a submission within the exchange's limits, stops on SIGTERM
// within its stop time, and takes the database up again by itself once it answers.
TEST_P(StoreFaults, ADatabaseThatStopsAnsweringNeverHoldsTheServer) {
  if (GetParam() != "postgresql") GTEST_SKIP() << "a SQLite file does not stop answering";
  const std::string& where = db_.where();
  const size_t colon = where.rfind(':');
  const size_t slash = where.find('/', colon);
  StallingRelay relay(static_cast<uint16_t>(std::atoi(where.c_str() + colon + 1)));
  ASSERT_NE(relay.port(), 0);
  const std::string relayed = where.substr(0, colon + 1) + std::to_string(relay.port()) + where.substr(slash);
  ASSERT_TRUE(StartWeb(relayed)) << server_.Log();
  const uint16_t port = server_.port();
  std::vector<rankd::Score> kept = {ScoreOf(0, Submission("first", 2, 200))};
  ASSERT_TRUE(Submit(port, 0, Submission("first", 2, 200)).text);
  EXPECT_EQ(Health(), 200);

  relay.Freeze(true);
  std::string body;
  EXPECT_TRUE(WaitFor([&] { return Health(&body) == 503; }, 60s)) << server_.Log();
  EXPECT_NE(body.find("does not answer"), std::string::npos) << body;
  std::printf("/healthz while the database is silent: 503 %s", body.c_str());
  // The listing held is still served; a submission is told it failed: closed, no listing.
  EXPECT_EQ(Decline(port, 0).listing, ExpectedListing(kept, 0));
  {
    Client player(port);
    uint8_t reply[kThresholdReplyBytes];
    ASSERT_TRUE(player.Send(RequestBytes(0)) && player.Receive(reply, sizeof reply));
    ASSERT_TRUE(player.Send(SubmissionBytes(Submission("frozen", 2, 250))));
    // Well within the 10 s a client is given to take the listing once it is ready.
    EXPECT_TRUE(player.ClosedByServer(20s));
  }
  EXPECT_TRUE(server_.LogShows("store failed")) << server_.Log();

  relay.Freeze(false);
  EXPECT_TRUE(WaitFor([&] { return Health() == 200; }, 60s)) << server_.Log();
  const ScoreSubmission back = Submission("back", 2, 300);
  EXPECT_TRUE(Submit(port, 0, back).text) << server_.Log();
  kept.push_back(ScoreOf(0, back));

  // Frozen again, with a commit waiting on it when the stop comes.
  relay.Freeze(true);
  Client player(port);
  uint8_t reply[kThresholdReplyBytes];
  ASSERT_TRUE(player.Send(RequestBytes(0)) && player.Receive(reply, sizeof reply));
  ASSERT_TRUE(player.Send(SubmissionBytes(Submission("stopped", 2, 400))));
  kill(server_.pid(), SIGTERM);
  // 2 s for the exchanges under way and at most 2 s more for the store's thread, with a
  // wide margin for a loaded machine; a server held by its database would never end.
  EXPECT_EQ(server_.Wait(30s), 0) << server_.Log();
  EXPECT_TRUE(player.ClosedByServer(1s));
  // The statement sent before the stop may still run once the database answers (its player
  // was told it failed, as when any answer to a commit is lost); nothing else changed.
  relay.Freeze(false);
  std::vector<rankd::Score> all = Kept();
  std::erase(all, ScoreOf(0, Submission("stopped", 2, 400)));
  EXPECT_EQ(all, (std::vector<rankd::Score>{kept[1], kept[0]}));
}

// Servers on one database reread their rankings when another kept, marked or hid rows, and
// only then: with --require-verified each looks for expired rows every second, which must
// not make every other server reread every second.
TEST_P(StoreFaults, ServersTellEachOtherOnlyOfChanges) {
  if (GetParam() != "postgresql") GTEST_SKIP() << "SQLite serves one server";
  ASSERT_TRUE(Start({"--require-verified"})) << server_.Log();
  RankdProcess other;
  ASSERT_TRUE(Start(other, {"--require-verified"})) << other.Log();
  // Several rounds of the expiry on both (the log shows when the second listens; lines come
  // from both servers into one log).
  std::this_thread::sleep_for(4s);
  EXPECT_EQ(server_.Log().find("rankings reread"), std::string::npos) << server_.Log();

  ASSERT_TRUE(Submit(server_.port(), 2, Submission("kept", 5, 500)).text);
  EXPECT_TRUE(server_.LogShows("rankings reread", 20s)) << server_.Log();
  EXPECT_EQ(other.Stop(), 0) << other.Log();
}

// A disk that fills up: the commit fails with its own reason (not the rollback's), /healthz
// says so until a commit succeeds again, and nothing acknowledged is lost.
TEST_P(StoreFaults, AFullDiskFailsTheHealthWithTheCommitsOwnReason) {
  if (GetParam() != "sqlite") GTEST_SKIP() << "the test's PostgreSQL server has a disk of its own";
  const std::filesystem::path disk = dir_.path() / "disk";
  std::filesystem::create_directory(disk);
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << "): needs root";
  }
  struct Unmount {
    std::filesystem::path at;
    ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
  } unmount{disk};
  ASSERT_TRUE(StartWeb((disk / "rankd.sqlite").string())) << server_.Log();
  const ScoreSubmission first = Submission("first", 2, 200);
  ASSERT_TRUE(Submit(server_.port(), 0, first).text);
  EXPECT_EQ(Health(), 200);

  // Filled to the last byte.
  const std::string filler = disk / "filler";
  const int fd = open(filler.c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  const std::vector<char> block(4096, 'x');
  while (write(fd, block.data(), block.size()) > 0) {
  }
  while (write(fd, block.data(), 1) > 0) {
  }
  close(fd);

  bool failed = false;
  for (int i = 0; i < 20 && !failed; ++i) {
    failed = !Submit(server_.port(), 0, Submission("full" + std::to_string(i), 2, 300 + static_cast<uint32_t>(i))).text;
  }
  ASSERT_TRUE(failed) << "a full disk took every commit";
  EXPECT_TRUE(server_.LogShows("store failed")) << server_.Log();
  EXPECT_NE(server_.Log().find("full"), std::string::npos) << server_.Log();
  EXPECT_EQ(server_.Log().find("ROLLBACK"), std::string::npos) << server_.Log();
  std::string body;
  EXPECT_EQ(Health(&body), 503);
  EXPECT_NE(body.find("full"), std::string::npos) << body;
  std::printf("/healthz on a full disk: 503 %s", body.c_str());

  std::filesystem::remove(filler);
  const ScoreSubmission after = Submission("after", 2, 900);
  EXPECT_TRUE(WaitFor([&] { return Submit(server_.port(), 0, after).text; }, 30s)) << server_.Log();
  EXPECT_EQ(Health(), 200);
  EXPECT_EQ(server_.Stop(), 0) << server_.Log();
  std::string error;
  const auto store = rankd::OpenRankStore(disk / "rankd.sqlite", error);
  std::vector<rankd::Score> all;
  ASSERT_TRUE(store && store->LoadAll(all, error)) << error;
  EXPECT_NE(std::find(all.begin(), all.end(), ScoreOf(0, first)), all.end());
  EXPECT_NE(std::find(all.begin(), all.end(), ScoreOf(0, after)), all.end());
}

// A store that fails part of the way keeps none of it, tells the database's reason, and the
// next store on the same connection goes through: on PostgreSQL the rows and the prune of
// the replays are one transaction sent at once, whose failed part ends it.
TEST_P(StoreFaults, AStoreThatFailsPartOfTheWayKeepsNothingAndTheNextGoesThrough) {
  std::string error;
  const auto store = rankd::OpenRankStore(db_.where(), error);
  ASSERT_TRUE(store) << error;
  const rankd::Score first{.mode = 1, .name = "first", .stage = 2, .score = 200, .bestCombo = 3, .playSeconds = 40};
  std::vector<bool> banned;
  ASSERT_TRUE(store->StoreFrom({first}, {"10.0.0.1"}, banned, error)) << error;
  // SQLite fails the second row's insert; PostgreSQL the statement after the rows, the prune.
  DatabaseHand hand(db_.where());
  ASSERT_TRUE(
      hand.Exec("CREATE TRIGGER refuse BEFORE INSERT ON scores WHEN NEW.name = X'626164'"
                " BEGIN SELECT RAISE(ABORT, 'refused by hand'); END",
                "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS"
                " $$ BEGIN RAISE EXCEPTION 'refused by hand'; END $$;"
                " CREATE TRIGGER refuse BEFORE UPDATE ON scores FOR EACH STATEMENT EXECUTE FUNCTION refuse()",
                error))
      << error;
  rankd::Score good = first, bad = first;
  good.name = "good";
  bad.name = "bad";
  EXPECT_FALSE(store->StoreFrom({good, bad}, {"10.0.0.1", "10.0.0.1"}, banned, error));
  EXPECT_NE(error.find("refused by hand"), std::string::npos) << error;
  ASSERT_TRUE(hand.Exec("DROP TRIGGER refuse", "DROP TRIGGER refuse ON scores", error)) << error;
  rankd::Score after = first;
  after.name = "after";
  ASSERT_TRUE(store->StoreFrom({after}, {"10.0.0.1"}, banned, error)) << error;
  std::vector<rankd::Score> all;
  ASSERT_TRUE(store->LoadAll(all, error)) << error;
  EXPECT_EQ(all, (std::vector<rankd::Score>{first, after}));
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreFaults, ::testing::Values("sqlite", "postgresql"), EngineName);

}  // namespace
}  // namespace rankd_test
