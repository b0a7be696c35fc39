// Music composition: each tune is a loop of whole bars with its own key, mode,
// metre, tempo and arrangement (bass, chords and drums as patterns of eighth
// notes, a melody drawn from the name and the seed). A bar is a whole number
// of MP3 frames, so one encoded pass can be cut exactly on the loop.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "tools/datagen/sound_synth.h"

namespace datagen {
namespace {

constexpr int kRate = 44100;
// Peak of a pass before encoding: the decoded music, with the decoder's
// overshoot, and two effects at their peak still sum to below full scale.
constexpr double kMusicPeak = 0.26;

enum class Mode { kMajor, kMinor, kDorian, kPhrygian, kHarmonicMinor };
enum class Timbre { kPulse50, kPulse25, kPulse12, kTriangle };

// Bass, chord and drum patterns give one character an eighth note of a bar.
// Bass: R, T, F, O start the chord's root, third, fifth or octave; '-' holds;
// '.' rests. Chords: C a short stab, H a chord held over the '-' that follow,
// A a sixteenth-note arpeggio. Drums: k kick, s snare, h hat.
struct Tune {
  const char* name;
  int bars;          // bars in one pass
  int beats;         // beats a bar
  int framesPerBar;  // MP3 frames (1152 samples) a bar: sets the tempo exactly
  int root;          // MIDI note of the key
  Mode mode;
  Timbre lead;
  const char* bass;
  const char* chords;
  const char* drums;
  int progression;  // row of kProgressions
  double echo;      // level of the melody's dotted-eighth echo
};

// 150.6, 109.4, 170.1, 119.3, 135.1, 99.9, 95.7, 143.6 (3/4), 125.9 and 183.8 beats a minute.
constexpr Tune kTunes[] = {
    {"BGM_F001.mp3", 8, 4, 61, 60, Mode::kMajor, Timbre::kPulse50, "R-F-R-F-", ".C.C.C.C", "k.h.s.h.", 0, 0},
    {"BGM_F003.mp3", 4, 4, 84, 57, Mode::kDorian, Timbre::kPulse25, "R-T-F-O-", "H-------", "h..h..h.", 1, 0.25},
    {"BGM_F100.mp3", 8, 4, 54, 55, Mode::kMinor, Timbre::kPulse12, "RORORORO", "A.A.A.A.", "k.s.k.s.", 2, 0},
    {"BGM_Title.mp3", 4, 4, 77, 62, Mode::kMajor, Timbre::kPulse50, "R---F---", "H---H---", "........", 3, 0.3},
    {"BGM_Shop.mp3", 4, 4, 68, 65, Mode::kMajor, Timbre::kPulse25, "R.T.F.T.", ".C.C.C.C", "h.hhh.hh", 0, 0},
    {"BGM_Ending.mp3", 4, 4, 92, 60, Mode::kMajor, Timbre::kTriangle, "R---F---", "AAAAAAAA", "........", 3, 0.3},
    {"BGM_Cave.mp3", 4, 4, 96, 50, Mode::kPhrygian, Timbre::kTriangle, "R-------", "H-------", "......h.", 4, 0.45},
    {"BGM_Sky.mp3", 8, 3, 48, 67, Mode::kMajor, Timbre::kPulse25, "R-....", "..C.C.", "h.h.h.", 3, 0.2},
    {"BGM_Castle.mp3", 4, 4, 73, 52, Mode::kHarmonicMinor, Timbre::kPulse50, "R.R.F.F.", "C...C.C.", "k.s.kks.", 5, 0},
    {"BGM_Boss.mp3", 8, 4, 50, 53, Mode::kHarmonicMinor, Timbre::kPulse12, "RROR-ROR", "A-A-A-A-", "k.skk.s.", 5, 0},
};
// The treasure jingle: one bar, played once.
constexpr const char* kJingleName = "BGM_StoneGet.mp3";
constexpr int kJingleFrames = 16;
constexpr int kJingleRoot = 72;

// Chord roots as scale degrees, one a bar (passes of 8 bars take it twice).
constexpr int kProgressions[][4] = {{0, 3, 4, 0}, {0, 3, 0, 4}, {0, 5, 6, 4}, {0, 5, 3, 4}, {0, 1, 0, 6}, {0, 3, 5, 4}};

int ScaleStep(Mode mode, int index) {
  static const int kScales[5][7] = {{0, 2, 4, 5, 7, 9, 11}, {0, 2, 3, 5, 7, 8, 10}, {0, 2, 3, 5, 7, 9, 10},
                                    {0, 1, 3, 5, 7, 8, 10}, {0, 2, 3, 5, 7, 8, 11}};
  return kScales[static_cast<int>(mode)][index];
}

// MIDI note of a scale degree (0 the tonic, 7 an octave up, negative below).
int DegreeNote(const Tune& t, int degree) {
  const int octave = degree >= 0 ? degree / 7 : -((6 - degree) / 7);
  return t.root + 12 * octave + ScaleStep(t.mode, degree - 7 * octave);
}

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

double Wave(Timbre timbre, double phase) {
  const double p = phase - std::floor(phase);
  switch (timbre) {
    case Timbre::kPulse50: return p < 0.5 ? 1 : -1;
    case Timbre::kPulse25: return p < 0.25 ? 1 : -1;
    case Timbre::kPulse12: return p < 0.125 ? 1 : -1;
    case Timbre::kTriangle: return 4 * std::abs(p - 0.5) - 1;
  }
  return 0;
}

class Rng {
 public:
  Rng(const char* name, std::uint32_t seed) : state_(seed * 747796405u + 2891336453u) {
    for (const char* p = name; *p != '\0'; ++p) state_ = (state_ ^ static_cast<unsigned char>(*p)) * 16777619u;
  }
  int Next(int limit) {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<int>((state_ >> 16) % static_cast<std::uint32_t>(limit));
  }
  double Unit() { return Next(65536) / 65536.0 - 0.5; }

