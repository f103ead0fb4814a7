#pragma once
// What the IBus and fcitx clients share: a D-Bus connection (sd-bus), one input context on
// it, its signals, and calls that answer before the next key is read.
#include <systemd/sd-bus.h>

#include <cstdint>
#include <string>

#include "platform/ime/input_method.h"

namespace platform {

class BusInputContext : public InputMethodClient {
 public:
  // `service` answers for the input context, whose calls go to `context`; `destroy` lets it go.
  BusInputContext(const char* service, const char* context, const char* destroy)
      : service_(service), context_(context), destroy_(destroy) {}
  ~BusInputContext() override;
  bool Focus(bool in) override { return Call(in ? "FocusIn" : "FocusOut") && Drain(); }
  bool Pump() override;

 protected:
  // An input method that does not answer a call in this time is taken as gone.
  static constexpr uint64_t kCallTimeoutUsec = 3'000'000;

  // Takes the input context from the answer `r`/`reply` to its creation, and its signals.
  bool TakeContext(int r, sd_bus_message* reply, sd_bus_message_handler_t onSignal);
  // The answer to a key, from the answer `r`/`reply` to the key's call. What the input method
  // sent while it worked on the key (a commit, a key handed back) is delivered first.
  KeyAnswer AnswerToKey(int r, sd_bus_message* reply);
  bool Call(const char* method);
  bool Drain();

  sd_bus* bus_ = nullptr;
  sd_bus_slot* slot_ = nullptr;
  const char* service_;
  const char* context_;
  const char* destroy_;
  std::string path_;
};

}  // namespace platform
