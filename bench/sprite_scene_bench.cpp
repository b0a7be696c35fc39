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
// SpriteSceneProcesses: the sprite scene one path per process, as a user
// runs it: SDL's renderer, the device path with 1, 2, 4 and 8 raster
// workers (QZ_RASTER_THREADS) and the software path each start this program
// again (QZ_SCENE_CHILD names the path, QZ_SCENE_SHEET the sheet) and time
// kChildFrames frames from the first; on three sheets (the discs; alpha that
// changes from pixel to pixel, which leaves no run to skip or copy; every
// pixel opaque), five interleaved rounds, medians, printed as a table.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <png.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
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

// The sprite scene's frame on the library's current path and on SDL's.
void LibrarySpriteFrame(const std::vector<bench_scene::Sprite>& sprites, const std::vector<int>& cells) {
  qz::ClearDrawTarget(nullptr);
  for (const bench_scene::Sprite& s : sprites) qz::BlitGraph(s.x, s.y, cells[static_cast<std::size_t>(s.cell)], 1);
  qz::PresentScreen();
}

void SdlSpriteFrame(const std::vector<bench_scene::Sprite>& sprites, const SdlSoftwareSprites& sdl) {
  SDL_Renderer* renderer = sdl.renderer();
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0xFF);
  SDL_RenderClear(renderer);
  for (const bench_scene::Sprite& s : sprites) {
    const SDL_Rect src{s.cell % kSheet.cellsAcross * kSheet.cell, s.cell / kSheet.cellsAcross * kSheet.cell,
                       kSheet.cell, kSheet.cell};
    const SDL_Rect dst{s.x, s.y, kSheet.cell, kSheet.cell};
    SDL_RenderCopy(renderer, sdl.texture(), &src, &dst);
  }
  SDL_RenderPresent(renderer);
}

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
    RunInterleaved(state, [&] { LibrarySpriteFrame(sprites, cells); }, [&] { SdlSpriteFrame(sprites, sdl); });
  }
  qz::EndLibraryEntry();
  if (!sheetFile.empty()) std::remove(sheetFile.c_str());
}
BENCHMARK(BM_SpriteScene)->ArgName("device")->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond);

constexpr int kChildFrames = 1500;
constexpr int kProcessRounds = 5;

struct SceneSheet {
  const char* name;  // QZ_SCENE_SHEET
  std::vector<std::uint32_t> (*make)(const bench_scene::SheetShape&);
};
constexpr SceneSheet kSceneSheets[] = {
    {"discs", bench_scene::MakeDiscSheet},
    {"pattern", bench_scene::MakePatternSheet},
    {"opaque", bench_scene::MakeOpaqueSheet},
};

// The sheet QZ_SCENE_SHEET names; the discs when unset or unknown.
std::vector<std::uint32_t> ChildSheet() {
  const char* name = std::getenv("QZ_SCENE_SHEET");
  for (const SceneSheet& sheet : kSceneSheets) {
    if (name != nullptr && std::strcmp(name, sheet.name) == 0) return sheet.make(kSheet);
  }
  return bench_scene::MakeDiscSheet(kSheet);
}

// A child of BM_SpriteSceneProcesses: the sprite scene on the path
// QZ_SCENE_CHILD names ("sdl", "device", "software") with the sheet
// QZ_SCENE_SHEET names, timed from its first frame in this fresh process;
// prints the mean frame time.
void BM_SpriteSceneChild(benchmark::State& state) {
  const std::string path = std::getenv("QZ_SCENE_CHILD");
  std::vector<std::uint32_t> sheet = ChildSheet();
  const std::vector<bench_scene::Sprite> sprites = SpreadSprites(kSheet, kSprites, kScreenW, kScreenH);
  std::vector<int> cells(static_cast<std::size_t>(SheetCells(kSheet)));
  std::unique_ptr<SdlSoftwareSprites> sdl;
  std::string sheetFile;
  std::function<void()> frame;
  if (path == "sdl") {
    sdl = std::make_unique<SdlSoftwareSprites>(sheet, SheetWidth(kSheet), SheetHeight(kSheet), kScreenW, kScreenH);
    if (sdl->texture() != nullptr) frame = [&] { SdlSpriteFrame(sprites, *sdl); };
  } else {
    sheetFile = WritePng(sheet, SheetWidth(kSheet), SheetHeight(kSheet));
    if (!sheetFile.empty() && StartLibrary(path == "device") &&
        qz::ReadImageFileAsGraphGrid(sheetFile.c_str(), SheetCells(kSheet), kSheet.cellsAcross, kSheet.cellsDown,
                                     kSheet.cell, kSheet.cell, cells.data(), 0) == 0) {
      qz::SelectDrawTarget(qz::kBackScreen);
      frame = [&] { LibrarySpriteFrame(sprites, cells); };
    }
  }
  if (!frame) state.SkipWithError("the scene did not start");
  for (auto _ : state) {
    if (!frame) break;
    const Clock::time_point t0 = Clock::now();
    for (int i = 0; i < kChildFrames; ++i) frame();
    const double seconds = Seconds(Clock::now() - t0);
    state.SetIterationTime(seconds);
    std::printf("scene-child-frame-us %.3f\n", seconds * 1e6 / kChildFrames);
    std::fflush(stdout);
  }
  if (path != "sdl") qz::EndLibraryEntry();
  if (!sheetFile.empty()) std::remove(sheetFile.c_str());
}
// Registered only in the children, so a plain run leaves it out.
const bool gChildRegistered = std::getenv("QZ_SCENE_CHILD") != nullptr &&
                              benchmark::RegisterBenchmark("BM_SpriteSceneChild", BM_SpriteSceneChild)
                                      ->Iterations(1)
                                      ->UseManualTime()
                                      ->Unit(benchmark::kMillisecond) != nullptr;

