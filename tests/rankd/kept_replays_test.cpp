// The replays a database keeps, on both engines: a listed verified row keeps its replay's bytes,
// a suspect one nothing, and a row that leaves the listing (pushed out by better scores,
// hidden, banned, removed) loses them for good, also when it comes back. A backup carries them.
#include <filesystem>

#include "support/cp949_text.h"
#include "tests/rankd/engine_fixture.h"

namespace rankd_test {
namespace {

constexpr int kMode = 1;
const std::string kFrom = "10.0.0.7";

class RankdKeptReplays : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    std::string error;
    store_ = rankd::OpenRankStore(db_.where(), error);
    ASSERT_TRUE(store_) << error;
  }

  static rankd::Score Row(const std::string& name, uint32_t score) {
    return {.mode = kMode, .name = name, .stage = 3, .score = score, .bestCombo = 4, .playSeconds = 60};
  }
  static std::string BytesOf(const std::string& name) { return "replay of " + name + std::string(16, '.'); }

  void Keep(const std::vector<rankd::Score>& rows) {
    std::vector<bool> banned;
    std::string error;
    ASSERT_TRUE(store_->StoreFrom(rows, std::vector<std::string>(rows.size(), kFrom), banned, error)) << error;
  }
  // The replay's claim on the row, with its own game and bytes.
  void Mark(const rankd::Score& row, rankd::ReplayMark mark) {
    const std::string bytes = BytesOf(row.name);
    rankd::ReplayClaim claim{.score = row,
                             .from = kFrom,
                             .digest = "game of " + row.name,
                             .mark = mark,
                             .replay = {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}};
    rankd::ReplayMark written = rankd::ReplayMark::None;
    std::string error;
    ASSERT_TRUE(store_->MarkReplay(claim, written, error)) << error;
    ASSERT_EQ(written, mark);
  }
  // The listed row of `name` (id 0 when not listed).
  rankd::ListedScore Listed(const std::string& name) {
    std::vector<rankd::ListedScore> rows;
    std::string error;
    EXPECT_TRUE(store_->LoadListing(kMode, rows, error)) << error;
    for (const auto& row : rows) {
      if (row.score.name == name) return row;
    }
    return {};
  }
  // The replay the store serves for the row of `name`, by its id and by its place; empty for none.
  std::string Served(const std::string& name) {
    const rankd::ListedScore row = Listed(name);
    rankd::KeptReplay kept;
    bool found = false;
    std::string error;
    EXPECT_TRUE(store_->ListedReplay(row.id, kept, found, error)) << error;
    EXPECT_EQ(found, row.replay) << name;
    if (!found) return {};
    rankd::KeptReplay placed;
    bool atPlace = false;
    EXPECT_TRUE(store_->PlacedReplay(kMode, kept.place, placed, atPlace, error)) << error;
    EXPECT_TRUE(atPlace && placed.bytes == kept.bytes && placed.id == row.id) << name;
    EXPECT_EQ(kept.score, row.score);
    return kept.bytes;
  }
  int Rankctl(std::vector<std::string> args) {
    args.insert(args.begin(), {RANKCTL_BINARY, "--db", db_.where()});
    std::string output;
    const int status = RunProgram(args, output);
    EXPECT_EQ(status, 0) << output;
    return status;
  }

  std::unique_ptr<rankd::RankStore> store_;
};

TEST_P(RankdKeptReplays, AListedVerifiedRowKeepsItsReplayAndLosesItForGoodWhenItLeavesTheListing) {
  const std::string korean = Cp949("닭다리");
  const std::vector<rankd::Score> rows = {Row("kept", 900), Row("suspect", 800), Row("hidden", 700),
                                          Row(korean, 600), Row("removed", 500), Row("pushed", 400)};
  Keep(rows);
  for (const auto& row : rows)
    Mark(row, row.name == "suspect" ? rankd::ReplayMark::Suspect : rankd::ReplayMark::Verified);
  for (const auto& row : rows) {
    EXPECT_EQ(Served(row.name), row.name == "suspect" ? "" : BytesOf(row.name)) << row.name;
  }
  EXPECT_EQ(Served("pushed").size(), BytesOf("pushed").size());
  // None for an unknown row, nor for a place with no row.
  rankd::KeptReplay none;
  bool found = true;
  std::string error;
  EXPECT_TRUE(store_->ListedReplay(Listed("kept").id + 1000, none, found, error) && !found) << error;
  EXPECT_TRUE(store_->PlacedReplay(kMode, 7, none, found, error) && !found) << error;

  // The backup carries the replays.
  if (rankd::IsPostgresUri(db_.where())) {
    std::string dump;
    const std::string pgDump = std::filesystem::exists("/usr/bin/pg_dump") ? "/usr/bin/pg_dump" : "pg_dump";
    ASSERT_EQ(RunProgram({pgDump, "--data-only", "--table=scores", "--dbname=" + db_.where()}, dump), 0) << dump;
    EXPECT_NE(dump.find("7265706c6179206f66206b657074"), std::string::npos) << "no \"replay of kept\" in the dump";
  } else {
    const std::string copy = (dir_.path() / "copy.sqlite").string();
    ASSERT_EQ(Rankctl({"backup", copy}), 0);
    auto copied = rankd::OpenRankStore(copy, error);
    ASSERT_TRUE(copied) << error;
    rankd::KeptReplay kept;
    EXPECT_TRUE(copied->ListedReplay(Listed("kept").id, kept, found, error) && found) << error;
    EXPECT_EQ(kept.bytes, BytesOf("kept"));
  }

  // Hidden, banned, removed: gone from the rows, and not back with the row.
  const long long removedId = Listed("removed").id;
  const long long hiddenId = Listed("hidden").id;
  ASSERT_EQ(Rankctl({"hide", std::to_string(hiddenId)}), 0);
  ASSERT_EQ(Rankctl({"ban", "닭다리"}), 0);
  ASSERT_EQ(Rankctl({"remove", std::to_string(removedId)}), 0);
  EXPECT_EQ(Listed("removed").id, 0);
  EXPECT_TRUE(store_->ListedReplay(removedId, none, found, error) && !found) << error;
  ASSERT_EQ(Rankctl({"restore", std::to_string(hiddenId)}), 0);
  ASSERT_EQ(Rankctl({"unban", "닭다리"}), 0);
  EXPECT_NE(Listed("hidden").id, 0);
  EXPECT_NE(Listed(korean).id, 0);
  EXPECT_EQ(Served("hidden"), "");
  EXPECT_EQ(Served(korean), "");
  EXPECT_EQ(Served("kept"), BytesOf("kept"));

  // Twenty better scores push every row out in the transaction that keeps them; the rows come
  // back once those are removed, without their replays.
  std::vector<rankd::Score> better;
  for (int i = 0; i < 20; ++i) better.push_back(Row("better" + std::to_string(i), 1000 + i));
  Keep(better);
  EXPECT_EQ(Listed("kept").id, 0);
  for (int i = 0; i < 20; ++i)
    ASSERT_EQ(Rankctl({"remove", std::to_string(Listed("better" + std::to_string(i)).id)}), 0);
  EXPECT_EQ(Served("kept"), "");
  EXPECT_EQ(Served("pushed"), "");
  EXPECT_TRUE(Listed("pushed").id != 0 && !Listed("pushed").replay);
}

INSTANTIATE_TEST_SUITE_P(Engines, RankdKeptReplays, ::testing::Values("sqlite", "postgresql"), EngineName);

}  // namespace
}  // namespace rankd_test
