// The window procedure's message table and the pump that feeds it from real events.
#include <gtest/gtest.h>

#include <vector>

#include "app/window.h"
#include "platform/display.h"
#include "platform/testing/input.h"
#include "platform/testing/readback.h"
#include "support/game_window.h"

namespace {

using namespace platform;

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(CreateGameWindow()); }
  void SetUp() override { ASSERT_TRUE(GameWindowReady()); }
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
  PushKey('Q', true, kModAlt);
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
      {VK_SPACE, nullptr, 1}, {VK_RETURN, nullptr, 1}, {VK_ESCAPE, nullptr, 1}, {VK_BACK, nullptr, 1},
      {VK_TAB, nullptr, 1},   {'A', nullptr, 1},       {'7', nullptr, 1},       {VK_LEFT, nullptr, 0},
      {VK_DOWN, nullptr, 0},  {VK_F1, nullptr, 0},     {VK_F1 + 4, nullptr, 0},
  };
  // Outside an edit the input method is off and the keys alone type.
  EXPECT_FALSE(TextInputOn());
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

TEST_F(WindowTest, KeypadKeysFollowNumLockAndKeysReleaseWhatTheyPressed) {
  struct Case {
    char key;
    uint32_t numLockOff;
    uint32_t numLockOn;
  };
  const Case cases[] = {
      {'4', VK_LEFT, 0x64},         {'8', VK_UP, 0x68},    {'6', VK_RIGHT, 0x66},        {'2', VK_DOWN, 0x62},
      {'7', VK_HOME, 0x67},         {'9', VK_PRIOR, 0x69}, {'1', VK_END, 0x61},          {'3', VK_NEXT, 0x63},
      {'0', VK_INSERT, VK_NUMPAD0}, {'5', VK_CLEAR, 0x65}, {'.', VK_DELETE, VK_DECIMAL},
  };
  for (const Case& c : cases) {
    for (bool numLock : {false, true}) {
      const uint32_t pressed = numLock ? c.numLockOn : c.numLockOff;
      const uint32_t other = numLock ? c.numLockOff : c.numLockOn;
      PushKeypadKey(c.key, true, numLock ? kModNumLock : 0);
      PumpMessages();
      EXPECT_EQ(InputState.keyDown[pressed], 1) << "keypad " << c.key << " NumLock " << numLock;
      EXPECT_EQ(InputState.keyDown[other], 0) << "keypad " << c.key << " NumLock " << numLock;
      // Released after NumLock changed: what it pressed goes up, nothing else comes down.
      PushKeypadKey(c.key, false, numLock ? 0 : kModNumLock);
      PumpMessages();
      EXPECT_EQ(InputState.keyDown[pressed], 0) << "keypad " << c.key << " NumLock " << numLock;
      EXPECT_EQ(InputState.keyDown[other], 0) << "keypad " << c.key << " NumLock " << numLock;
    }
  }
  // An arrow held when Alt goes down is released as the key it was, not as a system key.
  PushKey(VK_RIGHT, true);
  PushKey(0x12, true, kModAlt);
  PushKey(VK_RIGHT, true, kModAlt);  // auto-repeat
  PumpMessages();
  EXPECT_EQ(InputState.keyDown[VK_RIGHT], 1);
  PushKey(VK_RIGHT, false, kModAlt);
  PumpMessages();
  EXPECT_EQ(InputState.keyDown[VK_RIGHT], 0);
  PushKey(0x12, false);
  PumpMessages();
}

