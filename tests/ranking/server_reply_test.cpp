// Reading the server's reply and ranking text off the receive buffer, however it arrives.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ranking/dialogs.h"
#include "ranking/ranking_client.h"
#include "ranking/server_reply.h"
#include "support/scripted_server.h"

namespace {

std::vector<std::string> events;
std::vector<uint32_t> thresholds;

void RecordAnswer(uint32_t threshold) {
  events.push_back("answer");
  thresholds.push_back(threshold);
}
void RecordShow() { events.push_back("show:" + std::string(RankTextBuffer)); }

class ServerReplyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    events.clear();
    thresholds.clear();
    std::memset(RankTextBuffer, 'Z', sizeof RankTextBuffer - 1);  // a long earlier text
    RankTextBuffer[sizeof RankTextBuffer - 1] = 0;
    client = RankingClient{};
  }
  // Delivers bytes in pieces of `piece` and takes what completes after each.
  bool Feed(const Bytes& bytes, size_t piece) {
    bool done = false;
    for (size_t at = 0; at < bytes.size() && !done; at += piece) {
      const size_t n = std::min(piece, bytes.size() - at);
      EXPECT_EQ(client.Deliver(bytes.data() + at, n), n);
      done = TakeServerBytes(client, reply, handlers);
      EXPECT_LE(client.fillLevel, 10000u + piece);
    }
    return done;
  }
  RankingClient& client = RankingConnection;
  ServerReply reply;
  ReplyHandlers handlers{RecordAnswer, RecordShow};
};

TEST_F(ServerReplyTest, ReplyHeaderAndTextInOnePieceAreAllTakenAnswerFirst) {
  const Bytes text = {'1', '\r', '\n', '2'};
  const Bytes all = Concat({ThresholdReplyBytes(0x01020304), RankTextBytes(4, text), {'x', 'y'}});
  EXPECT_TRUE(Feed(all, all.size()));
  EXPECT_EQ(events, (std::vector<std::string>{"answer", "show:1\r\n2"}));
  EXPECT_EQ(thresholds, (std::vector<uint32_t>{0x01020304}));
  // Bytes after the text are left alone, and nothing more is read.
  EXPECT_EQ(client.fillLevel, 2u);
  EXPECT_FALSE(TakeServerBytes(client, reply, handlers));
  EXPECT_EQ(events.size(), 2u);
}

TEST_F(ServerReplyTest, ByteByByteGivesTheSameAndNothingEarly) {
  const Bytes all = Concat({ThresholdReplyBytes(4000000000u), RankTextBytes(3, {'a', 'b', 'c'})});
  for (size_t i = 0; i + 1 < all.size(); ++i) {
    client.Deliver(&all[i], 1);
    ASSERT_FALSE(TakeServerBytes(client, reply, handlers)) << i;
    ASSERT_EQ(events.size(), i >= 55 ? 1u : 0u) << i;
  }
  client.Deliver(&all.back(), 1);
  EXPECT_TRUE(TakeServerBytes(client, reply, handlers));
  EXPECT_EQ(events, (std::vector<std::string>{"answer", "show:abc"}));
  EXPECT_EQ(thresholds[0], 4000000000u);
  EXPECT_EQ(client.fillLevel, 0u);
}

TEST_F(ServerReplyTest, AnEmptyTextShowsEmpty) {
  EXPECT_TRUE(Feed(Concat({ThresholdReplyBytes(5), RankTextBytes(0, {})}), 64));
  EXPECT_EQ(events, (std::vector<std::string>{"answer", "show:"}));
}

TEST_F(ServerReplyTest, TheLongestTextThatFitsIsShownWhole) {
  const Bytes text(9999, 'q');
  EXPECT_TRUE(Feed(Concat({ThresholdReplyBytes(5), RankTextBytes(9999, text)}), 1000));
  EXPECT_EQ(std::strlen(RankTextBuffer), 9999u);
}

TEST_F(ServerReplyTest, ALongerTextShowsItsFirst9999BytesCutBetweenCharacters) {
  // "가" is B0 A1: the character at 9998..9999 would be cut in half, so it goes.
  Bytes text(12000, 'k');
  text[9998] = '\xB0';
  text[9999] = '\xA1';
  bool done = Feed(Concat({ThresholdReplyBytes(5), RankTextBytes(12000, text), {'!'}}), 777);
  EXPECT_TRUE(done);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(std::strlen(RankTextBuffer), 9998u);
  EXPECT_EQ(events[1], "show:" + std::string(9998, 'k'));
  EXPECT_EQ(client.fillLevel, 1u);  // the byte after the text
  EXPECT_EQ(client.receiveBuffer[0], '!');
}

TEST_F(ServerReplyTest, ALengthOf10000ShowsAllButTheLastByteOrCharacter) {
  Bytes text(10000, 'm');
  EXPECT_TRUE(Feed(Concat({ThresholdReplyBytes(5), RankTextBytes(10000, text)}), 333));
  EXPECT_EQ(std::strlen(RankTextBuffer), 9999u);

  SetUp();
  reply = ServerReply{};
  text[9998] = '\xB0';  // a double-byte character across the limit
  text[9999] = '\xA1';
  EXPECT_TRUE(Feed(Concat({ThresholdReplyBytes(5), RankTextBytes(10000, text)}), 10064));
  EXPECT_EQ(std::strlen(RankTextBuffer), 9998u);
}

TEST_F(ServerReplyTest, ALengthOf4GiBIsDroppedAsItArrivesAndNeverShown) {
  Feed(ThresholdReplyBytes(5), 56);
  Feed(RankTextBytes(0xFFFFFFFFu, {}), 8);
  // 200 000 bytes: far more than the buffer holds. They never pile up in it.
  const Bytes chunk(4000, '\xB0');
  for (int i = 0; i < 50; ++i) {
    ASSERT_FALSE(Feed(chunk, chunk.size()));
    ASSERT_LT(client.fillLevel, 10000u);
  }
  EXPECT_EQ(events, (std::vector<std::string>{"answer"}));
  EXPECT_EQ(reply.phase, ServerReply::Phase::DroppingText);
  EXPECT_EQ(reply.dropLeft, 0xFFFFFFFFu - 200000u);
  // Only whole characters were kept: 4999 of the 0xB0 0xB0 pairs.
  EXPECT_EQ(std::strlen(RankTextBuffer), 9998u);
}

TEST_F(ServerReplyTest, ANearly4GiBLengthDoesNotWrapIntoAShortOne) {
  // 0xFFFFFFF9 + 8 wraps to 1 in 32 bits; it must still wait for its (never coming) text.
  Feed(Concat({ThresholdReplyBytes(5), RankTextBytes(0xFFFFFFF9u, {'a', 'b'})}), 100);
  EXPECT_EQ(events, (std::vector<std::string>{"answer"}));
  EXPECT_EQ(reply.phase, ServerReply::Phase::LongTextStart);
}

}  // namespace
