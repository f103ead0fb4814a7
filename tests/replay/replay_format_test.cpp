// The replay file read back as written, and every kind of bad file refused with its reason.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "replay/replay.h"

namespace {

// Where SecondGame's rules version and mode lie in its file: after the header and the two names.
constexpr size_t kRulesAt = 16 + 1 + 7 + 1 + 5;
constexpr size_t kModeAt = kRulesAt + 4;

// A second game of a run: the pool holds mobs left walking, the clock steps unevenly.
Replay SecondGame() {
  Replay r;
  r.program = "netplay";
  r.version = "1.0.0";
  r.rules = 3;
  r.mode = 2;
  r.seed = 0xdeadbeef;
  r.startClock = 0xfffff000;  // the clock wraps during the game
  r.ranked = true;
  r.start.player = {170, 125, 2, 7, 0, 1, 0, 13, 1};
  r.start.scrollOffset = 630;
  r.start.lives = 1;
  r.start.mobs.resize(kReplayPoolSize);
  for (size_t i = 0; i < kReplayPoolSize; ++i) {
    ReplayMob& m = r.start.mobs[i];
    m.frameDelay = static_cast<uint8_t>(i % 8);
    if (i % 7 == 0) m = {1, static_cast<uint8_t>(i % 4), static_cast<uint8_t>(i % 8), 200, -140 + int32_t(i), 400};
  }
  uint32_t clock = r.startClock;
  for (uint32_t f = 0; f < 3000; ++f) {
    r.inputs.push_back(static_cast<uint8_t>((f / 17) & 0x7f));
    r.clocks.push_back(clock += 50 + f % 3);
  }
  r.result = {7, -5, 42, 301};
  return r;
}

void ExpectSame(const Replay& a, const Replay& b) {
  EXPECT_EQ(a.program, b.program);
  EXPECT_EQ(a.version, b.version);
  EXPECT_EQ(a.rules, b.rules);
  EXPECT_EQ(a.mode, b.mode);
  EXPECT_EQ(a.seed, b.seed);
  EXPECT_EQ(a.startClock, b.startClock);
  EXPECT_EQ(a.ranked, b.ranked);
  EXPECT_EQ(a.start.player, b.start.player);
  EXPECT_EQ(a.start.scrollOffset, b.start.scrollOffset);
  EXPECT_EQ(a.start.lives, b.start.lives);
  ASSERT_EQ(a.start.mobs.size(), b.start.mobs.size());
  for (size_t i = 0; i < a.start.mobs.size(); ++i) {
    const ReplayMob &x = a.start.mobs[i], &y = b.start.mobs[i];
    ASSERT_EQ(x.active, y.active) << i;
    ASSERT_EQ(x.frameDelay, y.frameDelay) << i;
    if (x.active) {
      ASSERT_TRUE(x.frame == y.frame && x.tint == y.tint && x.x == y.x && x.y == y.y) << i;
    }
  }
  EXPECT_EQ(a.inputs, b.inputs);
  EXPECT_EQ(a.clocks, b.clocks);
  EXPECT_EQ(a.result, b.result);
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void Reseal(std::vector<uint8_t>& bytes) {
  const size_t end = bytes.size() - 4;
  PutU32(bytes, end, static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(end))));
}

TEST(ReplayFormat, ReadsBackWhatWasWrittenInAFewKilobytes) {
  const Replay written = SecondGame();
  const std::vector<uint8_t> bytes = EncodeReplay(written);
  EXPECT_LT(bytes.size(), 8000u);          // 3000 frames and a used pool
  EXPECT_EQ(bytes[8] | bytes[9] << 8, 2);  // the format written now
  Replay read;
  std::string error;
  ASSERT_EQ(DecodeReplay(bytes, read, error), ReplayRead::Ok) << error;
  ExpectSame(written, read);
}

