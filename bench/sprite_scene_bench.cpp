// The 2D scenes a game frame is made of, through the library's public API on
// either path (range 0: 1 device, 0 software), headless, with SDL2's software
// renderer doing the same work in the same loop. Each iteration draws one
// library frame and one SDL frame (which goes first alternates), timed apart,
// so both see the same machine load; the iteration time is the library's
// frame, and the counters give both frame rates and SDL's time over ours.
//   Sprites: 640x480 32-bit frames of a clear, 768 draws of 16x16 cells of a
//   PNG sprite sheet with per-pixel alpha (anti-aliased discs: transparent
//   corners, soft rims, opaque centres), transparency on, default blend mode,
//   then the present with the vertical-blank wait off.
//   FullScreen: a clear, one 640x480 draw of a picture whose alpha is mostly
//   translucent, and the present.
// Start: the library's start and end on both paths, interleaved.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <png.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/sdl_software_sprites.h"
#include "bench/sprite_scene_setup.h"
#include "core/library.h"
#include "core/log.h"
#include "core/main_window.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "graphics/graph_from_image.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_present.h"
#include "graphics/screen_settings.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
constexpr bench_scene::SheetShape kSheet{16, 16, 8, 1.5};
constexpr int kSprites = 768;

std::uint32_t Argb(double a, int r, int g, int b) {
  const auto alpha = static_cast<std::uint32_t>(std::lround(std::clamp(a, 0.0, 1.0) * 255.0));
  return alpha << 24 | static_cast<std::uint32_t>(r & 0xFF) << 16 | static_cast<std::uint32_t>(g & 0xFF) << 8 |
         static_cast<std::uint32_t>(b & 0xFF);
}

// Soft light over the whole screen: alpha rises and falls across it, from
// transparent through translucent to opaque.
std::vector<std::uint32_t> MakePicture() {
  std::vector<std::uint32_t> picture(static_cast<std::size_t>(kScreenW) * kScreenH);
  for (int y = 0; y < kScreenH; ++y) {
    for (int x = 0; x < kScreenW; ++x) {
      const double a = 0.5 + 0.6 * std::sin(x / 41.0) * std::cos(y / 37.0);
      picture[static_cast<std::size_t>(y) * kScreenW + x] = Argb(a, x / 3, y / 2, (x + y) / 5);
    }
  }
  return picture;
}

