// The picture's size and place in the window, and positions mapped back to the picture.
#include "platform/picture_fit.h"

#include <algorithm>

namespace platform {
namespace {

// The largest whole multiple of 640x480 within width x height (0: not even one).
int WholeMultiple(int width, int height) {
  return std::clamp(std::min(width / kScreenWidth, height / kScreenHeight), 0, kMaxScale);
}

// Division rounding down, also for positions left of or above the picture.
int FloorDiv(long long a, long long b) { return static_cast<int>(a >= 0 ? a / b : -((-a + b - 1) / b)); }

}  // namespace

int OpeningScale(int usableWidth, int usableHeight) {
  return std::max(1, WholeMultiple(usableWidth - kFrameAllowanceWidth, usableHeight - kFrameAllowanceHeight));
}

PictureRect PlacePicture(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  PictureRect r;
  const int scale = WholeMultiple(width, height);
  if (scale > 0) {
    r.width = kScreenWidth * scale;
    r.height = kScreenHeight * scale;
  } else if (width * 3 <= height * 4) {
    // Too small for 640x480: the width sets the size, bars above and below.
    r.width = width;
    r.height = width * 3 / 4;
  } else {
    r.height = height;
    r.width = height * 4 / 3;
  }
  r.x = (width - r.width) / 2;
  r.y = (height - r.height) / 2;
  return r;
}

bool WindowToClient(const PictureRect& picture, int x, int y, int& clientX, int& clientY) {
  if (picture.width <= 0 || picture.height <= 0) {
    clientX = clientY = -1;
    return false;
  }
  // The same rule presentation samples by: window column x shows picture column
  // (x - left) * 640 / width, rounded down.
  clientX = FloorDiv(static_cast<long long>(x - picture.x) * kScreenWidth, picture.width);
  clientY = FloorDiv(static_cast<long long>(y - picture.y) * kScreenHeight, picture.height);
  return clientX >= 0 && clientX < kScreenWidth && clientY >= 0 && clientY < kScreenHeight;
}

}  // namespace platform
