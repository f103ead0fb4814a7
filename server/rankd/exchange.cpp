// The server's side of one ranking exchange, and the rules a submission must pass.
#include "server/rankd/exchange.h"

#include <algorithm>
#include <cstring>

#include "server/rankd/store.h"
#include "wire/cp949.h"

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

const char* OutcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::Open: return "unfinished";
    case Outcome::Declined: return "declined";
    case Outcome::Stored: return "stored";
    case Outcome::Refused: return "refused";
    case Outcome::BadRequest: return "bad request";
    case Outcome::BadAnswer: return "bad answer";
    case Outcome::StoreFailed: return "store failed";
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

std::vector<uint8_t> RankTextMessage(const ScoreTable& table) {
  char text[kRankTextCap];
  const size_t length = FormatRankText(table, text);
  std::vector<uint8_t> message(kRankTextHeaderBytes + length);
  EncodeRankTextHeader(static_cast<uint32_t>(length), message.data());
  std::memcpy(message.data() + kRankTextHeaderBytes, text, length);
  return message;
}

RankCache::RankCache() {
  for (int mode = 0; mode < kModes; ++mode) Set(mode, ScoreTable{});
}

void RankCache::Set(int mode, const ScoreTable& table) {
  // The rows hold no padding, so equal bytes are equal tables: an unchanged table keeps its text.
  static_assert(sizeof(ScoreTable) == kScoreRows * kScoreEntryBytes);
  if (modes_[mode].text && std::memcmp(&modes_[mode].table, &table, sizeof table) == 0) return;
  modes_[mode].table = table;
  modes_[mode].text = std::make_shared<const std::vector<uint8_t>>(RankTextMessage(table));
}

void RankCache::Place(const std::vector<Score>& scores) {
  ScoreTable tables[kModes];
  for (int mode = 0; mode < kModes; ++mode) tables[mode] = Table(mode);
  PlaceScores(scores, tables);
  for (int mode = 0; mode < kModes; ++mode) Set(mode, tables[mode]);
}

size_t Exchange::Room() const {
  if (phase_ == Phase::Request) return kRankRequestBytes - held_;
  if (phase_ != Phase::Answer) return 0;
  if (held_ == 0) return kScoreSubmissionBytes;
  const size_t whole = held_bytes_[0] == kRankDeclineType ? kRankDeclineBytes : kScoreSubmissionBytes;
  return whole - held_;
}

size_t Exchange::Take(const uint8_t* data, size_t size) {
  size_t used = 0;
  while (used < size && (phase_ == Phase::Request || phase_ == Phase::Answer)) {
    // The first byte of an answer tells its length: take it alone.
    const size_t room = phase_ == Phase::Answer && held_ == 0 ? 1 : Room();
    const size_t n = std::min(room, size - used);
    std::memcpy(held_bytes_ + held_, data + used, n);
    held_ += n;
    used += n;
    if (phase_ == Phase::Request) {
      if (held_ < kRankRequestBytes) continue;
      RankRequest request;
      if (!DecodeRankRequest(held_bytes_, request) || request.mode >= kModes) {
        Finish(Phase::Closed, Outcome::BadRequest);
        break;
      }
      mode_ = request.mode;
      threshold_ = cache_.Threshold(mode_);
      EncodeThresholdReply(threshold_, reply_);
      held_ = 0;
      phase_ = Phase::Reply;
    } else {
      const uint8_t type = held_bytes_[0];
      if (type != kRankDeclineType && type != kScoreSubmissionType) {
        Finish(Phase::Closed, Outcome::BadAnswer);
        break;
      }
      if (Room() == 0) AnswerComplete();
    }
  }
  return used;
}

void Exchange::AnswerComplete() {
  held_ = 0;
  if (held_bytes_[0] == kRankDeclineType) {
    if (IsRankDecline(held_bytes_)) {
      Finish(Phase::Text, Outcome::Declined);
    } else {
      Finish(Phase::Closed, Outcome::BadAnswer);
    }
    return;
  }
  ScoreSubmission submission;
  DecodeScoreSubmission(held_bytes_, submission);
  verdict_ = JudgeSubmission(submission, threshold_);
  if (verdict_ == Verdict::Accepted) {
    pending_ = ScoreFromSubmission(mode_, submission);
    phase_ = Phase::Storing;
  } else {
    // A refused submission still sees the ranking, as a decline would.
    Finish(Phase::Text, Outcome::Refused);
  }
}

void Exchange::Sent() {
  if (phase_ == Phase::Reply) {
    phase_ = Phase::Answer;
  } else if (phase_ == Phase::Text) {
    phase_ = Phase::Closed;
  }
}

void Exchange::Stored(bool committed) {
  if (phase_ != Phase::Storing) return;
  // A listing means the result is kept: without a commit the client gets none.
  if (committed) {
    Finish(Phase::Text, Outcome::Stored);
  } else {
    Finish(Phase::Closed, Outcome::StoreFailed);
  }
}

void Exchange::Finish(Phase next, Outcome outcome) {
  phase_ = next;
  outcome_ = outcome;
}

void PlaceScores(const std::vector<Score>& scores, ScoreTable tables[kModes]) {
  for (const Score& s : scores) {
    if (s.mode < 0 || s.mode >= kModes) continue;
    const int32_t place = FindRankSlot(tables[s.mode], s.score);
    if (place < kScoreRows) {
      InsertScoreRow(tables[s.mode], place, s.name.c_str(), s.stage, s.score, s.bestCombo, s.playSeconds);
    }
  }
}

bool CommitScores(RankStore& store, const std::vector<Score>& scores, RankCache& cache) {
  if (!store.Store(scores)) return false;
  ScoreTable tables[kModes];
  if (store.LoadTop(tables)) {
    for (int mode = 0; mode < kModes; ++mode) cache.Set(mode, tables[mode]);
  } else {
    cache.Place(scores);
  }
  return true;
}

PlayedExchange PlayExchange(const uint8_t* data, size_t size, size_t chunk, RankStore& store, RankCache& cache) {
  PlayedExchange played;
  Exchange exchange(cache);
  size_t at = 0;
  chunk = std::max<size_t>(chunk, 1);
  for (bool going = true; going;) {
    switch (exchange.phase()) {
      case Exchange::Phase::Request:
      case Exchange::Phase::Answer: {
        if (at >= size) {
          going = false;  // the client sent nothing more
          break;
        }
        const size_t n = std::min({chunk, size - at, exchange.Room()});
        exchange.Take(data + at, n);
        at += n;
        break;
      }
      case Exchange::Phase::Reply:
        played.sent.insert(played.sent.end(), exchange.Reply(), exchange.Reply() + kThresholdReplyBytes);
        exchange.Sent();
        break;
      case Exchange::Phase::Storing: exchange.Stored(CommitScores(store, {exchange.Pending()}, cache)); break;
      case Exchange::Phase::Text: {
        const auto text = cache.Text(exchange.mode());
        played.sent.insert(played.sent.end(), text->begin(), text->end());
        exchange.Sent();
        break;
      }
      case Exchange::Phase::Closed: going = false; break;
    }
  }
  played.outcome = exchange.outcome();
  played.verdict = exchange.verdict();
  played.thresholdSent = exchange.thresholdSent();
  return played;
}

}  // namespace rankd
