// Whole runs through GameMain and the program's entry, under the fake clock: the logo once,
// game after game from fresh counters, the stage series, the ranking step with the stage
// that was not cleared, and every way the window can be closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/game_flow.h"
#include "app/music.h"
#include "app/program.h"
#include "app/settings.h"
#include "game/random.h"
#include "game/world.h"
#include "gfx/sprite.h"
#include "platform/music.h"
#include "platform/testing/input.h"
#include "platform/text.h"
#include "ranking/dialogs.h"
#include "ranking/local_ranking.h"
#include "ranking/rank_locally.h"
#include "screen_fixture.h"
#include "support/cp949_text.h"
#include "support/environment.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;

struct Ranking {
  int32_t mode;
  int32_t stage;
  uint32_t at;        // the clock when the step was called
  uint8_t firstTint;  // the colour mob 0 was given in this game
};

// What a stage looked like on its first frame, and how many frames it ran.
struct StageSeen {
  int32_t stage;
  int frames;
  int32_t activeMobs;
  GameCounters counters;
};

class FlowTest;
FlowTest* currentTest = nullptr;

class FlowTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    currentTest = this;
    Edition.rankingStep = [](int32_t mode, int32_t stage) {
      currentTest->OnRanking(mode, stage);
      return false;
    };
    CurrentGame() = PlayedGame{};
    FreeSpriteBanks();
    SpriteBankTable = {};
    script = [this](uint32_t) { Watch(); };
  }
  void TearDown() override {
    FreeSpriteBanks();
    currentTest = nullptr;
    ScreenTest::TearDown();
  }

  // Skips the logo at its first step and chooses the mode at once: the button goes down
  // with the pointer inside the mode's area, and stays down.
  static void ClickBeforeTheLogo(int x, int y) {
    PushMouseMove(x, y);
    PushMouseButton(true);
  }

  void Watch() {
    if (WindowOpen() && WindowLooksBlack()) (rankings.empty() ? blackBefore : blackAfter) += 1;
    if (atWait) atWait(waits);
    if (view.startClock == 0) return;  // not in a stage
    if (stages.empty() || view.startClock != stageGame || world.counters.stageNumber != stages.back().stage) {
      stageGame = view.startClock;
      stages.push_back({world.counters.stageNumber, 0, world.mobs.CountActive(), world.counters});
    }
    ++stages.back().frames;
    if (onStageFrame) onStageFrame(stages.back().stage, stages.back().frames);
  }

  void OnRanking(int32_t mode, int32_t stage) {
    rankings.push_back({mode, stage, Ticks(), world.mobs[0].tint});
    view.startClock = 0;  // the next stage seen belongs to the next game
    if (onRanking) onRanking(static_cast<int>(rankings.size()));
  }

  // The colour mob 0 gets first after seeding the game's generator with `seed`.
  static uint8_t FirstTint(uint32_t seed) {
    GameRandom random;
    random.Seed(seed);
    random.Next();
    random.Next();
    return static_cast<uint8_t>(random.Next() % 255);
  }

  // The player's game, which the flow plays in and the ranking step reads.
  World& world = CurrentGame().world;
  FieldView& view = CurrentGame().view;

  std::vector<Ranking> rankings;
  std::vector<StageSeen> stages;
  uint32_t stageGame = 0;
  int blackBefore = 0;  // waits with a black window before the first ranking, and after
  int blackAfter = 0;
  std::function<void(int wait)> atWait;
  std::function<void(int32_t stage, int frame)> onStageFrame;
  std::function<void(int ranking)> onRanking;
};

