// The PostgreSQL engine, for several servers behind one address: all of them keep their
// scores in one database, and each tells the others through NOTIFY that it kept some, so
// every server answers the same score to beat and the same listing.
#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <string>

#include "server/rankd/schema.h"
#include "server/rankd/store.h"

namespace rankd {

// One transaction; programs starting together create the tables one at a time (the lock
// lasts until the transaction ends).
const char kPostgresSchema[] =
    "SELECT pg_advisory_xact_lock(7294600120);"
    "CREATE TABLE IF NOT EXISTS scores ("
    " id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    " mode smallint NOT NULL CHECK (mode BETWEEN 0 AND 2),"
    " name bytea NOT NULL,"
    " stage integer NOT NULL,"
    " score bigint NOT NULL CHECK (score BETWEEN 0 AND 4294967295),"
    " best_combo integer NOT NULL,"
    " play_seconds bigint NOT NULL,"
    " stored_at timestamptz NOT NULL DEFAULT now());"
    "CREATE INDEX IF NOT EXISTS scores_ranking ON scores (mode, score DESC, id);"
    "ALTER TABLE scores ADD COLUMN IF NOT EXISTS hidden boolean NOT NULL DEFAULT false;"
    // The replay's mark: 0 none yet, 1 verified, 2 suspect.
    "ALTER TABLE scores ADD COLUMN IF NOT EXISTS checked smallint NOT NULL DEFAULT 0;"
    "ALTER TABLE scores ADD COLUMN IF NOT EXISTS origin text;"
    "ALTER TABLE scores ADD COLUMN IF NOT EXISTS game bytea;"
    "CREATE UNIQUE INDEX IF NOT EXISTS scores_game ON scores (game);"
    "CREATE INDEX IF NOT EXISTS scores_origin ON scores (origin, id) WHERE origin IS NOT NULL;"
    "CREATE TABLE IF NOT EXISTS settings (name text PRIMARY KEY, value bigint NOT NULL);"
    "CREATE TABLE IF NOT EXISTS bans (name bytea PRIMARY KEY);"
    "CREATE TABLE IF NOT EXISTS audit ("
    " id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    " at timestamptz NOT NULL DEFAULT now(),"
    " action text NOT NULL);";

namespace {

constexpr const char* kChannel = kChangeChannel;
// Whether a row was kept while only verified rows rank (every row when that never began).
#define RANKD_UNDER_CHECKS "id > coalesce((SELECT value FROM settings WHERE name = 'checks_from'), -1)"
constexpr const char* kTop =
    "SELECT m.mode, s.name, s.stage, s.score, s.best_combo, s.play_seconds"
    " FROM (VALUES (0), (1), (2)) AS m(mode) CROSS JOIN LATERAL"
    " (SELECT name, stage, score, best_combo, play_seconds, id FROM scores"
    "  WHERE scores.mode = m.mode AND NOT hidden AND name NOT IN (SELECT name FROM bans)"
    "  AND ($1::boolean = false OR checked = 1 OR NOT " RANKD_UNDER_CHECKS
    ") ORDER BY score DESC, id LIMIT 20) AS s"
    " ORDER BY m.mode, s.score DESC, s.id";
constexpr const char* kAll =
    "SELECT mode, name, stage, score, best_combo, play_seconds FROM scores"
    " ORDER BY mode, score DESC, id";
constexpr const char* kListing =
    "SELECT mode, name, stage, score, best_combo, play_seconds,"
    " to_char(stored_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), checked, " RANKD_UNDER_CHECKS
    " FROM scores WHERE mode = $1::smallint AND NOT hidden AND name NOT IN (SELECT name FROM bans)"
    " AND ($2::boolean = false OR checked = 1 OR NOT " RANKD_UNDER_CHECKS ") ORDER BY score DESC, id LIMIT 20";
// Marks the newest row of a score kept from the address within the time a replay may come,
// whose mark is none (or not checked), and tells the other servers, which rank anew. $7 the
// mark, $8 the address, $9 the game: the address is forgotten once the replay decided, and a
// game that verified a row already makes another one suspect.
constexpr const char* kMark =
    "WITH used AS (SELECT EXISTS (SELECT 1 FROM scores WHERE game = $9::bytea) AS game),"
    " marked AS (UPDATE scores SET"
    " checked = CASE WHEN $7::smallint = 1 AND (SELECT game FROM used) THEN 2 ELSE $7::smallint END,"
    " game = CASE WHEN $7::smallint = 1 AND NOT (SELECT game FROM used) THEN $9::bytea END,"
    " origin = CASE WHEN $7::smallint IN (1, 2) THEN NULL ELSE origin END"
    " WHERE id = (SELECT max(id) FROM scores WHERE origin = $8::text AND"
    " ($1::smallint = -1 OR mode = $1::smallint) AND name = $2::bytea AND stage = $3::integer AND"
    " score = $4::bigint AND best_combo = $5::integer AND play_seconds = $6::bigint AND checked IN (0, 3) AND"
    " stored_at >= now() - make_interval(secs => $10::integer)) RETURNING checked)"
    " SELECT coalesce(max(checked), 0), pg_notify('rankd_scores', '') FROM marked";
constexpr const char* kExpire =
    "WITH marked AS (UPDATE scores SET checked = 2, origin = NULL WHERE checked = 0 AND " RANKD_UNDER_CHECKS
    " AND stored_at < now() - make_interval(secs => $1::integer) RETURNING 1)"
    " SELECT count(*), pg_notify('rankd_scores', '') FROM marked";
// Records (once) the last row kept before only verified rows ranked, and whether they do.
constexpr const char* kBeginChecks =
    "WITH began AS (INSERT INTO settings (name, value)"
    " SELECT 'checks_from', coalesce((SELECT max(id) FROM scores), 0) WHERE $1::boolean ON CONFLICT (name) DO NOTHING)"
    " INSERT INTO settings (name, value) VALUES ('rank_only_verified', $1::boolean::integer)"
    " ON CONFLICT (name) DO UPDATE SET value = excluded.value";
#undef RANKD_UNDER_CHECKS
// Rows per INSERT statement (seven parameters each, well below the protocol's limit).
constexpr size_t kRowsPerStatement = 1000;

// A statement's parameters as libpq takes them: numbers as text, a name as raw bytes
// (bytea, unescaped). A name added must outlive Run.
class Params {
 public:
  void AddNumber(long long value) { Add(text_.emplace_back(std::to_string(value)).c_str(), 0, 0); }
  void AddBytes(const std::string& bytes) { Add(bytes.data(), static_cast<int>(bytes.size()), 1); }
  // A text, or NULL for an empty one. A text added must outlive Run.
  void AddText(const std::string& text) { Add(text.empty() ? nullptr : text.c_str(), 0, 0); }
  // $n to $n+5: mode, name, stage, score, best_combo, play_seconds, the table's order.
  void AddScore(const Score& s) {
    AddNumber(s.mode);
    AddBytes(s.name);
    AddNumber(s.stage);
    AddNumber(s.score);
    AddNumber(s.bestCombo);
    AddNumber(s.playSeconds);
  }
  size_t size() const { return values_.size(); }
  PGresult* Run(PGconn* conn, const char* sql) const {
    return PQexecParams(conn, sql, static_cast<int>(size()), nullptr, values_.data(), lengths_.data(), formats_.data(),
                        0);
  }

