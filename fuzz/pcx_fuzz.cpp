// Any bytes as a picture file: decoded by the PCX rules without leaving the tables.
#include <cstdint>
#include <cstdio>

#include "gfx/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;  // fmemopen refuses an empty buffer
  LoadPictureFromStream(file);
  std::fclose(file);
  return 0;
}
