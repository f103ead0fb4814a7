// Sprite banks: loading and rejecting ".ani" files, the sprite palette, drawing and clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "gfx/frame.h"
#include "gfx/sprite.h"
#include "gfx/sprite_file.h"
#include "platform/messagebox.h"
#include "support/ani_file.h"

namespace {

constexpr uint16_t kMarker = 0x1234;  // what the frame buffer holds before a draw

class SpriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeSpriteBanks();
    SpriteBankTable = {};
    BuildSpritePalette();
    std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), kMarker);
    platform::SetMessageBoxHook([this](const char* caption, const char* text) { boxes.push_back({caption, text}); });
  }
  void TearDown() override {
    // The loader tells its caller; telling the player is the caller's (app/start_up.h).
    EXPECT_TRUE(boxes.empty()) << "the loader showed a box itself";
    platform::SetMessageBoxHook(nullptr);
    FreeSpriteBanks();
    SpriteBankTable = {};
  }

  SpriteLoad Load(int32_t bank, const std::vector<uint8_t>& bytes) {
    return LoadSpriteFromMemory(bank, bytes.data(), bytes.size());
  }
  static uint16_t Pixel(int x, int y) { return FrameBuffer[y * kFrameWidth + x]; }
  static int ChangedPixels() {
    int n = 0;
    for (uint16_t p : FrameBuffer) n += p != kMarker;
    return n;
  }

  std::vector<std::pair<std::string, std::string>> boxes;
};

// A 20x12 frame whose column c has palette index 16 + c, and whose pixel (0, 0) is transparent.
AniFrame ColumnFrame() {
  AniFrame f{20, 12, {}};
  for (int r = 0; r < 12; ++r) {
    for (int c = 0; c < 20; ++c) f.pixels.push_back(static_cast<uint8_t>(16 + c));
  }
  f.pixels[0] = kSpriteTransparent;
  return f;
}

TEST_F(SpriteTest, PaletteKeepsTheTopFiveBitsOfEachComponent) {
  EXPECT_EQ(SpritePalette[146], 0x7F9B);  // 62, 57, 54
  EXPECT_EQ(SpritePalette[15], 0x7FFF);   // 63, 63, 63
  EXPECT_EQ(SpritePalette[3], 0x02B5);    // 0, 42, 42
  EXPECT_EQ(SpritePalette[0], 0);
  for (uint16_t colour : SpritePalette) EXPECT_EQ(colour & 0x8000, 0);
}

TEST_F(SpriteTest, LoadsFramesAndAppendsToABankThatHoldsSome) {
  std::vector<AniFrame> eight(8, SolidFrame(2, 3, 7));
  ASSERT_EQ(Load(4, AniBytes(eight)), SpriteLoad::Loaded);
  ASSERT_EQ(SpriteBankTable[4].frameCount, 8);
  std::vector<AniFrame> four;
  for (int k = 0; k < 4; ++k) four.push_back(SolidFrame(5 + k, 1 + k, static_cast<uint8_t>(k)));
  ASSERT_EQ(Load(4, AniBytes(four)), SpriteLoad::Loaded);
  const SpriteBank& bank = SpriteBankTable[4];
  EXPECT_EQ(bank.frameCount, 12);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(bank.width[8 + k], 5 + k);
    EXPECT_EQ(bank.height[8 + k], 1 + k);
    ASSERT_NE(bank.pixels[8 + k], nullptr);
    EXPECT_EQ(bank.pixels[8 + k][0], k);
  }
  EXPECT_EQ(bank.width[7], 2);
  EXPECT_EQ(bank.pixels[12], nullptr);
}

TEST_F(SpriteTest, LoadsFromAFileAndReportsAMissingOne) {
  const std::string path = WriteTempFile("sprite_test_ok.ani", AniBytes({ColumnFrame()}));
  EXPECT_EQ(LoadSpriteFile(0, path.c_str()), SpriteLoad::Loaded);
  EXPECT_EQ(SpriteBankTable[0].frameCount, 1);

  EXPECT_EQ(LoadSpriteFile(1, (::testing::TempDir() + "no_such_file.ani").c_str()), SpriteLoad::Missing);
  EXPECT_EQ(SpriteBankTable[1].frameCount, 0);
  // A bank out of range takes nothing, whatever the file.
  EXPECT_EQ(LoadSpriteFile(kSpriteBankCount, path.c_str()), SpriteLoad::NoSuchBank);
  EXPECT_EQ(Load(-1, AniBytes({ColumnFrame()})), SpriteLoad::NoSuchBank);
}

