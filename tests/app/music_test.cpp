// The music loop: a finished play starts again from the beginning; the edition decides
// whether that still happens once the window is closed; no file means silence.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/edition.h"
#include "app/music.h"
#include "app/window.h"
#include "data/data_files.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/messagebox.h"
#include "platform/music.h"
#include "support/game_window.h"
#include "support/temp_folder.h"

namespace {

using namespace platform;

class MusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(GameWindowReady());
    savedEdition = Edition;
    folder.Enter();
    SetMessageBoxHook([this](const char*, const char*) { ++boxes; });
  }
  void TearDown() override {
    StopMusic();
    CloseMusic();
    SetMessageBoxHook(nullptr);
    Edition = savedEdition;
    MusicNotice = {};
  }

  // "bgm.mp3" in the working folder: the first `bytes` of the game's own piece, a short
  // but real MP3 file.
  void WriteShortPiece(size_t bytes) {
    std::vector<uint8_t> piece = ReadFileBytes(DataPath("bgm.mp3"));
    ASSERT_GT(piece.size(), bytes);
    std::FILE* file = std::fopen("bgm.mp3", "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(piece.data(), 1, bytes, file);
    std::fclose(file);
  }

  EditionTraits savedEdition;
  TempFolder folder{"brakkel_music"};
  int boxes = 0;
};

TEST_F(MusicTest, AFinishedPieceStartsAgainFromTheBeginning) {
  WriteShortPiece(4 * 1024);  // about a quarter of a second
  StartMusic();
  const uint32_t first = MusicLoop.playTag;
  ASSERT_NE(first, 0u) << "the dummy sound device plays";
  // The end of the play arrives through the pump as the music message and starts a new play.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (MusicLoop.playTag == first && std::chrono::steady_clock::now() < deadline) {
    WaitForMessage(20);
    PumpMessages();
  }
  EXPECT_NE(MusicLoop.playTag, first);
  EXPECT_NE(MusicLoop.playTag, 0u);
}

TEST_F(MusicTest, OnlyTheEndOfTheCurrentPlayRestartsIt) {
  WriteShortPiece(64 * 1024);
  StartMusic();
  const uint32_t first = MusicLoop.playTag;
  ASSERT_NE(first, 0u);
  GameWindowProc(WM_MUSIC_NOTIFY, first, 0);
  const uint32_t second = MusicLoop.playTag;
  EXPECT_NE(second, first);
  EXPECT_NE(second, 0u);
  GameWindowProc(WM_MUSIC_NOTIFY, first, 0);  // an old play's end
  GameWindowProc(WM_MUSIC_NOTIFY, 0, 0);
  EXPECT_EQ(MusicLoop.playTag, second);
}

TEST_F(MusicTest, AfterTheWindowIsClosedOnlyNetplayRestarts) {
  WriteShortPiece(64 * 1024);
  Edition.musicAfterQuit = false;  // soloplay
  StartMusic();
  const uint32_t solo = MusicLoop.playTag;
  ASSERT_NE(solo, 0u);
  InputState.quit = 1;
  GameWindowProc(WM_MUSIC_NOTIFY, solo, 0);
  EXPECT_EQ(MusicLoop.playTag, solo);

  Edition.musicAfterQuit = true;  // netplay
  StartMusic();
  const uint32_t net = MusicLoop.playTag;
  GameWindowProc(WM_MUSIC_NOTIFY, net, 0);
  EXPECT_NE(MusicLoop.playTag, net);
  EXPECT_NE(MusicLoop.playTag, 0u);
}

TEST_F(MusicTest, NoFileOrNoPlayableFileIsSilenceWithoutAMessage) {
  StartMusic();  // the folder holds no "bgm.mp3"
  EXPECT_EQ(MusicLoop.playTag, 0u);
  GameWindowProc(WM_MUSIC_NOTIFY, 0, 0);
  EXPECT_EQ(MusicLoop.playTag, 0u);

  std::FILE* file = std::fopen("bgm.mp3", "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("not music at all", file);
  std::fclose(file);
  StartMusic();
  EXPECT_EQ(MusicLoop.playTag, 0u);
  StopMusic();
  EXPECT_EQ(boxes, 0);
}

}  // namespace
