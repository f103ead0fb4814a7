#pragma once
// The background tune: a cheerful piece for lead, arpeggio, bass and drums, composed
// here note by note and synthesized sample by sample.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace datagen {

struct Pcm {
  int sampleRate = 44100;
  int channels = 2;
  std::vector<int16_t> samples;  // interleaved left, right
  size_t Frames() const { return samples.size() / static_cast<size_t>(channels); }
};

inline constexpr int kMusicBars = 32;
inline constexpr double kMusicTempo = 132;  // quarter notes per minute

// The whole piece, 32 bars. It starts and ends in silence and its last bar leads back
// into its first, so it loops without a click or a stumble.
Pcm ComposeMusic();

}  // namespace datagen
