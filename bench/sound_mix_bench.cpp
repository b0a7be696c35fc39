// Mixing 32 playing buffers into one second of 44100 Hz stereo output on the
// manual sink: the time per iteration is the processor time one second of
// audio costs (the target is under 20 ms, 2% of one core). One run has every
// buffer at the mix rate, one at mixed rates that need resampling.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/dsound.h"

namespace {

constexpr int kBuffers = 32;

void MixThirtyTwoBuffers(benchmark::State& state, bool mixedRates) {
  plat::SetAudioSinkForTest(plat::AudioSinkKind::kManual);
  plat::DirectSound* device = nullptr;
  plat::DirectSoundCreate8(nullptr, &device, nullptr);
  device->SetCooperativeLevel(nullptr, plat::DSSCL_PRIORITY);
  std::vector<plat::DirectSoundBuffer*> buffers;
  for (int i = 0; i < kBuffers; ++i) {
    const std::uint32_t rate = mixedRates && i % 2 == 1 ? 22050 : 44100;
    const std::uint16_t channels = i % 4 == 3 ? 1 : 2;
    const auto align = static_cast<std::uint16_t>(channels * 2);
    const plat::WaveFormatEx format{plat::WAVE_FORMAT_PCM, channels, rate, rate * align, align, 16, 0};
    const plat::DSBufferDesc desc{plat::DSBCAPS_CTRLVOLUME | plat::DSBCAPS_CTRLPAN | plat::DSBCAPS_CTRLFREQUENCY,
                                  rate * align, &format};
    plat::DirectSoundBuffer* buffer = nullptr;
    device->CreateSoundBuffer(&desc, &buffer, nullptr);
    std::vector<std::int16_t> samples(desc.bufferBytes / 2);
    for (std::size_t s = 0; s < samples.size(); ++s) samples[s] = static_cast<std::int16_t>((s * 37 + i * 1000) % 20000);
    void* region = nullptr;
    std::uint32_t bytes = 0;
    buffer->Lock(0, desc.bufferBytes, &region, &bytes, nullptr, nullptr, 0);
    std::copy(samples.begin(), samples.end(), static_cast<std::int16_t*>(region));
    buffer->Unlock(region, bytes, nullptr, 0);
    buffer->SetVolume(-100 * (i % 8));
    buffer->SetPan(500 * (i % 5) - 1000);
    buffer->Play(0, 0, plat::DSBPLAY_LOOPING);
    buffers.push_back(buffer);
  }
  for (auto _ : state) {
    std::vector<std::int16_t> second = plat::RenderAudioForTest(static_cast<int>(plat::kMixRate));
    benchmark::DoNotOptimize(second.data());
  }
  for (plat::DirectSoundBuffer* buffer : buffers) buffer->Release();
  device->Release();
  plat::SetAudioSinkForTest(plat::AudioSinkKind::kDevice);
}

void BM_MixThirtyTwoBuffersAtTheMixRate(benchmark::State& state) { MixThirtyTwoBuffers(state, false); }
void BM_MixThirtyTwoBuffersHalfResampled(benchmark::State& state) { MixThirtyTwoBuffers(state, true); }

BENCHMARK(BM_MixThirtyTwoBuffersAtTheMixRate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixThirtyTwoBuffersHalfResampled)->Unit(benchmark::kMillisecond);

}  // namespace
