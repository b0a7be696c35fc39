// Sound files. Effects are 50-150 ms blips of their own pitch, sweep and
// timbre, written as WAV; the composed music (sound_synth_music.cpp) is
// encoded so that one pass of each file decodes to exactly one loop.
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

// Each effect peaks at kEffectPeak of full scale (square waves, which sound
// louder, lower): two effects over the music at volume 100 stay below full
// scale however they line up.
constexpr double kEffectPeak = 0.3;

double Oscillator(Wave wave, double phase, std::uint32_t& noise) {
  switch (wave) {
    case Wave::kSine: return std::sin(2 * M_PI * phase);
    case Wave::kSquare: return phase - std::floor(phase) < 0.5 ? 0.75 : -0.75;
    case Wave::kTriangle: {
      const double p = phase - std::floor(phase);
      return 4 * std::abs(p - 0.5) - 1;
    }
    case Wave::kNoise:
      noise = noise * 1664525u + 1013904223u;
      return (static_cast<double>(noise >> 8) / 8388608.0 - 1.0) * 0.9;
  }
  return 0;
}

std::vector<std::int16_t> SynthEffect(const EffectRecipe& r, std::uint32_t seed) {
  const std::size_t length = static_cast<std::size_t>(kEffectRate) * r.milliseconds / 1000;
  std::vector<std::int16_t> pcm(length);
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
    pcm[i] = static_cast<std::int16_t>(std::lround(kEffectPeak * envelope * held * 32767));
  }
  return pcm;
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

bool WriteWave(const std::string& path, const std::vector<std::int16_t>& pcm, std::string* error) {
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

// Bytes of each MPEG-1 layer III frame in `stream`, in order.
std::vector<std::size_t> Mp3FrameSizes(const std::vector<unsigned char>& stream) {
  static const int kKbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
  static const int kRates[4] = {44100, 48000, 32000, 0};
  std::vector<std::size_t> sizes;
  for (std::size_t at = 0; at + 4 <= stream.size();) {
    const int kbps = kKbps[stream[at + 2] >> 4];
    const int rate = kRates[(stream[at + 2] >> 2) & 3];
    if (stream[at] != 0xFF || (stream[at + 1] & 0xFE) != 0xFA || kbps == 0 || rate == 0) break;
    const std::size_t size = static_cast<std::size_t>(144000 * kbps / rate + ((stream[at + 2] >> 1) & 1));
    if (at + size > stream.size()) break;
    sizes.push_back(size);
    at += size;
  }
  return sizes;
}

// Encodes `pass` so that its frames decode to exactly the pass: the encoder
// is fed the pass with its own wrap-around before and after, and only the
// frames of one pass are kept. Without the bit reservoir every kept frame
// holds all its own data; the decoder keeps the encoder's delay plus its own
// 529 samples, which the wrap-around in front fills with the end of the pass,
// and the frame it carries over into the first is the last, as in a loop.
bool WriteMp3Loop(const std::string& path, const std::vector<std::int16_t>& pass, std::string* error) {
  constexpr std::size_t kSkipFrames = 2;
  constexpr std::size_t kDecoderDelay = 529;
  const auto fail = [&](const char* what) {
    if (error != nullptr) *error = std::string(what) + " for " + path;
    return false;
  };
  if (pass.empty() || pass.size() % kMp3FrameSamples != 0) return fail("a pass of whole MP3 frames is needed");
  lame_global_flags* lame = lame_init();
  if (lame == nullptr) return fail("cannot start the MP3 encoder");
  lame_set_num_channels(lame, 1);
  lame_set_mode(lame, MONO);
  lame_set_in_samplerate(lame, kMusicRate);
  lame_set_out_samplerate(lame, kMusicRate);
  lame_set_brate(lame, 64);
  lame_set_quality(lame, 7);
  lame_set_bWriteVbrTag(lame, 0);
  lame_set_disable_reservoir(lame, 1);
  const std::size_t delay =
      lame_init_params(lame) == 0 ? static_cast<std::size_t>(lame_get_encoder_delay(lame)) + kDecoderDelay : 0;
  if (delay == 0 || delay > kSkipFrames * kMp3FrameSamples) {
    lame_close(lame);
    return fail("cannot start the MP3 encoder");
  }
  const std::size_t front = kSkipFrames * kMp3FrameSamples - delay;
  std::vector<std::int16_t> input(front + pass.size() + 2 * kMp3FrameSamples);
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = pass[(i + pass.size() - front) % pass.size()];
  std::vector<unsigned char> stream(input.size() * 5 / 4 + 7200 + 16384);
  int size = lame_encode_buffer(lame, input.data(), nullptr, static_cast<int>(input.size()), stream.data(),
                                static_cast<int>(stream.size()));
  if (size >= 0) {
    const int tail = lame_encode_flush(lame, stream.data() + size, static_cast<int>(stream.size()) - size);
    size = tail >= 0 ? size + tail : -1;
  }
  lame_close(lame);
  if (size <= 0) return fail("MP3 encoding failed");
  stream.resize(static_cast<std::size_t>(size));
  const std::vector<std::size_t> frames = Mp3FrameSizes(stream);
  const std::size_t kept = pass.size() / kMp3FrameSamples;
  if (frames.size() < kSkipFrames + kept) return fail("the MP3 encoder wrote too few frames");
  std::size_t begin = 0, length = 0;
  for (std::size_t f = 0; f < kSkipFrames + kept; ++f) (f < kSkipFrames ? begin : length) += frames[f];
  return WriteBytes(path, stream.data() + begin, length, error);
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

bool WriteSounds(const std::string& dir, std::uint32_t seed, std::string* error) {
  for (const EffectRecipe& r : kEffects) {
    if (!WriteWave(dir + "/" + r.name, SynthEffect(r, seed), error)) return false;
  }
  for (const std::string& name : MusicNames()) {
    if (!WriteMp3Loop(dir + "/" + name, ComposeMusic(name, seed).pcm, error)) return false;
  }
  return true;
}

}  // namespace datagen
