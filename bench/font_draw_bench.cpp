// Text drawing with the game's default font (edge type, the gothic face,
// size 18): a 40-character line whose glyphs are all cached is drawn 1,000
// times per iteration onto the back screen, on the device path (range 1,
// glyph cells of the cache texture through the graph draws) or the software
// path (range 0, memory cells written into the screen image). Items per
// second are lines per second.
#include <benchmark/benchmark.h>
#include <stdlib.h>

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

void BM_DrawTextLine(benchmark::State& state) {
  const bool device = state.range(0) == 1;
  setenv("QZ_BACKEND", "headless", 1);
  qz::SetLogOutputEnabled(0);
  qz::ChangeWindowMode(1);
  qz::SetScreenColorBitDepth(32);
  qz::SetHardwareRenderingFlag(device ? 1 : 0);
  if (qz::InitLibraryEntry() != 0) {
    state.SkipWithError("the library did not start");
    return;
  }
  qz::SelectDrawTarget(qz::kBackScreen);
  qz::SetDefaultFontType(1);
  qz::SetDefaultFontFace(qz::text::kFontDefaultFace, -1);
  qz::SetDefaultFontSize(18);
  const qz::ColorValue white = qz::MakeColorValue(255, 255, 255);
  const qz::ColorValue black = qz::MakeColorValue(0, 0, 0);
  qz::DrawTextDefaultFont(8, 8, kLine, white, black);
  for (auto _ : state) {
    for (int i = 0; i < kLinesPerIteration; ++i) qz::DrawTextDefaultFont(8, 8 + (i % 20) * 22, kLine, white, black);
    qz::FlushVertexBatch();
  }
  state.SetItemsProcessed(state.iterations() * kLinesPerIteration);
  qz::EndLibraryEntry();
}
BENCHMARK(BM_DrawTextLine)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
