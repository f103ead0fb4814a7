// The generator's pieces: drawing, colour reduction, text and the file writers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>

#include "data_files.h"
#include "gfx/pcx_format.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "gfx/sprite_file.h"
#include "platform/text.h"
#include "tools/datagen/canvas.h"
#include "tools/datagen/formats.h"
#include "tools/datagen/quantize.h"
#include "tools/datagen/text_art.h"

using namespace datagen;

namespace {

uint32_t NextRandom(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 16;
}

// Decodes PCX bytes through the game's loader.
void LoadThroughGame(const Bytes& bytes) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  LoadPictureFromStream(file);
  std::fclose(file);
}

}  // namespace

// Rows of every kind survive the round trip through the game's loader: long runs (more
// than 63), values that can only be written as runs (192 and above), alternating and
// random bytes; no run crosses a row's end.
TEST(DataGeneratorPieces, PcxRowsRoundTripThroughTheGamesLoader) {
  IndexedPicture picture;
  picture.width = 640;
  picture.height = 480;
  picture.pixels.resize(640 * 480);
  uint32_t seed = 12345;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      uint8_t v;
      switch (y % 4) {
        case 0: v = static_cast<uint8_t>(0xC0 + (y / 4) % 64); break;  // one long run
        case 1: v = static_cast<uint8_t>(x % 2 ? 0xFF : x % 256); break;
        case 2: v = static_cast<uint8_t>((x / 70) * 30); break;
        default: v = static_cast<uint8_t>(NextRandom(seed)); break;
      }
      picture.pixels[static_cast<size_t>(y) * 640 + x] = v;
    }
  for (int i = 0; i < 768; ++i) picture.palette[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 7);

  Bytes bytes = EncodePcx(picture);
  ASSERT_GT(bytes.size(), kPcxHeaderBytes + 1 + kPcxPaletteBytes);
  size_t at = kPcxHeaderBytes;
  for (int y = 0; y < 480; ++y) {
    int x = 0;
    while (x < 640) {
      uint8_t b = bytes[at++];
      if ((b & kPcxRunFlag) == kPcxRunFlag) {
        ASSERT_GE(b & kPcxRunCountMask, 1);
        x += b & kPcxRunCountMask;
        ++at;
      } else {
        ++x;
      }
    }
    ASSERT_EQ(x, 640) << "row " << y;
  }
  EXPECT_EQ(bytes[at], kPcxPaletteMarker);
  EXPECT_EQ(bytes.size(), at + 1 + kPcxPaletteBytes);

  LoadThroughGame(bytes);
  EXPECT_TRUE(std::equal(picture.pixels.begin(), picture.pixels.end(), BackgroundPicture));
  EXPECT_TRUE(std::equal(picture.palette.begin(), picture.palette.end(), PictureColourTable));
}

// Frames of any size, one pixel included, come back from the game's sprite loader as
// written.
TEST(DataGeneratorPieces, AniFramesRoundTripThroughTheGamesLoader) {
  std::vector<SpriteImage> frames;
  const int sizes[3][2] = {{1, 1}, {7, 3}, {2, 9}};
  for (const auto& s : sizes) {
    SpriteImage image;
    image.width = s[0];
    image.height = s[1];
    for (int i = 0; i < s[0] * s[1]; ++i) image.pixels.push_back(static_cast<uint8_t>(i * 37 + s[0]));
    frames.push_back(image);
  }
  Bytes bytes = EncodeAni(frames);
  EXPECT_EQ(bytes.size(), 28u + 4 + 3 * 8 + 1 + 21 + 18);
  EXPECT_EQ(bytes[27], 0);
  ClearSpriteBanks();
  SpriteBankTable[7] = SpriteBank{};
  ASSERT_EQ(LoadSpriteFromMemory(7, bytes.data(), bytes.size()), SpriteLoad::Loaded);
  ASSERT_EQ(SpriteBankTable[7].frameCount, 3);
  for (int f = 0; f < 3; ++f) {
    EXPECT_EQ(SpriteBankTable[7].width[f], frames[static_cast<size_t>(f)].width);
    EXPECT_EQ(SpriteBankTable[7].height[f], frames[static_cast<size_t>(f)].height);
    EXPECT_TRUE(std::equal(frames[static_cast<size_t>(f)].pixels.begin(), frames[static_cast<size_t>(f)].pixels.end(),
                           SpriteBankTable[7].pixels[f]));
  }
  FreeSpriteBanks();
}

