// The verdict of the replay check: the replay played again by the game's own rules and held
// against the submission it came with.
#include "server/rankd/replay_check.h"

#include "game/replay_run.h"
#include "replay/replay.h"
#include "server/rankd/game_digest.h"

namespace rankd {

ReplayVerdict CheckReplay(const ScoreSubmission& submitted, std::span<const uint8_t> bytes) {
  ReplayVerdict verdict;
  Replay replay;
  std::string error;
  if (DecodeReplay(bytes, replay, error) != ReplayRead::Ok) {
    verdict.score = ScoreFromSubmission(-1, submitted);
    verdict.mark = ReplayMark::None;
    verdict.reason = "replay unreadable: " + error;
    return verdict;
  }
  verdict.score = ScoreFromSubmission(replay.mode, submitted);
  verdict.digest = GameDigest(replay);
  // The format bounds the frames (six hours of them), so the time a check takes is bounded.
  ReplayResult replayed;
  if (!VerifyReplay(replay, replayed, error)) {
    verdict.reason = "replay does not play to its own result: " + error;
    return verdict;
  }
  auto differs = [&](const char* what, long long sent, long long played) {
    verdict.reason = std::string(what) + " sent " + std::to_string(sent) + ", replay played " + std::to_string(played);
    return verdict;
  };
  if (replayed.stage != submitted.stage) return differs("stage", submitted.stage, replayed.stage);
  if (static_cast<uint32_t>(replayed.score) != submitted.score)
    return differs("score", submitted.score, static_cast<uint32_t>(replayed.score));
  if (replayed.bestCombo != submitted.bestCombo) return differs("combo", submitted.bestCombo, replayed.bestCombo);
  if (replay.result.playSeconds != submitted.playSeconds)
    return differs("seconds", submitted.playSeconds, replay.result.playSeconds);
  verdict.mark = ReplayMark::Verified;
  return verdict;
}

}  // namespace rankd
