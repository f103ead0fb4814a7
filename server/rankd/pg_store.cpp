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
    "CREATE TABLE IF NOT EXISTS bans (name bytea PRIMARY KEY);"
    "CREATE TABLE IF NOT EXISTS audit ("
    " id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    " at timestamptz NOT NULL DEFAULT now(),"
    " action text NOT NULL);";

namespace {

constexpr const char* kChannel = kChangeChannel;
constexpr const char* kTop =
    "SELECT m.mode, s.name, s.stage, s.score, s.best_combo, s.play_seconds"
    " FROM (VALUES (0), (1), (2)) AS m(mode) CROSS JOIN LATERAL"
    " (SELECT name, stage, score, best_combo, play_seconds, id FROM scores"
    "  WHERE scores.mode = m.mode AND NOT hidden AND name NOT IN (SELECT name FROM bans)"
    "  AND ($1::boolean = false OR checked = 1) ORDER BY score DESC, id LIMIT 20) AS s"
    " ORDER BY m.mode, s.score DESC, s.id";
constexpr const char* kAll =
    "SELECT mode, name, stage, score, best_combo, play_seconds FROM scores"
    " ORDER BY mode, score DESC, id";
constexpr const char* kListing =
    "SELECT mode, name, stage, score, best_combo, play_seconds,"
    " to_char(stored_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), checked FROM scores"
    " WHERE mode = $1::smallint AND NOT hidden AND name NOT IN (SELECT name FROM bans)"
    " AND ($2::boolean = false OR checked = 1) ORDER BY score DESC, id LIMIT 20";
// Marks the newest unmarked row of a score and tells the other servers, which rank anew.
constexpr const char* kMark =
    "WITH marked AS (UPDATE scores SET checked = $7::smallint WHERE id = (SELECT max(id) FROM scores WHERE"
    " ($1::smallint = -1 OR mode = $1::smallint) AND name = $2::bytea AND stage = $3::integer AND score = $4::bigint "
    "AND"
    " best_combo = $5::integer AND play_seconds = $6::bigint AND checked = 0) RETURNING 1)"
    " SELECT count(*), pg_notify('rankd_scores', '') FROM marked";
constexpr const char* kExpire =
    "WITH marked AS (UPDATE scores SET checked = 2 WHERE checked = 0 AND"
    " stored_at < now() - make_interval(secs => $1::integer) RETURNING 1)"
    " SELECT count(*), pg_notify('rankd_scores', '') FROM marked";
// Rows per INSERT statement (six parameters each, well below the protocol's limit).
constexpr size_t kRowsPerStatement = 1000;

// A statement's parameters as libpq takes them: numbers as text, a name as raw bytes
// (bytea, unescaped). A name added must outlive Run.
class Params {
 public:
  void AddNumber(long long value) { Add(text_.emplace_back(std::to_string(value)).c_str(), 0, 0); }
  void AddBytes(const std::string& bytes) { Add(bytes.data(), static_cast<int>(bytes.size()), 1); }
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

  bool Store(const std::vector<Score>& scores, std::string& error) override {
    std::vector<bool> banned;
    return Store(scores, banned, error);
  }

  bool Store(const std::vector<Score>& scores, std::vector<bool>& banned, std::string& error) override {
    // Never repeated after a failure: the lost answer may have been to a commit.
    banned.assign(scores.size(), false);
    if (!Connected(error)) return false;
    const bool several = scores.size() > kRowsPerStatement;
    if (several && !Exec("BEGIN", "cannot store scores", error)) return false;
    for (size_t from = 0; from < scores.size(); from += kRowsPerStatement) {
      const size_t to = std::min(scores.size(), from + kRowsPerStatement);
      if (!Insert(scores, from, to, banned, error)) {
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
      const int mark = std::atoi(PQgetvalue(result, static_cast<int>(i), 7));
      rows.push_back({std::move(scores[i]), PQgetvalue(result, static_cast<int>(i), 6),
                      mark == static_cast<int>(ReplayMark::Verified), mark == static_cast<int>(ReplayMark::Suspect)});
    }
    PQclear(result);
    return true;
  }

  bool MarkReplay(const Score& s, ReplayMark mark, bool& found, std::string& error) override {
    found = false;
    if (!Connected(error)) return false;
    Params params;
    params.AddScore(s);
    params.AddNumber(static_cast<int>(mark));
    return Count(params.Run(conn_, kMark), found, error);
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

  bool Insert(const std::vector<Score>& scores, size_t from, size_t to, std::vector<bool>& banned, std::string& error) {
    // A banned name's new score is not kept.
    std::string sql =
        "WITH kept AS (INSERT INTO scores (mode, name, stage, score, best_combo, play_seconds)"
        " SELECT * FROM (VALUES ";
    Params params;
    for (size_t i = from; i < to; ++i) {
      const size_t p = params.size();
      if (i > from) sql += ", ";
      sql += "($" + std::to_string(p + 1) + "::smallint, $" + std::to_string(p + 2) + "::bytea, $" +
             std::to_string(p + 3) + "::integer, $" + std::to_string(p + 4) + "::bigint, $" + std::to_string(p + 5) +
             "::integer, $" + std::to_string(p + 6) + "::bigint)";
      params.AddScore(scores[i]);
    }
    sql += ") AS v(mode, name, stage, score, best_combo, play_seconds) WHERE v.name NOT IN (SELECT name FROM bans)";
    // The names kept, in hex: a score whose name is not among them was banned.
    sql += " RETURNING name) SELECT pg_notify('";
    sql += kChannel;
    sql += "', ''), ' ' || string_agg(DISTINCT encode(name, 'hex'), ' ') || ' ' FROM kept";
    PGresult* result = params.Run(conn_, sql.c_str());
    const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1;
    const std::string kept = ok ? PQgetvalue(result, 0, 1) : "";
    PQclear(result);
    if (!ok) return Fail("cannot store scores", error);
    for (size_t i = from; i < to; ++i) banned[i] = kept.find(" " + Hex(scores[i].name) + " ") == std::string::npos;
    return true;
  }

  static std::string Hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
      hex += kDigits[static_cast<unsigned char>(c) >> 4];
      hex += kDigits[static_cast<unsigned char>(c) & 15];
    }
    return hex;
  }

  // A marking's result: whether it marked a row.
  bool Count(PGresult* result, bool& found, std::string& error) {
    const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK;
    found = ok && std::atoi(PQgetvalue(result, 0, 0)) > 0;
    PQclear(result);
    return ok || Fail("cannot mark a score", error);
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