 private:
  void Add(const char* value, int length, int format) {
    values_.push_back(value);
    lengths_.push_back(length);
    formats_.push_back(format);
  }

  std::deque<std::string> text_;  // a deque: adding a text never moves the ones before
  std::vector<const char*> values_;
  std::vector<int> lengths_;
  std::vector<int> formats_;
};

class PostgresStore final : public RankStore {
 public:
  explicit PostgresStore(StoreUse use) : use_(use) {}
  ~PostgresStore() override { PQfinish(conn_); }

  bool Open(const std::string& uri, std::string& error) {
    conn_ = PQconnectdb(uri.c_str());
    if (PQstatus(conn_) != CONNECTION_OK) return Fail("cannot connect to PostgreSQL", error);
    // The server's notices ("relation already exists") are of no use in the log.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    return Setup(error);
  }

  const char* Engine() const override { return "postgresql"; }

  bool Store(const std::vector<Score>& scores, std::string& error) override { return StoreFrom(scores, {}, error); }

  bool StoreFrom(const std::vector<Score>& scores, const std::vector<std::string>& from, std::string& error) override {
    // Never repeated after a failure: the lost answer may have been to a commit.
    if (!Connected(error)) return false;
    const bool several = scores.size() > kRowsPerStatement;
    if (several && !Exec("BEGIN", "cannot store scores", error)) return false;
    for (size_t first = 0; first < scores.size(); first += kRowsPerStatement) {
      const size_t last = std::min(scores.size(), first + kRowsPerStatement);
      if (!Insert(scores, from, first, last, error)) {
        if (several) Exec("ROLLBACK", "cannot store scores", error);
        return false;
      }
    }
    return !several || Exec("COMMIT", "cannot store scores", error);
  }

