// netplay --watch's fetch of a listed game's replay against scripted loopback servers: what is
// sent, what is taken, and how a server that is down, silent, older or hostile ends it. The
// waits of whole limits run under the fake clock; the rest in real time, where a server's
// long send never waits on the test's clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "ranking/ranking_client.h"
#include "ranking/ranking_exchange.h"
#include "ranking/replay_fetch.h"
#include "support/cp949_text.h"
#include "support/scripted_server.h"

namespace {

using namespace platform;

constexpr uint32_t kClockStart = 7000000;

// The reply's length as the server writes it, byte by byte.
Bytes Length(uint32_t n) {
  return {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
          static_cast<uint8_t>(n >> 24)};
}

Bytes Pattern(size_t count) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 7919 >> 5);
  return bytes;
}

class ReplayFetchTest : public ::testing::Test {
 protected:
  // Fake time runs on only while the server waits for the client or has ended its script.
  void UseFakeTime() {
    UseFakeClock(kClockStart);
    SetWaitHook([this](uint32_t) {
      if (server_) server_->WaitForClientsTurn();
    });
  }
  void TearDown() override {
    SetWaitHook(nullptr);
    UseRealClock();
  }

  ReplayFetchEnd Fetch(ScriptedServer& server, ReplayFetch fetch = {1, 3}) {
    server_ = &server;
    start_ = Ticks();
    error.clear();
    const ReplayFetchEnd end = FetchListedReplay("127.0.0.1", server.Port(), fetch, bytes, error);
    server_ = nullptr;
    return end;
  }

  std::vector<uint8_t> bytes;
  std::string error;
  uint32_t start_ = 0;
  ScriptedServer* server_ = nullptr;
};

TEST_F(ReplayFetchTest, TheWholeReplayInManyPiecesAndTheFetchAsSent) {
  // Longer than the connection's receive buffer, sent in pieces split inside the length too.
  const Bytes replay = Pattern(3 * kReceiveCapacity + 17);
  const Bytes head = Length(static_cast<uint32_t>(replay.size()));
  ScriptedServer server({Receive(3), Send({head[0], head[1]}), Pause(5), Send({head[2], head[3]}),
                         Send(Bytes(replay.begin(), replay.begin() + 70000)), Pause(5),
                         Send(Bytes(replay.begin() + 70000, replay.end())), CloseConnection()});
  EXPECT_EQ(Fetch(server, {2, 20}), ReplayFetchEnd::Fetched) << error;
  EXPECT_EQ(bytes, replay);
  EXPECT_TRUE(server.WaitUntilDone());
  EXPECT_EQ(server.Received(), (Bytes{4, 2, 20}));
  EXPECT_EQ(RankingConnection.socketHandle, -1);

  // The longest replay taken comes whole as well.
  const Bytes longest = Pattern(kReplayMostBytes);
  ScriptedServer most({Receive(3), Send(Concat({Length(kReplayMostBytes), longest})), CloseConnection()});
  EXPECT_EQ(Fetch(most), ReplayFetchEnd::Fetched) << error;
  EXPECT_EQ(bytes, longest);
}

