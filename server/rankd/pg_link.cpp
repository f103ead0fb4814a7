// The bounded connection to PostgreSQL: libpq's non-blocking calls, each wait a poll with a
// deadline that Interrupt can cut short.
#include "server/rankd/pg_link.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace rankd {
namespace {

// Whether this libpq knows a connection keyword (tcp_user_timeout came with PostgreSQL 12).
bool Knows(const char* keyword) {
  PQconninfoOption* options = PQconndefaults();
  bool known = false;
  for (PQconninfoOption* o = options; o != nullptr && o->keyword != nullptr; ++o) {
    if (std::strcmp(o->keyword, keyword) == 0) known = true;
  }
  PQconninfoFree(options);
  return known;
}

// The keywords and values of a connection: the limits first, then the URI, whose own
// settings override them (libpq expands the URI in place of "dbname").
struct Params {
  Params(const std::string& uri, const char* program) {
    static const std::string connect = std::to_string(kConnectSeconds);
    static const std::string options = "-c statement_timeout=" + std::to_string(kStatementSeconds * 1000);
    // An unacknowledged write (a host gone) fails within this; an idle connection is probed
    // every few seconds, and dropped after three probes unanswered.
    static const std::string userTimeout = std::to_string(kAnswerSeconds * 1000);
    static const bool userTimeoutKnown = Knows("tcp_user_timeout");
    Add("connect_timeout", connect.c_str());
    Add("keepalives", "1");
    Add("keepalives_idle", "5");
    Add("keepalives_interval", "2");
    Add("keepalives_count", "3");
    if (userTimeoutKnown) Add("tcp_user_timeout", userTimeout.c_str());
    Add("options", options.c_str());
    Add("application_name", program);
    Add("dbname", uri.c_str());
    keywords.push_back(nullptr);
    values.push_back(nullptr);
  }
  void Add(const char* keyword, const char* value) {
    keywords.push_back(keyword);
    values.push_back(value);
  }
  std::vector<const char*> keywords;
  std::vector<const char*> values;
};

std::string Reason(PGconn* conn, const char* what) {
  std::string detail = conn != nullptr ? PQerrorMessage(conn) : "out of memory";
  while (!detail.empty() && (detail.back() == '\n' || detail.back() == ' ')) detail.pop_back();
  return detail.empty() ? what : std::string(what) + ": " + detail;
}

}  // namespace

PGconn* ConnectPostgres(const std::string& uri, const char* program) {
  const Params params(uri, program);
  return PQconnectdbParams(params.keywords.data(), params.values.data(), 1);
}

PgLink::PgLink(std::string uri, const char* program)
    : uri_(std::move(uri)), program_(program), interrupt_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

PgLink::~PgLink() {
  Drop();
  if (interrupt_ >= 0) ::close(interrupt_);
}

bool PgLink::Ready(bool& fresh, std::string& error) {
  fresh = false;
  if (conn_ != nullptr) return true;
  const auto now = Clock::now();
  if (now < nextTry_) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(nextTry_ - now).count();
    error = silence_ + " (next attempt in " + std::to_string(ms) + " ms)";
    return false;
  }
  // A database that refuses at once (down, or no such database) costs little to ask again; one
  // that is silent holds the caller for the whole limit, so it is asked less often.
  bool silent = false;
  if (!Connect(error, silent)) {
    if (silent) Failed(error);
    return false;
  }
  pause_ = std::chrono::milliseconds(0);
  fresh = true;
  return true;
}

bool PgLink::Connect(std::string& error, bool& silent) {
  if (interrupted_) {
    error = "cannot connect to PostgreSQL: stopping";
    return false;
  }
  const Params params(uri_, program_);
  PGconn* conn = PQconnectStartParams(params.keywords.data(), params.values.data(), 1);
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(kConnectSeconds);
  PostgresPollingStatusType step = PGRES_POLLING_WRITING;
  while (conn != nullptr && PQstatus(conn) != CONNECTION_BAD && step != PGRES_POLLING_OK &&
         step != PGRES_POLLING_FAILED) {
    conn_ = conn;  // Wait polls conn_'s socket
    const bool ready = Wait(step == PGRES_POLLING_WRITING, deadline);
    conn_ = nullptr;
    if (!ready) {
      PQfinish(conn);
      silent = !interrupted_;
      error = interrupted_ ? "cannot connect to PostgreSQL: stopping"
                           : "cannot connect to PostgreSQL: no answer within " + std::to_string(kConnectSeconds) + " s";
      return false;
    }
    step = PQconnectPoll(conn);
  }
  if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
    error = Reason(conn, "cannot connect to PostgreSQL");
    PQfinish(conn);
    return false;
  }
  PQsetnonblocking(conn, 1);
  // The server's notices ("relation already exists") are of no use in the log.
  PQsetNoticeProcessor(
      conn, [](void*, const char*) {}, nullptr);
  conn_ = conn;
  return true;
}

