// Sprite frames through the device's CPU rasteriser beside SDL2's software
// renderer: alpha-blended sprites from one sheet per 640x480 32-bit frame,
// 2,000 of 32x32 or 768 of 16x16 (the sprite scene's size, without the
// library above the device). The rasteriser gets the state the library sets
// for blend mode 1 (SRCALPHA / INVSRCALPHA, texture times diffuse) and
// pre-transformed quads shifted by half a pixel, in batches the size of the
// library's vertex batch; SDL gets SDL_RenderCopy with SDL_BLENDMODE_BLEND on
// a software renderer over an ARGB8888 surface. Items per second are frames
// per second. range(0) is the blend parameter: 255 (diffuse alpha 255, no SDL
// alpha modulation) or 200 (diffuse alpha 200, SDL alpha modulation 200);
// range(1) the sprite's side.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "bench/sdl_software_sprites.h"
#include "bench/sprite_scene_setup.h"
#include "platform/d3d9_raster.h"

namespace plat::raster {
namespace {

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
constexpr int kQuadsPerBatch = 390;  // 2,340 vertices, the library's batch of one-texture vertices
constexpr std::uint32_t kBackground = 0xFF406080u;

// A frame's sprites for range(1): the sheet, eight by eight square cells of
// that side, and how many sprites a frame draws.
struct SpriteFrame {
  bench_scene::SheetShape sheet;
  int cell;
  int sheetSide;  // the sheet is square
  int count;
};
SpriteFrame SpriteFrameOf(const benchmark::State& state) {
  const int cell = static_cast<int>(state.range(1));
  const bench_scene::SheetShape sheet{cell, 8, 8, cell == 32 ? 1.0 / 64 : 1.5};
  return {sheet, cell, SheetWidth(sheet), cell == 32 ? 2000 : 768};
}

struct TexVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse;
  float u, v;
};

void BM_RasterSprites(benchmark::State& state) {
  const auto alpha = static_cast<std::uint32_t>(state.range(0));
  const SpriteFrame frame = SpriteFrameOf(state);
  std::vector<std::uint32_t> sheet = bench_scene::MakeDiscSheet(frame.sheet);
  std::vector<std::uint32_t> screen(static_cast<std::size_t>(kScreenW) * kScreenH, kBackground);
  State rs;
  SetDefaultState(&rs, kScreenW, kScreenH, false);
  rs.render[D3DRS_CULLMODE] = D3DCULL_NONE;
  rs.render[D3DRS_SHADEMODE] = D3DSHADE_FLAT;
  rs.render[D3DRS_LIGHTING] = 0;
  rs.render[D3DRS_ALPHABLENDENABLE] = 1;
  rs.render[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
  rs.render[D3DRS_DESTBLEND] = D3DBLEND_INVSRCALPHA;
  rs.stage[0][D3DTSS_COLOROP] = D3DTOP_MODULATE;
  rs.stage[0][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
  rs.stage[0][D3DTSS_COLORARG2] = D3DTA_DIFFUSE;
  rs.stage[0][D3DTSS_ALPHAOP] = D3DTOP_MODULATE;
  rs.stage[0][D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
  rs.stage[0][D3DTSS_ALPHAARG2] = D3DTA_DIFFUSE;
  rs.sampler[0][D3DSAMP_ADDRESSU] = D3DTADDRESS_CLAMP;
  rs.sampler[0][D3DSAMP_ADDRESSV] = D3DTADDRESS_CLAMP;
  rs.textures[0] = Surface{sheet.data(), frame.sheetSide * 4, frame.sheetSide, frame.sheetSide, D3DFMT_A8R8G8B8};
  const Target target{Surface{screen.data(), kScreenW * 4, kScreenW, kScreenH, D3DFMT_X8R8G8B8}, Surface{}};

  // The vertices the library's builders write: six per sprite, shifted by -0.5.
  std::vector<TexVertex> vertices;
  const std::uint32_t diffuse = (alpha << 24) | 0xFFFFFFu;
  const float texel = 1.0f / frame.sheetSide;
  for (const bench_scene::Sprite& s : SpreadSprites(frame.sheet, frame.count, kScreenW, kScreenH)) {
    const float x0 = static_cast<float>(s.x) - 0.5f, y0 = static_cast<float>(s.y) - 0.5f;
    const float x1 = x0 + frame.cell, y1 = y0 + frame.cell;
    const float u0 = static_cast<float>((s.cell % frame.sheet.cellsAcross) * frame.cell) * texel;
    const float v0 = static_cast<float>((s.cell / frame.sheet.cellsAcross) * frame.cell) * texel;
    const float u1 = u0 + frame.cell * texel, v1 = v0 + frame.cell * texel;
    const TexVertex tl{x0, y0, 0, 1, diffuse, u0, v0}, tr{x1, y0, 0, 1, diffuse, u1, v0};
    const TexVertex bl{x0, y1, 0, 1, diffuse, u0, v1}, br{x1, y1, 0, 1, diffuse, u1, v1};
    vertices.insert(vertices.end(), {tl, tr, bl, br, bl, tr});
  }
  Report report;
  long long fastTriangles = 0;
  for (auto _ : state) {
    std::fill(screen.begin(), screen.end(), kBackground);
    for (int first = 0; first < frame.count; first += kQuadsPerBatch) {
      Draw draw;
      draw.primitiveType = D3DPT_TRIANGLELIST;
      draw.primitiveCount = std::min(kQuadsPerBatch, frame.count - first) * 2;
      draw.vertices = vertices.data() + static_cast<std::size_t>(first) * 6;
      draw.fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
      draw.stride = sizeof(TexVertex);
      if (DrawPrimitives(target, rs, draw, &report) != Status::kOk) state.SkipWithError("draw refused");
      fastTriangles += report.fastPathTriangles;
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  const double triangles = static_cast<double>(state.iterations()) * frame.count * 2;
  state.counters["fastShare"] = static_cast<double>(fastTriangles) / triangles;
}
BENCHMARK(BM_RasterSprites)
    ->ArgNames({"alpha", "side"})
    ->ArgsProduct({{255, 200}, {32, 16}})
    ->Unit(benchmark::kMillisecond);

void BM_SdlSoftwareRendererSprites(benchmark::State& state) {
  const int alpha = static_cast<int>(state.range(0));
  const SpriteFrame frame = SpriteFrameOf(state);
  std::vector<std::uint32_t> sheetPixels = bench_scene::MakeDiscSheet(frame.sheet);
  SdlSoftwareSprites sdl(sheetPixels, frame.sheetSide, frame.sheetSide, kScreenW, kScreenH);
  SDL_Renderer* renderer = sdl.renderer();
  SDL_Texture* texture = sdl.texture();
  if (texture == nullptr) {
    state.SkipWithError(SDL_GetError());
  } else {
    SDL_SetTextureAlphaMod(texture, static_cast<Uint8>(alpha));
    const std::vector<bench_scene::Sprite> sprites = SpreadSprites(frame.sheet, frame.count, kScreenW, kScreenH);
    for (auto _ : state) {
      SDL_SetRenderDrawColor(renderer, 0x40, 0x60, 0x80, 0xFF);
      SDL_RenderClear(renderer);
      for (const bench_scene::Sprite& s : sprites) {
        const SDL_Rect src{(s.cell % frame.sheet.cellsAcross) * frame.cell,
                           (s.cell / frame.sheet.cellsAcross) * frame.cell, frame.cell, frame.cell};
        const SDL_Rect dst{s.x, s.y, frame.cell, frame.cell};
        SDL_RenderCopy(renderer, texture, &src, &dst);
      }
      SDL_RenderPresent(renderer);
      benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
  }
}
BENCHMARK(BM_SdlSoftwareRendererSprites)
    ->ArgNames({"alpha", "side"})
    ->ArgsProduct({{255, 200}, {32, 16}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace plat::raster
