#pragma once
// The built-in sprite colours shared by every sprite file.
#include <cstdint>

// 256 entries of red, green, blue, each 0..63.
extern const uint8_t SpriteColourTable[256][3];
