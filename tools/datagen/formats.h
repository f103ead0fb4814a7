#pragma once
// The byte layouts of the game's data files: 256-colour PCX pictures and ".ani" sprite files.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/datagen/quantize.h"

namespace datagen {

using Bytes = std::vector<uint8_t>;

// A version 5 PCX file: 128-byte header, run-length coded rows, 0x0C and the palette.
Bytes EncodePcx(const IndexedPicture& picture);

// The 28-byte magic of ".ani" files: the text and its terminating zero.
inline constexpr char kAniMagic[] = "Quorbelith ANI FILE VER 2.0";

// An ".ani" file: magic, frame count, then width, height and pixels of each frame.
Bytes EncodeAni(const std::vector<SpriteImage>& frames);

// Writes the bytes to a file; false when the file cannot be written whole.
bool WriteFile(const std::string& path, const Bytes& bytes);

}  // namespace datagen
