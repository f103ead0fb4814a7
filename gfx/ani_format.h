#pragma once
// The ".ani" sprite file, as the game reads it and the data generator writes it: the magic,
// the frame count, then each frame's width, height and width * height palette indices row
// by row. Numbers are 32-bit little-endian.
#include <cstddef>

// The magic: these 27 characters and the zero byte after them, 28 bytes in the file.
inline constexpr char kAniMagic[] = "Quorbelith ANI FILE VER 2.0";
// The magic's length in the file, its zero byte included.
inline constexpr size_t kAniMagicBytes = sizeof kAniMagic;
// Where the frame count is: right after the magic.
inline constexpr size_t kAniCountAt = kAniMagicBytes;
// The bytes before the first frame: the magic and the frame count.
inline constexpr size_t kAniHeaderBytes = kAniMagicBytes + 4;
// The bytes before each frame's pixels: its width and height.
inline constexpr size_t kAniFrameHeaderBytes = 8;

static_assert(kAniMagicBytes == 28);
