// The server's exchange without sockets: the rules a submission must pass, the machine fed
// byte by byte, the clients' keys of the per-address limits, and the command line.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>

#include "server/rankd/address_key.h"
#include "server/rankd/exchange.h"
#include "server/rankd/options.h"
#include "server/rankd/store.h"
#include "support/cp949_text.h"
#include "support/played_exchange.h"
#include "tests/rankd/harness.h"

namespace {

using rankd::Outcome;
using rankd::Verdict;
using rankd_test::DeclineBytes;
using rankd_test::ExpectedListing;
using rankd_test::RequestBytes;
using rankd_test::ScoreOf;
using rankd_test::Submission;
using rankd_test::SubmissionBytes;

const std::string kKoreanName = Cp949("홍길동");

std::vector<uint8_t> Joined(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::string ListingSent(const rankd_test::PlayedExchange& played) {
  if (played.sent.size() < kThresholdReplyBytes + kRankTextHeaderBytes) return {};
  return std::string(played.sent.begin() + kThresholdReplyBytes + kRankTextHeaderBytes, played.sent.end());
}

TEST(SubmissionRules, EachRuleRefusesItsOwnCase) {
  const uint32_t threshold = 100;
  struct Case {
    const char* what;
    ScoreSubmission s;
    Verdict verdict;
  };
  ScoreSubmission unterminated = Submission("x", 3, 101);
  std::memset(unterminated.name, 'a', sizeof unterminated.name);
  ScoreSubmission wrongCode = Submission("ann", 3, 101, 4, 60);
  wrongCode.checkCode += 1;
  ScoreSubmission tailAfterTerminator = Submission("ann", 3, 101);
  std::memset(tailAfterTerminator.name + 4, 'z', 50);  // an older, longer name's bytes
  const Case cases[] = {
      {"plain", Submission("ann", 3, 101, 4, 60), Verdict::Accepted},
      {"Korean", Submission(kKoreanName, 1, 5000, 0, 0), Verdict::Accepted},
      {"nine bytes", Submission("abcdefghi", 3, 101), Verdict::Accepted},
      {"bytes after the terminator", tailAfterTerminator, Verdict::Accepted},
      {"ten bytes", Submission("abcdefghij", 3, 101), Verdict::NameTooLong},
      {"no terminator", unterminated, Verdict::NameUnterminated},
      {"empty", Submission("", 3, 101), Verdict::NameEmpty},
      {"line feed", Submission("ab\ncd", 3, 101), Verdict::NameControl},
      {"delete", Submission("ab\x7f", 3, 101), Verdict::NameControl},
      {"lone lead byte", Submission("ab\xb0", 3, 101), Verdict::NameNotCp949},
      {"0xFF", Submission("\xff\xff", 3, 101), Verdict::NameNotCp949},  // raw bytes: no character
      {"stage 0", Submission("ann", 0, 101), Verdict::StageBelowOne},
      {"negative combo", Submission("ann", 3, 101, -1), Verdict::ComboNegative},
      {"seconds past 2^31", Submission("ann", 3, 101, 0, 0x80000000u), Verdict::SecondsNegative},
      {"equal to the threshold", Submission("ann", 3, 100), Verdict::NotAboveThreshold},
      {"wrong check code", wrongCode, Verdict::CheckCodeWrong},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rankd::JudgeSubmission(c.s, threshold), c.verdict)
        << c.what << ": " << rankd::VerdictText(rankd::JudgeSubmission(c.s, threshold));
  }
  // Above an unsigned threshold past 2^31.
  EXPECT_EQ(rankd::JudgeSubmission(Submission("ann", 2, 0x90000001u), 0x90000000u), Verdict::Accepted);
  EXPECT_EQ(rankd::JudgeSubmission(Submission("ann", 2, 0x7FFFFFFFu), 0x90000000u), Verdict::NotAboveThreshold);
}

TEST(ExchangeMachine, DeclineInOneBytePiecesGetsTheReplyAndTheListing) {
  auto store = rankd::OpenMemoryStore();
  rankd::RankCache cache;
  const auto bytes = Joined({RequestBytes(2), DeclineBytes()});
  const auto played = rankd_test::PlayExchange(bytes.data(), bytes.size(), 1, *store, cache);
  EXPECT_EQ(played.outcome, Outcome::Declined);
  ASSERT_EQ(played.sent.size(), kThresholdReplyBytes + cache.Text(2)->size());
  EXPECT_EQ(DecodeThresholdReply(played.sent.data()), 0u);
  for (size_t i = 0; i < 52; ++i) ASSERT_EQ(played.sent[i], 0) << i;
  const uint8_t* header = played.sent.data() + kThresholdReplyBytes;
  EXPECT_EQ(GetLe32(header), 0u);
  EXPECT_EQ(DecodeRankTextHeader(header), played.sent.size() - kThresholdReplyBytes - kRankTextHeaderBytes);
  EXPECT_EQ(ListingSent(played), ExpectedListing({}, 2));
}

TEST(ExchangeMachine, MalformedMessagesEndWithoutWhatFollows) {
  const std::vector<uint8_t> submission = SubmissionBytes(Submission("ann", 3, 10));
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    Outcome outcome;
    size_t sent;  // bytes the server sent
  };
  const Case cases[] = {
      {"a decline as the request", {1, 0}, Outcome::BadRequest, 0},
      {"mode 3", {0, 3}, Outcome::BadRequest, 0},
      {"mode 255", {0, 255}, Outcome::BadRequest, 0},
      {"half a request", {0}, Outcome::Open, 0},
      {"a request as the answer", Joined({RequestBytes(0), RequestBytes(0)}), Outcome::BadAnswer, kThresholdReplyBytes},
      {"answer type 3", Joined({RequestBytes(0), {3, 0}}), Outcome::BadAnswer, kThresholdReplyBytes},
      {"decline with a second byte 1", Joined({RequestBytes(0), {1, 1}}), Outcome::BadAnswer, kThresholdReplyBytes},
      {"submission cut short",
       Joined({RequestBytes(0), std::vector<uint8_t>(submission.begin(), submission.begin() + 60)}), Outcome::Open,
       kThresholdReplyBytes},
      {"request then nothing", RequestBytes(1), Outcome::Open, kThresholdReplyBytes},
  };
  for (const Case& c : cases) {
    for (size_t chunk : {size_t{1}, size_t{7}, size_t{500}}) {
      auto store = rankd::OpenMemoryStore();
      rankd::RankCache cache;
      const auto played = rankd_test::PlayExchange(c.bytes.data(), c.bytes.size(), chunk, *store, cache);
      EXPECT_EQ(played.outcome, c.outcome) << c.what << ", chunk " << chunk;
      EXPECT_EQ(played.sent.size(), c.sent) << c.what << ", chunk " << chunk;
      std::vector<rankd::Score> kept;
      std::string error;
      store->LoadAll(kept, error);
      EXPECT_TRUE(kept.empty()) << c.what;
    }
  }
}

