// Scores checked by their replays, against the real program: a recorded game sent with its
// own result and then as the proof of a score it never made, a replay over the size limit,
// a replay for no kept score, and --require-verified keeping unproven scores out.
#include <httplib.h>

#include <cstring>
#include <regex>

#include "replay/replay.h"
#include "server/rankd/replay_check.h"
#include "support/files.h"
#include "tests/rankd/engine_fixture.h"

namespace rankd_test {
namespace {

// The upload: 3, the submission's 124 bytes, the length as told, the replay's bytes.
std::vector<uint8_t> Upload(const ScoreSubmission& s, const std::vector<uint8_t>& replay, uint32_t length) {
  std::vector<uint8_t> bytes = {kReplayUploadType};
  const std::vector<uint8_t> submission = SubmissionBytes(s);
  bytes.insert(bytes.end(), submission.begin(), submission.end());
  uint8_t told[4];
  PutLe32(told, length);
  bytes.insert(bytes.end(), told, told + 4);
  bytes.insert(bytes.end(), replay.begin(), replay.end());
  return bytes;
}

class RankdReplays : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    game_ = ReadFileBytes(std::string(REPLAYS_DIR) + "/netplay-normal.replay");
    Replay replay;
    std::string error;
    ASSERT_EQ(DecodeReplay(game_, replay, error), ReplayRead::Ok) << error;
    mode_ = replay.mode;
    const ReplayResult& r = replay.result;
    real_ = Submission("real", r.stage, static_cast<uint32_t>(r.score), r.bestCombo, r.playSeconds);
    // The right check code for a score that game never made.
    forged_ = Submission("forged", r.stage, static_cast<uint32_t>(r.score) + 5000, r.bestCombo, r.playSeconds);
  }

  // Sends an upload (of the recorded game unless `bytes` are given) from the local address
  // `from`; true when the server took it all and closed without an answer.
  bool SendReplay(const ScoreSubmission& s, const char* from = nullptr, const std::vector<uint8_t>* bytes = nullptr) {
    const std::vector<uint8_t>& replay = bytes != nullptr ? *bytes : game_;
    Client client(server_.port(), from);
    return client.connected() && client.Send(Upload(s, replay, static_cast<uint32_t>(replay.size()))) &&
           client.ClosedByServer(10s);
  }

  // The row of `name` as the web side reads it now (of a server with --require-verified
  // when `onlyVerified`).
  rankd::ListedScore RowOf(const std::string& name, bool onlyVerified = false) {
    std::string error;
    auto store = rankd::OpenRankStore(db_.where(), error, rankd::StoreUse::Read);
    std::vector<rankd::ListedScore> rows;
    if (store) store->RankOnlyVerified(onlyVerified);
    EXPECT_TRUE(store && store->LoadListing(mode_, rows, error)) << error;
    for (const auto& row : rows) {
      if (row.score.name == name) return row;
    }
    ADD_FAILURE() << name << " is not listed";
    return {};
  }

  // How many times the log tells of `text`.
  size_t Told(const std::string& text) {
    const std::string log = server_.Log();
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
    return count;
  }

  // The kept row of `name` as the web side reads it, waiting (generously) for its mark.
  rankd::ListedScore MarkOf(const std::string& name) {
    std::string error;
    auto store = rankd::OpenRankStore(db_.where(), error, rankd::StoreUse::Read);
    EXPECT_TRUE(store) << error;
    rankd::ListedScore found;
    WaitFor(
        [&] {
          std::vector<rankd::ListedScore> rows;
          if (!store || !store->LoadListing(mode_, rows, error)) return false;
          for (const auto& row : rows) {
            if (row.score.name == name) found = row;
          }
          return found.verified || found.suspect;
        },
        60s);
    return found;
  }

  bool ListingHolds(const std::string& name) {
    const Seen seen = Decline(server_.port(), mode_);
    EXPECT_TRUE(seen.text);
    return seen.listing.find(name) != std::string::npos;
  }

