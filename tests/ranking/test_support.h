#pragma once
// What the ranking tests share: playing the real dialogs through the pump under the fake
// clock from a script of steps.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/dialog/dialog.h"
#include "support/cp949_text.h"

// The text the dialog's edit holds.
std::string DialogText(platform::Dialog* dialog);

// A fixture whose tests play a dialog from a script: each wait of the dialog that finds
// nothing to do runs the next step. Once the script has run out, the `idleLimit`-th wait
// after it closes the window, so no test can hang.
class DialogScriptTest : public ::testing::Test {
 protected:
  explicit DialogScriptTest(int idleLimit) : idleLimit_(idleLimit) {}

  void OnWait();
  // A key pressed and released.
  static void Press(uint32_t vk);
  // One text event per character, as a keyboard types.
  static void Type(const char* utf8);

  std::vector<std::function<void()>> steps_;
  size_t next_ = 0;
  int idle_ = 0;

 private:
  int idleLimit_;
};
