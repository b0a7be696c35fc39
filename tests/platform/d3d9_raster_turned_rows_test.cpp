// Turned sprites as the game draws its effects and creatures: large sprite
// sheets sampled by point and clamped, white, tinted or fading vertices,
// copied behind the transparent colour's test or added at the texel's alpha. The vector rows
// that draw them must leave the general path's bytes and counts; the row
// spans they walk must be the ones a fresh division finds for every row.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "platform/d3d9_raster.h"
#include "platform/d3d9_raster_triangle_span.h"
#include "tests/platform/d3d9_raster_fixture.h"

namespace plat::raster {
namespace {

using namespace plat::raster::testing;

TEST(RasterRowSpans, SteppedRowByRowMatchFreshDivisionsAndTheTopLeftRule) {
  DrawSetup setup;
  setup.clip = Rect{0, 0, 64, 64};
  auto setUp = [&](double ax, double ay, double bx, double by, double cx, double cy, TriangleSetup* tri) {
    Vertex a, b, c;
    a.x = ax, a.y = ay, b.x = bx, b.y = by, c.x = cx, c.y = cy;
    return SetUpTriangle(setup, a, b, c, a, false, tri);
  };
  // Pixel centres on whole numbers: the top and left edges own their
  // pixels, the long edge does not.
  TriangleSetup corner;
  ASSERT_EQ(setUp(0, 0, 8, 0, 0, 8, &corner), TriangleFate::kDraw);
  RowSpanWalker walker(corner, corner.rowFirst);
  for (int py = corner.rowFirst; py <= corner.rowLast; ++py) {
    int first = -1, last = -1;
    const bool covered = walker.Next(&first, &last);
    ASSERT_EQ(covered, py < 8) << "row " << py;
    if (covered) {
      EXPECT_EQ(first, 0) << "row " << py;
      EXPECT_EQ(last, 7 - py) << "row " << py;
    }
  }

  // Slivers, flat tops and bottoms, vertices far outside the clip and at
  // any 1/256 position, both windings.
  std::mt19937 rng(515);
  std::uniform_real_distribution<double> near(-20.0, 84.0), far(-200000.0, 200000.0);
  int rowsCompared = 0;
  for (int round = 0; round < 3000; ++round) {
    setup.clip = Rect{static_cast<int>(rng() % 8), static_cast<int>(rng() % 8), 40 + static_cast<int>(rng() % 24),
                      40 + static_cast<int>(rng() % 24)};
    auto coordinate = [&] {
      const double c = rng() % 8 == 0 ? far(rng) : near(rng);
      return rng() % 4 == 0 ? std::round(c) : c;
    };
    double v[6];
    for (double& c : v) c = coordinate();
    if (rng() % 4 == 0) v[3] = v[1];  // a horizontal edge
    if (rng() % 8 == 0) v[4] = v[0] + 0.01;  // a near-vertical sliver
    TriangleSetup tri;
    if (setUp(v[0], v[1], v[2], v[3], v[4], v[5], &tri) != TriangleFate::kDraw) continue;
    RowSpanWalker stepped(tri, tri.rowFirst);
    for (int py = tri.rowFirst; py <= tri.rowLast; ++py, ++rowsCompared) {
      int first = 0, last = 0, freshFirst = 0, freshLast = 0;
      const bool covered = stepped.Next(&first, &last);
      ASSERT_EQ(covered, RowSpan(tri, py, &freshFirst, &freshLast)) << "round " << round << " row " << py;
      if (covered) {
        ASSERT_EQ(first, freshFirst) << "round " << round << " row " << py;
        ASSERT_EQ(last, freshLast) << "round " << round << " row " << py;
      }
    }
  }
  EXPECT_GT(rowsCompared, 20000);
}

// A sheet of sprite cells, most texels fully transparent or opaque.
OwnedSurface SpriteSheet(std::mt19937& rng, int width, int height, std::uint32_t format) {
  OwnedSurface sheet(width, height, format, static_cast<int>(rng() % 2) * 16);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned kind = rng() % 8;
      const std::uint32_t alpha = kind < 3 ? 0u : kind < 6 ? 0xFFu : rng() & 0xFFu;
      sheet.Set(x, y, alpha << 24 | (rng() & 0xFFFFFFu));
    }
  }
  return sheet;
}

