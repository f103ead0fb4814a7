// The window procedure's message table and the pump that feeds it from real events.
#include <gtest/gtest.h>

#include <vector>

#include "app/window.h"
#include "platform/display.h"
#include "support/game_window.h"

namespace {

using namespace platform;

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(CreateGameWindow(), 1); }
  void SetUp() override {
    ASSERT_TRUE(GameWindowReady());
  }
};

TEST_F(WindowTest, MessageTableRowByRow) {
  InputState.keyDown[0x41] = 1;
  GameWindowProc(WM_CREATE, 0, 0);
  EXPECT_EQ(InputState.keyDown[0x41], 0);

  GameWindowProc(WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(InputState.keyDown[VK_LEFT], 1);
  GameWindowProc(WM_KEYDOWN, VK_LEFT, 0);  // auto-repeat
  EXPECT_EQ(InputState.keyDown[VK_LEFT], 1);
  GameWindowProc(WM_KEYUP, VK_LEFT, 0);
  EXPECT_EQ(InputState.keyDown[VK_LEFT], 0);

  GameWindowProc(WM_CHAR, 'a', 0);
  EXPECT_EQ(InputState.charArrived, 1);

  GameWindowProc(WM_MOUSEMOVE, 0, 100 | (479 << 16));
  EXPECT_EQ(InputState.mouseX, 100);
  EXPECT_EQ(InputState.mouseY, 479);

  GameWindowProc(WM_LBUTTONDOWN, 1, 0);
  EXPECT_EQ(InputState.leftButton, 1);
  GameWindowProc(WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(InputState.leftButton, 0);

  GameWindowProc(WM_PAINT, 0, 0);
  EXPECT_EQ(InputState.repaint, 1);

  // System keys (Alt held, F10) never reach keyDown.
  GameWindowProc(WM_SYSKEYDOWN, VK_F10, 0);
  EXPECT_EQ(InputState.keyDown[VK_F10], 0);

  GameWindowProc(WM_DESTROY, 0, 0);
  EXPECT_EQ(InputState.quit, 1);
}

TEST_F(WindowTest, MusicNoticeFollowsTheEditionAfterQuit) {
  static std::vector<uint32_t> seen;
  seen.clear();
  MusicNotice = {[](uint32_t tag) { seen.push_back(tag); }, false};
  GameWindowProc(WM_MUSIC_NOTIFY, 7, 0);
  InputState.quit = 1;
  GameWindowProc(WM_MUSIC_NOTIFY, 8, 0);  // ignored once quit is set
  MusicNotice.afterQuit = true;
  GameWindowProc(WM_MUSIC_NOTIFY, 9, 0);  // handled whatever quit holds
  EXPECT_EQ(seen, (std::vector<uint32_t>{7, 9}));
  MusicNotice = {};
}

TEST_F(WindowTest, PumpDrainsKeysIntoKeyDown) {
  PushKey(VK_UP, true);
  PushKey(VK_SPACE, true);
  PumpMessages();
  EXPECT_EQ(InputState.keyDown[VK_UP], 1);
  EXPECT_EQ(InputState.keyDown[VK_SPACE], 1);
  PushKey(VK_UP, false);
  PumpMessages();
  EXPECT_EQ(InputState.keyDown[VK_UP], 0);
  EXPECT_EQ(InputState.keyDown[VK_SPACE], 1);
  // Keys held with Alt are system keys.
  PushKey('Q', true, true);
  PumpMessages();
  EXPECT_EQ(InputState.keyDown['Q'], 0);
  PushKey(VK_F10, true);
  PumpMessages();
  EXPECT_EQ(InputState.keyDown[VK_F10], 0);
}

TEST_F(WindowTest, ACharacterArrivesForTypingKeysOnly) {
  struct Case {
    uint32_t vk;
    const char* text;  // what the keyboard types, if anything
    int expected;
  };
  const Case cases[] = {
      {VK_SPACE, " ", 1}, {VK_RETURN, nullptr, 1}, {VK_ESCAPE, nullptr, 1}, {VK_BACK, nullptr, 1},
      {VK_TAB, nullptr, 1}, {'A', "a", 1},         {'7', "7", 1},         {VK_LEFT, nullptr, 0},
      {VK_DOWN, nullptr, 0}, {VK_F1, nullptr, 0},  {VK_F1 + 4, nullptr, 0},
  };
  for (const Case& c : cases) {
    PushKey(c.vk, true);
    if (c.text) PushText(c.text);
    PushKey(c.vk, false);
    PumpMessages();
    EXPECT_EQ(InputState.charArrived, c.expected) << "key " << c.vk;
    PumpMessages();  // the next pump starts with the flag cleared
    EXPECT_EQ(InputState.charArrived, 0);
  }
  PushText("닭");
  PumpMessages();
  EXPECT_EQ(InputState.charArrived, 1);
}

TEST_F(WindowTest, PressAndReleaseDrainedTogetherLeaveNoPress) {
  PushMouseMove(66, 50);
  PushMouseButton(true);
  PushMouseButton(false);
  PumpMessages();
  EXPECT_EQ(InputState.leftButton, 0);
  EXPECT_EQ(InputState.mouseX, 66);
  EXPECT_EQ(InputState.mouseY, 50);
  PushMouseButton(true);
  PumpMessages();
  EXPECT_EQ(InputState.leftButton, 1);
  PushMouseButton(false);
  PumpMessages();
  EXPECT_EQ(InputState.leftButton, 0);
}

TEST_F(WindowTest, PaintRaisesRepaint) {
  PushPaint();
  PumpMessages();
  EXPECT_EQ(InputState.repaint, 1);
}

TEST_F(WindowTest, ClosingTheWindowSetsQuitAndThePumpGoesOn) {
  PushClose();
  PumpMessages();
  EXPECT_EQ(InputState.quit, 1);
  EXPECT_FALSE(WindowOpen());
  // The pump keeps draining and returns at once; quit stays set.
  PushKey(VK_SPACE, true);
  EXPECT_EQ(PumpMessages(), 0);
  EXPECT_EQ(PumpMessages(), 0);
  EXPECT_EQ(InputState.quit, 1);
  EXPECT_EQ(InputState.keyDown[VK_SPACE], 1);
  PresentOffscreen();  // presenting without a window is harmless
}

TEST_F(WindowTest, AnOpenDialogSeesMessagesFirst) {
  static int offered = 0;
  offered = 0;
  auto* const platformHook = DialogMessageHook;
  DialogMessageHook = [](DialogHandle, const Message& m) {
    ++offered;
    return m.message == WM_KEYDOWN;  // the dialog keeps the keys
  };
  DialogHandle none = nullptr;
  PushKey(VK_RETURN, true);
  PumpMessages(&none);  // no dialog open: the plain pump
  EXPECT_EQ(offered, 0);
  EXPECT_EQ(InputState.keyDown[VK_RETURN], 1);

  DialogHandle open = reinterpret_cast<DialogHandle>(&offered);
  PushKey('B', true);
  PumpMessages(&open);
  EXPECT_GT(offered, 0);
  EXPECT_EQ(InputState.keyDown['B'], 0);
  DialogMessageHook = platformHook;
}

}  // namespace
