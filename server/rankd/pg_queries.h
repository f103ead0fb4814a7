#pragma once
// The statements of the PostgreSQL engine that read the rankings and write the replays'
// marks. A statement that changes rows tells the other servers (NOTIFY) only when it changed
// some, so idle servers do not reread each other.

namespace rankd {

// Whether a row was kept while only verified rows rank (every row when that never began).
#define RANKD_UNDER_CHECKS "id > coalesce((SELECT value FROM settings WHERE name = 'checks_from'), -1)"

inline constexpr const char* kPgTop =
    "SELECT m.mode, s.name, s.stage, s.score, s.best_combo, s.play_seconds"
    " FROM (VALUES (0), (1), (2)) AS m(mode) CROSS JOIN LATERAL"
    " (SELECT name, stage, score, best_combo, play_seconds, id FROM scores"
    "  WHERE scores.mode = m.mode AND NOT hidden AND name NOT IN (SELECT name FROM bans)"
    "  AND ($1::boolean = false OR checked = 1 OR NOT " RANKD_UNDER_CHECKS
    ") ORDER BY score DESC, id LIMIT 20) AS s"
    " ORDER BY m.mode, s.score DESC, s.id";
inline constexpr const char* kPgAll =
    "SELECT mode, name, stage, score, best_combo, play_seconds FROM scores"
    " ORDER BY mode, score DESC, id";
inline constexpr const char* kPgListing =
    "SELECT mode, name, stage, score, best_combo, play_seconds,"
    " to_char(stored_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), checked, " RANKD_UNDER_CHECKS
    ", id, replay IS NOT NULL"
    " FROM scores WHERE mode = $1::smallint AND NOT hidden AND name NOT IN (SELECT name FROM bans)"
    " AND ($2::boolean = false OR checked = 1 OR NOT " RANKD_UNDER_CHECKS ") ORDER BY score DESC, id LIMIT 20";
inline constexpr const char* kPgReplay = "SELECT mode, replay FROM scores WHERE id = $1::bigint AND replay IS NOT NULL";
// Marks the newest row of a score kept from the address within the time a replay may come,
// whose mark is none (or not checked), and, when it marked one, tells the other servers,
// which rank anew. $7 the mark, $8 the address, $9 the game, $10 the seconds, $11 the replay
// (kept only by a verified row; the prune that follows drops it unless listed): the address is
// forgotten once the replay decided, and a game that verified a row already makes another one
// suspect. Answers the mark written (0: none).
inline constexpr const char* kPgMark =
    "WITH used AS (SELECT EXISTS (SELECT 1 FROM scores WHERE game = $9::bytea) AS game),"
    " marked AS (UPDATE scores SET"
    " checked = CASE WHEN $7::smallint = 1 AND (SELECT game FROM used) THEN 2 ELSE $7::smallint END,"
    " game = CASE WHEN $7::smallint = 1 AND NOT (SELECT game FROM used) THEN $9::bytea END,"
    " replay = CASE WHEN $7::smallint = 1 AND NOT (SELECT game FROM used) THEN $11::bytea END,"
    " origin = CASE WHEN $7::smallint IN (1, 2) THEN NULL ELSE origin END"
    " WHERE id = (SELECT max(id) FROM scores WHERE origin = $8::text AND"
    " ($1::smallint = -1 OR mode = $1::smallint) AND name = $2::bytea AND stage = $3::integer AND"
    " score = $4::bigint AND best_combo = $5::integer AND play_seconds = $6::bigint AND checked IN (0, 3) AND"
    " stored_at >= now() - make_interval(secs => $10::integer)) RETURNING checked)"
    " SELECT coalesce(max(checked), 0), CASE WHEN count(*) > 0 THEN pg_notify('rankd_scores', '') END FROM marked";
inline constexpr const char* kPgExpire =
    "WITH marked AS (UPDATE scores SET checked = 2, origin = NULL WHERE checked = 0 AND " RANKD_UNDER_CHECKS
    " AND stored_at < now() - make_interval(secs => $1::integer) RETURNING 1)"
    " SELECT count(*), CASE WHEN count(*) > 0 THEN pg_notify('rankd_scores', '') END FROM marked";
// Records (once) the last row kept before only verified rows ranked, and whether they do.
inline constexpr const char* kPgBeginChecks =
    "WITH began AS (INSERT INTO settings (name, value)"
    " SELECT 'checks_from', coalesce((SELECT max(id) FROM scores), 0) WHERE $1::boolean ON CONFLICT (name) DO NOTHING)"
    " INSERT INTO settings (name, value) VALUES ('rank_only_verified', $1::boolean::integer)"
    " ON CONFLICT (name) DO UPDATE SET value = excluded.value";

#undef RANKD_UNDER_CHECKS

}  // namespace rankd