TEST_F(SpriteTest, NoFramesOrANegativeCountLoadsNothing) {
  std::vector<uint8_t> bytes = AniBytes({});
  EXPECT_EQ(Load(0, bytes), SpriteLoad::Loaded);
  bytes[28] = 0xFF;  // count -1
  bytes[29] = bytes[30] = bytes[31] = 0xFF;
  EXPECT_EQ(Load(0, bytes), SpriteLoad::Loaded);
  EXPECT_EQ(SpriteBankTable[0].frameCount, 0);
}

// Every damaged or foreign file is refused whole: Foreign (the "wrong file type" box of the
// programs, tests/app/start_up_test.cpp), and the bank exactly as it was.
TEST_F(SpriteTest, DamagedFilesAreRefusedAndLeaveTheBankAsItWas) {
  std::vector<AniFrame> existing(98, SolidFrame(1, 1, 9));
  ASSERT_EQ(Load(2, AniBytes(existing)), SpriteLoad::Loaded);
  const SpriteBank before = SpriteBankTable[2];

  const std::vector<uint8_t> good = AniBytes({SolidFrame(4, 4, 1), SolidFrame(3, 3, 2)});
  std::vector<std::pair<std::string, std::vector<uint8_t>>> cases;
  {
    auto b = good;
    b[27] = ' ';  // the magic must end in a zero byte
    cases.push_back({"space instead of the zero byte", b});
  }
  {
    auto b = good;
    b[0] = 'q';
    cases.push_back({"wrong magic", b});
  }
  cases.push_back({"shorter than the magic", std::vector<uint8_t>(good.begin(), good.begin() + 20)});
  cases.push_back({"no frame count", std::vector<uint8_t>(good.begin(), good.begin() + 30)});
  cases.push_back({"truncated pixels", std::vector<uint8_t>(good.begin(), good.end() - 1)});
  cases.push_back({"truncated frame header", std::vector<uint8_t>(good.begin(), good.begin() + 32 + 8 + 16 + 5)});
  cases.push_back({"more frames than the bank has room for",
                   AniBytes({SolidFrame(1, 1, 1), SolidFrame(1, 1, 1), SolidFrame(1, 1, 1)})});
  {
    auto b = AniBytes({SolidFrame(1, 1, 1)});
    b[28] = 0xFF;  // count 2^31 - 1
    b[29] = b[30] = 0xFF;
    b[31] = 0x7F;
    cases.push_back({"absurd frame count", b});
  }
  // One frame whose header says width x height, followed by `pixels` bytes.
  const auto oneFrame = [](int32_t width, int32_t height, size_t pixels) {
    std::vector<uint8_t> b = AniBytes({});
    b[28] = 1;
    PutInt32(b, width);
    PutInt32(b, height);
    b.insert(b.end(), pixels, 1);
    return b;
  };
  cases.push_back({"negative size", oneFrame(-4, -4, 16)});
  cases.push_back({"wider than 4096", oneFrame(5000, 1, 5000)});
  cases.push_back({"size whose product overflows 32 bits", oneFrame(65536, 65536, 0)});
  cases.push_back({"empty", {}});

  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    EXPECT_EQ(Load(2, bytes), SpriteLoad::Foreign);
    const SpriteBank& now = SpriteBankTable[2];
    EXPECT_EQ(now.frameCount, 98);
    for (int k = 0; k < kSpriteFramesPerBank; ++k) {
      EXPECT_EQ(now.pixels[k], before.pixels[k]);
      EXPECT_EQ(now.width[k], before.width[k]);
      EXPECT_EQ(now.height[k], before.height[k]);
    }
  }
  // The two slots left still take a file of two frames.
  EXPECT_EQ(Load(2, good), SpriteLoad::Loaded);
  EXPECT_EQ(SpriteBankTable[2].frameCount, 100);
}