// Edges are covered by the share of the pixel inside the shape; a wrapping canvas
// paints what leaves one side on the other.
TEST(DataGeneratorPieces, CanvasCoverageAndWrapping) {
  Canvas canvas(40, 20);
  canvas.Fill(Rectangle(10, 5, 20, 15), Hex(0xff0000));
  EXPECT_FLOAT_EQ(canvas.Alpha(10, 5), 1.0f);
  EXPECT_FLOAT_EQ(canvas.Alpha(19, 14), 1.0f);
  EXPECT_FLOAT_EQ(canvas.Alpha(9, 5), 0.0f);
  EXPECT_FLOAT_EQ(canvas.Alpha(20, 5), 0.0f);
  EXPECT_FLOAT_EQ(canvas.Colour(12, 8).r, 1.0f);

  canvas.Fill(Rectangle(25.5f, 2, 30, 4), Hex(0x00ff00), 1, 9);
  EXPECT_NEAR(canvas.Alpha(25, 2), 0.5f, 0.01f);
  EXPECT_EQ(canvas.Tag(25, 2), 9);  // half covered counts
  EXPECT_EQ(canvas.Tag(24, 2), 0);
  EXPECT_EQ(canvas.Tag(26, 3), 9);

  Canvas wrapping(40, 20);
  wrapping.SetWrapPeriod(40);
  wrapping.Fill(Circle(1, 10, 4), Hex(0x0000ff));
  EXPECT_GT(wrapping.Alpha(38, 10), 0.9f);
  EXPECT_GT(wrapping.Alpha(2, 10), 0.9f);
  EXPECT_EQ(wrapping.Alpha(20, 10), 0.0f);

  // Non-zero winding: a shape drawn twice over itself is still filled once.
  Canvas twice(10, 10);
  twice.FillShapes({Rectangle(0, 0, 10, 10), Rectangle(0, 0, 10, 10)}, Solid(Hex(0xffffff)), 0.5f);
  EXPECT_NEAR(twice.Alpha(5, 5), 0.5f, 1e-5f);
}

// A picture with few colours, each already a 5-bit colour, keeps every colour exactly;
// reserved colours go only where their tag was painted.
TEST(DataGeneratorPieces, PicturePaletteKeepsFewColoursExactlyAndReservesTaggedOnes) {
  Canvas canvas(64, 48);
  for (int i = 0; i < 60; ++i) {
    Rgb c{static_cast<float>(i % 31) / 31, static_cast<float>((i * 7) % 31) / 31,
          static_cast<float>((i * 3) % 32) / 31};
    canvas.Fill(Rectangle(static_cast<float>(i % 8) * 8, static_cast<float>(i / 8) * 6,
                          static_cast<float>(i % 8) * 8 + 8, static_cast<float>(i / 8) * 6 + 6),
                c);
  }
  canvas.Fill(Rectangle(0, 45, 64, 48), Hex(0x7f3f1f), 1, 5);
  ReservedColours reserved{{5, Hex(0xff00ff)}};
  IndexedPicture picture = QuantizePicture(canvas, reserved);
  const int reservedIndex = ReservedIndex(reserved, 5);
  ASSERT_EQ(reservedIndex, 0);
  EXPECT_EQ(picture.palette[0], 255);
  EXPECT_EQ(picture.palette[1], 0);
  EXPECT_EQ(picture.palette[2], 255);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      uint8_t index = picture.pixels[static_cast<size_t>(y) * 64 + x];
      if (y >= 45) {
        EXPECT_EQ(index, reservedIndex);
        continue;
      }
      ASSERT_NE(index, reservedIndex) << x << "," << y;
      Rgb c = canvas.Colour(x, y);
      const uint8_t* p = &picture.palette[static_cast<size_t>(index) * 3];
      EXPECT_EQ(p[0], Widen5(static_cast<int>(std::lround(c.r * 31))));
      EXPECT_EQ(p[1], Widen5(static_cast<int>(std::lround(c.g * 31))));
      EXPECT_EQ(p[2], Widen5(static_cast<int>(std::lround(c.b * 31))));
    }
}

