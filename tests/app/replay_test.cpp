// Whole games recorded as the program plays them, played again from their files; and which
// files the replays folder keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/edition.h"
#include "app/game_flow.h"
#include "app/replay_playback.h"
#include "app/replay_recording.h"
#include "app/start_up.h"
#include "game/replay_run.h"
#include "gfx/sprite.h"
#include "platform/files.h"
#include "platform/testing/input.h"
#include "platform/testing/readback.h"
#include "screen_fixture.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;

std::vector<fs::path> ReplaysIn(const fs::path& folder) {
  std::vector<fs::path> found;
  if (fs::exists(folder))
    for (const auto& entry : fs::directory_iterator(folder)) found.push_back(entry.path());
  // In the order they were saved: a second game in the same second is "-2", which sorts
  // before the first one's "." by name alone.
  auto order = [](const fs::path& p) {
    std::string stem = Utf8Of(p.stem());
    const size_t dash = stem.rfind('-');
    const bool numbered = dash != std::string::npos && dash + 1 < stem.size() &&
                          stem.find_first_not_of("0123456789", dash + 1) == std::string::npos;
    return std::make_pair(numbered ? stem.substr(0, dash) : stem, numbered ? std::stoi(stem.substr(dash + 1)) : 1);
  };
  std::sort(found.begin(), found.end(), [&](const fs::path& a, const fs::path& b) { return order(a) < order(b); });
  return found;
}

std::vector<ReplayResult> ranked;  // what each game's ranking step saw

class Replays : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    CurrentGame() = PlayedGame{};
    FreeSpriteBanks();
    SpriteBankTable = {};
    ranked.clear();
  }
  void TearDown() override {
    FreeSpriteBanks();
    ScreenTest::TearDown();
  }
};

// Two games of one run, as the player meets them: the chicken sweeps up and down attacking,
// runs right and back, and leaves each game by Escape, so the second game starts with the
// first one's mobs still walking. Both replays play again to the very result that was ranked.
TEST_F(Replays, RecordedGamesPlayAgainToTheResultThatWasRanked) {
  TempFolder folder("brakkel_replays");
  EnterCopyOfGameData(folder);
  Edition.program = "soloplay";
  Edition.rankingStep = [](int32_t, int32_t) {
    const GameCounters& counters = CurrentGame().world.counters;
    ranked.push_back({counters.stageNumber, counters.score, counters.bestCombo, counters.playSeconds});
    if (ranked.size() == 2) PushClose();
    return ranked.size() == 1;  // the first one entered the ranking
  };
  PushMouseMove(100, 100);  // easy, chosen at once in every menu
  PushMouseButton(true);
  bool up = false, right = false, attack = false;
  auto hold = [](bool& held, bool want, uint32_t key) {
    if (held != want) PushKey(key, want);
    held = want;
  };
  const uint32_t& startClock = CurrentGame().view.startClock;
  script = [&](uint32_t now) {
    if (startClock == 0 || ranked.size() == 2) return;
    const uint32_t frame = (now - startClock) / kStageFrameMs;
    hold(up, frame / 23 % 2 == 0, VK_UP);
    hold(right, frame / 97 % 3 == 1, VK_RIGHT);
    hold(attack, frame % 40 < 35, VK_SPACE);
    if (frame == (ranked.empty() ? 700u : 450u)) TypeKey(VK_ESCAPE, nullptr);
  };
  GameMain();
  PushMouseButton(false);

  ASSERT_EQ(ranked.size(), 2u);
  const std::vector<fs::path> files = ReplaysIn("replays");
  ASSERT_EQ(files.size(), 2u);
  int32_t scored = 0;
  for (size_t game = 0; game < 2; ++game) {
    SCOPED_TRACE(files[game].string());
    EXPECT_TRUE(files[game].filename().string().ends_with("-easy.replay") ||
                files[game].filename().string().ends_with("-easy-2.replay"));
    Replay replay;
    std::string error;
    ASSERT_EQ(DecodeReplay(ReadFileBytes(files[game]), replay, error), ReplayRead::Ok) << error;
    EXPECT_EQ(replay.program, "soloplay");
    EXPECT_EQ(replay.ranked, game == 0);
    EXPECT_EQ(replay.result, ranked[game]);
    // The first game starts from an untouched pool, the second with mobs left walking.
    EXPECT_EQ(replay.start.mobs.empty(), game == 0);
    ReplayResult again;
    std::string difference;
    EXPECT_TRUE(VerifyReplay(replay, again, difference)) << difference;
    EXPECT_EQ(again, ranked[game]);
    scored += ranked[game].score;

    // Without its attacks the same game no longer plays to the recorded result.
    if (ranked[game].score == 0) continue;
    for (uint8_t& input : replay.inputs) input &= static_cast<uint8_t>(~kReplayAttack);
    EXPECT_FALSE(VerifyReplay(replay, again, difference));
    EXPECT_NE(difference.find("differs"), std::string::npos) << difference;
  }
  EXPECT_GT(scored, 0) << "the games killed nothing: the script misses the mobs";
  // The program's --verify check (tests/replay_verify_check.sh) takes these files.
  if (const char* keep = std::getenv("BRAKKEL_REPLAY_SAMPLES"))
    for (const fs::path& file : files) fs::copy_file(file, fs::path(keep) / file.filename());
}

