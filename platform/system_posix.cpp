// The local time, the standard streams and the arguments on POSIX systems.
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

std::vector<std::string> ProgramArguments(int argc, const char* const* argv) {
  return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
}

}  // namespace platform
