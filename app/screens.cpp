// The title logo and the difficulty menu.
#include "app/screens.h"

#include <cstring>

#include "app/window.h"
#include "gfx/frame.h"
#include "gfx/picture.h"
#include "gfx/sprite.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/gamepad.h"
#include "text/texts.h"

const MenuArea MenuAreas[kMenuAreaCount] = {
    {0, 66, 50, 188, 171, kEasyMenuHint},
    {1, 60, 178, 202, 317, kNormalMenuHint},
    {2, 54, 321, 244, 473, kHardMenuHint},
};

const char* const MenuDefaultHint = kMenuDefaultHint;

namespace {

// The logo's colour table at full brightness, kept for the whole logo: every fade step
// scales this copy, never a table already faded.
uint8_t logoColourTable[kColourTableBytes];

bool SkipAsked() { return InputState.charArrived == 1 || InputState.leftButton == 1; }

// One fade step at `level` percent: look at the input, show the picture, keep the pace.
void LogoFadeStep(int32_t level, bool& skip) {
  const uint32_t t0 = platform::Ticks();
  PumpMessages();
  if (SkipAsked()) skip = true;  // the step still runs to its end
  ScaleColourTable(level, logoColourTable);
  std::memcpy(PictureColourTable, FadedColourTable, kColourTableBytes);
  RebuildScreenPalette();
  ShowPicture();
  PresentFrameDirect();
  platform::WaitUntilElapsed(t0, kLogoStepMs);
}

// The hold: nothing is drawn; it ends after 3 s or at once on a skip. Between looks it
// sleeps until the next message or the deadline.
void LogoHold(bool& skip) {
  const uint32_t t0 = platform::Ticks();
  for (;;) {
    PumpMessages();
    if (SkipAsked()) skip = true;
    const uint32_t elapsed = platform::Ticks() - t0;
    if (elapsed > kLogoHoldMs || skip) return;
    platform::WaitForMessage(kLogoHoldMs + 1 - elapsed);
  }
}

const MenuArea* AreaUnderPointer() {
  for (const MenuArea& area : MenuAreas) {
    if (MouseInRect(area.left, area.top, area.right, area.bottom)) return &area;
  }
  return nullptr;
}

void DrawMenu(const MenuArea* area) {
  CopyFrameToOffscreen();
  DrawOutlinedText(InputState.mouseX, InputState.mouseY, area ? area->hint : MenuDefaultHint);
  PresentOffscreen();
}

}  // namespace

bool MouseInRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return InputState.mouseX >= left && InputState.mouseY >= top && InputState.mouseX <= right &&
         InputState.mouseY <= bottom;
}

void ShowLogo() {
  LoadPicture("logo.pcx");
  BuildSpritePalette();
  std::memcpy(logoColourTable, PictureColourTable, kColourTableBytes);
  bool skip = false;
  for (int32_t step = 0; step < kLogoSteps && !skip; ++step) LogoFadeStep(2 * step, skip);
  if (!skip) LogoHold(skip);
  for (int32_t step = 0; step < kLogoSteps && !skip; ++step) LogoFadeStep(99 - 2 * step, skip);
}

int32_t RunModeMenu() {
  LoadPicture("level.pcx");
  BuildSpritePalette();
  // Nothing else draws into the frame buffer while the menu runs: the picture is put
  // there once, and each drawing copies it and writes the hint over the copy.
  ShowPicture();
  int32_t result = 0;
  bool running = true;
  // The menu draws only when what it shows would change: the pointer moved, the button
  // changed or the window asked for a repaint; at most once per display refresh, and it
  // sleeps until the next message in between.
  bool drawn = false;
  int32_t drawnX = 0, drawnY = 0, drawnButton = 0;
  uint32_t drawnAt = 0;
  // A pad's up and down move the pointer from picture to picture, its south button clicks.
  platform::PadPoint centres[kMenuAreaCount];
  for (int i = 0; i < kMenuAreaCount; ++i) {
    centres[i] = {(MenuAreas[i].left + MenuAreas[i].right) / 2, (MenuAreas[i].top + MenuAreas[i].bottom) / 2};
  }
  platform::SetPadPointerPoints(centres, kMenuAreaCount);
  while (running) {
    PumpMessages();
    if (InputState.quit == 1) running = false;
    const MenuArea* area = AreaUnderPointer();
    // The choice is made on the button being down, not on its release.
    if (area && InputState.leftButton == 1) {
      result = area->mode;
      running = false;
    }
    const bool owed = !drawn || InputState.mouseX != drawnX || InputState.mouseY != drawnY ||
                      InputState.leftButton != drawnButton || InputState.repaint == 1;
    const uint32_t sinceDrawn = platform::Ticks() - drawnAt;
    if (owed && (!drawn || !running || sinceDrawn >= kMenuFrameMs)) {
      DrawMenu(area);
      drawn = true;
      drawnX = InputState.mouseX;
      drawnY = InputState.mouseY;
      drawnButton = InputState.leftButton;
      drawnAt = platform::Ticks();
      InputState.repaint = 0;  // answered by this picture
      continue;
    }
    if (running) platform::WaitForMessage(owed ? kMenuFrameMs - sinceDrawn : kMenuIdleMs);
  }
  platform::SetPadPointerPoints(nullptr, 0);
  return result;
}
