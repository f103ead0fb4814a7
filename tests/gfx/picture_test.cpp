// PCX decoding, the screen palette, the scrolled copy and the fade scaling.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "gfx/frame.h"
#include "gfx/pcx_format.h"
#include "gfx/picture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A PCX file: a header, the given pixel data, the marker, then a colour table.
Bytes PcxFile(const Bytes& data, uint8_t paletteFill = 0x10) {
  Bytes file(kPcxHeaderBytes + data.size() + 1 + kPcxPaletteBytes, 0);
  file[0] = kPcxManufacturer;
  std::copy(data.begin(), data.end(), file.begin() + kPcxHeaderBytes);
  const size_t marker = kPcxHeaderBytes + data.size();
  file[marker] = kPcxPaletteMarker;
  for (size_t i = 0; i < kPcxPaletteBytes; ++i) file[marker + 1 + i] = static_cast<uint8_t>(paletteFill + i % 3);
  return file;
}

// The bytes through a file of the C library, as the game reads its pictures.
void Load(const Bytes& file) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  // An empty file writes nothing (fwrite may not be given an empty vector's null data).
  if (!file.empty()) {
    ASSERT_EQ(std::fwrite(file.data(), 1, file.size(), f), file.size());
  }
  std::rewind(f);
  LoadPictureFromStream(f);
  std::fclose(f);
}

// A file of a name of its own in the temporary folder (test programs run side by side).
std::string WriteTemp(const Bytes& file) {
  std::random_device random;
  const std::string name =
      (std::filesystem::temp_directory_path() / ("brakkel_pcx_" + std::to_string(random()))).string();
  std::FILE* f = std::fopen(name.c_str(), "wb");
  EXPECT_NE(f, nullptr);
  if (f == nullptr) return name;
  if (!file.empty()) std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  return name;
}

uint8_t Pixel(int x, int y) { return BackgroundPicture[y * kFrameWidth + x]; }

class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(BackgroundPicture, 7, sizeof BackgroundPicture);
    std::memset(PictureColourTable, 0, sizeof PictureColourTable);
  }
};

TEST_F(PictureTest, RunsFillRowsExactlyAndOverflowingRunsAreCutAtTheRowEnd) {
  Bytes data;
  // Row 0: ten runs of 63 and one of 10 fill it exactly.
  for (int i = 0; i < 10; ++i) data.insert(data.end(), {0xFF, 3});
  data.insert(data.end(), {0xCA, 4});
  // Row 1: eleven runs of 63 fill it and drop 53 pixels.
  for (int i = 0; i < 11; ++i) data.insert(data.end(), {0xFF, 5});
  // Row 2 starts with the following byte: a literal 0xBF, then index 192 as a run of one.
  data.insert(data.end(), {0xBF, 0xC1, 192});
  Load(PcxFile(data));
  EXPECT_EQ(Pixel(0, 0), 3);
  EXPECT_EQ(Pixel(629, 0), 3);
  EXPECT_EQ(Pixel(630, 0), 4);
  EXPECT_EQ(Pixel(639, 0), 4);
  EXPECT_EQ(Pixel(0, 1), 5);
  EXPECT_EQ(Pixel(639, 1), 5);
  EXPECT_EQ(Pixel(0, 2), 191);
  EXPECT_EQ(Pixel(1, 2), 192);
  // What follows runs into the colour table's marker and then past the end: index 255.
  EXPECT_EQ(Pixel(639, 479), 255);
}

TEST_F(PictureTest, ARunOfLengthZeroConsumesItsValueAndWritesNothing) {
  Load(PcxFile({0xC0, 9, 0x05, 0xC2, 6}));
  EXPECT_EQ(Pixel(0, 0), 5);
  EXPECT_EQ(Pixel(1, 0), 6);
  EXPECT_EQ(Pixel(2, 0), 6);
}

TEST_F(PictureTest, DamagedFilesDecodeWithoutHarm) {
  // Only a header: the whole picture becomes index 255; the table cannot be read.
  Bytes headerOnly(kPcxHeaderBytes, 0);
  std::memset(PictureColourTable, 0x42, sizeof PictureColourTable);
  Load(headerOnly);
  for (int i = 0; i < kPictureBytes; i += 997) ASSERT_EQ(BackgroundPicture[i], 255);
  // A file shorter than a colour table keeps the table it had.
  EXPECT_EQ(PictureColourTable[0], 0x42);
  EXPECT_EQ(PictureColourTable[767], 0x42);

  // Empty file, a few bytes, another format's header: decoded by the same rules.
  for (const Bytes& junk : {Bytes{}, Bytes{0xFF}, Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10}}) {
    Load(junk);
    EXPECT_EQ(Pixel(0, 0), 255);
  }
  // Long enough for a table: the last 768 bytes are taken whatever they are.
  Bytes noise(900);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 37 + 11);
  Load(noise);
  EXPECT_EQ(PictureColourTable[0], noise[900 - 768]);
  EXPECT_EQ(PictureColourTable[767], noise[899]);
}

