// The name-entry and ranking dialogs, played through the real pump with pushed events under
// the fake clock: each scripted step runs when the dialog's wait finds nothing to do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/edition.h"
#include "app/played_game.h"
#include "app/window.h"
#include "gfx/frame.h"
#include "platform/clock.h"
#include "platform/dialog/dialog.h"
#include "platform/display.h"
#include "platform/music.h"
#include "platform/testing/input.h"
#include "platform/testing/pad.h"
#include "platform/testing/readback.h"
#include "ranking/dialog_templates.h"
#include "ranking/dialogs.h"
#include "support/files.h"
#include "support/game_window.h"
#include "support/temp_folder.h"
#include "test_support.h"
#include "text/cp949.h"
#include "wire/rank_text.h"

namespace {

using namespace platform;

constexpr int32_t kOk = static_cast<int32_t>(IDOK);
uint16_t GamePixel(int i) { return static_cast<uint16_t>((i * 7) & 0x7FFF); }
constexpr uint32_t kSelectionColour = 0x0A246A;

// Puts the listing file into the working folder.
void WriteListing(const std::string& bytes) {
  std::ofstream file(Utf8Path(kRankTextFileName), std::ios::binary);
  ASSERT_TRUE(file.is_open());
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(file.good());
}

class DialogTest : public DialogScriptTest {
 protected:
  DialogTest() : DialogScriptTest(100) {}
  void SetUp() override {
    ASSERT_TRUE(GameWindowReady());
    Edition = EditionTraits{};
    std::strcpy(PlayerName, "Earlier");
    DialogOpen = 0;
    UseFakeClock(1000);
    SetWaitHook([this](uint32_t) { OnWait(); });
    for (int i = 0; i < kFramePixels; ++i) FrameBuffer[i] = GamePixel(i);
    CopyFrameToOffscreen();
    ::PresentOffscreen();
  }
  void TearDown() override {
    UseRealClock();
    Edition = EditionTraits{};
  }

  // Opens a dialog and plays the script: one step per wait that finds the queue empty.
  // Once the script is done, a dialog still open gets the window closed: no test can hang.
  void Play(void (*show)(), std::vector<std::function<void()>> script) {
    steps_ = std::move(script);
    next_ = 0;
    idle_ = 0;
    SetWaitHook([this](uint32_t) { OnWait(); });
    show();
    EXPECT_EQ(next_, steps_.size()) << "the dialog ended before the script did";
  }
  static int CountShown(const DialogRect& r, uint32_t colour) {
    const uint32_t* shown = ShownPixels();
    int count = 0;
    for (int y = r.y; y < r.y + r.height; ++y) {
      for (int x = r.x; x < r.x + r.width; ++x) count += (shown[y * kScreenWidth + x] & 0xFFFFFF) == colour;
    }
    return count;
  }