TEST_F(WindowTest, CtrlLettersTypeControlCodesAndAltLettersTypeNothing) {
  // The characters the pump delivers, read as an open dialog sees them.
  static std::vector<uint32_t> chars;
  auto* const platformHook = DialogMessageHook;
  DialogMessageHook = [](DialogHandle, const Message& m) {
    if (m.message == WM_CHAR) chars.push_back(m.wParam);
    return false;
  };
  DialogHandle open = reinterpret_cast<DialogHandle>(&chars);
  SetTextInput(true);  // as in an edit with the focus: SDL types the text
  struct Case {
    uint32_t vk;
    uint32_t modifiers;
    const char* text;  // what SDL types for the key, if anything
    std::vector<uint32_t> expected;
  };
  const std::vector<Case> cases = {
      {'A', kModCtrl, nullptr, {0x01}},
      {'Z', kModCtrl, nullptr, {0x1A}},
      {'H', kModCtrl, nullptr, {0x08}},
      {'C', kModCtrl, "c", {0x03}},  // text SDL might add is not typed twice
      {'A', kModAlt, "a", {}},       // a system character
      {'A', kModCtrl | kModAlt, nullptr, {}},
      {'Q', kModAltGr, "@", {'@'}},  // AltGr types the layout's third character
      {'A', 0, "a", {'a'}},
  };
  for (const Case& c : cases) {
    chars.clear();
    PushKey(c.vk, true, c.modifiers);
    if (c.text) PushText(c.text);
    PumpMessages(&open);
    EXPECT_EQ(chars, c.expected) << "key " << c.vk << " modifiers " << c.modifiers;
    EXPECT_EQ(InputState.charArrived, c.expected.empty() ? 0 : 1) << "key " << c.vk;
    PushKey(c.vk, false, c.modifiers);
    PushKey(0x11, false);  // the modifiers go up
    PushKey(0x12, false);
    PumpMessages(&open);
  }
  // Once Alt is up again, text types again (also the input method's, after no key at all).
  PushKey('A', true, kModAlt);
  PushKey(0x12, false);
  PushText("가");
  chars.clear();
  PumpMessages(&open);
  EXPECT_EQ(chars.size(), 1u);
  EXPECT_EQ(InputState.charArrived, 1);
  SetTextInput(false);
  DialogMessageHook = platformHook;
}

TEST_F(WindowTest, OnlyMovesOverTheClientAreaMoveThePointer) {
  PushMouseMove(100, 200);
  PumpMessages();
  // Leaving across the right edge: SDL's move to the edge does not count.
  PushPointerLeave(639, 210);
  PumpMessages();
  EXPECT_EQ(InputState.mouseX, 100);
  EXPECT_EQ(InputState.mouseY, 200);
  PushMouseMove(639, 479);  // the last pixel is inside
  PumpMessages();
  EXPECT_EQ(InputState.mouseX, 639);
  EXPECT_EQ(InputState.mouseY, 479);

  // Pressed inside, dragged out (SDL keeps reporting the pointer while the button is held),
  // released outside: the position stays, the button is released.
  PushMouseMove(320, 240);
  PushMouseButton(true);
  PumpMessages();
  EXPECT_EQ(InputState.leftButton, 1);
  for (auto [x, y] : {std::pair{-5, 240}, {700, 240}, {320, -1}, {320, 480}, {-30000, -30000}}) {
    PushMouseMove(x, y);
    PumpMessages();
    EXPECT_EQ(InputState.mouseX, 320) << x << "," << y;
    EXPECT_EQ(InputState.mouseY, 240) << x << "," << y;
  }
  PushMouseButton(false);  // where the last move left the pointer: outside
  PumpMessages();
  EXPECT_EQ(InputState.leftButton, 0);
  EXPECT_EQ(InputState.mouseX, 320);
}

TEST_F(WindowTest, LosingTheFocusReleasesTheHeldKeys) {
  // SDL lets go of the held keys as the window loses the keyboard, with the modifiers then
  // held (here Alt, of Alt+Tab), and then reports the loss.
  PushKey(VK_LEFT, true);
  PushKey(VK_SPACE, true);
  PushKey(0x12, true, kModAlt);
  PumpMessages();
  EXPECT_EQ(InputState.keyDown[VK_LEFT], 1);
  PushKey(VK_LEFT, false, kModAlt);
  PushKey(0x12, false);
  PushFocusLost();
  PumpMessages();
  EXPECT_EQ(InputState.keyDown[VK_LEFT], 0);
  // Keys whose release never came are let go with the loss.
  EXPECT_EQ(InputState.keyDown[VK_SPACE], 0);
  // Back in the window, keys work as before.
  PushKey(VK_SPACE, true);
  PumpMessages();
  EXPECT_EQ(InputState.keyDown[VK_SPACE], 1);
  PushKey(VK_SPACE, false);
  PumpMessages();
  EXPECT_EQ(InputState.keyDown[VK_SPACE], 0);
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
  PumpMessages();
  PumpMessages();
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
