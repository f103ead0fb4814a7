#include "app/played_game.h"

PlayedGame& CurrentGame() {
  static PlayedGame game;
  return game;
}
