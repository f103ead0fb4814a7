#pragma once
// What rankctl does to a ranking database, on either engine. Every change is one
// transaction that also writes its line into the audit table and tells running servers.
#include <memory>
#include <string>
#include <vector>

#include "server/rankd/exchange.h"

namespace rankctl {

// A kept row as the administrator sees it, hidden and banned ones too.
struct AdminRow {
  long long id = 0;
  rankd::Score score;
  std::string storedAt;  // UTC, 2026-12-08T07:21:13Z
  bool hidden = false;
  bool banned = false;
};

enum class Done { Ok, NotFound, Failed };

class AdminDb {
 public:
  virtual ~AdminDb() = default;
  // The best `count` rows of a mode in ranking order, listed or not.
  virtual bool List(int mode, int count, std::vector<AdminRow>& rows) = 0;
  // Hides or restores one row; `what` says which row it was.
  virtual Done SetHidden(long long id, bool hidden, const std::string& action, std::string& what) = 0;
  // Bans a name (code page 949), or lifts its ban: NotFound when it was not banned.
  virtual Done SetBanned(const std::string& name, bool banned, const std::string& action) = 0;
  // A consistent copy of the database into `file`; NotFound when the engine has none.
  virtual Done Backup(const std::string& file) = 0;

  const std::string& Error() const { return error_; }

 protected:
  std::string error_;
};

std::unique_ptr<AdminDb> OpenSqliteAdmin(const std::string& path, std::string& error);
std::unique_ptr<AdminDb> OpenPostgresAdmin(const std::string& uri, std::string& error);

// rankctl's command line and its exit status.
int RankctlMain(int argc, const char* const* argv);

}  // namespace rankctl