TEST_F(FlowTest, TwoGamesEachFromFreshCountersWithItsOwnSeedAndOneLogo) {
  world.counters.lives = 42;
  ClickBeforeTheLogo(100, 100);  // easy
  onStageFrame = [](int32_t, int frame) {
    if (frame == 1) PushKey(VK_ESCAPE, true);
  };
  onRanking = [this](int ranking) {
    if (ranking == 1) {
      // What the first game leaves behind must not reach the second.
      world.counters.score = 999;
      world.counters.escapedMobs = 5;
      world.counters.bestCombo = 7;
      world.counters.gameOver = 1;
      PushMouseMove(150, 400);  // hardcore, the button still down
    } else {
      PushClose();
    }
  };
  GameMain();

  ASSERT_EQ(rankings.size(), 2u);
  EXPECT_EQ(rankings[0].mode, ModeNumber(GameMode::Easy));
  EXPECT_EQ(rankings[0].stage, 1);
  EXPECT_EQ(rankings[1].mode, ModeNumber(GameMode::Hardcore));
  EXPECT_EQ(rankings[1].stage, 1);
  ASSERT_EQ(stages.size(), 2u);
  for (const StageSeen& seen : stages) {
    EXPECT_EQ(seen.stage, 1);
    EXPECT_EQ(seen.frames, 2);  // Escape on the first frame ends the stage after the next
    EXPECT_EQ(seen.activeMobs, 100);
    EXPECT_EQ(seen.counters.score, 0);
    EXPECT_EQ(seen.counters.escapedMobs, 0);
    EXPECT_EQ(seen.counters.bestCombo, 0);
    EXPECT_EQ(seen.counters.gameOver, 0);
  }
  EXPECT_EQ(stages[0].counters.lives, 42);  // easy leaves the lives alone
  EXPECT_EQ(stages[1].counters.lives, 1);
  // Each game seeds with the clock at its start: after the logo's one step, and when the
  // first game's ranking step returned.
  EXPECT_EQ(rankings[0].firstTint, FirstTint(kClockStart + 100));
  EXPECT_EQ(rankings[1].firstTint, FirstTint(rankings[0].at));
  EXPECT_NE(rankings[0].firstTint, rankings[1].firstTint);
  // The logo's first step shows its picture at 0 %, all black; the second game has no logo.
  EXPECT_GE(blackBefore, 1);
  EXPECT_EQ(blackAfter, 0);
  // Closed during the third game's menu: no third game, and the run has shut down.
  EXPECT_EQ(InputState.quit, 1);
  EXPECT_EQ(view.startClock, 0u);
  EXPECT_EQ(MusicLoop.playTag, 0u);
  EXPECT_EQ(SpriteBankTable[kChickenBank].pixels[0], nullptr);
  PushMouseButton(false);
}

TEST_F(FlowTest, StagesGrowUntilOneIsNotClearedAndThatStageIsRanked) {
  ClickBeforeTheLogo(100, 250);  // normal
  onStageFrame = [this](int32_t stage, int frame) {
    const int32_t count = 100 * stage;
    const int32_t target = std::min(30 + 5 * (stage - 1), 100);
    const int32_t needed = (target * count + 99) / 100;  // kills that reach the target
    if (stage < 4) {
      if (frame == 1) world.counters.stageKills = needed - 1;
      if (frame == 2) world.counters.stageKills = needed;
    } else if (frame == 1) {
      PushKey(VK_ESCAPE, true);
    }
  };
  onRanking = [](int) { PushClose(); };
  GameMain();

  ASSERT_EQ(rankings.size(), 1u);
  EXPECT_EQ(rankings[0].mode, ModeNumber(GameMode::Normal));
  EXPECT_EQ(rankings[0].stage, 4);
  ASSERT_EQ(stages.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(stages[i].stage, i + 1);
    EXPECT_EQ(stages[i].activeMobs, 100 * (i + 1));
    // One kill short of the target keeps each stage going; the target ends it.
    EXPECT_EQ(stages[i].frames, 2);
  }
  EXPECT_EQ(stages[0].counters.lives, 10);
  PushMouseButton(false);
}

TEST_F(FlowTest, ClosingTheWindowDuringAStageStillRanksTheGame) {
  ClickBeforeTheLogo(100, 100);
  onStageFrame = [](int32_t, int frame) {
    if (frame == 3) PushClose();
  };
  GameMain();
  ASSERT_EQ(rankings.size(), 1u);
  EXPECT_EQ(rankings[0].mode, ModeNumber(GameMode::Easy));
  EXPECT_EQ(rankings[0].stage, 1);
  ASSERT_EQ(stages.size(), 1u);
  EXPECT_EQ(stages[0].frames, 4);  // the frame that saw the close ran to its end
  EXPECT_EQ(InputState.quit, 1);
}

