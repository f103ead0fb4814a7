#include "platform/complain.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/game_folder.h"

namespace platform {

const char* ProgramName() {
  static const std::string name = [] {
    const std::string path = ProgramPath();
    const size_t slash = path.rfind('/');
    std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    // Windows' programs end in ".exe": the name is the program's all the same.
    if (last.size() > 4 && last.compare(last.size() - 4, 4, ".exe") == 0) last.resize(last.size() - 4);
    return last.empty() ? std::string("brakkel") : last;
  }();
  return name.c_str();
}

void Complain(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string line = std::string(ProgramName()) + ": ";
  const size_t start = line.size();
  if (length > 0) {
    line.resize(start + static_cast<size_t>(length) + 1);
    std::vsnprintf(line.data() + start, static_cast<size_t>(length) + 1, format, again);
    line.back() = '\n';
  } else {
    line += '\n';
  }
  va_end(again);
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace platform
