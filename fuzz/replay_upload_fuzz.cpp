// Any bytes as a replay upload, read as the server reads one: its head decoded, and the
// replay held against the submission it names and played again within the claim's bounds.
// The replay is tried as it comes and once more sealed with its own checksum, so the check
// goes past the reading. Nothing may crash, hang, or play more frames than the claim holds;
// and a world kept from check to check, as a checking thread keeps its own, must come to the
// verdict a fresh one does.
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "server/rankd/replay_check.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// Longer claims play again too, only slower than a fuzzer's input should take.
constexpr uint32_t kMostSecondsPlayed = 1000;

void Check(const ScoreSubmission& submitted, const std::vector<uint8_t>& replay, ReplayRun& kept) {
  const rankd::ReplayVerdict verdict = rankd::CheckReplay(submitted, replay, kept);
  const auto fresh = std::make_unique<ReplayRun>();
  const rankd::ReplayVerdict again = rankd::CheckReplay(submitted, replay, *fresh);
  Require(again.finding == verdict.finding && again.frames == verdict.frames && again.reason == verdict.reason &&
          again.digest == verdict.digest);
  Require(verdict.frames <= rankd::ClaimedFrames(submitted.playSeconds));
  Require((verdict.finding == rankd::ReplayFinding::Verified) == (verdict.mark == rankd::ReplayMark::Verified));
  Require(verdict.finding != rankd::ReplayFinding::NotChecked);
  Require(verdict.finding != rankd::ReplayFinding::Unreadable || verdict.score.mode == -1);
  // Bytes that do not read mark nothing; a game that reads has its fingerprint.
  const bool unread = verdict.finding == rankd::ReplayFinding::Unreadable;
  Require(unread == (verdict.mark == rankd::ReplayMark::None) && unread == verdict.digest.empty());
  if (verdict.finding == rankd::ReplayFinding::Verified) {
    Require(verdict.score.stage == submitted.stage && verdict.score.score == submitted.score);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const auto run = std::make_unique<ReplayRun>();
  if (size < kReplayUploadHeadBytes) return 0;
  uint8_t head[kReplayUploadHeadBytes];
  std::memcpy(head, data, sizeof head);
  head[0] = kReplayUploadType;  // the server reads an upload only after this byte
  ScoreSubmission submitted;
  uint32_t length = 0;
  if (rankd::DecodeUploadHead(head, submitted, length) != rankd::UploadHead::Ok) return 0;
  Require(length <= kReplayMostBytes);
  if (size - sizeof head < length || submitted.playSeconds > kMostSecondsPlayed) return 0;
  std::vector<uint8_t> replay(data + sizeof head, data + sizeof head + length);
  Check(submitted, replay, *run);
  if (replay.size() >= 20) {
    const size_t end = replay.size() - 4;
    const uint32_t crc = static_cast<uint32_t>(crc32(0, replay.data(), static_cast<uInt>(end)));
    for (int i = 0; i < 4; ++i) replay[end + i] = static_cast<uint8_t>(crc >> (8 * i));
    Check(submitted, replay, *run);
  }
  return 0;
}
