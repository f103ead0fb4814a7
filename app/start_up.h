#pragma once
// How a game program opens and closes its window, and what every program that draws the game
// does first once the window is open: its sprites.
#include <cstdint>

#include "gfx/sprite_file.h"

// Loads a sprite file into its bank, and tells the player in the game's message box when it did
// not load: "개쇅" / "파일업어" for a missing file, "멀봐?" / "파일형식 달라" for one that is not
// a sprite file (none for a bank number out of range, the caller's mistake). True when it loaded.
bool LoadSpriteFileOrTell(int32_t bank, const char* fileName);
// The sprite files "chicken.ani", "foot.ani" and "mop.ani" of the working directory in banks
// 0, 1 and 2. A missing or damaged file is told and leaves its bank empty; the game plays on.
void LoadGameSprites();

// Opens the game window and its Korean font. When either cannot be had, says so in one line
// on standard error, "<program>: no game window could be opened (is there a display?) or no
// Korean font<fontNote>", closes what was opened (CloseGameWindow) and returns false.
bool OpenGameWindowOrSay(const char* fontNote);

// Closes the music, the font and the window: the last step of a program that opened them.
void CloseGameWindow();
