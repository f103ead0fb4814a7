#pragma once
// A connection to PostgreSQL that never waits without a bound: connecting, every statement
// and the keepalives of an idle connection have time limits, so a database that stops
// answering (a frozen host, a network that drops packets) is found out in seconds, and the
// connection is dropped and taken up again later, less often while it keeps failing.
#include <libpq-fe.h>

#include <atomic>
#include <chrono>
#include <span>
#include <string>
#include <vector>

namespace rankd {

// The limits every connection gets unless its URI says otherwise (the URI's own
// connect_timeout, keepalives_*, tcp_user_timeout or options win).
inline constexpr int kConnectSeconds = 4;
inline constexpr int kStatementSeconds = 5;  // statement_timeout: the database ends a slow statement
// How long a statement's answer is waited for: past the database's own limit, so a database
// that answers says why, and one that does not is given up on.
inline constexpr int kAnswerSeconds = kStatementSeconds + 2;

// Connects and waits (at most kConnectSeconds), with the limits above; `program` names the
// session in pg_stat_activity. For programs that run one command (rankctl).
PGconn* ConnectPostgres(const std::string& uri, const char* program);

// A statement with its parameters, as PQsendQueryParams takes them.
struct PgStatement {
  const char* sql;
  int count = 0;
  const char* const* values = nullptr;
  const int* lengths = nullptr;
  const int* formats = nullptr;
};

class PgLink {
 public:
  PgLink(std::string uri, const char* program);
  ~PgLink();
  PgLink(const PgLink&) = delete;
  PgLink& operator=(const PgLink&) = delete;

  // True when connected. Otherwise connects, unless the database was silent too recently
  // (1 s after, doubling to 5 s while it stays silent); `fresh` tells a connection just
  // made, which needs its session set up again.
  bool Ready(bool& fresh, std::string& error);
  bool connected() const { return conn_ != nullptr; }
  PGconn* conn() const { return conn_; }
  // Runs one statement and waits for its answer at most kAnswerSeconds. Null when there was
  // none (the connection is then dropped), with why in `error`; otherwise the result, to be
  // cleared by the caller, which may be the database's refusal.
  PGresult* Run(const char* sql, int count, const char* const* values, const int* lengths, const int* formats,
                std::string& error);
  PGresult* Run(const char* sql, std::string& error) { return Run(sql, 0, nullptr, nullptr, nullptr, error); }
  // Runs the statements in one transaction sent at once (libpq's pipeline: BEGIN, the
  // statements, COMMIT), so it costs one round trip, with one wait of at most kAnswerSeconds.
  // True when all of them and the commit succeeded, their results then in `results`, to be
  // cleared by the caller; otherwise false with the first failure's reason, and nothing kept
  // (a transaction that failed is rolled back).
  bool RunTransaction(std::span<const PgStatement> statements, std::vector<PGresult*>& results, std::string& error);
  // Drops the connection; the next Ready takes it up again.
  void Drop();
  // From any thread: every wait under way or to come ends at once with a failure. For a
  // stop that must not wait on a database that does not answer.
  void Interrupt();

 private:
  using Clock = std::chrono::steady_clock;
  // `silent`: the database did not answer in time (rather than refusing).
  bool Connect(std::string& error, bool& silent);
  // Sends what is queued and reads until `wanted` results came (a null between two
  // statements' results is not one), all within the deadline; false when the database did not
  // answer or the connection was lost (it is then dropped).
  bool Exchange(bool sent, size_t wanted, std::vector<PGresult*>& got, std::string& error);
  // Waits until the socket can be read (or written), the deadline passes or Interrupt is
  // called; false for the last two.
  bool Wait(bool write, Clock::time_point deadline);
  // The database was silent (`why`): the next attempt waits a while.
  void Failed(const std::string& why);

  std::string uri_;
  const char* program_;
  PGconn* conn_ = nullptr;
  int interrupt_ = -1;  // an eventfd Interrupt writes to
  std::atomic<bool> interrupted_{false};
  Clock::time_point nextTry_{};
  std::chrono::milliseconds pause_{0};
  std::string silence_;  // why the database was last given up on
};

}  // namespace rankd
