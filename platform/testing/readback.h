#pragma once
// What the game window shows, read back for tests.
#include <cstdint>
#include <vector>

#include "platform/picture_fit.h"

namespace platform {

// The last picture shown in the window, 640x480 XRGB8888 (what the player sees).
const uint32_t* ShownPixels();
// The window's surface: its size in pixels (0 x 0 without a window), one of its pixels as
// XRGB8888, and where the latest presentation put the picture in it.
void WindowPixelSize(int& width, int& height);
uint32_t WindowPixel(int x, int y);
PictureRect PictureInWindow();
// How many pictures have been shown in the window so far.
uint32_t PresentedPictures();
// True while typing goes through the input method (an edit of a dialog has the focus).
bool TextInputOn();
// The pixels of a picture file (PNG) as XRGB8888, top row first, with its size; false when
// it cannot be read.
bool LoadPictureFile(const char* path, std::vector<uint32_t>& pixels, int& width, int& height);

}  // namespace platform
