// The device state cache and the vertex batch on the stand-in device: a
// state change that reaches the device, one the cache filters out, and
// quads through the batch, gathered only (drawing skipped) and drawn as
// 2 x 2 pixel quads. Items per second are state requests or quads.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "core/window_state.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graphics_start.h"
#include "graphics/graphics_state.h"
#include "graphics/vertex_batch.h"
#include "platform/d3d9.h"
#include "platform/window.h"

namespace {

// One headless window and a started device for the whole run.
bool StartDevice() {
  static const bool started = [] {
    setenv("QZ_BACKEND", "headless", 0);
    const plat::WindowClass windowClass{0, &plat::DefWindowProcA, 0, "QzStateBench"};
    plat::RegisterClassExA(&windowClass);
    qz::WindowSystemState& windows = qz::GetWindowSystemState();
    windows.mainWindow = plat::CreateWindowExA(0, "QzStateBench", "", plat::WS_POPUP, 0, 0, 640, 480, nullptr);
    windows.settings.windowMode = 1;
    windows.active = 1;
    return qz::StartGraphicsScreen() == 0 && qz::GetGraphicsState().device != nullptr;
  }();
  return started;
}

void BM_StateChangeReachesDevice(benchmark::State& state) {
  if (!StartDevice()) {
    state.SkipWithError("no device");
    return;
  }
  int function = plat::D3DCMP_LESS;
  for (auto _ : state) {
    function = function == plat::D3DCMP_LESS ? plat::D3DCMP_GREATER : plat::D3DCMP_LESS;
    benchmark::DoNotOptimize(qz::ApplyDepthFunc(function));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StateChangeReachesDevice);

void BM_StateChangeFilteredByCache(benchmark::State& state) {
  if (!StartDevice()) {
    state.SkipWithError("no device");
    return;
  }
  qz::ApplyDepthFunc(plat::D3DCMP_LESSEQUAL);
  for (auto _ : state) benchmark::DoNotOptimize(qz::ApplyDepthFunc(plat::D3DCMP_LESSEQUAL));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StateChangeFilteredByCache);

// range(0): 1 draws the quads, 0 only gathers them (drawing skipped).
void BM_VertexBatchQuads(benchmark::State& state) {
  if (!StartDevice()) {
    state.SkipWithError("no device");
    return;
  }
  const bool draw = state.range(0) != 0;
  qz::GetDrawSettings().skipDrawing = draw ? 0 : 1;
  const int drawsBefore = plat::GetD3D9CallCount("DrawPrimitiveUP");
  float x = 0.0f;
  for (auto _ : state) {
    auto* quad = static_cast<qz::TexturedVertex*>(qz::ReserveBatchVertices(
        qz::kVertexSetPreTransformed, qz::kVertexKindOneTexture, plat::D3DPT_TRIANGLELIST, 6));
    const float y = 10.5f;
    quad[0] = {x, y, 0.0f, 1.0f, 0xFFFFFFFFu, 0.0f, 0.0f};
    quad[1] = {x + 2.0f, y, 0.0f, 1.0f, 0xFFFFFFFFu, 1.0f, 0.0f};
    quad[2] = {x, y + 2.0f, 0.0f, 1.0f, 0xFFFFFFFFu, 0.0f, 1.0f};
    quad[3] = {x + 2.0f, y + 2.0f, 0.0f, 1.0f, 0xFFFFFFFFu, 1.0f, 1.0f};
    quad[4] = quad[2];
    quad[5] = quad[1];
    x = x >= 600.0f ? 0.0f : x + 3.0f;
  }
  qz::FlushVertexBatch();
  qz::GetDrawSettings().skipDrawing = 0;
  state.SetItemsProcessed(state.iterations());
  state.counters["draw_calls"] = plat::GetD3D9CallCount("DrawPrimitiveUP") - drawsBefore;
}
BENCHMARK(BM_VertexBatchQuads)->Arg(0)->Arg(1);

}  // namespace
