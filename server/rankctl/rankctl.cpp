// rankctl's command line: one action on the database a rankd serves, logged on standard
// error and in the database's audit table.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "server/rankctl/admin.h"
#include "server/rankctl/describe.h"
#include "server/rankd/store.h"

namespace rankctl {
namespace {

// The exit statuses, as the manual page gives them.
constexpr int kDone = 0;
constexpr int kNotFound = 1;
constexpr int kBadUsage = 2;
constexpr int kDatabaseError = 3;
constexpr int kNoBackupHere = 4;  // PostgreSQL: pg_dump makes the copy

const char kUsage[] =
    "Usage: rankctl --db WHERE ACTION\n"
    "WHERE is rankd's SQLite file or postgresql:// URI. ACTION is one of:\n"
    "  list MODE [N]   the best N rows (20) of MODE (easy, normal, hardcore), hidden ones too:\n"
    "                  ID place name score stage combo seconds time flags, tab-separated\n"
    "  hide ID         takes a row out of the rankings\n"
    "  restore ID      puts a hidden row back\n"
    "  ban NAME        refuses the name's new scores and hides its rows\n"
    "  unban NAME      lifts the ban\n"
    "  backup FILE     a consistent copy of a SQLite database, while the server runs\n"
    "Exit status: 0 done, 1 no such ID or name, 2 bad usage, 3 database error,\n"
    "4 backup asked of PostgreSQL (use pg_dump).\n";

int Bad(const char* why) {
  std::fprintf(stderr, "rankctl: %s\nTry 'rankctl --help' for the usage.\n", why);
  return kBadUsage;
}

bool ParseCount(const char* text, long long low, long long high, long long& value) {
  char* end = nullptr;
  value = std::strtoll(text, &end, 10);
  return *text != 0 && *end == 0 && value >= low && value <= high;
}

int Report(Done done, AdminDb& db, const std::string& line, const std::string& notFound) {
  switch (done) {
    case Done::Ok: std::fprintf(stderr, "rankctl: %s\n", line.c_str()); return kDone;
    case Done::NotFound: std::fprintf(stderr, "rankctl: %s\n", notFound.c_str()); return kNotFound;
    case Done::Failed: break;
  }
  std::fprintf(stderr, "rankctl: %s\n", db.Error().c_str());
  return kDatabaseError;
}

}  // namespace

int RankctlMain(int argc, const char* const* argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return kDone;
  }
  if (args.size() < 3 || args[0] != "--db" || args[1].empty()) return Bad("give --db WHERE and an action");
  const std::string& where = args[1];
  const std::string& action = args[2];
  const size_t operands = args.size() - 3;
  const bool listing = action == "list" && (operands == 1 || operands == 2);
  if (!listing && operands != 1) return Bad(("wrong number of operands for '" + action + "'").c_str());
  const std::string& operand = args[3];

  // Everything is checked before the database is opened.
  long long number = 20;
  int mode = -1;
  std::string name;
  if (listing) {
    mode = ParseMode(operand);
    if (mode < 0) return Bad("MODE is easy, normal or hardcore");
    if (operands == 2 && !ParseCount(args[4].c_str(), 1, 1'000'000, number)) return Bad("N is a count from 1");
  } else if (action == "hide" || action == "restore") {
    if (!ParseCount(operand.c_str(), 1, INT64_MAX, number)) return Bad("ID is a row's number");
  } else if (action == "ban" || action == "unban") {
    if (!NameCp949(operand, name)) return Bad("NAME is 1 to 9 bytes in the game's Korean code page");
  } else if (action == "backup") {
    if (rankd::IsPostgresUri(where)) {
      std::fputs("rankctl: a PostgreSQL database is copied with pg_dump (see pg_dump(1)), not with rankctl\n", stderr);
      return kNoBackupHere;
    }
  } else {
    return Bad(("unknown action '" + action + "'").c_str());
  }

  std::string error;
  // Opening brings the tables up to date (idempotent), as rankd does.
  std::unique_ptr<AdminDb> db = OpenAdminDb(where, error);
  if (!db) {
    std::fprintf(stderr, "rankctl: cannot open the database: %s\n", error.c_str());
    return kDatabaseError;
  }
  if (listing) {
    std::vector<AdminRow> rows;
    if (!db->List(mode, static_cast<int>(number), rows)) return Report(Done::Failed, *db, "", "");
    int place = 0;
    for (const AdminRow& row : rows) {
      std::printf("%s\n", ListLine(row, row.hidden || row.banned ? 0 : ++place).c_str());
    }
    return kDone;
  }
  if (action == "hide" || action == "restore") {
    std::string line;
    const Done done = db->SetHidden(number, action == "hide", action + " " + operand, line);
    return Report(done, *db, line, "no row " + operand);
  }
  if (action == "ban" || action == "unban") {
    return Report(db->SetBanned(name, action == "ban", action + " " + operand), *db, action + " " + operand,
                  operand + " is not banned");
  }
  return Report(db->Backup(operand), *db, "backup of " + where + " written to " + operand, "");
}

}  // namespace rankctl
