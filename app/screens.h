#pragma once
// The two screens before a game: the title logo and the difficulty menu.
#include <cstdint>

// Fade steps of the logo, and its hold at full picture, in milliseconds.
inline constexpr uint32_t kLogoStepMs = 100;
inline constexpr uint32_t kLogoHoldMs = 3000;
inline constexpr int32_t kLogoSteps = 50;

// The menu redraws at most this often (about one display refresh)...
inline constexpr uint32_t kMenuFrameMs = 16;
// ...and otherwise sleeps until the next event, looking again at least this often.
inline constexpr uint32_t kMenuIdleMs = 250;

// A menu area: a rectangle whose four edges belong to it, the mode it starts and the
// hint shown while the pointer is over it (code page 949).
struct MenuArea {
  int32_t mode;
  int32_t left, top, right, bottom;
  const char* hint;
};
inline constexpr int kMenuAreaCount = 3;
// Easy, normal and hardcore, tested in this order.
extern const MenuArea MenuAreas[kMenuAreaCount];
// The hint while the pointer is over none of the areas.
extern const char* const MenuDefaultHint;

// Fades "logo.pcx" in, holds it, fades it out; a typed character or the left button cuts
// it short. Runs to its end even when the window is closed.
void ShowLogo();
// Shows "level.pcx" with a hint at the pointer and returns the mode of the area in which
// the left button is down. Also returns once the window is closed (the result is then
// of no use).
int32_t RunModeMenu();
// True when the last mouse position lies in the rectangle, edges included.
bool MouseInRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
