// rankctl on a SQLite database: the server notices each change through the file's data
// version; a backup is SQLite's online copy, so a writing server never waits long.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "server/rankctl/admin.h"
#include "server/rankd/schema.h"

namespace rankctl {
namespace {

// Whether two names are one file (one device and inode); false when either is missing.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat one {};
  struct stat two {};
  return ::stat(a.c_str(), &one) == 0 && ::stat(b.c_str(), &two) == 0 && one.st_dev == two.st_dev &&
         one.st_ino == two.st_ino;
}

// Writes a file's (or a folder's) data to the disk; false when it cannot.
bool SyncToDisk(const std::string& path, bool folder) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced;
}

class SqliteAdmin final : public AdminDb {
 public:
  ~SqliteAdmin() override { sqlite3_close_v2(db_); }

  bool Open(const std::string& path, bool change) override {
    // An administrator names an existing database: a mistyped path is not made anew.
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      return Fail("cannot open " + path);
    }
    path_ = path;
    sqlite3_busy_timeout(db_, 5000);
    return change ? rankd::MigrateSqlite(db_, error_) : rankd::SchemaReadableSqlite(db_, error_);
  }

  bool List(int mode, int count, std::vector<AdminRow>& rows) override {
    sqlite3_stmt* s = Prepare(
        "SELECT id, name, stage, score, best_combo, play_seconds, strftime('%Y-%m-%dT%H:%M:%SZ', stored_at),"
        " hidden, name IN (SELECT name FROM bans), checked,"
        " id > coalesce((SELECT value FROM settings WHERE name = 'checks_from'), -1)"
        " FROM scores WHERE mode = ? ORDER BY score DESC, id LIMIT ?");
    if (s == nullptr) return false;
    sqlite3_bind_int(s, 1, mode);
    sqlite3_bind_int(s, 2, count);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
      AdminRow& row = rows.emplace_back();
      row.id = sqlite3_column_int64(s, 0);
      row.score.mode = mode;
      const void* name = sqlite3_column_blob(s, 1);
      if (name != nullptr) row.score.name.assign(static_cast<const char*>(name), sqlite3_column_bytes(s, 1));
      row.score.stage = sqlite3_column_int(s, 2);
      row.score.score = static_cast<uint32_t>(sqlite3_column_int64(s, 3));
      row.score.bestCombo = sqlite3_column_int(s, 4);
      row.score.playSeconds = static_cast<uint32_t>(sqlite3_column_int64(s, 5));
      const unsigned char* at = sqlite3_column_text(s, 6);
      if (at != nullptr) row.storedAt = reinterpret_cast<const char*>(at);
      row.hidden = sqlite3_column_int(s, 7) != 0;
      row.banned = sqlite3_column_int(s, 8) != 0;
      row.mark = static_cast<rankd::ReplayMark>(sqlite3_column_int(s, 9));
      row.sinceChecks = sqlite3_column_int(s, 10) != 0;
    }
    sqlite3_finalize(s);
    return rc == SQLITE_DONE || Fail("cannot read the rankings");
  }

  bool OnlyVerified(bool& only) override {
    only = false;
    sqlite3_stmt* s = Prepare("SELECT value FROM settings WHERE name = 'rank_only_verified'");
    if (s == nullptr) return false;
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) only = sqlite3_column_int(s, 0) != 0;
    sqlite3_finalize(s);
    return rc == SQLITE_ROW || rc == SQLITE_DONE || Fail("cannot read the settings");
  }

  Done Backup(const std::string& file) override {
    // A copy renamed over the database (or its log) would take the server's data away.
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
      if (SameFile(file, path_ + suffix)) {
        error_ = file + " is the database " + path_ + (*suffix != 0 ? std::string(" (its ") + (suffix + 1) + ")" : "") +
                 ": a backup goes to another file";
        return Done::Failed;
      }
    }
    // Written under a temporary name, synced and renamed, so FILE is never a half-made copy,
    // and once rankctl says it is written, it outlasts a crash.
    const std::string temporary = file + ".part" + std::to_string(::getpid());
    sqlite3* to = nullptr;
    Done done = Done::Failed;
    if (sqlite3_open_v2(temporary.c_str(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK) {
      sqlite3_backup* copy = sqlite3_backup_init(to, "main", db_, "main");
      // One step copies every page under one read transaction of the source: a
      // consistent picture, while a WAL-mode server goes on writing beside it.
      const int rc = copy != nullptr ? sqlite3_backup_step(copy, -1) : SQLITE_ERROR;
      sqlite3_backup_finish(copy);
      if (rc == SQLITE_DONE && sqlite3_errcode(to) == SQLITE_OK) done = Done::Ok;
      if (done != Done::Ok) error_ = std::string("cannot copy the database: ") + sqlite3_errmsg(to);
    } else {
      error_ = "cannot create " + temporary;
    }
    sqlite3_close_v2(to);
    if (done == Done::Ok && !SyncToDisk(temporary, false)) {
      error_ = "cannot write " + temporary + " to the disk";
      done = Done::Failed;
    }
    if (done == Done::Ok && std::rename(temporary.c_str(), file.c_str()) != 0) {
      error_ = "cannot rename " + temporary + " to " + file;
      done = Done::Failed;
    }
    if (done != Done::Ok) {
      std::remove(temporary.c_str());
      return done;
    }
    const std::string folder = std::filesystem::path(file).parent_path().string();
    if (!SyncToDisk(folder.empty() ? "." : folder, true)) {
      error_ = "cannot write the folder of " + file + " to the disk";
      return Done::Failed;
    }
    return Done::Ok;
  }

 protected:
  bool Begin() override { return Exec("BEGIN IMMEDIATE"); }

  Done UpdateHidden(long long id, bool hidden, rankd::Score& row) override {
    return ChangeRow("UPDATE scores SET hidden = ?2 WHERE id = ?1 RETURNING mode, name, score", id, hidden ? 1 : 0,
                     row);
  }

  Done DeleteRow(long long id, rankd::Score& row) override {
    return ChangeRow("DELETE FROM scores WHERE id = ?1 RETURNING mode, name, score", id, -1, row);
  }

  bool PruneReplays() override { return Exec(rankd::KeptReplaysPrune(rankd::Dialect::Sqlite).c_str()); }

  Done UpdateBans(const std::string& name, bool banned) override {
    sqlite3_stmt* s = Prepare(banned ? "INSERT OR IGNORE INTO bans (name) VALUES (?)"
                                     : "DELETE FROM bans WHERE name = ?");
    if (s == nullptr) return Done::Failed;
    sqlite3_bind_blob(s, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    Done done = Done::Failed;
    if (sqlite3_step(s) == SQLITE_DONE) {
      // Banning a banned name again changes nothing and is no fault; lifting a ban that
      // is not there is "not found".
      done = banned || sqlite3_changes(db_) > 0 ? Done::Ok : Done::NotFound;
    } else {
      Fail("cannot change the bans");
    }
    sqlite3_finalize(s);
    return done;
  }

  // The audit line is the commit's only news: the server sees the file's data version move.
  bool Commit(const std::string& line) override {
    sqlite3_stmt* s = Prepare("INSERT INTO audit (action) VALUES (?)");
    if (s != nullptr) sqlite3_bind_text(s, 1, line.c_str(), -1, SQLITE_TRANSIENT);
    const bool logged = s != nullptr && sqlite3_step(s) == SQLITE_DONE;
    sqlite3_finalize(s);
    if (!logged) return Fail("cannot write the audit line");
    return Exec("COMMIT");
  }

  void Rollback() override { sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); }

 private:
  // Changes the row `id` (?1) by `sql`, with `hidden` as ?2 unless it is -1; `row` gets the
  // mode, name and score the statement returns.
  Done ChangeRow(const char* sql, long long id, int hidden, rankd::Score& row) {
    sqlite3_stmt* s = Prepare(sql);
    if (s == nullptr) return Done::Failed;
    sqlite3_bind_int64(s, 1, id);
    if (hidden >= 0) sqlite3_bind_int(s, 2, hidden);
    const int rc = sqlite3_step(s);
    Done done = rc == SQLITE_DONE ? Done::NotFound : Done::Failed;
    if (rc == SQLITE_ROW) {
      row.mode = sqlite3_column_int(s, 0);
      const void* name = sqlite3_column_blob(s, 1);
      if (name != nullptr) row.name.assign(static_cast<const char*>(name), sqlite3_column_bytes(s, 1));
      row.score = static_cast<uint32_t>(sqlite3_column_int64(s, 2));
      done = sqlite3_step(s) == SQLITE_DONE ? Done::Ok : Done::Failed;
    }
    if (done == Done::Failed) Fail("cannot change the row");
    sqlite3_finalize(s);
    return done;
  }

  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) Fail(sql);
    return s;
  }
  bool Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK || Fail(sql); }
  bool Fail(const std::string& what) {
    error_ = what + ": " + (db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory");
    return false;
  }

  sqlite3* db_ = nullptr;
  std::string path_;
};

}  // namespace

std::unique_ptr<AdminDb> NewSqliteAdmin() { return std::make_unique<SqliteAdmin>(); }

}  // namespace rankctl
