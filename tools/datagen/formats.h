#pragma once
// The byte layouts of the game's data files: 256-colour PCX pictures and ".ani" sprite files.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/datagen/quantize.h"

namespace datagen {

using Bytes = std::vector<uint8_t>;

// A version 5 PCX file (gfx/pcx_format.h): header, run-length coded rows, marker, palette.
Bytes EncodePcx(const IndexedPicture& picture);

// An ".ani" file (gfx/ani_format.h): magic, frame count, then each frame's width, height, pixels.
Bytes EncodeAni(const std::vector<SpriteImage>& frames);

// A PNG file of pixels of three bytes (RGB) or four (RGBA, `alpha`), rows from the top, no
// padding; empty when libpng fails.
Bytes EncodePngPixels(const Bytes& pixels, int width, int height, bool alpha);

// Writes the bytes to a file; false when the file cannot be written whole.
bool WriteFile(const std::string& path, const Bytes& bytes);

}  // namespace datagen
