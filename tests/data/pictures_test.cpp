// The three pictures the generator draws, read as the game reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "data_files.h"
#include "gfx/pcx_format.h"
#include "gfx/picture.h"
#include "tools/datagen/pictures.h"

namespace {

const char* const kPictures[] = {"logo.pcx", "level.pcx", "back.pcx"};

struct Decoded {
  std::vector<uint8_t> pixels;   // 640 x 480
  std::vector<uint8_t> palette;  // 768
};

// Loads a picture through the game's own loader.
Decoded LoadWithGame(const std::string& name) {
  Decoded d;
  std::FILE* file = std::fopen(DataPath(name).c_str(), "rb");
  if (!file) return d;
  LoadPictureFromStream(file);
  std::fclose(file);
  d.pixels.assign(BackgroundPicture, BackgroundPicture + kPictureBytes);
  d.palette.assign(PictureColourTable, PictureColourTable + kColourTableBytes);
  return d;
}

// Relative luminance (0..1) of a palette entry as the 5-bit screen shows it.
double Luminance(const std::vector<uint8_t>& palette, uint8_t index) {
  const uint8_t* c = &palette[static_cast<size_t>(index) * 3];
  return (0.2126 * (c[0] >> 3) + 0.7152 * (c[1] >> 3) + 0.0722 * (c[2] >> 3)) / 31.0;
}

double ColourDistance(const std::vector<uint8_t>& palette, uint8_t a, uint8_t b) {
  double d = 0;
  for (int k = 0; k < 3; ++k) d += std::abs(palette[a * 3u + k] - palette[b * 3u + k]);
  return d;
}

}  // namespace

// Every picture is a real 256-colour PCX: a proper header, each row coded on its own
// and ending exactly at column 640, the 0x0C marker and the palette at the end; the
// game's loader decodes the same pixels and takes the same palette.
TEST(DataPictures, ProperPcxFilesThatTheGameReads) {
  for (const char* name : kPictures) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> bytes = ReadFileBytes(DataPath(name));
    ASSERT_GT(bytes.size(), kPcxHeaderBytes + 1 + kPcxPaletteBytes);
    EXPECT_EQ(bytes[0], kPcxManufacturer);
    EXPECT_EQ(bytes[1], kPcxVersion);
    EXPECT_EQ(bytes[2], kPcxRunLengthCoding);
    EXPECT_EQ(bytes[3], kPcxBitsPerPixel);
    EXPECT_EQ(Le16(bytes, 4), 0);
    EXPECT_EQ(Le16(bytes, 6), 0);
    EXPECT_EQ(Le16(bytes, 8), 639);
    EXPECT_EQ(Le16(bytes, 10), 479);
    EXPECT_EQ(bytes[65], 1);  // planes
    EXPECT_EQ(Le16(bytes, 66), 640);
    const size_t paletteAt = bytes.size() - kPcxPaletteBytes;
    EXPECT_EQ(bytes[paletteAt - 1], kPcxPaletteMarker);

    std::vector<uint8_t> pixels;
    size_t at = kPcxHeaderBytes;
    for (int y = 0; y < 480; ++y) {
      int x = 0;
      while (x < 640 && at < paletteAt - 1) {
        uint8_t b = bytes[at++];
        int run = 1;
        uint8_t value = b;
        if ((b & kPcxRunFlag) == kPcxRunFlag) {
          run = b & kPcxRunCountMask;
          value = bytes[at++];
          ASSERT_GT(run, 0) << "empty run in row " << y;
        }
        pixels.insert(pixels.end(), static_cast<size_t>(run), value);
        x += run;
      }
      ASSERT_EQ(x, 640) << "row " << y << " does not end at its last column";
    }
    EXPECT_EQ(at, paletteAt - 1) << "bytes left between the pixels and the marker";

    Decoded game = LoadWithGame(name);
    EXPECT_EQ(game.pixels, pixels);
    EXPECT_TRUE(std::equal(game.palette.begin(), game.palette.end(), bytes.begin() + static_cast<long>(paletteAt)));
  }
}

TEST(DataPictures, ImageMagickReadsThem640By480With8Bits) {
  for (const char* name : kPictures) {
    std::string out = CommandOutput("identify -format '%m %w %h %z' '" + DataPath(name) + "' 2>&1");
    EXPECT_EQ(out, "PCX 640 480 8") << name;
  }
}

// The field scrolls with wrap-around: its last column must join its first as smoothly
// as any two neighbouring columns join.
TEST(DataPictures, FieldJoinsSeamlesslyAtItsEdges) {
  Decoded back = LoadWithGame("back.pcx");
  ASSERT_EQ(back.pixels.size(), static_cast<size_t>(kPictureBytes));
  auto columnStep = [&](int a, int b) {
    double sum = 0;
    for (int y = 0; y < 480; ++y)
      sum += ColourDistance(back.palette, back.pixels[y * 640u + a], back.pixels[y * 640u + b]);
    return sum / 480;
  };
  std::vector<double> steps;
  for (int x = 0; x < 639; ++x) steps.push_back(columnStep(x, x + 1));
  std::sort(steps.begin(), steps.end());
  const double typical = steps[steps.size() / 2];
  const double high = steps[steps.size() * 95 / 100];
  const double seam = columnStep(639, 0);
  EXPECT_LE(seam, std::max(2 * typical, high)) << "typical step " << typical;
}

// The menu shows each choice's label inside its area: the label letters' own palette
// entry appears there and nowhere else.
TEST(DataPictures, MenuLabelsLieInsideTheirAreas) {
  Decoded level = LoadWithGame("level.pcx");
  ASSERT_EQ(level.pixels.size(), static_cast<size_t>(kPictureBytes));
  for (int i = 0; i < 3; ++i) {
    const datagen::MenuArea& a = datagen::kMenuAreas[i];
    int inside = 0, outside = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) {
        if (level.pixels[y * 640u + x] != datagen::kMenuLabelIndex[i]) continue;
        bool in = x >= a.left && x <= a.right && y >= a.top && y <= a.bottom;
        (in ? inside : outside) += 1;
      }
    EXPECT_GT(inside, 150) << "area " << i;
    EXPECT_EQ(outside, 0) << "area " << i;
  }
  // The labels differ in colour, so no two choices look alike.
  EXPECT_GT(ColourDistance(level.palette, datagen::kMenuLabelIndex[0], datagen::kMenuLabelIndex[2]), 60);
}

// The title fades from black and back, so it uses a full palette and is bright; the
// field must leave the HUD's blue text readable at the top left.
TEST(DataPictures, TitleIsBrightAndTheHudCornerIsLight) {
  Decoded logo = LoadWithGame("logo.pcx");
  std::set<uint8_t> used(logo.pixels.begin(), logo.pixels.end());
  EXPECT_GE(used.size(), 200u);
  double sum = 0;
  for (uint8_t p : logo.pixels) sum += Luminance(logo.palette, p);
  EXPECT_GT(sum / logo.pixels.size(), 0.5);

  Decoded back = LoadWithGame("back.pcx");
  double darkest = 1, total = 0;
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 460; ++x) {
      double l = Luminance(back.palette, back.pixels[y * 640u + x]);
      darkest = std::min(darkest, l);
      total += l;
    }
  // Pure blue text has a luminance of 0.07: the corner behind it stays far lighter.
  EXPECT_GT(total / (96 * 460), 0.6);
  EXPECT_GT(darkest, 0.4);
}
