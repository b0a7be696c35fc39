// Sprite frames through the library's public API beside SDL2's software
// renderer. Each 640x480 frame clears the back screen, draws 400 cells of a
// sprite sheet loaded as divided graphs (200 of 32x32 and 200 of 16x16, with
// the transparent colour; every fourth one alpha-blended at 128) and
// presents, headless. The library runs on the device path (range 1) or the
// software path (range 0); SDL gets SDL_RenderCopy of the same cells from one
// texture with SDL_BLENDMODE_BLEND. Items per second are frames per second.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>

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
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "graphics/graph_from_image.h"
#include "graphics/graph_handles.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_present.h"
#include "graphics/screen_settings.h"

namespace {

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
constexpr int kSheetW = 256;
constexpr int kSheetH = 128;  // top half 32x32 cells, bottom half 16x16 cells
constexpr int kBigCells = (kSheetW / 32) * 2;
constexpr int kSmallCells = (kSheetW / 16) * 4;
constexpr int kSprites = 400;

// Discs of varying colour (never black) on black, the library's default
// transparent colour; SDL sees black as alpha 0.
std::vector<std::uint32_t> MakeSheet() {
  std::vector<std::uint32_t> sheet = bench_scene::KeyedDiscSheet({32, kSheetW / 32, 2, 0.5}, 0, 0xFF);
  const std::vector<std::uint32_t> small = bench_scene::KeyedDiscSheet({16, kSheetW / 16, 4, 0.5}, 0, 0xFF);
  sheet.insert(sheet.end(), small.begin(), small.end());
  return sheet;
}

// A 24-bit uncompressed TGA, rows from the top.
std::string WriteSheetFile(const std::vector<std::uint32_t>& sheet) {
  char path[] = "/tmp/qz_sprites_XXXXXX.tga";
  const int fd = mkstemps(path, 4);
  if (fd < 0) return {};
  std::string bytes(18, '\0');
  bytes[2] = 2;
  bytes[12] = static_cast<char>(kSheetW & 0xFF);
  bytes[13] = static_cast<char>(kSheetW >> 8);
  bytes[14] = static_cast<char>(kSheetH);
  bytes[16] = 24;
  bytes[17] = 0x20;
  for (std::uint32_t pixel : sheet) {
    bytes.push_back(static_cast<char>(pixel & 0xFF));
    bytes.push_back(static_cast<char>(pixel >> 8 & 0xFF));
    bytes.push_back(static_cast<char>(pixel >> 16 & 0xFF));
  }
  FILE* file = fdopen(fd, "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  return path;
}

struct Sprite {
  int x, y;
  bool big;
  int cell;
  bool blended;
};

// Deterministic positions wholly on screen, grouped as a game groups its
// draws by state: plain big, plain small, blended big, blended small.
std::vector<Sprite> Sprites() {
  std::vector<Sprite> groups[4];
  std::uint32_t seed = 2024;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  for (int i = 0; i < kSprites; ++i) {
    const bool big = i % 2 == 0;
    const int side = big ? 32 : 16;
    Sprite s{static_cast<int>(next() % (kScreenW - side + 1)), static_cast<int>(next() % (kScreenH - side + 1)), big,
             static_cast<int>(next() % (big ? kBigCells : kSmallCells)), i % 4 == 3};
    groups[(s.blended ? 2 : 0) + (big ? 0 : 1)].push_back(s);
  }
  std::vector<Sprite> out;
  for (const auto& group : groups) out.insert(out.end(), group.begin(), group.end());
  return out;
}

void BM_LibrarySprites(benchmark::State& state) {
  const bool device = state.range(0) == 1;
  const std::string sheetFile = WriteSheetFile(MakeSheet());
  setenv("QZ_BACKEND", "headless", 1);
  qz::SetLogOutputEnabled(0);
  qz::ChangeWindowMode(1);
  qz::SetHardwareRenderingFlag(device ? 1 : 0);
  qz::SetPresentVSyncWait(0);
  qz::SetScreenMode(kScreenW, kScreenH, 32, 60);  // as the game asks
  if (sheetFile.empty() || qz::InitLibraryEntry() != 0) {
    state.SkipWithError("the library did not start");
    return;
  }
  int big[kBigCells];
  int small[kSmallCells];
  // The sheet is cut twice: its top rows into 32x32 cells, all of it into
  // 16x16 cells of which the bottom half is used.
  int smallAll[kSmallCells * 2];
  if (qz::ReadImageFileAsGraphGrid(sheetFile.c_str(), kBigCells, 8, 2, 32, 32, big, 0) != 0 ||
      qz::ReadImageFileAsGraphGrid(sheetFile.c_str(), kSmallCells * 2, 16, 8, 16, 16, smallAll, 0) != 0) {
    state.SkipWithError("the sheet did not load");
  } else {
    for (int i = 0; i < kSmallCells; ++i) small[i] = smallAll[kSmallCells + i];
    const std::vector<Sprite> sprites = Sprites();
    qz::SelectDrawTarget(-2);
    for (auto _ : state) {
      qz::ClearDrawTarget(nullptr);
      bool blending = false;
      for (const Sprite& s : sprites) {
        if (s.blended != blending) {
          qz::SetBlendModeAndParam(s.blended ? 1 : 0, s.blended ? 128 : 0);
          blending = s.blended;
        }
        qz::BlitGraph(s.x, s.y, s.big ? big[s.cell] : small[s.cell], 1);
      }
      qz::SetBlendModeAndParam(0, 0);
      qz::PresentScreen();
    }
    state.SetItemsProcessed(state.iterations());
  }
  qz::EndLibraryEntry();
  std::remove(sheetFile.c_str());
}
BENCHMARK(BM_LibrarySprites)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SdlSoftwareSprites(benchmark::State& state) {
  std::vector<std::uint32_t> sheetPixels = MakeSheet();
  SdlSoftwareSprites sdl(sheetPixels, kSheetW, kSheetH, kScreenW, kScreenH);
  SDL_Renderer* renderer = sdl.renderer();
  SDL_Texture* texture = sdl.texture();
  if (texture == nullptr) {
    state.SkipWithError(SDL_GetError());
  } else {
    const std::vector<Sprite> sprites = Sprites();
    for (auto _ : state) {
      SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0xFF);
      SDL_RenderClear(renderer);
      for (const Sprite& s : sprites) {
        SDL_SetTextureAlphaMod(texture, s.blended ? 128 : 255);
        const int side = s.big ? 32 : 16;
        const int perRow = kSheetW / side;
        const int top = s.big ? 0 : 64;
        const SDL_Rect src{s.cell % perRow * side, top + s.cell / perRow * side, side, side};
        const SDL_Rect dst{s.x, s.y, side, side};
        SDL_RenderCopy(renderer, texture, &src, &dst);
      }
      SDL_RenderPresent(renderer);
    }
    state.SetItemsProcessed(state.iterations());
  }
}
BENCHMARK(BM_SdlSoftwareSprites)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
