#pragma once
// A virtual game controller for tests: SDL's own virtual joystick, seen by the game as any
// plugged-in pad. Its changes arrive with the next look at the queue.
#include <cstdint>

namespace platform {

enum class PadButton { South, Back, Start, Up, Down, Left, Right };

// Plugs in a pad (unplugging the one before); false when SDL cannot make one.
bool PlugInVirtualPad();
void UnplugVirtualPad();
void PressPadButton(PadButton button, bool down);
// The left stick, each axis from -32768 to 32767 (negative: left, up).
void MovePadStick(int x, int y);

}  // namespace platform
