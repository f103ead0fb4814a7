// The server's side of one ranking exchange.
#include "server/rankd/exchange.h"

#include <algorithm>
#include <cstring>

namespace rankd {

const char* OutcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::Open: return "unfinished";
    case Outcome::Declined: return "declined";
    case Outcome::Stored: return "stored";
    case Outcome::Refused: return "refused";
    case Outcome::Banned: return "banned";
    case Outcome::BadRequest: return "bad request";
    case Outcome::BadAnswer: return "bad answer";
    case Outcome::StoreFailed: return "store failed";
  }
  return "?";
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

void Exchange::Stored(bool committed, bool banned) {
  if (phase_ != Phase::Storing) return;
  // A listing means the result is kept: without a commit the client gets none. A banned
  // player is not told (the listing, as to anyone).
  if (committed) {
    Finish(Phase::Text, banned ? Outcome::Banned : Outcome::Stored);
  } else {
    Finish(Phase::Closed, Outcome::StoreFailed);
  }
}

void Exchange::Finish(Phase next, Outcome outcome) {
  phase_ = next;
  outcome_ = outcome;
}

}  // namespace rankd
