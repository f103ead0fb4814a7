// What the ranking tests share.
#include "test_support.h"

#include <cstring>

#include "platform/display.h"
#include "platform/testing/input.h"
#include "ranking/dialog_templates.h"
#include "ranking/dialogs.h"
#include "text/cp949.h"

std::string DialogText(platform::Dialog* dialog) {
  static char text[kRankTextBufferBytes];
  return std::string(text, platform::GetDialogItemText(dialog, kDialogEditId, text, sizeof text));
}

void DialogScriptTest::OnWait() {
  if (next_ < steps_.size()) {
    steps_[next_++]();
  } else if (++idle_ == idleLimit_) {
    platform::PushClose();
  }
}

void DialogScriptTest::Press(uint32_t vk) {
  platform::PushKey(vk, true);
  platform::PushKey(vk, false);
}

void DialogScriptTest::Type(const char* utf8) {
  for (size_t i = 0; utf8[i];) {
    size_t n = 1;
    while ((static_cast<uint8_t>(utf8[i + n]) & 0xC0) == 0x80) ++n;
    platform::PushText(std::string(utf8 + i, n).c_str());
    i += n;
  }
}
