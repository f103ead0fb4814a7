#pragma once
// The game's counters: score, kills, lives and the other values the rules keep for a game.
#include <cstdint>

// The three difficulties, numbered as files, the protocol and the menu number them.
enum class GameMode : int32_t { Easy = 0, Normal = 1, Hardcore = 2 };
// The mode of a number from outside (the menu, a replay file): an unknown one plays as easy.
inline GameMode GameModeOf(int32_t mode) {
  return mode >= 0 && mode < 3 ? static_cast<GameMode>(mode) : GameMode::Easy;
}
inline int32_t ModeNumber(GameMode mode) { return static_cast<int32_t>(mode); }

struct GameCounters {
  int32_t score = 0;        // + 0..199 per kill; wraps (never undefined) in an endless game
  int32_t stageKills = 0;   // kills in the current stage
  int32_t escapedMobs = 0;  // mobs that got past the left edge in this game
  int32_t combo = 0;        // attacks in a row that hit
  int32_t bestCombo = 0;
  int32_t lives = 0;     // normal and hardcore only
  int32_t gameOver = 0;  // 1 once the lives ran out
  GameMode gameMode = GameMode::Easy;
  int32_t stageNumber = 1;
  uint32_t playSeconds = 0;  // the play time the ranking step used, whole seconds
};

// a + b on 32-bit counters and coordinates, wrapping instead of overflowing.
inline int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// The mode names shown in the HUD, code page 949: "쉬운게임", "보통게임", "하드코어게임".
extern const char* const GameModeNames[3];
// The name of a mode; a value outside the three reads as easy.
const char* GameModeName(GameMode mode);
