// soloplay's whole ranking step, with the real dialogs played through the pump under the
// fake clock, each test in a fresh folder of its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/edition.h"
#include "app/window.h"
#include "game/counters.h"
#include "game/random.h"
#include "platform/clock.h"
#include "platform/cp949.h"
#include "platform/dialog.h"
#include "platform/display.h"
#include "ranking/dialogs.h"
#include "ranking/local_ranking.h"
#include "ranking/rank_locally.h"
#include "res/dialog_templates.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;

std::string ReadAll(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Cp949(const char* utf8) {
  char out[256];
  return std::string(out, Utf8ToCp949(utf8, std::strlen(utf8), out, sizeof out));
}

std::string DialogText(Dialog* dialog) {
  static char text[kRankTextBufferBytes];
  return std::string(text, GetDialogItemText(dialog, kDialogEditId, text, sizeof text));
}

class RankLocallyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!WindowOpen()) {
      ASSERT_EQ(CreateGameWindow(), 1);
    }
    std::string dir = (fs::temp_directory_path() / "brakkel-ranklocally-XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    folder_ = dir;
    home_ = fs::current_path();
    fs::current_path(folder_);
    PumpMessages();
    InputState = InputStateRecord{};
    Edition = EditionTraits{};
    LocalScoreTable = ScoreTable{};
    Counters = GameCounters{};
    std::memset(playerName, 0, sizeof playerName);
    GameSrand(11);
    UseFakeClock(50000);
    Counters.gameStartTime = 20000;  // 30 s of play when the step begins
    SetWaitHook([this](uint32_t) { OnWait(); });
  }
  void TearDown() override {
    UseRealClock();
    fs::current_path(home_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    if (!WindowOpen()) {
      ASSERT_EQ(CreateGameWindow(), 1);
    }
  }

  // Each wait of a dialog that finds nothing to do runs the next step; the step is told
  // which dialog is open. A script that runs out closes the window, so no test hangs.
  void OnWait() {
    if (next_ < steps_.size()) {
      steps_[next_++]();
    } else if (++idle_ == 50) {
      PushClose();
    }
  }
  static void Press(uint32_t vk) {
    PushKey(vk, true);
    PushKey(vk, false);
  }
  static void Type(const char* ascii) {
    for (const char* c = ascii; *c; ++c) PushText(std::string(1, *c).c_str());
  }

  std::vector<std::function<void()>> steps_;
  size_t next_ = 0;
  int idle_ = 0;
  fs::path folder_, home_;
};

TEST_F(RankLocallyTest, AFirstGameCreatesTheFileAsksTheNameAndShowsTheListing) {
  Counters.score = 4321;
  Counters.bestCombo = 6;
  std::string shownName, shownListing;
  steps_ = {
      [&] {
        ASSERT_NE(nameDialogHandle, nullptr);
        EXPECT_EQ(rankDialogHandle, nullptr);
        shownName = DialogText(nameDialogHandle);
        Type("ChickenRunner15");  // replaces the selected preset
        AdvanceFakeClock(4000);   // typing takes time, and it counts
        Press(VK_RETURN);
      },
      [&] {
        ASSERT_NE(rankDialogHandle, nullptr);
        shownListing = DialogText(rankDialogHandle);
        Press(VK_RETURN);
      },
  };
  RankLocally(GameModeNormal, 4);
  EXPECT_EQ(next_, steps_.size());
  EXPECT_EQ(shownName, "PlommX");
  EXPECT_STREQ(playerName, "ChickenRunn");
  EXPECT_EQ(dialogOpen, 0);

  const std::string file = ReadAll("normal.dat");
  ASSERT_EQ(file.size(), kScoreFileBytes);
  EXPECT_FALSE(fs::exists("easy.dat"));
  const std::string listing = ReadAll(kRankTextFileName);
  EXPECT_EQ(shownListing, listing);
  EXPECT_NE(listing.find(Cp949("     1등ChickenRunn      4321점   4판   6콤보         34초")),
            std::string::npos);
  EXPECT_EQ(LocalScoreTable.row[0].playSeconds, 34u);
}

TEST_F(RankLocallyTest, AScoreThatEntersNothingLeavesTheFileAloneButStillShowsTheListing) {
  for (int i = 0; i < kScoreRows; ++i) LocalScoreTable.row[i].score = 5000u - static_cast<uint32_t>(i);
  ASSERT_EQ(SaveScoreTable(GameModeEasy), 1);
  const std::string before = ReadAll("easy.dat");
  LocalScoreTable = ScoreTable{};
  Counters.score = 4981;  // the 20th row's score: no place
  bool nameAsked = false;
  steps_ = {[&] {
    nameAsked = nameDialogHandle != nullptr;
    Press(VK_RETURN);
  }};
  RankLocally(GameModeEasy, 2);
  EXPECT_FALSE(nameAsked);
  EXPECT_EQ(ReadAll("easy.dat"), before);
  EXPECT_EQ(ReadAll(kRankTextFileName).size(), 2u * 59 + 20u * 59);
}

TEST_F(RankLocallyTest, ClosingTheWindowDuringTheNameStillRanksUnderTheEarlierName) {
  std::strcpy(playerName, "Earlier");
  Counters.score = 77;
  steps_ = {[] { PushClose(); }};
  RankLocally(GameModeHardcore, 1);
  EXPECT_EQ(InputState.quit, 1);
  EXPECT_STREQ(LocalScoreTable.row[0].name, "Earlier");
  const std::string file = ReadAll("hardcore.dat");
  ASSERT_EQ(file.size(), kScoreFileBytes);
  EXPECT_EQ(file.compare(kScoreHeaderBytes, 8, std::string("Earlier\0", 8)), 0);
  EXPECT_NE(ReadAll(kRankTextFileName).find("Earlier"), std::string::npos);
}

TEST_F(RankLocallyTest, AListingThatCannotBeWrittenIsShownFromMemoryWithANote) {
  fs::create_directory(kRankTextFileName);  // nothing can replace a folder of that name
  Counters.score = 900;
  std::string shown;
  steps_ = {[] { Press(VK_RETURN); },
            [&] {
              ASSERT_NE(rankDialogHandle, nullptr);
              shown = DialogText(rankDialogHandle);
              Press(VK_RETURN);
            }};
  RankLocally(GameModeEasy, 3);
  EXPECT_TRUE(fs::is_directory(kRankTextFileName));
  EXPECT_NE(shown.find(Cp949("PlommX")), std::string::npos);
  EXPECT_NE(shown.find(kRankNotSavedNotice), std::string::npos);
  EXPECT_EQ(ReadAll("easy.dat").size(), kScoreFileBytes);  // the ranking file itself was saved
  EXPECT_EQ(rankTextPrepared, 0);                            // the next dialog loads the file again
}

}  // namespace
