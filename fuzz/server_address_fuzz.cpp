// Any text into the HOST[:PORT] reader: a refusal leaves the address untouched and says why;
// what it takes has a host within bounds, no space or control byte, a port from 1, and reads
// back the same when written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/server_address.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ServerAddress read{"untouched", 9};
  std::string error;
  if (!ParseServerAddress(text, read, error)) {
    if (error.empty() || read != ServerAddress{"untouched", 9}) std::abort();
    return 0;
  }
  if (read.host.empty() || read.host.size() > kLongestHostName || read.port == 0) std::abort();
  for (const char c : read.host)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f || c == '[' || c == ']') std::abort();
  ServerAddress again;
  if (!ParseServerAddress(FormatServerAddress(read), again, error) || again != read) std::abort();
  return 0;
}
