#include "server/rankload/process_status.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace rankload {

long StatusKb(long pid, const char* field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(in, line)) {
    if (line.starts_with(key)) return std::atol(line.c_str() + key.size());
  }
  return -1;
}

bool ReadProcessorTime(long pid, ProcessorTime& time) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The name in parentheses may hold spaces; the fields after it are separated by one each:
  // state, then 10 more before utime and stime (fields 14 and 15 of proc(5)).
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream fields(stat.substr(close + 1));
  std::string skip;
  for (int i = 3; i < 14; ++i) fields >> skip;
  unsigned long long user = 0, system = 0;
  if (!(fields >> user >> system)) return false;
  const long ticks = sysconf(_SC_CLK_TCK);
  if (ticks <= 0) return false;
  time.user = std::chrono::microseconds(user * 1000000 / ticks);
  time.system = std::chrono::microseconds(system * 1000000 / ticks);
  return true;
}

}  // namespace rankload
