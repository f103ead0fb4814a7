// Any bytes from clients into the ranking server's exchange: up to 64 exchanges in a row
// against one store in memory, so the rankings fill and the score to beat rises. Each
// exchange is a record: a control byte, a length byte and that many client bytes. The
// control byte's low four bits give the size of the pieces the bytes arrive in; bit 4 puts
// the right check code into a submission, bit 5 the right message types, so that stored
// scores are reached. Nothing may crash, and nothing the rules refuse may be kept.
#include <cstdint>
#include <cstring>
#include <vector>

#include "server/rankd/exchange.h"
#include "server/rankd/store.h"
#include "tests/support/played_exchange.h"
#include "wire/cp949.h"
#include "wire/protocol.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// The rules for a kept score, checked apart from the server's own judging.
bool KeepableName(const std::string& name) {
  if (name.empty() || name.size() > 9 || name.find('\0') != std::string::npos) return false;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return false;
  }
  return Cp949Valid(name.data(), name.size());
}

bool Keepable(const rankd::Score& s) {
  return s.mode >= 0 && s.mode < rankd::kModes && KeepableName(s.name) && s.stage >= 1 && s.bestCombo >= 0 &&
         s.playSeconds <= 0x7FFFFFFFu && s.score > 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto store = rankd::OpenMemoryStore();
  rankd::RankCache cache;
  size_t kept = 0;
  size_t at = 0;
  for (int exchange = 0; exchange < 64 && at + 2 <= size; ++exchange) {
    const uint8_t control = data[at];
    const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
    std::vector<uint8_t> bytes(data + at + 2, data + at + 2 + length);
    at += 2 + length;
    if ((control & 0x20) != 0) {
      if (bytes.size() > 0) bytes[0] = kRankRequestType;
      if (bytes.size() > 2) bytes[2] = kScoreSubmissionType;
    }
    if ((control & 0x10) != 0 && bytes.size() >= kRankRequestBytes + kScoreSubmissionBytes) {
      uint8_t* p = bytes.data() + kRankRequestBytes;
      PutLe32(p + 120, static_cast<uint32_t>(CheckCode(GetLe32(p + 108), static_cast<int32_t>(GetLe32(p + 104)),
                                                       static_cast<int32_t>(GetLe32(p + 112)), GetLe32(p + 116))));
    }
    const int mode = bytes.size() >= 2 ? bytes[1] : -1;
    const uint32_t thresholdBefore = mode >= 0 && mode < rankd::kModes ? cache.Threshold(mode) : 0;
    const size_t chunk = (control & 0x0F) == 0 ? bytes.size() : control & 0x0F;
    const rankd_test::PlayedExchange played = rankd_test::PlayExchange(bytes.data(), bytes.size(), chunk, *store,
                                                                       cache);

    std::vector<rankd::Score> all;
    std::string error;
    Require(store->LoadAll(all, error));
    if (played.outcome == rankd::Outcome::Stored) {
      // The submission really passes every rule against the threshold it was sent.
      ScoreSubmission s;
      Require(bytes.size() >= kRankRequestBytes + kScoreSubmissionBytes);
      Require(DecodeScoreSubmission(bytes.data() + kRankRequestBytes, s));
      Require(played.thresholdSent == thresholdBefore && s.score > thresholdBefore);
      Require(CheckCode(s.score, s.stage, s.bestCombo, s.playSeconds) == s.checkCode);
      Require(Keepable(rankd::ScoreFromSubmission(mode, s)));
      ++kept;
    }
    Require(all.size() == kept);
    for (const rankd::Score& s : all) Require(Keepable(s));

    // What was sent: nothing for a bad request; otherwise the reply first, and the listing
    // of the mode as it now stands when the exchange got that far.
    if (played.outcome == rankd::Outcome::BadRequest || bytes.size() < kRankRequestBytes) {
      Require(played.sent.empty());
      continue;
    }
    Require(played.sent.size() >= kThresholdReplyBytes);
    for (size_t i = 0; i < 52; ++i) Require(played.sent[i] == 0);
    Require(DecodeThresholdReply(played.sent.data()) == thresholdBefore);
    const bool listed = played.outcome == rankd::Outcome::Declined || played.outcome == rankd::Outcome::Stored ||
                        played.outcome == rankd::Outcome::Refused;
    if (listed) {
      const auto text = cache.Text(mode);
      Require(played.sent.size() == kThresholdReplyBytes + text->size());
      Require(std::memcmp(played.sent.data() + kThresholdReplyBytes, text->data(), text->size()) == 0);
      ScoreTable tables[rankd::kModes];
      Require(store->LoadTop(tables, error));
      Require(*text == rankd::RankTextMessage(tables[mode]));
    } else {
      Require(played.sent.size() == kThresholdReplyBytes);
    }
  }
  return 0;
}
