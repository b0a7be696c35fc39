// Plain software blit throughput: transparent sprites cut from a sheet onto a
// 640x480 32-bit image, beside SDL2's software blitter on the same pixels, and
// a full-screen alpha blit beside memcpy of the same bytes.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench/sprite_scene_setup.h"
#include "softrender/blit.h"
#include "softrender/draw_state.h"
#include "softrender/mem_img.h"
#include "softrender/pixel_write.h"

namespace qz {
namespace {

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
constexpr int kSheetCells = 8;
constexpr int kSpritesPerIteration = 512;
constexpr std::uint32_t kKey = 0x00FF00FFu;

struct View {
  MEMIMG v{};
  ~View() { ReleaseMemImg(&v); }
};

struct SpriteSet {
  std::vector<std::unique_ptr<View>> sprites;  // one block each, with a run table
  std::vector<SDL_Surface*> surfaces;          // the same pixels for SDL
  ~SpriteSet() {
    for (SDL_Surface* s : surfaces) SDL_FreeSurface(s);
  }
};

// kind 0: colour-keyed discs; 1: discs with per-pixel alpha; 2: alpha that
// changes from pixel to pixel, whose run tables hold runs of a pixel or few.
std::unique_ptr<SpriteSet> CutSheet(int cell, int kind) {
  auto set = std::make_unique<SpriteSet>();
  View sheet;
  const bool alpha = kind != 0;
  const bench_scene::SheetShape shape{cell, kSheetCells, kSheetCells, 2.5};
  const std::vector<std::uint32_t> pixels = kind == 2   ? bench_scene::MakePatternSheet(shape)
                                            : kind == 1 ? bench_scene::MakeDiscSheet(shape)
                                                        : bench_scene::KeyedDiscSheet(shape, kKey, 0);
  const int side = cell * kSheetCells;
  InitMemImgEx(&sheet.v, side, side, -1, kKey, kMemImgFormatXrgb32, 0, alpha ? 1 : 0, 0, nullptr);
  for (int y = 0; y < side; ++y) {
    std::memcpy(sheet.v.pixels + y * sheet.v.block->pitch, pixels.data() + static_cast<std::size_t>(y) * side,
                static_cast<std::size_t>(side) * 4);
  }
  for (int i = 0; i < kSheetCells * kSheetCells; ++i) {
    auto sprite = std::make_unique<View>();
    InitMemImgEx(&sprite->v, cell, cell, -1, kKey, kMemImgFormatXrgb32, 0, alpha ? 1 : 0, 1, nullptr);
    const Rect cut = {(i % kSheetCells) * cell, (i / kSheetCells) * cell, (i % kSheetCells + 1) * cell,
                      (i / kSheetCells + 1) * cell};
    DrawMemImgSimple(&sprite->v, &sheet.v, &cut, 0, 0);
    RebuildMemImgDerivedBuffers(&sprite->v);

    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(
        sprite->v.pixels, cell, cell, 32, sprite->v.block->pitch,
        alpha ? SDL_PIXELFORMAT_ARGB8888 : SDL_PIXELFORMAT_RGB888);
    SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
    if (!alpha) {
      SDL_SetColorKey(s, SDL_TRUE, kKey);
      SDL_SetSurfaceAlphaMod(s, 128);
    }
    set->surfaces.push_back(s);
    set->sprites.push_back(std::move(sprite));
  }
  return set;
}

// Deterministic positions, some partly off screen.
std::vector<std::pair<int, int>> Positions(int cell) {
  std::vector<std::pair<int, int>> out;
  std::uint32_t seed = 12345;
  for (int i = 0; i < kSpritesPerIteration; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const int x = static_cast<int>((seed >> 8) % (kScreenW + cell)) - cell / 2;
    seed = seed * 1664525u + 1013904223u;
    const int y = static_cast<int>((seed >> 8) % (kScreenH + cell)) - cell / 2;
    out.emplace_back(x, y);
  }
  return out;
}

void SetState(int mode, int p) {
  BuildMemImgBlendTables();
  gMemImgDrawState.blendMode = mode;
  gMemImgDrawState.blendParam = p;
  gMemImgDrawState.colorMod = 0xFFFFFF;
  gMemImgDrawState.drawArea = {0, 0, kScreenW, kScreenH};
}

// range(0): sprite size; range(1): 0 colour key with alpha blend 128, 1
// per-pixel alpha (discs), 2 per-pixel alpha changing from pixel to pixel.
void BM_SoftBlitSprites(benchmark::State& state) {
  const int cell = static_cast<int>(state.range(0));
  const bool alpha = state.range(1) != 0;
  auto set = CutSheet(cell, static_cast<int>(state.range(1)));
  const auto pos = Positions(cell);
  View screen;
  InitMemImgEx(&screen.v, kScreenW, kScreenH, -1, 0, kMemImgFormatXrgb32, 0, 0, 0, nullptr);
  FillMemImgArea(&screen.v, nullptr, 0x00406080u);
  SetState(alpha ? kMemImgBlendNone : kMemImgBlendAlpha, alpha ? 255 : 128);
  for (auto _ : state) {
    for (int i = 0; i < kSpritesPerIteration; ++i) {
      DrawMemImgAt(&screen.v, &set->sprites[static_cast<std::size_t>(i) % set->sprites.size()]->v, pos[i].first,
                   pos[i].second, 1, nullptr);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSpritesPerIteration);
}
BENCHMARK(BM_SoftBlitSprites)->ArgNames({"size", "pixelAlpha"})->ArgsProduct({{16, 32}, {0, 1, 2}});

void BM_SdlBlitSprites(benchmark::State& state) {
  const int cell = static_cast<int>(state.range(0));
  auto set = CutSheet(cell, static_cast<int>(state.range(1)));
  const auto pos = Positions(cell);
  SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 32, SDL_PIXELFORMAT_RGB888);
  SDL_FillRect(screen, nullptr, 0x00406080u);
  for (auto _ : state) {
    for (int i = 0; i < kSpritesPerIteration; ++i) {
      SDL_Rect at = {pos[i].first, pos[i].second, cell, cell};
      SDL_BlitSurface(set->surfaces[static_cast<std::size_t>(i) % set->surfaces.size()], nullptr, screen, &at);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSpritesPerIteration);
  SDL_FreeSurface(screen);
}
BENCHMARK(BM_SdlBlitSprites)->ArgNames({"size", "pixelAlpha"})->ArgsProduct({{16, 32}, {0, 1, 2}});

// Whole screen onto whole screen. range(0): 0 alpha blend 128 of an opaque
// image, 1 a source with per-pixel alpha (every pixel translucent).
void BM_SoftBlitFullScreen(benchmark::State& state) {
  const bool pixelAlpha = state.range(0) != 0;
  View src, dst;
  InitMemImgEx(&src.v, kScreenW, kScreenH, -1, kKey, kMemImgFormatXrgb32, 0, pixelAlpha ? 1 : 0, 1, nullptr);
  InitMemImgEx(&dst.v, kScreenW, kScreenH, -1, 0, kMemImgFormatXrgb32, 0, 0, 0, nullptr);
  for (int y = 0; y < kScreenH; ++y) {
    for (int x = 0; x < kScreenW; ++x) {
      const std::uint32_t px = static_cast<std::uint32_t>(x * 3 + y * 5) | 0x00204000u |
                               (static_cast<std::uint32_t>(1 + (x + y) % 254) << 24);
      std::memcpy(src.v.pixels + y * src.v.block->pitch + x * 4, &px, 4);
    }
  }
  RebuildMemImgDerivedBuffers(&src.v);
  FillMemImgArea(&dst.v, nullptr, 0x00406080u);
  SetState(pixelAlpha ? kMemImgBlendNone : kMemImgBlendAlpha, pixelAlpha ? 255 : 128);
  for (auto _ : state) {
    DrawMemImgAt(&dst.v, &src.v, 0, 0, 1, nullptr);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kScreenW * kScreenH * 4);
}
BENCHMARK(BM_SoftBlitFullScreen)->ArgName("pixelAlpha")->Arg(0)->Arg(1);

void BM_MemcpyFullScreen(benchmark::State& state) {
  std::vector<std::uint8_t> src(kScreenW * kScreenH * 4, 0x5A), dst(src.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(src.size()));
}
BENCHMARK(BM_MemcpyFullScreen);

}  // namespace
}  // namespace qz
