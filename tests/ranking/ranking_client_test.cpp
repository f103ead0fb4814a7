// The ranking connection against scripted loopback servers.
#include <gtest/gtest.h>

#include <cstring>

#include "app/window.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/net.h"
#include "platform/testing/input.h"
#include "ranking/ranking_client.h"
#include "support/scripted_server.h"

namespace {

class RankingClientTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(CreateGameWindow()); }
  void SetUp() override {
    PumpMessages();
    InputState = InputStateRecord{};
    client = RankingClient{};
  }
  void TearDown() override {
    client.Cleanup();
    platform::UseRealClock();
  }
  // Polls (real time, up to about 5 s) until the client holds `count` bytes or the
  // connection ends; returns the last poll's result.
  bool PollUntilHeld(uint32_t count) {
    bool result = true;
    for (int i = 0; i < 1000 && result && client.fillLevel < count; ++i) {
      result = client.PollReceive(0, 5000);
    }
    return result;
  }
  RankingClient& client = RankingConnection;
};

TEST_F(RankingClientTest, TwoMessagesInOneReceiveAndConsumingTheFirst) {
  const Bytes both = Concat({ThresholdReplyBytes(777), RankTextBytes(3, {'a', 'b', 'c'})});
  ScriptedServer server({Send(both), Hold()});
  ASSERT_TRUE(client.ConnectTo("127.0.0.1", server.Port()));
  EXPECT_EQ(client.connected, 1);
  ASSERT_TRUE(PollUntilHeld(67));
  ASSERT_EQ(client.fillLevel, 67u);
  EXPECT_EQ(std::memcmp(client.receiveBuffer, both.data(), 67), 0);
  EXPECT_EQ(client.receiveBuffer[67], 0);

  client.Consume(56);
  EXPECT_EQ(client.fillLevel, 11u);
  EXPECT_EQ(std::memcmp(client.receiveBuffer, both.data() + 56, 11), 0);
  for (uint32_t i = 11; i <= 67; ++i) ASSERT_EQ(client.receiveBuffer[i], 0) << i;

  // Nothing more to read: nothing changes.
  EXPECT_TRUE(client.PollReceive(0, 10));
  EXPECT_EQ(client.fillLevel, 11u);
}

