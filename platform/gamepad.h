#pragma once
// Game controllers, plugged in before or during the game, play through the keyboard's and the
// mouse's messages, so the game sees nothing new: the d-pad and the left stick are the arrow
// keys, the south button (A) is the space bar (Return while a dialog shows), Start and Back
// are Escape.
namespace platform {

struct PadPoint {
  int x = 0;
  int y = 0;
};

// While points are given (top to bottom, at most kPadPointCap), up and down on a pad move the
// pointer to the next point above or below it, and the south button presses the left mouse
// button where the pointer is. No points (the default): up and down are the arrow keys.
inline constexpr int kPadPointCap = 8;
void SetPadPointerPoints(const PadPoint* points, int count);

}  // namespace platform
