#include "tools/datagen/music.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>
#include <string>

namespace datagen {

namespace {

constexpr double kPi = std::numbers::pi;

// ---------------------------------------------------------------------------------------
// The score. Melodies are written bar by bar as "note.eighths" tokens ("E5.2" is E in
// the fifth octave for a quarter note, "-.1" an eighth's rest); chords name each bar.

struct Section {
  const char* chords;  // one chord per bar
  const char* melody;  // bars separated by '|'; empty: no melody
};

const Section kScore[] = {
    // Intro: bass, arpeggio and drums build up.
    {"C C F G", ""},
    // A
    {"C G Am F C G F G",
     "E5.2 G5.1 E5.1 C5.2 D5.1 E5.1 | D5.2 B4.2 G4.2 -.1 G4.1 | A4.1 C5.1 E5.2 A5.2 G5.1 E5.1 | "
     "F5.3 E5.1 D5.2 C5.2 | E5.2 G5.1 E5.1 C6.2 B5.1 A5.1 | G5.2 D5.2 B4.2 D5.2 | "
     "C5.1 D5.1 F5.2 A5.1 G5.1 F5.1 D5.1 | G5.3 F5.1 E5.1 D5.1 B4.2"},
    // B
    {"Am F C G Am F D G",
     "A5.3 G5.1 E5.2 C5.2 | F5.3 E5.1 C5.2 A4.2 | G5.2 E5.1 G5.1 C6.3 B5.1 | B5.2 A5.1 G5.1 D5.4 | "
     "C6.2 B5.1 A5.1 E5.2 A5.2 | A5.2 G5.1 F5.1 C5.2 F5.2 | F#5.2 E5.1 D5.1 F#5.2 A5.2 | "
     "G5.1 A5.1 B5.1 D6.1 G5.4"},
    // A again, resolving home.
    {"C G Am F C G F C",
     "E5.2 G5.1 E5.1 C5.2 D5.1 E5.1 | D5.2 B4.2 G4.2 -.1 G4.1 | A4.1 C5.1 E5.2 A5.2 G5.1 E5.1 | "
     "F5.3 E5.1 D5.2 C5.2 | E5.2 G5.1 E5.1 C6.2 B5.1 A5.1 | G5.2 D5.2 B4.2 D5.2 | "
     "C5.1 D5.1 F5.2 A5.1 G5.1 F5.1 D5.1 | E5.2 D5.1 C5.5"},
    // Turnaround back to the intro.
    {"F G Am G", "A5.2 C6.2 A5.2 F5.2 | G5.2 B5.2 D6.2 B5.2 | C6.3 B5.1 A5.2 E5.2 | D5.2 G5.2 B4.2 -.2"},
};

struct Note {
  double start, length;  // in eighths from the beginning
  int pitch;             // MIDI number
};

int ParsePitch(const std::string& name) {
  static const int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  int pitch = kSemitone[name[0] - 'A'];
  size_t i = 1;
  if (name[i] == '#') {
    ++pitch;
    ++i;
  } else if (name[i] == 'b') {
    --pitch;
    ++i;
  }
  int octave = name[i] - '0';
  return pitch + 12 * (octave + 1);
}

// Chord tones (root in the second octave's range), e.g. "Am" -> A, C, E.
std::vector<int> ChordTones(const std::string& symbol) {
  std::string rootName = symbol.substr(0, symbol[1] == '#' || symbol[1] == 'b' ? 2 : 1);
  int root = ParsePitch(rootName + "2");
  bool minor = symbol.size() > rootName.size() && symbol[rootName.size()] == 'm';
  return {root, root + (minor ? 3 : 4), root + 7};
}

struct Arrangement {
  std::vector<Note> melody;
  std::vector<std::vector<int>> chords;  // one per bar
  std::vector<int> sectionStarts;        // bar numbers
  bool valid = true;                     // every melody bar holds exactly eight eighths
};

Arrangement Arrange() {
  Arrangement a;
  int bar = 0;
  for (const Section& section : kScore) {
    a.sectionStarts.push_back(bar);
    std::istringstream chords(section.chords);
    std::string symbol;
    int bars = 0;
    while (chords >> symbol) {
      a.chords.push_back(ChordTones(symbol));
      ++bars;
    }
    std::istringstream melody(section.melody);
    std::string token;
    double at = bar * 8.0;
    while (melody >> token) {
      if (token == "|") {
        if (std::fmod(at, 8.0) != 0) a.valid = false;
        continue;
      }
      size_t dot = token.find('.');
      double length = std::stod(token.substr(dot + 1));
      if (token[0] != '-') a.melody.push_back({at, length, ParsePitch(token.substr(0, dot))});
      at += length;
    }
    if (section.melody[0] != 0 && at != (bar + bars) * 8.0) a.valid = false;
    bar += bars;
  }
  return a;
}

// ---------------------------------------------------------------------------------------
// The instruments.

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

class Noise {
 public:
  double Next() {
    state_ = state_ * 1103515245u + 12345u;
    return static_cast<double>((state_ >> 9) & 0xFFFF) / 32768.0 - 1.0;
  }

