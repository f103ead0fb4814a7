#pragma once
// MP3 encoding of the tune with LAME, with the LAME tag that tells players its exact length.
#include "tools/datagen/formats.h"
#include "tools/datagen/music.h"

namespace datagen {

inline constexpr int kMp3Kbps = 128;

// Constant bit rate, joint stereo; the first frame holds the "Info" tag with the frame
// count, the encoder delay and the padding. Empty on failure.
Bytes EncodeMp3(const Pcm& pcm);

}  // namespace datagen