  std::vector<uint8_t> game_;
  int mode_ = 0;
  ScoreSubmission real_;
  ScoreSubmission forged_;
};

TEST_P(RankdReplays, ARecordedGameVerifiesItsOwnScoreAndShowsAForgedOneSuspect) {
  ASSERT_TRUE(Start({"--http", "127.0.0.1:0"})) << server_.Log();
  ASSERT_TRUE(Submit(server_.port(), mode_, real_).text);
  ASSERT_TRUE(Submit(server_.port(), mode_, forged_).text);
  ASSERT_TRUE(SendReplay(real_));
  ASSERT_TRUE(SendReplay(forged_));

  // A length over the limit is refused at once: the server neither waits for the bytes
  // nor holds room for them.
  Client huge(server_.port());
  ASSERT_TRUE(huge.Send(Upload(real_, {}, kReplayMostBytes + 1)));
  EXPECT_TRUE(huge.ClosedByServer(5s));
  EXPECT_TRUE(server_.LogShows("refused: longer than 1 MiB"));

  const rankd::ListedScore real = MarkOf("real");
  EXPECT_TRUE(real.verified && !real.suspect) << server_.Log();
  const rankd::ListedScore forged = MarkOf("forged");
  EXPECT_TRUE(forged.suspect && !forged.verified) << server_.Log();
  EXPECT_TRUE(server_.LogShows("suspect: score sent " + std::to_string(forged_.score)));
  // Without --require-verified a suspect score stays listed, marked.
  EXPECT_TRUE(ListingHolds("forged"));

  // The JSON tells both marks.
  const std::string log = server_.Log();
  const std::string mark = "web page on http://127.0.0.1:";
  ASSERT_NE(log.find(mark), std::string::npos);
  httplib::Client web("127.0.0.1", std::atoi(log.c_str() + log.find(mark) + mark.size()));
  const auto json = web.Get("/api/rankings/" + std::to_string(mode_));
  ASSERT_TRUE(json);
  const std::string& body = json->body;
  const size_t realRow = body.find("\"name\":\"real\"");
  const size_t forgedRow = body.find("\"name\":\"forged\"");
  ASSERT_NE(realRow, std::string::npos) << body;
  ASSERT_NE(forgedRow, std::string::npos) << body;
  auto marks = [&](size_t row) {
    const size_t from = body.find("\"verified\"", row);
    return body.substr(from, body.find('}', from) + 1 - from);
  };
  EXPECT_EQ(marks(realRow), "\"verified\":true,\"suspect\":false,\"before_checks\":false}") << body;
  EXPECT_EQ(marks(forgedRow), "\"verified\":false,\"suspect\":true,\"before_checks\":false}") << body;

  // A replay for a score never kept marks nothing.
  ASSERT_TRUE(SendReplay(Submission("nobody", 1, 10)));
  EXPECT_TRUE(server_.LogShows("replay for no score waiting", 60s));
  EXPECT_EQ(Kept().size(), 2u);
}

TEST_P(RankdReplays, WithRequireVerifiedOnlyAScoreItsReplayProvedIsRanked) {
  ASSERT_TRUE(Start({"--require-verified"})) << server_.Log();
  ASSERT_TRUE(Submit(server_.port(), mode_, real_).text);
  ASSERT_TRUE(Submit(server_.port(), mode_, forged_).text);
  // Kept, but waiting for their replays unlisted.
  EXPECT_EQ(Kept().size(), 2u);
  EXPECT_FALSE(ListingHolds("real"));
  ASSERT_TRUE(SendReplay(forged_));
  ASSERT_TRUE(SendReplay(real_));
  EXPECT_TRUE(WaitFor([&] { return ListingHolds("real"); }, 60s)) << server_.Log();
  EXPECT_TRUE(server_.LogShows("suspect: score sent", 60s));
  EXPECT_FALSE(ListingHolds("forged"));
  EXPECT_TRUE(MarkOf("forged").suspect);
}