 private:
  uint32_t state_ = 0x2545F491u;
};

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
  void HighPass(double cutoff) {
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

 private:
  int rate_;
  std::vector<double> left_, right_;
};

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

}  // namespace

Pcm ComposeMusic() {
  const Arrangement score = Arrange();
  if (!score.valid) return Pcm{};  // a miscounted bar would put the parts out of step
  const int rate = 44100;
  const double eighth = 60.0 / kMusicTempo / 2;
  const int bars = static_cast<int>(score.chords.size());
  const size_t frames = static_cast<size_t>(std::lround(bars * 8 * eighth * rate));
  Mixer mix(rate, frames);
  Noise noise;

  // Places across the stereo field, -1 left to 1 right. Bass, kick and snare hold the
  // middle; the lead stands a little right with its echo far left, the arpeggio answers
  // on the left and the hats tick from side to side. Only levels differ between the
  // sides, never the timing or the sign, so the two channels add up in mono.
  const double leadPan = 0.4, echoPan = -0.75, arpeggioPan = -0.5;
  const double hatPan[2] = {0.6, -0.4};

  // Lead with a soft echo three sixteenths later, to the other side.
  for (const Note& note : score.melody) {
    double start = note.start * eighth, length = note.length * eighth * 0.92;
    PlayLead(mix, start, length, note.pitch, 0.26, leadPan);
    PlayArpeggio(mix, start + 3 * eighth / 2, length, note.pitch, 0.05, echoPan);
  }

  for (int bar = 0; bar < bars; ++bar) {
    const std::vector<int>& chord = score.chords[static_cast<size_t>(bar)];
    const double barStart = bar * 8 * eighth;
    const bool intro = bar < 4;
    const bool lastOfSection = std::find(score.sectionStarts.begin(), score.sectionStarts.end(), bar + 1) !=
                                   score.sectionStarts.end() ||
                               bar == bars - 1;

    // Bass: a bouncing eighth-note line of root, octave and fifth.
    const int bassSteps[8] = {0, 0, 12, 0, 0, 7, 12, 7};
    for (int step = 0; step < 8; ++step) {
      if (intro && bar < 2 && step % 2 == 1) continue;
      PlayBass(mix, barStart + step * eighth, eighth, chord[0] + bassSteps[step], 0.4);
    }

    // Arpeggio in sixteenths over the chord, just below the melody.
    const int pattern[8] = {0, 1, 2, 3, 2, 1, 0, 2};
    for (int step = 0; step < 16; ++step) {
      int tone = pattern[step % 8];
      int pitch = tone == 3 ? chord[0] + 12 : chord[static_cast<size_t>(tone)];
      PlayArpeggio(mix, barStart + step * eighth / 2, eighth / 2, pitch + 24, intro ? 0.08 : 0.06,
                   arpeggioPan + (step % 2 == 0 ? -0.2 : 0.2));
    }

    // Drums: kick on one and three (with a push before three), snare on two and four,
    // hats on the eighths, a snare run at the end of each section.
    PlayKick(mix, barStart, 0.65);
    PlayKick(mix, barStart + 4 * eighth, 0.65);
    if (!intro || bar >= 2) PlayKick(mix, barStart + 3.5 * eighth, 0.4);
    if (!intro || bar >= 2) {
      PlaySnare(mix, noise, barStart + 2 * eighth, 0.34);
      if (!lastOfSection) PlaySnare(mix, noise, barStart + 6 * eighth, 0.34);
    }
    for (int step = 0; step < 8; ++step) {
      bool open = step == 7 && !lastOfSection;
      PlayHat(mix, noise, barStart + step * eighth, step % 2 == 0 ? 0.09 : 0.06, open ? 0.06 : 0.012, hatPan[step % 2]);
    }
    if (lastOfSection && bar != bars - 1)
      for (int k = 0; k < 4; ++k) PlaySnare(mix, noise, barStart + (6 + k * 0.5) * eighth, 0.22 + 0.06 * k);
  }
  // A crash opens each section after the intro, wide: a different wash on each side.
  for (size_t s = 1; s < score.sectionStarts.size(); ++s)
    for (double side : {-0.8, 0.8}) PlayHat(mix, noise, score.sectionStarts[s] * 8 * eighth, 0.12, 0.35, side);

  mix.HighPass(10);

  // Fade the very first and last milliseconds so the loop joins at silence, then scale
  // the loudest sample to just under full range.
  std::vector<double>& left = mix.Left();
  std::vector<double>& right = mix.Right();
  const size_t fadeIn = static_cast<size_t>(0.012 * rate), fadeOut = static_cast<size_t>(0.06 * rate);
  auto smooth = [](size_t i, size_t n) {
    return 0.5 - 0.5 * std::cos(kPi * static_cast<double>(i) / static_cast<double>(n));
  };
  for (size_t i = 0; i < fadeIn; ++i) {
    left[i] *= smooth(i, fadeIn);
    right[i] *= smooth(i, fadeIn);
  }
  for (size_t i = 0; i < fadeOut; ++i) {
    left[frames - 1 - i] *= smooth(i, fadeOut);
    right[frames - 1 - i] *= smooth(i, fadeOut);
  }
  double peak = 1e-9;
  for (size_t i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
  const double gain = 0.89 / peak;

  Pcm pcm;
  pcm.sampleRate = rate;
  pcm.channels = 2;
  pcm.samples.resize(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    pcm.samples[2 * i] = static_cast<int16_t>(std::lround(left[i] * gain * 32767));
    pcm.samples[2 * i + 1] = static_cast<int16_t>(std::lround(right[i] * gain * 32767));
  }
  return pcm;
}

}  // namespace datagen
