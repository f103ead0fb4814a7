// The title logo's fades, hold and skips, and the mode menu's areas and hints, under the
// fake clock with pushed input.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "app/screens.h"
#include "app/window.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/testing/input.h"
#include "screen_fixture.h"

namespace {

using namespace platform;

class LogoTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    // The logo's colour table at every level from 0 to 100 %.
    LoadPicture("logo.pcx");
    std::array<uint8_t, kColourTableBytes> full;
    std::memcpy(full.data(), PictureColourTable, kColourTableBytes);
    for (int level = 0; level <= 100; ++level) {
      ScaleColourTable(level, full.data());
      std::memcpy(tables[level].data(), FadedColourTable, kColourTableBytes);
    }
    std::memset(PictureColourTable, 0, kColourTableBytes);
  }

  // The level whose table the picture now has, -1 if none.
  int CurrentLevel() const {
    for (int level = 0; level <= 100; ++level) {
      if (std::memcmp(tables[level].data(), PictureColourTable, kColourTableBytes) == 0) return level;
    }
    return -1;
  }

  // Runs the logo; the script gets the number of the wait (1, 2, ...) that just ended.
  void RunLogo(const std::function<void(int wait)>& atWait = nullptr) {
    levels.clear();
    waits = 0;
    script = [this, atWait](uint32_t) {
      levels.push_back(CurrentLevel());
      if (atWait) atWait(waits);
    };
    ShowLogo();
  }

  static std::vector<int> FadeIn(int steps) {
    std::vector<int> v;
    for (int i = 0; i < steps; ++i) v.push_back(2 * i);
    return v;
  }

  std::array<std::array<uint8_t, kColourTableBytes>, 101> tables;
  std::vector<int> levels;  // the picture's level at each wait
};

TEST_F(LogoTest, UndisturbedItFadesInHoldsAndFadesOutInThirteenSeconds) {
  bool checkedPicture = false;
  RunLogo([&](int wait) {
    if (wait == 26) {  // the 26th step shows the picture at 50 %
      const std::vector<uint32_t> shown = Shown();
      for (int i = 0; i < kScreenPixels; i += 1009) {
        ASSERT_EQ(shown[i] & 0xFFFFFF, WidenRgb555(ScreenPalette[BackgroundPicture[i]])) << i;
      }
      checkedPicture = true;
    }
  });
  EXPECT_TRUE(checkedPicture);
  // 50 steps of 0, 2, ... 98 %; one wait of the hold at 98 %; 50 steps of 99, 97, ... 1 %.
  std::vector<int> expected = FadeIn(50);
  expected.push_back(98);
  for (int i = 0; i < 50; ++i) expected.push_back(99 - 2 * i);
  EXPECT_EQ(levels, expected);
  EXPECT_EQ(Elapsed(), 50u * 100 + 3001 + 50u * 100);  // the hold ends after more than 3 s
  // It ends on the 1 % picture; it was never shown at 100 %.
  EXPECT_EQ(CurrentLevel(), 1);
}

TEST_F(LogoTest, ATypedCharacterSkipsButAnArrowDoesNot) {
  RunLogo([](int wait) {
    if (wait == 10) TypeKey(VK_LEFT, nullptr);
    if (wait == 20) TypeKey(VK_F1, nullptr);
  });
  EXPECT_EQ(Elapsed(), 13001u);

  // Space during the 10th step's wait: the 11th step sees it, runs to its end, and the
  // logo is over: no hold, no fade-out.
  platform::UseFakeClock(kClockStart);
  RunLogo([](int wait) {
    if (wait == 10) TypeKey(VK_SPACE, " ");
  });
  EXPECT_EQ(levels, FadeIn(11));
  EXPECT_EQ(Elapsed(), 1100u);

  // Escape types a character too.
  platform::UseFakeClock(kClockStart);
  RunLogo([](int wait) {
    if (wait == 3) TypeKey(VK_ESCAPE, nullptr);
  });
  EXPECT_EQ(levels, FadeIn(4));
}

