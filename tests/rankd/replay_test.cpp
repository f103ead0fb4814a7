// Scores checked by their replays, against the real program: a recorded game sent with its
// own result and then as the proof of a score it never made, a replay over the size limit,
// a replay for no kept score, and --require-verified keeping unproven scores out.
#include <httplib.h>

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

  // Sends an upload; true when the server took it all and closed without an answer.
  bool SendReplay(const ScoreSubmission& s) {
    Client client(server_.port());
    return client.connected() && client.Send(Upload(s, game_, static_cast<uint32_t>(game_.size()))) &&
           client.ClosedByServer(10s);
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
  EXPECT_EQ(marks(realRow), "\"verified\":true,\"suspect\":false}") << body;
  EXPECT_EQ(marks(forgedRow), "\"verified\":false,\"suspect\":true}") << body;

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

INSTANTIATE_TEST_SUITE_P(Engines, RankdReplays, ::testing::Values("sqlite", "postgresql"), EngineName);

}  // namespace
}  // namespace rankd_test
