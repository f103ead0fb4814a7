// The picture's multiple and place in a window of any size, and window positions mapped back
// to the picture's pixels; then the same through a real window: blocks, bars, the pointer,
// resizing and the switch to the whole screen.
#include "platform/picture_fit.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/display.h"
#include "platform/testing/input.h"
#include "platform/testing/readback.h"

namespace {

using namespace platform;

TEST(PictureFit, AWindowOpensAtTheLargestMultipleThatFitsWithItsFrame) {
  struct Case {
    int width, height, scale;
  };
  const Case cases[] = {
      {1920, 1080, 2}, {3840, 2160, 4}, {1920, 1040, 2}, {2560, 1440, 2}, {1366, 768, 1},
      {1280, 960, 1},  {1296, 1024, 2}, {640, 480, 1},   {0, 0, 1},       {100000, 100000, kMaxScale},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OpeningScale(c.width, c.height), c.scale) << c.width << "x" << c.height;
  }
}

// Every window pixel is either on a bar (outside the picture) or over exactly the picture
// pixel presentation samples there; at a whole multiple each picture pixel is a square block.
TEST(PictureFit, EveryWindowPixelMapsToThePicturePixelItShows) {
  struct Case {
    int width, height;
    PictureRect expected;
  };
  const Case cases[] = {
      {640, 480, {0, 0, 640, 480}},         {1280, 960, {0, 0, 1280, 960}},     {1920, 1080, {320, 60, 1280, 960}},
      {3840, 2160, {640, 120, 2560, 1920}}, {1300, 2000, {10, 520, 1280, 960}}, {320, 240, {0, 0, 320, 240}},
      {500, 500, {0, 62, 500, 375}},        {900, 300, {250, 0, 400, 300}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    const PictureRect r = PlacePicture(c.width, c.height);
    ASSERT_EQ(r.x, c.expected.x);
    ASSERT_EQ(r.y, c.expected.y);
    ASSERT_EQ(r.width, c.expected.width);
    ASSERT_EQ(r.height, c.expected.height);
    const int scale = r.scale();
    std::vector<int> hits(kScreenPixels, 0);
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        int cx = 0, cy = 0;
        const bool inside = WindowToClient(r, x, y, cx, cy);
        const bool overPicture = x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
        ASSERT_EQ(inside, overPicture) << x << "," << y;
        if (!inside) {
          ASSERT_TRUE(cx < 0 || cx >= kScreenWidth || cy < 0 || cy >= kScreenHeight);
          continue;
        }
        ASSERT_EQ(cx, (x - r.x) * kScreenWidth / r.width);
        ASSERT_EQ(cy, (y - r.y) * kScreenHeight / r.height);
        ++hits[cy * kScreenWidth + cx];
      }
    }
    if (scale > 0) {
      for (int h : hits) ASSERT_EQ(h, scale * scale);
    }
  }
  int cx = 0, cy = 0;
  EXPECT_FALSE(WindowToClient(PlacePicture(1920, 1080), 319, 500, cx, cy));
  EXPECT_LT(cx, 0);  // left of the picture: a negative place, never wrapped round
}

class ScaledWindow : public ::testing::Test {
 protected:
  void TearDown() override {
    ChooseWindow(WindowChoice{});
    CloseDisplay();
  }
  // A frame whose every pixel differs from its neighbours, and none is black.
  void PresentPattern(uint16_t salt) {
    for (int y = 0; y < kScreenHeight; ++y) {
      for (int x = 0; x < kScreenWidth; ++x)
        frame[y * kScreenWidth + x] = static_cast<uint16_t>((x * 7 + y * 131 + salt) % 0x7FFF + 1);
    }
    PresentFrame(frame);
  }
  // The window shows each picture pixel as its block at the picture's place, black elsewhere.
  void ExpectShown(const PictureRect& at) {
    const PictureRect shown = PictureInWindow();
    ASSERT_EQ(shown.x, at.x);
    ASSERT_EQ(shown.y, at.y);
    ASSERT_EQ(shown.width, at.width);
    ASSERT_EQ(shown.height, at.height);
    int width = 0, height = 0;
    WindowPixelSize(width, height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        int cx = 0, cy = 0;
        const uint32_t expected = WindowToClient(at, x, y, cx, cy) ? WidenRgb555(frame[cy * kScreenWidth + cx]) : 0;
        ASSERT_EQ(WindowPixel(x, y), expected) << x << "," << y;
      }
    }
  }
  // The message the pointer's move to window position (x, y) gives, 0 for none.
  uint32_t MoveTo(int x, int y, int32_t& lParam) {
    PushMouseMove(x, y);
    Message m;
    uint32_t got = 0;
    while (PollMessage(m)) {
      if (m.message == WM_MOUSEMOVE) {
        got = m.message;
        lParam = m.lParam;
      }
    }
    return got;
  }
  uint16_t frame[kScreenPixels];
};

