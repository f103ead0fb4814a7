// The verdict of the replay check: the replay played again by the game's own rules and held
// against the submission it came with.
#include "game/course.h"
#include "replay/replay.h"
#include "server/rankd/game_digest.h"
#include "server/rankd/replay_check.h"

namespace rankd {
namespace {

constexpr const char* kFindingNames[kReplayFindings] = {"verified",           "unreadable",     "frames_over_claim",
                                                        "result_not_claimed", "stage_too_long", "plays_otherwise",
                                                        "seconds_differ",     "not_checked"};

ReplayVerdict Suspect(ReplayVerdict verdict, ReplayFinding finding, std::string reason) {
  verdict.finding = finding;
  verdict.reason = std::move(reason);
  return verdict;
}

std::string Differs(const char* what, long long sent, long long played, const char* how) {
  return std::string(what) + " sent " + std::to_string(sent) + ", replay " + how + " " + std::to_string(played);
}

// What the file says it came to, against the submission: nothing needs playing when they differ.
std::string ClaimDifference(const ScoreSubmission& s, const ReplayResult& r) {
  if (r.stage != s.stage) return Differs("stage", s.stage, r.stage, "recorded");
  if (static_cast<uint32_t>(r.score) != s.score)
    return Differs("score", s.score, static_cast<uint32_t>(r.score), "recorded");
  if (r.bestCombo != s.bestCombo) return Differs("combo", s.bestCombo, r.bestCombo, "recorded");
  if (r.playSeconds != s.playSeconds) return Differs("seconds", s.playSeconds, r.playSeconds, "recorded");
  return {};
}

}  // namespace

const char* ReplayFindingName(ReplayFinding finding) { return kFindingNames[static_cast<size_t>(finding)]; }

UploadHead DecodeUploadHead(const uint8_t (&head)[kReplayUploadHeadBytes], ScoreSubmission& submitted,
                            uint32_t& length) {
  if (head[0] != kReplayUploadType) return UploadHead::NotAnUpload;
  if (!DecodeScoreSubmission(head + 1, submitted)) return UploadHead::NotASubmission;
  length = GetLe32(head + 1 + kScoreSubmissionBytes);
  return length > kReplayMostBytes ? UploadHead::TooLong : UploadHead::Ok;
}

ReplayVerdict NotChecked(const ScoreSubmission& submitted, const std::string& address, const char* why) {
  ReplayVerdict verdict;
  verdict.score = ScoreFromSubmission(-1, submitted);
  verdict.mark = ReplayMark::Unchecked;
  verdict.address = address;
  return Suspect(verdict, ReplayFinding::NotChecked, std::string("not checked: ") + why);
}

ReplayVerdict CheckReplay(const ScoreSubmission& submitted, std::span<const uint8_t> bytes, ReplayRun& run) {
  ReplayVerdict verdict;
  Replay replay;
  std::string error;
  if (DecodeReplay(bytes, replay, error) != ReplayRead::Ok) {
    verdict.score = ScoreFromSubmission(-1, submitted);
    // Anyone may send bytes naming any score: a replay that cannot be read marks nothing.
    verdict.mark = ReplayMark::None;
    return Suspect(verdict, ReplayFinding::Unreadable, "replay unreadable: " + error);
  }
  verdict.score = ScoreFromSubmission(replay.mode, submitted);
  verdict.digest = GameDigest(replay);
  const uint64_t claimed = ClaimedFrames(submitted.playSeconds);
  if (replay.inputs.size() > claimed) {
    return Suspect(verdict, ReplayFinding::FramesOverClaim,
                   std::to_string(replay.inputs.size()) + " frames, more than " +
                       std::to_string(submitted.playSeconds) + " seconds hold");
  }
  if (std::string claim = ClaimDifference(submitted, replay.result); !claim.empty())
    return Suspect(verdict, ReplayFinding::ResultNotClaimed, std::move(claim));
  const ReplayBudget budget{.mostFrames = static_cast<size_t>(claimed), .mostStageFrames = kStageMostFrames};
  ReplayResult replayed;
  const Replayed played = PlayReplayWithin(replay, budget, run, replayed, error);
  verdict.frames = run.frame;
  if (played == Replayed::StageTooLong) return Suspect(verdict, ReplayFinding::StageTooLong, error);
  if (played == Replayed::OverBudget) return Suspect(verdict, ReplayFinding::FramesOverClaim, error);
  if (played != Replayed::AsRecorded)
    return Suspect(verdict, ReplayFinding::PlaysOtherwise, "replay does not play to its own result: " + error);
  // The seconds as the game counts them, to the clock its last frame read; the ranking step
  // read its own a moment later.
  const uint32_t reached = PlaySeconds(replay.startClock, replay.clocks[run.frame - 1]);
  if (submitted.playSeconds < reached || submitted.playSeconds - reached > kSecondsAfterLastFrame)
    return Suspect(verdict, ReplayFinding::SecondsDiffer,
                   Differs("seconds", submitted.playSeconds, reached, "played to"));
  verdict.mark = ReplayMark::Verified;
  verdict.finding = ReplayFinding::Verified;
  return verdict;
}

}  // namespace rankd