TEST_F(FlowTest, ClosingTheWindowDuringAStageStillSavesAQualifyingScoreUnderTheLastName) {
  TempFolder folder("brakkel_closed");
  EnterCopyOfGameData(folder);
  Edition.rankingStep = RankLocally;
  LocalScoreTable = ScoreTable{};
  std::strcpy(PlayerName, "Confirmed");
  ClickBeforeTheLogo(100, 100);
  onStageFrame = [this](int32_t, int frame) {
    if (frame == 1) {
      // Five mobs walk into the chicken's reach just as the attack begun now lands.
      for (int i = 0; i < 5; ++i) {
        world.mobs[i].x = world.chicken.x + 240 + 5 * 10;
        world.mobs[i].y = world.chicken.y + 210;
      }
      PushKey(VK_SPACE, true);
    }
    if (frame == 15) PushClose();
  };
  GameMain();
  EXPECT_EQ(InputState.quit, 1);
  EXPECT_GE(world.counters.stageKills, 5);
  const std::vector<uint8_t> bytes = ReadFileBytes("easy.dat");
  ASSERT_EQ(bytes.size(), kScoreFileBytes);
  ScoreTable saved;
  ScoreTableFromBytes(bytes.data() + kScoreHeaderBytes, saved);
  EXPECT_STREQ(saved.row[0].name, "Confirmed");
  EXPECT_EQ(saved.row[0].score, static_cast<uint32_t>(world.counters.score));
  EXPECT_GT(saved.row[0].score, 0u);
  EXPECT_EQ(saved.row[0].stage, 1);
  EXPECT_TRUE(fs::exists(Utf8Path(kRankTextFileName)));
  PushMouseButton(false);
}

TEST_F(FlowTest, ClosedOnTheFrameThatClearsAStageTheNextStageEndsAfterOneFrame) {
  ClickBeforeTheLogo(100, 100);
  onStageFrame = [this](int32_t stage, int frame) {
    if (stage == 1 && frame == 2) {
      world.counters.stageKills = 30;
      PushClose();
    }
  };
  GameMain();
  ASSERT_EQ(stages.size(), 2u);
  EXPECT_EQ(stages[0].frames, 2);
  EXPECT_EQ(stages[1].stage, 2);
  EXPECT_EQ(stages[1].frames, 1);
  ASSERT_EQ(rankings.size(), 1u);
  EXPECT_EQ(rankings[0].stage, 2);
}

TEST_F(FlowTest, ClosedDuringTheLogoTheProgramEndsWhenTheLogoHasRunItsCourse) {
  atWait = [](int wait) {
    if (wait == 3) PushClose();
  };
  EXPECT_EQ(RunProgram(), 0);
  EXPECT_EQ(Elapsed(), 13001u);  // the whole logo
  EXPECT_TRUE(rankings.empty());
  EXPECT_TRUE(stages.empty());
  EXPECT_FALSE(WindowOpen());
}

TEST_F(FlowTest, AMissingSpriteFileIsReportedAndTheGamePlaysOn) {
  TempFolder folder("brakkel_nofeet");
  for (const char* name : {"logo.pcx", "level.pcx", "back.pcx", "chicken.ani", "mop.ani", "bgm.mp3"}) {
    fs::copy_file(DataPath(name), folder.path() / name);
  }
  folder.Enter();
  ClickBeforeTheLogo(100, 100);
  int32_t footFrames = -1, chickenFrames = -1;
  onStageFrame = [&](int32_t, int frame) {
    footFrames = SpriteBankTable[kFootBank].frameCount;
    chickenFrames = SpriteBankTable[kChickenBank].frameCount;
    if (frame == 1) PushKey(VK_ESCAPE, true);
  };
  onRanking = [](int) { PushClose(); };
  GameMain();
  // "개쇅" / "파일업어": the loader's notice for a file that is not there, once.
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], Cp949("개쇅|파일업어"));
  EXPECT_EQ(footFrames, 0);
  EXPECT_GT(chickenFrames, 0);
  EXPECT_EQ(rankings.size(), 1u);
  PushMouseButton(false);
}

