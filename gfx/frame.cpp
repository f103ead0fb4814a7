// The frame buffer and its way to the window: frame -> off-screen surface (+ text) -> window.
#include "gfx/frame.h"

#include "platform/display.h"
#include "platform/text.h"

uint16_t FrameBuffer[kFramePixels];

void CopyFrameToOffscreen() { platform::CopyToOffscreen(FrameBuffer); }

void PresentOffscreen() { platform::PresentOffscreen(); }

void PresentFrameDirect() { platform::PresentFrame(FrameBuffer); }

void DrawOutlinedText(int32_t x, int32_t y, const char* text) {
  // Outline (200, 200, 255) left, right, above and below, then the body (0, 0, 255).
  static const platform::TextPass passes[] = {
      {-1, 0, 200, 200, 255}, {1, 0, 200, 200, 255}, {0, -1, 200, 200, 255}, {0, 1, 200, 200, 255}, {0, 0, 0, 0, 255},
  };
  platform::DrawText(kTextFontHeight, x, y, text, passes, 5);
}
