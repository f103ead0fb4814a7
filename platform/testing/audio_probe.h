#pragma once
// Decoding a sound file with the same audio library the game's music player uses, for
// checking the game's music.
#include <cstdint>
#include <vector>

namespace platform {

struct DecodedAudio {
  int sampleRate = 0;
  int channels = 0;
  std::vector<int16_t> samples;  // interleaved, at the audio device's rate
  double playerSeconds = 0;      // the length the music player reports for the file
};

// Opens the audio device if it is not open yet (the dummy driver serves), decodes the
// whole file and asks the music player for its length. False when the file cannot be
// decoded or no audio device can be opened.
bool DecodeAudioFile(const char* fileName, DecodedAudio& out);

}  // namespace platform
