// The PostgreSQL engine, for several servers behind one address: all of them keep their
// scores in one database, and each tells the others through NOTIFY that it kept some, so
// every server answers the same score to beat and the same listing.
#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <span>
#include <string>

#include "server/rankd/pg_link.h"
#include "server/rankd/pg_queries.h"
#include "server/rankd/schema.h"
#include "server/rankd/store.h"
#include "server/rankd/stored_row.h"

namespace rankd {

namespace {

constexpr const char* kChannel = kChangeChannel;
// Rows per INSERT statement (seven parameters each, well below the protocol's limit).
constexpr size_t kRowsPerStatement = 1000;

// A statement's parameters as libpq takes them: numbers as text, a name as raw bytes
// (bytea, unescaped). A name added must outlive Run.
class Params {
 public:
  void AddNumber(long long value) { Add(text_.emplace_back(std::to_string(value)).c_str(), 0, 0); }
  void AddBytes(const std::string& bytes) { Add(bytes.data(), static_cast<int>(bytes.size()), 1); }
  // Raw bytes, or NULL for none.
  void AddBytesOrNull(std::span<const uint8_t> bytes) {
    Add(bytes.empty() ? nullptr : reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 1);
  }
  // A text (kept here, as a caller's may be a temporary), or NULL for an empty one.
  void AddText(const std::string& text) { Add(text.empty() ? nullptr : text_.emplace_back(text).c_str(), 0, 0); }
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
  PGresult* Run(PgLink& link, const char* sql, std::string& error) const {
    return link.Run(sql, static_cast<int>(size()), values_.data(), lengths_.data(), formats_.data(), error);
  }
  PgStatement Statement(const char* sql) const {
    return {sql, static_cast<int>(size()), values_.data(), lengths_.data(), formats_.data()};
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
  PostgresStore(const std::string& uri, StoreUse use)
      : use_(use), link_(uri, use == StoreUse::Keep ? "rankd" : "rankd web") {}

  bool Open(std::string& error) {
    bool fresh;
    if (!link_.Ready(fresh, error)) return false;
    // Only the keeper changes the tables: a reader is opened beside a keeper that did.
    if (use_ == StoreUse::Keep && !MigratePostgres(link_.conn(), error)) return false;
    return Setup(error);
  }

  const char* Engine() const override { return "postgresql"; }

  bool Store(const std::vector<Score>& scores, std::string& error) override {
    std::vector<bool> banned;
    return StoreFrom(scores, {}, banned, error);
  }

  bool StoreFrom(const std::vector<Score>& scores, const std::vector<std::string>& from, std::vector<bool>& banned,
                 std::string& error) override {
    // Never repeated after a failure: the lost answer may have been to a commit. Better scores
    // may push listed rows out: their replays go in the same transaction, sent at once.
    banned.assign(scores.size(), false);
    if (!Connected(error)) return false;
    std::deque<std::string> sqls;
    std::deque<Params> params;
    std::vector<PgStatement> statements;
    for (size_t first = 0; first < scores.size(); first += kRowsPerStatement) {
      const size_t last = std::min(scores.size(), first + kRowsPerStatement);
      sqls.push_back(InsertSql(scores, from, first, last, params.emplace_back()));
      statements.push_back(params.back().Statement(sqls.back().c_str()));
    }
    statements.push_back({prune_.c_str()});
    std::vector<PGresult*> results;
    if (!link_.RunTransaction(statements, results, error)) {
      error = "cannot store scores: " + error;
      return false;
    }
    for (size_t first = 0, i = 0; first < scores.size(); first += kRowsPerStatement, ++i) {
      // The names kept, in hex: a score whose name is not among them was banned.
      const std::string kept = PQntuples(results[i]) == 1 ? PQgetvalue(results[i], 0, 1) : "";
      for (size_t j = first; j < std::min(scores.size(), first + kRowsPerStatement); ++j) {
        banned[j] = kept.find(" " + Hex(scores[j].name) + " ") == std::string::npos;
      }
    }
    for (PGresult* result : results) PQclear(result);
    return true;
  }

  bool LoadTop(ScoreTable tables[kModes], std::string& error) override {
    const char* only[] = {onlyVerified_ ? "true" : "false"};
    PGresult* result = Ask(kPgTop, 1, only, error);
    if (!Ok(result, "cannot read the rankings", error, false)) return false;
    int filled[kModes] = {};
    for (int mode = 0; mode < kModes; ++mode) tables[mode] = ScoreTable{};
    Score s;
    for (int i = 0; i < PQntuples(result); ++i) {
      if (!RowScore(result, i, s) || filled[s.mode] >= kScoreRows) continue;
      tables[s.mode].row[filled[s.mode]++] = EntryFromScore(s);
    }
    PQclear(result);
    return true;
  }

  bool LoadAll(std::vector<Score>& scores, std::string& error) override {
    scores.clear();
    PGresult* result = Ask(kPgAll, 0, nullptr, error);
    if (!Ok(result, "cannot read the rankings", error, false)) return false;
    scores.reserve(static_cast<size_t>(PQntuples(result)));
    for (int i = 0; i < PQntuples(result); ++i) {
      if (!RowScore(result, i, scores.emplace_back())) scores.pop_back();
    }
    PQclear(result);
    return true;
  }

  bool LoadListing(int mode, std::vector<ListedScore>& rows, std::string& error) override {
    rows.clear();
    const std::string modeText = std::to_string(mode);
    const char* values[] = {modeText.c_str(), onlyVerified_ ? "true" : "false"};
    PGresult* result = Ask(kPgListing, 2, values, error);
    if (!Ok(result, "cannot read the rankings", error, false)) return false;
    for (int i = 0; i < PQntuples(result); ++i) {
      ListedScore& row = rows.emplace_back();
      if (!RowScore(result, i, row.score)) {
        rows.pop_back();
        continue;
      }
      row.storedAt = PQgetvalue(result, i, 6);
      const int mark = std::atoi(PQgetvalue(result, i, 7));
      row.verified = mark == static_cast<int>(ReplayMark::Verified);
      row.suspect = mark == static_cast<int>(ReplayMark::Suspect);
      row.beforeChecks = onlyVerified_ && PQgetvalue(result, i, 8)[0] == 'f';
      row.id = std::atoll(PQgetvalue(result, i, 9));
      row.replay = PQgetvalue(result, i, 10)[0] == 't';
    }
    PQclear(result);
    return true;
  }

  // A verified mark is written with its replay and the prune in one transaction: the row it
  // lists (under --require-verified) may push another out of its listed places.
  bool MarkReplay(const ReplayClaim& claim, ReplayMark& written, std::string& error) override {
    written = ReplayMark::None;
    if (!Connected(error)) return false;
    const bool keeps = claim.mark == ReplayMark::Verified;
    Params params;
    params.AddScore(claim.score);
    params.AddNumber(static_cast<int>(claim.mark));
    params.AddText(claim.from);
    params.AddBytes(claim.digest);
    params.AddNumber(kReplayMatchSeconds);
    params.AddBytesOrNull(keeps ? claim.replay : std::span<const uint8_t>());
    std::vector<PGresult*> results;
    if (keeps) {
      const PgStatement statements[] = {params.Statement(kPgMark), {prune_.c_str()}};
      if (!link_.RunTransaction(statements, results, error)) {
        error = "cannot mark a score: " + error;
        return false;
      }
    } else {
      results.push_back(params.Run(link_, kPgMark, error));
      if (!Ok(results[0], "cannot mark a score", error, false)) return false;
    }
    written = static_cast<ReplayMark>(std::atoi(PQgetvalue(results[0], 0, 0)));
    for (PGresult* result : results) PQclear(result);
    return true;
  }

  bool ReadReplay(long long id, int& mode, std::string& bytes, bool& found, std::string& error) override {
    bytes.clear();
    found = false;
    const std::string idText = std::to_string(id);
    const char* values[] = {idText.c_str()};
    PGresult* result = Ask(kPgReplay, 1, values, error);
    if (!Ok(result, "cannot read a replay", error, false)) return false;
    if (PQntuples(result) == 1) {
      size_t length = 0;
      unsigned char* raw = PQunescapeBytea(reinterpret_cast<const unsigned char*>(PQgetvalue(result, 0, 1)), &length);
      found = raw != nullptr;
      mode = std::atoi(PQgetvalue(result, 0, 0));
      if (raw != nullptr) bytes.assign(reinterpret_cast<const char*>(raw), length);
      PQfreemem(raw);
    }
    PQclear(result);
    return true;
  }

  bool BeginChecks(bool only, std::string& error) override {
    if (!Connected(error)) return false;
    const char* values[] = {only ? "true" : "false"};
    return Ok(link_.Run(kPgBeginChecks, 1, values, nullptr, nullptr, error),
              "cannot record when only verified scores began to rank", error);
  }

  bool ExpireUnmarked(int seconds, int& marked, std::string& error) override {
    marked = 0;
    if (!Connected(error)) return false;
    const std::string text = std::to_string(seconds);
    const char* values[] = {text.c_str()};
    PGresult* result = link_.Run(kPgExpire, 1, values, nullptr, nullptr, error);
    if (!Ok(result, "cannot mark scores that wait for their replay", error, false)) return false;
    marked = std::atoi(PQgetvalue(result, 0, 0));
    PQclear(result);
    return true;
  }

  bool Check(std::string& error) override {
    PGresult* result = Ask("SELECT 1", 0, nullptr, error);
    return result != nullptr && Ok(result, "PostgreSQL refused a query", error);
  }
  bool Reachable() const override { return link_.connected(); }
  void Interrupt() override { link_.Interrupt(); }

  int ChangeDescriptor() override { return link_.connected() ? PQsocket(link_.conn()) : -1; }

  bool TakeChanges() override {
    std::string ignored;  // the next call that needs the database tells
    if (!link_.connected()) {
      // Taken up again: what the others kept meanwhile was not heard of.
      bool fresh = false;
      return link_.Ready(fresh, ignored) && fresh && Setup(ignored);
    }
    if (PQconsumeInput(link_.conn()) == 0) {
      link_.Drop();  // lost: taken up again at the next turn
      return false;
    }
    bool others = false;
    while (PGnotify* notice = PQnotifies(link_.conn())) {
      if (notice->be_pid != PQbackendPID(link_.conn())) others = true;
      PQfreemem(notice);
    }
    return others;
  }

 private:
  // A session's settings, on every new connection. Names come back in bytea's hex form
  // whatever the database's default; only the keeper listens, as a reader would leave the
  // news unread and hold up the queue.
  bool Setup(std::string& error) {
    return Exec("SET bytea_output = 'hex'", "cannot set up the session", error) &&
           (use_ == StoreUse::Read || Exec("LISTEN rankd_scores", "cannot listen for other servers", error));
  }

  // Connects when the connection was lost, as often as the link allows.
  bool Connected(std::string& error) {
    bool fresh;
    if (!link_.Ready(fresh, error)) return false;
    return !fresh || Setup(error);
  }

  // A statement that only reads, run once more on a new connection when the connection was
  // found lost (a database restarted); after no answer at all, the link waits before
  // connecting again and this fails at once.
  PGresult* Ask(const char* sql, int count, const char* const* values, std::string& error) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (!Connected(error)) return nullptr;
      if (PGresult* result = link_.Run(sql, count, values, nullptr, nullptr, error)) return result;
    }
    return nullptr;
  }

