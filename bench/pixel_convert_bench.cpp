// Benchmark: converting a 640 x 480 picture from 24-bit colour to the 32-bit
// screen format and to R5G6B5 with each dither mode, in megapixels per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "image/base_image.h"
#include "image/pixel_convert.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

void RunConversion(benchmark::State& state, const qz::PixelFormatDescriptor& to, int ditherMode) {
  qz::PixelFormatDescriptor from{};
  qz::SetColorDescRGB24(&from);
  const int sourcePitch = kWidth * 3;
  std::vector<std::uint8_t> source(static_cast<std::size_t>(sourcePitch) * kHeight);
  std::mt19937 rng(7);
  for (auto& b : source) b = static_cast<std::uint8_t>(rng());
  const int destinationPitch = kWidth * (to.bitDepth / 8);
  std::vector<std::uint8_t> destination(static_cast<std::size_t>(destinationPitch) * kHeight);
  const qz::Rect rect{0, 0, kWidth, kHeight};
  for (auto _ : state) {
    int result = qz::ConvertColorFormatBlit(destination.data(), destinationPitch, &to, source.data(), sourcePitch,
                                            &from, nullptr, 0, nullptr, 0, 0, &rect, 0, 0, 0, ditherMode, 0, 0, 0, 0);
    benchmark::DoNotOptimize(result);
    benchmark::ClobberMemory();
  }
  state.counters["MP/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kWidth * kHeight / 1e6,
                                              benchmark::Counter::kIsRate);
}

void BM_Rgb24ToXrgb8(benchmark::State& state) {
  qz::PixelFormatDescriptor to{};
  qz::SetColorDescXRGB8(&to);
  RunConversion(state, to, qz::kDitherNone);
}
BENCHMARK(BM_Rgb24ToXrgb8);

void BM_Rgb24ToR5G6B5(benchmark::State& state) {
  qz::PixelFormatDescriptor to{};
  qz::SetColorDescFromMasks(&to, 16, 0xF800, 0x07E0, 0x001F, 0);
  RunConversion(state, to, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_Rgb24ToR5G6B5)->Arg(qz::kDitherNone)->Arg(qz::kDitherOrdered)->Arg(qz::kDitherCarry);

}  // namespace
