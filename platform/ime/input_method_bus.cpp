// The D-Bus side of an input context, shared by the IBus and fcitx clients.
#include "platform/ime/input_method_bus.h"

namespace platform {

BusInputContext::~BusInputContext() {
  if (bus_ && !path_.empty()) Call(destroy_);
  sd_bus_slot_unref(slot_);
  sd_bus_flush_close_unref(bus_);
}

bool BusInputContext::Pump() {
  bool any = false;
  while (sd_bus_process(bus_, nullptr) > 0) any = true;
  return any;
}

bool BusInputContext::TakeContext(int r, sd_bus_message* reply, sd_bus_message_handler_t onSignal) {
  const char* path = nullptr;
  if (r >= 0) r = sd_bus_message_read(reply, "o", &path);
  if (r >= 0 && path) path_ = path;
  sd_bus_message_unref(reply);
  return !path_.empty() &&
         sd_bus_match_signal(bus_, &slot_, nullptr, path_.c_str(), context_, nullptr, onSignal, this) >= 0;
}

KeyAnswer BusInputContext::AnswerToKey(int r, sd_bus_message* reply) {
  int taken = 0;
  if (r >= 0) r = sd_bus_message_read(reply, "b", &taken);
  sd_bus_message_unref(reply);
  if (r < 0 || !Drain()) return KeyAnswer::ConnectionLost;
  return taken ? KeyAnswer::Taken : KeyAnswer::NotTaken;
}

bool BusInputContext::Call(const char* method) {
  return sd_bus_call_method(bus_, service_, path_.c_str(), context_, method, nullptr, nullptr, "") >= 0;
}

bool BusInputContext::Drain() {
  int r;
  while ((r = sd_bus_process(bus_, nullptr)) > 0) {
  }
  return r >= 0;
}

}  // namespace platform
