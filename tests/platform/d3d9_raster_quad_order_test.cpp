// Quads in the library's corner order (a, b, c, then d, c, b), which the
// fast path sets up from four corners: flipped on either axis, so that their
// winding turns, under every cull mode, and with one vertex that breaks the
// order (its position or texture coordinate off its corner's). Each must
// draw, cull or refuse exactly as the general path does.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/d3d9_raster.h"
#include "tests/platform/d3d9_raster_fixture.h"

namespace plat::raster {
namespace {

using namespace plat::raster::testing;

constexpr int kTargetW = 64, kTargetH = 48;

TEST(RasterQuadOrder, FlippedCulledAndBrokenQuadsDrawTheGeneralPathsPixels) {
  std::mt19937 rng(1977);
  OwnedSurface sheet(32, 32, D3DFMT_A8R8G8B8);
  for (auto& byte : sheet.bytes) byte = static_cast<std::uint8_t>(rng());
  int fastTriangles = 0, culled = 0;
  for (int round = 0; round < 240; ++round) {
    State state = TwoDState(kTargetW, kTargetH);
    state.textures[0] = sheet.view;
    UseAlphaBlend(&state);
    static constexpr std::uint32_t kCullModes[] = {D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW};
    state.render[D3DRS_CULLMODE] = kCullModes[round % 3];
    const bool flipX = (round / 3) % 2 == 1, flipY = (round / 6) % 2 == 1;
    const int w = 1 + static_cast<int>(rng() % 20), h = 1 + static_cast<int>(rng() % 20);
    const int x = static_cast<int>(rng() % (kTargetW - w)), y = static_cast<int>(rng() % (kTargetH - h));
    const int u = static_cast<int>(rng() % (32 - w + 1)), v = static_cast<int>(rng() % (32 - h + 1));
    float x0 = static_cast<float>(x) - 0.5f, x1 = static_cast<float>(x + w) - 0.5f;
    float y0 = static_cast<float>(y) - 0.5f, y1 = static_cast<float>(y + h) - 0.5f;
    float u0 = u / 32.0f, u1 = (u + w) / 32.0f, v0 = v / 32.0f, v1 = (v + h) / 32.0f;
    // A flipped quad keeps its picture the right way round: its texture
    // coordinates flip with its corners.
    if (flipX) std::swap(x0, x1), std::swap(u0, u1);
    if (flipY) std::swap(y0, y1), std::swap(v0, v1);
    std::vector<TexVertex> vertices = Quad(x0, y0, x1, y1, u0, v0, u1, v1, 0xFFFFFFFFu);
    switch ((round / 12) % 4) {
      case 1:  // the second triangle's c off by a texel: not one texture map
        vertices[4].u += 1.0f / 32.0f;
        break;
      case 2:  // b moved along its edge: no longer a rectangle
        vertices[1].y += 2.0f;
        vertices[5].y += 2.0f;
        break;
      default:
        break;
    }
    const BothPaths drawn = DrawBothPaths(rng, kTargetW, kTargetH, D3DFMT_X8R8G8B8, state, vertices, round);
    ASSERT_TRUE(drawn.matched);
    ASSERT_EQ(drawn.fast.primitivesCulled, drawn.general.primitivesCulled) << "round " << round;
    fastTriangles += drawn.fast.fastPathTriangles;
    culled += drawn.general.primitivesCulled;
  }
  // Both the quick set-up and the refusals were met, and culling happened.
  EXPECT_GT(fastTriangles, 0);
  EXPECT_LT(fastTriangles, 240 * 2);
  EXPECT_GT(culled, 0);
}

}  // namespace
}  // namespace plat::raster
