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

void LoadPicture(const char* fileName);
// The same decoding from an open stream (the stream stays open).
void LoadPictureFromStream(std::FILE* file);
void ShowPicture();
void ShowPictureScrolled(int32_t offset);
void ScaleColourTable(int32_t percent, const uint8_t* source);
void RebuildScreenPalette();
