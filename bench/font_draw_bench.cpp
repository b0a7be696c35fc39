// Text drawing with the game's default font (edge type, the gothic face,
// size 18): a 40-character line whose glyphs are all cached, drawn onto the
// back screen on the device path (range 1, glyph cells of the cache texture
// through the graph draws) or the software path (range 0, memory cells
// written into the screen image). DrawTextLine: 1,000 lines per iteration on
// one path; items per second are lines per second. TextBothPaths: each
// iteration starts the library on each path in turn and times 4,000 lines on
// it, so both see the same machine load; the counters give both rates and
// the software path's over the device path's.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>

#include "core/library.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "font/default_font.h"
#include "font/text_draw.h"
#include "graphics/color_value.h"
#include "graphics/draw_target.h"
#include "graphics/screen_settings.h"
#include "graphics/vertex_batch.h"

namespace {

constexpr int kLinesPerIteration = 1000;
// 40 characters: 28 ASCII and 12 Shift-JIS.
constexpr const char* kLine =
    "Score 0012345 Floor 07 HP 9 "
    "\x83\x51\x81\x5B\x83\x80\x83\x49\x81\x5B\x83\x6F\x81\x5B\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65";

// Starts the library on one path with the default font set up and every
// glyph of the line cached; false when it did not start.
bool StartWithCachedLine(bool device) {
  setenv("QZ_BACKEND", "headless", 1);
  qz::SetLogOutputEnabled(0);
  qz::ChangeWindowMode(1);
  qz::SetScreenColorBitDepth(32);
  qz::SetHardwareRenderingFlag(device ? 1 : 0);
  if (qz::InitLibraryEntry() != 0) return false;
  qz::SelectDrawTarget(qz::kBackScreen);
  qz::SetDefaultFontType(1);
  qz::SetDefaultFontFace(qz::text::kFontDefaultFace, -1);
  qz::SetDefaultFontSize(18);
  qz::DrawTextDefaultFont(8, 8, kLine, qz::MakeColorValue(255, 255, 255), qz::MakeColorValue(0, 0, 0));
  return true;
}

void DrawLines(int count) {
  const qz::ColorValue white = qz::MakeColorValue(255, 255, 255);
  const qz::ColorValue black = qz::MakeColorValue(0, 0, 0);
  for (int i = 0; i < count; ++i) qz::DrawTextDefaultFont(8, 8 + (i % 20) * 22, kLine, white, black);
  qz::FlushVertexBatch();
}

void BM_DrawTextLine(benchmark::State& state) {
  if (!StartWithCachedLine(state.range(0) == 1)) {
    state.SkipWithError("the library did not start");
    return;
  }
  for (auto _ : state) DrawLines(kLinesPerIteration);
  state.SetItemsProcessed(state.iterations() * kLinesPerIteration);
  qz::EndLibraryEntry();
}
BENCHMARK(BM_DrawTextLine)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TextBothPaths(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  constexpr int kLinesPerPath = 4000;
  double seconds[2] = {0, 0};  // software, device
  for (auto _ : state) {
    for (const bool device : {true, false}) {
      if (!StartWithCachedLine(device)) {
        state.SkipWithError("the library did not start");
        return;
      }
      const Clock::time_point t0 = Clock::now();
      DrawLines(kLinesPerPath);
      const double taken = std::chrono::duration<double>(Clock::now() - t0).count();
      qz::EndLibraryEntry();
      seconds[device ? 1 : 0] += taken;
      if (device) state.SetIterationTime(taken);
    }
  }
  const double lines = static_cast<double>(state.iterations()) * kLinesPerPath;
  state.counters["device_lines"] = lines / seconds[1];
  state.counters["software_lines"] = lines / seconds[0];
  state.counters["software_x"] = seconds[1] / seconds[0];
}
BENCHMARK(BM_TextBothPaths)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

}  // namespace