// A replay counts only for a score kept from its own address: bytes anyone sends naming
// another player's score, readable or not, change nothing, and the owner's replay then
// verifies it. Bytes that cannot be read mark nothing even from the owner's address.
TEST_P(RankdReplays, OnlyAReplayFromTheScoresOwnAddressMarksIt) {
  ASSERT_TRUE(Start()) << server_.Log();
  ASSERT_TRUE(Submit(server_.port(), mode_, real_, "127.0.0.1").text);
  std::vector<uint8_t> garbage(game_.size(), 0x5A);
  garbage[0] = game_[0];
  ASSERT_TRUE(SendReplay(real_, "127.0.0.2", &garbage));
  ASSERT_TRUE(SendReplay(real_, "127.0.0.2"));  // the right game, from someone else
  ASSERT_TRUE(SendReplay(real_, "127.0.0.1", &garbage));
  EXPECT_TRUE(WaitFor([&] { return Told("replay for no score waiting") == 3; }, 60s)) << server_.Log();
  const rankd::ListedScore before = RowOf("real");
  EXPECT_FALSE(before.verified || before.suspect) << server_.Log();

  ASSERT_TRUE(SendReplay(real_, "127.0.0.1"));
  const rankd::ListedScore owned = MarkOf("real");
  EXPECT_TRUE(owned.verified && !owned.suspect) << server_.Log();
}

// One game proves one score: the same game sent again for a copy of the score under
// another name, packed anew into other bytes, makes that copy suspect.
TEST_P(RankdReplays, OneGameVerifiesOneScore) {
  ASSERT_TRUE(Start()) << server_.Log();
  ScoreSubmission twin = real_;
  std::memcpy(twin.name, "twin", 5);
  ASSERT_TRUE(Submit(server_.port(), mode_, real_).text);
  ASSERT_TRUE(Submit(server_.port(), mode_, twin).text);
  ASSERT_TRUE(SendReplay(real_));
  EXPECT_TRUE(MarkOf("real").verified) << server_.Log();
  Replay again;
  std::string error;
  ASSERT_EQ(DecodeReplay(game_, again, error), ReplayRead::Ok) << error;
  again.version += "-repacked";
  const std::vector<uint8_t> repacked = EncodeReplay(again);
  ASSERT_NE(repacked, game_);
  ASSERT_TRUE(SendReplay(twin, nullptr, &repacked));
  const rankd::ListedScore copy = MarkOf("twin");
  EXPECT_TRUE(copy.suspect && !copy.verified) << server_.Log();
  EXPECT_TRUE(server_.LogShows("suspect: its game proved another score already"));
}

