#pragma once
// Screens and whole runs, headless: the game window under the dummy driver, the game data
// of the build as the working directory, the fake clock, and a script that acts after
// every wait.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/edition.h"
#include "app/window.h"
#include "data/data_files.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/game_folder.h"
#include "platform/messagebox.h"
#include "platform/testing/input.h"
#include "platform/testing/readback.h"
#include "support/game_window.h"
#include "support/temp_folder.h"

class ScreenTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kClockStart = 100000;
  // A script that has not ended the screen by then has gone wrong: the window is closed.
  static constexpr uint32_t kGiveUpMs = 600000;

  void SetUp() override {
    ASSERT_TRUE(GameWindowReady());
    previousDir = std::filesystem::current_path();
    std::filesystem::current_path(DataDir());
    platform::UseFakeClock(kClockStart);
    savedEdition = Edition;
    waits = 0;
    gaveUp = false;
    platform::SetWaitHook([this](uint32_t now) {
      ++waits;
      if (now - kClockStart > kGiveUpMs && !gaveUp) {
        gaveUp = true;
        platform::PushClose();
        return;
      }
      if (script) script(now);
    });
    platform::SetMessageBoxHook(
        [this](const char* caption, const char* text) { boxes.push_back(std::string(caption) + "|" + text); });
  }

  void TearDown() override {
    EXPECT_FALSE(gaveUp) << "the script never ended the screen";
    platform::UseRealClock();
    platform::SetMessageBoxHook(nullptr);
    Edition = savedEdition;
    std::filesystem::current_path(previousDir);
  }

  static uint32_t Elapsed() { return platform::Ticks() - kClockStart; }

  // Fills `folder` with a copy of the build's game data and makes it the working directory:
  // a game whose files (rankings, replays) go into a folder of the test's own.
  static void EnterCopyOfGameData(TempFolder& folder) {
    for (const char* name : platform::kGameDataFiles) std::filesystem::copy_file(DataPath(name), folder.path() / name);
    folder.Enter();
  }

  // Pushes a key press that types `text` (as the keyboard would) and its release.
  static void TypeKey(uint32_t virtualKey, const char* text) {
    platform::PushKey(virtualKey, true);
    if (text) platform::PushText(text);
    platform::PushKey(virtualKey, false);
  }

  static std::vector<uint32_t> Shown() {
    const uint32_t* shown = platform::ShownPixels();
    return std::vector<uint32_t>(shown, shown + platform::kScreenPixels);
  }

  // True when every 97th pixel of the window is black.
  static bool WindowLooksBlack() {
    const uint32_t* shown = platform::ShownPixels();
    for (int i = 0; i < platform::kScreenPixels; i += 97) {
      if ((shown[i] & 0xFFFFFF) != 0) return false;
    }
    return true;
  }

  std::function<void(uint32_t now)> script;
  int waits = 0;
  bool gaveUp = false;
  std::vector<std::string> boxes;
  EditionTraits savedEdition;
  std::filesystem::path previousDir;
};