TEST_F(SpriteTest, ClippingAtTheFourEdges) {
  ASSERT_EQ(Load(0, AniBytes({ColumnFrame()})), SpriteLoad::Loaded);
  const int opaque = 20 * 12 - 1;

  DrawSprite(0, 0, 100, 100);  // wholly on screen
  EXPECT_EQ(ChangedPixels(), opaque);
  EXPECT_EQ(Pixel(100, 100), kMarker);  // the transparent pixel
  EXPECT_EQ(Pixel(101, 100), SpritePalette[17]);
  EXPECT_EQ(Pixel(119, 111), SpritePalette[35]);

  std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), kMarker);
  DrawSprite(0, 0, -10, 200);  // only columns 10 and up
  EXPECT_EQ(ChangedPixels(), 10 * 12);
  EXPECT_EQ(Pixel(0, 200), SpritePalette[26]);
  EXPECT_EQ(Pixel(9, 211), SpritePalette[35]);

  std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), kMarker);
  DrawSprite(0, 0, 635, 200);  // only columns 0 to 4
  EXPECT_EQ(ChangedPixels(), 5 * 12 - 1);
  EXPECT_EQ(Pixel(639, 201), SpritePalette[20]);

  std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), kMarker);
  DrawSprite(0, 0, 300, 470);  // only rows 0 to 9
  EXPECT_EQ(ChangedPixels(), 20 * 10 - 1);
  EXPECT_EQ(Pixel(300, 479), SpritePalette[16]);

  std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), kMarker);
  DrawSprite(0, 0, 300, -5);  // only rows 5 and up
  EXPECT_EQ(ChangedPixels(), 20 * 7);
  EXPECT_EQ(Pixel(300, 0), SpritePalette[16]);

  std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), kMarker);
  DrawSprite(0, 0, -19, -11);  // one pixel in the corner
  EXPECT_EQ(ChangedPixels(), 1);
  EXPECT_EQ(Pixel(0, 0), SpritePalette[35]);

  std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), kMarker);
  for (int32_t x : {INT_MIN, -20, kFrameWidth, INT_MAX}) DrawSprite(0, 0, x, 100);
  for (int32_t y : {INT_MIN, -12, kFrameHeight, INT_MAX}) DrawSprite(0, 0, 100, y);
  DrawSpriteTinted(0, 0, 20, 3, INT_MAX - 5, INT_MAX - 5);
  EXPECT_EQ(ChangedPixels(), 0);
}

TEST_F(SpriteTest, TintReplacesOneIndexAndTransparencyComesFirst) {
  AniFrame f{3, 1, {146, 20, kSpriteTransparent}};
  ASSERT_EQ(Load(2, AniBytes({f})), SpriteLoad::Loaded);
  DrawSpriteTinted(2, 0, 146, 3, 10, 10);
  EXPECT_EQ(Pixel(10, 10), 0x02B5);
  EXPECT_EQ(Pixel(11, 10), SpritePalette[20]);
  EXPECT_EQ(Pixel(12, 10), kMarker);

  DrawSprite(2, 0, 10, 20);  // untinted: its own colour
  EXPECT_EQ(Pixel(10, 20), 0x7F9B);

  DrawSpriteTinted(2, 0, 255, 3, 10, 30);  // from 255 changes nothing
  EXPECT_EQ(Pixel(10, 30), 0x7F9B);
  EXPECT_EQ(Pixel(12, 30), kMarker);

  DrawSpriteTinted(2, 0, 20, 255, 10, 40);  // to 255 paints entry 255 like any colour
  EXPECT_EQ(Pixel(11, 40), SpritePalette[255]);
}

TEST_F(SpriteTest, EmptyFramesAndSlotsDrawNothing) {
  ASSERT_EQ(Load(1, AniBytes({SolidFrame(0, 5, 1), SolidFrame(5, 0, 1), SolidFrame(2, 2, 1)})), SpriteLoad::Loaded);
  DrawSprite(1, 0, 10, 10);
  DrawSprite(1, 1, 10, 10);
  DrawSprite(1, 3, 10, 10);   // never loaded
  DrawSprite(5, 0, 10, 10);   // empty bank
  DrawSprite(1, -1, 10, 10);  // no such slot
  DrawSprite(1, 100, 10, 10);
  DrawSprite(60, 0, 10, 10);  // no such bank
  EXPECT_EQ(ChangedPixels(), 0);
  DrawSprite(1, 2, 10, 10);
  EXPECT_EQ(ChangedPixels(), 4);
}

