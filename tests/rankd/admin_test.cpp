// rankctl against a running rankd on both engines: hiding, restoring and banning reach the
// server's listing and score to beat; list prints the rows as kept; backup copies a
// SQLite database that is being written.
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <regex>
#include <sstream>
#include <thread>

#include "support/cp949_text.h"
#include "tests/rankd/engine_fixture.h"

namespace rankd_test {
namespace {

using SteadyClock = std::chrono::steady_clock;

class RankctlAdmin : public EngineTest {
 protected:
  int Rankctl(std::vector<std::string> args, std::string& output) {
    args.insert(args.begin(), {RANKCTL_BINARY, "--db", db_.where()});
    return RunProgram(args, output);
  }
  // Waits (a generous bound) until the served listing of `mode` is `expected`; the wait
  // is added to the figures the test reports.
  bool ServerShows(int mode, const std::vector<rankd::Score>& kept, const char* what) {
    const std::string expected = ExpectedListing(kept, mode);
    const auto begun = SteadyClock::now();
    const bool seen = WaitFor([&] { return Decline(server_.port(), mode).listing == expected; }, 20s);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - begun).count();
    RecordProperty(what, std::to_string(ms) + " ms");
    std::printf("%s: seen after %lld ms\n", what, static_cast<long long>(ms));
    return seen;
  }
  // The audit table's lines, oldest first, read straight from the database.
  std::vector<std::string> AuditLines() {
    std::vector<std::string> lines;
    const char* sql = "SELECT action FROM audit ORDER BY id";
    if (rankd::IsPostgresUri(db_.where())) {
      PGconn* conn = PQconnectdb(db_.where().c_str());
      PGresult* result = PQexec(conn, sql);
      for (int i = 0; PQresultStatus(result) == PGRES_TUPLES_OK && i < PQntuples(result); ++i) {
        lines.emplace_back(PQgetvalue(result, i, 0));
      }
      PQclear(result);
      PQfinish(conn);
      return lines;
    }
    sqlite3* db = nullptr;
    sqlite3_open_v2(db_.where().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(
        db, sql,
        [](void* out, int, char** values, char**) {
          static_cast<std::vector<std::string>*>(out)->emplace_back(values[0] != nullptr ? values[0] : "");
          return 0;
        },
        &lines, nullptr);
    sqlite3_close_v2(db);
    return lines;
  }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_P(RankctlAdmin, HideRestoreBanAndUnbanReachTheRunningServer) {
  ASSERT_TRUE(Start()) << server_.Log();
  // Twenty rows fill the listing, so the score to beat is the twentieth's.
  std::vector<rankd::Score> kept;
  for (int i = 0; i < 20; ++i) {
    const std::string name = i < 2 ? Cp949("닭다리") : "p" + std::to_string(i);
    const ScoreSubmission s = Submission(name, 2 + i % 3, 1000 + static_cast<uint32_t>(i) * 10, i, 90);
    ASSERT_TRUE(Submit(server_.port(), 0, s).text) << i;
    kept.push_back(ScoreOf(0, s));
  }
  ASSERT_EQ(Decline(server_.port(), 0).threshold, 1000u);

  // list prints the kept rows in ranking order; the ID column names them for what follows.
  std::string out;
  ASSERT_EQ(Rankctl({"list", "easy", "3"}, out), 0) << out;
  const std::vector<std::string> lines = Lines(out);
  ASSERT_EQ(lines.size(), 3u) << out;
  const std::regex row(
      "([0-9]+)\t([0-9-]+)\t([^\t]*)\t([0-9]+)\t([0-9]+)\t([0-9]+)\t([0-9]+)\t"
      "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z\t(.*)");
  std::string ids[3];
  for (int i = 0; i < 3; ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, row)) << lines[i];
    const rankd::Score& s = kept[19 - i];
    ids[i] = m[1];
    EXPECT_EQ(m[2], std::to_string(i + 1));
    EXPECT_EQ(m[3], "p" + std::to_string(19 - i));
    EXPECT_EQ(m[4], std::to_string(s.score));
    EXPECT_EQ(m[5], std::to_string(s.stage));
    EXPECT_EQ(m[6], std::to_string(s.bestCombo));
    EXPECT_EQ(m[7], std::to_string(s.playSeconds));
    EXPECT_EQ(m[8], "-");
  }