uint64_t ShownHash() {
  uint64_t hash = 14695981039346656037u;
  const uint32_t* shown = ShownPixels();
  for (int i = 0; i < kScreenPixels; ++i) hash = (hash ^ shown[i]) * 1099511628211u;
  return hash;
}

std::set<std::string> FilesUnder(const fs::path& folder) {
  std::set<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) found.insert(entry.path().string());
  return found;
}

// A game watched again shows one picture per recorded frame, at eight times the pace once 8
// is pressed; after the last frame its picture stays until Escape; and watching leaves no
// file behind.
TEST_F(Replays, PlaybackShowsTheFramesThePlayerSaw) {
  TempFolder folder("brakkel_playback");
  EnterCopyOfGameData(folder);
  Edition.program = "soloplay";
  Edition.rankingStep = [](int32_t, int32_t) {
    PushClose();
    return false;
  };
  PushMouseMove(100, 250);  // normal
  PushMouseButton(true);
  std::vector<uint64_t> played;
  bool up = false, attack = false;
  auto hold = [](bool& held, bool want, uint32_t key) {
    if (held != want) PushKey(key, want);
    held = want;
  };
  const uint32_t& startClock = CurrentGame().view.startClock;
  script = [&](uint32_t now) {
    if (startClock == 0 || InputState.quit) return;
    played.push_back(ShownHash());
    const uint32_t frame = (now - startClock) / kStageFrameMs;
    hold(up, frame / 17 % 2 == 0, VK_UP);
    hold(attack, frame % 30 < 20, VK_SPACE);
    if (frame == 160) TypeKey(VK_ESCAPE, nullptr);
  };
  GameMain();
  PushMouseButton(false);
  const std::vector<fs::path> files = ReplaysIn("replays");
  ASSERT_EQ(files.size(), 1u);
  Replay replay;
  std::string error;
  ASSERT_EQ(DecodeReplay(ReadFileBytes(files[0]), replay, error), ReplayRead::Ok) << error;
  ASSERT_EQ(played.size(), replay.inputs.size());

  ASSERT_TRUE(GameWindowReady());
  LoadGameSprites();  // as the program does before it shows a replay
  const std::set<std::string> before = FilesUnder(folder.path());
  std::vector<uint64_t> shown;
  std::vector<uint32_t> at;
  TypeKey('8', "8");
  script = [&](uint32_t now) {
    shown.push_back(ShownHash());
    at.push_back(now);
    if (shown.size() == played.size() + 5) TypeKey(VK_ESCAPE, nullptr);
  };
  ShowReplay(replay);
  ASSERT_EQ(shown.size(), played.size() + 5) << "Escape did not end the playback at once";
  // The last picture stays; the game's frames came kStageFrameMs / 8 apart.
  // Each of the game's frames shows again as the player saw it.
  for (size_t i = 0; i < played.size(); ++i) ASSERT_EQ(shown[i], played[i]) << "frame " << i;
  EXPECT_EQ(shown.back(), shown[played.size() - 1]);
  EXPECT_EQ(at[played.size() - 1] - at[0], (played.size() - 1) * (kStageFrameMs / 8));
  EXPECT_EQ(FilesUnder(folder.path()), before);
}

