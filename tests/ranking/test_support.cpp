// What the ranking tests share.
#include "test_support.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "wire/cp949.h"
#include "platform/display.h"
#include "res/dialog_templates.h"
#include "ranking/dialogs.h"

std::string DialogText(Dialog* dialog) {
  static char text[kRankTextBufferBytes];
  return std::string(text, platform::GetDialogItemText(dialog, kDialogEditId, text, sizeof text));
}

TemporaryFolder::TemporaryFolder(const char* prefix) : home_(std::filesystem::current_path()) {
  std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + "-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::system_error(errno, std::generic_category(), "mkdtemp");
  folder_ = pattern;
  std::filesystem::current_path(folder_);
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  std::filesystem::current_path(home_, ignored);
  std::filesystem::remove_all(folder_, ignored);
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
