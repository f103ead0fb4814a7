// The table of texts (text/texts.txt) as the build converted it to code page 949.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "text/cp949.h"
#include "text/texts.h"

namespace {

// The bytes as two-digit hex, space-separated: "bd ac".
std::string Hex(const char* bytes) {
  std::string out;
  for (const char* p = bytes; *p != 0; ++p) {
    char two[4];
    std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(*p));
    out += (out.empty() ? "" : " ") + std::string(two);
  }
  return out;
}

TEST(Texts, EveryEntryIsCodePage949OfItsSource) {
  std::set<std::string> names;
  for (const TextEntry& entry : kTextTable) {
    SCOPED_TRACE(entry.name);
    EXPECT_TRUE(names.insert(entry.name).second);
    ASSERT_EQ(std::strlen(entry.cp949), entry.cp949Length);
    EXPECT_TRUE(Cp949Valid(entry.cp949, entry.cp949Length));
    char utf8[256];
    const size_t n = Cp949ToUtf8(entry.cp949, entry.cp949Length, utf8, sizeof utf8);
    EXPECT_EQ(std::string(utf8, n), entry.utf8);
  }
  EXPECT_EQ(names.size(), 47u);
}

// Bytes the system has always held, written out by hand: a converter or a table that
// changes one fails here. Among them code page 949's extension syllables (쇅, 냣), a
// compatibility jamo (ㅡ), printf formats and a header's trailing spaces.
TEST(Texts, TheSystemsOwnBytesAreKept) {
  EXPECT_EQ(Hex(kEasyModeName), "bd ac bf ee b0 d4 c0 d3");
  EXPECT_EQ(Hex(kHardcoreModeName), "c7 cf b5 e5 c4 da be ee b0 d4 c0 d3");
  EXPECT_EQ(Hex(kSpriteMissingCaption), "b0 b3 99 b8");
  EXPECT_EQ(Hex(kHudStageFormat), "bd ba c5 d7 c0 cc c1 f6 25 64 20 b8 f1 c7 a5 25 33 64 25 25 2f 25 33 64 25 25");
  EXPECT_EQ(Hex(kRankRowFormat),
            "25 36 64 b5 ee 25 31 30 73 25 31 30 64 c1 a1 25 34 64 c6 c7 25 34 64 c4 de ba b8 25 31 31 "
            "64 c3 ca");
  EXPECT_EQ(Hex(kRankTitles[3]), "b3 bb b0 a1 20 bc fa b8 b8 20 be ca b8 b6 bc cc be ee b5 b5 20 a4 d1 a4 d1 3b");
  EXPECT_EQ(Hex(kScoreFileHeaders[5]),
            "b8 f4 ba c1 bf e4 21 21 20 b4 e7 bd c5 20 ba b8 b6 f3 b0 ed 20 b8 b8 b5 e7 b0 c5 20 be c6 "
            "86 6e 21 21 20 20 20 20 20");
}

}  // namespace