TEST_F(LogoTest, TheHoldEndsAtOnceOnAKeyOrAPress) {
  // A key typed during the last fade-in step's wait is seen by the hold's first look.
  RunLogo([](int wait) {
    if (wait == 50) TypeKey('A', "a");
  });
  EXPECT_EQ(levels, FadeIn(50));
  EXPECT_EQ(Elapsed(), 5000u);

  platform::UseFakeClock(kClockStart);
  RunLogo([](int wait) {
    if (wait == 50) PushMouseButton(true);
  });
  EXPECT_EQ(levels, FadeIn(50));
  EXPECT_EQ(Elapsed(), 5000u);
  PushMouseButton(false);
  PumpMessages();
}

TEST_F(LogoTest, APressReleasedBeforeTheStepLooksIsMissed) {
  RunLogo([](int wait) {
    if (wait == 5) {
      PushMouseButton(true);
      PushMouseButton(false);
    }
  });
  EXPECT_EQ(Elapsed(), 13001u);

  // Held until the next step looks: that step is the last.
  platform::UseFakeClock(kClockStart);
  RunLogo([](int wait) {
    if (wait == 5) PushMouseButton(true);
  });
  EXPECT_EQ(levels, FadeIn(6));
  PushMouseButton(false);
  PumpMessages();
}

TEST_F(LogoTest, AClosedWindowDoesNotShortenIt) {
  RunLogo([](int wait) {
    if (wait == 3) PushClose();
  });
  EXPECT_EQ(InputState.quit, 1);
  EXPECT_EQ(Elapsed(), 13001u);
}

class MenuTest : public ScreenTest {
 protected:
  // What the window shows with `hint` at (x, y) over the menu picture.
  static std::vector<uint32_t> Expected(int x, int y, const char* hint) {
    ShowPicture();
    CopyFrameToOffscreen();
    DrawOutlinedText(x, y, hint);
    std::vector<uint32_t> out(kScreenPixels);
    const uint16_t* offscreen = OffscreenPixels();
    for (int i = 0; i < kScreenPixels; ++i) out[i] = WidenRgb555(offscreen[i]);
    return out;
  }

  static std::vector<uint32_t> ShownRgb() {
    std::vector<uint32_t> shown = Shown();
    for (uint32_t& p : shown) p &= 0xFFFFFF;
    return shown;
  }

  // Runs the menu with the button held, the pointer visiting `path` one point per wait.
  // Returns the mode chosen and how many points were visited by then.
  int32_t RunPath(const std::vector<std::array<int, 2>>& path, size_t& visited) {
    visited = 0;
    PushMouseMove(path[0][0], path[0][1]);
    PushMouseButton(true);
    visited = 1;
    script = [&](uint32_t) {
      if (visited < path.size()) {
        PushMouseMove(path[visited][0], path[visited][1]);
        ++visited;
      }
    };
    const int32_t mode = RunModeMenu();
    PushMouseButton(false);
    PumpMessages();
    return mode;
  }
};

TEST_F(MenuTest, MouseInRectIncludesAllFourEdges) {
  InputState.mouseX = 66;
  InputState.mouseY = 50;
  EXPECT_TRUE(MouseInRect(66, 50, 188, 171));
  InputState.mouseX = 188;
  InputState.mouseY = 171;
  EXPECT_TRUE(MouseInRect(66, 50, 188, 171));
  InputState.mouseX = 65;
  EXPECT_FALSE(MouseInRect(66, 50, 188, 171));
  InputState.mouseX = 100;
  InputState.mouseY = 172;
  EXPECT_FALSE(MouseInRect(66, 50, 188, 171));
  InputState.mouseY = -5;  // signed comparison
  EXPECT_FALSE(MouseInRect(-10, -10, 0, 0));
  InputState.mouseX = -5;
  EXPECT_TRUE(MouseInRect(-10, -10, 0, 0));
}

