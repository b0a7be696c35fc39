// Turned drawing through the public API: 100 transparent 64 x 64 sprites per
// 640 x 480 32-bit frame, each at its own angle and scale, after a clear, on
// the device path (stand-in rasteriser, batch flushed each frame) and on the
// software path. Headless. Items per second are frames per second.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "core/library.h"
#include "core/log.h"
#include "core/main_window.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "graphics/graph_from_image.h"
#include "graphics/screen_settings.h"
#include "graphics/vertex_batch.h"
#include "image/base_image.h"
#include "platform/clock.h"

namespace {

constexpr int kSprites = 100;
constexpr int kSide = 64;

// A disc on pure green, the transparent colour.
int MakeSprite() {
  qz::BaseImage image{};
  if (qz::AllocXRGB8BaseImage(kSide, kSide, &image) != 0) return -1;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const int dx = 2 * x - kSide + 1, dy = 2 * y - kSide + 1;
      if (dx * dx + dy * dy > (kSide - 2) * (kSide - 2)) {
        qz::SetBaseImagePixel(&image, x, y, 0, 255, 0, 255);
      } else {
        qz::SetBaseImagePixel(&image, x, y, x * 4, y * 4, 128, 255);
      }
    }
  }
  const int graph = qz::BuildGraphFromBaseImages(&image, nullptr, 0);
  qz::FreeBaseImagePixels(&image);
  return graph;
}

void BM_RotatedSprites(benchmark::State& state) {
  setenv("QZ_BACKEND", "headless", 0);
  qz::SetLogOutputEnabled(0);
  plat::UseVirtualTime(true);
  qz::SetHardwareRenderingFlag(static_cast<int>(state.range(0)));
  qz::SetScreenColorBitDepth(32);
  qz::ChangeWindowMode(1);
  if (qz::InitLibraryEntry() != 0) {
    state.SkipWithError("library start failed");
    return;
  }
  qz::SelectDrawTarget(qz::kBackScreen);
  qz::SetTransparentColorRGB(0, 255, 0);
  const int sprite = MakeSprite();
  int frame = 0;
  for (auto _ : state) {
    qz::ClearDrawTarget(nullptr);
    for (int i = 0; i < kSprites; ++i) {
      const double angle = 0.05 * (frame + 7 * i);
      const double scale = 0.75 + 0.005 * i;
      qz::BlitGraphRotated(40 + (i % 10) * 62, 40 + (i / 10) * 44, scale, angle, sprite, 1, 0);
    }
    qz::FlushVertexBatch();
    ++frame;
  }
  state.SetItemsProcessed(state.iterations());
  qz::EndLibraryEntry();
  plat::UseVirtualTime(false);
}
BENCHMARK(BM_RotatedSprites)->Arg(1)->Arg(0)->ArgName("device")->Unit(benchmark::kMillisecond);

}  // namespace
