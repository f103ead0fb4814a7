// Bringing a database's tables up to date on either engine: the catalog is read first, and
// only what is missing is made, in one transaction.
#include "server/rankd/schema.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <span>

#include "server/rankd/score.h"

namespace rankd {
namespace {

// Both catalogs as rows of (kind, name, column): a table, a table's column, or an index.
constexpr const char* kLookSqlite =
    "SELECT type, name, '' FROM sqlite_master WHERE type IN ('table', 'index')"
    " UNION ALL SELECT 'column', m.name, p.name FROM sqlite_master AS m, pragma_table_info(m.name) AS p"
    " WHERE m.type = 'table'";
constexpr const char* kLookPostgres =
    "SELECT 'table', table_name, '' FROM information_schema.tables WHERE table_schema = current_schema()"
    " UNION ALL SELECT 'column', table_name, column_name FROM information_schema.columns"
    " WHERE table_schema = current_schema()"
    " UNION ALL SELECT 'index', indexname, '' FROM pg_indexes WHERE schemaname = current_schema()";
// Programs opening one database together change it one at a time (until the transaction ends).
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7294600120)";
// Who holds a lock on the scores table, for the message of a change that waited too long.
constexpr const char* kLockHolders =
    "SELECT string_agg(DISTINCT a.pid || ' (' || coalesce(nullif(a.application_name, ''), 'no name') || ', ' ||"
    " coalesce(a.state, '?') || ')', ', ') FROM pg_locks AS l JOIN pg_stat_activity AS a ON a.pid = l.pid"
    " WHERE l.relation = to_regclass('scores') AND l.granted AND l.pid <> pg_backend_pid()";

void See(SchemaSeen& seen, const std::string& kind, const std::string& name, const std::string& column) {
  if (kind == "table") seen.tables.insert(name);
  if (kind == "index") seen.indexes.insert(name);
  if (kind == "column") seen.columns.emplace(name, column);
}

bool LookSqlite(sqlite3* db, SchemaSeen& seen, std::string& error) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, kLookSqlite, -1, &s, nullptr) != SQLITE_OK) {
    error = std::string("cannot read the tables' catalog: ") + sqlite3_errmsg(db);
    return false;
  }
  int rc;
  auto text = [&](int column) {
    const unsigned char* t = sqlite3_column_text(s, column);
    return std::string(t != nullptr ? reinterpret_cast<const char*>(t) : "");
  };
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) See(seen, text(0), text(1), text(2));
  sqlite3_finalize(s);
  if (rc == SQLITE_DONE) return true;
  error = std::string("cannot read the tables' catalog: ") + sqlite3_errmsg(db);
  return false;
}

// The connection's last error, trimmed.
std::string PostgresReason(PGconn* conn) {
  std::string detail = PQerrorMessage(conn);
  while (!detail.empty() && (detail.back() == '\n' || detail.back() == ' ')) detail.pop_back();
  return detail;
}

bool LookPostgres(PGconn* conn, SchemaSeen& seen, std::string& error) {
  PGresult* r = PQexec(conn, kLookPostgres);
  const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK;
  for (int i = 0; ok && i < PQntuples(r); ++i) See(seen, PQgetvalue(r, i, 0), PQgetvalue(r, i, 1), PQgetvalue(r, i, 2));
  PQclear(r);
  if (!ok) error = "cannot read the tables' catalog: " + PostgresReason(conn);
  return ok;
}

// Runs one statement; on failure `error` gets `what` and the server's reason, and
// `sqlState` its code.
bool ExecPostgres(PGconn* conn, const std::string& sql, std::string& error, std::string* sqlState = nullptr) {
  PGresult* r = PQexec(conn, sql.c_str());
  const ExecStatusType status = PQresultStatus(r);
  const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
  if (!ok) {
    error = sql.substr(0, sql.find(' ', sql.find(' ') + 1)) + ": " + PostgresReason(conn);
    const char* code = PQresultErrorField(r, PG_DIAG_SQLSTATE);
    if (sqlState != nullptr && code != nullptr) *sqlState = code;
  }
  PQclear(r);
  return ok;
}

// Says which sessions hold the scores table, after a change gave up waiting for them.
std::string LockHolders(PGconn* conn) {
  PGresult* r = PQexec(conn, kLockHolders);
  std::string holders;
  if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1) holders = PQgetvalue(r, 0, 0);
  PQclear(r);
  return holders.empty() ? "another session" : "session " + holders;
}

// The changes, inside the transaction that holds the schema lock; the catalog is looked at
// again there, as another program may have made them meanwhile.
bool ChangePostgres(PGconn* conn, std::string& error, std::string& sqlState) {
  SchemaSeen seen;
  // The wait for a lock is bounded; the change itself (an index over many rows) may take
  // longer than an ordinary statement is given.
  if (!ExecPostgres(conn, std::string("SET LOCAL lock_timeout = '") + kSchemaLockWait + "'", error) ||
      !ExecPostgres(conn, "SET LOCAL statement_timeout = 0", error) ||
      !ExecPostgres(conn, kSchemaLock, error, &sqlState) || !LookPostgres(conn, seen, error)) {
    return false;
  }
  for (const std::string& sql : SchemaChanges(Dialect::Postgres, seen)) {
    if (!ExecPostgres(conn, sql, error, &sqlState)) return false;
  }
  return ExecPostgres(conn, "COMMIT", error, &sqlState);
}

}  // namespace

