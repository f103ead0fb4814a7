// The dialog module on its own: focus, default command, buttons, the edit control's keys,
// clicks and caret, through real events taken from the queue.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/dialog/dialog.h"
#include "platform/display.h"
#include "platform/ime/input_method.h"
#include "platform/testing/input.h"
#include "platform/testing/pad.h"
#include "platform/testing/readback.h"
#include "platform/text.h"
#include "platform/window_hooks.h"
#include "support/cp949_text.h"
#include "text/cp949.h"

namespace {

using namespace platform;

constexpr int32_t kEdit = 10, kOther = 3;
constexpr uint32_t kEditStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
const ControlTemplate kControls[] = {
    {ControlClass::Edit, kEdit, "", 4, 4, 100, 12, kEditStyle},
    {ControlClass::Button, 1, "OK", 4, 20, 40, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {ControlClass::Button, kOther, "Other", 50, 20, 40, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP},
};
const DialogTemplate kTemplate = {200,       "Test", 9,
                                  "",        20,     20,
                                  120,       40,     WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_SETFONT,
                                  kControls, 3};

std::vector<uint32_t> commands;
std::string textAtCommand;  // the edit's text as the latest command came
std::vector<uint32_t> passedOn;

intptr_t Procedure(Dialog* dialog, uint32_t message, uint32_t wParam, int32_t) {
  if (message == WM_INITDIALOG) {
    SetDialogItemText(dialog, kEdit, Cp949("a가b").c_str());
    return 1;
  }
  if (message != WM_COMMAND) return 0;
  commands.push_back(wParam);
  char text[64];
  textAtCommand.assign(text, GetDialogItemText(dialog, kEdit, text, sizeof text));
  return 1;
}

class DialogModule : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenWindow("Brakkel!!"));
    ASSERT_TRUE(LoadGameFont());
    UseFakeClock(5000);
    static uint16_t black[kScreenPixels];
    CopyToOffscreen(black);
    commands.clear();
    passedOn.clear();
    dialog = CreateDialogFromTemplate(kTemplate, Procedure);
    ASSERT_NE(dialog, nullptr);
    Drain();
    passedOn.clear();
  }
  void TearDown() override {
    EndDialog(dialog, 0);
    UseRealClock();
  }
  // What the pump does with an open dialog: the dialog first, the game window otherwise.
  void Drain() {
    Message m;
    while (PollMessage(m)) {
      if (!DialogMessage(dialog, m)) passedOn.push_back(m.message);
    }
  }
  void Press(uint32_t vk) {
    PushKey(vk, true);
    PushKey(vk, false);
    Drain();
  }
  void Click(int x, int y) {
    PushMouseMove(x, y);
    PushMouseButton(true);
    PushMouseButton(false);
    Drain();
  }
  std::string Text() {
    char out[256];
    size_t n = GetDialogItemText(dialog, kEdit, out, sizeof out);
    return std::string(out, n);
  }
  std::pair<size_t, size_t> Selection() {
    size_t start = 99, end = 99;
    GetDialogItemSelection(dialog, kEdit, start, end);
    return {start, end};
  }
  using Span = std::pair<size_t, size_t>;
  // Columns of the edit's text band that are black from top to bottom: the caret.
  std::vector<int> CaretColumns() {
    DialogRect r;
    GetDialogItemRect(dialog, kEdit, r);
    const uint32_t* shown = ShownPixels();
    const int top = r.y + 1 + (r.height - 2 - kDialogCellHeight) / 2;
    std::vector<int> columns;
    for (int x = r.x + 1; x < r.x + r.width - 1; ++x) {
      bool full = true;
      for (int y = top; y < top + kDialogCellHeight; ++y) {
        full = full && (shown[y * kScreenWidth + x] & 0xFFFFFF) == 0;
      }
      if (full) columns.push_back(x - r.x);
    }
    return columns;
  }

  Dialog* dialog = nullptr;
};

TEST_F(DialogModule, TemplateUnitsBecomePixelsOfTheTwelvePixelFace) {
  const DialogRect box = DialogWindowRect(dialog);
  EXPECT_EQ(box.x, 30);
  EXPECT_EQ(box.y, 30);
  EXPECT_EQ(box.width, 180 + 2 * kDialogFrame);
  EXPECT_EQ(box.height, 60 + kDialogCaptionHeight + 2 * kDialogFrame);
  DialogRect edit;
  ASSERT_TRUE(GetDialogItemRect(dialog, kEdit, edit));
  EXPECT_EQ(edit.x, box.x + kDialogFrame + 6);
  EXPECT_EQ(edit.y, box.y + kDialogFrame + kDialogCaptionHeight + 6);
  EXPECT_EQ(edit.width, 150);
  EXPECT_EQ(edit.height, 18);
  EXPECT_EQ(GlyphAdvance(kDialogCellHeight, 'A'), kDialogBaseWidth);
  EXPECT_EQ(GlyphAdvance(kDialogCellHeight, 0xAC00), 2 * kDialogBaseWidth);
}

