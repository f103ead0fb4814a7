// The local time and the standard streams on Windows.
#include <windows.h>

#include <cstdio>

#include "platform/clock.h"
#include "platform/complain.h"

namespace platform {

std::tm LocalTime(std::time_t when) {
  std::tm local{};
  localtime_s(&local, &when);
  return local;
}

void ConnectStandardStreams() {
  // Streams that already lead somewhere (a file, a pipe, Wine's terminal) stay as they are.
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  const bool outSet = out != nullptr && out != INVALID_HANDLE_VALUE;
  const bool errSet = err != nullptr && err != INVALID_HANDLE_VALUE;
  if ((outSet && errSet) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!outSet) std::freopen("CONOUT$", "w", stdout);
  if (!errSet) std::freopen("CONOUT$", "w", stderr);
}

}  // namespace platform
