#pragma once
// Background pictures (640x480 PCX), their palettes, the scrolled copy and the fade steps.
#include <cstdint>
#include <cstdio>

#include "gfx/frame.h"
#include "gfx/pcx_format.h"

inline constexpr int kPictureBytes = kFramePixels;                            // one palette index a pixel
inline constexpr int kColourTableBytes = static_cast<int>(kPcxPaletteBytes);  // a file's palette as it is

extern uint8_t BackgroundPicture[kPictureBytes];
extern uint8_t PictureColourTable[kColourTableBytes];
extern uint16_t ScreenPalette[256];
extern uint8_t FadedColourTable[kColourTableBytes];

// Decodes the picture file into BackgroundPicture and its colour table into PictureColourTable
// and the ScreenPalette. False when the file cannot be opened: everything then stays as it was,
// and the game goes on showing the previous picture.
bool LoadPicture(const char* fileName);
// The same decoding from an open stream (the stream stays open). Damaged or short data
// decodes by the same rules (bytes past the end read as 255), so it cannot fail.
void LoadPictureFromStream(std::FILE* file);
void ShowPicture();
void ShowPictureScrolled(int32_t offset);
void ScaleColourTable(int32_t percent, const uint8_t* source);
void RebuildScreenPalette();
