// The whole exchange after a game against scripted loopback servers, with the real dialogs
// answered by pushed keys under the fake clock: what is sent, what is shown, and how a
// server that is down, slow or hostile ends it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/edition.h"
#include "app/played_game.h"
#include "app/window.h"
#include "platform/clock.h"
#include "platform/dialog/dialog.h"
#include "platform/display.h"
#include "platform/messagebox.h"
#include "platform/testing/input.h"
#include "ranking/dialog_templates.h"
#include "ranking/dialogs.h"
#include "ranking/ranking_client.h"
#include "ranking/ranking_exchange.h"
#include "support/cp949_text.h"
#include "support/game_window.h"
#include "support/scripted_server.h"

namespace {

using namespace platform;

const std::string kUnreachableCaption = Cp949("네트워크가 않되거나 서버가 꺼졌습니다");
const std::string kUnreachableText = Cp949("연결이 않됩니다..");

constexpr uint32_t kClockStart = 5000000;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

uint32_t Le32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

class ExchangeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(CreateGameWindow()); }
  void SetUp() override {
    ASSERT_TRUE(GameWindowReady());
    Edition = EditionTraits{.longestName = 9, .musicAfterQuit = true, .onlineRanking = true};
    SetMessageBoxHook([this](const char* caption, const char* text) { boxes.push_back({caption, text}); });
    UseFakeClock(kClockStart);
    SetWaitHook([this](uint32_t now) { OnWait(now); });
    CurrentGame() = PlayedGame{};
    CurrentGame().view.startClock = kClockStart - 61500;  // 61 seconds of play
    counters.stageNumber = 3;
    counters.bestCombo = 12;
    counters.score = 1;
    counters.gameMode = GameMode::Normal;
    std::memset(PlayerName, 'Z', sizeof PlayerName - 1);  // a long earlier name
    std::memset(RankTextBuffer, 0, sizeof RankTextBuffer);
  }
  void TearDown() override {
    SetMessageBoxHook(nullptr);
    UseRealClock();
    Edition = EditionTraits{};
  }

  // Plays the game's exchange against the server; the dialogs are answered from the waits.
  void Run(ScriptedServer& server) {
    server_ = &server;
    start_ = Ticks();
    RunRankingExchange("127.0.0.1", server.Port());
    server_ = nullptr;
  }

  // Every wait: fake time runs on only while the server waits for the client; an open
  // dialog is answered (the name after nameDelayMs); the window gets a mouse move, which
  // must have been taken in by the next wait. A test that would hang closes the window.
  void OnWait(uint32_t now) {
    if (server_) server_->WaitForClientsTurn();
    if (pushedX >= 0 && InputState.mouseX != pushedX && !NameDialogHandle && !RankDialogHandle) {
      ++missedMoves;
    }
    pushedX = static_cast<int>(now % 640);
    PushMouseMove(pushedX, 470);  // below both dialogs
    if (NameDialogHandle && !nameAnswered) {
      if (nameOpenedAt == 0) nameOpenedAt = now;
      if (now - nameOpenedAt >= nameDelayMs) {
        for (const char* c = typedName; *c; ++c) PushText(std::string(1, *c).c_str());
        PushKey(VK_RETURN, true);
        PushKey(VK_RETURN, false);
        nameAnswered = true;
        shown.push_back("name");
      }
    }
    if (RankDialogHandle && !rankAnswered) {
      char text[kRankTextBufferBytes];
      GetDialogItemText(RankDialogHandle, kDialogEditId, text, sizeof text);
      shown.push_back("rank:" + std::string(text));
      rankCaption = DialogCaption(RankDialogHandle);
      PushKey(VK_RETURN, true);
      PushKey(VK_RETURN, false);
      rankAnswered = true;
    }
    if (now - start_ > 200000) PushClose();
  }

  struct Box {
    std::string caption, text;
  };
  std::vector<Box> boxes;
  std::vector<std::string> shown;  // the dialogs as they were answered
  std::string rankCaption;
  const char* typedName = "ABCDEFGHIJKLMNO";
  uint32_t nameDelayMs = 0;
  uint32_t nameOpenedAt = 0;
  bool nameAnswered = false;
  bool rankAnswered = false;
  int pushedX = -1;
  int missedMoves = 0;
  uint32_t start_ = 0;
  ScriptedServer* server_ = nullptr;
  GameCounters& counters = CurrentGame().world.counters;  // the game the exchange sends
};