  bool LoadTop(ScoreTable tables[kModes], std::string& error) override {
    if (!Connected(error)) return false;
    std::vector<Score> rows;
    const char* only[] = {onlyVerified_ ? "true" : "false"};
    if (!Read(PQexecParams(conn_, kTop, 1, nullptr, only, nullptr, nullptr, 0), rows, error, true)) return false;
    int filled[kModes] = {};
    for (int mode = 0; mode < kModes; ++mode) tables[mode] = ScoreTable{};
    for (const Score& s : rows) {
      if (s.mode < 0 || s.mode >= kModes || filled[s.mode] >= kScoreRows) continue;
      tables[s.mode].row[filled[s.mode]++] = EntryFromScore(s);
    }
    return true;
  }

  bool LoadAll(std::vector<Score>& scores, std::string& error) override {
    return Connected(error) && Query(kAll, scores, error);
  }

  bool LoadListing(int mode, std::vector<ListedScore>& rows, std::string& error) override {
    rows.clear();
    if (!Connected(error)) return false;
    const std::string modeText = std::to_string(mode);
    const char* values[] = {modeText.c_str(), onlyVerified_ ? "true" : "false"};
    PGresult* result = PQexecParams(conn_, kListing, 2, nullptr, values, nullptr, nullptr, 0);
    std::vector<Score> scores;
    if (!Read(result, scores, error)) return false;
    for (size_t i = 0; i < scores.size(); ++i) {
      const int at = static_cast<int>(i);
      const int mark = std::atoi(PQgetvalue(result, at, 7));
      rows.push_back({.score = std::move(scores[i]),
                      .storedAt = PQgetvalue(result, at, 6),
                      .verified = mark == static_cast<int>(ReplayMark::Verified),
                      .suspect = mark == static_cast<int>(ReplayMark::Suspect),
                      .beforeChecks = onlyVerified_ && PQgetvalue(result, at, 8)[0] == 'f'});
    }
    PQclear(result);
    return true;
  }

  bool MarkReplay(const ReplayClaim& claim, ReplayMark& written, std::string& error) override {
    written = ReplayMark::None;
    if (!Connected(error)) return false;
    Params params;
    params.AddScore(claim.score);
    params.AddNumber(static_cast<int>(claim.mark));
    params.AddText(claim.from);
    params.AddBytes(claim.digest);
    params.AddNumber(kReplayMatchSeconds);
    PGresult* result = params.Run(conn_, kMark);
    const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK;
    if (ok) written = static_cast<ReplayMark>(std::atoi(PQgetvalue(result, 0, 0)));
    PQclear(result);
    return ok || Fail("cannot mark a score", error);
  }

  bool BeginChecks(bool only, std::string& error) override {
    if (!Connected(error)) return false;
    const char* values[] = {only ? "true" : "false"};
    return Done(PQexecParams(conn_, kBeginChecks, 1, nullptr, values, nullptr, nullptr, 0),
                "cannot record when only verified scores began to rank", error);
  }

  bool ExpireUnmarked(int seconds, int& marked, std::string& error) override {
    marked = 0;
    if (!Connected(error)) return false;
    const std::string text = std::to_string(seconds);
    const char* values[] = {text.c_str()};
    PGresult* result = PQexecParams(conn_, kExpire, 1, nullptr, values, nullptr, nullptr, 0);
    if (PQresultStatus(result) != PGRES_TUPLES_OK) {
      PQclear(result);
      return Fail("cannot mark scores that wait for their replay", error);
    }
    marked = std::atoi(PQgetvalue(result, 0, 0));
    PQclear(result);
    return true;
  }

  int ChangeDescriptor() override { return PQstatus(conn_) == CONNECTION_OK ? PQsocket(conn_) : -1; }

  bool TakeChanges() override {
    if (PQstatus(conn_) != CONNECTION_OK) {
      // Reconnected: what the others kept meanwhile was not heard of.
      const auto now = std::chrono::steady_clock::now();
      if (now - lastReset_ < std::chrono::seconds(1)) return false;
      lastReset_ = now;
      std::string ignored;  // the next call that needs the database tells
      return Connected(ignored);
    }
    if (PQconsumeInput(conn_) == 0) return false;
    bool others = false;
    while (PGnotify* notice = PQnotifies(conn_)) {
      if (notice->be_pid != PQbackendPID(conn_)) others = true;
      PQfreemem(notice);
    }
    return others;
  }

 private:
  bool Setup(std::string& error) {
    // A query of several statements reports its last result, or the error that stopped it.
    // Only the keeper listens: a reader would leave the news unread and hold up the queue.
    return Exec(kPostgresSchema, "cannot set up the scores table", error) &&
           (use_ == StoreUse::Read || Exec("LISTEN rankd_scores", "cannot listen for other servers", error)) &&
           Exec("SET statement_timeout = '10s'", "cannot set a statement time limit", error);
  }

