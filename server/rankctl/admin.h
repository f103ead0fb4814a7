#pragma once
// What rankctl does to a ranking database, on either engine. Every change is one
// transaction that also writes its line into the audit table and tells running servers.
#include <memory>
#include <string>
#include <vector>

#include "server/rankd/score.h"
#include "server/rankd/store.h"

namespace rankctl {

// A kept row as the administrator sees it, hidden and banned ones too.
struct AdminRow {
  long long id = 0;
  rankd::Score score;
  std::string storedAt;  // UTC, 2026-12-08T07:21:13Z
  bool hidden = false;
  bool banned = false;
  rankd::ReplayMark mark = rankd::ReplayMark::None;
  bool sinceChecks = true;  // kept since only verified scores ranked (or that never began)
};

// Whether a row has a place in the served listing: the server's rule (rankd's LoadTop).
bool Ranked(const AdminRow& row, bool onlyVerified);

enum class Done { Ok, NotFound, Failed };

class AdminDb {
 public:
  virtual ~AdminDb() = default;
  // Opens the database. For a command that changes it (`change`), brings its tables up to
  // date when they need it, as rankd does; otherwise changes nothing, and fails with what is
  // missing when the tables are too old to read.
  virtual bool Open(const std::string& where, bool change) = 0;
  // The best `count` rows of a mode in ranking order, listed or not.
  virtual bool List(int mode, int count, std::vector<AdminRow>& rows) = 0;
  // Whether the servers rank only verified scores, as the last one started recorded it.
  virtual bool OnlyVerified(bool& only) = 0;
  // Hides or restores one row; `what` says which row it was.
  Done SetHidden(long long id, bool hidden, const std::string& action, std::string& what);
  // Deletes one row (and its kept replay) for good; `what` says which row it was.
  Done Remove(long long id, const std::string& action, std::string& what);
  // Bans a name (code page 949), or lifts its ban: NotFound when it was not banned.
  Done SetBanned(const std::string& name, bool banned, const std::string& action);
  // A consistent copy of the database into `file`; NotFound when the engine has none.
  virtual Done Backup(const std::string& file) = 0;

  const std::string& Error() const { return error_; }

 protected:
  // An engine's steps of a change; SetHidden and SetBanned put them in one transaction.
  virtual bool Begin() = 0;
  // Sets the row's hidden mark; `row` gets its mode, name and score.
  virtual Done UpdateHidden(long long id, bool hidden, rankd::Score& row) = 0;
  // Deletes the row; `row` gets its mode, name and score.
  virtual Done DeleteRow(long long id, rankd::Score& row) = 0;
  // Drops the kept replays of rows no longer listed (rankd::KeptReplaysPrune).
  virtual bool PruneReplays() = 0;
  // Adds the name to the bans (no fault when it is there), or takes it out.
  virtual Done UpdateBans(const std::string& name, bool banned) = 0;
  // Writes the audit line, tells running servers, and commits.
  virtual bool Commit(const std::string& line) = 0;
  // Undoes the open transaction; what failed before stays in Error().
  virtual void Rollback() = 0;

  std::string error_;

 private:
  Done Finish(Done done, const std::string& line);
};

// The administration of a SQLite file or a postgresql:// URI, for a command that changes it
// or one that only reads; null (and why) when it cannot be opened.
std::unique_ptr<AdminDb> OpenAdminDb(const std::string& where, bool change, std::string& error);
std::unique_ptr<AdminDb> NewSqliteAdmin();
std::unique_ptr<AdminDb> NewPostgresAdmin();

// rankctl's command line and its exit status.
int RankctlMain(int argc, const char* const* argv);

}  // namespace rankctl