TEST_F(MenuTest, CornersChooseAndTheGapsBetweenAreasDoNot) {
  size_t visited = 0;
  // With the button held, the pointer crosses points of no area, then a corner.
  std::vector<std::array<int, 2>> path = {{189, 100}, {65, 100}, {100, 49}, {700, 700}};
  for (int y = 172; y <= 177; ++y) path.push_back({100, y});
  for (int y = 318; y <= 320; ++y) path.push_back({100, y});
  path.push_back({245, 400});
  path.push_back({100, 474});
  const size_t gaps = path.size();
  path.push_back({66, 50});
  EXPECT_EQ(RunPath(path, visited), 0);
  EXPECT_EQ(visited, gaps + 1);

  const std::vector<std::array<std::array<int, 2>, 2>> corners = {{{{66, 50}, {188, 171}}},
                                                                  {{{60, 178}, {202, 317}}},
                                                                  {{{54, 321}, {244, 473}}}};
  for (int mode = 0; mode < 3; ++mode) {
    for (const auto& corner : corners[mode]) {
      EXPECT_EQ(RunPath({{300, 300}, corner}, visited), mode) << corner[0] << "," << corner[1];
      EXPECT_EQ(visited, 2u);
    }
  }
}

TEST_F(MenuTest, AButtonHeldBeforeTheMenuChoosesAtOnce) {
  PushMouseMove(100, 250);
  PushMouseButton(true);
  EXPECT_EQ(RunModeMenu(), 1);
  EXPECT_EQ(waits, 0);
  PushMouseButton(false);
  PumpMessages();
}

TEST_F(MenuTest, EachHintIsDrawnAtThePointer) {
  struct Stop {
    int x, y;
    const char* hint;
  };
  const Stop stops[] = {
      {300, 100, MenuDefaultHint},   {120, 100, MenuAreas[0].hint}, {70, 250, MenuAreas[1].hint},
      {150, 400, MenuAreas[2].hint}, {100, 175, MenuDefaultHint},  // between two areas
  };
  const char* hints[] = {MenuDefaultHint, MenuAreas[0].hint, MenuAreas[1].hint, MenuAreas[2].hint};
  size_t next = 0;
  int checked = 0;
  script = [&](uint32_t) {
    if (next > 0) {
      // The window shows the previous stop's hint, and no other hint.
      const Stop& stop = stops[next - 1];
      const std::vector<uint32_t> shown = ShownRgb();
      for (const char* hint : hints) {
        EXPECT_EQ(shown == Expected(stop.x, stop.y, hint), hint == stop.hint) << "stop " << next - 1;
      }
      ++checked;
    }
    if (next < std::size(stops)) {
      PushMouseMove(stops[next].x, stops[next].y);
      ++next;
    } else {
      PushMouseMove(150, 400);  // into the hardcore area with the button down: the menu ends
      PushMouseButton(true);
    }
  };
  // Keys do nothing on the menu.
  TypeKey(VK_RETURN, nullptr);
  TypeKey(VK_SPACE, " ");
  EXPECT_EQ(RunModeMenu(), 2);
  EXPECT_EQ(checked, static_cast<int>(std::size(stops)));
  PushMouseButton(false);
  PumpMessages();
}

TEST_F(MenuTest, LeftAloneItSleepsBetweenLooks) {
  script = [](uint32_t) {
    if (Elapsed() >= 5000) {
      PushMouseMove(100, 100);
      PushMouseButton(true);
    }
  };
  EXPECT_EQ(RunModeMenu(), 0);
  // Five seconds with nothing happening: a look every quarter second or so.
  EXPECT_LE(waits, static_cast<int>(5000 / kMenuIdleMs) + 2);
  PushMouseButton(false);
  PumpMessages();
}

TEST_F(MenuTest, ClosingTheWindowEndsTheMenu) {
  script = [](uint32_t) { PushClose(); };
  RunModeMenu();
  EXPECT_EQ(InputState.quit, 1);
  EXPECT_EQ(waits, 1);
}

}  // namespace