// Every pixel of a frame, tested one by one against the screen, as drawing is defined.
void DrawByTheRule(const AniFrame& f, uint8_t from, uint8_t to, int32_t x, int32_t y) {
  for (int32_t r = 0; r < f.height; ++r) {
    for (int32_t c = 0; c < f.width; ++c) {
      const uint8_t p = f.pixels[static_cast<size_t>(r * f.width + c)];
      if (p == kSpriteTransparent) continue;
      const int64_t sx = int64_t{x} + c;
      const int64_t sy = int64_t{y} + r;
      if (sx < 0 || sy < 0 || sx >= kFrameWidth || sy >= kFrameHeight) continue;
      FrameBuffer[sy * kFrameWidth + sx] = SpritePalette[p == from ? to : p];
    }
  }
}

TEST_F(SpriteTest, OpaqueRunsOfEveryLengthAndCutAtEveryColumnDrawAsPixelByPixel) {
  // Row r: runs of r + 1 opaque pixels (the tint index and others) between gaps of 1 to 3.
  AniFrame f{70, 24, {}};
  for (int32_t r = 0; r < f.height; ++r) {
    for (int32_t c = 0; c < f.width; ++c) {
      const int32_t period = r + 1 + 1 + r % 3;
      const bool opaque = c % period < r + 1;
      f.pixels.push_back(!opaque ? kSpriteTransparent : (c % 3 == 0 ? 146 : static_cast<uint8_t>(c + r)));
    }
  }
  ASSERT_EQ(Load(2, AniBytes({f})), SpriteLoad::Loaded);
  static uint16_t expected[kFramePixels];
  for (int32_t x = -72; x <= 642; x += 7) {
    for (int32_t y : {-25, -13, 0, 200, 460, 479}) {
      const uint8_t to = static_cast<uint8_t>(x & 0xFF);
      std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), kMarker);
      DrawByTheRule(f, 146, to, x, y);
      std::copy(std::begin(FrameBuffer), std::end(FrameBuffer), expected);
      std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), kMarker);
      DrawSpriteTinted(2, 0, 146, to, x, y);
      ASSERT_TRUE(std::equal(std::begin(FrameBuffer), std::end(FrameBuffer), expected)) << "at " << x << ", " << y;
    }
  }
}

TEST_F(SpriteTest, ColoursFollowAChangedPaletteAndHandFilledFramesDrawToo) {
  ASSERT_EQ(Load(0, AniBytes({ColumnFrame()})), SpriteLoad::Loaded);
  DrawSprite(0, 0, 100, 100);
  EXPECT_EQ(Pixel(101, 100), SpritePalette[17]);
  SpritePalette[17] = 0x1111;  // changed between two draws
  DrawSprite(0, 0, 100, 100);
  EXPECT_EQ(Pixel(101, 100), 0x1111);
  BuildSpritePalette();
  DrawSprite(0, 0, 100, 100);
  EXPECT_EQ(Pixel(101, 100), SpritePalette[17]);
  EXPECT_NE(SpritePalette[17], 0x1111);

  // A frame put into a bank by hand, with no runs made for it.
  uint8_t pixels[3 * 2] = {5, kSpriteTransparent, 146, 146, 7, kSpriteTransparent};
  SpriteBank& bank = SpriteBankTable[9];
  bank.width[0] = 3;
  bank.height[0] = 2;
  bank.pixels[0] = pixels;
  bank.frameCount = 1;
  std::fill(std::begin(FrameBuffer), std::end(FrameBuffer), kMarker);
  DrawSpriteTinted(9, 0, 146, 3, -1, 479);
  EXPECT_EQ(ChangedPixels(), 1);
  EXPECT_EQ(Pixel(1, 479), SpritePalette[3]);  // row 0: column 1 transparent, column 2 tinted
  DrawSprite(9, 0, 10, 10);
  EXPECT_EQ(Pixel(10, 10), SpritePalette[5]);
  EXPECT_EQ(Pixel(11, 10), kMarker);
  EXPECT_EQ(Pixel(12, 10), SpritePalette[146]);
  EXPECT_EQ(Pixel(11, 11), SpritePalette[7]);
  bank.pixels[0] = nullptr;  // not ours to free
}

}  // namespace
