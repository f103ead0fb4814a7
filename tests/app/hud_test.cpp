// The HUD's four lines as bytes, made from a world's counters and a stage as its frame left it.
#include <gtest/gtest.h>

#include <string>

#include "app/stage_screen.h"
#include "support/cp949_text.h"

namespace {

StageRun Stage(int32_t stage, int32_t count, int32_t remaining, int32_t target, uint32_t clock) {
  return StageRun{.stage = stage, .mobs = count, .target = target, .remaining = remaining, .clock = clock};
}

TEST(HudTest, FourLinesInTheirExactFormats) {
  GameCounters counters;
  counters.gameMode = GameMode::Normal;
  counters.score = 1234;
  counters.stageKills = 29;
  counters.escapedMobs = 1;
  counters.combo = 2;
  counters.bestCombo = 5;
  HudLines hud;
  FormatHudLines(hud, counters, Stage(1, 100, 70, 30, 1000 + 65400), 1000);
  EXPECT_EQ(std::string(hud.line[0]), Cp949("보통게임 1234점 게임 시간 :  65초"));
  EXPECT_EQ(std::string(hud.line[1]), Cp949("29/100마리 살해 남은몹 70마리 놓힌몹 1마리"));
  EXPECT_EQ(std::string(hud.line[2]), Cp949("스테이지1 목표 29%/ 30%"));
  EXPECT_EQ(std::string(hud.line[3]), Cp949("어텍콤보 2 최고 5"));
  EXPECT_NE(std::string(hud.line[2]).find(" 29%/ 30%"), std::string::npos);

  counters.gameMode = GameMode::Hardcore;
  counters.stageKills = 69;
  // The clock wrapped since the game started.
  FormatHudLines(hud, counters, Stage(2, 200, 0, 35, 0x00000100u + 1000), 0xFFFFFF00u);
  EXPECT_EQ(std::string(hud.line[0]), Cp949("하드코어게임 1234점 게임 시간 :   1초"));
  EXPECT_EQ(std::string(hud.line[2]), Cp949("스테이지2 목표 34%/ 35%"));
  counters.gameMode = GameMode::Easy;
  FormatHudLines(hud, counters, Stage(2, 200, 0, 100, 0), 0);
  EXPECT_EQ(std::string(hud.line[0]).substr(0, 8), Cp949("쉬운게임"));
  EXPECT_EQ(std::string(hud.line[2]), Cp949("스테이지2 목표 34%/100%"));
  counters.gameMode = static_cast<GameMode>(7);  // no such mode: read as easy
  FormatHudLines(hud, counters, Stage(2, 200, 0, 100, 0), 0);
  EXPECT_EQ(std::string(hud.line[0]).substr(0, 8), Cp949("쉬운게임"));
}

}  // namespace
