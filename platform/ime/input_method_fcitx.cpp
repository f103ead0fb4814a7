// The fcitx client (fcitx5, and fcitx 4 through the same interface) on the session bus: an
// input context that shows its composition through the game, and the signals it sends back.
#include <cstring>
#include <string>

#include "platform/ime/input_method_bus.h"
#include "platform/window_hooks.h"

namespace platform {
namespace {

constexpr const char* kService = "org.freedesktop.portal.Fcitx";
constexpr const char* kPath = "/org/freedesktop/portal/inputmethod";
constexpr const char* kMethod = "org.fcitx.Fcitx.InputMethod1";
constexpr const char* kContext = "org.fcitx.Fcitx.InputContext1";
constexpr uint64_t kCapPreedit = 1u << 1;
constexpr uint64_t kCapFormattedPreedit = 1u << 4;
// fcitx takes X's key codes, the kernel's plus 8.
constexpr uint32_t kXKeycodeOffset = 8;

class FcitxClient : public BusInputContext {
 public:
  FcitxClient() : BusInputContext(kService, kContext, "DestroyIC") {}

  bool Open() {
    if (sd_bus_open_user(&bus_) < 0) return false;
    sd_bus_set_method_call_timeout(bus_, kCallTimeoutUsec);
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(bus_, kService, kPath, kMethod, "CreateInputContext", nullptr, &reply, "a(ss)", 1,
                               "program", "brakkel");
    return TakeContext(r, reply, OnSignal) &&
           sd_bus_call_method(bus_, kService, path_.c_str(), kContext, "SetCapability", nullptr, nullptr, "t",
                              kCapPreedit | kCapFormattedPreedit) >= 0;
  }

  KeyAnswer Key(uint32_t keysym, uint32_t keycode, uint32_t state, bool release) override {
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(bus_, kService, path_.c_str(), kContext, "ProcessKeyEvent", nullptr, &reply, "uuubu",
                               keysym, keycode ? keycode + kXKeycodeOffset : 0, state, release ? 1 : 0, 0u);
    return AnswerToKey(r, reply);
  }

  void Caret(int x, int y, int w, int h) override {
    sd_bus_call_method(bus_, kService, path_.c_str(), kContext, "SetCursorRect", nullptr, nullptr, "iiii", x, y, w, h);
  }

 private:
  // The composition comes as styled pieces; the game shows their text run together.
  static void Preedit(sd_bus_message* m) {
    std::string text;
    if (sd_bus_message_enter_container(m, 'a', "(si)") <= 0) return;
    while (sd_bus_message_enter_container(m, 'r', "si") > 0) {
      const char* piece = nullptr;
      int32_t format = 0;
      if (sd_bus_message_read(m, "si", &piece, &format) < 0 || sd_bus_message_exit_container(m) < 0) return;
      if (piece) text += piece;
    }
    int32_t cursor = 0;  // in bytes of the UTF-8 text
    if (sd_bus_message_exit_container(m) < 0 || sd_bus_message_read(m, "i", &cursor) < 0) return;
    int bytes = cursor < 0 ? static_cast<int>(text.size()) : cursor;
    DeliverComposition(text.c_str(), Utf8Characters(text.c_str(), bytes));
  }

  static int OnSignal(sd_bus_message* m, void* /*self*/, sd_bus_error* /*error*/) {
    const char* member = sd_bus_message_get_member(m);
    if (!member) return 0;
    if (std::strcmp(member, "CommitString") == 0) {
      const char* text = nullptr;
      if (sd_bus_message_read(m, "s", &text) >= 0 && text) DeliverText(text);
    } else if (std::strcmp(member, "UpdateFormattedPreedit") == 0) {
      Preedit(m);
    } else if (std::strcmp(member, "ForwardKey") == 0) {
      uint32_t keysym = 0, state = 0;
      int release = 0;
      SDL_KeyboardEvent key;
      if (sd_bus_message_read(m, "uub", &keysym, &state, &release) >= 0 &&
          KeyFromKeysym(keysym, state, release != 0, key)) {
        DeliverKey(key);
      }
    }
    return 0;
  }
};

}  // namespace

InputMethodClient* ConnectFcitx() {
  auto* c = new FcitxClient;
  if (c->Open()) return c;
  delete c;
  return nullptr;
}

}  // namespace platform
