#pragma once
// One ranking exchange as the server plays it, without sockets: the bytes a client sent go
// in, the bytes to send and the score to keep come out. The network code and the fuzzer
// drive the same machine.
#include <cstddef>
#include <cstdint>

#include "server/rankd/rank_cache.h"
#include "server/rankd/score.h"
#include "wire/protocol.h"

namespace rankd {

// How an exchange ended, as far as the messages go.
enum class Outcome {
  Open,         // not ended yet
  Declined,     // a decline; the listing was sent
  Stored,       // a submission kept; the listing, which holds it, was sent
  Refused,      // a submission the rules refuse; the listing was sent, nothing kept
  Banned,       // a submission of a banned name: the listing was sent, as to any, nothing kept
  BadRequest,   // not a request, or a mode outside 0..2: closed without a reply
  BadAnswer,    // neither a decline nor a submission: closed without the listing
  StoreFailed,  // the database did not commit: closed without the listing
};
const char* OutcomeText(Outcome outcome);

class Exchange {
 public:
  enum class Phase {
    Request,  // reading the 2-byte request
    Reply,    // the threshold reply is to be sent
    Answer,   // reading the decline or the submission
    Storing,  // the accepted score is to be committed
    Text,     // the listing of the mode is to be sent
    Closed,
  };
  explicit Exchange(const RankCache& cache) : cache_(cache) {}

  Phase phase() const { return phase_; }
  Outcome outcome() const { return outcome_; }
  Verdict verdict() const { return verdict_; }
  int mode() const { return mode_; }  // -1 until a valid request arrived
  uint32_t thresholdSent() const { return threshold_; }

  // Request and Answer: the most bytes worth reading now (those the message still lacks,
  // or the longest answer while its type is unknown), and whether a message has begun.
  size_t Room() const;
  bool MessageBegun() const { return held_ > 0; }
  // Takes what the client sent, at most Room() bytes are used; returns how many were.
  size_t Take(const uint8_t* data, size_t size);

  // Reply: the 56 bytes to send. Reply and Text: call Sent() once they are sent.
  const uint8_t* Reply() const { return reply_; }
  void Sent();

  // Storing: the score to keep, then whether it was committed, and whether the store left
  // it out for its name's ban.
  const Score& Pending() const { return pending_; }
  void Stored(bool committed, bool banned = false);

 private:
  void Finish(Phase next, Outcome outcome);
  void AnswerComplete();

  const RankCache& cache_;
  Phase phase_ = Phase::Request;
  Outcome outcome_ = Outcome::Open;
  Verdict verdict_ = Verdict::Accepted;
  int mode_ = -1;
  uint32_t threshold_ = 0;
  uint8_t held_bytes_[kScoreSubmissionBytes] = {};
  size_t held_ = 0;
  uint8_t reply_[kThresholdReplyBytes] = {};
  Score pending_;
};

}  // namespace rankd
