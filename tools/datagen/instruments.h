#pragma once
// The instruments of the background tune: each note synthesized sample by sample into a
// stereo mix. Times are in seconds, pitches in MIDI numbers (fractions bend them).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace datagen {

// The drums' noise: a fixed sequence, so the tune comes out the same every time.
class Noise {
 public:
  double Next() {
    state_ = state_ * 1103515245u + 12345u;
    return static_cast<double>((state_ >> 9) & 0xFFFF) / 32768.0 - 1.0;
  }

 private:
  uint32_t state_ = 0x2545F491u;
};

// The piece being made: two channels of samples at Rate() a second, into which notes add.
class Mixer {
 public:
  Mixer(int rate, size_t frames) : rate_(rate), left_(frames, 0.0), right_(frames, 0.0) {}
  int Rate() const { return rate_; }
  size_t Frames() const { return left_.size(); }
  void Add(size_t i, double v, double pan) {  // pan -1 left .. 1 right
    if (i >= left_.size()) return;
    left_[i] += v * std::sqrt((1 - pan) / 2);
    right_[i] += v * std::sqrt((1 + pan) / 2);
  }
  std::vector<double>& Left() { return left_; }
  std::vector<double>& Right() { return right_; }
  // A one-pole high-pass at 'cutoff' Hz on both channels: what the kick's first swing
  // and the plucks leave below hearing would otherwise sit as an offset in the file.
  void HighPass(double cutoff);

 private:
  int rate_;
  std::vector<double> left_, right_;
};

// One note of each instrument, added to the mix from 'start' on; pan -1 left .. 1 right.
void PlayLead(Mixer& mix, double start, double length, double pitch, double volume, double pan);
void PlayArpeggio(Mixer& mix, double start, double length, double pitch, double volume, double pan);
void PlayBass(Mixer& mix, double start, double length, double pitch, double volume);
void PlayKick(Mixer& mix, double start, double volume);
void PlaySnare(Mixer& mix, Noise& noise, double start, double volume);
void PlayHat(Mixer& mix, Noise& noise, double start, double volume, double decay, double pan);

}  // namespace datagen
