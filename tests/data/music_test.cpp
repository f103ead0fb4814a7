// The background music file, and the generator's output as a whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "data_files.h"
#include "platform/testing/audio_probe.h"
#include "support/temp_folder.h"
#include "tools/datagen/mp3.h"
#include "tools/datagen/music.h"

namespace {

// Headless: decoding needs no sound card.
const bool kDummyAudio = setenv("SDL_AUDIODRIVER", "dummy", 0) == 0;

struct Mp3Info {
  int frames = 0;      // all frames, the tag frame included
  int minKbps = 1000;  // lowest bit rate of any frame
  int sampleRate = 0;
  uint32_t taggedFrames = 0;  // audio frames the tag counts
  int delay = -1, padding = -1;
  std::string encoder;
  bool ok = false;
};

// Walks the MPEG-1 Layer III frames and reads the Info/Xing tag with its LAME extension.
Mp3Info ReadMp3(const std::vector<uint8_t>& b) {
  static const int kKbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
  static const int kRates[4] = {44100, 48000, 32000, 0};
  Mp3Info info;
  size_t at = 0;
  while (at + 4 <= b.size()) {
    uint32_t h = Be32(b, at);
    if ((h & 0xFFFE0000u) != 0xFFFA0000u) return info;  // sync, MPEG-1, Layer III
    int kbps = kKbps[(h >> 12) & 15], rate = kRates[(h >> 10) & 3];
    if (kbps == 0 || rate == 0) return info;
    size_t length = static_cast<size_t>(144000 * kbps / rate) + ((h >> 9) & 1);
    if (info.frames == 0) {
      info.sampleRate = rate;
      const bool mono = ((h >> 6) & 3) == 3;
      size_t tag = at + (mono ? 21 : 36);
      if (tag + 120 + 24 > b.size()) return info;
      if (std::memcmp(&b[tag], "Info", 4) != 0 && std::memcmp(&b[tag], "Xing", 4) != 0) return info;
      uint32_t flags = Be32(b, tag + 4);
      size_t field = tag + 8;
      if (flags & 1) {
        info.taggedFrames = Be32(b, field);
        field += 4;
      }
      if (flags & 2) field += 4;
      if (flags & 4) field += 100;
      if (flags & 8) field += 4;
      info.encoder.assign(reinterpret_cast<const char*>(&b[field]), 4);
      info.delay = (b[field + 21] << 4) | (b[field + 22] >> 4);
      info.padding = ((b[field + 22] & 15) << 8) | b[field + 23];
    } else {
      info.minKbps = std::min(info.minKbps, kbps);
    }
    ++info.frames;
    at += length;
  }
  info.ok = at == b.size();
  return info;
}

double TaggedSeconds(const Mp3Info& info) {
  return (static_cast<double>(info.taggedFrames) * 1152 - info.delay - info.padding) / info.sampleRate;
}

}  // namespace

// A constant bit rate of at least 96 kbit/s throughout, and a LAME tag that gives the
// exact length: 40 to 90 seconds.
TEST(DataMusic, Mp3WithItsLengthInTheTag) {
  std::vector<uint8_t> bytes = ReadFileBytes(DataPath("bgm.mp3"));
  Mp3Info info = ReadMp3(bytes);
  ASSERT_TRUE(info.ok) << "stopped after " << info.frames << " frames";
  EXPECT_EQ(info.encoder, "LAME");
  EXPECT_EQ(info.sampleRate, 44100);
  EXPECT_GE(info.minKbps, 96);
  EXPECT_EQ(info.taggedFrames, static_cast<uint32_t>(info.frames - 1));
  EXPECT_GT(info.delay, 0);
  EXPECT_GE(info.padding, 0);
  EXPECT_GE(TaggedSeconds(info), 40.0);
  EXPECT_LE(TaggedSeconds(info), 90.0);
}

