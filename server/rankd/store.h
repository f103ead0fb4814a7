#pragma once
// Where the server keeps the rankings: one small interface, three engines. SQLite (one
// file) is the default; PostgreSQL lets several servers share one database; the memory
// engine serves the fuzzer and the tests of the exchange. A store belongs to one thread.
//
// Every accepted score is kept as a row of its own; the ranking of a mode is its rows by
// score downwards, an earlier row above a later one with the same score.
#include <memory>
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
};

// What the replay of a kept score showed.
enum class ReplayMark { Verified = 1, Suspect = 2 };

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
  // The same, and `banned` then tells, in the scores' order, which were not kept for their
  // name's ban. An engine without bans (the memory engine) bans none.
  virtual bool Store(const std::vector<Score>& scores, std::vector<bool>& banned, std::string& error);
  // The best rows of every mode in ranking order; the rest of each table is left empty.
  virtual bool LoadTop(ScoreTable tables[kModes], std::string& error) = 0;
  // Every kept score, mode by mode, each mode in ranking order.
  virtual bool LoadAll(std::vector<Score>& scores, std::string& error) = 0;
  // The best rows of one mode in ranking order with when each was kept, for the web page.
  // An engine that keeps no times (the memory engine) says so and returns false.
  virtual bool LoadListing(int mode, std::vector<ListedScore>& rows, std::string& error);

  // Marks the newest unmarked row of `score` (its mode, or any mode for -1, its name and
  // figures); `found` is false when there is none. An engine that keeps no marks (the memory
  // engine) returns false.
  virtual bool MarkReplay(const Score& score, ReplayMark mark, bool& found, std::string& error);
  // Marks suspect every unmarked row kept more than `seconds` ago; `marked` counts them.
  virtual bool ExpireUnmarked(int seconds, int& marked, std::string& error);
  // From now on rank (LoadTop, LoadListing) only rows whose replay verified them.
  void RankOnlyVerified(bool only) { onlyVerified_ = only; }

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
  bool onlyVerified_ = false;
};

std::unique_ptr<RankStore> OpenMemoryStore();
std::unique_ptr<RankStore> OpenSqliteStore(const std::string& path, std::string& error);
std::unique_ptr<RankStore> OpenPostgresStore(const std::string& uri, std::string& error, StoreUse use = StoreUse::Keep);
// A postgresql:// or postgres:// URI opens PostgreSQL, anything else a SQLite file.
bool IsPostgresUri(const std::string& where);
std::unique_ptr<RankStore> OpenRankStore(const std::string& where, std::string& error, StoreUse use = StoreUse::Keep);

}  // namespace rankd
