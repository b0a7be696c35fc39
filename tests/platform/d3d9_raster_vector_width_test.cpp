// The fast rectangle path at each row width the processor offers (AVX-512,
// AVX2, none) against the general path: sprite cells of 32-bit sheets at one
// texel per pixel, stretched and mirrored (texel columns that do not rise by
// one), under every fast blend, alpha tests including ones no pixel passes,
// white and tinted diffuse colours, cells ending at the sheet's last texel.
// Glyph cells of 16-bit sheets, mostly texels of alpha 0, as text draws them,
// in each texel format the rows widen. Texels and targets at the channels'
// ends (0, 1, 254, 255; opaque black and white; clear) at every lane of rows
// up to two blocks and one pixel wide, which random colours never give.
// Every width must leave the general path's bytes and count its pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "platform/d3d9_raster.h"
#include "support/edge_pixels.h"
#include "tests/platform/d3d9_raster_fixture.h"

namespace plat::raster {
namespace {

using namespace plat::raster::testing;

constexpr int kTargetW = 120, kTargetH = 90;
constexpr int kSheetW = 64, kSheetH = 48;

// Sets the width limit for one scope and gives the default back.
class RowLimitScope {
 public:
  explicit RowLimitScope(VectorRowLimit limit) { LimitVectorRows(limit); }
  ~RowLimitScope() { LimitVectorRows(VectorRowLimit::kWidest); }
  RowLimitScope(const RowLimitScope&) = delete;
  RowLimitScope& operator=(const RowLimitScope&) = delete;
};

// Transparent corners, soft rims and opaque centres, with noise in colour.
OwnedSurface Sheet(std::mt19937& rng, std::uint32_t format) {
  OwnedSurface sheet(kSheetW, kSheetH, format);
  for (int y = 0; y < kSheetH; ++y) {
    for (int x = 0; x < kSheetW; ++x) {
      const int cx = x % 16 - 8, cy = y % 16 - 8, d = cx * cx + cy * cy;
      const std::uint32_t alpha = d < 30 ? 0xFFu : d < 64 ? static_cast<std::uint32_t>(rng() % 256) : 0u;
      sheet.Set(x, y, alpha << 24 | (rng() & 0xFFFFFFu));
    }
  }
  return sheet;
}

// A glyph per 16 x 16 cell: one stroke down and one across, the rest alpha 0.
OwnedSurface GlyphSheet(std::mt19937& rng, std::uint32_t format) {
  OwnedSurface sheet(kSheetW, kSheetH, format);
  for (int y = 0; y < kSheetH; ++y) {
    for (int x = 0; x < kSheetW; ++x) {
      const bool ink = x % 16 == 3 || x % 16 == 4 || y % 16 == 9;
      sheet.Set(x, y, (ink ? 0xFF000000u : 0u) | (rng() & 0xFFFFFFu));
    }
  }
  return sheet;
}

void UseBlend(std::mt19937& rng, State* state) {
  switch (rng() % 4) {
    case 0:
      break;  // no blending
    case 1:
      UseAlphaBlend(state);
      break;
    case 2:
      state->render[D3DRS_ALPHABLENDENABLE] = 1;
      state->render[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
      state->render[D3DRS_DESTBLEND] = D3DBLEND_ONE;
      break;
    default:
      state->render[D3DRS_ALPHABLENDENABLE] = 1;
      state->render[D3DRS_BLENDOP] = D3DBLENDOP_REVSUBTRACT;
      state->render[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
      state->render[D3DRS_DESTBLEND] = D3DBLEND_ONE;
      break;
  }
}

void UseAlphaTest(std::mt19937& rng, State* state) {
  if (rng() % 3 == 0) return;
  static constexpr std::uint32_t kFunctions[] = {D3DCMP_NEVER, D3DCMP_LESS,         D3DCMP_EQUAL, D3DCMP_LESSEQUAL,
                                                 D3DCMP_GREATER, D3DCMP_GREATEREQUAL, D3DCMP_ALWAYS};
  static constexpr std::uint32_t kRefs[] = {0, 1, 0x80, 0xFE, 0xFF};
  state->render[D3DRS_ALPHATESTENABLE] = 1;
  state->render[D3DRS_ALPHAFUNC] = kFunctions[rng() % std::size(kFunctions)];
  state->render[D3DRS_ALPHAREF] = kRefs[rng() % std::size(kRefs)];
}

// Six cells: plain, stretched twice or mirrored, some reaching the sheet's
// last column and row, some across the target's edges.
std::vector<TexVertex> Cells(std::mt19937& rng, std::uint32_t diffuse) {
  std::vector<TexVertex> vertices;
  for (int cell = 0; cell < 6; ++cell) {
    const int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 20);
    const int u = rng() % 3 == 0 ? kSheetW - w : static_cast<int>(rng() % (kSheetW - w + 1));
    const int v = rng() % 3 == 0 ? kSheetH - h : static_cast<int>(rng() % (kSheetH - h + 1));
    const int shape = static_cast<int>(rng() % 3);  // 0 plain, 1 stretched, 2 mirrored
    const int pixelsW = shape == 1 ? 2 * w : w;
    const int x = static_cast<int>(rng() % (kTargetW + pixelsW - 1)) - (pixelsW - 1);
    const int y = static_cast<int>(rng() % (kTargetH + h - 1)) - (h - 1);
    float u0 = static_cast<float>(u) / kSheetW, u1 = static_cast<float>(u + w) / kSheetW;
    if (shape == 2) std::swap(u0, u1);
    const std::vector<TexVertex> quad =
        Quad(static_cast<float>(x) - 0.5f, static_cast<float>(y) - 0.5f, static_cast<float>(x + pixelsW) - 0.5f,
             static_cast<float>(y + h) - 0.5f, u0, static_cast<float>(v) / kSheetH, u1,
             static_cast<float>(v + h) / kSheetH, diffuse);
    vertices.insert(vertices.end(), quad.begin(), quad.end());
  }
  return vertices;
}

// Draws the vertices over `start` on the general path and at every row
// width, which must agree; returns the triangles the fast path took.
int DrawAtEveryWidth(const State& state, const std::vector<TexVertex>& vertices, const OwnedSurface& start,
                     const std::string& what) {
  OwnedSurface general = start;
  Report generalReport;
  EXPECT_EQ(DrawList(general, state, vertices, kTexFvf, D3DPT_TRIANGLELIST, &generalReport, false), Status::kOk);
  int fastTriangles = 0;
  for (const VectorRowLimit limit : {VectorRowLimit::kWidest, VectorRowLimit::k256Bits, VectorRowLimit::kScalar}) {
    const RowLimitScope scope(limit);
    OwnedSurface fast = start;
    Report fastReport;
    EXPECT_EQ(DrawList(fast, state, vertices, kTexFvf, D3DPT_TRIANGLELIST, &fastReport, true), Status::kOk);
    EXPECT_EQ(fast.bytes, general.bytes) << what << ", limit " << static_cast<int>(limit);
    EXPECT_EQ(fastReport.pixelsWritten, generalReport.pixelsWritten) << what;
    fastTriangles += fastReport.fastPathTriangles;
  }
  return fastTriangles;
}

OwnedSurface NoisyTarget(std::mt19937& rng, int round) {
  OwnedSurface start(kTargetW, kTargetH, (round / 2) % 2 == 0 ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8);
  for (auto& byte : start.bytes) byte = static_cast<std::uint8_t>(rng());
  return start;
}

// Rounds of random cells over noisy targets, each round on the next sheet
// under a random blend, alpha test and diffuse colour; returns the triangles
// the fast path took.
int DrawRandomCells(std::mt19937& rng, std::span<const OwnedSurface> sheets, int rounds) {
  int fastTriangles = 0;
  for (int round = 0; round < rounds && !::testing::Test::HasFailure(); ++round) {
    const OwnedSurface start = NoisyTarget(rng, round);
    State state = TwoDState(kTargetW, kTargetH);
    state.textures[0] = sheets[static_cast<std::size_t>(round) % sheets.size()].view;
    UseBlend(rng, &state);
    UseAlphaTest(rng, &state);
    const std::uint32_t diffuse = rng() % 2 == 0 ? 0xFFFFFFFFu : 0xFF000000u | (rng() & 0xFFFFFFu);
    const std::uint32_t tinted = rng() % 3 == 0 ? (diffuse & 0x00FFFFFFu) | 0x90000000u : diffuse;
    fastTriangles += DrawAtEveryWidth(state, Cells(rng, tinted), start, "round " + std::to_string(round));
  }
  return fastTriangles;
}

TEST(RasterVectorWidths, EveryRowWidthDrawsTheGeneralPathsPixels) {
  std::mt19937 rng(8086);
  const OwnedSurface sheets[] = {Sheet(rng, D3DFMT_A8R8G8B8), Sheet(rng, D3DFMT_X8R8G8B8)};
  // Every cell is one the fast path takes, at every width.
  EXPECT_EQ(DrawRandomCells(rng, sheets, 300), 300 * 3 * 6 * 2);
}

TEST(RasterVectorWidths, GlyphCellsOfSixteenBitSheetsDrawTheGeneralPathsPixels) {
  std::mt19937 rng(1987);
  const OwnedSurface sheets[] = {GlyphSheet(rng, D3DFMT_A1R5G5B5), GlyphSheet(rng, D3DFMT_A4R4G4B4),
                                 GlyphSheet(rng, D3DFMT_R5G6B5), GlyphSheet(rng, D3DFMT_X1R5G5B5),
                                 GlyphSheet(rng, D3DFMT_A8R8G8B8)};
  EXPECT_EQ(DrawRandomCells(rng, sheets, 250), 250 * 3 * 6 * 2);
}

// Each row of the sheet holds the edge pixels turned one further than the row
// above, so a cell of every row puts each of them at each lane.
OwnedSurface EdgeSurface(int width, int height, std::uint32_t format, std::size_t turn) {
  const std::vector<std::uint32_t> edges = qz::testing::EdgePixels();
  OwnedSurface surface(width, height, format);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) surface.Set(x, y, edges[(static_cast<std::size_t>(x + y) + turn) % edges.size()]);
  }
  return surface;
}

TEST(RasterVectorWidths, EdgePixelsAtEveryLaneDrawTheGeneralPathsPixels) {
  constexpr int kWidestBlock = 16;
  const OwnedSurface sheets[] = {EdgeSurface(kSheetW, kSheetH, D3DFMT_A8R8G8B8, 0),
                                 EdgeSurface(kSheetW, kSheetH, D3DFMT_X8R8G8B8, 5),
                                 EdgeSurface(kSheetW, kSheetH, D3DFMT_A1R5G5B5, 9),
                                 EdgeSurface(kSheetW, kSheetH, D3DFMT_A4R4G4B4, 13)};
  const OwnedSurface targets[] = {EdgeSurface(kTargetW, kTargetH, D3DFMT_X8R8G8B8, 3),
                                  EdgeSurface(kTargetW, kTargetH, D3DFMT_A8R8G8B8, 11)};
  std::mt19937 rng(255);
  int fastTriangles = 0;
  for (int width = 1; width <= 2 * kWidestBlock + 1 && !HasFailure(); ++width) {
    for (int draw = 0; draw < 24; ++draw) {
      const OwnedSurface& sheet = sheets[draw % std::size(sheets)];
      State state = TwoDState(kTargetW, kTargetH);
      state.textures[0] = sheet.view;
      UseBlend(rng, &state);
      UseAlphaTest(rng, &state);
      static constexpr std::uint32_t kDiffuse[] = {0xFFFFFFFFu, 0xFF000000u, 0xFE01FF80u};
      const float x = static_cast<float>(draw % 3), u0 = static_cast<float>(draw % 7) / kSheetW;
      const std::vector<TexVertex> cell = Quad(x - 0.5f, -0.5f, x + static_cast<float>(width) - 0.5f,
                                               kSheetH - 0.5f, u0, 0.0f, u0 + static_cast<float>(width) / kSheetW,
                                               1.0f, kDiffuse[draw % std::size(kDiffuse)]);
      fastTriangles += DrawAtEveryWidth(state, cell, targets[draw % 2],
                                        "width " + std::to_string(width) + ", draw " + std::to_string(draw));
    }
  }
  EXPECT_EQ(fastTriangles, 33 * 24 * 3 * 2) << "every cell is one the fast path takes";
}

}  // namespace
}  // namespace plat::raster
