// The rankd tests' program runner, client and databases.
#include "tests/rankd/harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "support/files.h"

#include "server/rankd/rank_cache.h"
#include "server/rankd/store.h"
#include "server/rankload/process_status.h"

namespace rankd {

void PrintTo(const Score& score, std::ostream* out) {
  *out << "{mode " << score.mode << ", '" << score.name << "', stage " << score.stage << ", score " << score.score
       << ", combo " << score.bestCombo << ", " << score.playSeconds << " s}";
}

}  // namespace rankd

namespace rankd_test {

namespace {

std::vector<char*> Argv(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

}  // namespace

RankdProcess::~RankdProcess() {
  if (pid_ > 0) Kill();
}

bool RankdProcess::Spawn(const std::vector<std::string>& command, const std::string& logPath) {
  logPath_ = logPath;
  std::vector<std::string> args = command;
  std::vector<char*> argv = Argv(args);
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (log >= 0) {
      dup2(log, STDOUT_FILENO);
      dup2(log, STDERR_FILENO);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  pid_ = pid;
  return true;
}

bool RankdProcess::Start(const std::vector<std::string>& options, const std::string& logPath) {
  const size_t from = ReadFileText(logPath).size();
  std::vector<std::string> args = {RANKD_BINARY, "--port", "0"};
  args.insert(args.end(), options.begin(), options.end());
  if (!Spawn(args, logPath)) return false;
  port_ = 0;
  const bool up = WaitFor(
      [&] {
        const std::string all = ReadFileText(logPath);
        const std::string log = all.substr(std::min(from, all.size()));
        // "listening on ADDRESS:PORT (...)", an IPv6 address in brackets: the port follows
        // the last colon before the space.
        const size_t at = log.find("listening on ");
        const size_t space = at == std::string::npos ? at : log.find(' ', at + 13);
        const size_t colon = space == std::string::npos ? space : log.rfind(':', space);
        if (colon != std::string::npos) {
          port_ = static_cast<uint16_t>(std::atoi(log.c_str() + colon + 1));
          return port_ != 0;
        }
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
          pid_ = -1;
          return true;  // died before listening
        }
        return false;
      },
      20s);
  if (!up || pid_ < 0) {
    if (pid_ > 0) Kill();
    return false;
  }
  return true;
}

int RankdProcess::Stop(std::chrono::milliseconds patience) {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  return Wait(patience);
}

int RankdProcess::Wait(std::chrono::milliseconds patience) {
  if (pid_ <= 0) return -1;
  int status = 0;
  const bool ended = WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, patience);
  if (!ended) {
    Kill();
    return -1;
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void RankdProcess::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::string RankdProcess::Log() const { return ReadFileText(logPath_); }

bool RankdProcess::LogShows(const std::string& text, std::chrono::milliseconds patience) const {
  return WaitFor([&] { return Log().find(text) != std::string::npos; }, patience);
}

long RankdProcess::StatusKb(const char* field) const { return rankload::StatusKb(pid_, field); }

int RunProgram(const std::vector<std::string>& command, std::string& output) {
  std::vector<std::string> args = command;
  std::vector<char*> argv = Argv(args);
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    dup2(pipeFds[1], STDERR_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  output.clear();
  char chunk[4096];
  ssize_t n;
  while ((n = read(pipeFds[0], chunk, sizeof chunk)) > 0) output.append(chunk, static_cast<size_t>(n));
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Client::Client(uint16_t port, const char* from) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (from != nullptr) {
    inet_pton(AF_INET, from, &address.sin_addr);
    if (bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) Close();
  }
  address.sin_port = htons(port);
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  if (fd_ >= 0 && connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) Close();
}

Client::~Client() { Close(); }

void Client::NoDelay() {
  const int one = 1;
  if (fd_ >= 0) setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void Client::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool Client::Send(const void* bytes, size_t size) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  while (fd_ >= 0 && size > 0) {
    const ssize_t n = send(fd_, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return fd_ >= 0;
}

bool Client::Receive(void* to, size_t size, std::chrono::milliseconds patience) {
  auto* p = static_cast<uint8_t*>(to);
  const auto end = std::chrono::steady_clock::now() + patience;
  while (fd_ >= 0 && size > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd wait = {fd_, POLLIN, 0};
    if (poll(&wait, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t n = recv(fd_, p, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return fd_ >= 0;
}

bool Client::ClosedByServer(std::chrono::milliseconds patience) {
  if (fd_ < 0) return false;
  pollfd wait = {fd_, POLLIN, 0};
  if (poll(&wait, 1, static_cast<int>(patience.count())) <= 0) return false;
  uint8_t byte;
  const ssize_t n = recv(fd_, &byte, 1, 0);
  return n == 0 || (n < 0 && (errno == ECONNRESET || errno == EPIPE));
}

ScoreSubmission Submission(const std::string& name, int32_t stage, uint32_t score, int32_t bestCombo,
                           uint32_t playSeconds) {
  ScoreSubmission s;
  std::memcpy(s.name, name.data(), std::min(name.size(), sizeof s.name));
  s.stage = stage;
  s.score = score;
  s.bestCombo = bestCombo;
  s.playSeconds = playSeconds;
  s.checkCode = CheckCode(score, stage, bestCombo, playSeconds);
  return s;
}

std::vector<uint8_t> SubmissionBytes(const ScoreSubmission& s) {
  std::vector<uint8_t> bytes(kScoreSubmissionBytes);
  EncodeScoreSubmission(s, bytes.data());
  return bytes;
}

std::vector<uint8_t> DeclineBytes() {
  std::vector<uint8_t> bytes(kRankDeclineBytes);
  EncodeRankDecline(bytes.data());
  return bytes;
}

std::vector<uint8_t> RequestBytes(uint8_t mode) {
  std::vector<uint8_t> bytes(kRankRequestBytes);
  RankRequest request;
  request.mode = mode;
  EncodeRankRequest(request, bytes.data());
  return bytes;
}

bool ReceiveListing(Client& client, std::string& listing, std::chrono::milliseconds patience) {
  uint8_t header[kRankTextHeaderBytes];
  if (!client.Receive(header, sizeof header, patience)) return false;
  const uint32_t length = DecodeRankTextHeader(header);
  if (length > 100000) return false;
  listing.assign(length, '\0');
  return client.Receive(listing.data(), length, patience);
}

namespace {

Seen Play(uint16_t port, int mode, const std::vector<uint8_t>* answer, const char* from = nullptr) {
  Seen seen;
  Client client(port, from);
  uint8_t reply[kThresholdReplyBytes];
  if (!client.Send(RequestBytes(static_cast<uint8_t>(mode))) || !client.Receive(reply, sizeof reply)) return seen;
  seen.reply = true;
  seen.threshold = DecodeThresholdReply(reply);
  const std::vector<uint8_t> decline = DeclineBytes();
  if (!client.Send(answer != nullptr ? *answer : decline)) return seen;
  seen.text = ReceiveListing(client, seen.listing);
  return seen;
}

}  // namespace

Seen Decline(uint16_t port, int mode) { return Play(port, mode, nullptr); }

Seen Submit(uint16_t port, int mode, const ScoreSubmission& s, const char* from) {
  const std::vector<uint8_t> bytes = SubmissionBytes(s);
  return Play(port, mode, &bytes, from);
}

rankd::Score ScoreOf(int mode, const ScoreSubmission& s) { return rankd::ScoreFromSubmission(mode, s); }

std::string ExpectedListing(const std::vector<rankd::Score>& scores, int mode) {
  ScoreTable tables[rankd::kModes];
  rankd::PlaceScores(scores, tables);
  const std::vector<uint8_t> message = rankd::RankTextMessage(tables[mode]);
  return std::string(message.begin() + kRankTextHeaderBytes, message.end());
}

namespace {

bool AdminExec(const std::string& admin, const std::string& sql, std::string& why) {
  PGconn* conn = PQconnectdb(admin.c_str());
  bool ok = PQstatus(conn) == CONNECTION_OK;
  if (ok) {
    PGresult* result = PQexec(conn, sql.c_str());
    ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
  }
  if (!ok) why = PQerrorMessage(conn);
  PQfinish(conn);
  return ok;
}

std::atomic<int> databaseCount{0};

}  // namespace

bool TestDatabase::Create(const std::string& engine, const std::string& folder, std::string& why, bool& skip) {
  skip = false;
  if (engine == "sqlite") {
    where_ = folder + "/rankd.sqlite";
    return true;
  }
  const char* uri = std::getenv("BRAKKEL_TEST_PG_URI");
  if (uri == nullptr || *uri == 0) {
    skip = true;
    why = "BRAKKEL_TEST_PG_URI is not set: no PostgreSQL server to test against (scripts/test.sh starts one)";
    return false;
  }
  admin_ = std::string(uri) + "/postgres";
  const std::string name = "rankd_test_" + std::to_string(getpid()) + "_" + std::to_string(databaseCount++);
  if (!AdminExec(admin_, "CREATE DATABASE " + name, why)) {
    why = "the test command's PostgreSQL server (" + std::string(uri) + ") cannot be used: " + why;
    return false;
  }
  name_ = name;
  where_ = std::string(uri) + "/" + name;
  return true;
}

TestDatabase::~TestDatabase() {
  std::string ignored;
  if (!name_.empty()) AdminExec(admin_, "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)", ignored);
}

DatabaseHand::DatabaseHand(const std::string& where) {
  if (rankd::IsPostgresUri(where)) {
    pg_ = PQconnectdb(where.c_str());
  } else {
    sqlite3_open_v2(where.c_str(), &lite_, SQLITE_OPEN_READWRITE, nullptr);
  }
}

DatabaseHand::~DatabaseHand() {
  if (pg_ != nullptr) PQfinish(pg_);
  if (lite_ != nullptr) sqlite3_close_v2(lite_);
}

bool DatabaseHand::Exec(const std::string& sqlite, const std::string& postgres, std::string& why) {
  if (pg_ != nullptr) {
    PGresult* result = PQexec(pg_, postgres.c_str());
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
    PQclear(result);
    if (!ok) why = PQerrorMessage(pg_);
    return ok;
  }
  if (lite_ == nullptr || sqlite3_exec(lite_, sqlite.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    why = lite_ != nullptr ? sqlite3_errmsg(lite_) : "cannot open the database";
    return false;
  }
  return true;
}

}  // namespace rankd_test
