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

#include "server/rankd/store.h"
#include "wire/protocol.h"

namespace rankd {

// With --require-verified, how long a kept score waits unlisted for its replay before it is
// marked suspect (and stays unlisted).
inline constexpr int kReplayWaitSeconds = 60;
// Replays that may wait for the checking thread; more are dropped (and their scores wait).
inline constexpr size_t kReplaysWaiting = 8;

// What a replay showed of the score it came with. `score` names the kept row: the replay's
// mode, or -1 (any mode) when the replay cannot be read. A replay that cannot be read marks
// nothing (None): anyone may send bytes naming any score.
struct ReplayVerdict {
  Score score;
  ReplayMark mark = ReplayMark::Suspect;
  std::string reason;   // why it is suspect, or unread
  std::string digest;   // the game's fingerprint (GameDigest) when the replay reads
  std::string address;  // the client the replay came from, as Connection::address
};

// Plays the replay again and holds it against the submission: verified when it reads, plays
// again to its own recorded end, and that end is the submission's stage, score, combo and
// seconds. Uses the rules' shared state: one caller at a time.
ReplayVerdict CheckReplay(const ScoreSubmission& submitted, std::span<const uint8_t> bytes);

}  // namespace rankd
