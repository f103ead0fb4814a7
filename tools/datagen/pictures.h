#pragma once
// The three full-screen pictures: the title, the difficulty menu and the stage field.
#include <cstdint>

#include "gfx/frame.h"
#include "tools/datagen/quantize.h"

namespace datagen {

// The menu's three choices, each drawn inside its area (edges included): easy,
// normal, hardcore.
struct MenuArea {
  int left, top, right, bottom;
};
inline constexpr MenuArea kMenuAreas[3] = {{66, 50, 188, 171}, {60, 178, 202, 317}, {54, 321, 244, 473}};
// The palette entries that only the letters of each choice's label use.
inline constexpr uint8_t kMenuLabelIndex[3] = {0, 1, 2};

// Each returns false in 'ok' when the game font could not render its text.
IndexedPicture DrawLogo(bool& ok);
IndexedPicture DrawLevelMenu(bool& ok);
IndexedPicture DrawField();

}  // namespace datagen
