// rankctl's program: one action on the database a rankd serves, logged on standard error and
// in the database's audit table.
#include <cstdio>

#include "server/rankctl/admin.h"
#include "server/rankctl/describe.h"
#include "server/rankctl/options.h"
#include "server/rankd/store.h"

namespace rankctl {
namespace {

// The exit statuses, as the manual page gives them.
constexpr int kDone = 0;
constexpr int kNotFound = 1;
constexpr int kBadUsage = 2;
constexpr int kDatabaseError = 3;
constexpr int kNoBackupHere = 4;  // PostgreSQL: pg_dump makes the copy

int Report(Done done, AdminDb& db, const std::string& line, const std::string& notFound) {
  switch (done) {
    case Done::Ok: std::fprintf(stderr, "rankctl: %s\n", line.c_str()); return kDone;
    case Done::NotFound: std::fprintf(stderr, "rankctl: %s\n", notFound.c_str()); return kNotFound;
    case Done::Failed: break;
  }
  std::fprintf(stderr, "rankctl: %s\n", db.Error().c_str());
  return kDatabaseError;
}

// Prints the rows of `list`, each with its place in the served listing.
int List(AdminDb& db, const RankctlOptions& options) {
  std::vector<AdminRow> rows;
  bool onlyVerified = false;
  if (!db.List(options.mode, static_cast<int>(options.rows), rows) || !db.OnlyVerified(onlyVerified)) {
    return Report(Done::Failed, db, "", "");
  }
  int place = 0;
  for (const AdminRow& row : rows) {
    std::printf("%s\n", ListLine(row, Ranked(row, onlyVerified) ? ++place : 0, onlyVerified).c_str());
  }
  return kDone;
}

// Does the action the options name on an open database.
int Act(AdminDb& db, const RankctlOptions& options) {
  const std::string& action = options.action;
  const std::string& operand = options.operand;
  if (action == "list") return List(db, options);
  if (action == "hide" || action == "restore") {
    std::string line;
    const Done done = db.SetHidden(options.id, action == "hide", action + " " + operand, line);
    return Report(done, db, line, "no row " + operand);
  }
  if (action == "remove") {
    std::string line;
    return Report(db.Remove(options.id, action + " " + operand, line), db, line, "no row " + operand);
  }
  if (action == "ban" || action == "unban") {
    return Report(db.SetBanned(options.name, action == "ban", action + " " + operand), db, action + " " + operand,
                  operand + " is not banned");
  }
  return Report(db.Backup(operand), db, "backup of " + options.db + " written to " + operand, "");
}

}  // namespace

int RankctlMain(int argc, const char* const* argv) {
  RankctlOptions options;
  std::string error;
  switch (ParseRankctlOptions(argc, argv, options, error)) {
    case ParseResult::Help: std::fputs(kUsage, stdout); return kDone;
    case ParseResult::Bad:
      std::fprintf(stderr, "rankctl: %s\nTry 'rankctl --help' for the usage.\n", error.c_str());
      return kBadUsage;
    case ParseResult::Run: break;
  }
  if (options.action == "backup" && rankd::IsPostgresUri(options.db)) {
    std::fputs("rankctl: a PostgreSQL database is copied with pg_dump (see pg_dump(1)), not with rankctl\n", stderr);
    return kNoBackupHere;
  }
  // A change brings the tables up to date when they need it, as rankd does; a command that
  // only reads never changes them (a change would wait for the lock of a backup under way).
  const bool change = options.action != "list";
  std::unique_ptr<AdminDb> db = OpenAdminDb(options.db, change, error);
  if (!db) {
    std::fprintf(stderr, "rankctl: cannot open the database: %s\n", error.c_str());
    return kDatabaseError;
  }
  return Act(*db, options);
}

}  // namespace rankctl