TEST_F(RankingClientTest, ConsumingAllOrMoreEmptiesTheBuffer) {
  const uint8_t bytes[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  client.Deliver(bytes, 10);
  client.Consume(10);
  EXPECT_EQ(client.fillLevel, 0u);
  EXPECT_EQ(client.receiveBuffer[0], 0);
  client.Deliver(bytes, 10);
  client.Consume(4000000000u);
  EXPECT_EQ(client.fillLevel, 0u);
  client.Deliver(bytes, 10);
  EXPECT_EQ(client.receiveBuffer[0], 1);
  EXPECT_EQ(client.receiveBuffer[10], 0);
  // A new exchange begins with an empty buffer, even when its connect fails.
  client.Cleanup();
  ASSERT_FALSE(client.ConnectTo("not an address", 9));
  EXPECT_EQ(client.fillLevel, 0u);
  EXPECT_EQ(client.receiveBuffer[0], 0);
  EXPECT_EQ(client.connected, 0);
  EXPECT_FALSE(client.PollReceive(0, 10));
}

TEST_F(RankingClientTest, AServerThatClosesAtOnce) {
  ScriptedServer server({CloseConnection()});
  ASSERT_TRUE(client.ConnectTo("127.0.0.1", server.Port()));
  ASSERT_TRUE(server.WaitUntilDone());
  EXPECT_FALSE(PollUntilHeld(1));
  EXPECT_EQ(client.connected, 0);
  EXPECT_EQ(client.fillLevel, 0u);
  const uint8_t request[2] = {0, 1};
  EXPECT_FALSE(client.SendBytes(request, 2));
  // Once closed, a poll stays at 0 and reads nothing.
  EXPECT_FALSE(client.PollReceive(0, 10));
}

TEST_F(RankingClientTest, SentBytesReachTheServerAndBytesBeforeACloseStay) {
  ScriptedServer server({Receive(3), Send({9, 8, 7}), CloseConnection()});
  ASSERT_TRUE(client.ConnectTo("127.0.0.1", server.Port()));
  const uint8_t bytes[3] = {0, 2, 0xFF};
  EXPECT_TRUE(client.SendBytes(bytes, 3));
  ASSERT_TRUE(server.WaitUntilDone());
  EXPECT_EQ(server.Received(), (Bytes{0, 2, 0xFF}));
  EXPECT_FALSE(PollUntilHeld(100));  // the close ends the polling
  ASSERT_EQ(client.fillLevel, 3u);   // what came before it is kept
  EXPECT_EQ(client.receiveBuffer[0], 9);
  EXPECT_EQ(client.receiveBuffer[2], 7);
  // Sending to a server that has gone away fails quietly, with no signal.
  EXPECT_FALSE(client.SendBytes(bytes, 3));
}

TEST_F(RankingClientTest, AFullBufferEndsTheConnectionAndNotTheProgram) {
  ScriptedServer server({Send(Bytes(kReceiveCapacity + 500, 'x')), Hold()});
  ASSERT_TRUE(client.ConnectTo("127.0.0.1", server.Port()));
  ASSERT_TRUE(PollUntilHeld(kReceiveCapacity));
  EXPECT_EQ(client.fillLevel, kReceiveCapacity);
  EXPECT_EQ(client.receiveBuffer[kReceiveCapacity], 0);
  EXPECT_FALSE(PollUntilHeld(kReceiveCapacity + 1));
  EXPECT_EQ(client.connected, 0);
  EXPECT_EQ(client.fillLevel, kReceiveCapacity);
  EXPECT_EQ(InputState.quit, 0);
}

TEST_F(RankingClientTest, RefusedAndMalformedAddressesFail) {
  EXPECT_FALSE(client.ConnectTo("127.0.0.1", ClosedPort()));
  EXPECT_EQ(client.connected, 0);
  client.Cleanup();
  EXPECT_FALSE(client.ConnectTo("127.0.0.1.5", ClosedPort()));
  EXPECT_FALSE(client.ConnectTo("", 20));
  EXPECT_FALSE(client.ConnectTo(nullptr, 20));
  EXPECT_FALSE(client.ConnectTo("localhost", ClosedPort()));
  EXPECT_EQ(client.connected, 0);
}

// The host by name and by IPv6 address: the connection is real (the bytes arrive) and the
// client tells which address it reached, for the replay's upload.
TEST_F(RankingClientTest, ConnectsByNameAndByIpv6Address) {
  {
    ScriptedServer server({Receive(2), CloseConnection()});
    ASSERT_TRUE(client.ConnectTo("localhost", server.Port()));
    const uint8_t request[2] = {0, 1};
    EXPECT_TRUE(client.SendBytes(request, 2));
    ASSERT_TRUE(server.WaitUntilDone());
    EXPECT_EQ(server.Received(), (Bytes{0, 1}));
    EXPECT_EQ(client.endpoint.port, server.Port());
    client.Cleanup();
  }
  if (!ScriptedServer::HasIpv6Loopback()) GTEST_SKIP() << "this machine has no IPv6 loopback (::1) to listen on";
  ScriptedServer server({Receive(2), CloseConnection()}, true);
  ASSERT_TRUE(client.ConnectTo("::1", server.Port()));
  const uint8_t request[2] = {0, 2};
  EXPECT_TRUE(client.SendBytes(request, 2));
  ASSERT_TRUE(server.WaitUntilDone());
  EXPECT_EQ(server.Received(), (Bytes{0, 2}));
  EXPECT_TRUE(client.endpoint.v6);
  EXPECT_EQ(client.endpoint.address[15], 1);
  EXPECT_EQ(client.endpoint.port, server.Port());
}

// A name no resolver knows (.invalid never resolves) is unreachable, within the connect's
// limit however slow the system's resolver is to say so, and the window is served meanwhile.
TEST_F(RankingClientTest, ANameThatDoesNotResolveIsUnreachableWithinTheLimit) {
  const uint32_t start = platform::Ticks();
  platform::PushMouseMove(77, 33);
  EXPECT_FALSE(client.ConnectTo("no-such-server.brakkel.invalid", 20));
  EXPECT_LT(platform::Ticks() - start, 2 * kConnectLimitMs);
  EXPECT_EQ(client.connected, 0);
  EXPECT_EQ(client.socketHandle, -1);
  EXPECT_EQ(InputState.mouseX, 77);
}

// Of a host's addresses, one that never answers takes only its share of the time: the next
// one still gets connected to within the limit.
TEST_F(RankingClientTest, AFirstAddressThatNeverAnswersLeavesTimeForTheNext) {
  HangingListener hanging;
  ScriptedServer server({Hold()});
  std::vector<platform::Endpoint> silent, answering;
  ASSERT_TRUE(platform::ResolveHost("127.0.0.1", hanging.Port(), true, silent));
  ASSERT_TRUE(platform::ResolveHost("127.0.0.1", server.Port(), true, answering));
  platform::UseFakeClock(100000);
  const uint32_t start = platform::Ticks();
  ASSERT_TRUE(client.ConnectToAny({silent[0], answering[0]}, kConnectLimitMs));
  const uint32_t waited = platform::Ticks() - start;
  EXPECT_GE(waited, kConnectLimitMs / 2);
  EXPECT_LE(waited, kConnectLimitMs / 2 + 2 * kConnectWaitStepMs);
  EXPECT_EQ(client.endpoint, answering[0]);
  EXPECT_EQ(client.connected, 1);
  // Neither answering: the whole limit, then nothing held.
  client.Cleanup();
  const uint32_t again = platform::Ticks();
  EXPECT_FALSE(client.ConnectToAny({silent[0], silent[0]}, kConnectLimitMs));
  EXPECT_LE(platform::Ticks() - again, kConnectLimitMs + 2 * kConnectWaitStepMs);
  EXPECT_EQ(client.socketHandle, -1);
}

TEST_F(RankingClientTest, AHangingConnectGivesUpAfterFiveSecondsWhileThePumpRuns) {
  HangingListener server;
  platform::UseFakeClock(100000);
  int waits = 0;
  int lastX = -1;
  platform::SetWaitHook([&](uint32_t now) {
    ++waits;
    lastX = static_cast<int>(now % 600);
    platform::PushMouseMove(lastX, 40);
  });
  const uint32_t start = platform::Ticks();
  EXPECT_FALSE(client.ConnectTo("127.0.0.1", server.Port()));
  const uint32_t waited = platform::Ticks() - start;
  EXPECT_GE(waited, kConnectLimitMs);
  EXPECT_LE(waited, kConnectLimitMs + kConnectWaitStepMs);
  // Waits of a few milliseconds each, and every event pushed meanwhile was taken in.
  EXPECT_GE(waits, static_cast<int>(kConnectLimitMs / kConnectWaitStepMs));
  EXPECT_EQ(InputState.mouseX, lastX);
  EXPECT_EQ(InputState.mouseY, 40);
  EXPECT_EQ(client.connected, 0);
}

TEST_F(RankingClientTest, AHangingConnectGivesUpInRealTimeToo) {
  HangingListener server;
  const uint32_t start = platform::Ticks();
  platform::PushMouseMove(123, 45);
  EXPECT_FALSE(client.ConnectTo("127.0.0.1", server.Port()));
  const uint32_t waited = platform::Ticks() - start;
  EXPECT_GE(waited, kConnectLimitMs);
  EXPECT_LT(waited, 4 * kConnectLimitMs);  // it gives up, however slow the machine
  EXPECT_EQ(InputState.mouseX, 123);       // the window was served while the connect waited
}

}  // namespace
