#pragma once
// The database's tables as every program that opens it expects them: the scores (each
// with its hidden mark and replay mark), the banned names, the administrators' log and the
// servers' settings. Opening a
// database brings an older one up to date; doing it again changes nothing.
#include <string>

struct sqlite3;

namespace rankd {

// The columns the scores table gained after its first form, each with its type in SQLite and
// in PostgreSQL; opening a database adds those it lacks.
struct AddedColumn {
  const char* name;
  const char* sqlite;
  const char* postgres;
};
inline constexpr AddedColumn kAddedScoreColumns[] = {
    {"hidden", "INTEGER NOT NULL DEFAULT 0", "boolean NOT NULL DEFAULT false"},
    // The replay's mark: 0 none yet, 1 verified, 2 suspect, 3 came but not checked (ReplayMark).
    {"checked", "INTEGER NOT NULL DEFAULT 0", "smallint NOT NULL DEFAULT 0"},
    // The address the score came from (AddressKey), kept until its replay marked it.
    {"origin", "TEXT", "text"},
    // The fingerprint of the game that verified the row (GameDigest); one game, one row.
    {"game", "BLOB", "bytea"},
};

// Named numbers the servers keep in the settings table: the last row id kept before only
// verified scores ranked (the first time it was asked for), and whether that rule holds.
inline constexpr const char* kChecksFrom = "checks_from";
inline constexpr const char* kOnlyVerified = "rank_only_verified";

// The channel servers on one PostgreSQL database tell each other of changes on.
inline constexpr const char* kChangeChannel = "rankd_scores";

// Creates or completes the tables of a SQLite database in one transaction.
bool MigrateSqlite(sqlite3* db, std::string& error);
// The statements that create or complete the tables of a PostgreSQL database, in one
// transaction under an advisory lock, so programs starting together do not collide.
extern const char kPostgresSchema[];

// Whether a SQLite row is listed: not hidden by hand and not of a banned name.
inline constexpr const char* kListedSqlite = "hidden = 0 AND name NOT IN (SELECT name FROM bans)";

}  // namespace rankd
