#pragma once
// The course of a game from its start to its end, the one rule book that the game flow of the
// window, the re-player of a recording and the check of a replay all follow: the lives each
// mode starts with, what a game's start resets, the step to the next stage, when the game
// ends, and the seconds that are ranked.
#include <cstdint>

#include "game/counters.h"
#include "game/rule_book.h"
#include "game/stage.h"

struct World;

// Lives at the start of a normal and of a hardcore game; easy keeps those it finds.
inline constexpr int32_t kNormalLives = 10;
inline constexpr int32_t kHardcoreLives = 1;

// Starts a game of `mode` in `world` under `rules`: the
// generator seeded, the counters of a fresh game at stage 1, the mode's lives. The chicken and
// the mobs still walking stay as the games before left them, unless the rules say otherwise.
void BeginGame(World& world, const RuleBook& rules, GameMode mode, uint32_t seed);
// Starts the stage the counters stand at: its mobs and its target.
void StartStage(World& world, StageRun& run);
// After a stage is over: true, with the counters at the next stage, when it was cleared; false
// when the game ended with it, whose number is then the stage that is ranked.
bool NextStage(World& world, const StageRun& run);
// The whole seconds of play from `startClock` to `now`, across the clock's wrap: the seconds a
// ranking counts.
uint32_t PlaySeconds(uint32_t startClock, uint32_t now);
