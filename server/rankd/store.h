#pragma once
// Where the server keeps the rankings: one small interface, three engines. SQLite (one
// file) is the default; PostgreSQL lets several servers share one database; the memory
// engine serves the fuzzer and the tests of the exchange. A store belongs to one thread.
//
// Every accepted score is kept as a row of its own; the ranking of a mode is its rows by
// score downwards, an earlier row above a later one with the same score.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "server/rankd/score.h"
#include "wire/rank_text.h"

namespace rankd {

// A kept score as the web page lists it.
struct ListedScore {
  Score score;
  std::string storedAt;   // UTC, RFC 3339: 2026-12-08T07:21:13Z
  bool verified = false;  // its replay played again to exactly this score
  bool suspect = false;   // its replay did not, or (when only verified scores rank) none came
  // Only verified scores rank, but this one was kept before that rule began: it ranks unchecked.
  bool beforeChecks = false;
  long long id = 0;     // the row's id in the table
  bool replay = false;  // its replay is kept (ListedReplay serves it)
};

// A listed row's kept replay: the row, its place in its difficulty's listing (from 1), and the
// replay's bytes as they were uploaded.
struct KeptReplay {
  Score score;
  long long id = 0;
  int place = 0;
  std::string bytes;
};

// A kept row's replay mark, as the database keeps it. None: no replay came yet (and a replay
// that cannot be read leaves it so). Unchecked: a replay came but was not played (the server
// was busy or stopping); it never becomes suspect for want of one.
enum class ReplayMark { None = 0, Verified = 1, Suspect = 2, Unchecked = 3 };

// How long after its score a replay may still mark it: the upload follows the exchange at once.
inline constexpr int kReplayMatchSeconds = 300;

// A replay's claim to a kept row: the row's figures (its mode, or -1 for any), the address the
// replay came from (AddressKey's form) and the digest of the game it holds (empty when unread).
struct ReplayClaim {
  Score score;
  std::string from;
  std::string digest;
  ReplayMark mark = ReplayMark::None;
  // The replay's bytes, kept with the row when the mark written is Verified and the row is
  // listed (dropped again once it leaves the listing).
  std::span<const uint8_t> replay;
};

// A store that keeps scores, or one that only reads them beside the keeper (it does not
// listen for other servers' news).
enum class StoreUse { Keep, Read };

// Every call that can fail returns true on success and otherwise says why in `error`.
class RankStore {
 public:
  virtual ~RankStore() = default;
  virtual const char* Engine() const = 0;

  // Keeps the scores in one transaction, in this order; true once they are committed. A
  // banned name's score is not kept (and is no failure).
  virtual bool Store(const std::vector<Score>& scores, std::string& error) = 0;
  // Store, each score with the address it came from (`from[i]` for `scores[i]`, AddressKey's
  // form), which a replay's claim must match; `banned` then tells, in the scores' order,
  // which were not kept for their name's ban. An engine that keeps no addresses ignores them,
  // one without bans (the memory engine) bans none.
  virtual bool StoreFrom(const std::vector<Score>& scores, const std::vector<std::string>& from,
                         std::vector<bool>& banned, std::string& error);
  // The best rows of every mode in ranking order; the rest of each table is left empty.
  virtual bool LoadTop(ScoreTable tables[kModes], std::string& error) = 0;
  // Every kept score, mode by mode, each mode in ranking order.
  virtual bool LoadAll(std::vector<Score>& scores, std::string& error) = 0;
  // The best rows of one mode in ranking order with when each was kept, for the web page.
  // An engine that keeps no times (the memory engine) says so and returns false.
  virtual bool LoadListing(int mode, std::vector<ListedScore>& rows, std::string& error);

  // Writes a claim's mark on the newest row kept from the claim's address within
  // kReplayMatchSeconds with its name and figures whose mark is None (or Unchecked). A
  // Verified claim whose game verified another row already is written as Suspect: one game
  // proves one score. `written` is the mark written, None when no row matched. An engine that
  // keeps no marks (the memory engine) returns false.
  virtual bool MarkReplay(const ReplayClaim& claim, ReplayMark& written, std::string& error);
  // The replay kept for row `id` while that row is listed; `found` false when there is none
  // (no such row, not listed, no replay kept). At most one replay is read.
  bool ListedReplay(long long id, KeptReplay& kept, bool& found, std::string& error);
  // The same for the row at `place` (from 1) of a difficulty's listing.
  bool PlacedReplay(int mode, int place, KeptReplay& kept, bool& found, std::string& error);
  // Marks suspect every row without a mark kept more than `seconds` ago under the rule that
  // only verified rows rank (rows kept before it began are left alone); `marked` counts them.
  virtual bool ExpireUnmarked(int seconds, int& marked, std::string& error);
  // From now on rank (LoadTop, LoadListing) only rows whose replay verified them, among the
  // rows kept since the rule began; the older ones rank as they did.
  void RankOnlyVerified(bool only) { onlyVerified_ = only; }
  // Records in the database that the rule began (only the first time: the rows kept until now
  // stay ranked unchecked) and whether it holds, which rankctl reads.
  virtual bool BeginChecks(bool only, std::string& error);

  // Whether the database answers now: the store's thread asks when nothing else did for a
  // while, so a database that went silent is noticed without a client waiting on it.
  virtual bool Check(std::string&) { return true; }
  // False when the last call found the database unreachable (the connection is down, to be
  // taken up again); true while it answers, even if it refused a statement.
  virtual bool Reachable() const { return true; }
  // From any thread: every wait on the database under way or to come ends at once with a
  // failure, so that a stop never waits on a database that does not answer. An engine
  // whose waits are short by themselves (SQLite's, at most its busy time) ignores it.
  virtual void Interrupt() {}

  // A descriptor that turns readable when another server on the same database may have
  // kept scores (-1 when no other server can), and the call that reads its news: true
  // when another server did keep something.
  virtual int ChangeDescriptor() { return -1; }
  virtual bool TakeChanges() { return false; }

 protected:
  // A row's kept replay and its mode, whether listed or not; `found` false when it has none.
  // An engine that keeps no replays (the memory engine) says so and returns false.
  virtual bool ReadReplay(long long id, int& mode, std::string& bytes, bool& found, std::string& error);

  bool onlyVerified_ = false;
};

std::unique_ptr<RankStore> OpenMemoryStore();
std::unique_ptr<RankStore> OpenSqliteStore(const std::string& path, std::string& error);
std::unique_ptr<RankStore> OpenPostgresStore(const std::string& uri, std::string& error, StoreUse use = StoreUse::Keep);
// A postgresql:// or postgres:// URI opens PostgreSQL, anything else a SQLite file.
bool IsPostgresUri(const std::string& where);
std::unique_ptr<RankStore> OpenRankStore(const std::string& where, std::string& error, StoreUse use = StoreUse::Keep);

}  // namespace rankd
