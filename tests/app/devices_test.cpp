// Game controllers and the keys of comfort, through the real pump: a virtual pad's buttons
// and stick become the keyboard's and the mouse's messages, the menu is played with it, M
// mutes the music, F11 and Alt+Enter switch the whole screen and F12 saves the picture
// shown (the table of app/game_keys.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/screens.h"
#include "app/window.h"
#include "gfx/frame.h"
#include "platform/display.h"
#include "platform/music.h"
#include "platform/testing/input.h"
#include "platform/testing/pad.h"
#include "platform/testing/readback.h"
#include "screen_fixture.h"
#include "support/game_window.h"
#include "support/temp_folder.h"

namespace {

using namespace platform;

// The messages now waiting, written short: "down 25", "up 25", "char 32", "move 127,110",
// "press", "release".
std::vector<std::string> Drain() {
  std::vector<std::string> out;
  Message m;
  while (PollMessage(m)) {
    switch (m.message) {
      case WM_KEYDOWN: out.push_back("down " + std::to_string(m.wParam)); break;
      case WM_KEYUP: out.push_back("up " + std::to_string(m.wParam)); break;
      case WM_CHAR: out.push_back("char " + std::to_string(m.wParam)); break;
      case WM_MOUSEMOVE:
        out.push_back("move " + std::to_string(m.lParam & 0xFFFF) + "," + std::to_string(m.lParam >> 16));
        break;
      case WM_LBUTTONDOWN: out.push_back("press"); break;
      case WM_LBUTTONUP: out.push_back("release"); break;
      default: break;
    }
  }
  return out;
}

using Seen = std::vector<std::string>;

class PadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(GameWindowReady());
    ASSERT_TRUE(PlugInVirtualPad());
    Drain();  // the game takes the new pad
  }
  void TearDown() override {
    UnplugVirtualPad();
    PumpMessages();
  }
};

TEST_F(PadTest, ButtonsAndStickPlayAsKeysAndLetGoOfWhatTheyPressed) {
  PressPadButton(PadButton::Left, true);
  EXPECT_EQ(Drain(), (Seen{"down 37"}));
  MovePadStick(9000, 0);  // within the dead zone
  EXPECT_EQ(Drain(), Seen{});
  MovePadStick(20000, 0);
  EXPECT_EQ(Drain(), (Seen{"down 39"}));
  MovePadStick(12000, 0);  // short of the rest: still pushed
  EXPECT_EQ(Drain(), Seen{});
  MovePadStick(-3000, -30000);
  EXPECT_EQ(Drain(), (Seen{"up 39", "down 38"}));
  // The d-pad and the stick on one arrow: it is let go when neither holds it.
  PressPadButton(PadButton::Up, true);
  EXPECT_EQ(Drain(), Seen{});
  MovePadStick(0, 0);
  EXPECT_EQ(Drain(), Seen{});
  PressPadButton(PadButton::Up, false);
  EXPECT_EQ(Drain(), (Seen{"up 38"}));
  // The south button is the space bar, Start and Back are Escape, each typing its character.
  PressPadButton(PadButton::South, true);
  EXPECT_EQ(Drain(), (Seen{"down 32", "char 32"}));
  PressPadButton(PadButton::Start, true);
  EXPECT_EQ(Drain(), (Seen{"down 27", "char 27"}));
  PressPadButton(PadButton::Back, true);
  EXPECT_EQ(Drain(), Seen{});
  PressPadButton(PadButton::Start, false);
  EXPECT_EQ(Drain(), Seen{});
  // Unplugged with buttons down: what they hold is let go.
  UnplugVirtualPad();
  Seen released = Drain();
  std::sort(released.begin(), released.end());
  EXPECT_EQ(released, (Seen{"up 27", "up 32", "up 37"}));
  // Plugged in again during the game, it plays at once; the game reads it as keys.
  ASSERT_TRUE(PlugInVirtualPad());
  PumpMessages();
  PressPadButton(PadButton::Right, true);
  PumpMessages();
  EXPECT_EQ(InputState.keyDown[VK_RIGHT], 1);
  PressPadButton(PadButton::Right, false);
  PumpMessages();
  EXPECT_EQ(InputState.keyDown[VK_RIGHT], 0);
}

class PadMenuTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    ASSERT_TRUE(PlugInVirtualPad());
    PumpMessages();
  }
  void TearDown() override {
    UnplugVirtualPad();
    PumpMessages();
    ScreenTest::TearDown();
  }
};

TEST_F(PadMenuTest, UpAndDownGoFromPictureToPictureAndSouthChooses) {
  struct Step {
    PadButton button;
    bool down;
  };
  // Down to easy, down to normal, up to easy, up round to hardcore, then the south button.
  const Step steps[] = {
      {PadButton::Down, true},  {PadButton::Down, false}, {PadButton::Down, true},
      {PadButton::Down, false}, {PadButton::Up, true},    {PadButton::Up, false},
      {PadButton::Up, true},    {PadButton::Up, false},   {PadButton::South, true},
  };
  size_t next = 0;
  std::vector<int> pointedAreas;
  script = [&](uint32_t) {
    if (next > 0 && !steps[next - 1].down) {
      int area = -1;
      for (int i = 0; i < kMenuAreaCount; ++i) {
        if (MouseInRect(MenuAreas[i].left, MenuAreas[i].top, MenuAreas[i].right, MenuAreas[i].bottom)) area = i;
      }
      pointedAreas.push_back(area);
    }
    if (next < std::size(steps)) {
      PressPadButton(steps[next].button, steps[next].down);
      ++next;
    }
  };
  EXPECT_EQ(RunModeMenu(), 2);
  EXPECT_EQ(next, std::size(steps));
  EXPECT_EQ(pointedAreas, (std::vector<int>{0, 1, 0, 2}));
  // Up and down moved the pointer only: no arrow key went down in the menu.
  EXPECT_EQ(InputState.keyDown[VK_UP], 0);
  EXPECT_EQ(InputState.keyDown[VK_DOWN], 0);
  // The press made in the menu is released as a press, after the menu too.
  PressPadButton(PadButton::South, false);
  PumpMessages();
  EXPECT_EQ(InputState.leftButton, 0);
  EXPECT_EQ(InputState.keyDown[VK_SPACE], 0);
  // After the menu the pad's up is the arrow key again.
  PressPadButton(PadButton::Up, true);
  PumpMessages();
  EXPECT_EQ(InputState.keyDown[VK_UP], 1);
  PressPadButton(PadButton::Up, false);
  PumpMessages();
}

class ComfortKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(GameWindowReady());
    mutedBefore = MusicMuted();
    folder.Enter();
  }
  void TearDown() override { MuteMusic(mutedBefore); }

  static void PressKey(uint32_t vk) {
    PushKey(vk, true);
    PushKey(vk, false);
    PumpMessages();
  }

  bool mutedBefore = false;
  TempFolder folder;
};

TEST_F(ComfortKeyTest, MTogglesTheMusicButNotWhileTyping) {
  MuteMusic(false);
  PushKey('M', true);
  PumpMessages();
  EXPECT_TRUE(MusicMuted());
  EXPECT_EQ(InputState.keyDown['M'], 1);  // the game sees the key as before
  PushKey('M', false);
  PressKey('M');
  EXPECT_FALSE(MusicMuted());
  PushKey('M', true, kModCtrl);
  PushKey('M', false, kModCtrl);
  PumpMessages();
  EXPECT_FALSE(MusicMuted());
  SetTextInput(true);  // as while an edit has the focus: M types there
  PressKey('M');
  SetTextInput(false);
  EXPECT_FALSE(MusicMuted());
}

TEST_F(ComfortKeyTest, F11AndAltEnterAloneSwitchTheWholeScreenAndTheGameStillSeesF11) {
  const WindowChoice before = ChosenWindow();
  PushKey(VK_F11, true);
  PumpMessages();
  EXPECT_NE(ChosenWindow().fullscreen, before.fullscreen);
  EXPECT_EQ(InputState.keyDown[VK_F11], 1);
  PushKey(VK_F11, false);
  PressKey(VK_F11);
  EXPECT_EQ(ChosenWindow().fullscreen, before.fullscreen);
  for (uint32_t modifiers : {kModAlt, kModAltGr}) {
    PushKey(VK_RETURN, true, modifiers);
    PushKey(VK_RETURN, false, modifiers);
    PumpMessages();
    EXPECT_NE(ChosenWindow().fullscreen, before.fullscreen) << modifiers;
    PushKey(VK_RETURN, true, modifiers);
    PushKey(VK_RETURN, false, modifiers);
    PumpMessages();
    EXPECT_EQ(ChosenWindow().fullscreen, before.fullscreen) << modifiers;
  }
  // Enter alone, and Alt with Ctrl and Enter, are other keys.
  PressKey(VK_RETURN);
  PushKey(VK_RETURN, true, kModAlt | kModCtrl);
  PushKey(VK_RETURN, false, kModAlt | kModCtrl);
  PumpMessages();
  EXPECT_EQ(ChosenWindow().fullscreen, before.fullscreen);
  EXPECT_EQ(ChosenWindow().scale, before.scale);
}

TEST_F(ComfortKeyTest, F12SavesThePictureShownOnceAPress) {
  // A frame of many colours, shown.
  for (int i = 0; i < kFramePixels; ++i) FrameBuffer[i] = static_cast<uint16_t>((i * 37 + i / 640 * 11) & 0x7FFF);
  CopyFrameToOffscreen();
  ::PresentOffscreen();
  const std::vector<uint32_t> shown(ShownPixels(), ShownPixels() + kScreenPixels);

  testing::internal::CaptureStdout();
  PressKey(VK_F12);
  PressKey(VK_F12);
  const std::string said = testing::internal::GetCapturedStdout();

  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path() / "screenshots")) {
    files.push_back(entry.path());
  }
  ASSERT_EQ(files.size(), 2u);
  for (const auto& file : files) {
    EXPECT_NE(said.find("screenshot: " + file.string() + "\n"), std::string::npos) << said;
    EXPECT_EQ(file.extension(), ".png");
    EXPECT_EQ(file.filename().string().substr(8, 1), "-");  // YYYYMMDD-HHMMSS
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    ASSERT_TRUE(LoadPictureFile(file.string().c_str(), pixels, width, height));
    EXPECT_EQ(width, kScreenWidth);
    EXPECT_EQ(height, kScreenHeight);
    for (size_t i = 0; i < pixels.size() && i < shown.size(); ++i) {
      ASSERT_EQ(pixels[i] & 0xFFFFFF, shown[i] & 0xFFFFFF) << "pixel " << i;
    }
  }
}

TEST_F(ComfortKeyTest, AScreenshotThatCannotBeSavedIsSaidAndTheGameGoesOn) {
  // A file where the folder should be.
  std::FILE* blocker = std::fopen("screenshots", "w");
  ASSERT_NE(blocker, nullptr);
  std::fclose(blocker);
  testing::internal::CaptureStderr();
  PushKey(VK_F12, true);
  PushKey(VK_SPACE, true);
  PumpMessages();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("screenshot"), std::string::npos);
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
  EXPECT_EQ(InputState.keyDown[VK_SPACE], 1);
  PushKey(VK_F12, false);
  PushKey(VK_SPACE, false);
  PumpMessages();
}

}  // namespace
