// iconv over Windows' own code page 949 tables (MultiByteToWideChar and WideCharToMultiByte),
// one character at a time so that an error names the exact byte where it stands, as POSIX's
// iconv does. UTF-8 and UTF-32LE are coded here. No state between calls: every encoding known
// here is stateless.
#include <iconv.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

enum class Encoding { Cp949, Utf8, Utf32Le };

struct Converter {
  Encoding to;
  Encoding from;
};

enum class Step { Ok, Invalid, CutOff };

constexpr UINT kCodePage949 = 949;
constexpr uint32_t kLastCodePoint = 0x10FFFF;

bool IsSurrogate(uint32_t cp) { return cp >= 0xD800 && cp <= 0xDFFF; }

// Windows gives code page 949's two user-defined rows (leads 0xC9 and 0xFE) the private-use
// characters U+E000-U+E0BB; glibc, whose answers the game's files and exchange were made
// with, knows no character there. Both directions refuse them here as glibc does.
bool IsPrivateUse(uint32_t cp) { return cp >= 0xE000 && cp <= 0xF8FF; }

bool SameName(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 'a' + 'A') : *a;
    if (x != *b) return false;
  }
  return *a == *b;
}

bool EncodingNamed(const char* name, Encoding& encoding) {
  if (SameName(name, "CP949"))
    encoding = Encoding::Cp949;
  else if (SameName(name, "UTF-8"))
    encoding = Encoding::Utf8;
  else if (SameName(name, "UTF-32LE"))
    encoding = Encoding::Utf32Le;
  else
    return false;
  return true;
}

// A character of code page 949: ASCII, or a lead byte 0x81-0xFE and a second byte, looked up
// in the system's table. 0x80 and 0xFF lead nothing (Windows reads them as U+0080 and U+F8F7;
// glibc as nothing).
Step DecodeCp949(const uint8_t* in, size_t left, uint32_t& cp, size_t& used) {
  if (in[0] < 0x80) {
    cp = in[0];
    used = 1;
    return Step::Ok;
  }
  if (in[0] == 0x80 || in[0] == 0xFF) return Step::Invalid;
  if (left < 2) return Step::CutOff;
  wchar_t wide[2];
  const int n = MultiByteToWideChar(kCodePage949, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(in), 2, wide, 2);
  if (n != 1 || IsSurrogate(wide[0]) || IsPrivateUse(wide[0])) return Step::Invalid;
  cp = wide[0];
  used = 2;
  return Step::Ok;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF. A sequence whose
// bytes so far are right but which the input ends inside is cut off; any other is invalid.
Step DecodeUtf8(const uint8_t* in, size_t left, uint32_t& cp, size_t& used) {
  const uint8_t lead = in[0];
  size_t length = 0;
  uint32_t least = 0;
  if (lead < 0x80)
    length = 1, cp = lead;
  else if (lead >= 0xC2 && lead <= 0xDF)
    length = 2, cp = lead & 0x1F, least = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3, cp = lead & 0x0F, least = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4)
    length = 4, cp = lead & 0x07, least = 0x10000;
  else
    return Step::Invalid;
  for (size_t i = 1; i < length; ++i) {
    if (i >= left) return Step::CutOff;
    if ((in[i] & 0xC0) != 0x80) return Step::Invalid;
    cp = cp << 6 | (in[i] & 0x3F);
  }
  if (cp < least || cp > kLastCodePoint || IsSurrogate(cp)) return Step::Invalid;
  used = length;
  return Step::Ok;
}

Step DecodeUtf32Le(const uint8_t* in, size_t left, uint32_t& cp, size_t& used) {
  if (left < 4) return Step::CutOff;
  cp = in[0] | in[1] << 8 | in[2] << 16 | static_cast<uint32_t>(in[3]) << 24;
  if (cp > kLastCodePoint || IsSurrogate(cp)) return Step::Invalid;
  used = 4;
  return Step::Ok;
}

