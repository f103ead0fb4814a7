#pragma once
// The recorded games kept in tests/replays/, decoded, each with its file's path. Needs
// REPLAYS_DIR defined to that folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "replay/replay.h"
#include "support/files.h"

inline std::vector<std::pair<std::filesystem::path, Replay>> KeptGames() {
  std::vector<std::pair<std::filesystem::path, Replay>> games;
  for (const auto& entry : std::filesystem::directory_iterator(REPLAYS_DIR)) {
    if (entry.path().extension() != ".replay") continue;
    Replay replay;
    std::string error;
    EXPECT_EQ(DecodeReplay(ReadFileBytes(entry.path()), replay, error), ReplayRead::Ok)
        << entry.path() << ": " << error;
    games.emplace_back(entry.path(), std::move(replay));
  }
  return games;
}