  // The statement that keeps rows `first` to `last` (not included) of the scores, each with
  // its address (`from`), its parameters into `params`; it answers the names kept.
  static std::string InsertSql(const std::vector<Score>& scores, const std::vector<std::string>& from, size_t first,
                               size_t last, Params& params) {
    // A banned name's new score is not kept; the others hear of it only when one was.
    std::string sql =
        "WITH kept AS (INSERT INTO scores (mode, name, stage, score, best_combo, play_seconds, origin)"
        " SELECT * FROM (VALUES ";
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
    // Other servers are told only when a row was kept.
    sql += " RETURNING name), told AS (SELECT pg_notify('";
    sql += kChannel;
    sql += "', '') FROM kept LIMIT 1)";
    sql += " SELECT (SELECT count(*) FROM told), ' ' || string_agg(DISTINCT encode(name, 'hex'), ' ') || ' ' FROM kept";
    return sql;
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

  bool Exec(const char* sql, const char* what, std::string& error) { return Ok(link_.Run(sql, error), what, error); }

  // Whether a statement succeeded: false with `what` and the reason otherwise (a missing
  // result's reason is in `error` already). The result is cleared unless it succeeded and
  // `clear` is false.
  static bool Ok(PGresult* result, const char* what, std::string& error, bool clear = true) {
    if (result == nullptr) {
      error = std::string(what) + ": " + error;
      return false;
    }
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok) {
      std::string detail = PQresultErrorMessage(result);
      while (!detail.empty() && (detail.back() == '\n' || detail.back() == ' ')) detail.pop_back();
      error = detail.empty() ? what : std::string(what) + ": " + detail;
    }
    if (!ok || clear) PQclear(result);
    return ok;
  }

  // The score of a result's row (its first six columns); false for a row no score can be.
  static bool RowScore(PGresult* result, int row, Score& s) {
    std::string_view columns[6];
    for (int c = 0; c < 6; ++c) {
      columns[c] = {PQgetvalue(result, row, c), static_cast<size_t>(PQgetlength(result, row, c))};
    }
    return ScoreFromColumns(columns, s);
  }

  StoreUse use_;
  PgLink link_;
  const std::string prune_ = KeptReplaysPrune(Dialect::Postgres);
};

}  // namespace

std::unique_ptr<RankStore> OpenPostgresStore(const std::string& uri, std::string& error, StoreUse use) {
  auto store = std::make_unique<PostgresStore>(uri, use);
  if (!store->Open(error)) return nullptr;
  return store;
}

}  // namespace rankd
