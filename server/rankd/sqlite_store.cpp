// The SQLite engine: one database file in write-ahead-log mode, every commit synced, so a
// score the server acknowledged survives the server being killed (or the machine failing).
#include <sqlite3.h>

#include <cstring>

#include "server/rankd/schema.h"
#include "server/rankd/store.h"

namespace rankd {
namespace {

// Whether a row was kept while only verified rows rank (every row when that never began).
constexpr const char* kUnderChecks = "id > coalesce((SELECT value FROM settings WHERE name = 'checks_from'), -1)";
constexpr const char* kColumns = "mode, name, stage, score, best_combo, play_seconds";

class SqliteStore final : public RankStore {
 public:
  ~SqliteStore() override {
    sqlite3_finalize(insert_);
    sqlite3_finalize(top_);
    sqlite3_finalize(all_);
    sqlite3_finalize(listing_);
    sqlite3_finalize(version_);
    sqlite3_finalize(mark_);
    sqlite3_finalize(expire_);
    sqlite3_finalize(begin_);
    sqlite3_finalize(rule_);
    sqlite3_finalize(prune_);
    sqlite3_finalize(replay_);
    sqlite3_close_v2(db_);
  }

  bool Open(const std::string& path, std::string& error) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
      return Fail("cannot open " + path, error);
    }
    sqlite3_busy_timeout(db_, 5000);
    sqlite3_stmt* mode = nullptr;
    if (sqlite3_prepare_v2(db_, "PRAGMA journal_mode=WAL", -1, &mode, nullptr) != SQLITE_OK) {
      return Fail("cannot read " + path, error);
    }
    const bool wal = sqlite3_step(mode) == SQLITE_ROW &&
                     std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)), "wal") == 0;
    sqlite3_finalize(mode);
    if (!wal) return Fail(path + " cannot be put into write-ahead-log mode", error);
    if (!Exec("PRAGMA synchronous=FULL", error)) return false;
    if (!MigrateSqlite(db_, error)) return false;
    const bool prepared = PrepareReads(error) && PrepareWrites(error) &&
                          Prepare("PRAGMA data_version", version_, error);
    if (prepared) TakeChanges();  // the version as it stands now
    return prepared;
  }

  bool PrepareReads(std::string& error) {
    const std::string columns = kColumns;
    const std::string listed = kListedSqlite;
    const std::string under = kUnderChecks;
    const std::string ranked = " AND (?2 = 0 OR checked = 1 OR NOT " + under + ")";
    return Prepare("SELECT " + columns + " FROM scores WHERE mode = ?1 AND " + listed + ranked +
                       " ORDER BY score DESC, id LIMIT 20",
                   top_, error) &&
           Prepare("SELECT " + columns + " FROM scores ORDER BY mode, score DESC, id", all_, error) &&
           Prepare("SELECT " + columns + ", strftime('%Y-%m-%dT%H:%M:%SZ', stored_at), checked, " + under +
                       ", id, replay IS NOT NULL FROM scores WHERE mode = ?1 AND " + listed + ranked +
                       " ORDER BY score DESC, id LIMIT 20",
                   listing_, error) &&
           Prepare("SELECT mode, replay FROM scores WHERE id = ?1 AND replay IS NOT NULL", replay_, error);
  }

  bool PrepareWrites(std::string& error) {
    const std::string columns = kColumns;
    const std::string within = std::to_string(kReplayMatchSeconds);
    // A banned name's new score is not kept.
    return Prepare("INSERT INTO scores (" + columns +
                       ", origin) SELECT ?1, ?2, ?3, ?4, ?5, ?6, ?7 WHERE ?2 NOT IN (SELECT name FROM bans)",
                   insert_, error) &&
           // ?7 the mark, ?8 the address, ?9 the game, ?10 the replay. The address is forgotten
           // once the replay decided; a game that verified a row already makes another one
           // suspect. Only a verified row keeps its replay (and only while listed: the prune).
           Prepare(
               "UPDATE scores SET"
               " checked = CASE WHEN ?7 = 1 AND EXISTS (SELECT 1 FROM scores WHERE game = ?9) THEN 2 ELSE ?7 END,"
               " game = CASE WHEN ?7 = 1 AND NOT EXISTS (SELECT 1 FROM scores WHERE game = ?9) THEN ?9 END,"
               " replay = CASE WHEN ?7 = 1 AND NOT EXISTS (SELECT 1 FROM scores WHERE game = ?9) THEN ?10 END,"
               " origin = CASE WHEN ?7 IN (1, 2) THEN NULL ELSE origin END"
               " WHERE id = (SELECT max(id) FROM scores WHERE origin = ?8 AND (?1 = -1 OR mode = ?1) AND"
               " name = ?2 AND stage = ?3 AND score = ?4 AND best_combo = ?5 AND play_seconds = ?6 AND"
               " checked IN (0, 3) AND stored_at >= datetime('now', '-" +
                   within + " seconds')) RETURNING checked",
               mark_, error) &&
           Prepare("UPDATE scores SET checked = 2, origin = NULL WHERE checked = 0 AND " + std::string(kUnderChecks) +
                       " AND stored_at < datetime('now', '-' || ?1 || ' seconds')",
                   expire_, error) &&
           Prepare(
               "INSERT OR IGNORE INTO settings (name, value)"
               " SELECT 'checks_from', coalesce((SELECT max(id) FROM scores), 0) WHERE ?1 = 1",
               begin_, error) &&
           Prepare("INSERT OR REPLACE INTO settings (name, value) VALUES ('rank_only_verified', ?1)", rule_, error) &&
           Prepare(KeptReplaysPrune(Dialect::Sqlite), prune_, error);
  }

  const char* Engine() const override { return "sqlite"; }

  bool Store(const std::vector<Score>& scores, std::string& error) override {
    std::vector<bool> banned;
    return StoreFrom(scores, {}, banned, error);
  }

  bool StoreFrom(const std::vector<Score>& scores, const std::vector<std::string>& from, std::vector<bool>& banned,
                 std::string& error) override {
    banned.clear();
    if (!Exec("BEGIN IMMEDIATE", error)) return false;
    for (size_t i = 0; i < scores.size(); ++i) {
      BindScore(insert_, scores[i]);
      if (i < from.size() && !from[i].empty()) BindText(insert_, 7, from[i]);
      const int rc = sqlite3_step(insert_);
      banned.push_back(rc == SQLITE_DONE && sqlite3_changes(db_) == 0);
      sqlite3_reset(insert_);
      sqlite3_clear_bindings(insert_);
      if (rc != SQLITE_DONE) {
        Fail("cannot store a score", error);
        Rollback();
        return false;
      }
    }
    // Better scores may have pushed listed rows out: their replays go in the same transaction.
    if (!Prune(error) || !Exec("COMMIT", error)) {
      Rollback();
      return false;
    }
    return true;
  }

  bool LoadTop(ScoreTable tables[kModes], std::string& error) override {
    for (int mode = 0; mode < kModes; ++mode) {
      tables[mode] = ScoreTable{};
      sqlite3_bind_int(top_, 1, mode);
      sqlite3_bind_int(top_, 2, onlyVerified_ ? 1 : 0);
      int rc;
      for (int i = 0; (rc = sqlite3_step(top_)) == SQLITE_ROW && i < kScoreRows; ++i) {
        tables[mode].row[i] = EntryFromScore(Read(top_));
      }
      sqlite3_reset(top_);
      if (rc != SQLITE_DONE && rc != SQLITE_ROW) return Fail("cannot read the rankings", error);
    }
    return true;
  }

  bool LoadAll(std::vector<Score>& scores, std::string& error) override {
    scores.clear();
    int rc;
    while ((rc = sqlite3_step(all_)) == SQLITE_ROW) scores.push_back(Read(all_));
    sqlite3_reset(all_);
    return rc == SQLITE_DONE || Fail("cannot read the rankings", error);
  }

  bool LoadListing(int mode, std::vector<ListedScore>& rows, std::string& error) override {
    rows.clear();
    sqlite3_bind_int(listing_, 1, mode);
    sqlite3_bind_int(listing_, 2, onlyVerified_ ? 1 : 0);
    int rc;
    while ((rc = sqlite3_step(listing_)) == SQLITE_ROW) {
      ListedScore& row = rows.emplace_back();
      row.score = Read(listing_);
      // CURRENT_TIMESTAMP is UTC; a time the database cannot read gives none.
      const unsigned char* at = sqlite3_column_text(listing_, 6);
      if (at != nullptr) row.storedAt = reinterpret_cast<const char*>(at);
      row.verified = sqlite3_column_int(listing_, 7) == static_cast<int>(ReplayMark::Verified);
      row.suspect = sqlite3_column_int(listing_, 7) == static_cast<int>(ReplayMark::Suspect);
      row.beforeChecks = onlyVerified_ && sqlite3_column_int(listing_, 8) == 0;
      row.id = sqlite3_column_int64(listing_, 9);
      row.replay = sqlite3_column_int(listing_, 10) != 0;
    }
    sqlite3_reset(listing_);
    return rc == SQLITE_DONE || Fail("cannot read the rankings", error);
  }

  // A verified mark is written with its replay and the prune in one transaction: the row it
  // lists (under --require-verified) may push another out of its listed places.
  bool MarkReplay(const ReplayClaim& claim, ReplayMark& written, std::string& error) override {
    written = ReplayMark::None;
    const bool keeps = claim.mark == ReplayMark::Verified;
    if (keeps && !Exec("BEGIN IMMEDIATE", error)) return false;
    BindScore(mark_, claim.score);
    sqlite3_bind_int(mark_, 7, static_cast<int>(claim.mark));
    BindText(mark_, 8, claim.from);
    sqlite3_bind_blob(mark_, 9, claim.digest.data(), static_cast<int>(claim.digest.size()), SQLITE_STATIC);
    if (keeps && !claim.replay.empty())
      sqlite3_bind_blob(mark_, 10, claim.replay.data(), static_cast<int>(claim.replay.size()), SQLITE_STATIC);
    int rc = sqlite3_step(mark_);
    if (rc == SQLITE_ROW) {
      written = static_cast<ReplayMark>(sqlite3_column_int(mark_, 0));
      rc = sqlite3_step(mark_);
    }
    sqlite3_reset(mark_);
    sqlite3_clear_bindings(mark_);
    if (rc == SQLITE_DONE && (!keeps || (Prune(error) && Exec("COMMIT", error)))) return true;
    if (rc != SQLITE_DONE) Fail("cannot mark a score", error);
    if (keeps) Rollback();
    written = ReplayMark::None;
    return false;
  }

  bool ReadReplay(long long id, int& mode, std::string& bytes, bool& found, std::string& error) override {
    bytes.clear();
    sqlite3_bind_int64(replay_, 1, id);
    const int rc = sqlite3_step(replay_);
    found = rc == SQLITE_ROW;
    if (found) {
      mode = sqlite3_column_int(replay_, 0);
      const void* data = sqlite3_column_blob(replay_, 1);
      if (data != nullptr) bytes.assign(static_cast<const char*>(data), sqlite3_column_bytes(replay_, 1));
    }
    sqlite3_reset(replay_);
    return found || rc == SQLITE_DONE || Fail("cannot read a replay", error);
  }

  bool ExpireUnmarked(int seconds, int& marked, std::string& error) override {
    sqlite3_bind_int(expire_, 1, seconds);
    const int rc = sqlite3_step(expire_);
    sqlite3_reset(expire_);
    marked = rc == SQLITE_DONE ? sqlite3_changes(db_) : 0;
    return rc == SQLITE_DONE || Fail("cannot mark scores that wait for their replay", error);
  }

  bool BeginChecks(bool only, std::string& error) override {
    // Written only when it changes: a start takes no write lock another connection may hold
    // (a backup, rankctl) unless it must.
    bool recorded = false;
    if (!Recorded(only, recorded, error)) return false;
    if (recorded) return true;
    if (!Exec("BEGIN IMMEDIATE", error)) return false;
    sqlite3_bind_int(begin_, 1, only ? 1 : 0);
    sqlite3_bind_int(rule_, 1, only ? 1 : 0);
    const bool ok = sqlite3_step(begin_) == SQLITE_DONE && sqlite3_step(rule_) == SQLITE_DONE;
    sqlite3_reset(begin_);
    sqlite3_reset(rule_);
    if (ok && Exec("COMMIT", error)) return true;
    if (!ok) Fail("cannot record when only verified scores began to rank", error);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  }

  // Another connection's commit (rankctl's, or a hand's) moves the data version; the
  // store's thread asks at every turn, which is at least once in each of its poll waits.
  bool TakeChanges() override {
    if (sqlite3_step(version_) != SQLITE_ROW) {
      sqlite3_reset(version_);
      return false;
    }
    const long long version = sqlite3_column_int64(version_, 0);
    sqlite3_reset(version_);
    const bool changed = dataVersion_ >= 0 && version != dataVersion_;
    dataVersion_ = version;
    return changed;
  }

 private:
  // A score's six fields as parameters ?1 to ?6, in the order of kColumns (Read's order).
  // The name is bound without a copy: the score must outlive the statement's step.
  static void BindScore(sqlite3_stmt* statement, const Score& s) {
    sqlite3_bind_int(statement, 1, s.mode);
    sqlite3_bind_blob(statement, 2, s.name.data(), static_cast<int>(s.name.size()), SQLITE_STATIC);
    sqlite3_bind_int(statement, 3, s.stage);
    sqlite3_bind_int64(statement, 4, s.score);
    sqlite3_bind_int(statement, 5, s.bestCombo);
    sqlite3_bind_int64(statement, 6, s.playSeconds);
  }

  // Bound without a copy, as the name: the text must outlive the statement's step.
  static void BindText(sqlite3_stmt* statement, int at, const std::string& text) {
    sqlite3_bind_text(statement, at, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }

  static Score Read(sqlite3_stmt* row) {
    Score s;
    s.mode = sqlite3_column_int(row, 0);
    const void* name = sqlite3_column_blob(row, 1);
    if (name != nullptr)
      s.name.assign(static_cast<const char*>(name), static_cast<size_t>(sqlite3_column_bytes(row, 1)));
    s.stage = sqlite3_column_int(row, 2);
    s.score = static_cast<uint32_t>(sqlite3_column_int64(row, 3));
    s.bestCombo = sqlite3_column_int(row, 4);
    s.playSeconds = static_cast<uint32_t>(sqlite3_column_int64(row, 5));
    return s;
  }

  // Whether the settings say already what BeginChecks(only) would write.
  bool Recorded(bool only, bool& recorded, std::string& error) {
    sqlite3_stmt* look = nullptr;
    if (!Prepare("SELECT (SELECT value FROM settings WHERE name = 'rank_only_verified') IS ?1"
                 " AND (?1 = 0 OR EXISTS (SELECT 1 FROM settings WHERE name = 'checks_from'))",
                 look, error)) {
      return false;
    }
    sqlite3_bind_int(look, 1, only ? 1 : 0);
    const bool read = sqlite3_step(look) == SQLITE_ROW;
    recorded = read && sqlite3_column_int(look, 0) == 1;
    sqlite3_finalize(look);
    return read || Fail("cannot read the servers' settings", error);
  }

  bool Prune(std::string& error) {
    const int rc = sqlite3_step(prune_);
    sqlite3_reset(prune_);
    return rc == SQLITE_DONE || Fail("cannot drop the replays of rows no longer listed", error);
  }

  // Ends a failed transaction. What failed is told already: the rollback's own outcome
  // (often "no transaction is active", SQLite having ended it itself) would hide it.
  void Rollback() { sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); }
  bool Exec(const char* sql, std::string& error) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK || Fail(sql, error);
  }
  bool Prepare(const std::string& sql, sqlite3_stmt*& statement, std::string& error) {
    return sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK || Fail(sql, error);
  }
  // Says what failed, with SQLite's reason; false, so a failing call can return it.
  bool Fail(const std::string& what, std::string& error) {
    error = what + ": " + (db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory");
    return false;
  }

  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* top_ = nullptr;
  sqlite3_stmt* all_ = nullptr;
  sqlite3_stmt* listing_ = nullptr;
  sqlite3_stmt* version_ = nullptr;
  sqlite3_stmt* mark_ = nullptr;
  sqlite3_stmt* expire_ = nullptr;
  sqlite3_stmt* begin_ = nullptr;
  sqlite3_stmt* rule_ = nullptr;
  sqlite3_stmt* prune_ = nullptr;
  sqlite3_stmt* replay_ = nullptr;
  long long dataVersion_ = -1;
};

}  // namespace

std::unique_ptr<RankStore> OpenSqliteStore(const std::string& path, std::string& error) {
  auto store = std::make_unique<SqliteStore>();
  if (!store->Open(path, error)) return nullptr;
  return store;
}

}  // namespace rankd
