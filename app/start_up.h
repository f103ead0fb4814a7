#pragma once
// What every program that draws the game does first, once the window is open.

// The sprite files "chicken.ani", "foot.ani"
// and "mop.ani" in banks 0, 1 and 2 (a missing or damaged file is reported and leaves its
// bank empty).
void PrepareScreenAndSprites();
