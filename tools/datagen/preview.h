#pragma once
// A contact sheet of all the game data as the game shows it, written as a PNG file.
#include <string>

#include "tools/datagen/quantize.h"
#include "tools/datagen/sprites.h"

namespace datagen {

struct PictureSet {
  IndexedPicture logo, level, back;
};

// Lays out the three pictures (the menu with its areas outlined, the field twice side by
// side to show its seam), a mock stage frame with the HUD, every sprite frame, the
// chicken assembled as the game draws it and the hit boxes outlined. False when the
// file cannot be written.
bool WritePreview(const std::string& path, const PictureSet& pictures, const SpriteSet& sprites);

}  // namespace datagen
