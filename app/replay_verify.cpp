#include "app/replay_verify.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "game/replay_run.h"
#include "game/rule_book.h"
#include "platform/complain.h"
#include "platform/files.h"
#include "replay/replay.h"

namespace {

// A file far larger than the longest game's replay is not read at all.
constexpr size_t kLargestReplayFile = 64u << 20;

bool ReadReplayFile(const char* path, std::vector<uint8_t>& bytes, std::string& error) {
  platform::FileProbe probe;
  errno = 0;
  std::FILE* file = platform::OpenDataFile(path, probe);
  if (!file) {
    error = probe == platform::FileProbe::Missing ? "no such file" : "not a readable file";
    return false;
  }
  uint8_t block[65536];
  bool ok = true;
  for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) {
    if (bytes.size() + got > kLargestReplayFile) {
      error = "too large for a replay";
      ok = false;
      break;
    }
    bytes.insert(bytes.end(), block, block + got);
  }
  if (ok && std::ferror(file)) {
    error = "cannot be read";
    ok = false;
  }
  std::fclose(file);
  return ok;
}

}  // namespace

bool LoadReplayFile(const char* path, Replay& replay, std::string& error) {
  std::vector<uint8_t> bytes;
  return ReadReplayFile(path, bytes, error) && DecodeReplayBytes(bytes, replay, error);
}

bool DecodeReplayBytes(std::span<const uint8_t> bytes, Replay& replay, std::string& error) {
  if (DecodeReplay(bytes, replay, error) != ReplayRead::Ok) return false;
  // A game of newer rules than this program's cannot be played again here.
  RuleBook rules;
  if (RulesOfVersion(replay.rules, rules)) return true;
  error = UnknownRulesReason(replay.rules);
  return false;
}

int VerifyReplayFile(const char* path) {
  std::string error;
  Replay replay;
  if (!LoadReplayFile(path, replay, error)) {
    platform::Complain("%s: %s", path, error.c_str());
    return 2;
  }
  ReplayResult played;
  std::string difference;
  const bool same = VerifyReplay(replay, played, difference);
  std::printf("mode=%s stage=%d score=%d combo=%d seconds=%u\n", ReplayModeName(replay.mode), played.stage,
              played.score, played.bestCombo, played.playSeconds);
  std::fflush(stdout);
  if (same) return 0;
  platform::Complain("%s: %s", path, difference.c_str());
  return 1;
}
