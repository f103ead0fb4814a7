#pragma once
// The whole run: start-up, the title logo once, game after game, shutdown.
#include <cstdint>

#include "app/played_game.h"

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