Replay SmallReplay(bool rankedGame) {
  Replay replay;
  replay.program = "soloplay";
  replay.version = "1.0.0";
  replay.ranked = rankedGame;
  replay.inputs = {kReplayLeave};
  replay.clocks = {50};
  replay.result = {1, 0, 0, 0};
  return replay;
}

// What --watch was given stands in for a replay file: a damaged, cut, foreign or too new
// replay is refused in one line, as a file would be, and nothing is shown; a fetch that
// failed has said why itself.
TEST(WatchListed, WhatTheServerSentIsRefusedAsADamagedFileIsAndNoWindowOpens) {
  static std::vector<uint8_t> served;
  static int32_t askedMode = -1, askedPlace = -1;
  Edition.listedReplayFetch = [](int32_t mode, int32_t place, std::vector<uint8_t>& bytes) {
    askedMode = mode;
    askedPlace = place;
    bytes = served;
    return !served.empty();
  };
  const std::vector<uint8_t> good = EncodeReplay(SmallReplay(true));
  std::vector<uint8_t> damaged = good;
  damaged[good.size() / 2] ^= 0x40;
  Replay newer = SmallReplay(true);
  newer.rules = 999;
  const std::vector<std::vector<uint8_t>> refused = {
      damaged, std::vector<uint8_t>(good.begin(), good.end() - 7), {'n', 'o', 't'}, EncodeReplay(newer), {}};
  CloseGameWindow();
  GameOptions options;
  options.watchMode = 2;
  options.watchPlace = 7;
  for (size_t i = 0; i < refused.size(); ++i) {
    SCOPED_TRACE(i);
    served = refused[i];
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(WatchListedReplay(options), 1);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(askedMode, 2);
    EXPECT_EQ(askedPlace, 7);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), served.empty() ? 0 : 1) << said;
    if (!served.empty()) {
      EXPECT_NE(said.find("hardcore place 7"), std::string::npos) << said;
    }
    EXPECT_FALSE(WindowOpen());
  }
  Edition.listedReplayFetch = nullptr;
}

// Every ranked game's replay stays; of the others, the newest 50 by date, time and number.
// What does not read as a replay is never removed (a Korean name too), and a folder that cannot
// be made loses the replay alone. The game folder lies under a Korean name, as it does for a
// Korean user on Windows.
TEST(ReplayFiles, KeepEveryRankedGameAndTheLastFiftyOthers) {
  TempFolder folder("brakkel_kept");
  const std::string replays = Utf8Of(folder.path()) + "/게임/replays";
  const std::time_t start = 1700000000;
  std::set<std::string> rankedNames;
  std::vector<std::string> others;  // oldest first
  for (int i = 0; i < 60; ++i) {
    // Two games in the same second get "-2"; the ranked ones come early, among the oldest.
    const std::time_t when = start + i / 2;
    const bool rankedGame = i == 1 || i == 4 || i == 9;
    std::string saved;
    const Replay replay = SmallReplay(rankedGame);
    ASSERT_TRUE(SaveReplay(EncodeReplay(replay), replay.mode, replays.c_str(), when, &saved));
    if (rankedGame) {
      rankedNames.insert(saved);
    } else {
      others.push_back(saved);
    }
    if (i == 10) std::ofstream(PathOf(replays + "/20000101-000000-easy.replay")) << "not a replay";
    if (i == 11) std::ofstream(PathOf(replays + "/메모.replay")) << "mine";
  }
  std::set<std::string> kept;
  // Compared as paths made alike: Windows' listing separates with '\\', the names saved with '/'.
  for (const fs::path& file : ReplaysIn(PathOf(replays))) kept.insert(Utf8Of(file.lexically_normal()));
  std::set<std::string> wanted;
  const auto want = [&](const std::string& name) { wanted.insert(Utf8Of(PathOf(name).lexically_normal())); };
  for (const std::string& name : rankedNames) want(name);
  for (auto it = others.end() - 50; it != others.end(); ++it) want(*it);
  want(replays + "/20000101-000000-easy.replay");
  want(replays + "/메모.replay");
  EXPECT_EQ(kept, wanted);
  EXPECT_EQ(kept.size(), 55u);

  // Something that is not a folder stands where the replays go: the replay alone is lost.
  std::ofstream(folder.path() / "blocked") << "x";
  EXPECT_FALSE(SaveReplay(EncodeReplay(SmallReplay(false)), 0, (folder.path() / "blocked").string().c_str(), start));
}

}  // namespace
