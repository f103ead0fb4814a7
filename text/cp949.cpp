// Code page 949 <-> UTF-8 through iconv: the only place the game's texts change encoding.
#include "text/cp949.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace {

// Converters stay open for the whole run, so converting allocates nothing.
struct Converter {
  const char* to;
  const char* from;
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  iconv_t Get() {
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open(to, from);
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return cd;
  }
};
Converter cp949ToUtf8{"UTF-8", "CP949"};
Converter utf8ToCp949{"CP949", "UTF-8"};
Converter cp949ToUtf32{"UTF-32LE", "CP949"};

size_t Utf8SequenceLength(uint8_t lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// Runs iconv over the whole input; a bad or cut-off input sequence is replaced by
// `replacement` and decoding goes on. Stops when the output is full (whole characters only).
size_t Convert(Converter& conv, const char* in, size_t inLen, char* out, size_t outCap, const char* replacement,
               size_t replacementLen, bool skipUtf8Sequence) {
  iconv_t cd = conv.Get();
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  char* src = const_cast<char*>(in);
  size_t srcLeft = inLen;
  char* dst = out;
  size_t dstLeft = outCap;
  while (srcLeft > 0) {
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) break;
    if (dstLeft < replacementLen) break;
    std::memcpy(dst, replacement, replacementLen);
    dst += replacementLen;
    dstLeft -= replacementLen;
    size_t skip = skipUtf8Sequence ? Utf8SequenceLength(static_cast<uint8_t>(*src)) : 1;
    if (skip > srcLeft) skip = srcLeft;
    src += skip;
    srcLeft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return static_cast<size_t>(dst - out);
}

}  // namespace

size_t Cp949ToUtf8(const char* in, size_t inLen, char* out, size_t outCap) {
  if (outCap == 0) return 0;
  const char replacement[] = "\xEF\xBF\xBD";  // raw bytes: U+FFFD in UTF-8
  size_t n = Convert(cp949ToUtf8, in, inLen, out, outCap - 1, replacement, 3, false);
  out[n] = 0;
  return n;
}

size_t Utf8ToCp949(const char* in, size_t inLen, char* out, size_t outCap) {
  if (outCap == 0) return 0;
  size_t n = Convert(utf8ToCp949, in, inLen, out, outCap - 1, "?", 1, true);
  out[n] = 0;
  return n;
}

size_t Cp949ToCodepoints(const char* in, size_t inLen, uint32_t* out, size_t outCap) {
  const char replacement[4] = {'\xFD', '\xFF', 0, 0};  // U+FFFD, little-endian
  size_t bytes = Convert(cp949ToUtf32, in, inLen, reinterpret_cast<char*>(out), outCap * 4, replacement, 4, false);
  return bytes / 4;
}

size_t Cp949FitLength(const char* text, size_t len, size_t maxBytes) {
  size_t i = 0;
  while (i < len) {
    auto lead = static_cast<uint8_t>(text[i]);
    size_t n = (lead >= 0x81 && lead <= 0xFE && i + 1 < len) ? 2 : 1;
    if (i + n > maxBytes) break;
    i += n;
  }
  return i;
}

bool Cp949Valid(const char* text, size_t len) {
  iconv_t cd = cp949ToUtf32.Get();
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* src = const_cast<char*>(text);
  size_t srcLeft = len;
  while (srcLeft > 0) {
    char chunk[256];
    char* dst = chunk;
    size_t dstLeft = sizeof chunk;
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) break;
    if (errno != E2BIG) return false;  // a bad or cut-off character
  }
  return true;
}
