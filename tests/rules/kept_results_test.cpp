// The kept games of tests/replays/ played again by the rules alone, without SDL (so also in the
// server's build and in the Windows build under Wine), to the lines of expected.txt: the same
// lines soloplay --verify prints on Linux for them.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "game/replay_run.h"
#include "replay/replay.h"
#include "support/files.h"
#include "support/kept_games.h"

namespace {

std::string ResultLine(const Replay& replay, const ReplayResult& played) {
  char line[160];
  std::snprintf(line, sizeof line, "mode=%s stage=%d score=%d combo=%d seconds=%u", ReplayModeName(replay.mode),
                played.stage, played.score, played.bestCombo, played.playSeconds);
  return line;
}

TEST(KeptGames, EachPlaysAgainByTheRulesToTheLineExpectedBesideIt) {
  const std::filesystem::path folder = REPLAYS_DIR;
  std::istringstream expected(ReadFileText(folder / "expected.txt"));
  std::set<std::string> listed;
  for (std::string entry; std::getline(expected, entry);) {
    if (entry.empty() || entry[0] == '#') continue;
    const std::string name = entry.substr(0, entry.find(' '));
    const std::string want = entry.substr(name.size() + 1);
    listed.insert(name);
    Replay replay;
    std::string error;
    ASSERT_EQ(DecodeReplay(ReadFileBytes(folder / name), replay, error), ReplayRead::Ok) << name << ": " << error;
    ReplayResult played;
    std::string difference;
    EXPECT_TRUE(VerifyReplay(replay, played, difference)) << name << ": " << difference;
    const std::string got = ResultLine(replay, played);
    EXPECT_EQ(got, want) << name;
    std::printf("%s: %s\n", name.c_str(), got.c_str());
  }
  EXPECT_GE(listed.size(), 6u);
  // Every kept game has its line: none is left out of the check.
  for (const auto& [path, replay] : KeptGames()) EXPECT_EQ(listed.count(path.filename().string()), 1u) << path;
}

}  // namespace