// The ends that are no replay: a server that keeps none for the place, an older server that
// closes on a message it does not know, one that cannot be reached or never answers the
// connect, and one that goes silent before its reply is closed.
TEST_F(ReplayFetchTest, ServersWithoutAReplayEndTheFetchAsTheyShould) {
  ScriptedServer notKept({Receive(3), Send(Length(0)), CloseConnection()});
  EXPECT_EQ(Fetch(notKept), ReplayFetchEnd::NotKept);
  ScriptedServer older({Receive(1), CloseConnection()});
  EXPECT_EQ(Fetch(older), ReplayFetchEnd::NoReply);

  UseFakeTime();

  const uint16_t closed = ClosedPort();
  EXPECT_EQ(FetchListedReplay("127.0.0.1", closed, {0, 1}, bytes, error), ReplayFetchEnd::Unreachable);
  HangingListener hanging;
  start_ = Ticks();
  EXPECT_EQ(FetchListedReplay("127.0.0.1", hanging.Port(), {0, 1}, bytes, error), ReplayFetchEnd::Unreachable);
  EXPECT_GE(Ticks() - start_, kConnectLimitMs);
  EXPECT_LT(Ticks() - start_, kConnectLimitMs + 100);

  const std::vector<std::vector<ScriptStep>> silent = {
      {Receive(3), Hold()},
      {Receive(3), Send(Concat({Length(100), Pattern(60)})), Hold()},
      {Receive(3), Send(Concat({Length(60), Pattern(60)})), Hold()},  // whole, but never closed
  };
  for (size_t i = 0; i < silent.size(); ++i) {
    SCOPED_TRACE(i);
    ScriptedServer server(silent[i]);
    EXPECT_EQ(Fetch(server), ReplayFetchEnd::Silent);
    EXPECT_GE(Ticks() - start_, kServerSilenceLimitMs);
    EXPECT_LT(Ticks() - start_, kServerSilenceLimitMs + 100);
    EXPECT_TRUE(bytes.empty());
    EXPECT_TRUE(server.WaitUntilDone());  // the client hung up
  }
  EXPECT_EQ(RankingConnection.socketHandle, -1);
}

// Replies that cannot be a replay are refused with a reason; no room is made on an announced
// length alone, and nothing of them is kept.
TEST_F(ReplayFetchTest, HostileRepliesAreRefusedWithoutTakingMemoryOnTheirWord) {
  const std::vector<std::vector<ScriptStep>> scripts = {
      {Receive(3), Send(Concat({Length(kReplayMostBytes + 1), Pattern(200000)})), CloseConnection()},
      {Receive(3), Send(Concat({Length(0xFFFFFFFFu), Pattern(9)})), Hold()},
      {Receive(3), Send(Concat({Length(kReplayMostBytes), Pattern(10)})), CloseConnection()},
      {Receive(3), Send(Concat({Length(5000), Pattern(4999)})), CloseConnection()},
      {Receive(3), Send({1, 0}), CloseConnection()},
      {Receive(3), Send(Concat({Length(100), Pattern(101)})), CloseConnection()},
      {Receive(3), Send(Concat({Length(100), Pattern(100)})), Pause(10), Send({0}), CloseConnection()},
      {Receive(3), Send(Concat({Length(0), Pattern(1)})), CloseConnection()},
      {Receive(3), Send(Pattern(120000)), CloseConnection()},
  };
  for (size_t i = 0; i < scripts.size(); ++i) {
    SCOPED_TRACE(i);
    ScriptedServer server(scripts[i]);
    EXPECT_EQ(Fetch(server), ReplayFetchEnd::BadReply);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_TRUE(bytes.empty());
    // Room for what came, never for the megabyte or more announced.
    EXPECT_LT(bytes.capacity(), 2 * kReceiveCapacity);
    EXPECT_LT(Ticks() - start_, kServerSilenceLimitMs);
    EXPECT_TRUE(server.WaitUntilDone());
  }
}

// What the player reads: one line on standard error for each failure.
TEST_F(ReplayFetchTest, EachFailureTellsThePlayerInOneLine) {
  struct Case {
    std::vector<ScriptStep> script;  // empty: nobody listens
    std::string says;
  };
  const std::vector<Case> cases = {
      {{}, "연결이 않됩니다.. (the ranking server 127.0.0.1 port "},
      {{Receive(3), Send(Length(0)), CloseConnection()}, "keeps no replay of hardcore place 7"},
      {{Receive(3), CloseConnection()}, "closed without a reply"},
      {{Receive(3), Send(Length(kReplayMostBytes + 1)), CloseConnection()}, "reply for hardcore place 7 is refused"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    std::unique_ptr<ScriptedServer> server;
    if (!c.script.empty()) server = std::make_unique<ScriptedServer>(c.script);
    server_ = server.get();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(FetchReplayToWatch("127.0.0.1", server ? server->Port() : ClosedPort(), 2, 7, bytes));
    const std::string said = ::testing::internal::GetCapturedStderr();
    server_ = nullptr;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find(c.says), std::string::npos) << said;
  }
}

}  // namespace