TEST_F(DialogModule, EditKeysMoveAndDeleteWholeCharacters) {
  EXPECT_EQ(DialogFocusId(dialog), kEdit);
  EXPECT_EQ(Selection(), Span(0, 4));  // "a가b" selected whole
  Press(VK_RIGHT);
  EXPECT_EQ(Selection(), Span(4, 4));
  Press(VK_LEFT);
  EXPECT_EQ(Selection(), Span(3, 3));
  Press(VK_LEFT);
  EXPECT_EQ(Selection(), Span(1, 1));  // over both bytes of 가
  Press(VK_HOME);
  Press(VK_RIGHT);
  Press(VK_DELETE);
  EXPECT_EQ(Text(), "ab");
  Press(VK_END);
  EXPECT_EQ(Selection(), Span(2, 2));
  Press(VK_BACK);
  EXPECT_EQ(Text(), "a");
  PushText("닭");
  Drain();
  EXPECT_EQ(Text(), "a" + Cp949("닭"));
  Press(VK_BACK);
  EXPECT_EQ(Text(), "a");
  EXPECT_TRUE(passedOn.empty());  // keys and characters all stay with the dialog
}

TEST_F(DialogModule, ControlCodesAndAltLettersAreNoText) {
  Press(VK_END);
  for (uint32_t vk = 'A'; vk <= 'Z'; ++vk) {
    if (vk == 'H') continue;
    PushKey(vk, true, kModCtrl);
    PushKey(vk, false, kModCtrl);
  }
  PushKey(0x11, false);  // Ctrl goes up
  PushKey('A', true, kModAlt);
  PushText("a");
  PushKey('A', false, kModAlt);
  PushKey(0x12, false);
  Drain();
  EXPECT_EQ(Text(), Cp949("a가b"));
  // Ctrl+H is Backspace's character.
  PushKey('H', true, kModCtrl);
  PushKey('H', false, kModCtrl);
  PushKey(0x11, false);
  Drain();
  EXPECT_EQ(Text(), Cp949("a가"));
}

TEST_F(DialogModule, TabSelectsTheEditsTextAndTypingOrDeleteReplacesIt) {
  PushText("Z");
  Drain();
  EXPECT_EQ(Text(), "Z");
  Press(VK_TAB);
  EXPECT_EQ(DialogFocusId(dialog), 1);
  Press(VK_TAB);
  EXPECT_EQ(DialogFocusId(dialog), kOther);
  Press(VK_TAB);
  EXPECT_EQ(DialogFocusId(dialog), kEdit);
  EXPECT_EQ(Selection(), Span(0, 1));
  Press(VK_DELETE);
  EXPECT_EQ(Text(), "");
  PushKey(VK_SHIFT, true);
  Press(VK_TAB);
  PushKey(VK_SHIFT, false);
  Drain();
  EXPECT_EQ(DialogFocusId(dialog), kOther);  // Shift+Tab goes back
}

TEST_F(DialogModule, EnterGivesTheDefaultButtonEscapeCancelsSpacePressesOnRelease) {
  Press(VK_RETURN);
  Press(VK_ESCAPE);
  EXPECT_EQ(commands, (std::vector<uint32_t>{IDOK, IDCANCEL}));
  Press(VK_TAB);
  Press(VK_TAB);  // onto "Other"
  commands.clear();
  PushKey(VK_SPACE, true);
  Drain();
  EXPECT_TRUE(commands.empty());
  PushKey(VK_SPACE, false);
  Drain();
  Press(VK_RETURN);  // a focused push button takes Enter itself
  EXPECT_EQ(commands, (std::vector<uint32_t>{static_cast<uint32_t>(kOther), static_cast<uint32_t>(kOther)}));
}

TEST_F(DialogModule, ClicksPressButtonsAndPlaceTheCaret) {
  DialogRect ok, other, edit;
  GetDialogItemRect(dialog, 1, ok);
  GetDialogItemRect(dialog, kOther, other);
  GetDialogItemRect(dialog, kEdit, edit);
  Click(ok.x + 5, ok.y + 5);
  EXPECT_EQ(commands, (std::vector<uint32_t>{IDOK}));
  EXPECT_EQ(DialogFocusId(dialog), 1);
  // Pressed, then left before the release: no command.
  PushMouseMove(other.x + 5, other.y + 5);
  PushMouseButton(true);
  PushMouseMove(other.x + other.width + 40, other.y + 5);
  PushMouseButton(false);
  Drain();
  EXPECT_EQ(commands.size(), 1u);
  // A click in the edit: focus without selection, the caret where the click fell.
  Click(edit.x + edit.width - 3, edit.y + 5);
  EXPECT_EQ(DialogFocusId(dialog), kEdit);
  EXPECT_EQ(Selection(), Span(4, 4));
  Click(edit.x + 2 + 6 + 2, edit.y + 5);  // on the left half of 가
  EXPECT_EQ(Selection(), Span(1, 1));
  // Outside the dialog the game window gets the mouse.
  passedOn.clear();
  Click(2, 2);
  EXPECT_EQ(passedOn, (std::vector<uint32_t>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}));
  PushPaint();
  Drain();
  EXPECT_EQ(passedOn.back(), WM_PAINT);
}

