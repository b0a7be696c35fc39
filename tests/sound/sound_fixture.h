// Sound started on the manual sink without the stream thread, counter-pattern
// PCM, and sounds made the way the loader makes them: static sounds written
// into their buffers, stream sounds over in-memory wave images.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/file_access.h"
#include "core/memory.h"
#include "platform/dsound.h"
#include "sound/sound_converter.h"
#include "sound/sound_handle.h"
#include "sound/sound_stream.h"
#include "sound/sound_system.h"
#include "tests/sound/sound_test_files.h"
#include "tests/support/scratch_log.h"

namespace qz::testing {

inline plat::WaveFormatEx StereoFormat(std::uint32_t rate = 44100, std::uint16_t bits = 16) {
  const auto align = static_cast<std::uint16_t>(2 * bits / 8);
  return plat::WaveFormatEx{plat::WAVE_FORMAT_PCM, 2, rate, rate * align, align, bits, 0};
}

// Frame i holds (base + i, ~(base + i)) as 16-bit samples, so any dropped or
// repeated frame shows.
inline std::vector<std::uint8_t> CounterPcm(std::uint32_t frames, std::uint16_t base = 0) {
  std::vector<std::uint8_t> bytes(frames * 4);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const auto value = static_cast<std::uint16_t>(base + i);
    const auto other = static_cast<std::uint16_t>(~value);
    std::memcpy(&bytes[i * 4], &value, 2);
    std::memcpy(&bytes[i * 4 + 2], &other, 2);
  }
  return bytes;
}

// A wave file of the format's first 16 bytes and the PCM.
inline Bytes WaveImage(const plat::WaveFormatEx& format, const Bytes& pcm) {
  const auto* fields = reinterpret_cast<const std::uint8_t*>(&format);
  return WaveBuilder().Chunk("fmt ", Bytes(fields, fields + 16)).Chunk("data", pcm).Build();
}

// Left channel of interleaved output frames as the counter's 16-bit value.
inline std::uint16_t LeftAt(const std::vector<std::int16_t>& out, std::size_t frame) {
  return static_cast<std::uint16_t>(out[2 * frame]);
}

// Frames mixed per pass of the stream thread (30 ms).
inline constexpr int kPassFrames = 1323;

// Renders `frames` of output in 30 ms steps with a stream refill after each,
// as the stream thread would.
// A larger `passFrames` refills less often.
inline std::vector<std::int16_t> RenderWithRefills(int frames, int passFrames = kPassFrames) {
  std::vector<std::int16_t> out;
  for (; frames > 0; frames -= passFrames) {
    const std::vector<std::int16_t> part = plat::RenderAudioForTest(std::min(frames, passFrames));
    out.insert(out.end(), part.begin(), part.end());
    ProcessAllStreamSounds();
  }
  return out;
}

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    blocksBefore_ = GetTrackedBlockCount();
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kManual);
    SetSoundStreamThreadForTest(0);
    ASSERT_EQ(InitializeSound(), 0);
  }
  void TearDown() override {
    TerminateSound();
    SetSoundStreamThreadForTest(-1);
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kDevice);
    plat::FailSoundBufferCreationForTest(0, 0);
    plat::FailSoundBufferDuplicationForTest(0);
    SetSoftwareMixingForTest(0);
    EXPECT_EQ(plat::GetLiveSoundBufferCount(), 0);
    EXPECT_EQ(GetTrackedBlockCount(), blocksBefore_);
  }

  // A static sound as the loader makes one: buffers, shared PCM, data in
  // every slot that is not a duplicate.
  SoundHandle MakeStatic(const std::vector<std::uint8_t>& pcm, int buffers,
                         const plat::WaveFormatEx& format = StereoFormat()) {
    const SoundHandle handle = AddSoundData(-1);
    EXPECT_NE(handle, -1);
    if (CreateSoundHandleBuffer(-1, &format, static_cast<std::uint32_t>(pcm.size()), 0, buffers, handle) != 0) {
      DeleteSoundHandle(handle);
      return -1;
    }
    SoundRecord* record = GetSoundRecord(handle);
    record->format = format;
    record->frequency = static_cast<std::int32_t>(format.samplesPerSec);
    record->pcmBytes = static_cast<std::int32_t>(pcm.size());
    record->pcmData = QZ_ALLOC(pcm.size());
    std::memcpy(record->pcmData, pcm.data(), pcm.size());
    record->pcmRefCount = static_cast<std::int32_t*>(QZ_ALLOC(sizeof(std::int32_t)));
    *record->pcmRefCount = 1;
    for (int i = 0; i < record->bufferCount; ++i) {
      if (record->duplicate[i] != 0) continue;
      void* first = nullptr;
      void* second = nullptr;
      std::uint32_t firstBytes = 0;
      std::uint32_t secondBytes = 0;
      EXPECT_EQ(LockSoundBufferEither(&record->slots[i], 0, static_cast<std::uint32_t>(pcm.size()), &first,
                                      &firstBytes, &second, &secondBytes),
                0);
      std::memcpy(first, pcm.data(), firstBytes);
      UnlockSoundBufferEither(&record->slots[i], first, firstBytes, second, secondBytes);
    }
    return handle;
  }

  // Adds one in-memory wave source to a stream sound (made when handle is
  // -1), as the loader's memory-image sources are set up.
  SoundHandle AddStreamSource(SoundHandle handle, const std::vector<std::uint8_t>& wave, std::uint8_t loopCount,
                              SoundHandle share = -1) {
    if (handle == -1) handle = AddSoundData(-1);
    SoundLockScope lock;
    SoundRecord* record = GetSoundRecord(handle);
    StreamSource& source = record->sources[record->stream.sourceCount];
    source.kind = 2;
    source.loopCount = loopCount;
    source.loopEndFrame = -1;
    source.dataSize = wave.size();
    source.dataBlock = QZ_ALLOC(wave.size());
    std::memcpy(source.dataBlock, wave.data(), wave.size());
    source.functions = *GetMemoryStreamInterface();
    source.stream = OpenMemoryStream(source.dataBlock, wave.size());
    source.converter = static_cast<SoundConverter*>(QZ_ALLOC_ZEROED(sizeof(SoundConverter)));
    EXPECT_EQ(SetupSoundConverter(&source.functions, source.stream, source.converter), 0);
    plat::WaveFormatEx format{};
    GetConverterPcmFormat(source.converter, &format);
    if (record->stream.sourceCount == 0) {
      record->format = format;
      SoundRecord* owner = GetSoundRecord(share);
      if (owner != nullptr) {
        record->kind = kStreamSound;
        record->bufferCount = 1;
        record->shareOwner = share;
        ++owner->sharerCount;
        LinkStreamSound(handle, record);
      } else {
        EXPECT_EQ(CreateSoundHandleBuffer(-1, &format, 0, 1, 1, handle), 0);
      }
      record->frequency = static_cast<std::int32_t>(format.samplesPerSec);
    }
    ++record->stream.sourceCount;
    record->stream.totalSamples += GetConverterPcmSize(source.converter) / format.blockAlign;
    return handle;
  }

  ScratchLog log_;
  int blocksBefore_ = 0;
};

}  // namespace qz::testing
