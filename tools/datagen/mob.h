#pragma once
// The mob: a horned little monster that walks left. Its body is painted with a tag so
// that it becomes the tint index, which every mob replaces by its own colour.
#include "tools/datagen/canvas.h"

namespace datagen {

inline constexpr int kMobWidth = 92;
inline constexpr int kMobHeight = 58;
inline constexpr int kMobFrames = 8;
// The part of the body the chicken must hit (relative to the frame, edges included).
inline constexpr int kMobHitLeft = 20, kMobHitTop = 14, kMobHitRight = 70, kMobHitBottom = 25;

// Tag of the body's pixels.
inline constexpr uint8_t kMobBodyTag = 1;
// Tag of the body's shaded side: every other pixel of it keeps the tint.
inline constexpr uint8_t kMobShadeTag = 2;

// Frame 0..7 of the walk cycle, in frame coordinates mapped by 'toCanvas'. The body is
// painted in 'bodyColour' with kMobBodyTag.
void DrawMob(Canvas& canvas, const Affine& toCanvas, int frame, Rgb bodyColour);

}  // namespace datagen