  static bool Inside(const DialogRect& r, int x, int y) {
    return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
  }
};

TEST_F(DialogTest, NameEntryOffersPlommXSelectedIgnoresEscapeAndTakesEnter) {
  Play(ShowNameDialog, {
                           [] {
                             EXPECT_EQ(DialogOpen, 1);
                             EXPECT_EQ(std::string(DialogCaption(NameDialogHandle)),
                                       Cp949("이름을 입력하세요 -순위 진입-"));
                             EXPECT_EQ(DialogFocusId(NameDialogHandle), kDialogEditId);
                             EXPECT_TRUE(TextInputOn());  // the name goes through the input method
                             EXPECT_EQ(DialogText(NameDialogHandle), "PlommX");
                             size_t start = 9, end = 9;
                             ASSERT_TRUE(GetDialogItemSelection(NameDialogHandle, kDialogEditId, start, end));
                             EXPECT_EQ(start, 0u);
                             EXPECT_EQ(end, 6u);
                             DialogRect edit;
                             ASSERT_TRUE(GetDialogItemRect(NameDialogHandle, kDialogEditId, edit));
                             EXPECT_GT(CountShown(edit, kSelectionColour), 100);  // the preset shows selected
                             // The caption ends inside its bar: its white glyphs stop short of the bar's end.
                             const DialogRect box = DialogWindowRect(NameDialogHandle);
                             const int barRight = box.x + box.width - kDialogFrame;
                             int lastWhite = 0;
                             for (int y = box.y + kDialogFrame; y < box.y + kDialogFrame + kDialogCaptionHeight; ++y) {
                               for (int x = box.x; x < barRight; ++x) {
                                 if ((ShownPixels()[y * kScreenWidth + x] & 0xFFFFFF) == 0xFFFFFF)
                                   lastWhite = std::max(lastWhite, x);
                               }
                             }
                             EXPECT_GT(lastWhite, barRight - 30);
                             EXPECT_LT(lastWhite, barRight - 6);
                             Press(VK_ESCAPE);
                           },
                           [] {
                             EXPECT_EQ(DialogOpen, 1);
                             EXPECT_TRUE(DialogAlive(NameDialogHandle));
                             Press(VK_RETURN);
                           },
                       });
  EXPECT_STREQ(PlayerName, "PlommX");
  EXPECT_EQ(DialogOpen, 0);
  EXPECT_EQ(NameDialogHandle, nullptr);
  EXPECT_FALSE(TextInputOn());  // the game after the dialog reads plain keys again
  EXPECT_EQ(InputState.quit, 0);
}

TEST_F(DialogTest, TypedLettersReplaceThePresetAndAreCutToTheEditionsLongestName) {
  for (int32_t longest : {11, 9}) {
    Edition.longestName = longest;
    std::memset(PlayerName, 'x', sizeof PlayerName);
    Play(ShowNameDialog, {
                             [] { Type("ABCDEFGHIJKLMNO"); },
                             [] {
                               EXPECT_EQ(DialogText(NameDialogHandle),
                                         "ABCDEFGHIJKLMNO");  // the edit itself has no limit
                               Press(VK_RETURN);
                             },
                         });
    EXPECT_EQ(std::string(PlayerName), std::string("ABCDEFGHIJKLMNO", static_cast<size_t>(longest)));
    SetUp();
  }
}

TEST_F(DialogTest, KoreanIsStoredAsCodePage949AndALimitNeverSplitsASyllable) {
  struct Case {
    int32_t longest;
    const char* typed;
    const char* stored;
  };
  const Case cases[] = {
      {9, "가나다라마", "가나다라"},       // netplay: 10 bytes typed, 8 kept
      {10, "a가나다라마", "a가나다라"},    // a limit of 10 falls inside the fifth syllable: 9 bytes
      {11, "가나다라마바", "가나다라마"},  // soloplay: 12 bytes typed, 10 kept
      {11, "a닭똠가나다", "a닭똠가나다"},  // exactly 11 bytes, a syllable beyond EUC-KR included
  };
  for (const Case& c : cases) {
    Edition.longestName = c.longest;
    Play(ShowNameDialog, {[&] { Type(c.typed); }, [] { Press(VK_RETURN); }});
    EXPECT_EQ(std::string(PlayerName), Cp949(c.stored)) << c.typed << " with " << c.longest;
    EXPECT_TRUE(Cp949Valid(PlayerName, std::strlen(PlayerName)));
    SetUp();
  }
}

TEST_F(DialogTest, BackspaceRemovesThePresetAndAnEmptyNameIsTaken) {
  Play(ShowNameDialog, {[] { Press(VK_BACK); }, [] { Press(VK_RETURN); }});
  EXPECT_STREQ(PlayerName, "");
  EXPECT_EQ(DialogOpen, 0);
}

TEST_F(DialogTest, ACompositionShowsAtTheCaretUntilItsResultTakesItsPlace) {
  DialogRect edit;
  Play(ShowNameDialog, {
                           [] { PushComposition("ㄷ"); },
                           [&] {
                             EXPECT_EQ(DialogText(NameDialogHandle),
                                       "");  // the composition replaced the selected preset
                             EXPECT_EQ(std::string(DialogComposition(NameDialogHandle, kDialogEditId)), Cp949("ㄷ"));
                             ASSERT_TRUE(GetDialogItemRect(NameDialogHandle, kDialogEditId, edit));
                             EXPECT_GT(CountShown(edit, 0x000000), 10);  // drawn, though not yet in the text
                             PushComposition("닭");
                           },
                           [&] {
                             EXPECT_EQ(std::string(DialogComposition(NameDialogHandle, kDialogEditId)), Cp949("닭"));
                             // Underlined on the row below the glyph's cell, not over its last row.
                             const int cellTop = edit.y + 1 + (edit.height - 2 - kDialogCellHeight) / 2;
                             const int below = CountShown({edit.x + 1, cellTop + kDialogCellHeight, 14, 1}, 0);
                             const int lastRow = CountShown({edit.x + 1, cellTop + kDialogCellHeight - 1, 14, 1}, 0);
                             EXPECT_GE(below, 10);
                             EXPECT_LT(lastRow, below);
                             PushText("닭");
                             PushComposition("");
                           },
                           [] {
                             EXPECT_EQ(DialogText(NameDialogHandle), Cp949("닭"));
                             EXPECT_EQ(std::string(DialogComposition(NameDialogHandle, kDialogEditId)), "");
                             Press(VK_RETURN);
                           },
                       });
  EXPECT_EQ(std::string(PlayerName), Cp949("닭"));
}

TEST_F(DialogTest, RankingTabGoesRoundTheTabStopsAndSpacePressesOK) {
  TempFolder folder("brakkel-ranking");
  folder.Enter();
  WriteListing("line one\r\nline two\r\n");
  Play(ShowRankDialog, {
                           [] {
                             EXPECT_EQ(DialogFocusId(RankDialogHandle), kOk);
                             EXPECT_FALSE(TextInputOn());
                             Press(VK_TAB);
                           },
                           [] {
                             EXPECT_EQ(DialogFocusId(RankDialogHandle), kDialogEditId);
                             EXPECT_FALSE(TextInputOn());  // the listing takes no typing
                             size_t start = 9, end = 9;
                             GetDialogItemSelection(RankDialogHandle, kDialogEditId, start, end);
                             EXPECT_EQ(start, 0u);
                             EXPECT_EQ(end, 20u);  // the whole listing selected
                             Press(VK_SPACE);      // read-only: nothing happens
                             Press(VK_RETURN);     // the listing keeps Enter
                           },
                           [] {
                             EXPECT_EQ(DialogOpen, 1);
                             EXPECT_EQ(DialogText(RankDialogHandle), "line one\r\nline two\r\n");
                             Press(VK_TAB);
                           },
                           [] {
                             EXPECT_EQ(DialogFocusId(RankDialogHandle), kOk);
                             PushKey(VK_SPACE, true);
                           },
                           [] {
                             EXPECT_EQ(DialogOpen, 1);  // a button fires when Space comes up
                             PushKey(VK_SPACE, false);
                           },
                       });
  EXPECT_EQ(DialogOpen, 0);
  EXPECT_EQ(RankDialogHandle, nullptr);
}

TEST_F(DialogTest, AClickOnOKConfirmsTheRanking) {
  TempFolder folder("brakkel-ranking");
  folder.Enter();
  Play(ShowRankDialog, {
                           [] {
                             DialogRect ok;
                             ASSERT_TRUE(GetDialogItemRect(RankDialogHandle, kOk, ok));
                             PushMouseMove(ok.x + ok.width / 2, ok.y + ok.height / 2);
                             PushMouseButton(true);
                           },
                           [] {
                             EXPECT_EQ(DialogOpen, 1);
                             PushMouseButton(false);
                           },
                       });
  EXPECT_EQ(DialogOpen, 0);
  EXPECT_EQ(InputState.leftButton, 0);  // the click was the dialog's
}

TEST_F(DialogTest, QuitEndsTheWaitAndTheDialogLeftOpenGivesWayToTheNext) {
  TempFolder folder("brakkel-ranking");
  folder.Enter();
  // The window closed while the name is asked: the wait ends, nothing is stored.
  Play(ShowNameDialog, {[] {
         Type("Nobody");
         PushClose();
       }});
  EXPECT_EQ(InputState.quit, 1);
  EXPECT_EQ(DialogOpen, 1);
  EXPECT_STREQ(PlayerName, "Earlier");
  ShowRankDialog();  // the rest of the sequence still runs and returns at once
  EXPECT_EQ(DialogOpen, 1);

  // Quit set with the window still open (netplay's full receive buffer): the dialog stays
  // up until the next one replaces it.
  ASSERT_TRUE(CreateGameWindow());
  InputState = InputStateRecord{};
  Play(ShowNameDialog, {[] { InputState.quit = 1; }});
  static Dialog* leftover = nullptr;
  leftover = NameDialogHandle;
  EXPECT_TRUE(DialogAlive(leftover));
  InputState.quit = 0;  // as if a new wait began
  Play(ShowRankDialog, {[] {
         EXPECT_EQ(NameDialogHandle, nullptr);
         EXPECT_TRUE(DialogAlive(RankDialogHandle));
         EXPECT_TRUE(leftover == RankDialogHandle || !DialogAlive(leftover));
         Press(VK_RETURN);
       }});
  EXPECT_EQ(DialogOpen, 0);
  // Nothing of either dialog is left in the window.
  ::PresentOffscreen();
  const uint32_t* shown = ShownPixels();
  for (int i = 0; i < kScreenPixels; i += 97) ASSERT_EQ(shown[i], WidenRgb555(GamePixel(i))) << i;
}

TEST_F(DialogTest, APaintRequestShowsTheLastFrameAgainWithTheDialog) {
  static uint16_t other[kScreenPixels];
  std::fill(other, other + kScreenPixels, static_cast<uint16_t>(0x7C00));
  DialogRect box;
  Play(ShowNameDialog, {
                           [&] {
                             box = DialogWindowRect(NameDialogHandle);
                             PresentFrame(other);  // the window lost its picture
                             EXPECT_EQ(ShownPixels()[0], 0xFF0000u);
                             PushPaint();
                           },
                           [&] {
                             const uint32_t* shown = ShownPixels();
                             int framePixels = 0, dialogPixels = 0;
                             for (int y = 0; y < kScreenHeight; ++y) {
                               for (int x = 0; x < kScreenWidth; ++x) {
                                 const int i = y * kScreenWidth + x;
                                 const bool inDialog = Inside(box, x, y);
                                 if (!inDialog) {
                                   framePixels += shown[i] == WidenRgb555(GamePixel(i));
                                 } else {
                                   dialogPixels += shown[i] != WidenRgb555(GamePixel(i));
                                 }
                               }
                             }
                             EXPECT_EQ(framePixels, kScreenPixels - box.width * box.height);
                             EXPECT_GT(dialogPixels, box.width * box.height * 9 / 10);
                             EXPECT_EQ(InputState.repaint, 0);
                             Press(VK_RETURN);
                           },
                       });
  // The off-screen picture still holds the game's frame alone.
  for (int i = 0; i < kScreenPixels; ++i) ASSERT_EQ(OffscreenPixels()[i], GamePixel(i)) << i;
}

TEST_F(DialogTest, InTheNameEntryMTypesF12SavesTheDialogAsShownAndThePadsSouthButtonConfirms) {
  TempFolder folder("brakkel-devices");
  folder.Enter();
  ASSERT_TRUE(PlugInVirtualPad());
  const bool muted = MusicMuted();
  std::string said;
  Play(ShowNameDialog, {[] {
                          PushKey('M', true);
                          PushText("m");
                          PushKey('M', false);
                        },
                        [&] {
                          EXPECT_EQ(DialogText(NameDialogHandle), "m");
                          EXPECT_EQ(MusicMuted(), muted);
                          testing::internal::CaptureStdout();
                          Press(VK_F12);
                        },
                        [&] {
                          said = testing::internal::GetCapturedStdout();
                          const std::filesystem::directory_iterator files(folder.path() / "screenshots");
                          ASSERT_NE(files, std::filesystem::directory_iterator());
                          const std::filesystem::path file = files->path();
                          EXPECT_NE(said.find(file.string()), std::string::npos) << said;
                          std::vector<uint32_t> pixels;
                          int width = 0, height = 0;
                          ASSERT_TRUE(LoadPictureFile(file.string().c_str(), pixels, width, height));
                          ASSERT_EQ(pixels.size(), static_cast<size_t>(kScreenPixels));
                          const uint32_t* shown = ShownPixels();
                          const DialogRect box = DialogWindowRect(NameDialogHandle);
                          int dialogPixels = 0;
                          for (int i = 0; i < kScreenPixels; ++i) {
                            ASSERT_EQ(pixels[i] & 0xFFFFFF, shown[i] & 0xFFFFFF) << "pixel " << i;
                            dialogPixels += Inside(box, i % kScreenWidth, i / kScreenWidth) &&
                                            (pixels[i] & 0xFFFFFF) != WidenRgb555(GamePixel(i));
                          }
                          EXPECT_GT(dialogPixels, box.width * box.height * 9 / 10);  // the dialog is in the picture
                          PressPadButton(PadButton::South, true);
                        }});
  EXPECT_EQ(DialogOpen, 0);
  EXPECT_STREQ(PlayerName, "m");
  PressPadButton(PadButton::South, false);
  PumpMessages();
  EXPECT_EQ(InputState.keyDown[VK_RETURN], 0);
  EXPECT_EQ(InputState.keyDown[VK_SPACE], 0);
  UnplugVirtualPad();
}

TEST_F(DialogTest, KeysGoToTheDialogSoAKeyReleasedThereStaysDown) {
  InputState.keyDown[VK_LEFT] = 1;  // held when the game ended
  Play(ShowNameDialog, {[] {
                          PushKey(VK_LEFT, false);
                          PushKey(VK_UP, true);
                        },
                        [] { Press(VK_RETURN); }});
  EXPECT_EQ(InputState.keyDown[VK_LEFT], 1);
  EXPECT_EQ(InputState.keyDown[VK_UP], 0);
  EXPECT_EQ(InputState.keyDown[VK_RETURN], 0);
}

TEST_F(DialogTest, AMissingListingShowsNothingAndCanBeConfirmed) {
  TempFolder folder("brakkel-ranking");
  folder.Enter();
  std::memset(RankTextBuffer, 'z', sizeof RankTextBuffer);
  Play(ShowRankDialog, {[] {
         EXPECT_EQ(DialogText(RankDialogHandle), "");
         Press(VK_RETURN);
       }});
  EXPECT_EQ(DialogOpen, 0);
  for (char c : RankTextBuffer) ASSERT_EQ(c, 0);
}

TEST_F(DialogTest, TheListingShowsWholeOneLineUnderAnother) {
  TempFolder folder("brakkel-ranking");
  folder.Enter();
  ScoreTable table;
  const char* names[] = {"PlommX", "닭다리", "술고래", "Quorbel", "김치맨"};
  for (int i = 0; i < 5; ++i) {
    std::strcpy(table.row[i].name, Cp949(names[i]).c_str());
    table.row[i].score = 90000u - 1000u * static_cast<uint32_t>(i);
  }
  static char listing[kRankTextCap];
  const size_t length = FormatRankText(table, listing);
  WriteListing(std::string(listing, length));
  Play(ShowRankDialog, {[&] {
         EXPECT_EQ(DialogText(RankDialogHandle), std::string(listing, length));
         EXPECT_EQ(std::string(DialogCaption(RankDialogHandle)), Cp949("닭은 삶아야 맛인가!!!"));
         // Both dialogs lie inside the window.
         const DialogRect box = DialogWindowRect(RankDialogHandle);
         EXPECT_GE(box.x, 0);
         EXPECT_GE(box.y, 0);
         EXPECT_LE(box.x + box.width, kScreenWidth);
         EXPECT_LE(box.y + box.height, kScreenHeight);
         DialogRect edit;
         ASSERT_TRUE(GetDialogItemRect(RankDialogHandle, kDialogEditId, edit));
         EXPECT_EQ(edit.width, 348);
         EXPECT_EQ(edit.height, 277);
         // 22 bands of 12 pixels, each with ink; the first and the rule reach across the
         // 57 bytes (342 pixels); nothing below the last line.
         const uint32_t* shown = ShownPixels();
         const int left = edit.x + 2, top = edit.y + 2;
         auto ink = [&](int y0, int y1, int x0, int x1) {
           int n = 0;
           for (int y = y0; y < y1; ++y) {
             for (int x = x0; x < x1; ++x) n += (shown[y * kScreenWidth + x] & 0xFFFFFF) == 0;
           }
           return n;
         };
         for (int line = 0; line < kRankTextLines; ++line) {
           EXPECT_GT(ink(top + 12 * line, top + 12 * line + 12, left, left + 342), 20) << "line " << line;
         }
         EXPECT_GT(ink(top, top + 12, left + 330, left + 342), 5);       // "게임시간" whole
         EXPECT_GT(ink(top + 12, top + 24, left + 336, left + 342), 3);  // the rule's last hyphen
         EXPECT_GT(ink(top + 12, top + 24, left, left + 6), 3);          // and its first
         EXPECT_EQ(ink(top + 12 * kRankTextLines, edit.y + edit.height - 1, left, left + 342), 0);
         Press(VK_RETURN);
       }});
  EXPECT_EQ(DialogOpen, 0);

  Play(ShowNameDialog, {[] {
         const DialogRect box = DialogWindowRect(NameDialogHandle);
         EXPECT_LE(box.x + box.width, kScreenWidth);
         EXPECT_LE(box.y + box.height, kScreenHeight);
         Press(VK_RETURN);
       }});
}

TEST_F(DialogTest, NetplayShowsTheServersTextUnderOneOfTheTenTitles) {
  const char* titles[10] = {
      "닭은 삶아야 맛인가!!",
      "술을줘... 술을... 나의 인생...",
      "PlommPlommPlomm~_~ 닭에 목숨 걸어보세~~",
      "내가 술만 않마셨어도 ㅡㅡ;",
      "겁나게 지루하구만~~",
      "20등안에 누가 못들어 ㅡㅡ;",
      "거봐 쉽다니까!!",
      "날봐라~_~ 날봐라~_~ 날봐라~_~ 뭘봐~_~;;",
      "가끔은 닭대가리로 살고 싶지 않소?",
      "술과 닭 어울리지 않습니까?",
  };
  TempFolder folder("brakkel-ranking");
  folder.Enter();
  WriteListing("from the file\r\n");
  Edition.onlineRanking = true;
  std::set<int> seen;
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    GameRandom& random = CurrentGame().world.random;
    random.Seed(seed);
    const int expected = random.Next() % 10;
    random.Seed(seed);
    std::strcpy(RankTextBuffer, "from the server\r\n");
    const uint32_t pictures = PresentedPictures();
    Play(ShowRankDialog, {[&] {
           // One picture of the dialog so far, and it bears the title: the template's never showed.
           EXPECT_EQ(PresentedPictures() - pictures, 1u) << seed;
           EXPECT_EQ(std::string(DialogCaption(RankDialogHandle)), Cp949(titles[expected])) << seed;
           EXPECT_NE(std::string(DialogCaption(RankDialogHandle)), Cp949("닭은 삶아야 맛인가!!!"));
           EXPECT_EQ(DialogText(RankDialogHandle), "from the server\r\n");
           Press(VK_RETURN);
         }});
    EXPECT_EQ(DialogOpen, 0);
    seen.insert(expected);
    SetUp();
    Edition.onlineRanking = true;
  }
  EXPECT_GE(seen.size(), 6u);
}

TEST_F(DialogTest, AnOversizedListingIsCutAtACharacterBoundary) {
  TempFolder folder("brakkel-ranking");
  folder.Enter();
  struct Case {
    std::string file;
    size_t kept;
  };
  const Case cases[] = {
      {std::string(9998, 'a') + Cp949("가") + std::string(50, 'b'), 9998},  // the syllable would straddle the end
      {std::string(9999, 'a') + Cp949("가"), 9999},
      {std::string(9997, 'a') + Cp949("가"), 9999},  // exactly 9999 bytes: all of it
  };
  for (const Case& c : cases) {
    WriteListing(c.file);
    Play(ShowRankDialog, {[] { Press(VK_RETURN); }});
    EXPECT_EQ(std::string(RankTextBuffer), c.file.substr(0, c.kept));
    for (size_t i = c.kept; i < kRankTextBufferBytes; ++i) ASSERT_EQ(RankTextBuffer[i], 0) << i;
    SetUp();
  }
}

}  // namespace