 private:
  std::uint32_t state_;
};

// One pass being written. A pass is a cycle: whatever rings past its end (a
// release, a drum, an echo) sounds at its start, as it does when the pass
// repeats, so a loop plays on through its seam with no rest.
class Score {
 public:
  explicit Score(std::size_t length) : mix_(length) {}

  // A note with a 5 ms attack and a release of up to 30 ms.
  void Note(std::size_t start, std::size_t length, double hz, Timbre timbre, double level) {
    length = std::min(length, mix_.size());
    const std::size_t attack = std::min<std::size_t>(length / 4, kRate / 200);
    const std::size_t release = std::min<std::size_t>(length / 3, kRate * 3 / 100);
    double phase = 0;
    for (std::size_t i = 0; i < length; ++i) {
      double envelope = i < attack ? static_cast<double>(i) / attack : 1.0;
      if (i + release > length) envelope = std::min(envelope, static_cast<double>(length - i) / release);
      mix_[(start + i) % mix_.size()] += level * envelope * Wave(timbre, phase);
      phase += hz / kRate;
    }
  }

  // Drums: a falling sine kick, a noisy snare, a short high-passed hat.
  void Drum(char kind, std::size_t start, Rng& rng) {
    const std::size_t length = std::min<std::size_t>(kind == 'h' ? kRate / 25 : kRate / 8, mix_.size());
    double phase = 0, previous = 0;
    for (std::size_t i = 0; i < length; ++i) {
      const double t = static_cast<double>(i) / kRate;
      const double noise = rng.Unit();
      double sample = 0;
      if (kind == 'k') {
        phase += (45 + 110 * std::exp(-t * 30)) / kRate;
        sample = 0.6 * std::sin(2 * M_PI * phase) * std::exp(-t * 22);
      } else if (kind == 's') {
        phase += 190.0 / kRate;
        sample = (0.6 * noise + 0.2 * std::sin(2 * M_PI * phase)) * std::exp(-t * 28);
      } else {
        sample = 0.5 * (noise - previous) * std::exp(-t * 90);
      }
      previous = noise;
      mix_[(start + i) % mix_.size()] += sample * std::min(1.0, i / 176.0);  // a 4 ms attack: no click
    }
  }