  // Reconnects a lost connection (and listens again).
  bool Connected(std::string& error) {
    if (PQstatus(conn_) == CONNECTION_OK) return true;
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK) return Fail("lost PostgreSQL", error);
    return Setup(error);
  }

  // Rows `first` to `last` (not included) of the scores, each with its address (`from`).
  bool Insert(const std::vector<Score>& scores, const std::vector<std::string>& from, size_t first, size_t last,
              std::string& error) {
    // A banned name's new score is not kept.
    std::string sql =
        "WITH kept AS (INSERT INTO scores (mode, name, stage, score, best_combo, play_seconds, origin)"
        " SELECT * FROM (VALUES ";
    Params params;
    for (size_t i = first; i < last; ++i) {
      const size_t p = params.size();
      if (i > first) sql += ", ";
      sql += "($" + std::to_string(p + 1) + "::smallint, $" + std::to_string(p + 2) + "::bytea, $" +
             std::to_string(p + 3) + "::integer, $" + std::to_string(p + 4) + "::bigint, $" + std::to_string(p + 5) +
             "::integer, $" + std::to_string(p + 6) + "::bigint, $" + std::to_string(p + 7) + "::text)";
      params.AddScore(scores[i]);
      params.AddText(i < from.size() ? from[i] : std::string());
    }
    sql +=
        ") AS v(mode, name, stage, score, best_combo, play_seconds, origin)"
        " WHERE v.name NOT IN (SELECT name FROM bans)";
    sql += " RETURNING 1) SELECT pg_notify('";
    sql += kChannel;
    sql += "', '')";
    PGresult* result = params.Run(conn_, sql.c_str());
    const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK;
    PQclear(result);
    return ok || Fail("cannot store scores", error);
  }

  // A statement's result: true when it succeeded, cleared either way.
  bool Done(PGresult* result, const char* what, std::string& error) {
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
    PQclear(result);
    return ok || Fail(what, error);
  }

  bool Query(const char* sql, std::vector<Score>& rows, std::string& error) {
    PGresult* result = PQexec(conn_, sql);
    if (!Read(result, rows, error)) return false;
    PQclear(result);
    return true;
  }

  // The scores of a query's first six columns; the result is cleared only on failure (or,
  // with `clear`, always).
  bool Read(PGresult* result, std::vector<Score>& rows, std::string& error, bool clear = false) {
    rows.clear();
    if (PQresultStatus(result) != PGRES_TUPLES_OK) {
      PQclear(result);
      return Fail("cannot read the rankings", error);
    }
    const int count = PQntuples(result);
    rows.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      Score s;
      s.mode = std::atoi(PQgetvalue(result, i, 0));
      size_t length = 0;
      unsigned char* name = PQunescapeBytea(reinterpret_cast<const unsigned char*>(PQgetvalue(result, i, 1)), &length);
      if (name != nullptr) {
        s.name.assign(reinterpret_cast<const char*>(name), length);
        PQfreemem(name);
      }
      s.stage = static_cast<int32_t>(std::strtol(PQgetvalue(result, i, 2), nullptr, 10));
      s.score = static_cast<uint32_t>(std::strtoll(PQgetvalue(result, i, 3), nullptr, 10));
      s.bestCombo = static_cast<int32_t>(std::strtol(PQgetvalue(result, i, 4), nullptr, 10));
      s.playSeconds = static_cast<uint32_t>(std::strtoll(PQgetvalue(result, i, 5), nullptr, 10));
      rows.push_back(std::move(s));
    }
    if (clear) PQclear(result);
    return true;
  }

  bool Exec(const char* sql, const char* what, std::string& error) {
    PGresult* result = PQexec(conn_, sql);
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
    PQclear(result);
    return ok || Fail(what, error);
  }

  // Says what failed, with the server's reason; false, so a failing call can return it.
  bool Fail(const std::string& what, std::string& error) {
    std::string detail = conn_ != nullptr ? PQerrorMessage(conn_) : "out of memory";
    while (!detail.empty() && (detail.back() == '\n' || detail.back() == ' ')) detail.pop_back();
    error = detail.empty() ? what : what + ": " + detail;
    return false;
  }

  StoreUse use_;
  PGconn* conn_ = nullptr;
  std::chrono::steady_clock::time_point lastReset_{};
};

}  // namespace

std::unique_ptr<RankStore> OpenPostgresStore(const std::string& uri, std::string& error, StoreUse use) {
  auto store = std::make_unique<PostgresStore>(use);
  if (!store->Open(uri, error)) return nullptr;
  return store;
}

}  // namespace rankd
