#include "server/rankload/process_status.h"

#include <cstdlib>
#include <fstream>
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

}  // namespace rankload