// --require-verified turned on for a database that holds scores: they stay ranked as they
// were, shown as kept before the checks began, and never expire; a score kept since without
// its replay does.
TEST_P(RankdReplays, ScoresKeptBeforeChecksBeganStayRanked) {
  ASSERT_TRUE(Start()) << server_.Log();
  ASSERT_TRUE(Submit(server_.port(), mode_, Submission("elder", 3, 900)).text);
  ASSERT_EQ(server_.Stop(), 0) << server_.Log();

  ASSERT_TRUE(Start({"--require-verified", "--http", "127.0.0.1:0"})) << server_.Log();
  ASSERT_TRUE(Submit(server_.port(), mode_, Submission("newer", 3, 800)).text);
  // Both as old as a score whose replay is overdue.
  std::string why;
  DatabaseHand hand(db_.where());
  ASSERT_TRUE(hand.Exec("UPDATE scores SET stored_at = datetime('now', '-600 seconds')",
                        "UPDATE scores SET stored_at = now() - interval '600 seconds'", why))
      << why;
  EXPECT_TRUE(server_.LogShows("1 scores suspect: no replay came", 60s)) << server_.Log();
  EXPECT_TRUE(ListingHolds("elder"));
  EXPECT_FALSE(ListingHolds("newer"));
  const rankd::ListedScore elder = RowOf("elder", true);
  EXPECT_TRUE(elder.beforeChecks && !elder.suspect && !elder.verified);
  // rankctl places the rows by the same rule.
  std::string out;
  const char* modeWord[] = {"easy", "normal", "hardcore"};
  ASSERT_EQ(RunProgram({RANKCTL_BINARY, "--db", db_.where(), "list", modeWord[mode_]}, out), 0) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex("\t1\telder\t900\t.*\tbefore-checks\n"))) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex("\t-\tnewer\t800\t.*\tsuspect\n"))) << out;

  // A restart with the rule keeps where the checks began.
  ASSERT_EQ(server_.Stop(), 0) << server_.Log();
  ASSERT_TRUE(Start({"--require-verified", "--http", "127.0.0.1:0"})) << server_.Log();
  EXPECT_TRUE(ListingHolds("elder"));
  const std::string log = server_.Log();
  const std::string mark = "web page on http://127.0.0.1:";
  ASSERT_NE(log.rfind(mark), std::string::npos);
  httplib::Client web("127.0.0.1", std::atoi(log.c_str() + log.rfind(mark) + mark.size()));
  const auto json = web.Get("/api/rankings/" + std::to_string(mode_));
  ASSERT_TRUE(json);
  EXPECT_NE(json->body.find("\"name\":\"elder\",\"score\":900,\"stage\":3,\"combo\":0,\"seconds\":0,\"time\":\""),
            std::string::npos)
      << json->body;
  EXPECT_NE(json->body.find("\"verified\":false,\"suspect\":false,\"before_checks\":true}"), std::string::npos)
      << json->body;
  EXPECT_EQ(json->body.find("newer"), std::string::npos) << json->body;
  EXPECT_EQ(Kept().size(), 2u);
}

// A verdict the database could not take (a lock held longer than the server waits) is
// written once the database takes writes again.
TEST_P(RankdReplays, AMarkThatFailedIsWrittenOnceTheDatabaseRecovers) {
  ASSERT_TRUE(Start()) << server_.Log();
  ASSERT_TRUE(Submit(server_.port(), mode_, real_).text);
  std::string why;
  DatabaseHand hand(db_.where());
  ASSERT_TRUE(hand.Exec("BEGIN EXCLUSIVE", "BEGIN; LOCK TABLE scores IN EXCLUSIVE MODE", why)) << why;
  ASSERT_TRUE(SendReplay(real_));
  EXPECT_TRUE(server_.LogShows("not written", 120s)) << server_.Log();
  ASSERT_TRUE(hand.Exec("ROLLBACK", "ROLLBACK", why)) << why;
  const rankd::ListedScore real = MarkOf("real");
  EXPECT_TRUE(real.verified) << server_.Log();
}

// A score remembers an IPv4 address whole and an IPv6 one by its network (/64): one
// machine's addresses share it, the neighbouring network's do not.
TEST(RankdAddressKey, KeepsIpv4WholeAndIpv6ByItsNetwork) {
  EXPECT_EQ(rankd::AddressKey("203.0.113.7"), "203.0.113.7");
  EXPECT_EQ(rankd::AddressKey("2001:db8:aa:bb:1:2:3:4"), "2001:db8:aa:bb::/64");
  EXPECT_EQ(rankd::AddressKey("2001:db8:aa:bb:ffff::9"), rankd::AddressKey("2001:db8:aa:bb::1"));
  EXPECT_NE(rankd::AddressKey("2001:db8:aa:bc::1"), rankd::AddressKey("2001:db8:aa:bb::1"));
}

INSTANTIATE_TEST_SUITE_P(Engines, RankdReplays, ::testing::Values("sqlite", "postgresql"), EngineName);

}  // namespace
}  // namespace rankd_test
