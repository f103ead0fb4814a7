// Scores checked by their replays, against the real program: a recorded game sent with its
// own result and then as the proof of a score it never made, a replay over the size limit,
// a replay for no kept score, and --require-verified keeping unproven scores out. Then hostile
// uploads: a replay that would play for six hours, a flood from one address, and lengths
// announced but never sent.
#include <httplib.h>

#include <cstdlib>
#include <cstring>
#include <regex>

#include "game/course.h"
#include "game/replay_run.h"
#include "replay/replay.h"
#include "server/rankd/replay_check.h"
#include "server/rankload/endless_game.h"
#include "support/files.h"
#include "support/kept_games.h"
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

using rankload::EndlessGame;

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
  bool SendReplay(const ScoreSubmission& s) { return SendReplay(s, game_); }
  bool SendReplay(const ScoreSubmission& s, const std::vector<uint8_t>& replay, const char* from = nullptr) {
    Client client(server_.port(), from);
    return client.connected() && client.Send(Upload(s, replay, static_cast<uint32_t>(replay.size()))) &&
           client.ClosedByServer(10s);
  }

  // Starts rankd with its web side; Figure then reads /metrics.
  bool StartWeb(std::vector<std::string> options) {
    options.insert(options.end(), {"--http", "127.0.0.1:0"});
    if (!Start(options)) return false;
    const std::string log = server_.Log();
    const std::string mark = "web page on http://127.0.0.1:";
    if (log.find(mark) == std::string::npos) return false;
    web_ = std::make_unique<httplib::Client>("127.0.0.1", std::atoi(log.c_str() + log.find(mark) + mark.size()));
    web_->set_read_timeout(30, 0);
    return true;
  }
  // One figure of /metrics ("name{labels}" as written there), -1 when absent.
  double Figure(const std::string& sample) {
    const auto got = web_->Get("/metrics");
    if (!got) return -1;
    const size_t at = got->body.find("\n" + sample + " ");
    return at == std::string::npos ? -1 : std::atof(got->body.c_str() + at + sample.size() + 2);
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
  rankd::ListedScore MarkOf(const std::string& name) { return MarkOf(mode_, name); }
  rankd::ListedScore MarkOf(int mode, const std::string& name) {
    std::string error;
    auto store = rankd::OpenRankStore(db_.where(), error, rankd::StoreUse::Read);
    EXPECT_TRUE(store) << error;
    rankd::ListedScore found;
    WaitFor(
        [&] {
          std::vector<rankd::ListedScore> rows;
          if (!store || !store->LoadListing(mode, rows, error)) return false;
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

  std::unique_ptr<httplib::Client> web_;
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

// A replay is held against what its score claims before and while it plays: six hours of frames
// in a stage that can never end stop when the stage passes the longest a stage can last; the
// same file sent for a claim of one minute is refused without a frame played; a recorded game
// whose seconds were lowered in the file and the submission alike shows the seconds it played.
TEST_P(RankdReplays, AReplayIsRefusedAsSoonAsItCannotBelongToItsClaim) {
  ASSERT_TRUE(StartWeb({})) << server_.Log();
  Replay honest;
  std::string error;
  ASSERT_EQ(DecodeReplay(game_, honest, error), ReplayRead::Ok) << error;
  const std::vector<uint8_t> endless = EncodeReplay(EndlessGame(honest));
  const ScoreSubmission sixHours = Submission("endless", 1, 1, 0, kReplayMostFrames / 20);
  ASSERT_TRUE(Submit(server_.port(), 0, sixHours).text);
  ASSERT_TRUE(SendReplay(sixHours, endless));
  EXPECT_TRUE(MarkOf(0, "endless").suspect) << server_.Log();
  EXPECT_TRUE(server_.LogShows("suspect: stage 1 ran past " + std::to_string(kStageMostFrames) + " frames"))
      << server_.Log();
  EXPECT_EQ(Figure("rankd_replay_checks_total{result=\"stage_too_long\"}"), 1);
  const double played = Figure("rankd_replay_frames_played_total");
  EXPECT_GT(played, 0);
  EXPECT_LE(played, static_cast<double>(kStageMostFrames + 1));

  const ScoreSubmission oneMinute = Submission("minute", 1, 1, 0, 60);
  ASSERT_TRUE(Submit(server_.port(), 0, oneMinute).text);
  ASSERT_TRUE(SendReplay(oneMinute, endless));
  EXPECT_TRUE(MarkOf(0, "minute").suspect) << server_.Log();
  EXPECT_TRUE(server_.LogShows("suspect: 432000 frames, more than 60 seconds hold")) << server_.Log();
  EXPECT_EQ(Figure("rankd_replay_checks_total{result=\"frames_over_claim\"}"), 1);
  EXPECT_EQ(Figure("rankd_replay_frames_played_total"), played);

  // The file's own seconds are only a copy: the frames' clocks tell how long the game ran.
  Replay quicker = honest;
  quicker.result.playSeconds = PlaySeconds(honest.startClock, honest.clocks.back()) - 1;
  const ScoreSubmission lowered = Submission("quicker", quicker.result.stage,
                                             static_cast<uint32_t>(quicker.result.score), quicker.result.bestCombo,
                                             quicker.result.playSeconds);
  ASSERT_TRUE(Submit(server_.port(), mode_, lowered).text);
  ASSERT_TRUE(SendReplay(lowered, EncodeReplay(quicker)));
  EXPECT_TRUE(MarkOf(mode_, "quicker").suspect) << server_.Log();
  EXPECT_TRUE(server_.LogShows("suspect: seconds sent " + std::to_string(lowered.playSeconds) + ", replay played to"))
      << server_.Log();
  EXPECT_EQ(Figure("rankd_replay_checks_total{result=\"seconds_differ\"}"), 1);
  EXPECT_EQ(Figure("rankd_replay_uploads_total{outcome=\"taken\"}"), 3);
}

// Ten uploads of that endless game from one address, then an honest game's from another, on
// one checking thread: the honest one is verified, and the counters account for all ten.
TEST_P(RankdReplays, AFloodFromOneAddressDoesNotKeepAnotherAddressWaiting) {
  ASSERT_TRUE(StartWeb({"--check-threads", "1"})) << server_.Log();
  Replay honest;
  std::string error;
  ASSERT_EQ(DecodeReplay(game_, honest, error), ReplayRead::Ok) << error;
  const std::vector<uint8_t> endless = EncodeReplay(EndlessGame(honest));
  const ScoreSubmission sixHours = Submission("endless", 1, 1, 0, kReplayMostFrames / 20);
  ASSERT_TRUE(Submit(server_.port(), mode_, real_).text);
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(SendReplay(sixHours, endless, "127.0.0.2")) << i;
  ASSERT_TRUE(SendReplay(real_));
  const rankd::ListedScore real = MarkOf("real");
  EXPECT_TRUE(real.verified && !real.suspect) << server_.Log();
  EXPECT_EQ(Figure("rankd_replay_checks_total{result=\"verified\"}"), 1);
  // Each hostile upload was either checked and found out, or refused for want of a place.
  EXPECT_TRUE(WaitFor(
      [&] {
        return Figure("rankd_replay_checks_total{result=\"stage_too_long\"}") +
                   Figure("rankd_replay_uploads_total{outcome=\"address_full\"}") +
                   Figure("rankd_replay_uploads_total{outcome=\"queue_full\"}") ==
               10;
      },
      60s))
      << server_.Log();
  EXPECT_EQ(Figure("rankd_replays_waiting"), 0);
}

// Lengths announced and never sent hold only the room of what came; past --replay-memory an
// upload is refused, and its score is marked unchecked (not suspect) for a later upload to verify.
TEST_P(RankdReplays, AnnouncedBytesHoldNoMemoryUntilTheyComeAndTheCapRefusesTheRest) {
  ASSERT_TRUE(StartWeb({"--replay-memory", "64K", "--message-time", "600"})) << server_.Log();
  ASSERT_TRUE(Submit(server_.port(), mode_, real_).text);
  constexpr int kWaiting = 8;
  std::vector<std::unique_ptr<Client>> silent;
  for (int i = 0; i < kWaiting; ++i) {
    silent.push_back(std::make_unique<Client>(server_.port()));
    ASSERT_TRUE(silent.back()->Send(Upload(forged_, {}, kReplayMostBytes)));
  }
  // One that keeps sending grows until the cap has no room for it; by then the silent ones
  // hold only the room of what came from them (nothing), not the megabyte each announced.
  Client greedy(server_.port());
  greedy.Send(Upload(real_, std::vector<uint8_t>(128 << 10, 7), kReplayMostBytes));
  EXPECT_TRUE(server_.LogShows("replay of 1048576 bytes refused: no room left for replays", 60s)) << server_.Log();
  EXPECT_EQ(Figure("rankd_replay_uploads_total{outcome=\"no_room\"}"), 1);
  EXPECT_TRUE(WaitFor([&] { return Figure("rankd_connections_open") == kWaiting; }, 60s));
  EXPECT_LE(Figure("rankd_replay_bytes_held"), kWaiting * 8192);
  // Its row is marked unchecked: its replay came but was never looked at.
  const char* modeWord[] = {"easy", "normal", "hardcore"};
  std::string listed;
  EXPECT_TRUE(WaitFor(
      [&] {
        return RunProgram({RANKCTL_BINARY, "--db", db_.where(), "list", modeWord[mode_]}, listed) == 0 &&
               std::regex_search(listed, std::regex("\treal\t.*\tunchecked\n"));
      },
      60s))
      << listed << server_.Log();

  // The room comes back as they go, and the score the refused upload came for is still open.
  silent.clear();
  EXPECT_TRUE(WaitFor([&] { return Figure("rankd_replay_bytes_held") == 0; }, 60s)) << server_.Log();
  ASSERT_TRUE(SendReplay(real_));
  const rankd::ListedScore real = MarkOf("real");
  EXPECT_TRUE(real.verified && !real.suspect) << server_.Log();
}

// The bounds the check puts on a replay from its claim and the rules hold for every kept game
// with the score it was ranked with; claimed in fewer seconds than its frames take, it is refused.
TEST(ReplayCheck, EveryKeptGameVerifiesAgainstItsRankedScoreAndNotWithFewerSeconds) {
  auto run = std::make_unique<ReplayRun>();
  for (const auto& [path, game] : KeptGames()) {
    const ReplayResult& r = game.result;
    const ScoreSubmission claim = Submission("kept", r.stage, static_cast<uint32_t>(r.score), r.bestCombo,
                                             r.playSeconds);
    const rankd::ReplayVerdict verdict = rankd::CheckReplay(claim, EncodeReplay(game), *run);
    EXPECT_EQ(verdict.finding, rankd::ReplayFinding::Verified) << path << ": " << verdict.reason;
    EXPECT_EQ(verdict.frames, game.inputs.size()) << path;

    // Seconds too few for its frames, by the file and the submission alike.
    Replay hurried = game;
    hurried.result.playSeconds = static_cast<uint32_t>(game.inputs.size() / rankd::kFramesPerSecond) - 3;
    const ScoreSubmission fewer = Submission("kept", r.stage, static_cast<uint32_t>(r.score), r.bestCombo,
                                             hurried.result.playSeconds);
    EXPECT_EQ(rankd::CheckReplay(fewer, EncodeReplay(hurried), *run).finding, rankd::ReplayFinding::FramesOverClaim)
        << path;
  }
}

// A replay counts only for a score kept from its own address: bytes anyone sends naming
// another player's score, readable or not, change nothing, and the owner's replay then
// verifies it. Bytes that cannot be read mark nothing even from the owner's address.
TEST_P(RankdReplays, OnlyAReplayFromTheScoresOwnAddressMarksIt) {
  ASSERT_TRUE(Start()) << server_.Log();
  ASSERT_TRUE(Submit(server_.port(), mode_, real_, "127.0.0.1").text);
  std::vector<uint8_t> garbage(game_.size(), 0x5A);
  garbage[0] = game_[0];
  ASSERT_TRUE(SendReplay(real_, garbage, "127.0.0.2"));
  ASSERT_TRUE(SendReplay(real_, game_, "127.0.0.2"));  // the right game, from someone else
  ASSERT_TRUE(SendReplay(real_, garbage, "127.0.0.1"));
  EXPECT_TRUE(WaitFor([&] { return Told("replay for no score waiting") == 3; }, 60s)) << server_.Log();
  const rankd::ListedScore before = RowOf("real");
  EXPECT_FALSE(before.verified || before.suspect) << server_.Log();

  ASSERT_TRUE(SendReplay(real_, game_, "127.0.0.1"));
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
  // Packed anew and shifted in time, it plays the same game: still the one proof.
  again.version += "-repacked";
  again.startClock += 60'000;
  for (uint32_t& clock : again.clocks) clock += 60'000;
  const std::vector<uint8_t> repacked = EncodeReplay(again);
  ASSERT_NE(repacked, game_);
  ASSERT_TRUE(SendReplay(twin, repacked));
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

// A verified listed game is served as the file it came as: on the web (its row's link in the
// JSON and the page, a download named for its difficulty, place and score) and on the game port
// (type 4, by place). A suspect row, an unknown row and every id that is not a row's id as
// written get 404; a fetch that is not one is closed unanswered; /metrics counts the fetches.
TEST_P(RankdReplays, AVerifiedListedGameIsServedOnTheWebAndOnTheGamePort) {
  ASSERT_TRUE(StartWeb({})) << server_.Log();
  ASSERT_TRUE(Submit(server_.port(), mode_, real_).text);
  ASSERT_TRUE(Submit(server_.port(), mode_, forged_).text);
  ASSERT_TRUE(SendReplay(real_));
  ASSERT_TRUE(SendReplay(forged_));
  ASSERT_TRUE(MarkOf("real").verified) << server_.Log();
  ASSERT_TRUE(MarkOf("forged").suspect) << server_.Log();
  const rankd::ListedScore real = RowOf("real");
  const std::string path = "/replays/" + std::to_string(real.id);

  const auto json = web_->Get("/api/rankings/" + std::to_string(mode_));
  ASSERT_TRUE(json);
  EXPECT_NE(json->body.find("\"time\":\"" + real.storedAt + "\",\"replay\":\"" + path + "\",\"verified\":true"),
            std::string::npos)
      << json->body;
  EXPECT_NE(json->body.find("\"replay\":null,\"verified\":false,\"suspect\":true"), std::string::npos) << json->body;
  const auto page = web_->Get("/");
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("<a href=\"" + path + "\" download>"), std::string::npos) << page->body;

  // The forged score ranks first, above the real one.
  constexpr const char* kModeWords[] = {"easy", "normal", "hardcore"};
  const auto file = web_->Get(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->status, 200);
  EXPECT_EQ(file->get_header_value("Content-Type"), "application/octet-stream");
  EXPECT_EQ(file->get_header_value("Content-Disposition"), std::string("attachment; filename=\"brakkel-") +
                                                               kModeWords[mode_] + "-2nd-" +
                                                               std::to_string(real_.score) + ".replay\"");
  EXPECT_EQ(file->body, std::string(game_.begin(), game_.end()));
  // 2^64 + the id, which a parse that wraps would take for the row.
  // (2^64 is 1844674407370955161 tens and 6.)
  const unsigned long long ones = 6 + static_cast<unsigned long long>(real.id);
  const std::string wrappedText = std::to_string(1844674407370955161ULL + ones / 10) + std::to_string(ones % 10);
  for (const std::string& missing : std::vector<std::string>{
           "/replays/" + std::to_string(RowOf("forged").id), "/replays/" + std::to_string(real.id + 1000), "/replays/0",
           "/replays/0" + std::to_string(real.id), "/replays/+" + std::to_string(real.id), "/replays/-1", path + "x",
           path + "/", "/replays/", "/replays/abc", "/replays/9223372036854775808", "/replays/" + wrappedText,
           "/replays/99999999999999999999999999999"}) {
    const auto got = web_->Get(missing);
    ASSERT_TRUE(got) << missing;
    EXPECT_EQ(got->status, 404) << missing;
    EXPECT_EQ(got->body.find("Brakkel"), std::string::npos) << missing;
  }

  // The game port: place 2 is the real game, place 1 the forged score (no replay kept), place 3
  // no row; a fetch outside 0..2 and 1..20 is closed without a byte.
  auto fetch = [&](uint8_t mode, uint8_t place, std::string& got) {
    Client client(server_.port());
    uint8_t head[4];
    const std::vector<uint8_t> ask = {kReplayFetchType, mode, place};
    if (!client.Send(ask) || !client.Receive(head, sizeof head)) return false;
    got.assign(GetLe32(head), '\0');
    return client.Receive(got.data(), got.size()) && client.ClosedByServer();
  };
  std::string got;
  ASSERT_TRUE(fetch(static_cast<uint8_t>(mode_), 2, got));
  EXPECT_EQ(got, std::string(game_.begin(), game_.end()));
  ASSERT_TRUE(fetch(static_cast<uint8_t>(mode_), 1, got));
  EXPECT_EQ(got, "");
  ASSERT_TRUE(fetch(static_cast<uint8_t>(mode_), 3, got));
  EXPECT_EQ(got, "");
  for (const std::vector<uint8_t>& bad :
       {std::vector<uint8_t>{kReplayFetchType, 3, 1}, std::vector<uint8_t>{kReplayFetchType, 1, 0},
        std::vector<uint8_t>{kReplayFetchType, 1, kReplayFetchMostPlace + 1}}) {
    Client client(server_.port());
    ASSERT_TRUE(client.Send(bad));
    EXPECT_TRUE(client.ClosedByServer()) << int{bad[1]} << " " << int{bad[2]};
  }
  EXPECT_TRUE(WaitFor([&] { return Figure("rankd_replay_fetches_total{outcome=\"malformed\"}") == 3; }))
      << server_.Log();
  EXPECT_EQ(Figure("rankd_replay_fetches_total{outcome=\"sent\"}"), 1);
  EXPECT_EQ(Figure("rankd_replay_fetches_total{outcome=\"none\"}"), 2);
}

// A score remembers an IPv4 address whole and an IPv6 one by its network (/64): one
// machine's addresses share it, the neighbouring network's do not.
TEST(RankdAddressKey, KeepsIpv4WholeAndIpv6ByItsNetwork) {
  EXPECT_EQ(rankd::AddressKey("203.0.113.7"), "203.0.113.7");
  EXPECT_EQ(rankd::AddressKey("2001:db8:aa:bb:1:2:3:4"), "2001:db8:aa:bb::/64");
  EXPECT_EQ(rankd::AddressKey("2001:db8:aa:bb:ffff::9"), rankd::AddressKey("2001:db8:aa:bb::1"));
  EXPECT_NE(rankd::AddressKey("2001:db8:aa:bc::1"), rankd::AddressKey("2001:db8:aa:bb::1"));
  // An IPv4 client of a dual-stack socket is its IPv4 address, not the /64 of ::ffff:0:0.
  EXPECT_EQ(rankd::AddressKey("::ffff:203.0.113.7"), "203.0.113.7");
  EXPECT_NE(rankd::AddressKey("::ffff:203.0.113.7"), rankd::AddressKey("::ffff:203.0.113.8"));
}

INSTANTIATE_TEST_SUITE_P(Engines, RankdReplays, ::testing::Values("sqlite", "postgresql"), EngineName);

}  // namespace
}  // namespace rankd_test
