// Shared between the parts of the sound device stand-in: the state behind a
// buffer and the mixer that owns every buffer state. All buffer state is
// guarded by the mixer mutex, which the sink's thread holds while it mixes.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dsound.h"

namespace plat {

struct SoundBufferState {
  std::uint32_t references;
  bool primary;
  std::uint32_t flags;
  WaveFormatEx format;
  // Shared with duplicates.
  std::shared_ptr<std::vector<std::uint8_t>> data;
  std::uint32_t bytes;
  std::uint32_t frames;
  // Play position in sample frames, 32.32 fixed point.
  std::uint64_t position;
  bool playing;
  bool looping;
  std::int32_t volume;
  std::int32_t pan;
  std::uint32_t frequency;  // 0: the format's rate
  // Gains in 1/65536 and the position step per output frame, kept in step
  // with volume, pan and frequency.
  std::int32_t gainLeft;
  std::int32_t gainRight;
  std::uint64_t step;
  // What Lock hands out; Unlock copies it into the data.
  std::vector<std::uint8_t> staging;
};

// The mixer mutex.
std::mutex& MixerMutex();
// Buffer states made by the device object; the mixer sums the playing ones.
void AddMixerBuffer(SoundBufferState* state);
void RemoveMixerBuffer(SoundBufferState* state);
int MixerBufferCount();
// Recomputes the gains and step after a change of volume, pan or frequency.
void UpdateBufferMixParameters(SoundBufferState* state);
// Sums every playing buffer into `frames` stereo frames and moves their
// cursors. The caller holds the mixer mutex.
void MixFramesLocked(std::int16_t* output, int frames);

// Opens the sink for a new device object (the test's choice, else by the
// backend) and closes it when the object goes.
void OpenAudioSink();
void CloseAudioSink();

// Test failure switches, read by the device object.
bool ConsumeBufferCreationFailure(std::uint32_t flags);
bool ConsumeBufferDuplicationFailure();

}  // namespace plat
