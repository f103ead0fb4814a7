#pragma once
// The 256-colour PCX picture, as the game reads it and the data generator writes it: a
// header, the rows run-length coded one by one, the palette marker and the palette.
#include <cstddef>
#include <cstdint>

// The header's length: the pixel data begins right after it.
inline constexpr size_t kPcxHeaderBytes = 128;
// The header's first four bytes: ZSoft's mark, version 5 (the one with a 256-colour
// palette), run-length coding, and 8 bits per pixel.
inline constexpr uint8_t kPcxManufacturer = 10;
inline constexpr uint8_t kPcxVersion = 5;
inline constexpr uint8_t kPcxRunLengthCoding = 1;
inline constexpr uint8_t kPcxBitsPerPixel = 8;
// A byte with both top bits set starts a run: its low six bits count the run and the next
// byte is the value repeated.
inline constexpr uint8_t kPcxRunFlag = 0xC0;
// The run count's bits in a run byte, and so the longest run (63).
inline constexpr uint8_t kPcxRunCountMask = 0x3F;
// The byte between the pixel data and the palette.
inline constexpr uint8_t kPcxPaletteMarker = 0x0C;
// The palette: 256 colours of red, green and blue bytes, the file's last bytes.
inline constexpr size_t kPcxPaletteBytes = 768;
