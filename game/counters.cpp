#include "game/counters.h"

#include "text/texts.h"

const char* const GameModeNames[3] = {kEasyModeName, kNormalModeName, kHardcoreModeName};

const char* GameModeName(GameMode mode) {
  const int32_t number = ModeNumber(mode);
  return (number >= 0 && number < 3) ? GameModeNames[number] : GameModeNames[0];
}