// Sprite colours: faint pixels are transparent, the tag becomes the tint index, nothing
// else ever does; the outline rings a pixel along its edges only.
TEST(DataGeneratorPieces, SpriteColoursTintAndOutline) {
  Canvas canvas(12, 6);
  canvas.Fill(Rectangle(1, 1, 4, 4), Hex(0xffffff));
  canvas.Fill(Rectangle(5, 1, 8, 4), Hex(0xf8e4dc), 1, 3);   // the tint colour itself, tagged
  canvas.Fill(Rectangle(9, 1, 11, 4), Hex(0xf8e4dc));        // the same colour, untagged
  canvas.Fill(Rectangle(0, 5, 12, 6), Hex(0x000000), 0.3f);  // too faint to show
  SpriteImage image = QuantizeSprite(canvas, 3);
  Rgb5 white = SpriteColour5(image.At(2, 2));
  EXPECT_EQ(white.r + white.g + white.b, 93);
  EXPECT_EQ(image.At(6, 2), kTintIndex);
  EXPECT_NE(image.At(9, 2), kTintIndex);
  EXPECT_NE(image.At(9, 2), kTransparent);
  for (int x = 0; x < 12; ++x) EXPECT_EQ(image.At(x, 5), kTransparent);
  for (int i = 0; i < 255; ++i)
    EXPECT_NE(NearestSpriteIndex(
                  {static_cast<float>(i % 7) / 6, static_cast<float>(i % 5) / 4, static_cast<float>(i % 3) / 2}),
              kTintIndex);

  SpriteImage dot;
  dot.width = 3;
  dot.height = 3;
  dot.pixels.assign(9, kTransparent);
  dot.At(1, 1) = 15;
  AddOutline(dot, 0);
  EXPECT_EQ(dot.At(1, 1), 15);
  EXPECT_EQ(dot.At(0, 1), 0);
  EXPECT_EQ(dot.At(2, 1), 0);
  EXPECT_EQ(dot.At(1, 0), 0);
  EXPECT_EQ(dot.At(1, 2), 0);
  EXPECT_EQ(dot.At(0, 0), kTransparent);
  EXPECT_EQ(dot.At(2, 2), kTransparent);
}

// Text from the game's face: grown letters cover the letters and more, and the drawn
// text sits at its cell with the fill's tag.
TEST(DataGeneratorPieces, TextFromTheGameFace) {
  ASSERT_TRUE(platform::LoadGameFont());
  TextField field;
  ASSERT_TRUE(MakeTextField("Ab", 40, 6, field));
  Coverage thin = TextCoverage(field, 0), thick = TextCoverage(field, 3);
  double thinSum = 0, thickSum = 0;
  for (size_t i = 0; i < thin.value.size(); ++i) {
    EXPECT_GE(thick.value[i], thin.value[i]);
    thinSum += thin.value[i];
    thickSum += thick.value[i];
  }
  EXPECT_GT(thinSum, 100);
  EXPECT_GT(thickSum, thinSum * 1.5);
  EXPECT_EQ(TextWidth("Ab", 40), 40);  // two Latin cells of half the height

  Canvas canvas(120, 60);
  TextStyle style;
  style.cellHeight = 40;
  style.outlineWidth = 2;
  style.fill = Solid(Hex(0xffffff));
  style.tag = 4;
  EXPECT_GT(DrawText(canvas, "Ab", 10, 10, style), 0);
  int tagged = 0, taggedOutside = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 120; ++x)
      if (canvas.Tag(x, y) == 4) {
        ++tagged;
        if (x < 10 || x >= 50 || y < 10 || y >= 50) ++taggedOutside;
      }
  EXPECT_GT(tagged, 100);
  EXPECT_EQ(taggedOutside, 0);
  EXPECT_FALSE(MakeTextField("", 40, 0, field));
}
