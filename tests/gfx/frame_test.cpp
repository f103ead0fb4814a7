// The way from the frame buffer to the window, and outlined text on the off-screen surface.
#include <gtest/gtest.h>

#include <cstring>

#include "gfx/frame.h"
#include "platform/display.h"
#include "platform/testing/input.h"
#include "platform/testing/readback.h"
#include "platform/text.h"
#include "support/cp949_text.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000, kBlue = 0x0000FF;

class FrameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(platform::OpenWindow("Brakkel!!"));
    ASSERT_TRUE(platform::LoadGameFont());
  }
};

TEST_F(FrameTest, PixelsShowInTheirColoursAndBit15IsIgnored) {
  FrameBuffer[0] = 0x7FFF;
  FrameBuffer[1] = 0x7C00;
  FrameBuffer[2] = 0x001F;
  FrameBuffer[3] = 0x8000 | 0x001F;
  FrameBuffer[4] = 0x4210;  // 16 in every component widens to 132
  PresentFrameDirect();
  const uint32_t* shown = platform::ShownPixels();
  EXPECT_EQ(shown[0], kWhite);
  EXPECT_EQ(shown[1], kRed);
  EXPECT_EQ(shown[2], kBlue);
  EXPECT_EQ(shown[3], kBlue);
  EXPECT_EQ(shown[4], 0x848484u);
  EXPECT_EQ(platform::WidenRgb555(0x4210), 0x848484u);
  EXPECT_EQ(platform::WidenRgb555(0x8000 | 0x7C00), 0xFF0000u);
  CopyFrameToOffscreen();
  PresentOffscreen();
  EXPECT_EQ(platform::ShownPixels()[1], kRed);
}

TEST_F(FrameTest, TextAppearsOnlyThroughTheOffscreenSurface) {
  std::memset(FrameBuffer, 0, sizeof FrameBuffer);
  CopyFrameToOffscreen();
  DrawOutlinedText(10, 10, "HUD");
  PresentOffscreen();
  const uint32_t* shown = platform::ShownPixels();
  int lit = 0;
  for (int i = 0; i < kFrameWidth * 40; ++i) lit += shown[i] != 0;
  EXPECT_GT(lit, 0);
  // The direct path shows the frame alone.
  PresentFrameDirect();
  shown = platform::ShownPixels();
  lit = 0;
  for (int i = 0; i < kFrameWidth * 40; ++i) lit += shown[i] != 0;
  EXPECT_EQ(lit, 0);
}

TEST_F(FrameTest, OutlinedTextIsBlueWithALavenderRimOnFourSides) {
  std::memset(FrameBuffer, 0, sizeof FrameBuffer);
  CopyFrameToOffscreen();
  DrawOutlinedText(100, 100, "I");
  const uint16_t* s = platform::OffscreenPixels();
  const uint16_t blue = 0x001F;
  const uint16_t lavender = (25 << 10) | (25 << 5) | 31;  // (200, 200, 255) on a 5-bit surface
  int glyph = 0;
  for (int y = 90; y < 140; ++y) {
    for (int x = 90; x < 130; ++x) {
      uint16_t p = s[y * kFrameWidth + x];
      ASSERT_TRUE(p == 0 || p == blue || p == lavender) << x << "," << y;
      if (p != blue) continue;
      ++glyph;
      // Every glyph pixel's four neighbours are glyph or rim, never background.
      for (int d : {-1, 1, -kFrameWidth, kFrameWidth}) EXPECT_NE(s[y * kFrameWidth + x + d], 0) << x << "," << y;
    }
  }
  EXPECT_GT(glyph, 10);
  // The rim covers no diagonal: below-right of the lowest, rightmost glyph pixel stays black.
  int lastX = -1, lastY = -1;
  for (int y = 90; y < 140; ++y) {
    for (int x = 90; x < 130; ++x) {
      if (s[y * kFrameWidth + x] == blue) {
        lastX = x;
        lastY = y;
      }
    }
  }
  bool rightOf = s[lastY * kFrameWidth + lastX + 1] == blue;
  bool below = s[(lastY + 1) * kFrameWidth + lastX] == blue;
  if (!rightOf && !below) {
    EXPECT_EQ(s[(lastY + 1) * kFrameWidth + lastX + 1], 0);
  }
}

TEST_F(FrameTest, EmptyAndOffSurfaceTextIsHarmless) {
  std::memset(FrameBuffer, 0, sizeof FrameBuffer);
  CopyFrameToOffscreen();
  DrawOutlinedText(0, 0, "");
  for (int i = 0; i < kFramePixels; ++i) ASSERT_EQ(platform::OffscreenPixels()[i], 0);
  // Cut at the surface's edges on every side.
  DrawOutlinedText(-30, -10, "edge");
  DrawOutlinedText(630, 470, Cp949("가나").c_str());
  DrawOutlinedText(100000, -100000, "far");
  auto litIn = [](int x0, int y0, int x1, int y1) {
    int lit = 0;
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) lit += platform::OffscreenPixels()[y * kFrameWidth + x] != 0;
    return lit;
  };
  EXPECT_GT(litIn(0, 0, 20, 13), 0);
  EXPECT_GT(litIn(630, 470, 639, 479), 0);
}

TEST_F(FrameTest, EveryColourWidensByTheRuleOnItsWayToTheWindow) {
  // Every 15-bit colour, with and without bit 15, somewhere in the frame.
  for (int i = 0; i < kFramePixels; ++i) FrameBuffer[i] = static_cast<uint16_t>(i * 3 + i / 65536);
  auto widen = [](uint16_t p) {
    auto wide = [](uint32_t v) { return v << 3 | v >> 2; };
    return wide(p >> 10 & 31) << 16 | wide(p >> 5 & 31) << 8 | wide(p & 31);
  };
  static uint32_t converted[kFramePixels];
  platform::WidenRgb555Frame(FrameBuffer, converted);
  PresentFrameDirect();
  const uint32_t* shown = platform::ShownPixels();
  for (int i = 0; i < kFramePixels; ++i) {
    ASSERT_EQ(converted[i], widen(FrameBuffer[i])) << i;
    ASSERT_EQ(platform::WidenRgb555(FrameBuffer[i]), converted[i]) << i;
    ASSERT_EQ(shown[i] & 0xFFFFFF, converted[i]) << i;
  }
}

TEST_F(FrameTest, OnlyChangedRowsChangeAndAPaintRequestSendsTheWholePicture) {
  for (int i = 0; i < kFramePixels; ++i) FrameBuffer[i] = static_cast<uint16_t>(i);
  PresentFrameDirect();
  // The same frame again, then one pixel of the last row changed, then the first row.
  PresentFrameDirect();
  FrameBuffer[kFramePixels - 1] = 0x7FFF;
  PresentFrameDirect();
  EXPECT_EQ(platform::ShownPixels()[kFramePixels - 1], kWhite);
  FrameBuffer[0] = 0x001F;
  platform::PushPaint();
  platform::Message m;
  while (platform::PollMessage(m)) {
  }
  PresentFrameDirect();
  const uint32_t* shown = platform::ShownPixels();
  EXPECT_EQ(shown[0], kBlue);
  EXPECT_EQ(shown[kFramePixels - 1], kWhite);
  EXPECT_EQ(shown[1000] & 0xFFFFFF, platform::WidenRgb555(1000));
}

}  // namespace
