// Throughput of the scaled blit (a 64x64 sprite to 96x96 and to 48x48) and
// of filled rectangles on a 640x480 software image, in destination pixels
// per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "softrender/draw_state.h"
#include "softrender/mem_img.h"
#include "softrender/scaled_blit.h"
#include "softrender/shapes.h"

namespace {

struct Scene {
  qz::MEMIMG screen{};
  qz::MEMIMG sprite{};
  Scene(int format, bool spriteAlpha) {
    qz::BuildMemImgBlendTables();
    qz::InitMemImgEx(&screen, 640, 480, -1, 0, format, 0, 0, 0, nullptr);
    qz::InitMemImgEx(&sprite, 64, 64, -1, 0, format, 0, spriteAlpha ? 1 : 0, 0, nullptr);
    std::mt19937 rng(1);
    for (qz::MEMIMG* img : {&screen, &sprite}) {
      const std::size_t bytes = static_cast<std::size_t>(img->block->pitch) * static_cast<std::size_t>(img->height);
      for (std::size_t i = 0; i < bytes; ++i) img->block->pixels[i] = static_cast<std::uint8_t>(rng());
    }
    qz::gMemImgDrawState.colorMod = 0xFFFFFF;
    qz::gMemImgDrawState.drawArea = qz::Rect{0, 0, 640, 480};
  }
  ~Scene() {
    qz::ReleaseMemImg(&sprite);
    qz::ReleaseMemImg(&screen);
  }
};

void SetMode(int mode, int p) {
  qz::gMemImgDrawState.blendMode = mode;
  qz::gMemImgDrawState.blendParam = p;
}

// args: target size, format (1 32-bit, 0 RGB565), mode, parameter, alpha sprite with trans
void BM_ScaledBlit(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const bool alpha = state.range(4) != 0;
  Scene scene(static_cast<int>(state.range(1)), alpha);
  SetMode(static_cast<int>(state.range(2)), static_cast<int>(state.range(3)));
  std::int64_t pixels = 0;
  int x = 0;
  for (auto _ : state) {
    const std::int32_t rect[4] = {x, 100, x + size, 100 + size};
    qz::DrawMemImgScaled(&scene.screen, &scene.sprite, rect, alpha ? 1 : 0, nullptr);
    x = (x + 7) % (640 - size);
    pixels += static_cast<std::int64_t>(size) * size;
  }
  benchmark::DoNotOptimize(scene.screen.pixels[0]);
  state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScaledBlit)
    ->ArgNames({"size", "fmt", "mode", "p", "alpha"})
    ->Args({96, 1, 0, 0, 0})
    ->Args({48, 1, 0, 0, 0})
    ->Args({96, 1, 1, 128, 0})
    ->Args({48, 1, 1, 128, 0})
    ->Args({96, 1, 1, 128, 1})
    ->Args({48, 1, 1, 128, 1})
    ->Args({96, 0, 0, 0, 0})
    ->Args({48, 0, 0, 0, 0})
    ->Args({96, 0, 1, 128, 0})
    ->Args({48, 0, 1, 128, 0});

// args: rectangle side, format, mode, parameter
void BM_FillRect(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  Scene scene(static_cast<int>(state.range(1)), false);
  SetMode(static_cast<int>(state.range(2)), static_cast<int>(state.range(3)));
  std::int64_t pixels = 0;
  for (auto _ : state) {
    const qz::Rect rect{10, 10, 10 + side, 10 + side * 3 / 4};
    qz::FillMemImgRect(&scene.screen, &rect, 0x00336699u);
    pixels += static_cast<std::int64_t>(side) * (side * 3 / 4);
  }
  benchmark::DoNotOptimize(scene.screen.pixels[0]);
  state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FillRect)
    ->ArgNames({"side", "fmt", "mode", "p"})
    ->Args({64, 1, 0, 0})
    ->Args({600, 1, 0, 0})
    ->Args({600, 1, 1, 128})
    ->Args({600, 1, 2, 200})
    ->Args({600, 0, 0, 0})
    ->Args({600, 0, 1, 128});

}  // namespace