TEST_F(FlowTest, TheProgramPlaysWithTheRememberedSettingsAndKeepsOnlyWhatThePlayerChanged) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows keeps the settings in %APPDATA%, not XDG_CONFIG_HOME";
#endif
  TempFolder config("brakkel_config");
  SetEnvironment("XDG_CONFIG_HOME", config.path().string().c_str());
  const fs::path file = config.path() / "brakkel/settings.ini";
  fs::create_directories(file.parent_path());
  const std::vector<std::string> fullscreen = {"soloplay", "--fullscreen"};
  const std::vector<std::string> plain = {"soloplay"};
  WindowChoice seenWindow;
  bool seenMuted = false;
  bool muteKey = false;  // whether the run turns the music back on, as the player's key does
  atWait = [&](int wait) {
    if (wait == 1) {
      seenWindow = ChosenWindow();
      seenMuted = MusicMuted();
    }
    if (wait == 3) {
      if (muteKey) MuteMusic(false);
      PushClose();
    }
  };

  // The file's scale and mute, the option's full screen; the player turns the music on.
  std::ofstream(file) << "scale=2\nmute=true\nserver = [::1]:2020\n";
  muteKey = true;
  EXPECT_EQ(RunGameProgram("soloplay", fullscreen, [] {}), 0);
  EXPECT_EQ(seenWindow.scale, 2);
  EXPECT_TRUE(seenWindow.fullscreen);
  EXPECT_TRUE(seenMuted);
  // The change is kept; the option is not; the server line soloplay does not use stays.
  EXPECT_EQ(LoadSettings(file.string()), (Settings{2, false, false, ServerAddress{"::1", 2020}}));

  // A program without a ranking server refuses --server as a bad option, before any window.
  const std::vector<std::string> server = {"soloplay", "--server", "localhost"};
  waits = 0;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunGameProgram("soloplay", server, [] {}), 2);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("--server"), std::string::npos);
  EXPECT_EQ(waits, 0);

  // A run that changes nothing leaves a hand-written file as it is.
  const std::string handWritten = "# mine\nscale = 3\n";
  std::ofstream(file) << handWritten;
  muteKey = false;
  waits = 0;
  EXPECT_EQ(RunGameProgram("soloplay", plain, [] {}), 0);
  EXPECT_EQ(seenWindow.scale, 3);
  EXPECT_FALSE(seenWindow.fullscreen);
  EXPECT_EQ(ReadFileText(file), handWritten);

  // Without a file, and nothing changed in play, no file is made.
  fs::remove_all(config.path() / "brakkel");
  waits = 0;
  EXPECT_EQ(RunGameProgram("soloplay", fullscreen, [] {}), 0);
  EXPECT_FALSE(fs::exists(config.path() / "brakkel"));

  UnsetEnvironment("XDG_CONFIG_HOME");
  ChooseWindow({});
  MuteMusic(false);
  EXPECT_TRUE(rankings.empty());
}

TEST_F(FlowTest, WithoutADisplayTheProgramSaysSoAndEndsWithOne) {
  CloseDisplay();
  CloseGameFont();
  SetEnvironment("SDL_VIDEODRIVER", "no-such-display");
  ::testing::internal::CaptureStderr();
  const int status = RunProgram();
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 1);
  EXPECT_NE(said.find("no game window"), std::string::npos) << said;

  // With no display at all SDL would fall back on a driver that shows nothing.
  const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  const std::string wayland = std::getenv("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : "";
  UnsetEnvironment("SDL_VIDEODRIVER");
  UnsetEnvironment("DISPLAY");
  UnsetEnvironment("WAYLAND_DISPLAY");
  ::testing::internal::CaptureStderr();
  const int blind = RunProgram();
  ::testing::internal::GetCapturedStderr();
  if (!display.empty()) SetEnvironment("DISPLAY", display.c_str());
  if (!wayland.empty()) SetEnvironment("WAYLAND_DISPLAY", wayland.c_str());
  SetEnvironment("SDL_VIDEODRIVER", "dummy");
  EXPECT_EQ(blind, 1);
  EXPECT_TRUE(rankings.empty());
  EXPECT_EQ(Elapsed(), 0u);  // no logo was shown
}

}  // namespace
