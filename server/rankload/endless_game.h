#pragma once
// The hostile upload of rankload's replay mode and of the replay check's tests.
#include "replay/replay.h"

namespace rankload {

// A game that never ends a stage: easy mode (no lives to lose), one mob in play from the
// start at x = 2^31 - 1, no input, six hours of frames; `from`'s seed and clocks. A small file
// whose check, unbounded, would last as long as the format allows.
Replay EndlessGame(const Replay& from);

}  // namespace rankload