  // Hiding the second row takes it out of the listing and lowers the score to beat to 0.
  ASSERT_EQ(Rankctl({"hide", ids[1]}, out), 0) << out;
  EXPECT_NE(out.find("hide " + ids[1] + " (easy, p18, 1180)"), std::string::npos) << out;
  std::vector<rankd::Score> shown = kept;
  shown.erase(shown.begin() + 18);
  EXPECT_TRUE(ServerShows(0, shown, "hide")) << server_.Log();
  EXPECT_EQ(Decline(server_.port(), 0).threshold, 0u);
  ASSERT_EQ(Rankctl({"list", "easy", "3"}, out), 0);
  EXPECT_TRUE(std::regex_search(out, std::regex("\n" + ids[1] + "\t-\tp18\t1180\t.*\thidden\n"))) << out;
  ASSERT_EQ(Rankctl({"restore", ids[1]}, out), 0) << out;
  EXPECT_TRUE(ServerShows(0, kept, "restore")) << server_.Log();

  // A banned name's rows leave the listing and its new score is not kept.
  ASSERT_EQ(Rankctl({"ban", "닭다리"}, out), 0) << out;
  EXPECT_TRUE(ServerShows(0, {kept.begin() + 2, kept.end()}, "ban")) << server_.Log();
  const Seen refused = Submit(server_.port(), 0, Submission(Cp949("닭다리"), 9, 5000));
  EXPECT_EQ(refused.listing, ExpectedListing({kept.begin() + 2, kept.end()}, 0));
  EXPECT_EQ(Kept().size(), 20u);
  ASSERT_EQ(Rankctl({"unban", "닭다리"}, out), 0) << out;
  EXPECT_TRUE(ServerShows(0, kept, "unban")) << server_.Log();
  EXPECT_TRUE(server_.LogShows("rankings reread")) << server_.Log();

  // What is not there, and what is not a command, get their own statuses.
  EXPECT_EQ(Rankctl({"hide", "999999"}, out), 1) << out;
  EXPECT_EQ(Rankctl({"unban", "nobody"}, out), 1) << out;
  EXPECT_EQ(Rankctl({"hide", "twelve"}, out), 2) << out;
  EXPECT_EQ(Rankctl({"ban", "abcdefghij"}, out), 2) << out;
  EXPECT_EQ(Rankctl({"list", "medium"}, out), 2) << out;

  // Each change that was made left its line; the ones that found nothing left none.
  const std::string which = " (easy, p18, 1180)";
  EXPECT_EQ(AuditLines(), (std::vector<std::string>{"hide " + ids[1] + which, "restore " + ids[1] + which, "ban 닭다리",
                                                    "unban 닭다리"}));
}

TEST_P(RankctlAdmin, BackupCopiesTheDatabaseWhileTheServerWrites) {
  std::string out;
  const std::string copy = (dir_.path() / "copy.sqlite").string();
  if (db_.where().starts_with("postgres")) {
    EXPECT_EQ(Rankctl({"backup", copy}, out), 4) << out;
    EXPECT_NE(out.find("pg_dump"), std::string::npos) << out;
    return;
  }
  ASSERT_TRUE(Start()) << server_.Log();
  for (int i = 0; i < 30; ++i)
    ASSERT_TRUE(Submit(server_.port(), 1, Submission("b" + std::to_string(i), 1, 100 + i)).text);
  // A client goes on submitting while the copy is made.
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; !done; ++i) Submit(server_.port(), 2, Submission("w", 1, 1 + static_cast<uint32_t>(i)));
  });
  const int status = Rankctl({"backup", copy}, out);
  done = true;
  writer.join();
  ASSERT_EQ(status, 0) << out;
  std::string error;
  auto store = rankd::OpenRankStore(copy, error);
  ASSERT_TRUE(store) << error;
  std::vector<rankd::Score> scores;
  ASSERT_TRUE(store->LoadAll(scores, error)) << error;
  EXPECT_EQ(std::count_if(scores.begin(), scores.end(), [](const rankd::Score& s) { return s.mode == 1; }), 30);

  // Onto the database itself, by its name, another name for it, or its log: refused, and
  // the server goes on with its data.
  const std::string link = (dir_.path() / "alias.sqlite").string();
  ASSERT_EQ(symlink(db_.where().c_str(), link.c_str()), 0);
  for (const std::string& target : {db_.where(), link, db_.where() + "-wal"}) {
    EXPECT_NE(Rankctl({"backup", target}, out), 0) << target;
    EXPECT_NE(out.find("is the database"), std::string::npos) << out;
  }
  const ScoreSubmission after = Submission("after", 1, 5000);
  ASSERT_TRUE(Submit(server_.port(), 1, after).text);
  EXPECT_NE(Decline(server_.port(), 1).listing.find("after"), std::string::npos);
  const std::vector<rankd::Score> kept = Kept();
  EXPECT_EQ(std::count_if(kept.begin(), kept.end(), [](const rankd::Score& s) { return s.mode == 1; }), 31);
}

INSTANTIATE_TEST_SUITE_P(Engines, RankctlAdmin, ::testing::Values("sqlite", "postgresql"), EngineName);

}  // namespace
}  // namespace rankd_test