// One cell of the sheet, at times shifted past the sheet's edges, turned and
// scaled about a centre that may put the sprite across any edge of the
// target, the last rows included.
std::vector<TexVertex> TurnedCell(std::mt19937& rng, int sheetW, int sheetH, int targetW, int targetH,
                                  std::uint32_t diffuse) {
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  const int cellW = 8 << (rng() % 4), cellH = 8 << (rng() % 4);
  const int cellX = static_cast<int>(rng() % static_cast<unsigned>(std::max(1, sheetW / cellW))) * cellW;
  const int cellY = static_cast<int>(rng() % static_cast<unsigned>(std::max(1, sheetH / cellH))) * cellH;
  float u0 = static_cast<float>(cellX) / sheetW, v0 = static_cast<float>(cellY) / sheetH;
  float u1 = static_cast<float>(cellX + cellW) / sheetW, v1 = static_cast<float>(cellY + cellH) / sheetH;
  if (rng() % 6 == 0) {  // past the sheet's edges, where clamping holds the texels
    const float shift = unit(rng) - 0.5f;
    u0 += shift, u1 += shift, v0 -= shift, v1 -= shift;
  }
  const float scale = 0.25f + unit(rng) * 2.75f;
  const float halfW = cellW * scale / 2, halfH = cellH * scale / 2;
  const float cx = unit(rng) * targetW, cy = rng() % 3 == 0 ? targetH - unit(rng) * 4 : unit(rng) * targetH;
  const float angle = unit(rng) * 6.2831853f;
  return TurnedQuadAbout(cx, cy, halfW, halfH, angle, u0, v0, u1, v1, diffuse);
}

TEST(RasterTurnedSprites, SheetCellsCopiedOrAddedMatchTheGeneralPath) {
  std::mt19937 rng(77);
  constexpr int kTargetW = 160, kTargetH = 120;
  const int sheetSizes[][2] = {{512, 128}, {512, 256}, {64, 64}, {37, 19}};
  int roundsDrawn = 0;
  for (int round = 0; round < 240; ++round) {
    const int* size = sheetSizes[round % 4];
    const OwnedSurface sheet = SpriteSheet(rng, size[0], size[1], rng() % 4 == 0 ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8);
    State state = TwoDState(kTargetW, kTargetH);
    state.textures[0] = sheet.view;
    auto& rs = state.render;
    const bool additive = rng() % 2 == 0;
    if (additive) {
      rs[D3DRS_ALPHABLENDENABLE] = 1;
      rs[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
      rs[D3DRS_DESTBLEND] = D3DBLEND_ONE;
    }
    if (!additive || rng() % 2 == 0) {
      // The transparent colour's test mostly; a test whose passing alphas
      // are no single range at times.
      rs[D3DRS_ALPHATESTENABLE] = 1;
      const unsigned which = rng() % 4;
      rs[D3DRS_ALPHAFUNC] = which == 0 ? D3DCMP_NOTEQUAL : which == 1 ? D3DCMP_LESSEQUAL : D3DCMP_GREATER;
      rs[D3DRS_ALPHAREF] = which == 3 ? 16 : rng() % 256;
    }
    std::vector<TexVertex> vertices;
    for (int sprite = 0, sprites = 1 + static_cast<int>(rng() % 6); sprite < sprites; ++sprite) {
      // White mostly; tinted or fading at times.
      const std::uint32_t diffuse = rng() % 3 == 0 ? static_cast<std::uint32_t>(rng()) : 0xFFFFFFFFu;
      const std::vector<TexVertex> cell = TurnedCell(rng, size[0], size[1], kTargetW, kTargetH, diffuse);
      vertices.insert(vertices.end(), cell.begin(), cell.end());
    }
    const BothPaths drawn = DrawBothPaths(rng, kTargetW, kTargetH, rng() % 2 == 0 ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8,
                                          state, vertices, round);
    ASSERT_TRUE(drawn.matched);
    if (drawn.fast.pixelsWritten > 0) ++roundsDrawn;
  }
  EXPECT_GT(roundsDrawn, 200);
}

}  // namespace
}  // namespace plat::raster
