// The IBus client: its own bus (the address from IBUS_ADDRESS or the file ibus-daemon leaves
// for this display), or IBus's portal on the session bus inside a sandbox; an input context
// that shows its composition through the game, and the signals it sends back.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/ime/input_method_bus.h"
#include "platform/window_hooks.h"

namespace platform {
namespace {

constexpr const char* kService = "org.freedesktop.IBus";
constexpr const char* kPortalService = "org.freedesktop.portal.IBus";
constexpr const char* kPath = "/org/freedesktop/IBus";
constexpr const char* kContext = "org.freedesktop.IBus.InputContext";
constexpr uint32_t kCapPreeditText = 1u << 0;
constexpr uint32_t kCapFocus = 1u << 3;

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

std::string MachineId() {
  for (const char* file : {"/var/lib/dbus/machine-id", "/etc/machine-id"}) {
    if (FILE* f = std::fopen(file, "r")) {
      char line[64] = {};
      bool got = std::fgets(line, sizeof line, f) != nullptr;
      std::fclose(f);
      if (got && Trimmed(line).size() == 32) return Trimmed(line);
    }
  }
  return {};
}

// Where ibus-daemon writes its address: <config>/ibus/bus/<machine>-<host>-<display number>.
std::string AddressFile() {
  const char* display = std::getenv("DISPLAY");
  std::string d = display && *display ? display : ":0.0";
  size_t colon = d.rfind(':');
  if (colon == std::string::npos) return {};
  std::string host = d.substr(0, colon);
  std::string number = d.substr(colon + 1);
  number = number.substr(0, number.find('.'));
  if (host.empty()) {
    const char* session = std::getenv("XDG_SESSION_TYPE");
    host = session && std::strcmp(session, "wayland") == 0 ? "unix-wayland" : "unix";
  }
  std::string config;
  if (const char* c = std::getenv("XDG_CONFIG_HOME"); c && *c) {
    config = c;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    config = std::string(home) + "/.config";
  } else {
    return {};
  }
  std::string machine = MachineId();
  if (machine.empty()) return {};
  return config + "/ibus/bus/" + machine + "-" + host + "-" + number;
}

std::string Address() {
  if (const char* a = std::getenv("IBUS_ADDRESS"); a && *a) return a;
  std::string file = AddressFile();
  FILE* f = file.empty() ? nullptr : std::fopen(file.c_str(), "r");
  if (!f) return {};
  std::string address;
  char line[1024];
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, "IBUS_ADDRESS=", 13) == 0) {
      address = Trimmed(line + 13);
      break;
    }
  }
  std::fclose(f);
  return address;
}

// An IBusText travels as a variant holding (name, attachments, text, attributes).
bool ReadText(sd_bus_message* m, const char** text) {
  if (sd_bus_message_enter_container(m, 'v', "(sa{sv}sv)") <= 0) return false;
  if (sd_bus_message_enter_container(m, 'r', "sa{sv}sv") <= 0) return false;
  const char* name = nullptr;
  if (sd_bus_message_read(m, "s", &name) < 0 || sd_bus_message_skip(m, "a{sv}") < 0 ||
      sd_bus_message_read(m, "s", text) < 0 || sd_bus_message_skip(m, "v") < 0) {
    return false;
  }
  return sd_bus_message_exit_container(m) >= 0 && sd_bus_message_exit_container(m) >= 0;
}

class IbusClient : public BusInputContext {
 public:
  IbusClient() : BusInputContext(kService, kContext, "Destroy") {}

  bool Open() {
    std::string address = Address();
    if (!address.empty()) {
      if (sd_bus_new(&bus_) < 0 || sd_bus_set_address(bus_, address.c_str()) < 0 ||
          sd_bus_set_bus_client(bus_, 1) < 0 || sd_bus_start(bus_) < 0) {
        return false;
      }
    } else {
      // No daemon for this display: inside a sandbox IBus answers on the session bus. Outside
      // one the portal is not asked, as asking could start it for nothing.
      if (access("/.flatpak-info", F_OK) != 0 || sd_bus_open_user(&bus_) < 0) return false;
      service_ = kPortalService;
    }
    sd_bus_set_method_call_timeout(bus_, kCallTimeoutUsec);
    sd_bus_message* reply = nullptr;
    const char* iface = service_ == kPortalService ? "org.freedesktop.IBus.Portal" : kService;
    int r = sd_bus_call_method(bus_, service_, kPath, iface, "CreateInputContext", nullptr, &reply, "s", "brakkel");
    return TakeContext(r, reply, OnSignal) &&
           sd_bus_call_method(bus_, service_, path_.c_str(), kContext, "SetCapabilities", nullptr, nullptr, "u",
                              kCapPreeditText | kCapFocus) >= 0;
  }

  KeyAnswer Key(uint32_t keysym, uint32_t keycode, uint32_t state, bool release) override {
    if (release) state |= kReleaseMask;
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(bus_, service_, path_.c_str(), kContext, "ProcessKeyEvent", nullptr, &reply, "uuu",
                               keysym, keycode, state);
    return AnswerToKey(r, reply);
  }

  void Caret(int x, int y, int w, int h) override {
    sd_bus_call_method(bus_, service_, path_.c_str(), kContext, "SetCursorLocation", nullptr, nullptr, "iiii", x, y, w,
                       h);
  }

 private:
  static int OnSignal(sd_bus_message* m, void* /*self*/, sd_bus_error* /*error*/) {
    const char* member = sd_bus_message_get_member(m);
    if (!member) return 0;
    if (std::strcmp(member, "CommitText") == 0) {
      const char* text = nullptr;
      if (ReadText(m, &text) && text) DeliverText(text);
    } else if (std::strcmp(member, "UpdatePreeditText") == 0) {
      const char* text = nullptr;
      uint32_t cursor = 0;
      int visible = 0;
      if (ReadText(m, &text) && sd_bus_message_read(m, "ub", &cursor, &visible) >= 0) {
        DeliverComposition(visible && text ? text : "", static_cast<int>(cursor));
      }
    } else if (std::strcmp(member, "HidePreeditText") == 0) {
      DeliverComposition("", 0);
    } else if (std::strcmp(member, "ForwardKeyEvent") == 0) {
      uint32_t keysym = 0, keycode = 0, state = 0;
      SDL_KeyboardEvent key;
      if (sd_bus_message_read(m, "uuu", &keysym, &keycode, &state) >= 0 &&
          KeyFromKeysym(keysym, state, (state & kReleaseMask) != 0, key)) {
        DeliverKey(key);
      }
    }
    return 0;
  }
};

}  // namespace

InputMethodClient* ConnectIbus() {
  auto* c = new IbusClient;
  if (c->Open()) return c;
  delete c;
  return nullptr;
}

}  // namespace platform
