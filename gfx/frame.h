#pragma once
// The frame buffer, its copies to the off-screen surface and the window, and outlined text.
#include <cstdint>

inline constexpr int kFrameWidth = 640;
inline constexpr int kFrameHeight = 480;
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
