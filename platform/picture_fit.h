#pragma once
// Where the 640x480 picture goes in a window of any size, and where a position in that
// window lands in the picture. Plain arithmetic, no window needed.
#include "platform/display.h"

namespace platform {

// The picture's place in a window, in the window's pixels: a whole multiple of 640x480
// centred with black bars around it, or, where not even 640x480 fits, the largest 4:3 area.
struct PictureRect {
  int x = 0, y = 0;
  int width = kScreenWidth, height = kScreenHeight;
  // The whole multiple, or 0 when the picture is shrunk below 640x480.
  int scale() const { return width % kScreenWidth == 0 && height == width / 4 * 3 ? width / kScreenWidth : 0; }
};

// Room a window manager's frame (borders and title bar) takes around a window.
inline constexpr int kFrameAllowanceWidth = 16;
inline constexpr int kFrameAllowanceHeight = 64;
// The largest multiple a window is ever opened at.
inline constexpr int kMaxScale = 16;

// The multiple a window opens at on a desktop whose usable area is width x height: the
// largest that fits with the frame around it, at least 1.
int OpeningScale(int usableWidth, int usableHeight);
// The picture's place in a window of width x height pixels (a window of no size gets none).
PictureRect PlacePicture(int width, int height);
// The picture's pixel under window pixel (x, y), into (clientX, clientY); false when the
// position is on a bar or beyond the window (the result then lies outside 0..639 x 0..479).
bool WindowToClient(const PictureRect& picture, int x, int y, int& clientX, int& clientY);

}  // namespace platform
