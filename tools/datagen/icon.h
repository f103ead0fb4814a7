#pragma once
// The program's icon for the desktop: the hen's head on a sunny tile, drawn afresh at
// each size so that small icons stay sharp.
#include <string>

#include "tools/datagen/canvas.h"
#include "tools/datagen/formats.h"

namespace datagen {

inline constexpr int kIconSizes[] = {48, 64, 128, 256};

// A size x size canvas; outside the tile's rounded corners it is transparent.
Canvas DrawIcon(int size);

// The canvas as an 8-bit RGBA PNG file (straight alpha); empty on failure.
Bytes EncodePng(const Canvas& canvas);

// Writes <folder>/hicolor/<N>x<N>/apps/brakkel.png for every size; false when a file
// cannot be made.
bool WriteIcons(const std::string& folder);

}  // namespace datagen