struct ProcessPath {
  const char* name;
  const char* child;    // QZ_SCENE_CHILD
  const char* workers;  // QZ_RASTER_THREADS; empty: left unset
};
constexpr ProcessPath kProcessPaths[] = {
    {"SDL2 software renderer", "sdl", ""}, {"device, 1 worker", "device", "1"},
    {"device, 2 workers", "device", "2"},  {"device, 4 workers", "device", "4"},
    {"device, 8 workers", "device", "8"},  {"software path", "software", ""},
};

// The mean frame time (microseconds) a child prints; negative on failure.
double RunSceneChild(const ProcessPath& path, const SceneSheet& sheet) {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (length <= 0) return -1;
  self[length] = '\0';
  std::string command =
      std::string("env -u QZ_RASTER_THREADS QZ_SCENE_CHILD=") + path.child + " QZ_SCENE_SHEET=" + sheet.name;
  if (*path.workers != '\0') command += std::string(" QZ_RASTER_THREADS=") + path.workers;
  command += std::string(" '") + self + "' --benchmark_filter='^BM_SpriteSceneChild' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  double micros = -1;
  char line[512];
  while (std::fgets(line, sizeof(line), pipe) != nullptr) {
    if (std::strncmp(line, "scene-child-frame-us ", 21) == 0) micros = std::atof(line + 21);
  }
  return pclose(pipe) == 0 ? micros : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

std::string LoadAverage() {
  FILE* file = std::fopen("/proc/loadavg", "r");
  char text[128] = "unknown";
  if (file != nullptr) {
    if (std::fgets(text, sizeof(text), file) == nullptr) std::strcpy(text, "unknown");
    std::fclose(file);
  }
  std::string out = text;
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

void BM_SpriteSceneProcesses(benchmark::State& state) {
  constexpr std::size_t kPaths = std::size(kProcessPaths);
  constexpr std::size_t kSheets = std::size(kSceneSheets);
  // times[sheet][path]: one frame time a round.
  std::vector<std::vector<std::vector<double>>> times(kSheets, std::vector<std::vector<double>>(kPaths));
  const std::string loadBefore = LoadAverage();
  for (auto _ : state) {
    for (int round = 0; round < kProcessRounds; ++round) {
      // Each round starts one path further on, so no path always follows the same one.
      for (std::size_t sheet = 0; sheet < kSheets; ++sheet) {
        for (std::size_t k = 0; k < kPaths; ++k) {
          const std::size_t p = (k + static_cast<std::size_t>(round)) % kPaths;
          const double micros = RunSceneChild(kProcessPaths[p], kSceneSheets[sheet]);
          if (micros <= 0) {
            state.SkipWithError("a scene process failed");
            return;
          }
          times[sheet][p].push_back(micros);
        }
      }
    }
    state.SetIterationTime(Median(times[0][4]) / 1e6);
  }
  std::printf("\nSprite scene, one path per process (%d frames each, median of %d interleaved rounds)\n",
              kChildFrames, kProcessRounds);
  std::printf("load average before: %s; after: %s\n", loadBefore.c_str(), LoadAverage().c_str());
  std::printf("| path |");
  for (const SceneSheet& sheet : kSceneSheets) std::printf(" %s: frame (ms) | x SDL |", sheet.name);
  std::printf("\n|---|");
  for (std::size_t sheet = 0; sheet < kSheets; ++sheet) std::printf("---|---|");
  std::printf("\n");
  for (std::size_t p = 0; p < kPaths; ++p) {
    std::printf("| %s |", kProcessPaths[p].name);
    for (std::size_t sheet = 0; sheet < kSheets; ++sheet) {
      const double sdl = Median(times[sheet][0]), median = Median(times[sheet][p]);
      std::printf(" %.3f | %.2f |", median / 1000, sdl / median);
      if (p > 0) {
        state.counters[std::string("x_sdl_") + kSceneSheets[sheet].name + "_" + kProcessPaths[p].child +
                       kProcessPaths[p].workers] = sdl / median;
      }
    }
    std::printf("\n");
  }
}
BENCHMARK(BM_SpriteSceneProcesses)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

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
