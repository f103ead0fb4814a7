#pragma once
// A game's world: everything the rules read and change. The player's games share one, kept
// from game to game as the program runs; a test, a benchmark or a checking thread makes its
// own. Two worlds never touch, so games are checked side by side on as many threads.
#include "game/counters.h"
#include "game/mob.h"
#include "game/player.h"
#include "game/random.h"
#include "game/rule_book.h"

struct World {
  RuleBook rules;
  GameCounters counters;
  PlayerRecord chicken;
  MobPool mobs;
  GameRandom random;
};
