#include "game/counters.h"

GameCounters Counters;

const char* const GameModeNames[3] = {
    "\xbd\xac\xbf\xee\xb0\xd4\xc0\xd3",                  // 쉬운게임
    "\xba\xb8\xc5\xeb\xb0\xd4\xc0\xd3",                  // 보통게임
    "\xc7\xcf\xb5\xe5\xc4\xda\xbe\xee\xb0\xd4\xc0\xd3",  // 하드코어게임
};

const char* GameModeName(int32_t mode) {
  return (mode >= 0 && mode < 3) ? GameModeNames[mode] : GameModeNames[0];
}
