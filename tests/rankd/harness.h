#pragma once
// What the rankd tests share: the real rankd program started on a free port, a blocking
// client that speaks the exchange byte by byte, and the two database engines.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include "server/rankd/score.h"
#include "wire/protocol.h"
#include "wire/rank_text.h"

struct sqlite3;
struct pg_conn;

namespace rankd {
// How a kept score shows in a failed expectation.
void PrintTo(const Score& score, std::ostream* out);
}  // namespace rankd

namespace rankd_test {

using namespace std::chrono_literals;

// The rankd program built with the tests, listening on a port the system picks.
class RankdProcess {
 public:
  RankdProcess() = default;
  ~RankdProcess();
  RankdProcess(const RankdProcess&) = delete;
  RankdProcess& operator=(const RankdProcess&) = delete;

  // Starts rankd with these options and --port 0, its standard error into `logPath`;
  // true once it listens (port() then tells where).
  bool Start(const std::vector<std::string>& options, const std::string& logPath);
  // Starts any command line the same way, without waiting for anything.
  bool Spawn(const std::vector<std::string>& command, const std::string& logPath);
  // SIGTERM; the exit status (-1 when it had to be killed, or had died of a signal).
  int Stop(std::chrono::milliseconds patience = 10s);
  // Waits for the end: the exit status, or -1 (killed) when `patience` runs out.
  int Wait(std::chrono::milliseconds patience);
  void Kill();  // SIGKILL, and waits for it
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  uint16_t port() const { return port_; }
  std::string Log() const;  // everything it wrote so far
  // Whether a line with `text` shows in the log within `patience` (lines are written a
  // moment after their exchange ends).
  bool LogShows(const std::string& text, std::chrono::milliseconds patience = 5s) const;
  // A figure of /proc/<pid>/status in kB (VmHWM, VmRSS), -1 when unknown.
  long StatusKb(const char* field) const;

 private:
  pid_t pid_ = -1;
  uint16_t port_ = 0;
  std::string logPath_;
};

// Runs a program to its end; its exit status and what it wrote to both outputs.
int RunProgram(const std::vector<std::string>& argv, std::string& output);

// A client connection with a time limit on every wait.
class Client {
 public:
  // Connects to 127.0.0.1:port, from the local address `from` when given (any 127.x.y.z).
  explicit Client(uint16_t port, const char* from = nullptr);
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool connected() const { return fd_ >= 0; }
  // Every send goes out as a segment of its own.
  void NoDelay();
  bool Send(const void* bytes, size_t size);
  bool Send(const std::vector<uint8_t>& bytes) { return Send(bytes.data(), bytes.size()); }
  // Exactly `size` bytes, or false when the server closed first or time ran out.
  bool Receive(void* to, size_t size, std::chrono::milliseconds patience = 5s);
  // True when the server closes (or resets) the connection within `patience` without
  // sending anything more; bytes that do arrive make it false.
  bool ClosedByServer(std::chrono::milliseconds patience = 5s);
  void Close();

 private:
  int fd_ = -1;
};

// What a client sees of one exchange.
struct Seen {
  bool reply = false;  // the 56-byte reply arrived
  uint32_t threshold = 0;
  bool text = false;  // the header and the whole listing arrived
  std::string listing;
};
ScoreSubmission Submission(const std::string& name, int32_t stage, uint32_t score, int32_t bestCombo = 0,
                           uint32_t playSeconds = 0);
std::vector<uint8_t> SubmissionBytes(const ScoreSubmission& s);
std::vector<uint8_t> DeclineBytes();
std::vector<uint8_t> RequestBytes(uint8_t mode);
// A whole exchange: the request, then the answer chosen from the threshold (nullptr: the
// submission `s`, sent whatever the threshold), then the listing.
Seen Decline(uint16_t port, int mode);
// `from`: the local address the client connects from (any 127.x.y.z), or the default.
Seen Submit(uint16_t port, int mode, const ScoreSubmission& s, const char* from = nullptr);
// Reads the header and listing after the answer was sent.
bool ReceiveListing(Client& client, std::string& listing, std::chrono::milliseconds patience = 5s);

// The listing the server must send for these scores, placed in this order.
std::string ExpectedListing(const std::vector<rankd::Score>& scores, int mode);
rankd::Score ScoreOf(int mode, const ScoreSubmission& s);

// Polls until `done` holds or `patience` runs out.
template <typename F>
bool WaitFor(F done, std::chrono::milliseconds patience = 5s) {
  const auto end = std::chrono::steady_clock::now() + patience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    struct timespec pause = {0, 5'000'000};
    nanosleep(&pause, nullptr);
  }
  return true;
}

// The database a test runs on. SQLite: a file in a fresh folder. PostgreSQL: a fresh
// database on the server the test command started (BRAKKEL_TEST_PG_URI); without one the
// test is skipped, and with one that cannot be reached it fails.
class TestDatabase {
 public:
  TestDatabase() = default;
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;
  // "sqlite" or "postgresql". False with a reason in `why`; `skip` tells whether the
  // reason is that no PostgreSQL server was given.
  bool Create(const std::string& engine, const std::string& folder, std::string& why, bool& skip);
  const std::string& where() const { return where_; }

 private:
  std::string where_;
  std::string admin_;
  std::string name_;
};

// A connection of the test's own to a test database (SQLite file or PostgreSQL URI), for
// what the servers' interfaces do not do: changing rows by hand, holding a lock.
class DatabaseHand {
 public:
  explicit DatabaseHand(const std::string& where);
  ~DatabaseHand();
  DatabaseHand(const DatabaseHand&) = delete;
  DatabaseHand& operator=(const DatabaseHand&) = delete;
  // Runs the statements of the database's engine; false with the reason in `why`.
  bool Exec(const std::string& sqlite, const std::string& postgres, std::string& why);

 private:
  ::sqlite3* lite_ = nullptr;
  ::pg_conn* pg_ = nullptr;
};

}  // namespace rankd_test
