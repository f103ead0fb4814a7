// The local time, the standard streams and the arguments on Windows.
#include <windows.h>
// (after windows.h, whose types it uses)
#include <shellapi.h>

#include <cstdio>

#include "platform/clock.h"
#include "platform/complain.h"
#include "platform/wide_text.h"

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

std::vector<std::string> ProgramArguments(int argc, const char* const* argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace platform