TEST_F(ExchangeTest, AThresholdEqualToTheScoreIsDeclinedAndNoNameIsAsked) {
  counters.score = 500;
  ScriptedServer server(
      {Receive(2), Send(ThresholdReplyBytes(500)), Receive(2), Send(RankTextBytes(2, Text("ok"))), Hold()});
  Run(server);
  EXPECT_TRUE(server.WaitUntilDone());
  EXPECT_EQ(server.Received(), (Bytes{0, 1, 1, 0}));
  EXPECT_EQ(shown, (std::vector<std::string>{"rank:ok"}));
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(RankingConnection.socketHandle, -1);
}

TEST_F(ExchangeTest, AScoreAboveTheThresholdIsSubmittedWithItsCheckCode) {
  struct Case {
    uint32_t score;
    int32_t stage, combo;
    int32_t checkCode;  // worked out by hand
  };
  const Case cases[] = {
      {1, 3, 12, 423452},                // 1*3*24151 + 1200/9 - 61 + 350927
      {3000000005u, 2, -7, 592299},      // above 2^31; -700/9 truncates to -77
      {9, 100000, 30000000, 117529131},  // products wrap in 32 bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.score);
    shown.clear();
    nameAnswered = rankAnswered = false;
    nameOpenedAt = 0;
    counters.score = static_cast<int32_t>(c.score);
    counters.stageNumber = c.stage;
    counters.bestCombo = c.combo;
    CurrentGame().view.startClock = Ticks() - 61999;
    ScriptedServer server({Receive(2), Send(ThresholdReplyBytes(0)), Receive(124), CloseConnection()});
    Run(server);
    ASSERT_TRUE(server.WaitUntilDone());
    const Bytes got = server.Received();
    ASSERT_EQ(got.size(), 126u);
    EXPECT_EQ(got[0], 0);
    EXPECT_EQ(got[1], 1);
    EXPECT_EQ(got[2], 2);
    // The name as typed, cut to nine bytes; nothing of the earlier, longer name follows it.
    EXPECT_EQ(std::string(got.begin() + 3, got.begin() + 12), "ABCDEFGHI");
    for (size_t i = 12; i < 2 + 104; ++i) ASSERT_EQ(got[i], 0) << i;
    EXPECT_EQ(Le32(got, 2 + 104), static_cast<uint32_t>(c.stage));
    EXPECT_EQ(Le32(got, 2 + 108), c.score);
    EXPECT_EQ(Le32(got, 2 + 112), static_cast<uint32_t>(c.combo));
    EXPECT_EQ(Le32(got, 2 + 116), 61u);
    EXPECT_EQ(Le32(got, 2 + 120), static_cast<uint32_t>(c.checkCode));
    EXPECT_EQ(shown, (std::vector<std::string>{"name"}));  // closed before any text
    EXPECT_EQ(std::string(PlayerName), "ABCDEFGHI");
  }
}

TEST_F(ExchangeTest, ReplyHeaderAndTextInOnePieceShowTheNameThenTheRanking) {
  const std::string listing = Cp949("1등 PlommX\r\n2등 ABC\r\n");
  ScriptedServer server({Receive(2),
                         Send(Concat({ThresholdReplyBytes(0), RankTextBytes(listing.size(), Text(listing))})),
                         Receive(124), Hold()});
  Run(server);
  EXPECT_TRUE(server.WaitUntilDone());
  EXPECT_EQ(server.Received().size(), 126u);
  EXPECT_EQ(shown, (std::vector<std::string>{"name", "rank:" + listing}));
  // The online ranking's title, never the template's own caption.
  EXPECT_FALSE(rankCaption.empty());
  EXPECT_NE(rankCaption, RankDialogTemplate.caption);
  EXPECT_EQ(missedMoves, 0);
}

TEST_F(ExchangeTest, AnEmptyTextOrACloseRightAfterTheTextIsStillShown) {
  counters.score = 0;
  {
    ScriptedServer server({Receive(2), Send(ThresholdReplyBytes(0)), Receive(2), Send(RankTextBytes(0, {})), Hold()});
    Run(server);
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"rank:"}));
  shown.clear();
  rankAnswered = false;
  ScriptedServer server(
      {Receive(2), Send(ThresholdReplyBytes(7)), Receive(2), Send(RankTextBytes(4, Text("last"))), CloseConnection()});
  Run(server);
  EXPECT_EQ(shown, (std::vector<std::string>{"rank:last"}));
}

TEST_F(ExchangeTest, ClosingTheWindowDuringAGameStillSendsTheRequestThenLeaves) {
  InputState.quit = 1;
  counters.gameMode = GameMode::Hardcore;
  ScriptedServer server({Receive(2), Send(ThresholdReplyBytes(0)), Hold()});
  Run(server);
  EXPECT_TRUE(server.WaitUntilDone());  // the client hung up
  EXPECT_EQ(server.Received(), (Bytes{0, 2}));
  EXPECT_LT(Ticks() - start_, 100u);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(RankingConnection.socketHandle, -1);
}

