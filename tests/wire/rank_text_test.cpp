// The ranking rows, their file bytes, the listing's lines, and the messages to the server.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "support/cp949_text.h"
#include "text/cp949.h"
#include "wire/protocol.h"
#include "wire/rank_text.h"

namespace {

TEST(RankText, EmptyRowAndHeadersAreExact) {
  char line[kRankLineCap];
  const size_t n = FormatRankLine(ScoreEntry{}, 1, line);
  EXPECT_EQ(std::string(line, n), Cp949("     1등                   0점   0판   0콤보          0초"));
  EXPECT_EQ(n, 57u);
  EXPECT_EQ(std::string(kRankTextHeaderLine), Cp949("게임순위      이름        점수 STAGE    콤보     게임시간"));
  EXPECT_EQ(std::strlen(kRankTextHeaderLine), 57u);
  EXPECT_EQ(std::strlen(kRankTextRule), 57u);
  EXPECT_EQ(std::string(kScoreFileHeaders[0]), Cp949("쪽팔리지 않게 조금만 수정 바랍니다 ^^  "));
  EXPECT_EQ(std::string(kScoreFileHeaders[8]), Cp949("에디트 없는 나라 좋은 나라~~           "));
  for (const char* header : kScoreFileHeaders) {
    EXPECT_EQ(std::strlen(header), kScoreHeaderBytes);
    EXPECT_TRUE(Cp949Valid(header, kScoreHeaderBytes));
  }
}

TEST(RankText, ListingHas22CrLfLinesOf57Bytes) {
  ScoreTable table;
  std::strcpy(table.row[0].name, "PlommXPlomm");  // 11 bytes: one more than the column
  table.row[0].score = 12345;
  table.row[0].stage = 4;
  table.row[0].bestCombo = 7;
  table.row[0].playSeconds = 321;
  std::strcpy(table.row[1].name, Cp949("닭다리").c_str());
  table.row[1].score = 99;
  char text[kRankTextCap];
  const size_t n = FormatRankText(table, text);
  EXPECT_EQ(n, std::strlen(text));
  std::string s(text, n);
  int lines = 0;
  size_t start = 0;
  for (size_t at; (at = s.find("\r\n", start)) != std::string::npos; start = at + 2) {
    const size_t width = at - start;
    EXPECT_EQ(width, lines == 2 ? 58u : 57u) << "line " << lines;
    ++lines;
  }
  EXPECT_EQ(lines, 22);
  EXPECT_EQ(start, n);  // nothing after the last CR LF
  EXPECT_NE(s.find(Cp949("     1등PlommXPlomm     12345점   4판   7콤보        321초")), std::string::npos);
  EXPECT_NE(s.find(Cp949("     2등    닭다리        99점")), std::string::npos);
}

TEST(RankText, HandEditedNamesAreCutToFit) {
  ScoreEntry row;
  std::memset(row.name, 'N', sizeof row.name);  // no terminator in the field at all
  row.score = 0x80000000u;                      // prints negative, as %d does
  row.stage = -2147483647 - 1;
  row.bestCombo = -2147483647 - 1;
  row.playSeconds = 0xFFFFFFFFu;
  char line[kRankLineCap];
  size_t n = FormatRankLine(row, 20, line);
  EXPECT_EQ(n, 99u);
  EXPECT_EQ(std::strlen(line), n);
  EXPECT_NE(std::string(line).find("-2147483648"), std::string::npos);

  // A cut never splits a Hangul syllable: 49 syllables do not fit, the cut is even.
  std::string hangul;
  for (int i = 0; i < 49; ++i) hangul += Cp949("닭");
  std::memcpy(row.name, hangul.data(), hangul.size());
  row.name[98] = 0;
  n = FormatRankLine(row, 20, line);
  EXPECT_LE(n, 99u);
  EXPECT_TRUE(Cp949Valid(line, n));

  // A line break inside a name would split the listing's lines.
  ScoreEntry broken;
  std::strcpy(broken.name, "ab\r\ncd");
  n = FormatRankLine(broken, 3, line);
  EXPECT_EQ(std::string(line, n).find('\n'), std::string::npos);
  EXPECT_NE(std::string(line, n).find("ab??cd"), std::string::npos);
}

TEST(RankTable, PlacesAndInsertion) {
  ScoreTable table;
  EXPECT_EQ(FindRankSlot(table, 0), 20);  // 0 never enters, even an empty table
  EXPECT_EQ(FindRankSlot(table, 1), 0);
  for (int i = 0; i < kScoreRows; ++i) table.row[i].score = 1000u - 10u * static_cast<uint32_t>(i);
  EXPECT_EQ(FindRankSlot(table, 810), 20);  // equal to the 20th: no place
  EXPECT_EQ(FindRankSlot(table, 811), 19);
  EXPECT_EQ(FindRankSlot(table, 990), 2);          // equal scores stay above
  EXPECT_EQ(FindRankSlot(table, 0x90000000u), 0);  // compared unsigned

  std::strcpy(table.row[5].name, "LongOldName");
  InsertScoreRow(table, 5, "Abc", 3, 955, 4, 60);
  EXPECT_STREQ(table.row[5].name, "Abc");
  EXPECT_EQ(table.row[5].name[4], 'O');  // the old name's bytes after the terminator stay
  EXPECT_EQ(table.row[6].score, 950u);
  EXPECT_EQ(table.row[19].score, 820u);  // old row 19 (810) is gone
  InsertScoreRow(table, 19, "Last", 1, 815, 0, 1);
  EXPECT_EQ(table.row[18].score, 830u);
  EXPECT_EQ(table.row[19].score, 815u);
}

TEST(RankTable, FileBytesAreLittleEndian) {
  ScoreTable table;
  std::strcpy(table.row[1].name, "Kim");
  table.row[1].stage = 0x01020304;
  table.row[1].score = 0xA0B0C0D0u;
  table.row[1].bestCombo = -2;
  table.row[1].playSeconds = 77;
  uint8_t bytes[kScoreTableBytes];
  ScoreTableToBytes(table, bytes);
  const uint8_t* row = bytes + kScoreEntryBytes;
  EXPECT_EQ(std::memcmp(row, "Kim", 4), 0);
  EXPECT_EQ(row[100], 0x04);
  EXPECT_EQ(row[103], 0x01);
  EXPECT_EQ(row[104], 0xD0);
  EXPECT_EQ(row[108], 0xFE);
  EXPECT_EQ(row[111], 0xFF);
  EXPECT_EQ(row[112], 77);
  ScoreTable back;
  ScoreTableFromBytes(bytes, back);
  EXPECT_EQ(std::memcmp(&back, &table, sizeof table), 0);
}

// The check code worked out independently, in 64 bits, then reduced modulo 2^32.
int32_t ReferenceCheckCode(uint32_t score, int32_t stage, int32_t combo, uint32_t seconds) {
  const int64_t part1 = static_cast<int64_t>(score % 10) * stage * 24151;
  const int64_t combo100 = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(combo) * 100));
  const int64_t sum = part1 + combo100 / 9 - static_cast<int64_t>(seconds) + 350927;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(sum)));
}

