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
#include "text/cp949.h"
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

// Bit 5 of the control byte writes the right message types into the bytes, bit 4 the
// right check code into the submission.
void Shape(uint8_t control, std::vector<uint8_t>& bytes) {
  if ((control & 0x20) != 0) {
    if (bytes.size() > 0) bytes[0] = kRankRequestType;
    if (bytes.size() > 2) bytes[2] = kScoreSubmissionType;
  }
  if ((control & 0x10) != 0 && bytes.size() >= kRankRequestBytes + kScoreSubmissionBytes) {
    uint8_t* p = bytes.data() + kRankRequestBytes;
    PutLe32(p + 120, static_cast<uint32_t>(CheckCode(GetLe32(p + 108), static_cast<int32_t>(GetLe32(p + 104)),
                                                     static_cast<int32_t>(GetLe32(p + 112)), GetLe32(p + 116))));
  }
}

// One exchange's bytes and what the server did with them.
struct Played {
  const std::vector<uint8_t>& bytes;
  int mode;                  // the request's mode byte, -1 without one
  uint32_t thresholdBefore;  // the mode's score to beat before the exchange
  const rankd_test::PlayedExchange& exchange;
};

// The store holds the kept scores and nothing else; a score kept now really passes every
// rule against the threshold it was sent.
void CheckStore(const Played& played, rankd::RankStore& store, size_t& kept) {
  std::vector<rankd::Score> all;
  std::string error;
  Require(store.LoadAll(all, error));
  if (played.exchange.outcome == rankd::Outcome::Stored) {
    ScoreSubmission s;
    Require(played.bytes.size() >= kRankRequestBytes + kScoreSubmissionBytes);
    Require(DecodeScoreSubmission(played.bytes.data() + kRankRequestBytes, s));
    Require(played.exchange.thresholdSent == played.thresholdBefore && s.score > played.thresholdBefore);
    Require(CheckCode(s.score, s.stage, s.bestCombo, s.playSeconds) == s.checkCode);
    Require(Keepable(rankd::ScoreFromSubmission(played.mode, s)));
    ++kept;
  }
  Require(all.size() == kept);
  for (const rankd::Score& s : all) Require(Keepable(s));
}

// What was sent: nothing for a bad request; otherwise the reply first, and the listing
// of the mode as it now stands when the exchange got that far.
void CheckSent(const Played& played, rankd::RankStore& store, rankd::RankCache& cache) {
  const std::vector<uint8_t>& sent = played.exchange.sent;
  const rankd::Outcome outcome = played.exchange.outcome;
  if (outcome == rankd::Outcome::BadRequest || played.bytes.size() < kRankRequestBytes) {
    Require(sent.empty());
    return;
  }
  Require(sent.size() >= kThresholdReplyBytes);
  for (size_t i = 0; i < 52; ++i) Require(sent[i] == 0);
  Require(DecodeThresholdReply(sent.data()) == played.thresholdBefore);
  const bool listed = outcome == rankd::Outcome::Declined || outcome == rankd::Outcome::Stored ||
                      outcome == rankd::Outcome::Refused;
  if (!listed) {
    Require(sent.size() == kThresholdReplyBytes);
    return;
  }
  const auto text = cache.Text(played.mode);
  Require(sent.size() == kThresholdReplyBytes + text->size());
  Require(std::memcmp(sent.data() + kThresholdReplyBytes, text->data(), text->size()) == 0);
  ScoreTable tables[rankd::kModes];
  std::string error;
  Require(store.LoadTop(tables, error));
  Require(*text == rankd::RankTextMessage(tables[played.mode]));
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
    Shape(control, bytes);
    const int mode = bytes.size() >= 2 ? bytes[1] : -1;
    const uint32_t thresholdBefore = mode >= 0 && mode < rankd::kModes ? cache.Threshold(mode) : 0;
    const size_t chunk = (control & 0x0F) == 0 ? bytes.size() : control & 0x0F;
    const rankd_test::PlayedExchange played = rankd_test::PlayExchange(bytes.data(), bytes.size(), chunk, *store,
                                                                       cache);
    const Played one{bytes, mode, thresholdBefore, played};
    CheckStore(one, *store, kept);
    CheckSent(one, *store, cache);
  }
  return 0;
}
