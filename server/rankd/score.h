#pragma once
// A kept score and the rules a submission must pass to become one: what the store keeps, the
// exchange judges, rankctl shows and rankload checks.
#include <cstddef>
#include <cstdint>
#include <string>

#include "wire/protocol.h"
#include "wire/rank_text.h"

namespace rankd {

inline constexpr int kModes = 3;
// A kept name is 1 to 9 bytes, as the online game's name dialog gives them.
inline constexpr size_t kLongestName = 9;

// One kept result: the mode it was played in, the player's name (code page 949) and the
// game's figures.
struct Score {
  int mode = 0;
  std::string name;
  int32_t stage = 0;
  uint32_t score = 0;
  int32_t bestCombo = 0;
  uint32_t playSeconds = 0;
  bool operator==(const Score&) const = default;
};

// What the server makes of a submission.
enum class Verdict {
  Accepted,
  NameUnterminated,  // no zero within the 103-byte field
  NameEmpty,
  NameTooLong,  // more than 9 bytes
  NameControl,  // a byte below 0x20 or 0x7F
  NameNotCp949,
  StageBelowOne,
  ComboNegative,
  SecondsNegative,    // play seconds above 2^31 - 1
  NotAboveThreshold,  // the score does not beat the score to beat that was sent
  CheckCodeWrong,
};
const char* VerdictText(Verdict verdict);
Verdict JudgeSubmission(const ScoreSubmission& s, uint32_t thresholdSent);
// The score a submission keeps (only meaningful when it was accepted).
Score ScoreFromSubmission(int mode, const ScoreSubmission& s);

// The row of a listing table that shows a kept score.
ScoreEntry EntryFromScore(const Score& score);

// What a kept score remembers of the client's address, so that only a replay from there may
// mark it: an IPv4 address whole (also when written as ::ffff:a.b.c.d), an IPv6 address by its
// /64 prefix ("2001:db8:0:1::/64"), since one machine may use many addresses of its network.
// Text that is no address stays as it is.
std::string AddressKey(const std::string& address);

}  // namespace rankd