TEST_F(DialogModule, TheCaretBlinksAndALongTextScrollsToKeepItInView) {
  Press(VK_END);
  ASSERT_EQ(CaretColumns().size(), 1u);
  const int caret = CaretColumns()[0];
  EXPECT_EQ(UpdateDialogs(), kCaretBlinkMs);
  AdvanceFakeClock(kCaretBlinkMs - 1);
  EXPECT_EQ(UpdateDialogs(), 1u);
  EXPECT_EQ(CaretColumns().size(), 1u);
  AdvanceFakeClock(1);
  UpdateDialogs();
  EXPECT_TRUE(CaretColumns().empty());
  AdvanceFakeClock(kCaretBlinkMs);
  UpdateDialogs();
  EXPECT_EQ(CaretColumns(), std::vector<int>{caret});

  // Forty letters are far wider than the edit: the caret stays inside it, at its end.
  for (int i = 0; i < 40; ++i) PushText("o");
  Drain();
  DialogRect edit;
  GetDialogItemRect(dialog, kEdit, edit);
  ASSERT_EQ(CaretColumns().size(), 1u);
  EXPECT_GT(CaretColumns()[0], edit.width - 6);
  Press(VK_HOME);
  EXPECT_EQ(CaretColumns(), std::vector<int>{2});
}

}  // namespace

namespace {

// An input method client that acts as ibus-hangul does in Hangul mode: a letter key composes
// (here at once the whole syllable 닭), Return commits what is being composed and hands the
// Return back. It counts how often the game asks it for news.
class ComposingInputMethod : public InputMethodClient {
 public:
  static inline std::string composing;
  static inline int pumps = 0;
  bool Focus(bool) override { return true; }
  KeyAnswer Key(uint32_t keysym, uint32_t, uint32_t state, bool release) override {
    if (release) return KeyAnswer::NotTaken;
    if (keysym >= 'a' && keysym <= 'z') {
      composing = "닭";
      DeliverComposition(composing.c_str(), 1);
      return KeyAnswer::Taken;
    }
    if (keysym != 0xFF0D) return KeyAnswer::NotTaken;
    if (!composing.empty()) DeliverText(composing.c_str());
    composing.clear();
    DeliverComposition("", 0);
    SDL_KeyboardEvent handedBack;
    if (KeyFromKeysym(keysym, state, false, handedBack)) DeliverKey(handedBack);
    return KeyAnswer::Taken;
  }
  void Caret(int, int, int, int) override {}
  bool Pump() override {
    ++pumps;
    return false;
  }
};

// A game controller's A confirms the edit as the keyboard's Return does, through the input
// method first: the syllable still being composed is in the text when the command comes.
// Once no edit has the focus, nothing asks the input method for news.
TEST_F(DialogModule, ThePadsSouthButtonCommitsTheCompositionAndAnUnfocusedInputMethodIsLeftAlone) {
  struct Connected {
    Connected() {
      ComposingInputMethod::composing.clear();
      ComposingInputMethod::pumps = 0;
      UseInputMethod([]() -> InputMethodClient* { return new ComposingInputMethod; });
    }
    ~Connected() {
      InputMethodClose();
      UseInputMethod(nullptr);
    }
  } connected;
  // The dialog again, now that the input method answers: its edit takes the focus.
  EndDialog(dialog, 0);
  dialog = CreateDialogFromTemplate(kTemplate, Procedure);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(PlugInVirtualPad());
  Drain();
  ASSERT_TRUE(InputMethodActive());
  Press('E');
  EXPECT_EQ(std::string(DialogComposition(dialog, kEdit)), Cp949("닭"));
  PressPadButton(PadButton::South, true);
  Drain();
  PressPadButton(PadButton::South, false);
  Drain();
  UnplugVirtualPad();
  EXPECT_EQ(commands, std::vector<uint32_t>{IDOK});
  EXPECT_EQ(textAtCommand, Cp949("닭"));
  EXPECT_EQ(std::string(DialogComposition(dialog, kEdit)), "");

  const int pumpsWhileFocused = ComposingInputMethod::pumps;
  EXPECT_GT(pumpsWhileFocused, 0);  // each idle look at the queue asked
  Press(VK_TAB);                    // onto OK: no edit has the focus
  ASSERT_FALSE(InputMethodActive());
  const int pumpsAtFocusOut = ComposingInputMethod::pumps;
  for (int i = 0; i < 20; ++i) Drain();
  EXPECT_EQ(ComposingInputMethod::pumps, pumpsAtFocusOut);
}

}  // namespace
