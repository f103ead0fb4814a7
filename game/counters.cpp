#include "game/counters.h"

#include "text/texts.h"

const char* const GameModeNames[3] = {kEasyModeName, kNormalModeName, kHardcoreModeName};

const char* GameModeName(int32_t mode) { return (mode >= 0 && mode < 3) ? GameModeNames[mode] : GameModeNames[0]; }