Step Decode(Encoding from, const uint8_t* in, size_t left, uint32_t& cp, size_t& used) {
  switch (from) {
    case Encoding::Cp949: return DecodeCp949(in, left, cp, used);
    case Encoding::Utf8: return DecodeUtf8(in, left, cp, used);
    case Encoding::Utf32Le: return DecodeUtf32Le(in, left, cp, used);
  }
  return Step::Invalid;
}

// False when code page 949 has no code of its own for the character (Windows would
// otherwise give its nearest look-alike or a question mark).
bool EncodeCp949(uint32_t cp, uint8_t* out, size_t& length) {
  if (cp < 0x80) {
    out[0] = static_cast<uint8_t>(cp);
    length = 1;
    return true;
  }
  if (cp > 0xFFFF || IsPrivateUse(cp)) return false;
  const wchar_t wide = static_cast<wchar_t>(cp);
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(kCodePage949, WC_NO_BEST_FIT_CHARS, &wide, 1, reinterpret_cast<char*>(out), 2,
                                    nullptr, &usedDefault);
  if (n != 2 || usedDefault) return false;  // one byte would be Windows' U+0080 as 0x80
  length = 2;
  return true;
}

void EncodeUtf8(uint32_t cp, uint8_t* out, size_t& length) {
  if (cp < 0x80) {
    out[0] = static_cast<uint8_t>(cp);
    length = 1;
    return;
  }
  length = cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
  static constexpr uint8_t kLeadMarks[5] = {0, 0, 0xC0, 0xE0, 0xF0};
  for (size_t i = length - 1; i > 0; --i, cp >>= 6) out[i] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
  out[0] = static_cast<uint8_t>(kLeadMarks[length] | cp);
}

bool Encode(Encoding to, uint32_t cp, uint8_t* out, size_t& length) {
  switch (to) {
    case Encoding::Cp949: return EncodeCp949(cp, out, length);
    case Encoding::Utf8: EncodeUtf8(cp, out, length); return true;
    case Encoding::Utf32Le:
      for (size_t i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(cp >> (8 * i));
      length = 4;
      return true;
  }
  return false;
}

size_t Fail(int error) {
  errno = error;
  return static_cast<size_t>(-1);
}

}  // namespace

extern "C" iconv_t iconv_open(const char* tocode, const char* fromcode) {
  Encoding to;
  Encoding from;
  if (!tocode || !fromcode || !EncodingNamed(tocode, to) || !EncodingNamed(fromcode, from)) {
    errno = EINVAL;
    return reinterpret_cast<iconv_t>(-1);
  }
  Converter* converter = new (std::nothrow) Converter{to, from};
  if (!converter) {
    errno = ENOMEM;
    return reinterpret_cast<iconv_t>(-1);
  }
  return converter;
}

extern "C" size_t iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft) {
  if (cd == reinterpret_cast<iconv_t>(-1) || !cd) return Fail(EBADF);
  if (!inbuf || !*inbuf) return 0;  // back to the initial state, which is the only one
  const Converter& converter = *static_cast<const Converter*>(cd);
  while (*inbytesleft > 0) {
    const auto* in = reinterpret_cast<const uint8_t*>(*inbuf);
    uint32_t cp = 0;
    size_t used = 0;
    const Step step = Decode(converter.from, in, *inbytesleft, cp, used);
    if (step != Step::Ok) return Fail(step == Step::CutOff ? EINVAL : EILSEQ);
    uint8_t coded[4];
    size_t length = 0;
    if (!Encode(converter.to, cp, coded, length)) return Fail(EILSEQ);
    if (length > *outbytesleft) return Fail(E2BIG);
    std::memcpy(*outbuf, coded, length);
    *outbuf += length;
    *outbytesleft -= length;
    *inbuf += used;
    *inbytesleft -= used;
  }
  return 0;
}

extern "C" int iconv_close(iconv_t cd) {
  if (cd == reinterpret_cast<iconv_t>(-1) || !cd) {
    errno = EBADF;
    return -1;
  }
  delete static_cast<Converter*>(cd);
  return 0;
}