// The game's audio library plays it for the tagged length; it starts and ends in
// silence, so restarting it at its end gives no click, and in between there is music.
TEST(DataMusic, DecodesWithTheGamesAudioLibraryAndLoopsQuietly) {
  const double tagged = TaggedSeconds(ReadMp3(ReadFileBytes(DataPath("bgm.mp3"))));
  ASSERT_TRUE(kDummyAudio);
  platform::DecodedAudio audio;
  ASSERT_TRUE(platform::DecodeAudioFile(DataPath("bgm.mp3").c_str(), audio));
  ASSERT_EQ(audio.channels, 2);
  ASSERT_GT(audio.sampleRate, 0);
  const size_t frames = audio.samples.size() / 2;
  EXPECT_NEAR(static_cast<double>(frames) / audio.sampleRate, tagged, 0.03);
  EXPECT_NEAR(audio.playerSeconds, tagged, 0.05);

  // At the join the wave sits near zero and moves no faster than the music does.
  ASSERT_GT(frames, 44100u);
  auto largestStep = [&](size_t from, size_t to) {
    int step = 0;
    for (size_t i = from + 2; i < to; ++i) step = std::max(step, std::abs(audio.samples[i] - audio.samples[i - 2]));
    return step;
  };
  const size_t edge = 2 * static_cast<size_t>(audio.sampleRate / 200);  // 5 ms of both channels
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_LT(std::abs(audio.samples[i]), 300) << "start, sample " << i;
    EXPECT_LT(std::abs(audio.samples[audio.samples.size() - 1 - i]), 300) << "end, sample " << i;
  }
  const int musicStep = largestStep(0, audio.samples.size());
  EXPECT_LT(largestStep(0, edge), musicStep / 4);
  EXPECT_LT(largestStep(audio.samples.size() - edge, audio.samples.size()), musicStep / 4);
  double energy = 0;
  for (int16_t s : audio.samples) energy += static_cast<double>(s) * s;
  EXPECT_GT(std::sqrt(energy / static_cast<double>(audio.samples.size())), 2000.0);
}

// No constant offset in either channel, and two different channels: the parts stand in
// their places across the stereo field. The channels still agree enough that a mono
// speaker loses no part (no part is out of phase on one side).
TEST(DataMusic, CentredOnZeroAndSpreadAcrossBothChannels) {
  ASSERT_TRUE(kDummyAudio);
  platform::DecodedAudio audio;
  ASSERT_TRUE(platform::DecodeAudioFile(DataPath("bgm.mp3").c_str(), audio));
  ASSERT_EQ(audio.channels, 2);
  const size_t frames = audio.samples.size() / 2;
  ASSERT_GT(frames, 44100u);
  double sum[2] = {0, 0}, square[2] = {0, 0}, product = 0, side = 0;
  for (size_t i = 0; i < frames; ++i) {
    const double l = audio.samples[2 * i], r = audio.samples[2 * i + 1];
    sum[0] += l;
    sum[1] += r;
    square[0] += l * l;
    square[1] += r * r;
    product += l * r;
    side += (l - r) * (l - r);
  }
  const double n = static_cast<double>(frames);
  for (int c = 0; c < 2; ++c) EXPECT_NEAR(sum[c] / n / 32768.0, 0.0, 0.002) << "channel " << c;
  const double meanL = sum[0] / n, meanR = sum[1] / n;
  const double correlation = (product / n - meanL * meanR) /
                             std::sqrt((square[0] / n - meanL * meanL) * (square[1] / n - meanR * meanR));
  // A mix with its parts near the middle correlates at about 0.998; placed parts bring
  // it clearly below, and a sum for mono keeps it well above 0.6.
  EXPECT_LT(correlation, 0.99);
  EXPECT_GT(correlation, 0.6);
  // The difference of the channels carries a clear share of the music (about 0.07 of
  // the level with the parts near the middle, about 0.2 with them placed).
  const double rms = std::sqrt((square[0] + square[1]) / (2 * n));
  EXPECT_GT(std::sqrt(side / n), 0.12 * rms);
}

