#pragma once
// A ranking server for tests: listens on a free loopback port and plays a script of bytes
// to the first client on its own thread, keeping everything the client sent.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct ScriptStep {
  enum Kind { kSend, kReceive, kPause, kClose, kHold };
  Kind kind = kClose;
  Bytes bytes;       // kSend
  size_t count = 0;  // kReceive: bytes to wait for
  int ms = 0;        // kPause
};
ScriptStep Send(Bytes bytes);
ScriptStep Receive(size_t count);
ScriptStep Pause(int ms);
// Closes the connection (also what happens when the script runs out).
ScriptStep CloseConnection();
// Keeps the connection open and silent, taking whatever the client sends until it closes.
ScriptStep Hold();

class ScriptedServer {
 public:
  // Listens on 127.0.0.1, or with `ipv6` on ::1 (see HasIpv6Loopback).
  explicit ScriptedServer(std::vector<ScriptStep> script, bool ipv6 = false);
  // Whether the machine has an IPv6 loopback a server may listen on.
  static bool HasIpv6Loopback();
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  uint16_t Port() const { return port_; }
  // Everything the client sent so far.
  Bytes Received();
  // Waits (real time, up to 10 s) until the script's end or until the server waits for
  // bytes that the client has not sent: the client's turn. A fake clock's wait hook calls
  // this, so fake time only runs on while nothing is on its way.
  void WaitForClientsTurn();
  // Waits (real time, up to 10 s) until the client has closed its side or the script ended.
  bool WaitUntilDone();

 private:
  enum class State { Busy, Reading, Done };
  void Run(std::vector<ScriptStep> script);
  bool ReadSome(size_t limit);  // false when the client closed or the server stops
  bool ClientsTurn();

  int listener_ = -1;
  int connection_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  State state_ = State::Busy;
  Bytes received_;
  std::thread thread_;
};

// A loopback port that nobody listens on (a free one, taken and given back).
uint16_t ClosedPort();

// A listening socket whose one-place queue is already taken: further connects to it hang
// until the client gives up.
class HangingListener {
 public:
  HangingListener();
  ~HangingListener();
  HangingListener(const HangingListener&) = delete;
  HangingListener& operator=(const HangingListener&) = delete;
  uint16_t Port() const { return port_; }

 private:
  int listener_ = -1;
  int filler_ = -1;
  uint16_t port_ = 0;
};

// Message bytes as the server sends them.
Bytes ThresholdReplyBytes(uint32_t threshold);
Bytes RankTextBytes(uint32_t length, const Bytes& text);
Bytes Concat(std::initializer_list<Bytes> parts);
