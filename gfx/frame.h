#pragma once
// The frame buffer, its copies to the off-screen surface and the window, and outlined text.
#include <cstdint>

#include "platform/display.h"

// The frame is the window's picture, 640x480: everything above the platform that means the
// picture's width or height (the frame, the background pictures, the scrolled field, the data
// generator's pictures) says kFrameWidth and kFrameHeight.
inline constexpr int kFrameWidth = platform::kScreenWidth;
inline constexpr int kFrameHeight = platform::kScreenHeight;
inline constexpr int kFramePixels = kFrameWidth * kFrameHeight;

// 640x480 pixels, row-major, top row first; bit 15 is 0, then 5 bits each of red, green, blue.
extern uint16_t FrameBuffer[kFramePixels];
void CopyFrameToOffscreen();
void PresentOffscreen();
void PresentFrameDirect();
// Draws code page 949 text at (x, y) on the off-screen surface: a lavender outline
// one pixel to the left, right, top and bottom, then the blue body.
void DrawOutlinedText(int32_t x, int32_t y, const char* text);

// The text font's cell height.
inline constexpr int kTextFontHeight = 24;
