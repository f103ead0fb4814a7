#pragma once
// What one stage frame reads of the player: the keys as they stood after the frame's pump.
// The rules take it as a value, so a stage plays the same from a window, a test or a record.

struct StageInput {
  bool up = false;  // the arrows, held
  bool down = false;
  bool left = false;
  bool right = false;
  bool attack = false;  // space, held
  bool leave = false;   // Escape was pressed: the stage ends with this frame
  bool quit = false;    // the window was closed: likewise
};
