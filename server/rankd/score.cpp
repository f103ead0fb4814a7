// The rules a submission must pass, and a kept score's forms.
#include "server/rankd/score.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

#include "text/cp949.h"

namespace rankd {

const char* VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::Accepted: return "accepted";
    case Verdict::NameUnterminated: return "name without terminator";
    case Verdict::NameEmpty: return "empty name";
    case Verdict::NameTooLong: return "name longer than 9 bytes";
    case Verdict::NameControl: return "control byte in name";
    case Verdict::NameNotCp949: return "name not code page 949";
    case Verdict::StageBelowOne: return "stage below 1";
    case Verdict::ComboNegative: return "negative best combo";
    case Verdict::SecondsNegative: return "negative play seconds";
    case Verdict::NotAboveThreshold: return "score not above the score to beat";
    case Verdict::CheckCodeWrong: return "wrong check code";
  }
  return "?";
}

Verdict JudgeSubmission(const ScoreSubmission& s, uint32_t thresholdSent) {
  const void* end = std::memchr(s.name, 0, kSubmissionNameBytes);
  if (end == nullptr) return Verdict::NameUnterminated;
  const size_t length = static_cast<size_t>(static_cast<const char*>(end) - s.name);
  if (length == 0) return Verdict::NameEmpty;
  if (length > kLongestName) return Verdict::NameTooLong;
  for (size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(s.name[i]);
    if (c < 0x20 || c == 0x7F) return Verdict::NameControl;
  }
  if (!Cp949Valid(s.name, length)) return Verdict::NameNotCp949;
  if (s.stage < 1) return Verdict::StageBelowOne;
  if (s.bestCombo < 0) return Verdict::ComboNegative;
  if (s.playSeconds > 0x7FFFFFFFu) return Verdict::SecondsNegative;
  if (s.score <= thresholdSent) return Verdict::NotAboveThreshold;
  if (CheckCode(s.score, s.stage, s.bestCombo, s.playSeconds) != s.checkCode) {
    return Verdict::CheckCodeWrong;
  }
  return Verdict::Accepted;
}

Score ScoreFromSubmission(int mode, const ScoreSubmission& s) {
  Score score;
  score.mode = mode;
  score.name.assign(s.name, strnlen(s.name, kSubmissionNameBytes));
  score.stage = s.stage;
  score.score = s.score;
  score.bestCombo = s.bestCombo;
  score.playSeconds = s.playSeconds;
  return score;
}

ScoreEntry EntryFromScore(const Score& score) {
  ScoreEntry e;
  std::memcpy(e.name, score.name.data(), std::min(score.name.size(), kScoreNameBytes - 1));
  e.stage = score.stage;
  e.score = score.score;
  e.bestCombo = score.bestCombo;
  e.playSeconds = score.playSeconds;
  return e;
}

std::string AddressKey(const std::string& address) {
  in6_addr v6{};
  if (inet_pton(AF_INET6, address.c_str(), &v6) != 1) return address;
  char text[INET6_ADDRSTRLEN];
  // An IPv4 client of a dual-stack socket (::ffff:a.b.c.d) is its IPv4 address.
  if (IN6_IS_ADDR_V4MAPPED(&v6)) return inet_ntop(AF_INET, v6.s6_addr + 12, text, sizeof text) ? text : address;
  std::memset(v6.s6_addr + 8, 0, 8);
  if (inet_ntop(AF_INET6, &v6, text, sizeof text) == nullptr) return address;
  return std::string(text) + "/64";
}

}  // namespace rankd