TEST(ExchangeMachine, StoredScoresRankByScoreAndAnEqualLaterOneBelow) {
  auto store = rankd::OpenMemoryStore();
  rankd::RankCache cache;
  std::vector<rankd::Score> expected;
  uint32_t threshold = 0;
  // 25 results, some equal: the threshold is the 20th best, 0 until 20 are kept.
  for (int i = 0; i < 25; ++i) {
    const uint32_t score = 1000 + static_cast<uint32_t>(i % 8) * 10;
    const ScoreSubmission s = Submission("p" + std::to_string(i), 1 + i, score, i, 30u * i);
    const auto bytes = Joined({RequestBytes(1), SubmissionBytes(s)});
    const auto played = rankd_test::PlayExchange(bytes.data(), bytes.size(), 5, *store, cache);
    ASSERT_EQ(played.thresholdSent, threshold) << i;
    if (score <= threshold) {
      EXPECT_EQ(played.outcome, Outcome::Refused) << i;
      EXPECT_EQ(played.verdict, Verdict::NotAboveThreshold) << i;
    } else {
      EXPECT_EQ(played.outcome, Outcome::Stored) << i;
      expected.push_back(ScoreOf(1, s));
    }
    // The listing a submission receives already holds it.
    EXPECT_EQ(ListingSent(played), ExpectedListing(expected, 1)) << i;
    ScoreTable placed[rankd::kModes];
    rankd::PlaceScores(expected, placed);
    threshold = placed[1].row[kScoreRows - 1].score;
    EXPECT_EQ(cache.Threshold(1), threshold);
  }
  EXPECT_GT(threshold, 0u);
  // Equal scores: the earlier stays above.
  const ScoreTable& table = cache.Table(1);
  for (int i = 1; i < kScoreRows; ++i) {
    ASSERT_GE(table.row[i - 1].score, table.row[i].score);
    if (table.row[i - 1].score == table.row[i].score) {
      EXPECT_LT(std::atoi(table.row[i - 1].name + 1), std::atoi(table.row[i].name + 1));
    }
  }
  // The other modes saw nothing.
  EXPECT_EQ(cache.Threshold(0), 0u);
  EXPECT_EQ(cache.Table(2).row[0].score, 0u);
}

