// Sound synthesis. Effects are 50-150 ms blips of their own pitch, sweep and
// timbre. Music is a short melody over a bass line whose every note has an
// attack and a release, and which starts and ends on silence: the decoder
// adds the encoder's delay and padding as silence around each pass of the
// loop, so a loop that already begins and ends at zero joins without a click.
#include "tools/datagen/sound_synth.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

#include "tools/datagen/data_set.h"

namespace datagen {
namespace {

using Samples = std::vector<std::int16_t>;

constexpr int kEffectRate = 22050;
constexpr int kMusicRate = 44100;

enum class Wave { kSine, kSquare, kTriangle, kNoise };

struct EffectRecipe {
  const char* name;
  Wave wave;
  double startHz;
  double endHz;
  int milliseconds;
};

// One recipe per effect, in the game's load order: a distinct pitch, sweep
// and timbre each, so a listener can tell them apart.
constexpr EffectRecipe kEffects[] = {
    {"se_ok.wav", Wave::kSquare, 880, 1320, 80},          {"se_cansel.wav", Wave::kSquare, 660, 440, 80},
    {"se_select.wav", Wave::kSquare, 1100, 1100, 50},     {"se_shot01.wav", Wave::kSquare, 1400, 500, 90},
    {"se_shot02.wav", Wave::kTriangle, 300, 120, 110},    {"se_shot03.wav", Wave::kSine, 1600, 2400, 100},
    {"se_change.wav", Wave::kTriangle, 500, 1000, 90},    {"se_jump01.wav", Wave::kSquare, 300, 700, 90},
    {"se_jump02.wav", Wave::kSquare, 400, 900, 90},       {"se_jump03.wav", Wave::kSquare, 500, 1200, 100},
    {"se_nodamage.wav", Wave::kTriangle, 2000, 2000, 60}, {"se_hit01.wav", Wave::kNoise, 900, 300, 90},
    {"se_hit02.wav", Wave::kSquare, 400, 100, 140},       {"se_enemy_shot01.wav", Wave::kSquare, 900, 600, 70},
    {"se_boxopen01.wav", Wave::kTriangle, 200, 400, 120}, {"se_boxopen02.wav", Wave::kSine, 660, 1320, 150},
    {"se_itemget01.wav", Wave::kSine, 1000, 1500, 100},   {"se_itemget02.wav", Wave::kSine, 1200, 1800, 110},
    {"se_fieldicon.wav", Wave::kSine, 1760, 1760, 50},    {"se_warp.wav", Wave::kTriangle, 200, 1600, 150},
    {"se_recovery.wav", Wave::kSine, 523, 1046, 150},     {"se_shoping.wav", Wave::kSquare, 1568, 2093, 90},
    {"se_windowopen.wav", Wave::kTriangle, 600, 900, 60}, {"se_windowclose.wav", Wave::kTriangle, 900, 600, 60},
    {"se_blockbreak.wav", Wave::kNoise, 600, 150, 120},   {"se_blast.wav", Wave::kNoise, 400, 80, 150},
    {"se_blast2.wav", Wave::kNoise, 250, 60, 150},        {"se_blockcreate.wav", Wave::kTriangle, 300, 600, 100},
    {"se_blockchange.wav", Wave::kSquare, 700, 350, 100}, {"se_bom01.wav", Wave::kNoise, 200, 50, 150},
    {"se_keyswitch.wav", Wave::kSquare, 1000, 500, 80},   {"se_shopopen.wav", Wave::kSine, 784, 1175, 120},
    {"se_magicblock.wav", Wave::kSine, 350, 700, 110},    {"se_dead.wav", Wave::kSquare, 600, 80, 150},
    {"se_pipe.wav", Wave::kTriangle, 150, 250, 120},      {"se_push.wav", Wave::kNoise, 150, 150, 80},
    {"se_infinitystar.wav", Wave::kSine, 1318, 2637, 150}, {"se_keyget.wav", Wave::kSine, 1046, 2093, 130},
    {"se_count.wav", Wave::kSquare, 1500, 1500, 50},      {"se_checkcube.wav", Wave::kSine, 880, 1760, 120},
    {"se_discovery.wav", Wave::kTriangle, 660, 1980, 140}, {"se_magical.wav", Wave::kSine, 2000, 800, 130},
};

// The music files; each melody is drawn from its name and the seed.
struct MusicRecipe {
  const char* name;
  int notes;  // eighth notes in one pass; 0 = a short jingle
  double tempo;
  int root;  // MIDI note of the key
};
constexpr MusicRecipe kMusic[] = {
    {"BGM_F001.mp3", 16, 150, 60}, {"BGM_F003.mp3", 16, 110, 57}, {"BGM_F100.mp3", 16, 170, 55},
    {"BGM_Title.mp3", 16, 120, 62}, {"BGM_Shop.mp3", 16, 135, 65}, {"BGM_Ending.mp3", 16, 100, 60},
    {"BGM_StoneGet.mp3", 0, 0, 72},
    {"BGM_Cave.mp3", 16, 120, 50}, {"BGM_Sky.mp3", 16, 140, 67}, {"BGM_Castle.mp3", 16, 100, 52},
    {"BGM_Boss.mp3", 16, 180, 53},
};

double Oscillator(Wave wave, double phase, std::uint32_t& noise) {
  switch (wave) {
    case Wave::kSine: return std::sin(2 * M_PI * phase);
    case Wave::kSquare: return phase - std::floor(phase) < 0.5 ? 0.6 : -0.6;
    case Wave::kTriangle: {
      const double p = phase - std::floor(phase);
      return 4 * std::abs(p - 0.5) - 1;
    }
    case Wave::kNoise:
      noise = noise * 1664525u + 1013904223u;
      return (static_cast<double>(noise >> 8) / 8388608.0 - 1.0) * 0.8;
  }
  return 0;
}

// Adds one enveloped note into out, from sample `start` on.
void AddNote(std::vector<double>& out, std::size_t start, std::size_t length, double hz, Wave wave, double level,
             int rate) {
  const std::size_t attack = std::min<std::size_t>(length / 4, static_cast<std::size_t>(rate / 200));
  const std::size_t release = std::min<std::size_t>(length / 2, static_cast<std::size_t>(rate / 25));
  std::uint32_t noise = 12345;
  double phase = 0;
  for (std::size_t i = 0; i < length && start + i < out.size(); ++i) {
    double envelope = 1.0;
    if (i < attack) envelope = static_cast<double>(i) / attack;
    if (i + release > length) envelope = std::min(envelope, static_cast<double>(length - i) / release);
    out[start + i] += level * envelope * Oscillator(wave, phase, noise);
    phase += hz / rate;
  }
}

Samples ToPcm(const std::vector<double>& mix) {
  Samples pcm(mix.size());
  for (std::size_t i = 0; i < mix.size(); ++i) {
    pcm[i] = static_cast<std::int16_t>(std::lround(std::clamp(mix[i], -1.0, 1.0) * 30000));
  }
  return pcm;
}

Samples SynthEffect(const EffectRecipe& r, std::uint32_t seed) {
  const std::size_t length = static_cast<std::size_t>(kEffectRate) * r.milliseconds / 1000;
  std::vector<double> mix(length);
  std::uint32_t noise = seed * 2654435761u + 1;
  double phase = 0;
  const std::size_t release = length / 3;
  double held = 0;  // noise is held for one period of the pitch: pitched noise
  for (std::size_t i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / length;
    const double hz = r.startHz * std::pow(r.endHz / r.startHz, t);
    double envelope = std::min(1.0, i / (kEffectRate * 0.004));
    if (i + release > length) envelope *= static_cast<double>(length - i) / release;
    const double before = std::floor(phase);
    phase += hz / kEffectRate;
    if (r.wave != Wave::kNoise || std::floor(phase) != before || i == 0) held = Oscillator(r.wave, phase, noise);
    mix[i] = 0.7 * envelope * held;
  }
  return ToPcm(mix);
}

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

Samples SynthMusic(const MusicRecipe& r, std::uint32_t seed) {
  std::uint32_t state = seed * 747796405u + 2891336453u;
  for (const char* p = r.name; *p != '\0'; ++p) state = (state ^ static_cast<unsigned char>(*p)) * 16777619u;
  auto next = [&state](int limit) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 16) % static_cast<std::uint32_t>(limit));
  };
  static const int kScale[7] = {0, 2, 4, 5, 7, 9, 11};
  if (r.notes == 0) {  // a rising three-note jingle, about 0.3 s
    const std::size_t note = kMusicRate / 10;
    std::vector<double> mix(note * 3 + kMusicRate / 50);
    for (int i = 0; i < 3; ++i) AddNote(mix, note * i, note, NoteHz(r.root + kScale[i * 2]), Wave::kSquare, 0.35, kMusicRate);
    return ToPcm(mix);
  }
  const std::size_t eighth = static_cast<std::size_t>(kMusicRate * 30.0 / r.tempo);
  const std::size_t lead = kMusicRate / 50;  // starts and ends on 20 ms of silence
  std::vector<double> mix(eighth * r.notes + 2 * lead);
  int degree = 0;
  for (int i = 0; i < r.notes; ++i) {
    degree = std::clamp(degree + next(5) - 2, -2, 9);
    const int octave = degree < 0 ? -12 : degree >= 7 ? 12 : 0;
    const int midi = r.root + 12 + kScale[(degree + 7) % 7] + octave;
    const bool rest = i == r.notes - 1 || next(6) == 0;  // the last beat is always a rest
    if (!rest) AddNote(mix, lead + eighth * i, eighth * 9 / 10, NoteHz(midi), Wave::kSquare, 0.22, kMusicRate);
    if (i % 2 == 0) {
      const int bass = r.root - 12 + kScale[(i / 4 % 2) * 4];
      AddNote(mix, lead + eighth * i, eighth * 2 - eighth / 4, NoteHz(bass), Wave::kTriangle, 0.3, kMusicRate);
    }
  }
  return ToPcm(mix);
}

