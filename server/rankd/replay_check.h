#pragma once
// Scores checked by their games: after its exchange, netplay sends the replay of a kept score
// on a new connection, and the server plays it again by the game's own rules and marks the
// score verified or suspect. The message, which the ranking exchange itself never uses:
//   3, the 124-byte submission as it was sent (its type byte 2 first), the replay's length
//   (4 bytes, little-endian), the replay's bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "game/replay_run.h"
#include "game/stage.h"
#include "server/rankd/store.h"
#include "wire/protocol.h"

namespace rankd {

// With --require-verified, how long a kept score waits unlisted for its replay before it is
// marked suspect (and stays unlisted).
inline constexpr int kReplayWaitSeconds = 60;
// Replays that may wait for the checking threads, in all and from one address; more are
// refused (their rows are marked Unchecked). The waiting take turns address by address.
inline constexpr size_t kReplaysWaiting = 64;
inline constexpr size_t kReplaysWaitingPerAddress = 4;

// Stage frames in a second of play: a frame lasts at least kStageFrameMs.
inline constexpr uint64_t kFramesPerSecond = 1000 / kStageFrameMs;
// The most frames a game ranked with `seconds` can hold. The game counts whole seconds from its
// start to its ranking step, which comes after the last frame: two seconds more cover the cut.
inline constexpr uint64_t ClaimedFrames(uint32_t seconds) { return (uint64_t{seconds} + 2) * kFramesPerSecond; }
// The ranking step reads its seconds right after the last frame; a slow machine may take a
// while to get there. A claim may pass the seconds the replay's last frame reached by this.
inline constexpr uint32_t kSecondsAfterLastFrame = 30;

// What a check found, for the counters: verified, why suspect, or not checked at all.
enum class ReplayFinding : uint8_t {
  Verified,
  Unreadable,        // not a replay this server reads
  FramesOverClaim,   // more frames than the submission's seconds can hold
  ResultNotClaimed,  // the recorded result is not the submission's stage, score, combo, seconds
  StageTooLong,      // a stage ran longer than the rules let one last
  PlaysOtherwise,    // played again, it does not reach its recorded end (or its rules are unknown)
  SecondsDiffer,     // the seconds its frames reach do not fit the submission's
  NotChecked,        // the server was too busy to check it: the row is marked Unchecked
};
inline constexpr size_t kReplayFindings = 8;
// The findings' names in /metrics, in their order.
const char* ReplayFindingName(ReplayFinding finding);

// What a replay showed of the score it came with. `score` names the kept row: the replay's
// mode, or -1 (any mode) when the replay was not read. A replay that cannot be read marks
// nothing (None): anyone may send bytes naming any score.
struct ReplayVerdict {
  Score score;
  ReplayMark mark = ReplayMark::Suspect;
  std::string reason;  // why it is suspect, unread, or not checked
  ReplayFinding finding = ReplayFinding::Unreadable;
  size_t frames = 0;    // frames played again
  std::string digest;   // the game's fingerprint (GameDigest) when the replay reads
  std::string address;  // the client the replay came from, as Connection::address
};

// The head of an upload: type, submission and length.
enum class UploadHead { Ok, NotAnUpload, NotASubmission, TooLong };
UploadHead DecodeUploadHead(const uint8_t (&head)[kReplayUploadHeadBytes], ScoreSubmission& submitted,
                            uint32_t& length);

// Plays the replay again in `run`'s world and holds it against the submission. Refused at
// once when its frames cannot belong to the submission's seconds or its recorded result is not
// the submission's; the play stops at the frames the seconds can hold and at any stage that
// runs longer than the rules allow. Verified when it plays to its own recorded end, that end
// is the submission's, and the seconds its last frame reached fit the submission's.
ReplayVerdict CheckReplay(const ScoreSubmission& submitted, std::span<const uint8_t> bytes, ReplayRun& run);
// A verdict for a replay from `address` the server took but did not check (no room for it,
// or the server stopped first): it marks the row Unchecked, never suspect.
ReplayVerdict NotChecked(const ScoreSubmission& submitted, const std::string& address, const char* why);

}  // namespace rankd