// A store that can be told to fail, to see what a client gets then.
class FaultyStore : public rankd::RankStore {
 public:
  const char* Engine() const override { return "faulty"; }
  bool Store(const std::vector<rankd::Score>& scores, std::string& error) override {
    if (!commit) {
      error = "told to fail";
      return false;
    }
    kept.insert(kept.end(), scores.begin(), scores.end());
    return true;
  }
  bool LoadTop(ScoreTable*, std::string& error) override {
    error = "told to fail";
    return false;
  }
  bool LoadAll(std::vector<rankd::Score>& scores, std::string&) override {
    scores = kept;
    return true;
  }
  bool commit = false;
  std::vector<rankd::Score> kept;
};

TEST(ExchangeMachine, AScoreNotCommittedGetsNoListing) {
  FaultyStore store;
  rankd::RankCache cache;
  const ScoreSubmission s = Submission("ann", 3, 500);
  const auto bytes = Joined({RequestBytes(0), SubmissionBytes(s)});
  auto played = rankd_test::PlayExchange(bytes.data(), bytes.size(), 124, store, cache);
  EXPECT_EQ(played.outcome, Outcome::StoreFailed);
  EXPECT_EQ(played.sent.size(), kThresholdReplyBytes);
  EXPECT_EQ(cache.Table(0).row[0].score, 0u);

  // Committed, but the rows cannot be read back: the cache places the row itself.
  store.commit = true;
  played = rankd_test::PlayExchange(bytes.data(), bytes.size(), 124, store, cache);
  EXPECT_EQ(played.outcome, Outcome::Stored);
  EXPECT_EQ(ListingSent(played), ExpectedListing({ScoreOf(0, s)}, 0));
}

TEST(ExchangeMachine, RefusedSubmissionsStillSeeTheListingAndKeepNothing) {
  auto store = rankd::OpenMemoryStore();
  rankd::RankCache cache;
  ScoreSubmission forged = Submission("cheat", 2, 99999);
  forged.checkCode ^= 0x100;
  const auto bytes = Joined({RequestBytes(0), SubmissionBytes(forged)});
  const auto played = rankd_test::PlayExchange(bytes.data(), bytes.size(), 3, *store, cache);
  EXPECT_EQ(played.outcome, Outcome::Refused);
  EXPECT_EQ(played.verdict, Verdict::CheckCodeWrong);
  EXPECT_EQ(ListingSent(played), ExpectedListing({}, 0));
  std::vector<rankd::Score> kept;
  std::string error;
  store->LoadAll(kept, error);
  EXPECT_TRUE(kept.empty());
}

rankd::ParseResult Parse(std::vector<const char*> args, rankd::RankdOptions& options, std::string& error) {
  args.insert(args.begin(), "rankd");
  return rankd::ParseRankdOptions(static_cast<int>(args.size()), args.data(), options, error);
}

// One sockaddr of the kind the kernel gives for a client, from its text.
sockaddr_storage SocketAddress(const char* text) {
  sockaddr_storage a{};
  auto* four = reinterpret_cast<sockaddr_in*>(&a);
  auto* six = reinterpret_cast<sockaddr_in6*>(&a);
  if (inet_pton(AF_INET, text, &four->sin_addr) == 1) {
    four->sin_family = AF_INET;
  } else if (inet_pton(AF_INET6, text, &six->sin6_addr) == 1) {
    six->sin6_family = AF_INET6;
  }
  return a;
}

std::string KeyOf(const char* text) {
  const sockaddr_storage a = SocketAddress(text);
  return rankd::AddressKey(reinterpret_cast<const sockaddr*>(&a));
}

