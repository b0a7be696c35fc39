// Sprite cells as the library draws them, through the fast rectangle path
// and the general path: cells of a wide sheet at one texel per pixel (rows
// of many vector blocks with tails), opaque with the transparent colour's
// alpha test, alpha-blended, with a white or tinted diffuse (cell by cell),
// onto targets with and without alpha, partly clipped. Both paths must leave the same
// bytes and count the same pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/d3d9_raster.h"
#include "tests/platform/d3d9_raster_fixture.h"

namespace plat::raster {
namespace {

using namespace plat::raster::testing;

constexpr int kTargetW = 160, kTargetH = 120;

// A sheet of discs: transparent (alpha 0) outside, opaque or half inside.
OwnedSurface Sheet(std::mt19937& rng, int w, int h) {
  OwnedSurface sheet(w, h, D3DFMT_A8R8G8B8);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int cx = x % 32 - 16, cy = y % 32 - 16;
      const std::uint32_t alpha = cx * cx + cy * cy < 200 ? (rng() % 5 == 0 ? 0x80u : 0xFFu) : 0u;
      sheet.Set(x, y, alpha << 24 | (rng() & 0xFFFFFFu));
    }
  }
  return sheet;
}

TEST(RasterSpriteRows, SheetCellsDrawTheSamePixelsOnBothPaths) {
  std::mt19937 rng(5150);
  const OwnedSurface sheet = Sheet(rng, 256, 128);
  int fastTriangles = 0;
  for (int round = 0; round < 400; ++round) {
    const std::uint32_t targetFormat = round % 2 == 0 ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8;
    State state = TwoDState(kTargetW, kTargetH);
    state.textures[0] = sheet.view;
    state.render[D3DRS_ALPHATESTENABLE] = 1;
    state.render[D3DRS_ALPHAFUNC] = rng() % 4 == 0 ? D3DCMP_GREATEREQUAL : D3DCMP_GREATER;
    state.render[D3DRS_ALPHAREF] = rng() % 3 == 0 ? 0x40 : 0;
    if (rng() % 2 == 0) UseAlphaBlend(&state);
    std::vector<TexVertex> vertices;
    for (int cell = 0; cell < 6; ++cell) {
      // Cells of one draw differ in colour as a frame's sprites may: each
      // draws with its own, never the one before it.
      const std::uint32_t diffuse = rng() % 3 == 0 ? 0x80FFC040u : rng() % 2 == 0 ? 0x80FFFFFFu : 0xFFFFFFFFu;
      // Any width from 1 to 70 texels, at whole pixels, some across the
      // edges but none wholly off the target.
      const int w = 1 + static_cast<int>(rng() % 70), h = 1 + static_cast<int>(rng() % 40);
      const int u = static_cast<int>(rng() % (256 - w + 1)), v = static_cast<int>(rng() % (128 - h + 1));
      const int x = static_cast<int>(rng() % (kTargetW + w - 1)) - (w - 1);
      const int y = static_cast<int>(rng() % (kTargetH + h - 1)) - (h - 1);
      const std::vector<TexVertex> quad =
          Quad(static_cast<float>(x) - 0.5f, static_cast<float>(y) - 0.5f, static_cast<float>(x + w) - 0.5f,
               static_cast<float>(y + h) - 0.5f, static_cast<float>(u) / 256.0f, static_cast<float>(v) / 128.0f,
               static_cast<float>(u + w) / 256.0f, static_cast<float>(v + h) / 128.0f, diffuse);
      vertices.insert(vertices.end(), quad.begin(), quad.end());
    }
    const BothPaths drawn = DrawBothPaths(rng, kTargetW, kTargetH, targetFormat, state, vertices, round);
    ASSERT_TRUE(drawn.matched);
    fastTriangles += drawn.fast.fastPathTriangles;
  }
  // Every cell is one the fast path takes.
  EXPECT_EQ(fastTriangles, 400 * 6 * 2);
}

}  // namespace
}  // namespace plat::raster
