#pragma once
// The whole run: start-up, the title logo once, game after game, shutdown.
#include <cstdint>

#include "game/stage.h"
#include "game/world.h"

// The player's games: one world, kept from game to game while the program runs (a game takes
// over the chicken, the mobs still walking and the lives from the one before), and what the
// window shows of it.
struct PlayedGame {
  World world;
  FieldView view;
};
// The program's one PlayedGame; the game flow plays in it and the ranking steps read it.
PlayedGame& CurrentGame();

// Loads the sprites, starts the music, shows the logo, then plays games (menu, stages,
// the edition's ranking step) until the window is closed; frees the sprites and stops
// the music. Needs the game window.
void GameMain();
// One game: menu, stage series, ranking step. Does nothing more once the window is
// closed during the menu.
void PlayOneGame();
// The program: opens the window and its font, runs GameMain, releases everything.
// Returns 0, or 1 when no window could be opened (said on standard error).
int RunProgram();
