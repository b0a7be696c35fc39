// The mixer of the sound device stand-in: sums every playing secondary buffer
// into 44100 Hz 16-bit stereo with 32-bit accumulation, linear resampling
// for other rates, gains in 1/65536 steps and clamping. At 44100 Hz, 0 dB and
// centre pan the output is the source exactly. The sinks that pull from it
// live in platform/dsound_sink.cpp.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/dsound_internal.h"

namespace plat {
namespace {

std::mutex gMixerMutex;
std::vector<SoundBufferState*> gBuffers;
std::vector<std::int32_t> gAccumulator;

constexpr std::int32_t kUnityGain = 65536;

std::int32_t GainFromHundredthsOfDecibel(std::int32_t level) {
  if (level <= DSBVOLUME_MIN) return 0;
  if (level >= 0) return kUnityGain;
  return static_cast<std::int32_t>(std::lround(kUnityGain * std::pow(10.0, level / 2000.0)));
}

template <int Bits, int Channels>
inline void ReadFrame(const std::uint8_t* data, std::uint32_t index, std::int32_t* left, std::int32_t* right) {
  if constexpr (Bits == 16) {
    std::int16_t samples[Channels];
    std::memcpy(samples, data + static_cast<std::size_t>(index) * Channels * 2, sizeof(samples));
    *left = samples[0];
    *right = samples[Channels - 1];
  } else {
    const std::uint8_t* frame = data + static_cast<std::size_t>(index) * Channels;
    *left = (frame[0] - 128) * 256;
    *right = (frame[Channels - 1] - 128) * 256;
  }
}

// Adds one buffer into the accumulator; a buffer that runs off its end
// without looping stops there and rewinds.
template <int Bits, int Channels>
void MixBuffer(SoundBufferState& buffer, std::int32_t* accumulator, int frames) {
  const std::uint8_t* data = buffer.data->data();
  const std::uint64_t length = static_cast<std::uint64_t>(buffer.frames) << 32;
  const std::uint64_t step = buffer.step;
  const std::int32_t gainLeft = buffer.gainLeft;
  const std::int32_t gainRight = buffer.gainRight;
  std::uint64_t position = buffer.position;
  for (int i = 0; i < frames; ++i) {
    if (position >= length) {
      if (!buffer.looping) {
        buffer.playing = false;
        position = 0;
        break;
      }
      position %= length;
    }
    const std::uint32_t index = static_cast<std::uint32_t>(position >> 32);
    std::int32_t left;
    std::int32_t right;
    ReadFrame<Bits, Channels>(data, index, &left, &right);
    const std::uint32_t fraction = static_cast<std::uint32_t>(position) >> 16;
    if (fraction != 0) {
      std::uint32_t next = index + 1;
      if (next >= buffer.frames) next = buffer.looping ? 0 : index;
      std::int32_t nextLeft;
      std::int32_t nextRight;
      ReadFrame<Bits, Channels>(data, next, &nextLeft, &nextRight);
      left += static_cast<std::int32_t>((static_cast<std::int64_t>(nextLeft - left) * fraction) >> 16);
      right += static_cast<std::int32_t>((static_cast<std::int64_t>(nextRight - right) * fraction) >> 16);
    }
    accumulator[2 * i] += (left * gainLeft) >> 16;
    accumulator[2 * i + 1] += (right * gainRight) >> 16;
    position += step;
  }
  buffer.position = position;
}

void MixOne(SoundBufferState& buffer, std::int32_t* accumulator, int frames) {
  if (buffer.frames == 0) return;
  const bool stereo = buffer.format.channels == 2;
  if (buffer.format.bitsPerSample == 16) {
    stereo ? MixBuffer<16, 2>(buffer, accumulator, frames) : MixBuffer<16, 1>(buffer, accumulator, frames);
  } else {
    stereo ? MixBuffer<8, 2>(buffer, accumulator, frames) : MixBuffer<8, 1>(buffer, accumulator, frames);
  }
}

}  // namespace

std::mutex& MixerMutex() { return gMixerMutex; }

void AddMixerBuffer(SoundBufferState* state) { gBuffers.push_back(state); }

void RemoveMixerBuffer(SoundBufferState* state) { std::erase(gBuffers, state); }

int MixerBufferCount() { return static_cast<int>(gBuffers.size()); }

void UpdateBufferMixParameters(SoundBufferState* state) {
  const std::int32_t volume = GainFromHundredthsOfDecibel(state->volume);
  // A positive pan turns the left side down, a negative one the right.
  const std::int32_t leftPan = GainFromHundredthsOfDecibel(state->pan > 0 ? -state->pan : 0);
  const std::int32_t rightPan = GainFromHundredthsOfDecibel(state->pan < 0 ? state->pan : 0);
  state->gainLeft = static_cast<std::int32_t>(static_cast<std::int64_t>(volume) * leftPan / kUnityGain);
  state->gainRight = static_cast<std::int32_t>(static_cast<std::int64_t>(volume) * rightPan / kUnityGain);
  const std::uint32_t rate = state->frequency != 0 ? state->frequency : state->format.samplesPerSec;
  state->step = (static_cast<std::uint64_t>(rate) << 32) / kMixRate;
}

void MixFramesLocked(std::int16_t* output, int frames) {
  if (frames <= 0) return;
  gAccumulator.assign(static_cast<std::size_t>(frames) * kMixChannels, 0);
  for (SoundBufferState* buffer : gBuffers) {
    if (buffer->playing) MixOne(*buffer, gAccumulator.data(), frames);
  }
  for (std::size_t i = 0; i < gAccumulator.size(); ++i) {
    output[i] = static_cast<std::int16_t>(std::clamp(gAccumulator[i], -32768, 32767));
  }
}

}  // namespace plat
