#include "tools/datagen/music.h"

#include "tools/datagen/instruments.h"

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
// The parts.

// Places across the stereo field, -1 left to 1 right. Bass, kick and snare hold the
// middle; the lead stands a little right with its echo far left, the arpeggio answers
// on the left and the hats tick from side to side. Only levels differ between the
// sides, never the timing or the sign, so the two channels add up in mono.
constexpr double kLeadPan = 0.4, kEchoPan = -0.75, kArpeggioPan = -0.5;
constexpr double kHatPan[2] = {0.6, -0.4};

// Lead with a soft echo three sixteenths later, to the other side.
void PlayMelody(Mixer& mix, const std::vector<Note>& melody, double eighth) {
  for (const Note& note : melody) {
    double start = note.start * eighth, length = note.length * eighth * 0.92;
    PlayLead(mix, start, length, note.pitch, 0.26, kLeadPan);
    PlayArpeggio(mix, start + 3 * eighth / 2, length, note.pitch, 0.05, kEchoPan);
  }
}

// One bar of the accompaniment: its number, where it starts in seconds, and its place.
struct Bar {
  int index;
  double start;
  bool intro;          // one of the first four bars
  bool lastOfSection;  // the next bar starts a section, or this is the piece's last bar
  bool last;           // the piece's last bar
};

// Bass: a bouncing eighth-note line of root, octave and fifth.
void PlayBassBar(Mixer& mix, const std::vector<int>& chord, const Bar& bar, double eighth) {
  const int bassSteps[8] = {0, 0, 12, 0, 0, 7, 12, 7};
  for (int step = 0; step < 8; ++step) {
    if (bar.intro && bar.index < 2 && step % 2 == 1) continue;
    PlayBass(mix, bar.start + step * eighth, eighth, chord[0] + bassSteps[step], 0.4);
  }
}

// Arpeggio in sixteenths over the chord, just below the melody.
void PlayArpeggioBar(Mixer& mix, const std::vector<int>& chord, const Bar& bar, double eighth) {
  const int pattern[8] = {0, 1, 2, 3, 2, 1, 0, 2};
  for (int step = 0; step < 16; ++step) {
    int tone = pattern[step % 8];
    int pitch = tone == 3 ? chord[0] + 12 : chord[static_cast<size_t>(tone)];
    PlayArpeggio(mix, bar.start + step * eighth / 2, eighth / 2, pitch + 24, bar.intro ? 0.08 : 0.06,
                 kArpeggioPan + (step % 2 == 0 ? -0.2 : 0.2));
  }
}

// Drums: kick on one and three (with a push before three), snare on two and four,
// hats on the eighths, a snare run at the end of each section.
void PlayDrumsBar(Mixer& mix, Noise& noise, const Bar& bar, double eighth) {
  PlayKick(mix, bar.start, 0.65);
  PlayKick(mix, bar.start + 4 * eighth, 0.65);
  if (!bar.intro || bar.index >= 2) PlayKick(mix, bar.start + 3.5 * eighth, 0.4);
  if (!bar.intro || bar.index >= 2) {
    PlaySnare(mix, noise, bar.start + 2 * eighth, 0.34);
    if (!bar.lastOfSection) PlaySnare(mix, noise, bar.start + 6 * eighth, 0.34);
  }
  for (int step = 0; step < 8; ++step) {
    bool open = step == 7 && !bar.lastOfSection;
    PlayHat(mix, noise, bar.start + step * eighth, step % 2 == 0 ? 0.09 : 0.06, open ? 0.06 : 0.012, kHatPan[step % 2]);
  }
  if (bar.lastOfSection && !bar.last)
    for (int k = 0; k < 4; ++k) PlaySnare(mix, noise, bar.start + (6 + k * 0.5) * eighth, 0.22 + 0.06 * k);
}

// Fades the very first and last milliseconds so the loop joins at silence.
void FadeEnds(Mixer& mix) {
  std::vector<double>& left = mix.Left();
  std::vector<double>& right = mix.Right();
  const size_t frames = mix.Frames();
  const size_t fadeIn = static_cast<size_t>(0.012 * mix.Rate()), fadeOut = static_cast<size_t>(0.06 * mix.Rate());
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
}

// The mix as 16-bit samples, its loudest sample scaled to just under full range.
Pcm ToPcm(Mixer& mix) {
  const std::vector<double>& left = mix.Left();
  const std::vector<double>& right = mix.Right();
  const size_t frames = mix.Frames();
  double peak = 1e-9;
  for (size_t i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
  const double gain = 0.89 / peak;

  Pcm pcm;
  pcm.sampleRate = mix.Rate();
  pcm.channels = 2;
  pcm.samples.resize(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    pcm.samples[2 * i] = static_cast<int16_t>(std::lround(left[i] * gain * 32767));
    pcm.samples[2 * i + 1] = static_cast<int16_t>(std::lround(right[i] * gain * 32767));
  }
  return pcm;
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

  PlayMelody(mix, score.melody, eighth);
  const auto& starts = score.sectionStarts;
  for (int index = 0; index < bars; ++index) {
    const Bar bar{index, index * 8 * eighth, index < 4,
                  std::find(starts.begin(), starts.end(), index + 1) != starts.end() || index == bars - 1,
                  index == bars - 1};
    const std::vector<int>& chord = score.chords[static_cast<size_t>(index)];
    PlayBassBar(mix, chord, bar, eighth);
    PlayArpeggioBar(mix, chord, bar, eighth);
    PlayDrumsBar(mix, noise, bar, eighth);
  }
  // A crash opens each section after the intro, wide: a different wash on each side.
  for (size_t s = 1; s < starts.size(); ++s)
    for (double side : {-0.8, 0.8}) PlayHat(mix, noise, starts[s] * 8 * eighth, 0.12, 0.35, side);

  mix.HighPass(10);
  FadeEnds(mix);
  return ToPcm(mix);
}

}  // namespace datagen
