// The local time and the standard streams on POSIX systems.
#include "platform/clock.h"
#include "platform/complain.h"

namespace platform {

std::tm LocalTime(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  return local;
}

// A POSIX program has its standard streams from its start.
void ConnectStandardStreams() {}

}  // namespace platform
