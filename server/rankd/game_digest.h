#pragma once
// The fingerprint of a recorded game, by which one game proves at most one kept score.
#include <string>

#include "replay/replay.h"

namespace rankd {

// The SHA-256 (32 bytes) of what decides how the game plays: its rules, mode, seed, start
// and inputs. Its clocks only count its seconds and are left out: the same play shifted in
// time is the same game. The file's wrapping (its program name, compression, checksum)
// is left out, so the same game packed anew has the same fingerprint.
std::string GameDigest(const Replay& replay);

}  // namespace rankd
