// rankctl on a PostgreSQL database: each change ends with a NOTIFY in its transaction,
// so every server on the database rereads its rankings once it is committed.
#include <libpq-fe.h>

#include <cstdlib>

#include "server/rankctl/admin.h"
#include "server/rankd/pg_link.h"
#include "server/rankd/schema.h"

namespace rankctl {
namespace {

class PostgresAdmin final : public AdminDb {
 public:
  ~PostgresAdmin() override { PQfinish(conn_); }

  bool Open(const std::string& uri, bool change) override {
    // With the server's limits: connecting, statements and a silent database are bounded.
    conn_ = rankd::ConnectPostgres(uri, "rankctl");
    if (PQstatus(conn_) != CONNECTION_OK) return Fail("cannot connect to PostgreSQL");
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    return change ? rankd::MigratePostgres(conn_, error_) : rankd::SchemaReadablePostgres(conn_, error_);
  }

  bool List(int mode, int count, std::vector<AdminRow>& rows) override {
    const std::string modeText = std::to_string(mode), countText = std::to_string(count);
    const char* values[] = {modeText.c_str(), countText.c_str()};
    PGresult* r = PQexecParams(conn_,
                               "SELECT id, name, stage, score, best_combo, play_seconds,"
                               " to_char(stored_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), hidden,"
                               " name IN (SELECT name FROM bans), checked,"
                               " id > coalesce((SELECT value FROM settings WHERE name = 'checks_from'), -1)"
                               " FROM scores WHERE mode = $1::smallint"
                               " ORDER BY score DESC, id LIMIT $2::integer",
                               2, nullptr, values, nullptr, nullptr, 1);
    if (PQresultStatus(r) != PGRES_TUPLES_OK) return Ok(r, "cannot read the rankings");
    for (int i = 0; i < PQntuples(r); ++i) {
      AdminRow& row = rows.emplace_back();
      row.id = static_cast<long long>(Int(r, i, 0));
      row.score.mode = mode;
      row.score.name.assign(PQgetvalue(r, i, 1), static_cast<size_t>(PQgetlength(r, i, 1)));
      row.score.stage = static_cast<int32_t>(Int(r, i, 2));
      row.score.score = static_cast<uint32_t>(Int(r, i, 3));
      row.score.bestCombo = static_cast<int32_t>(Int(r, i, 4));
      row.score.playSeconds = static_cast<uint32_t>(Int(r, i, 5));
      row.storedAt.assign(PQgetvalue(r, i, 6), static_cast<size_t>(PQgetlength(r, i, 6)));
      row.hidden = *PQgetvalue(r, i, 7) != 0;
      row.banned = *PQgetvalue(r, i, 8) != 0;
      row.mark = static_cast<rankd::ReplayMark>(Int(r, i, 9));
      row.sinceChecks = *PQgetvalue(r, i, 10) != 0;
    }
    PQclear(r);
    return true;
  }

  bool OnlyVerified(bool& only) override {
    PGresult* r = PQexecParams(conn_, "SELECT value FROM settings WHERE name = 'rank_only_verified'", 0, nullptr,
                               nullptr, nullptr, nullptr, 1);
    only = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 && Int(r, 0, 0) != 0;
    return Ok(r, "cannot read the settings");
  }

  Done Backup(const std::string&) override { return Done::NotFound; }

 protected:
  bool Begin() override { return Ok(PQexec(conn_, "BEGIN"), "cannot begin"); }

  Done UpdateHidden(long long id, bool hidden, rankd::Score& row) override {
    return ChangeRow("UPDATE scores SET hidden = $2::boolean WHERE id = $1::bigint RETURNING mode, name, score", id,
                     hidden ? "true" : "false", row);
  }

  Done DeleteRow(long long id, rankd::Score& row) override {
    return ChangeRow("DELETE FROM scores WHERE id = $1::bigint RETURNING mode, name, score", id, nullptr, row);
  }

