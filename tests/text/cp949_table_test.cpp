// Code page 949's whole table as the conversion knows it: the C library's iconv on Linux,
// compat/'s over Windows' own table on Windows. Both must know the same characters, or a name
// typed on one would be refused or shown otherwise on the other.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "text/cp949.h"

namespace {

// Code page 949 holds 17048 double-byte characters: KS X 1001's 2350 Hangul, 4888 Hanja and
// 988 others (symbols, letters of other scripts), and the extension's 8822 other Hangul.
constexpr int kDoubleByteCharacters = 17048;

TEST(CodePage949, EveryDoubleByteCodeReadsToOneCharacterThatWritesBackToIt) {
  int known = 0;
  int userDefined = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x00; trail <= 0xFF; ++trail) {
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      if (!Cp949Valid(pair, 2)) continue;
      ++known;
      if (lead == 0xC9 || lead == 0xFE) ++userDefined;
      uint32_t cp[2] = {};
      ASSERT_EQ(Cp949ToCodepoints(pair, 2, cp, 2), 1u) << std::hex << lead << trail;
      char utf8[8];
      const size_t utf8Length = Cp949ToUtf8(pair, 2, utf8, sizeof utf8);
      char back[4];
      ASSERT_EQ(Utf8ToCp949(utf8, utf8Length, back, sizeof back), 2u) << std::hex << lead << trail << " U+" << cp[0];
      EXPECT_EQ(std::string(back, 2), std::string(pair, 2)) << std::hex << "U+" << cp[0];
    }
  }
  EXPECT_EQ(known, kDoubleByteCharacters);
  // The user-defined rows hold nothing: Windows' private-use characters there are refused.
  EXPECT_EQ(userDefined, 0);
}

TEST(CodePage949, SingleBytesAreAsciiAloneAndNothingElseMapsToThem) {
  for (int byte = 0x00; byte <= 0xFF; ++byte) {
    const char one = static_cast<char>(byte);
    EXPECT_EQ(Cp949Valid(&one, 1), byte < 0x80) << byte;
  }
  // U+0080 and a private-use character have no code (Windows' table would give 0x80 and a
  // user-defined pair); a character past the Basic Multilingual Plane has none either.
  const char* const noCode[] = {"\xC2\x80", "\xEE\x80\x80", "\xF0\x9F\x98\x80"};  // raw bytes: U+0080, U+E000, U+1F600
  for (const char* utf8 : noCode) {
    char out[8];
    const std::string text = std::string("a") + utf8 + "z";
    EXPECT_EQ(std::string(out, Utf8ToCp949(text.data(), text.size(), out, sizeof out)), "a?z") << text;
  }
}

}  // namespace