TEST(DataMusic, RefusesWhatIsNotSound) {
  const std::string path = ::testing::TempDir() + "not_music.mp3";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("no sound here", file);
  std::fclose(file);
  platform::DecodedAudio audio;
  EXPECT_FALSE(platform::DecodeAudioFile(path.c_str(), audio));
  EXPECT_FALSE(platform::DecodeAudioFile((path + ".missing").c_str(), audio));
}

// The generator gives the same bytes on every run: a second run into a fresh folder
// reproduces every file of the build, the icons included.
TEST(DataGenerator, SecondRunGivesTheSameBytes) {
  namespace fs = std::filesystem;
  // The generator sits in the programs' folder beside the data folder.
  const fs::path generator = fs::path(DataDir()).parent_path() / "bin" / "brakkel_datagen";
  ASSERT_TRUE(fs::exists(generator)) << generator;
  // Its own folder per run: other builds on the machine may run this test at the same time.
  const TempFolder folder("brakkel_data_again");
  const fs::path& again = folder.path();
  const fs::path icons = again / "icons";
  ASSERT_EQ(std::system(
                ("'" + generator.string() + "' '" + again.string() + "' --icons '" + icons.string() + "'").c_str()),
            0);
  for (const char* name : {"logo.pcx", "level.pcx", "back.pcx", "chicken.ani", "foot.ani", "mop.ani", "bgm.mp3"}) {
    std::vector<uint8_t> built = ReadFileBytes(DataPath(name));
    EXPECT_FALSE(built.empty()) << name;
    EXPECT_TRUE(built == ReadFileBytes(again / name)) << name;
  }
  const fs::path builtIcons = fs::path(DataDir()).parent_path() / "icons";
  for (const char* size : {"48x48", "64x64", "128x128", "256x256"}) {
    const fs::path file = fs::path("hicolor") / size / "apps" / "brakkel.png";
    std::vector<uint8_t> built = ReadFileBytes(builtIcons / file);
    EXPECT_FALSE(built.empty()) << file;
    EXPECT_TRUE(built == ReadFileBytes(icons / file)) << file;
  }
}

// The composed piece lasts its 32 bars to the sample, begins and ends at zero and uses
// the full range without clipping.
TEST(DataGeneratorPieces, TheTuneLastsItsBarsAndStartsAndEndsAtZero) {
  datagen::Pcm pcm = datagen::ComposeMusic();
  ASSERT_EQ(pcm.channels, 2);
  ASSERT_EQ(pcm.sampleRate, 44100);
  const double seconds = datagen::kMusicBars * 4 * 60.0 / datagen::kMusicTempo;
  EXPECT_EQ(pcm.Frames(), static_cast<size_t>(std::lround(seconds * 44100)));
  EXPECT_EQ(pcm.samples[0], 0);
  EXPECT_EQ(pcm.samples[1], 0);
  EXPECT_EQ(pcm.samples[pcm.samples.size() - 1], 0);
  EXPECT_EQ(pcm.samples[pcm.samples.size() - 2], 0);
  int peak = 0;
  for (int16_t s : pcm.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  EXPECT_GT(peak, 28000);
  EXPECT_LT(peak, 30000);
}

// The tag gives back exactly the number of samples encoded; nothing to encode gives no file.
TEST(DataGeneratorPieces, Mp3TagCountsTheSamplesExactly) {
  datagen::Pcm tone;
  for (int i = 0; i < 44100 + 777; ++i) {
    int16_t v = static_cast<int16_t>(8000 * std::sin(i * 2 * 3.14159265 * 440 / 44100));
    tone.samples.push_back(v);
    tone.samples.push_back(v);
  }
  datagen::Bytes bytes = datagen::EncodeMp3(tone);
  Mp3Info info = ReadMp3(bytes);
  ASSERT_TRUE(info.ok);
  EXPECT_EQ(std::lround(TaggedSeconds(info) * 44100), 44100 + 777);
  EXPECT_GE(info.minKbps, datagen::kMp3Kbps);
  EXPECT_TRUE(datagen::EncodeMp3(datagen::Pcm{}).empty());
}
