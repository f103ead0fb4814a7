// Writes uploads for the replay upload fuzzer to start from: a short game of easy mode (no
// lives to end it before its last frame leaves), played again for its true result and sent
// with that result's submission, and the same with a score it never made.
// Usage: replay_upload_seeds FOLDER
#include <cstdio>
#include <string>
#include <vector>

#include "game/course.h"
#include "game/replay_run.h"
#include "replay/replay.h"
#include "wire/protocol.h"

namespace {

// The game, or false when it does not play again to the result it was given.
bool ShortGame(Replay& r) {
  r.program = "netplay";
  r.version = "seed";
  r.mode = 0;
  r.seed = 4242;
  r.startClock = 1000;
  for (uint32_t f = 0; f < 600; ++f) {
    r.inputs.push_back(static_cast<uint8_t>(f % 40 < 30 ? kReplayAttack | (f / 20 % 2 ? kReplayUp : kReplayDown) : 0));
    r.clocks.push_back(r.startClock + 50 * (f + 1));
  }
  r.inputs.back() |= kReplayLeave;
  std::string difference;
  VerifyReplay(r, r.result, difference);  // the result it plays to
  r.result.playSeconds = PlaySeconds(r.startClock, r.clocks.back());
  ReplayResult again;
  return VerifyReplay(r, again, difference);
}

bool Write(const std::string& path, const Replay& r, uint32_t score) {
  ScoreSubmission s{};
  std::snprintf(s.name, sizeof s.name, "seed");
  s.stage = r.result.stage;
  s.score = score;
  s.bestCombo = r.result.bestCombo;
  s.playSeconds = r.result.playSeconds;
  s.checkCode = CheckCode(s.score, s.stage, s.bestCombo, s.playSeconds);
  const std::vector<uint8_t> replay = EncodeReplay(r);
  std::vector<uint8_t> upload(kReplayUploadHeadBytes);
  upload[0] = kReplayUploadType;
  EncodeScoreSubmission(s, upload.data() + 1);
  PutLe32(upload.data() + 1 + kScoreSubmissionBytes, static_cast<uint32_t>(replay.size()));
  upload.insert(upload.end(), replay.begin(), replay.end());
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  std::fwrite(upload.data(), 1, upload.size(), out);
  return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Replay game;
  if (!ShortGame(game)) return 1;
  const std::string folder = argv[1];
  const auto score = static_cast<uint32_t>(game.result.score);
  return Write(folder + "/verified.upload", game, score) && Write(folder + "/forged.upload", game, score + 1) ? 0 : 1;
}