TEST(AddressKey, IPv6ClientsShareTheirSlash64AndIPv4WrittenAsIPv6CountsAsIPv4) {
  // Every host of one /64 is one client for the limits; the next /64 is another.
  EXPECT_EQ(KeyOf("2001:db8:1:2::1"), "2001:db8:1:2::/64");
  EXPECT_EQ(KeyOf("2001:db8:1:2:ffff:ffff:ffff:fffe"), "2001:db8:1:2::/64");
  EXPECT_NE(KeyOf("2001:db8:1:3::1"), KeyOf("2001:db8:1:2::1"));
  EXPECT_EQ(KeyOf("::1"), "::/64");
  // IPv4 by the address, whether the socket is IPv4 or IPv6.
  EXPECT_EQ(KeyOf("192.0.2.7"), "192.0.2.7");
  EXPECT_EQ(KeyOf("::ffff:192.0.2.7"), "192.0.2.7");
  EXPECT_NE(KeyOf("192.0.2.8"), KeyOf("192.0.2.7"));
  // The log names the client itself.
  const sockaddr_storage six = SocketAddress("2001:db8:1:2::1");
  EXPECT_EQ(rankd::AddressText(reinterpret_cast<const sockaddr*>(&six)), "2001:db8:1:2::1");
}

TEST(RankdOptions, ValuesAndDefaults) {
  rankd::RankdOptions options;
  std::string error;
  ASSERT_EQ(Parse({}, options, error), rankd::ParseResult::Run);
  EXPECT_EQ(options.port, 20);
  EXPECT_EQ(options.bind, std::vector<std::string>{"127.0.0.1"});
  EXPECT_EQ(options.db, "rankd.sqlite");
  EXPECT_EQ(options.answerTime, std::chrono::minutes(10));
  ASSERT_EQ(Parse({"--port=2020", "--bind", "0.0.0.0", "--db", "postgresql://x/y", "--request-time", "0.25",
                   "--answer-time=90", "--max-per-address", "7", "--quiet", "--check-threads", "3",
                   "--replay-memory=96M"},
                  options, error),
            rankd::ParseResult::Run);
  EXPECT_EQ(options.port, 2020);
  EXPECT_EQ(options.bind, std::vector<std::string>{"0.0.0.0"});
  // Each --bind adds an address; the first replaces the default.
  rankd::RankdOptions several;
  ASSERT_EQ(Parse({"--bind", "::", "--bind=0.0.0.0", "--bind", "::1"}, several, error), rankd::ParseResult::Run);
  EXPECT_EQ(several.bind, (std::vector<std::string>{"::", "0.0.0.0", "::1"}));
  EXPECT_EQ(options.db, "postgresql://x/y");
  EXPECT_EQ(options.requestTime, std::chrono::milliseconds(250));
  EXPECT_EQ(options.answerTime, std::chrono::seconds(90));
  EXPECT_EQ(options.maxPerAddress, 7);
  EXPECT_FALSE(options.log);
  EXPECT_EQ(options.checkThreads, 3);
  EXPECT_EQ(options.replayMemory, size_t{96} << 20);
  ASSERT_EQ(Parse({"--replay-memory", "65536"}, options, error), rankd::ParseResult::Run);
  EXPECT_EQ(options.replayMemory, 65536u);
  EXPECT_EQ(Parse({"--db", "x", "--help"}, options, error), rankd::ParseResult::Help);
}

TEST(RankdOptions, BadValuesAreRefusedWithTheirName) {
  const std::vector<std::vector<const char*>> bad = {
      {"--port", "70000"},
      {"--port", "2x"},
      {"--port"},
      {"--frobnicate"},
      {"-p", "20"},
      {"--request-time", "0"},
      {"--send-time", "-1"},
      {"--message-time", "nan"},
      {"--answer-time", "1e9"},
      {"--max-connections", "0"},
      {"--db", ""},
      {"--bind", "localhost"},
      {"--bind", "[::1]"},
      {"--bind", ""},
      {"--quiet=yes"},
      {"--require-verified=1"},
      {"--check-threads", "0"},
      {"--replay-memory", "100"},
      {"--replay-memory", "64X"},
      {"--replay-memory", "G"},
      {"20"},
  };
  for (const auto& args : bad) {
    rankd::RankdOptions options;
    std::string error;
    EXPECT_EQ(Parse(args, options, error), rankd::ParseResult::Bad) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

}  // namespace
