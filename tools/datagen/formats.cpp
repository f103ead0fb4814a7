#include "tools/datagen/formats.h"

#include <png.h>

#include <cstdio>
#include <cstring>

#include "gfx/ani_format.h"
#include "gfx/pcx_format.h"

namespace datagen {

namespace {

void Put16(Bytes& out, int v) {
  out.push_back(static_cast<uint8_t>(v & 255));
  out.push_back(static_cast<uint8_t>((v >> 8) & 255));
}

void Put32(Bytes& out, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>((u >> (8 * i)) & 255));
}

}  // namespace

Bytes EncodePcx(const IndexedPicture& picture) {
  Bytes out;
  out.push_back(kPcxManufacturer);
  out.push_back(kPcxVersion);
  out.push_back(kPcxRunLengthCoding);
  out.push_back(kPcxBitsPerPixel);  // per plane
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, picture.width - 1);
  Put16(out, picture.height - 1);
  Put16(out, 72);  // resolution in dots per inch
  Put16(out, 72);
  out.insert(out.end(), 48, 0);  // 16-colour palette, unused at 8 bits
  out.push_back(0);              // reserved
  out.push_back(1);              // one colour plane
  Put16(out, picture.width);     // bytes per line (even for 640)
  Put16(out, 1);                 // palette holds colours
  Put16(out, 0);
  Put16(out, 0);
  out.resize(kPcxHeaderBytes, 0);  // the rest of the header is zero

  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* row = picture.pixels.data() + static_cast<size_t>(y) * picture.width;
    int x = 0;
    while (x < picture.width) {
      uint8_t v = row[x];
      int run = 1;
      while (x + run < picture.width && run < kPcxRunCountMask && row[x + run] == v) ++run;
      // Values with both top bits set can only be written as runs.
      if (run > 1 || (v & kPcxRunFlag) == kPcxRunFlag) out.push_back(static_cast<uint8_t>(kPcxRunFlag | run));
      out.push_back(v);
      x += run;
    }
  }
  out.push_back(kPcxPaletteMarker);
  out.insert(out.end(), picture.palette.begin(), picture.palette.end());
  return out;
}

Bytes EncodeAni(const std::vector<SpriteImage>& frames) {
  Bytes out(kAniMagic, kAniMagic + kAniMagicBytes);
  Put32(out, static_cast<int32_t>(frames.size()));
  for (const SpriteImage& frame : frames) {
    Put32(out, frame.width);
    Put32(out, frame.height);
    out.insert(out.end(), frame.pixels.begin(), frame.pixels.end());
  }
  return out;
}

Bytes EncodePngPixels(const Bytes& pixels, int width, int height, bool alpha) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  Bytes out;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr) || size == 0) return out;
  out.resize(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr)) return Bytes{};
  out.resize(size);
  return out;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = (std::fclose(file) == 0) && ok;
  return ok;
}

}  // namespace datagen