  // Adds copies of `voice` delayed by `delay`, each `level` times the last.
  void AddEcho(const Score& voice, std::size_t delay, double level) {
    double gain = level;
    for (std::size_t tap = delay; gain > 0.05; tap += delay, gain *= level) {
      for (std::size_t i = 0; i < mix_.size(); ++i) mix_[(i + tap) % mix_.size()] += gain * voice.mix_[i];
    }
  }
  void Add(const Score& voice) {
    for (std::size_t i = 0; i < mix_.size(); ++i) mix_[i] += voice.mix_[i];
  }

  // The pass scaled to `peak` of full scale through a soft limiter (the rare
  // peaks where every voice meets would otherwise set the level).
  std::vector<std::int16_t> Finish(double peak) {
    double loudest = 1e-9;
    for (double s : mix_) loudest = std::max(loudest, std::abs(s));
    constexpr double kDrive = 2.0;
    const double scale = peak * 32767 / std::tanh(kDrive);
    std::vector<std::int16_t> pass(mix_.size());
    for (std::size_t i = 0; i < pass.size(); ++i) {
      pass[i] = static_cast<std::int16_t>(std::lround(std::tanh(kDrive * mix_[i] / loudest) * scale));
    }
    return pass;
  }

 private:
  std::vector<double> mix_;
};

// The melody: a rhythm motif for even bars and one for odd bars ('N' a new
// note, '-' hold, '.' rest), chord tones on the beats and steps between them;
// the second half of an 8-bar pass repeats the first, and the pass ends on
// the tonic.
void WriteMelody(const Tune& t, Rng& rng, std::size_t eighth, Score& melody) {
  const int steps = 2 * t.beats;
  std::string motifs[2];
  for (std::string& motif : motifs) {
    for (int s = 0; s < steps; ++s) {
      const int roll = rng.Next(10);
      motif += s == 0 || roll < 6 ? 'N' : roll < 9 ? '-' : '.';
    }
  }
  std::vector<int> degrees(static_cast<std::size_t>(4 * steps));
  int degree = 9;
  for (int bar = 0; bar < 4; ++bar) {
    const int chord = kProgressions[t.progression][bar];
    for (int s = 0; s < steps; ++s) {
      if (s % 2 == 0) {  // on the beat: the nearest chord tone, moved now and then
        int best = chord + 7;
        for (int tone = chord; tone <= chord + 14; ++tone) {
          const int interval = (tone - chord) % 7;  // 0, 2 and 4: root, third and fifth
          if (interval % 2 == 0 && interval <= 4 && std::abs(tone - degree) < std::abs(best - degree)) best = tone;
        }
        degree = best + (rng.Next(3) == 0 ? 2 * rng.Next(3) - 2 : 0);
      } else {
        degree += rng.Next(3) - 1 + (rng.Next(2) == 0 ? (degree < 9 ? 1 : -1) : 0);
      }
      degree = std::clamp(degree, 4, 14);
      degrees[static_cast<std::size_t>(bar * steps + s)] = degree;
    }
  }
  for (int bar = 0; bar < t.bars; ++bar) {
    const bool last = bar == t.bars - 1;
    std::string rhythm = motifs[bar % 2];
    if (last) rhythm = rhythm.substr(0, static_cast<std::size_t>(steps / 2)) + "N" + std::string(steps / 2 - 1, '-');
    for (int s = 0; s < steps; ++s) {
      if (rhythm[static_cast<std::size_t>(s)] != 'N') continue;
      int held = 1;
      while (s + held < steps && rhythm[static_cast<std::size_t>(s + held)] == '-') ++held;
      const std::size_t start = (static_cast<std::size_t>(bar) * steps + s) * eighth;
      if (last && s == steps / 2) {  // the cadence, held to the loop point
        melody.Note(start, eighth * held, NoteHz(DegreeNote(t, 7)), t.lead, 0.3);
        continue;
      }
      const int note = degrees[static_cast<std::size_t>((bar % 4) * steps + s)];
      melody.Note(start, eighth * held * 7 / 8, NoteHz(DegreeNote(t, note)), t.lead, 0.3);
    }
  }
}

// Bass, chords and drums from the tune's patterns, bar by bar. The bass sits
// in the octave above MIDI note 36 whatever the key.
constexpr char kBassTones[] = "RTFO";
void WriteBand(const Tune& t, Rng& rng, std::size_t eighth, Score& band) {
  const int steps = 2 * t.beats;
  for (int bar = 0; bar < t.bars; ++bar) {
    const int chord = kProgressions[t.progression][bar % 4];
    for (int s = 0; s < steps; ++s) {
      const std::size_t start = (static_cast<std::size_t>(bar) * steps + s) * eighth;
      int held = 1;
      while (s + held < steps && t.bass[s + held] == '-') ++held;
      const char* tone = std::strchr(kBassTones, t.bass[s]);
      if (tone != nullptr) {
        const int offsets[4] = {0, 2, 4, 7};
        const int midi = DegreeNote(t, chord + offsets[tone - kBassTones]) - 12 * ((t.root - 36) / 12);
        band.Note(start, eighth * held * 15 / 16, NoteHz(midi), Timbre::kTriangle, 0.45);
      }
      held = 1;
      while (s + held < steps && t.chords[s + held] == '-') ++held;
      const char c = t.chords[s];
      for (int voice = 0; voice < 3 && (c == 'C' || c == 'H'); ++voice) {
        const std::size_t length = c == 'C' ? eighth * 3 / 5 : eighth * held * 15 / 16;
        band.Note(start, length, NoteHz(DegreeNote(t, chord + 2 * voice)), Timbre::kPulse25, 0.07);
      }
      for (int half = 0; half < 2 && c == 'A'; ++half) {
        const int tone2 = (2 * s + half) % 4;
        const int midi = DegreeNote(t, chord + (tone2 == 3 ? 7 : 2 * tone2));
        band.Note(start + half * eighth / 2, eighth / 2 * 3 / 4, NoteHz(midi + 12), Timbre::kPulse12, 0.1);
      }
      if (t.drums[s] != '.') band.Drum(t.drums[s], start, rng);
    }
  }
}

// The jingle, played once: after a 10 ms rest a rising arpeggio, then the
// chord held until an eighth before the end, so it starts and ends in silence
// and nothing of it wraps to its start.
ComposedMusic ComposeJingle() {
  const std::size_t bar = static_cast<std::size_t>(kJingleFrames) * kMp3FrameSamples;
  const std::size_t eighth = bar / 8;
  const std::size_t rest = kRate / 100;
  Score score(bar);
  const int rising[4] = {0, 4, 7, 12};
  for (int i = 0; i < 3; ++i) {
    score.Note(rest + eighth * i, eighth * 9 / 10, NoteHz(kJingleRoot + rising[i]), Timbre::kPulse50, 0.35);
  }
  for (int i = 1; i < 4; ++i) {
    const Timbre timbre = i == 3 ? Timbre::kPulse50 : Timbre::kTriangle;
    score.Note(rest + eighth * 3, eighth * 4, NoteHz(kJingleRoot + rising[i]), timbre, 0.25);
  }
  return ComposedMusic{score.Finish(kMusicPeak), bar / 4, false};
}

}  // namespace

ComposedMusic ComposeMusic(const std::string& name, std::uint32_t seed) {
  if (name == kJingleName) return ComposeJingle();
  for (const Tune& t : kTunes) {
    if (name != t.name) continue;
    const std::size_t bar = static_cast<std::size_t>(t.framesPerBar) * kMp3FrameSamples;
    const std::size_t eighth = bar / static_cast<std::size_t>(2 * t.beats);
    Rng rng(t.name, seed);
    Score melody(bar * static_cast<std::size_t>(t.bars));
    Score band(bar * static_cast<std::size_t>(t.bars));
    WriteMelody(t, rng, eighth, melody);
    WriteBand(t, rng, eighth, band);
    band.Add(melody);
    if (t.echo > 0) band.AddEcho(melody, eighth * 3 / 2, t.echo);
    return ComposedMusic{band.Finish(kMusicPeak), bar / static_cast<std::size_t>(t.beats), true};
  }
  return {};
}

const std::vector<std::string>& MusicNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const Tune& t : kTunes) list.emplace_back(t.name);
    list.emplace_back(kJingleName);
    return list;
  }();
  return names;
}

}  // namespace datagen
