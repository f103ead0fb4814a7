#pragma once
// The database's tables as every program that opens it expects them: the scores (each
// with its hidden mark), the banned names and the administrators' log. Opening a
// database brings an older one up to date; doing it again changes nothing.
#include <string>

struct sqlite3;

namespace rankd {

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