TEST(RankMessages, LayoutsAndCheckCode) {
  EXPECT_EQ(CheckCode(1, 1, 0, 0), 24151 + 350927);
  EXPECT_EQ(CheckCode(1234, 4, 7, 95), 4 * 4 * 24151 + 700 / 9 - 95 + 350927);
  EXPECT_EQ(CheckCode(15, 2, -5, 10), 5 * 2 * 24151 + (-500 / 9) - 10 + 350927);  // -55
  const struct {
    uint32_t score;
    int32_t stage, combo;
    uint32_t seconds;
  } cases[] = {{0x80000009u, 60, 3, 1000},
               {0xFFFFFFFFu, 2147483647, -2147483647 - 1, 0xFFFFFFFFu},
               {7, -3, 21474836, 5},
               {123456789u, 99999, 100000, 4000000000u}};
  for (const auto& c : cases) {
    EXPECT_EQ(CheckCode(c.score, c.stage, c.combo, c.seconds),
              ReferenceCheckCode(c.score, c.stage, c.combo, c.seconds));
  }

  uint8_t request[kRankRequestBytes];
  EncodeRankRequest(RankRequest{2}, request);
  EXPECT_EQ(request[0], 0);
  EXPECT_EQ(request[1], 2);
  RankRequest decoded;
  EXPECT_TRUE(DecodeRankRequest(request, decoded));
  EXPECT_EQ(decoded.mode, 2);
  request[0] = 1;
  EXPECT_FALSE(DecodeRankRequest(request, decoded));

  uint8_t reply[kThresholdReplyBytes];
  EncodeThresholdReply(0x11223344u, reply);
  EXPECT_EQ(reply[51], 0);
  EXPECT_EQ(reply[52], 0x44);
  EXPECT_EQ(DecodeThresholdReply(reply), 0x11223344u);

  ScoreSubmission s;
  std::strcpy(s.name, "PlommXPlo");
  s.stage = 4;
  s.score = 0x01000002u;
  s.bestCombo = -1;
  s.playSeconds = 9;
  s.checkCode = CheckCode(s.score, s.stage, s.bestCombo, s.playSeconds);
  uint8_t bytes[kScoreSubmissionBytes];
  EncodeScoreSubmission(s, bytes);
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(std::memcmp(bytes + 1, "PlommXPlo", 10), 0);
  EXPECT_EQ(bytes[104], 4);
  EXPECT_EQ(bytes[111], 0x01);
  EXPECT_EQ(bytes[112], 0xFF);
  EXPECT_EQ(GetLe32(bytes + 120), static_cast<uint32_t>(s.checkCode));
  ScoreSubmission back;
  EXPECT_TRUE(DecodeScoreSubmission(bytes, back));
  EXPECT_EQ(std::memcmp(&back, &s, sizeof s), 0);

  uint8_t decline[kRankDeclineBytes];
  EncodeRankDecline(decline);
  EXPECT_EQ(decline[0], 1);
  EXPECT_EQ(decline[1], 0);
  EXPECT_TRUE(IsRankDecline(decline));
  decline[1] = 1;
  EXPECT_FALSE(IsRankDecline(decline));
  uint8_t header[kRankTextHeaderBytes];
  EncodeRankTextHeader(0xFFFFFFFFu, header);
  EXPECT_EQ(header[3], 0);
  EXPECT_EQ(DecodeRankTextHeader(header), 0xFFFFFFFFu);

  uint8_t fetch[kReplayFetchBytes];
  EncodeReplayFetch(ReplayFetch{2, 20}, fetch);
  EXPECT_EQ(fetch[0], 4);
  ReplayFetch asked;
  EXPECT_TRUE(DecodeReplayFetch(fetch, asked));
  EXPECT_EQ(asked.mode, 2);
  EXPECT_EQ(asked.place, 20);
  // A fetch the server cannot answer from its listing is refused as a whole.
  for (const auto& bad : {std::array<uint8_t, 3>{4, 3, 1}, std::array<uint8_t, 3>{4, 0, 0},
                          std::array<uint8_t, 3>{4, 0, 21}, std::array<uint8_t, 3>{3, 0, 1}}) {
    EXPECT_FALSE(DecodeReplayFetch(bad.data(), asked)) << int(bad[0]) << ' ' << int(bad[1]) << ' ' << int(bad[2]);
  }
}

TEST(CodePage949, ValidityOfStoredBytes) {
  EXPECT_TRUE(Cp949Valid("", 0));
  EXPECT_TRUE(Cp949Valid(Cp949("닭Ab").c_str(), 4));
  EXPECT_FALSE(Cp949Valid("\xB0", 1));  // a lead byte alone
  EXPECT_FALSE(
      Cp949Valid("a\xFF"
                 "b",
                 3));  // not a character
}

}  // namespace