TEST_F(ExchangeTest, AnUnreachableServerGivesOneMessageBoxPerGame) {
  const uint16_t port = ClosedPort();
  RunRankingExchange("127.0.0.1", port);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, kUnreachableCaption);
  EXPECT_EQ(boxes[0].text, kUnreachableText);
  RunRankingExchange("127.0.0.1", port);
  EXPECT_EQ(boxes.size(), 2u);
  EXPECT_EQ(RankingConnection.socketHandle, -1);
  // A name that does not resolve is answered the same, within the connect's limit.
  const uint32_t before = Ticks();
  RunRankingExchange("no-such-server.brakkel.invalid", port);
  EXPECT_LE(Ticks() - before, kConnectLimitMs + 2 * kConnectWaitStepMs);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[2].text, kUnreachableText);
  EXPECT_EQ(RankingConnection.socketHandle, -1);
}

TEST_F(ExchangeTest, AConnectThatHangsGetsTheSameBoxAfterFiveSeconds) {
  HangingListener server;
  start_ = Ticks();
  RunRankingExchange("127.0.0.1", server.Port());
  EXPECT_GE(Ticks() - start_, kConnectLimitMs);
  EXPECT_LT(Ticks() - start_, kConnectLimitMs + 100);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kUnreachableText);
  EXPECT_EQ(missedMoves, 0);
}

TEST_F(ExchangeTest, ThirtySecondsOfSilenceEndTheExchangeAsAClose) {
  counters.score = 10;
  ScriptedServer server({Receive(2), Send(ThresholdReplyBytes(10)), Receive(2), Hold()});
  Run(server);
  const uint32_t waited = Ticks() - start_;
  EXPECT_GE(waited, kServerSilenceLimitMs);
  EXPECT_LT(waited, kServerSilenceLimitMs + 100);
  EXPECT_TRUE(server.WaitUntilDone());
  EXPECT_EQ(server.Received(), (Bytes{0, 1, 1, 0}));
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(missedMoves, 0);
}

TEST_F(ExchangeTest, TheNameDialogsTimeNeitherCountsAsSilenceNorAsPlay) {
  nameDelayMs = 45000;
  ScriptedServer server(
      {Receive(2), Send(ThresholdReplyBytes(0)), Receive(124), Pause(20), Send(RankTextBytes(2, Text("hi"))), Hold()});
  Run(server);
  EXPECT_GE(Ticks() - start_, 45000u);
  EXPECT_EQ(shown, (std::vector<std::string>{"name", "rank:hi"}));
  const Bytes got = server.Received();
  ASSERT_EQ(got.size(), 126u);
  EXPECT_EQ(Le32(got, 2 + 116), 61u);  // the seconds were fixed before connecting
}

// Replies that are not what the exchange expects end it without harm: nothing is shown,
// the program goes on, and the window was served all along.
TEST_F(ExchangeTest, HostileRepliesEndTheExchangeWithoutHarm) {
  counters.score = 0;  // no threshold can be below it: no name is asked
  Bytes noise(3000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919 >> 3);
  const std::vector<std::vector<ScriptStep>> scripts = {
      {Receive(2), Send(Bytes(noise.begin(), noise.begin() + 30)), CloseConnection()},
      {Receive(2), Send(ThresholdReplyBytes(0)), Receive(2), Send(Bytes{1, 2, 3}), CloseConnection()},
      {Receive(2), Send(ThresholdReplyBytes(0)), Receive(2), Send(RankTextBytes(0xFFFFFFFFu, Bytes(120000, 'x'))),
       CloseConnection()},
      {Receive(2), Send(ThresholdReplyBytes(0)), Receive(2), Send(RankTextBytes(0xFFFFFFF9u, Text("ab"))), Hold()},
      {Receive(2), Send(ThresholdReplyBytes(0)), Receive(2), Send(RankTextBytes(20000, Bytes(19999, 'y'))), Hold()},
      {Receive(2), Send(noise), Hold()},
  };
  for (size_t i = 0; i < scripts.size(); ++i) {
    SCOPED_TRACE(i);
    ScriptedServer server(scripts[i]);
    Run(server);
    EXPECT_TRUE(server.WaitUntilDone());
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(InputState.quit, 0);
    EXPECT_LE(RankingConnection.fillLevel, kReceiveCapacity);
    EXPECT_LT(Ticks() - start_, kServerSilenceLimitMs + 100);
  }
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(missedMoves, 0);
}

}  // namespace