TEST_F(ScaledWindow, BlocksBarsPointerResizeAndTheWholeScreen) {
  ChooseWindow(WindowChoice{2, false});
  ASSERT_TRUE(OpenWindow("Brakkel!!"));
  PresentPattern(0);
  ExpectShown(PictureRect{0, 0, 1280, 960});
  // A second frame: only changed rows are sent, every row of their blocks changes.
  PresentPattern(5);
  ExpectShown(PictureRect{0, 0, 1280, 960});

  int32_t at = 0;
  ASSERT_EQ(MoveTo(2 * 300 + 1, 2 * 200 + 1, at), WM_MOUSEMOVE);
  EXPECT_EQ(at, 300 | 200 << 16);
  ASSERT_EQ(MoveTo(1279, 959, at), WM_MOUSEMOVE);
  EXPECT_EQ(at, 639 | 479 << 16);

  // Wider than twice the picture: centred at 2x, bars left and right, a bar is no place.
  ResizeWindow(1400, 1000);
  PresentPattern(9);
  ExpectShown(PictureRect{60, 20, 1280, 960});
  EXPECT_EQ(MoveTo(30, 500, at), 0u);
  ASSERT_EQ(MoveTo(60, 20, at), WM_MOUSEMOVE);
  EXPECT_EQ(at, 0);

  // Smaller than 640x480: the picture shrinks, still 4:3.
  ResizeWindow(500, 500);
  PresentPattern(11);
  ExpectShown(PictureRect{0, 62, 500, 375});
  ASSERT_EQ(MoveTo(250, 312, at), WM_MOUSEMOVE);
  EXPECT_EQ(at, 320 | 320 << 16);

  // The whole screen (F11 or Alt+Enter in the game): here the test display's 1024x768, the
  // picture at 1x in its middle, remembered as the player's choice; switched again, the
  // window comes back at its size, and a second round goes the same way.
#if defined(_WIN32)
  // SDL built for Windows leaves the window's new size to its Windows driver (WM_WINDOWPOSCHANGED;
  // SDL_video.c sends no resize of its own there): the headless driver of the tests never gets
  // one, and its window keeps 1280x960. scripts/windows/try.sh switches the real window.
  GTEST_SKIP() << "the headless driver of SDL's Windows build never resizes a window to the whole screen";
#endif
  ResizeWindow(1280, 960);
  SwitchFullscreen();
  EXPECT_TRUE(ChosenWindow().fullscreen);
  PresentPattern(13);
  ExpectShown(PictureRect{192, 144, 640, 480});
  EXPECT_EQ(MoveTo(100, 100, at), 0u);
  ASSERT_EQ(MoveTo(192 + 5, 144 + 7, at), WM_MOUSEMOVE);
  EXPECT_EQ(at, 5 | 7 << 16);
  SwitchFullscreen();
  EXPECT_FALSE(ChosenWindow().fullscreen);
  PresentPattern(17);
  ExpectShown(PictureRect{0, 0, 1280, 960});
  SwitchFullscreen();
  EXPECT_TRUE(ChosenWindow().fullscreen);
  SwitchFullscreen();
  EXPECT_FALSE(ChosenWindow().fullscreen);
  EXPECT_EQ(ChosenWindow().scale, 2);
}

}  // namespace
