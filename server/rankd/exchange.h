#pragma once
// One ranking exchange as the server plays it, without sockets: the bytes a client sent go
// in, the bytes to send and the score to keep come out. The network code and the fuzzer
// drive the same machine.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "wire/protocol.h"
#include "wire/rank_text.h"

namespace rankd {

class RankStore;

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

// The answers of every mode as they stand, so answering never waits on the database: the
// best rows, the score to beat and the header and listing bytes, ready to send.
class RankCache {
 public:
  RankCache();
  void Set(int mode, const ScoreTable& table);
  // Places scores just committed into the tables held, for when the store cannot be read
  // back after the commit.
  void Place(const std::vector<Score>& scores);
  const ScoreTable& Table(int mode) const { return modes_[mode].table; }
  // The 20th best score, 0 while fewer than 20 are kept (an empty row scores 0).
  uint32_t Threshold(int mode) const { return modes_[mode].table.row[kScoreRows - 1].score; }
  // Shared, so a send under way keeps its bytes when the table changes meanwhile.
  std::shared_ptr<const std::vector<uint8_t>> Text(int mode) const { return modes_[mode].text; }

 private:
  struct Mode {
    ScoreTable table;
    std::shared_ptr<const std::vector<uint8_t>> text;
  };
  Mode modes_[kModes];
};

// The header and listing bytes the server sends for a table.
std::vector<uint8_t> RankTextMessage(const ScoreTable& table);

// How an exchange ended, as far as the messages go.
enum class Outcome {
  Open,         // not ended yet
  Declined,     // a decline; the listing was sent
  Stored,       // a submission kept; the listing, which holds it, was sent
  Refused,      // a submission the rules refuse; the listing was sent, nothing kept
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

  // Storing: the score to keep, then whether it was committed.
  const Score& Pending() const { return pending_; }
  void Stored(bool committed);

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

// One whole exchange over bytes already received, as the server would play it, handed
// over `chunk` bytes at a time (at least 1); scores are kept in `store` and the cache
// refreshed from it. For the fuzzer and the tests.
struct PlayedExchange {
  Outcome outcome = Outcome::Open;
  Verdict verdict = Verdict::Accepted;
  uint32_t thresholdSent = 0;
  std::vector<uint8_t> sent;  // everything the server sent
};
PlayedExchange PlayExchange(const uint8_t* data, size_t size, size_t chunk, RankStore& store, RankCache& cache);

// Keeps the scores and refreshes the cache's tables from the store; false when the store
// did not commit. When the store commits but cannot be read back, the kept scores are
// placed into the cached tables directly.
bool CommitScores(RankStore& store, const std::vector<Score>& scores, RankCache& cache);
// Places scores into tables as the listing orders them: a later equal score ranks below.
void PlaceScores(const std::vector<Score>& scores, ScoreTable tables[kModes]);

}  // namespace rankd