std::vector<std::string> SchemaChanges(Dialect dialect, const SchemaSeen& seen) {
  const bool pg = dialect == Dialect::Postgres;
  const std::string ifNew = pg ? "IF NOT EXISTS " : "";
  std::vector<std::string> sql;
  for (const SchemaTable& t : kTables) {
    if (!seen.tables.contains(t.name)) {
      sql.push_back("CREATE TABLE " + ifNew + t.name + " (" + (pg ? t.postgres : t.sqlite) + ")");
    }
  }
  for (const SchemaColumn& c : kAddedColumns) {
    if (!seen.columns.contains({c.table, c.name})) {
      sql.push_back(std::string("ALTER TABLE ") + c.table + " ADD COLUMN " + ifNew + c.name + " " +
                    (pg ? c.postgres : c.sqlite));
    }
  }
  for (const SchemaIndex& i : kIndexes) {
    if (!seen.indexes.contains(i.name)) {
      sql.push_back(std::string(i.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + ifNew + i.name + " ON " +
                    i.definition);
    }
  }
  return sql;
}

std::string SchemaMissing(const SchemaSeen& seen, bool indexes) {
  std::string missing;
  auto add = [&](const std::string& what) { missing += (missing.empty() ? "" : ", ") + what; };
  for (const SchemaTable& t : kTables) {
    if (!seen.tables.contains(t.name)) add(std::string("table ") + t.name);
  }
  for (const SchemaColumn& c : kAddedColumns) {
    if (seen.tables.contains(c.table) && !seen.columns.contains({c.table, c.name})) {
      add(std::string("column ") + c.table + "." + c.name);
    }
  }
  for (const SchemaIndex& i : std::span<const SchemaIndex>(kIndexes).first(indexes ? std::size(kIndexes) : 0)) {
    if (!seen.indexes.contains(i.name)) add(std::string("index ") + i.name);
  }
  return missing;
}

bool MigrateSqlite(sqlite3* db, std::string& error) {
  SchemaSeen seen;
  if (!LookSqlite(db, seen, error)) return false;
  if (SchemaChanges(Dialect::Sqlite, seen).empty()) return true;
  auto exec = [&](const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    error = "cannot bring the tables up to date: " + sql + ": " + sqlite3_errmsg(db);
    return false;
  };
  if (!exec("BEGIN IMMEDIATE")) return false;
  // Looked at again under the write lock: another program may have changed it meanwhile.
  seen = {};
  bool ok = LookSqlite(db, seen, error);
  for (const std::string& sql : ok ? SchemaChanges(Dialect::Sqlite, seen) : std::vector<std::string>{}) {
    if (!(ok = exec(sql))) break;
  }
  if (ok && exec("COMMIT")) return true;
  // The reason is the failed statement's; the rollback's own outcome adds nothing.
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  return false;
}

bool MigratePostgres(pg_conn* conn, std::string& error) {
  SchemaSeen seen;
  if (!LookPostgres(conn, seen, error)) return false;
  if (SchemaChanges(Dialect::Postgres, seen).empty()) return true;
  std::string sqlState;
  if (!ExecPostgres(conn, "BEGIN", error)) return false;
  if (ChangePostgres(conn, error, sqlState)) return true;
  PQclear(PQexec(conn, "ROLLBACK"));
  // lock_not_available: lock_timeout ran out.
  if (sqlState == "55P03") {
    error = "cannot bring the tables up to date (" + SchemaMissing(seen, true) + "): " + LockHolders(conn) +
            " holds a lock on the table scores (a pg_dump under way?) and did not let go within " + kSchemaLockWait +
            "; start again once it has ended";
  } else {
    error = "cannot bring the tables up to date: " + error;
  }
  return false;
}

bool SchemaReadableSqlite(sqlite3* db, std::string& error) {
  SchemaSeen seen;
  if (!LookSqlite(db, seen, error)) return false;
  // An index it lacks changes what reading costs, not what it reads.
  const std::string missing = SchemaMissing(seen, false);
  if (missing.empty()) return true;
  error = "the database is older than this program (it lacks " + missing +
          "): start rankd on it once, or use a command that changes it, to bring it up to date";
  return false;
}

bool SchemaReadablePostgres(pg_conn* conn, std::string& error) {
  SchemaSeen seen;
  if (!LookPostgres(conn, seen, error)) return false;
  // An index it lacks changes what reading costs, not what it reads.
  const std::string missing = SchemaMissing(seen, false);
  if (missing.empty()) return true;
  error = "the database is older than this program (it lacks " + missing +
          "): start rankd on it once, or use a command that changes it, to bring it up to date";
  return false;
}

}  // namespace rankd

namespace rankd {

std::string KeptReplaysPrune(Dialect dialect) {
  const bool pg = dialect == Dialect::Postgres;
  const std::string setting = "coalesce((SELECT value FROM settings WHERE name = '";
  const std::string listed = std::string(pg ? "NOT hidden" : "hidden = 0") +
                             " AND name NOT IN (SELECT name FROM bans) AND (" + setting + kOnlyVerified +
                             "'), 0) = 0 OR checked = 1 OR id <= " + setting + kChecksFrom + "'), -1))";
  std::string places;
  for (int mode = 0; mode < kModes; ++mode) {
    places += std::string(mode > 0 ? " UNION ALL " : "") +
              "SELECT id FROM (SELECT id FROM scores WHERE mode = " + std::to_string(mode) + " AND " + listed +
              " ORDER BY score DESC, id LIMIT " + std::to_string(kScoreRows) + ") AS m" + std::to_string(mode);
  }
  return "UPDATE scores SET replay = NULL WHERE replay IS NOT NULL AND (checked <> 1 OR id NOT IN (" + places + "))";
}

}  // namespace rankd