  bool PruneReplays() override {
    return Ok(PQexec(conn_, rankd::KeptReplaysPrune(rankd::Dialect::Postgres).c_str()),
              "cannot drop the replays of rows no longer listed");
  }

  Done UpdateBans(const std::string& name, bool banned) override {
    const char* values[] = {name.data()};
    const int lengths[] = {static_cast<int>(name.size())};
    const int formats[] = {1};
    PGresult* r = PQexecParams(conn_,
                               banned ? "INSERT INTO bans (name) VALUES ($1::bytea) ON CONFLICT DO NOTHING"
                                      : "DELETE FROM bans WHERE name = $1::bytea",
                               1, nullptr, values, lengths, formats, 0);
    if (PQresultStatus(r) != PGRES_COMMAND_OK) {
      Ok(r, "cannot change the bans");
      return Done::Failed;
    }
    // Banning a banned name again is no fault; lifting a ban that is not there is.
    const Done done = banned || std::atoi(PQcmdTuples(r)) > 0 ? Done::Ok : Done::NotFound;
    PQclear(r);
    return done;
  }

  bool Commit(const std::string& line) override {
    const char* values[] = {line.c_str(), rankd::kChangeChannel};
    PGresult* r = PQexecParams(conn_,
                               "WITH logged AS (INSERT INTO audit (action) VALUES ($1::text) RETURNING 1)"
                               " SELECT pg_notify($2::text, '') FROM logged",
                               2, nullptr, values, nullptr, nullptr, 0);
    return Ok(r, "cannot write the audit line") && Ok(PQexec(conn_, "COMMIT"), "cannot commit");
  }

  void Rollback() override { PQclear(PQexec(conn_, "ROLLBACK")); }

 private:
  // Changes the row `id` ($1) by `sql`, with `hidden` as $2 when given; `row` gets the mode,
  // name and score the statement returns.
  Done ChangeRow(const char* sql, long long id, const char* hidden, rankd::Score& row) {
    const std::string idText = std::to_string(id);
    const char* values[] = {idText.c_str(), hidden};
    PGresult* r = PQexecParams(conn_, sql, hidden != nullptr ? 2 : 1, nullptr, values, nullptr, nullptr, 1);
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
      Ok(r, "cannot change the row");
      return Done::Failed;
    }
    const Done done = PQntuples(r) == 1 ? Done::Ok : Done::NotFound;
    if (done == Done::Ok) {
      row.mode = static_cast<int>(Int(r, 0, 0));
      row.name.assign(PQgetvalue(r, 0, 1), static_cast<size_t>(PQgetlength(r, 0, 1)));
      row.score = static_cast<uint32_t>(Int(r, 0, 2));
    }
    PQclear(r);
    return done;
  }

  static long long Int(PGresult* r, int row, int column) {
    // Binary results: integers in network order, of their column's width.
    const auto* bytes = reinterpret_cast<const unsigned char*>(PQgetvalue(r, row, column));
    long long value = 0;
    const int length = PQgetlength(r, row, column);
    for (int i = 0; i < length; ++i) value = (value << 8) | bytes[i];
    if (length > 0 && length < 8 && (bytes[0] & 0x80) != 0) value -= 1LL << (8 * length);
    return value;
  }

  // Whether a result succeeded; it is cleared either way.
  bool Ok(PGresult* r, const char* what) {
    const ExecStatusType status = PQresultStatus(r);
    PQclear(r);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || Fail(what);
  }
  bool Fail(const std::string& what) {
    std::string detail = conn_ != nullptr ? PQerrorMessage(conn_) : "out of memory";
    while (!detail.empty() && (detail.back() == '\n' || detail.back() == ' ')) detail.pop_back();
    error_ = detail.empty() ? what : what + ": " + detail;
    return false;
  }

  PGconn* conn_ = nullptr;
};

}  // namespace

std::unique_ptr<AdminDb> NewPostgresAdmin() { return std::make_unique<PostgresAdmin>(); }

}  // namespace rankctl
