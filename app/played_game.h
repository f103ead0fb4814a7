#pragma once
// The player's games: one world, kept from game to game while the program runs (a game takes
// over the chicken, the mobs still walking and the lives from the one before), and what the
// window shows of it. Apart from the game flow, so that what only reads or draws from it (the
// ranking steps, their tools and fuzzers) links without the flow.
#include "game/stage.h"
#include "game/world.h"

struct PlayedGame {
  World world;
  FieldView view;
};
// The program's one PlayedGame; the game flow plays in it and the ranking steps read it.
PlayedGame& CurrentGame();
