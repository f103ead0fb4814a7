#pragma once
// What the game window shows, read back for tests.
#include <cstdint>

namespace platform {

// The last picture shown in the window, 640x480 XRGB8888 (what the player sees).
const uint32_t* ShownPixels();
// How many pictures have been shown in the window so far.
uint32_t PresentedPictures();
// True while typing goes through the input method (an edit of a dialog has the focus).
bool TextInputOn();

}  // namespace platform