PGresult* PgLink::Run(const char* sql, int count, const char* const* values, const int* lengths, const int* formats,
                      std::string& error) {
  if (conn_ == nullptr) {
    error = "not connected to PostgreSQL";
    return nullptr;
  }
  const bool sent = PQsendQueryParams(conn_, sql, count, nullptr, values, lengths, formats, 0) == 1;
  std::vector<PGresult*> got;
  if (!Exchange(sent, 1, got, error)) {
    Drop();
    return nullptr;
  }
  // The first result is the statement's (or its error); the rest end the query.
  while (PGresult* more = PQgetResult(conn_)) PQclear(more);
  if (PQstatus(conn_) == CONNECTION_BAD) {
    error = Reason(conn_, "lost PostgreSQL");
    PQclear(got[0]);
    Drop();
    return nullptr;
  }
  return got[0];
}

bool PgLink::RunTransaction(std::span<const PgStatement> statements, std::vector<PGresult*>& results,
                            std::string& error) {
  results.clear();
  if (conn_ == nullptr) {
    error = "not connected to PostgreSQL";
    return false;
  }
  auto send = [this](const PgStatement& s) {
    return PQsendQueryParams(conn_, s.sql, s.count, nullptr, s.values, s.lengths, s.formats, 0) == 1;
  };
  bool sent = PQenterPipelineMode(conn_) == 1 && send({"BEGIN"});
  for (const PgStatement& statement : statements) sent = sent && send(statement);
  sent = sent && send({"COMMIT"}) && PQpipelineSync(conn_) == 1;
  // BEGIN's result, the statements', COMMIT's, and the end of the pipeline's.
  std::vector<PGresult*> got;
  if (!Exchange(sent, statements.size() + 3, got, error)) {
    for (PGresult* r : got) PQclear(r);
    Drop();
    return false;
  }
  if (PQexitPipelineMode(conn_) != 1) {
    error = Reason(conn_, "lost PostgreSQL");
    for (PGresult* r : got) PQclear(r);
    Drop();
    return false;
  }
  // The first failure tells why; those after it were not run.
  bool ok = true;
  for (size_t i = 0; i + 1 < got.size() && ok; ++i) {
    const ExecStatusType status = PQresultStatus(got[i]);
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) continue;
    ok = false;
    error = PQresultErrorMessage(got[i]);
    while (!error.empty() && (error.back() == '\n' || error.back() == ' ')) error.pop_back();
    if (error.empty()) error = "statement failed";
  }
  for (size_t i = 0; i < got.size(); ++i) {
    if (ok && i >= 1 && i <= statements.size()) {
      results.push_back(got[i]);
    } else {
      PQclear(got[i]);
    }
  }
  // A statement that failed leaves the transaction open and failed (its COMMIT was skipped);
  // a COMMIT that failed has ended it already.
  if (!ok && PQtransactionStatus(conn_) != PQTRANS_IDLE) {
    std::string ignored;
    PQclear(Run("ROLLBACK", ignored));
  }
  return ok;
}

bool PgLink::Exchange(bool sent, size_t wanted, std::vector<PGresult*>& got, std::string& error) {
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(kAnswerSeconds);
  int flushing = sent ? PQflush(conn_) : -1;
  while (flushing == 1 && Wait(true, deadline)) flushing = PQflush(conn_);
  bool answered = flushing == 0;
  // A statement's results end with a null; two in a row mean nothing more is coming.
  int nulls = 0;
  while (answered && got.size() < wanted && nulls < 2 && PQstatus(conn_) != CONNECTION_BAD) {
    if (PQisBusy(conn_) == 1) {
      answered = Wait(false, deadline) && PQconsumeInput(conn_) == 1;
    } else if (PGresult* result = PQgetResult(conn_)) {
      got.push_back(result);
      nulls = 0;
    } else {
      ++nulls;
    }
  }
  if (answered && got.size() == wanted) return true;
  const bool silent = sent && flushing >= 0 && Clock::now() >= deadline;
  error = silent ? "PostgreSQL did not answer within " + std::to_string(kAnswerSeconds) + " s"
                 : Reason(conn_, interrupted_ ? "PostgreSQL: stopping" : "lost PostgreSQL");
  if (silent) Failed(error);
  return false;
}

void PgLink::Drop() {
  PQfinish(conn_);
  conn_ = nullptr;
}

void PgLink::Interrupt() {
  interrupted_ = true;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(interrupt_, &one, sizeof one);
}

bool PgLink::Wait(bool write, Clock::time_point deadline) {
  for (;;) {
    if (interrupted_) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || PQsocket(conn_) < 0) return false;
    pollfd fds[2] = {{PQsocket(conn_), static_cast<short>(write ? POLLOUT : POLLIN), 0}, {interrupt_, POLLIN, 0}};
    const int n = ::poll(fds, 2, static_cast<int>(std::min<long long>(left, 1000)));
    if (n > 0 && fds[1].revents != 0) return false;
    if (n > 0 && fds[0].revents != 0) return true;
  }
}

void PgLink::Failed(const std::string& why) {
  silence_ = why;
  pause_ = std::clamp(pause_ * 2, std::chrono::milliseconds(1000), std::chrono::milliseconds(5000));
  nextTry_ = Clock::now() + pause_;
}

}  // namespace rankd