TEST(ReplayFormat, EveryFlippedByteAndEveryCutIsRefused) {
  const std::vector<uint8_t> good = EncodeReplay(SecondGame());
  Replay read;
  std::string error;
  for (size_t at = 0; at < good.size(); ++at) {
    std::vector<uint8_t> bad = good;
    bad[at] ^= 0x10;
    error.clear();
    EXPECT_NE(DecodeReplay(bad, read, error), ReplayRead::Ok) << "byte " << at;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
  for (size_t length = 0; length < good.size(); length += 1 + length / 8) {
    EXPECT_NE(DecodeReplay(std::span(good).first(length), read, error), ReplayRead::Ok) << "cut at " << length;
  }
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_EQ(DecodeReplay(longer, read, error), ReplayRead::Damaged);
  EXPECT_EQ(DecodeReplay(std::vector<uint8_t>(64, 'x'), read, error), ReplayRead::NotAReplay);
  EXPECT_EQ(error, "not a replay file");
}

TEST(ReplayFormat, OtherVersionsAndSealedNonsenseAreRefusedWithTheirReason) {
  const std::vector<uint8_t> good = EncodeReplay(SecondGame());
  Replay read;
  std::string error;
  for (uint16_t version : {uint16_t{0}, uint16_t{3}, uint16_t{0xffff}}) {
    std::vector<uint8_t> other = good;
    other[8] = static_cast<uint8_t>(version);
    other[9] = static_cast<uint8_t>(version >> 8);
    Reseal(other);
    EXPECT_EQ(DecodeReplay(other, read, error), ReplayRead::UnknownVersion);
    EXPECT_NE(error.find("version " + std::to_string(version)), std::string::npos) << error;
  }
  // A well-sealed file that claims four billion frames, or a mode beyond hardcore, is damaged
  // and is refused before anything of that size is made.
  const size_t frameCount = kModeAt + 3 * 4 + 4 * 4;
  for (size_t field : {frameCount, kModeAt}) {
    std::vector<uint8_t> forged = good;
    for (int i = 0; i < 4; ++i) forged[field + i] = 0xff;
    Reseal(forged);
    EXPECT_EQ(DecodeReplay(forged, read, error), ReplayRead::Damaged);
    EXPECT_NE(error.find("damaged"), std::string::npos);
  }
}

// Files of format 1 were all played under rules 1 and have no field for it: they read as rules
// 1 whatever a format 2 file would hold there. In format 2 a rules version of 0 is damage, but
// any other is read, since only the re-player knows which rules exist.
TEST(ReplayFormat, FormatOneReadsAsRulesOneAndFormatTwoRefusesOnlyRulesZero) {
  const Replay written = SecondGame();
  const std::vector<uint8_t> good = EncodeReplay(written);
  Replay read;
  std::string error;

  // The same game in format 1: the rules version left out, the length and version mended.
  std::vector<uint8_t> formatOne = good;
  formatOne.erase(formatOne.begin() + kRulesAt, formatOne.begin() + kRulesAt + 4);
  formatOne[8] = 1;
  PutU32(formatOne, 12, static_cast<uint32_t>(formatOne.size() - 16 - 4));
  Reseal(formatOne);
  ASSERT_EQ(DecodeReplay(formatOne, read, error), ReplayRead::Ok) << error;
  Replay expected = written;
  expected.rules = 1;
  ExpectSame(expected, read);

  std::vector<uint8_t> rulesZero = good;
  PutU32(rulesZero, kRulesAt, 0);
  Reseal(rulesZero);
  EXPECT_EQ(DecodeReplay(rulesZero, read, error), ReplayRead::Damaged);
  EXPECT_NE(error.find("rules version is 0"), std::string::npos) << error;

  std::vector<uint8_t> rulesLast = good;
  PutU32(rulesLast, kRulesAt, 0xffffffff);
  Reseal(rulesLast);
  ASSERT_EQ(DecodeReplay(rulesLast, read, error), ReplayRead::Ok) << error;
  EXPECT_EQ(read.rules, 0xffffffffu);
}

}  // namespace
