#pragma once
// The database's tables as every program that opens it expects them: the scores (each
// with its hidden mark and its replay's mark), the banned names and the administrators'
// log and the servers' settings. Opening a database looks at its catalog first and changes it only when something is
// missing, so an up-to-date database is never locked for a change; an older one is brought
// up to date in one transaction.
//
// Adding a column to an existing table is one line of kAddedColumns (a table, one line of
// kTables; an index, one line of kIndexes); the queries that use it are the engines'.
#include <set>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct pg_conn;

namespace rankd {

// Named numbers the servers keep in the settings table: the last row id kept before only
// verified scores ranked (the first time it was asked for), and whether that rule holds.
inline constexpr const char* kChecksFrom = "checks_from";
inline constexpr const char* kOnlyVerified = "rank_only_verified";

// The channel servers on one PostgreSQL database tell each other of changes on.
inline constexpr const char* kChangeChannel = "rankd_scores";

// A table as first made: its name and its columns' definitions on each engine.
struct SchemaTable {
  const char* name;
  const char* sqlite;
  const char* postgres;
};
inline constexpr SchemaTable kTables[] = {
    {"scores",
     "id INTEGER PRIMARY KEY AUTOINCREMENT, mode INTEGER NOT NULL CHECK (mode BETWEEN 0 AND 2),"
     " name BLOB NOT NULL, stage INTEGER NOT NULL, score INTEGER NOT NULL CHECK (score BETWEEN 0 AND 4294967295),"
     " best_combo INTEGER NOT NULL, play_seconds INTEGER NOT NULL,"
     " stored_at TEXT NOT NULL DEFAULT CURRENT_TIMESTAMP",
     "id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, mode smallint NOT NULL CHECK (mode BETWEEN 0 AND 2),"
     " name bytea NOT NULL, stage integer NOT NULL, score bigint NOT NULL CHECK (score BETWEEN 0 AND 4294967295),"
     " best_combo integer NOT NULL, play_seconds bigint NOT NULL, stored_at timestamptz NOT NULL DEFAULT now()"},
    {"bans", "name BLOB PRIMARY KEY", "name bytea PRIMARY KEY"},
    {"audit", "id INTEGER PRIMARY KEY AUTOINCREMENT, at TEXT NOT NULL DEFAULT CURRENT_TIMESTAMP, action TEXT NOT NULL",
     "id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, at timestamptz NOT NULL DEFAULT now(), action text NOT NULL"},
    // Numbers the servers keep (kChecksFrom, kOnlyVerified).
    {"settings", "name TEXT PRIMARY KEY, value INTEGER NOT NULL", "name text PRIMARY KEY, value bigint NOT NULL"},
};

// A column added to a table after the table was first made: its type and default on each
// engine (a default, so that the rows already kept get a value; none where NULL is right for
// them).
struct SchemaColumn {
  const char* table;
  const char* name;
  const char* sqlite;
  const char* postgres;
};
inline constexpr SchemaColumn kAddedColumns[] = {
    {"scores", "hidden", "INTEGER NOT NULL DEFAULT 0", "boolean NOT NULL DEFAULT false"},
    // The replay's mark: 0 none yet, 1 verified, 2 suspect, 3 came but not checked (ReplayMark).
    {"scores", "checked", "INTEGER NOT NULL DEFAULT 0", "smallint NOT NULL DEFAULT 0"},
    // The address the score came from (AddressKey), kept until its replay marked it.
    {"scores", "origin", "TEXT", "text"},
    // The fingerprint of the game that verified the row (GameDigest); one game, one row.
    {"scores", "game", "BLOB", "bytea"},
    // The replay (as uploaded) of a verified row while the row is listed (KeptReplaysPrune).
    {"scores", "replay", "BLOB", "bytea"},
};

// An index, the same on both engines: made after the columns, so it may use added ones.
struct SchemaIndex {
  const char* name;
  const char* definition;  // what follows ON in CREATE INDEX
  bool unique = false;
};
inline constexpr SchemaIndex kIndexes[] = {
    {"scores_ranking", "scores (mode, score DESC, id)"},
    // The rows that still wait for their replay, which the expiry looks through every second:
    // few, however many rows are kept.
    {"scores_unchecked", "scores (stored_at) WHERE checked = 0"},
    // A replay finds its row among those kept from its address.
    {"scores_origin", "scores (origin, id) WHERE origin IS NOT NULL"},
    // One game verifies one row: two servers of one database marking rows with one game at
    // the same moment cannot both succeed.
    {"scores_game", "scores (game)", true},
    // The rows holding a replay, which every prune looks through: at most the listed ones.
    {"scores_replay", "scores (id) WHERE replay IS NOT NULL"},
};

// What a database holds of the tables, columns and indexes, as its catalog lists them.
struct SchemaSeen {
  std::set<std::string> tables;
  std::set<std::pair<std::string, std::string>> columns;  // (table, column)
  std::set<std::string> indexes;
};
enum class Dialect { Sqlite, Postgres };
// The statements, in order, that bring a database holding `seen` up to date; none when it
// is. Each one is safe to run again (on PostgreSQL: IF NOT EXISTS).
std::vector<std::string> SchemaChanges(Dialect dialect, const SchemaSeen& seen);
// What the changes would add, named for a message: "column scores.checked, index ..."
// (the indexes only with `indexes`).
std::string SchemaMissing(const SchemaSeen& seen, bool indexes);

// How long a change to the tables waits for a lock on PostgreSQL before it gives up: a
// running pg_dump holds its lock on the table for as long as the copy takes, and every
// statement of every server would queue behind a change that waited for it.
inline constexpr const char* kSchemaLockWait = "5s";

// Brings a database up to date when it needs it; a current one is only looked at. False
// with the reason (on PostgreSQL, a lock that did not come in time says what held it).
bool MigrateSqlite(sqlite3* db, std::string& error);
bool MigratePostgres(pg_conn* conn, std::string& error);
// For programs that only read: true when the database has every table and column (an index
// it lacks is no matter for reading), otherwise false and what it lacks. Nothing is changed.
bool SchemaReadableSqlite(sqlite3* db, std::string& error);
bool SchemaReadablePostgres(pg_conn* conn, std::string& error);

// Whether a SQLite row is listed: not hidden by hand and not of a banned name.
inline constexpr const char* kListedSqlite = "hidden = 0 AND name NOT IN (SELECT name FROM bans)";

// A row keeps its replay while it holds one of the listed places of its difficulty: not
// hidden, not of a banned name, ranked under the rule the servers last recorded
// (kOnlyVerified) and among the kScoreRows best of those. The statement that drops (sets NULL)
// every other row's replay; the caller runs it in the transaction that may have pushed rows out.
std::string KeptReplaysPrune(Dialect dialect);

}  // namespace rankd
