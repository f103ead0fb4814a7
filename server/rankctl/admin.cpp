// What both engines' administration shares: which engine a database is, and the shape
// of a change (begun, made, logged and committed, or undone as a whole).
#include "server/rankctl/admin.h"

#include "server/rankctl/describe.h"
#include "server/rankd/store.h"

namespace rankctl {

std::unique_ptr<AdminDb> OpenAdminDb(const std::string& where, bool change, std::string& error) {
  std::unique_ptr<AdminDb> db = rankd::IsPostgresUri(where) ? NewPostgresAdmin() : NewSqliteAdmin();
  if (!db->Open(where, change)) {
    error = db->Error();
    return nullptr;
  }
  return db;
}

Done AdminDb::SetHidden(long long id, bool hidden, const std::string& action, std::string& what) {
  if (!Begin()) return Done::Failed;
  rankd::Score row;
  const Done done = UpdateHidden(id, hidden, row);
  if (done == Done::Ok) what = action + " (" + DescribeRow(row) + ")";
  return Finish(done, what);
}

Done AdminDb::Remove(long long id, const std::string& action, std::string& what) {
  if (!Begin()) return Done::Failed;
  rankd::Score row;
  const Done done = DeleteRow(id, row);
  if (done == Done::Ok) what = action + " (" + DescribeRow(row) + ")";
  return Finish(done, what);
}

Done AdminDb::SetBanned(const std::string& name, bool banned, const std::string& action) {
  if (!Begin()) return Done::Failed;
  return Finish(UpdateBans(name, banned), action);
}

// Ends the change's transaction: kept with its audit line when done, undone otherwise. A row
// that left the listing (hidden, banned, removed) loses its kept replay in the same transaction.
Done AdminDb::Finish(Done done, const std::string& line) {
  if (done == Done::Ok) {
    if (PruneReplays() && Commit(line)) return Done::Ok;
    done = Done::Failed;
  }
  Rollback();
  return done;
}

bool Ranked(const AdminRow& row, bool onlyVerified) {
  if (row.hidden || row.banned) return false;
  return !onlyVerified || row.mark == rankd::ReplayMark::Verified || !row.sinceChecks;
}

}  // namespace rankctl
