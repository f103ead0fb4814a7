#include "tools/datagen/instruments.h"

#include <algorithm>
#include <numbers>

namespace datagen {

namespace {

constexpr double kPi = std::numbers::pi;

double Frequency(double pitch) { return 440.0 * std::pow(2.0, (pitch - 69) / 12.0); }

// Band-limited step correction for oscillators with jumps.
double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

// A pulse wave of the given duty, less its average 2 duty - 1, so a narrow pulse adds
// no offset under its note.
double Pulse(double phase, double dt, double duty) {
  double v = phase < duty ? 1.0 : -1.0;
  v += PolyBlep(phase, dt);
  v -= PolyBlep(std::fmod(phase + 1 - duty, 1.0), dt);
  return v - (2 * duty - 1);
}

double Saw(double phase, double dt) { return 2 * phase - 1 - PolyBlep(phase, dt); }

// Attack, decay to a sustain level, release after the note's length.
double Envelope(double t, double length, double attack, double decay, double sustain, double release) {
  double level;
  if (t < attack)
    level = t / attack;
  else if (t < attack + decay)
    level = 1 - (1 - sustain) * (t - attack) / decay;
  else
    level = sustain;
  if (t > length) level *= std::max(0.0, 1 - (t - length) / release);
  return level;
}

}  // namespace

void Mixer::HighPass(double cutoff) {
  const double keep = std::exp(-2 * kPi * cutoff / rate_);
  for (std::vector<double>* channel : {&left_, &right_}) {
    double previousIn = 0, previousOut = 0;
    for (double& v : *channel) {
      const double out = v - previousIn + keep * previousOut;
      previousIn = v;
      previousOut = out;
      v = out;
    }
  }
}

void PlayLead(Mixer& mix, double start, double length, double pitch, double volume, double pan) {
  const int rate = mix.Rate();
  const double release = 0.08;
  const size_t first = static_cast<size_t>(std::lround(start * rate));
  const size_t count = static_cast<size_t>((length + release) * rate);
  double phase = 0;
  for (size_t n = 0; n < count; ++n) {
    double t = static_cast<double>(n) / rate;
    // Vibrato creeps in on held notes.
    double vibrato = t > 0.18 ? 0.12 * std::sin(2 * kPi * 5.5 * t) * std::min(1.0, (t - 0.18) * 4) : 0;
    double dt = Frequency(pitch + vibrato) / rate;
    double v = 0.6 * Pulse(phase, dt, 0.25) + 0.4 * Pulse(std::fmod(phase + 0.5, 1.0), dt, 0.5);
    phase = std::fmod(phase + dt, 1.0);
    mix.Add(first + n, v * volume * Envelope(t, length, 0.008, 0.12, 0.65, release), pan);
  }
}

void PlayArpeggio(Mixer& mix, double start, double length, double pitch, double volume, double pan) {
  const int rate = mix.Rate();
  const size_t first = static_cast<size_t>(std::lround(start * rate));
  const size_t count = static_cast<size_t>((length + 0.05) * rate);
  double phase = 0, dt = Frequency(pitch) / rate;
  for (size_t n = 0; n < count; ++n) {
    double t = static_cast<double>(n) / rate;
    double tri = 1 - 4 * std::fabs(phase - 0.5);
    double v = 0.7 * tri + 0.3 * Pulse(phase, dt, 0.125);
    phase = std::fmod(phase + dt, 1.0);
    mix.Add(first + n, v * volume * Envelope(t, length * 0.6, 0.003, 0.09, 0.3, 0.05), pan);
  }
}

void PlayBass(Mixer& mix, double start, double length, double pitch, double volume) {
  const int rate = mix.Rate();
  const size_t first = static_cast<size_t>(std::lround(start * rate));
  const size_t count = static_cast<size_t>((length + 0.03) * rate);
  double phase = 0, dt = Frequency(pitch) / rate, low = 0;
  for (size_t n = 0; n < count; ++n) {
    double t = static_cast<double>(n) / rate;
    double v = 0.75 * Saw(phase, dt) + 0.5 * std::sin(2 * kPi * phase);
    phase = std::fmod(phase + dt, 1.0);
    // A low-pass filter that closes after the pluck.
    double cutoff = 300 + 1400 * std::exp(-t * 18);
    low += (1 - std::exp(-2 * kPi * cutoff / rate)) * (v - low);
    mix.Add(first + n, low * volume * Envelope(t, length * 0.85, 0.004, 0.1, 0.75, 0.03), 0);
  }
}

void PlayKick(Mixer& mix, double start, double volume) {
  const int rate = mix.Rate();
  const size_t first = static_cast<size_t>(std::lround(start * rate));
  double phase = 0;
  for (size_t n = 0; n < static_cast<size_t>(0.32 * rate); ++n) {
    double t = static_cast<double>(n) / rate;
    double f = 48 + 110 * std::exp(-t * 28);
    phase += f / rate;
    double v = std::sin(2 * kPi * phase) * std::exp(-t * 9) * std::min(1.0, t * 2000);
    mix.Add(first + n, v * volume, 0);
  }
}

void PlaySnare(Mixer& mix, Noise& noise, double start, double volume) {
  const int rate = mix.Rate();
  const size_t first = static_cast<size_t>(std::lround(start * rate));
  double low = 0, phase = 0;
  for (size_t n = 0; n < static_cast<size_t>(0.22 * rate); ++n) {
    double t = static_cast<double>(n) / rate;
    double white = noise.Next();
    low += 0.35 * (white - low);
    double body = std::sin(2 * kPi * phase) * std::exp(-t * 30);
    phase += 185.0 / rate;
    double v = ((white - low) * 0.8 * std::exp(-t * 16) + body * 0.6) * std::min(1.0, t * 3000);
    mix.Add(first + n, v * volume, -0.1);
  }
}

void PlayHat(Mixer& mix, Noise& noise, double start, double volume, double decay, double pan) {
  const int rate = mix.Rate();
  const size_t first = static_cast<size_t>(std::lround(start * rate));
  double previous = 0;
  for (size_t n = 0; n < static_cast<size_t>(decay * 5 * rate); ++n) {
    double t = static_cast<double>(n) / rate;
    double white = noise.Next();
    double high = white - previous;  // a first difference keeps the hiss
    previous = white;
    mix.Add(first + n, high * volume * std::exp(-t / decay) * std::min(1.0, t * 4000), pan);
  }
}

}  // namespace datagen
