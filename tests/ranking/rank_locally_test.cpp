// soloplay's whole ranking step, with the real dialogs played through the pump under the
// fake clock, each test in a fresh folder of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/edition.h"
#include "app/played_game.h"
#include "app/window.h"
#include "platform/clock.h"
#include "platform/dialog/dialog.h"
#include "platform/display.h"
#include "platform/testing/input.h"
#include "ranking/dialog_templates.h"
#include "ranking/dialogs.h"
#include "ranking/local_ranking.h"
#include "ranking/rank_locally.h"
#include "support/files.h"
#include "support/game_window.h"
#include "support/temp_folder.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;

class RankLocallyTest : public DialogScriptTest {
 protected:
  RankLocallyTest() : DialogScriptTest(50) {}
  void SetUp() override {
    ASSERT_TRUE(GameWindowReady());
    folder_.emplace("brakkel-ranklocally");
    folder_->Enter();
    Edition = EditionTraits{};
    LocalScoreTable = ScoreTable{};
    CurrentGame() = PlayedGame{};
    std::memset(PlayerName, 0, sizeof PlayerName);
    CurrentGame().world.random.Seed(11);
    UseFakeClock(50000);
    CurrentGame().view.startClock = 20000;  // 30 s of play when the step begins
    SetWaitHook([this](uint32_t) { OnWait(); });
  }
  void TearDown() override {
    UseRealClock();
    folder_.reset();
    if (!WindowOpen()) {
      ASSERT_TRUE(CreateGameWindow());
    }
  }

  std::optional<TempFolder> folder_;
  GameCounters& counters = CurrentGame().world.counters;  // the game the step ranks
};

TEST_F(RankLocallyTest, AFirstGameCreatesTheFileAsksTheNameAndShowsTheListing) {
  counters.score = 4321;
  counters.bestCombo = 6;
  std::string shownName, shownListing;
  steps_ = {
      [&] {
        ASSERT_NE(NameDialogHandle, nullptr);
        EXPECT_EQ(RankDialogHandle, nullptr);
        shownName = DialogText(NameDialogHandle);
        Type("ChickenRunner15");  // replaces the selected preset
        AdvanceFakeClock(4000);   // typing takes time, and it counts
        Press(VK_RETURN);
      },
      [&] {
        ASSERT_NE(RankDialogHandle, nullptr);
        shownListing = DialogText(RankDialogHandle);
        Press(VK_RETURN);
      },
  };
  RankLocally(ModeNumber(GameMode::Normal), 4);
  EXPECT_EQ(next_, steps_.size());
  EXPECT_EQ(shownName, "PlommX");
  EXPECT_STREQ(PlayerName, "ChickenRunn");
  EXPECT_EQ(DialogOpen, 0);

  const std::string file = ReadFileText("normal.dat");
  ASSERT_EQ(file.size(), kScoreFileBytes);
  EXPECT_FALSE(fs::exists("easy.dat"));
  const std::string listing = ReadFileText(kRankTextFileName);
  EXPECT_EQ(shownListing, listing);
  EXPECT_NE(listing.find(Cp949("     1등ChickenRunn      4321점   4판   6콤보         34초")), std::string::npos);
  EXPECT_EQ(LocalScoreTable.row[0].playSeconds, 34u);
}

TEST_F(RankLocallyTest, AScoreThatEntersNothingLeavesTheFileAloneButStillShowsTheListing) {
  for (int i = 0; i < kScoreRows; ++i) LocalScoreTable.row[i].score = 5000u - static_cast<uint32_t>(i);
  ASSERT_TRUE(SaveScoreTable(ModeNumber(GameMode::Easy)));
  const std::string before = ReadFileText("easy.dat");
  LocalScoreTable = ScoreTable{};
  counters.score = 4981;  // the 20th row's score: no place
  bool nameAsked = false;
  steps_ = {[&] {
    nameAsked = NameDialogHandle != nullptr;
    Press(VK_RETURN);
  }};
  RankLocally(ModeNumber(GameMode::Easy), 2);
  EXPECT_FALSE(nameAsked);
  EXPECT_EQ(ReadFileText("easy.dat"), before);
  EXPECT_EQ(ReadFileText(kRankTextFileName).size(), 2u * 59 + 20u * 59);
}

TEST_F(RankLocallyTest, ClosingTheWindowDuringTheNameStillRanksUnderTheEarlierName) {
  std::strcpy(PlayerName, "Earlier");
  counters.score = 77;
  steps_ = {[] { PushClose(); }};
  RankLocally(ModeNumber(GameMode::Hardcore), 1);
  EXPECT_EQ(InputState.quit, 1);
  EXPECT_STREQ(LocalScoreTable.row[0].name, "Earlier");
  const std::string file = ReadFileText("hardcore.dat");
  ASSERT_EQ(file.size(), kScoreFileBytes);
  EXPECT_EQ(file.compare(kScoreHeaderBytes, 8, std::string("Earlier\0", 8)), 0);
  EXPECT_NE(ReadFileText(kRankTextFileName).find("Earlier"), std::string::npos);
}

TEST_F(RankLocallyTest, AListingThatCannotBeWrittenIsShownFromMemoryWithANote) {
  fs::create_directory(Utf8Path(kRankTextFileName));  // nothing can replace a folder of that name
  counters.score = 900;
  std::string shown;
  steps_ = {[] { Press(VK_RETURN); },
            [&] {
              ASSERT_NE(RankDialogHandle, nullptr);
              shown = DialogText(RankDialogHandle);
              Press(VK_RETURN);
            }};
  RankLocally(ModeNumber(GameMode::Easy), 3);
  EXPECT_TRUE(fs::is_directory(Utf8Path(kRankTextFileName)));
  EXPECT_NE(shown.find(Cp949("PlommX")), std::string::npos);
  EXPECT_NE(shown.find(kRankNotSavedNotice), std::string::npos);
  EXPECT_EQ(ReadFileText("easy.dat").size(), kScoreFileBytes);  // the ranking file itself was saved
  EXPECT_EQ(RankTextPrepared, 0);                               // the next dialog loads the file again
}

}  // namespace
