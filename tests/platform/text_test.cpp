// The game face and code page 949 conversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/text.h"
#include "support/cp949_text.h"

namespace {

std::string ToUtf8(const std::string& cp949) {
  char out[256];
  size_t n = Cp949ToUtf8(cp949.data(), cp949.size(), out, sizeof out);
  return std::string(out, n);
}

TEST(GameFont, CellsAreTwelveWideForLatinAndTwentyFourForHangul) {
  ASSERT_TRUE(platform::LoadGameFont());
  EXPECT_EQ(platform::GlyphAdvance(24, 'A'), 12);
  EXPECT_EQ(platform::GlyphAdvance(24, 0xAC00), 24);  // 가
  // Banner sizes keep the same proportion: a cell of 2s is s wide per Latin letter.
  EXPECT_EQ(platform::GlyphAdvance(100, 'S'), 50);
  EXPECT_EQ(platform::GlyphAdvance(112, 'S'), 56);
}

TEST(GameFont, RendersAMaskForTheDataGenerator) {
  ASSERT_TRUE(platform::LoadGameFont());
  std::vector<uint8_t> mask;
  int w = 0, h = 0;
  ASSERT_TRUE(platform::RenderTextMask(24, "쉬운게임", mask, w, h));
  EXPECT_EQ(w, 96);
  EXPECT_EQ(h, 24);
  size_t lit = 0;
  for (uint8_t m : mask) lit += m;
  EXPECT_GT(lit, 50u);
  EXPECT_FALSE(platform::RenderTextMask(24, "", mask, w, h));
}

TEST(GameFont, AnOutlineDrawnInOneCallPaintsWhatItsPassesPaintOneByOne) {
  ASSERT_TRUE(platform::LoadGameFont());
  // The HUD's outline order and the banners' (another order of the same four shifts).
  const platform::TextPass hud[5] = {
      {-1, 0, 200, 200, 255}, {1, 0, 200, 200, 255}, {0, -1, 200, 200, 255}, {0, 1, 200, 200, 255}, {0, 0, 0, 0, 255}};
  const platform::TextPass banner[5] = {
      {1, 0, 0, 0, 0}, {-1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, -1, 0, 0, 0}, {0, 0, 255, 255, 255}};
  const std::string texts[] = {Cp949("보통게임 1234점 게임 시간 :  65초"), "STAGE 50", "STAGE FAILED!!"};
  uint16_t* surface = platform::OffscreenPixels();
  std::vector<uint16_t> together(platform::kScreenPixels);
  for (const platform::TextPass* passes : {hud, banner}) {
    for (int cell : {24, 100, 112}) {
      for (const std::string& text : texts) {
        for (auto [x, y] : {std::pair{0, 0}, std::pair{-7, -9}, std::pair{500, 430}, std::pair{-30, 215}}) {
          std::fill(surface, surface + platform::kScreenPixels, 0x0421);
          platform::DrawText(cell, x, y, text.c_str(), passes, 5);
          std::copy(surface, surface + platform::kScreenPixels, together.begin());
          std::fill(surface, surface + platform::kScreenPixels, 0x0421);
          for (int p = 0; p < 5; ++p) platform::DrawText(cell, x, y, text.c_str(), passes + p, 1);
          ASSERT_TRUE(std::equal(together.begin(), together.end(), surface))
              << cell << " " << text << " at " << x << "," << y;
        }
      }
    }
  }
  EXPECT_NE(std::count(together.begin(), together.end(), 0x0421), platform::kScreenPixels);
}

TEST(CodePage949, RoundTripsKoreanAndAscii) {
  const std::string texts[] = {"쉬운게임", "닭에게 마우스를 가따 대세요.", "STAGE 7", "점수 %d%%", "파일형식 달라"};
  for (const auto& t : texts) EXPECT_EQ(ToUtf8(Cp949(t)), t);
  // Known bytes: 가 is B0 A1 in code page 949.
  EXPECT_EQ(Cp949("가A"), std::string("\xB0\xA1") + "A");  // raw bytes: 가 written out
  // A code page 949 extension syllable (똠) that EUC-KR lacks.
  EXPECT_EQ(ToUtf8(Cp949("똠")), "똠");
}

TEST(CodePage949, BadBytesBecomeReplacementCharacters) {
  // 0xFF is no lead byte; a lone lead byte at the end is cut off.
  const std::string replacement = "\xEF\xBF\xBD";  // raw bytes: U+FFFD in UTF-8
  EXPECT_EQ(ToUtf8(std::string("A\xFF") + "B"), "A" + replacement + "B");
  EXPECT_EQ(ToUtf8(std::string("A\xB0")), "A" + replacement);
  uint32_t cps[8];
  std::string bad("\xB0\xA1\xFFZ");  // raw bytes: 가, then 0xFF that starts no character
  size_t n = Cp949ToCodepoints(bad.data(), bad.size(), cps, 8);
  ASSERT_EQ(n, 3u);
  EXPECT_EQ(cps[0], 0xAC00u);
  EXPECT_EQ(cps[1], 0xFFFDu);
  EXPECT_EQ(cps[2], uint32_t{'Z'});
  // Towards code page 949 an unmappable character becomes '?'.
  EXPECT_EQ(Cp949("a☃z"), "a?z");  // a snowman
}

TEST(CodePage949, NeverCutsADoubleByteCharacter) {
  std::string name = Cp949("가나다");  // 6 bytes
  EXPECT_EQ(Cp949FitLength(name.data(), name.size(), 5), 4u);
  EXPECT_EQ(Cp949FitLength(name.data(), name.size(), 6), 6u);
  std::string mixed = Cp949("ab가");
  EXPECT_EQ(Cp949FitLength(mixed.data(), mixed.size(), 3), 2u);
  // A conversion into a small buffer stops before a character that does not fit whole.
  char out[4];
  size_t n = Utf8ToCp949("가나", std::strlen("가나"), out, sizeof out);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(std::string(out), Cp949("가"));
  char utf[6];
  n = Cp949ToUtf8(name.data(), name.size(), utf, sizeof utf);
  EXPECT_EQ(std::string(utf, n), "가");
}

}  // namespace