bool WriteBytes(const std::string& path, const void* data, std::size_t size, std::string* error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (file.good()) return true;
  if (error != nullptr) *error = "cannot write " + path;
  return false;
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

bool WriteWave(const std::string& path, const Samples& pcm, std::string* error) {
  const auto dataBytes = static_cast<std::uint32_t>(pcm.size() * 2);
  std::vector<std::uint8_t> out;
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  PutLe(out, 36 + dataBytes, 4);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);  // PCM
  PutLe(out, 1, 2);  // mono
  PutLe(out, kEffectRate, 4);
  PutLe(out, kEffectRate * 2, 4);
  PutLe(out, 2, 2);
  PutLe(out, 16, 2);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  PutLe(out, dataBytes, 4);
  for (std::int16_t s : pcm) PutLe(out, static_cast<std::uint16_t>(s), 2);
  return WriteBytes(path, out.data(), out.size(), error);
}

bool WriteMp3(const std::string& path, const Samples& pcm, std::string* error) {
  lame_global_flags* lame = lame_init();
  if (lame == nullptr) {
    if (error != nullptr) *error = "cannot start the MP3 encoder for " + path;
    return false;
  }
  lame_set_num_channels(lame, 1);
  lame_set_mode(lame, MONO);
  lame_set_in_samplerate(lame, kMusicRate);
  lame_set_out_samplerate(lame, kMusicRate);
  lame_set_brate(lame, 64);
  lame_set_quality(lame, 7);
  lame_set_bWriteVbrTag(lame, 0);
  if (lame_init_params(lame) != 0) {
    lame_close(lame);
    if (error != nullptr) *error = "cannot start the MP3 encoder for " + path;
    return false;
  }
  std::vector<unsigned char> out(pcm.size() * 5 / 4 + 7200 + 16384);
  int size = lame_encode_buffer(lame, pcm.data(), nullptr, static_cast<int>(pcm.size()), out.data(),
                                static_cast<int>(out.size()));
  if (size >= 0) {
    const int tail = lame_encode_flush(lame, out.data() + size, static_cast<int>(out.size()) - size);
    size = tail >= 0 ? size + tail : -1;
  }
  lame_close(lame);
  if (size <= 0) {
    if (error != nullptr) *error = "MP3 encoding failed for " + path;
    return false;
  }
  return WriteBytes(path, out.data(), static_cast<std::size_t>(size), error);
}

}  // namespace

const std::vector<std::string>& SoundEffectNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const EffectRecipe& r : kEffects) list.emplace_back(r.name);
    return list;
  }();
  return names;
}

const std::vector<std::string>& MusicNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const MusicRecipe& r : kMusic) list.emplace_back(r.name);
    return list;
  }();
  return names;
}

bool WriteSounds(const std::string& dir, std::uint32_t seed, std::string* error) {
  for (const EffectRecipe& r : kEffects) {
    if (!WriteWave(dir + "/" + r.name, SynthEffect(r, seed), error)) return false;
  }
  for (const MusicRecipe& r : kMusic) {
    if (!WriteMp3(dir + "/" + r.name, SynthMusic(r, seed), error)) return false;
  }
  return true;
}

}  // namespace datagen
