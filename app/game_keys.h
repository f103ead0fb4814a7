#pragma once
// Every key the game reacts to beyond a stage's own (the arrows, Space and Escape, which the
// stage loop reads from the input state, app/stage_screen.cpp; Escape also leaves a replay
// shown) and a dialog's (Return, Escape, Tab, Space and the edit keys, platform/dialog/):
// one table, in game_keys.cpp.

// Makes the platform ask the table at every key that goes down, before the key becomes the
// game's messages (which it still becomes). The game window's opening does it.
void UseGameKeys();
