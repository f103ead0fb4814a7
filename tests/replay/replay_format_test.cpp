// The replay file read back as written, and every kind of bad file refused with its reason.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "replay/replay.h"

namespace {

// A second game of a run: the pool holds mobs left walking, the clock steps unevenly.
Replay SecondGame() {
  Replay r;
  r.program = "netplay";
  r.version = "1.0.0";
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

void Reseal(std::vector<uint8_t>& bytes) {
  const size_t end = bytes.size() - 4;
  const uint32_t crc = static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(end)));
  for (int i = 0; i < 4; ++i) bytes[end + i] = static_cast<uint8_t>(crc >> (8 * i));
}

TEST(ReplayFormat, ReadsBackWhatWasWrittenInAFewKilobytes) {
  const Replay written = SecondGame();
  const std::vector<uint8_t> bytes = EncodeReplay(written);
  EXPECT_LT(bytes.size(), 8000u);  // 3000 frames and a used pool
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
  for (uint16_t version : {uint16_t{0}, uint16_t{2}, uint16_t{0xffff}}) {
    std::vector<uint8_t> other = good;
    other[8] = static_cast<uint8_t>(version);
    other[9] = static_cast<uint8_t>(version >> 8);
    Reseal(other);
    EXPECT_EQ(DecodeReplay(other, read, error), ReplayRead::UnknownVersion);
    EXPECT_NE(error.find("version " + std::to_string(version)), std::string::npos) << error;
  }
  // A well-sealed file that claims four billion frames, or a mode beyond hardcore, is damaged
  // and is refused before anything of that size is made.
  const size_t frameCount = 16 + 1 + 7 + 1 + 5 + 3 * 4 + 4 * 4;
  for (size_t field : {frameCount, size_t{16 + 1 + 7 + 1 + 5}}) {
    std::vector<uint8_t> forged = good;
    for (int i = 0; i < 4; ++i) forged[field + i] = 0xff;
    Reseal(forged);
    EXPECT_EQ(DecodeReplay(forged, read, error), ReplayRead::Damaged);
    EXPECT_NE(error.find("damaged"), std::string::npos);
  }
}

}  // namespace
