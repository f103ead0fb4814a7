#pragma once
// What every program that draws the game does first, once the window is open, and how a
// game program opens and closes its window.

// Opens the game window and its Korean font. When either cannot be had, says so in one line
// on standard error, "<who>: no game window could be opened (is there a display?) or no
// Korean font<fontNote>", closes what was opened (CloseGameWindow) and returns false.
bool OpenGameWindowOrSay(const char* who, const char* fontNote);

// Closes the music, the font and the window: the last step of a program that opened them.
void CloseGameWindow();

// The off-screen surface, the row table, and the sprite files "chicken.ani", "foot.ani"
// and "mop.ani" in banks 0, 1 and 2 (a missing or damaged file is reported and leaves its
// bank empty).
void PrepareScreenAndSprites();