// An 8-bit RGBA PNG of the ARGB pixels; empty path on failure.
std::string WritePng(const std::vector<std::uint32_t>& argb, int width, int height) {
  char path[] = "/tmp/qz_scene_XXXXXX.png";
  const int fd = mkstemps(path, 4);
  if (fd < 0) return {};
  FILE* file = fdopen(fd, "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = argb[static_cast<std::size_t>(y) * width + x];
      png_byte* out = &row[static_cast<std::size_t>(x) * 4];
      out[0] = static_cast<png_byte>(p >> 16);
      out[1] = static_cast<png_byte>(p >> 8);
      out[2] = static_cast<png_byte>(p);
      out[3] = static_cast<png_byte>(p >> 24);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
  return path;
}

bool StartLibrary(bool device) {
  setenv("QZ_BACKEND", "headless", 1);
  qz::SetLogOutputEnabled(0);
  qz::ChangeWindowMode(1);
  qz::SetHardwareRenderingFlag(device ? 1 : 0);
  qz::SetPresentVSyncWait(0);
  qz::SetScreenMode(kScreenW, kScreenH, 32, 60);
  return qz::InitLibraryEntry() == 0;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// One scene: library frames timed against SDL frames of the same work.
template <class LibraryFrame, class SdlFrame>
void RunInterleaved(benchmark::State& state, LibraryFrame libraryFrame, SdlFrame sdlFrame) {
  double librarySeconds = 0, sdlSeconds = 0;
  bool sdlFirst = false;
  for (auto _ : state) {
    if (sdlFirst) {
      const Clock::time_point t0 = Clock::now();
      sdlFrame();
      sdlSeconds += Seconds(Clock::now() - t0);
    }
    const Clock::time_point t0 = Clock::now();
    libraryFrame();
    const double frame = Seconds(Clock::now() - t0);
    librarySeconds += frame;
    state.SetIterationTime(frame);
    if (!sdlFirst) {
      const Clock::time_point t1 = Clock::now();
      sdlFrame();
      sdlSeconds += Seconds(Clock::now() - t1);
    }
    sdlFirst = !sdlFirst;
  }
  const auto frames = static_cast<double>(state.iterations());
  state.counters["fps"] = frames / librarySeconds;
  state.counters["sdl_fps"] = frames / sdlSeconds;
  state.counters["x_sdl"] = sdlSeconds / librarySeconds;
}

void BM_SpriteScene(benchmark::State& state) {
  const bool device = state.range(0) == 1;
  std::vector<std::uint32_t> sheet = bench_scene::MakeDiscSheet(kSheet);
  const std::string sheetFile = WritePng(sheet, SheetWidth(kSheet), SheetHeight(kSheet));
  SdlSoftwareSprites sdl(sheet, SheetWidth(kSheet), SheetHeight(kSheet), kScreenW, kScreenH);
  std::vector<int> cells(static_cast<std::size_t>(SheetCells(kSheet)));
  if (sheetFile.empty() || sdl.texture() == nullptr || !StartLibrary(device)) {
    state.SkipWithError("the scene did not start");
  } else if (qz::ReadImageFileAsGraphGrid(sheetFile.c_str(), SheetCells(kSheet), kSheet.cellsAcross,
                                          kSheet.cellsDown, kSheet.cell, kSheet.cell, cells.data(), 0) != 0) {
    state.SkipWithError("the sheet did not load");
  } else {
    const std::vector<bench_scene::Sprite> sprites = SpreadSprites(kSheet, kSprites, kScreenW, kScreenH);
    qz::SelectDrawTarget(qz::kBackScreen);
    auto libraryFrame = [&] {
      qz::ClearDrawTarget(nullptr);
      for (const bench_scene::Sprite& s : sprites) qz::BlitGraph(s.x, s.y, cells[static_cast<std::size_t>(s.cell)], 1);
      qz::PresentScreen();
    };
    SDL_Renderer* renderer = sdl.renderer();
    auto sdlFrame = [&] {
      SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0xFF);
      SDL_RenderClear(renderer);
      for (const bench_scene::Sprite& s : sprites) {
        const SDL_Rect src{s.cell % kSheet.cellsAcross * kSheet.cell, s.cell / kSheet.cellsAcross * kSheet.cell,
                           kSheet.cell, kSheet.cell};
        const SDL_Rect dst{s.x, s.y, kSheet.cell, kSheet.cell};
        SDL_RenderCopy(renderer, sdl.texture(), &src, &dst);
      }
      SDL_RenderPresent(renderer);
    };
    RunInterleaved(state, libraryFrame, sdlFrame);
  }
  qz::EndLibraryEntry();
  if (!sheetFile.empty()) std::remove(sheetFile.c_str());
}
BENCHMARK(BM_SpriteScene)->ArgName("device")->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FullScreenScene(benchmark::State& state) {
  const bool device = state.range(0) == 1;
  std::vector<std::uint32_t> picture = MakePicture();
  const std::string pictureFile = WritePng(picture, kScreenW, kScreenH);
  SdlSoftwareSprites sdl(picture, kScreenW, kScreenH, kScreenW, kScreenH);
  int graph = -1;
  if (pictureFile.empty() || sdl.texture() == nullptr || !StartLibrary(device)) {
    state.SkipWithError("the scene did not start");
  } else if ((graph = qz::ReadImageFileAsGraph(pictureFile.c_str(), 0)) == -1) {
    state.SkipWithError("the picture did not load");
  } else {
    qz::SelectDrawTarget(qz::kBackScreen);
    auto libraryFrame = [&] {
      qz::ClearDrawTarget(nullptr);
      qz::BlitGraph(0, 0, graph, 1);
      qz::PresentScreen();
    };
    SDL_Renderer* renderer = sdl.renderer();
    auto sdlFrame = [&] {
      SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0xFF);
      SDL_RenderClear(renderer);
      SDL_RenderCopy(renderer, sdl.texture(), nullptr, nullptr);
      SDL_RenderPresent(renderer);
    };
    RunInterleaved(state, libraryFrame, sdlFrame);
  }
  qz::EndLibraryEntry();
  if (!pictureFile.empty()) std::remove(pictureFile.c_str());
}
BENCHMARK(BM_FullScreenScene)->ArgName("device")->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond);

// Each iteration starts and ends the library once on each path; the
// iteration time is the device path's start.
void BM_LibraryStart(benchmark::State& state) {
  double deviceSeconds = 0, softwareSeconds = 0;
  for (auto _ : state) {
    for (const bool device : {true, false}) {
      const Clock::time_point t0 = Clock::now();
      const bool started = StartLibrary(device);
      const double seconds = Seconds(Clock::now() - t0);
      qz::EndLibraryEntry();
      if (!started) state.SkipWithError("the library did not start");
      (device ? deviceSeconds : softwareSeconds) += seconds;
      if (device) state.SetIterationTime(seconds);
    }
  }
  const auto starts = static_cast<double>(state.iterations());
  state.counters["device_ms"] = deviceSeconds * 1000 / starts;
  state.counters["software_ms"] = softwareSeconds * 1000 / starts;
  state.counters["extra_ms"] = (deviceSeconds - softwareSeconds) * 1000 / starts;
}
BENCHMARK(BM_LibraryStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