TEST_F(PictureTest, AMissingFileAfterAGoodOneChangesNothing) {
  std::string good = WriteTemp(PcxFile({0xC3, 77}, 0x80));
  EXPECT_TRUE(LoadPicture(good.c_str()));
  std::remove(good.c_str());
  ASSERT_EQ(Pixel(0, 0), 77);
  uint16_t palette[256];
  std::memcpy(palette, ScreenPalette, sizeof palette);
  EXPECT_FALSE(LoadPicture("/nonexistent/logo.pcx"));
  EXPECT_EQ(Pixel(0, 0), 77);
  EXPECT_EQ(PictureColourTable[0], 0x80);
  EXPECT_EQ(std::memcmp(palette, ScreenPalette, sizeof palette), 0);
}

TEST_F(PictureTest, PaletteKeepsTheTopFiveBitsOfEachComponent) {
  const uint8_t entries[][3] = {{255, 255, 255}, {8, 16, 248}, {7, 7, 7}, {248, 0, 0}};
  const uint16_t expected[] = {0x7FFF, 0x045F, 0x0000, 0x7C00};
  for (int i = 0; i < 4; ++i) std::memcpy(PictureColourTable + i * 3, entries[i], 3);
  RebuildScreenPalette();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ScreenPalette[i], expected[i]) << i;
}

TEST_F(PictureTest, ScrolledCopyRotatesEachRowLeft) {
  for (int y = 0; y < kFrameHeight; ++y) {
    for (int x = 0; x < kFrameWidth; ++x) BackgroundPicture[y * kFrameWidth + x] = static_cast<uint8_t>((x + y) & 0xFF);
  }
  for (int i = 0; i < 256; ++i) ScreenPalette[i] = static_cast<uint16_t>(i);
  for (int offset : {0, 1, 639}) {
    ShowPictureScrolled(offset);
    for (int y : {0, 1, 479}) {
      for (int x : {0, 1, 638, 639}) {
        int source = (x + offset) % kFrameWidth;
        ASSERT_EQ(FrameBuffer[y * kFrameWidth + x], (source + y) & 0xFF) << offset << " " << x << "," << y;
      }
    }
  }
  ShowPicture();
  EXPECT_EQ(FrameBuffer[5 * kFrameWidth + 9], 14);
}

TEST_F(PictureTest, EveryPixelOfTheCopiesAtOddAndEvenOffsetsAndAfterChanges) {
  uint32_t state = 5;
  for (uint8_t& p : BackgroundPicture) {
    state = state * 1103515245u + 12345u;
    p = static_cast<uint8_t>(state >> 16);
  }
  for (int i = 0; i < 256; ++i) ScreenPalette[i] = static_cast<uint16_t>(i * 131 & 0x7FFF);
  auto expectRotated = [](int offset) {
    for (int y = 0; y < kFrameHeight; ++y) {
      for (int x = 0; x < kFrameWidth; ++x) {
        const uint8_t index = BackgroundPicture[y * kFrameWidth + (x + offset) % kFrameWidth];
        ASSERT_EQ(FrameBuffer[y * kFrameWidth + x], ScreenPalette[index]) << offset << " " << x << "," << y;
      }
    }
  };
  for (int offset : {0, 1, 2, 3, 10, 317, 638, 639}) {
    ShowPictureScrolled(offset);
    expectRotated(offset);
  }
  // The palette changes by hand and through a fade step, the picture by hand: the next
  // copies show it.
  ScreenPalette[BackgroundPicture[0]] = 0x1234;
  ShowPicture();
  EXPECT_EQ(FrameBuffer[0], 0x1234);
  expectRotated(0);
  BackgroundPicture[kFrameWidth * 479 + 639] = static_cast<uint8_t>(BackgroundPicture[kFrameWidth * 479 + 639] + 1);
  ShowPictureScrolled(1);
  expectRotated(1);
  for (int i = 0; i < 768; ++i) PictureColourTable[i] = static_cast<uint8_t>(255 - i % 256);
  RebuildScreenPalette();
  ShowPictureScrolled(331);
  expectRotated(331);
}

TEST_F(PictureTest, ScalingTheColourTableForFades) {
  uint8_t source[768];
  for (int i = 0; i < 768; ++i) source[i] = static_cast<uint8_t>(i);
  ScaleColourTable(0, source);
  for (int i = 0; i < 768; ++i) ASSERT_EQ(FadedColourTable[i], 0);
  ScaleColourTable(100, source);
  EXPECT_EQ(std::memcmp(FadedColourTable, source, 768), 0);
  ScaleColourTable(50, source);
  EXPECT_EQ(FadedColourTable[255], 127);
  EXPECT_EQ(FadedColourTable[3], 1);
  ScaleColourTable(200, source);
  EXPECT_EQ(FadedColourTable[127], 254);
  for (int i = 0; i < 768; ++i) {
    if (source[i] >= 128) {
      ASSERT_EQ(FadedColourTable[i], 255) << i;
    }
  }
}

}  // namespace
