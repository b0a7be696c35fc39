// The fast rectangle path against the general path: the same draws on the
// same starting pixels must leave identical bytes, over random rectangles,
// textures, formats, address modes, stage set-ups and blend states; and the
// fast path must take the library's quads and leave other shapes alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/d3d9_raster.h"
#include "tests/platform/d3d9_raster_fixture.h"

namespace plat::raster {
namespace {

using namespace plat::raster::testing;

constexpr int kTargetW = 48, kTargetH = 40;

struct Scenario {
  State state;
  std::vector<TexVertex> vertices;
  std::uint32_t primitiveType = D3DPT_TRIANGLELIST;
};

// A coordinate on whole pixels, half pixels or finer fractions.
float Coordinate(std::mt19937& rng, int lo, int hi) {
  static const float kFractions[] = {0.0f, 0.0f, -0.5f, -0.5f, 0.5f, 0.25f, 0.125f, 0.3f, 0.75f};
  return static_cast<float>(std::uniform_int_distribution<int>(lo, hi)(rng)) + kFractions[rng() % 9];
}

void RandomStage(std::mt19937& rng, State* state) {
  auto& ts = state->stage[0];
  switch (rng() % 6) {
    case 0:  // the library's usual textured set-up: texture x diffuse
      break;
    case 1:
      ts[D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
      ts[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
      break;
    case 2:  // colour replaced by the factor, alpha from the texture
      ts[D3DTSS_COLORARG1] = D3DTA_TFACTOR;
      ts[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
      break;
    case 3:  // alpha from the diffuse colour only
      ts[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG2;
      break;
    case 4:
      UseDiffuseOnly(state);
      break;
    default:  // a set-up the fast path leaves to the general path
      ts[D3DTSS_COLOROP] = D3DTOP_MODULATE2X;
      break;
  }
}

void RandomBlend(std::mt19937& rng, State* state) {
  auto& rs = state->render;
  struct Row {
    std::uint32_t src, dst, op;
  };
  static const Row kRows[] = {
      {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD},   // alpha
      {D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD},           // additive
      {D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD},      // inverted
      {D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD},          // multiplicative
      {D3DBLEND_ZERO, D3DBLEND_ONE, D3DBLENDOP_ADD},               // destination kept
      {D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT},   // subtractive
  };
  const unsigned pick = rng() % 8;
  rs[D3DRS_ALPHABLENDENABLE] = pick < 6 ? 1 : 0;
  if (pick < 6) {
    rs[D3DRS_SRCBLEND] = kRows[pick].src;
    rs[D3DRS_DESTBLEND] = kRows[pick].dst;
    rs[D3DRS_BLENDOP] = kRows[pick].op;
  }
  if (rng() % 3 == 0) {
    rs[D3DRS_ALPHATESTENABLE] = 1;
    rs[D3DRS_ALPHAREF] = rng() % 256;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_NEVER + rng() % 8;
  }
}

// Quads as the library builds them (and as strips, and with the other
// diagonal): whole or fractional corners, 1:1, stretched, squeezed, mirrored,
// sub-rectangles of the texture, partly off the target.
Scenario RandomScenario(std::mt19937& rng, const Surface& texture) {
  Scenario sc;
  sc.state = TwoDState(kTargetW, kTargetH);
  sc.state.textures[0] = texture;
  sc.state.render[D3DRS_TEXTUREFACTOR] = rng();
  static const std::uint32_t kModes[] = {D3DTADDRESS_CLAMP, D3DTADDRESS_CLAMP, D3DTADDRESS_WRAP, D3DTADDRESS_MIRROR,
                                         D3DTADDRESS_BORDER};
  sc.state.sampler[0][D3DSAMP_ADDRESSU] = kModes[rng() % 5];
  sc.state.sampler[0][D3DSAMP_ADDRESSV] = kModes[rng() % 5];
  sc.state.sampler[0][D3DSAMP_BORDERCOLOR] = rng();
  if (rng() % 6 == 0) sc.state.sampler[0][D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
  if (rng() % 5 == 0) sc.state.render[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  if (rng() % 5 == 0) sc.state.viewport = Viewport{3, 2, 30, 31, 0.0f, 1.0f};
  RandomStage(rng, &sc.state);
  RandomBlend(rng, &sc.state);
  const int shape = static_cast<int>(rng() % 4);
  sc.primitiveType = shape == 1 ? D3DPT_TRIANGLESTRIP : D3DPT_TRIANGLELIST;
  const int quads = sc.primitiveType == D3DPT_TRIANGLESTRIP ? 1 : 1 + static_cast<int>(rng() % 4);
  for (int q = 0; q < quads; ++q) {
    const float x0 = Coordinate(rng, -6, kTargetW - 4), y0 = Coordinate(rng, -6, kTargetH - 4);
    const float scale = std::uniform_int_distribution<int>(0, 3)(rng) == 0 ? 1.0f : 0.25f * static_cast<float>(1 + rng() % 12);
    const float x1 = x0 + static_cast<float>(texture.width) * scale, y1 = y0 + static_cast<float>(texture.height) * scale;
    float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
    if (rng() % 3 == 0) {
      u0 = static_cast<float>(rng() % 4) / 8.0f;
      v0 = static_cast<float>(rng() % 4) / 8.0f;
      u1 = u0 + 0.5f;
      v1 = v0 + 0.5f;
    }
    if (rng() % 4 == 0) std::swap(u0, u1);  // mirrored
    if (rng() % 6 == 0) {
      u0 -= 1.0f;
      v1 += 1.0f;
    }
    const std::uint32_t diffuse = rng() % 3 == 0 ? 0xFFFFFFFFu : rng();
    std::vector<TexVertex> quad = Quad(x0, y0, x1, y1, u0, v0, u1, v1, diffuse);
    if (shape == 1) {
      quad.resize(4);  // TL, TR, BL, BR as a strip
    } else if (shape == 2) {
      // The other diagonal: (TL, TR, BR) and (TL, BR, BL).
      quad = {quad[0], quad[1], quad[3], quad[0], quad[3], quad[2]};
    } else if (shape == 3 && rng() % 2 == 0) {
      std::swap(quad[1], quad[2]);  // counter-clockwise first triangle
    }
    if (sc.state.render[D3DRS_SHADEMODE] == D3DSHADE_GOURAUD && rng() % 2 == 0) quad[3].diffuse ^= 0x10101010u;
    sc.vertices.insert(sc.vertices.end(), quad.begin(), quad.end());
  }
  return sc;
}

OwnedSurface RandomImage(std::mt19937& rng, int w, int h, std::uint32_t format) {
  OwnedSurface s(w, h, format, static_cast<int>(rng() % 3) * 4);
  for (auto& byte : s.bytes) byte = static_cast<std::uint8_t>(rng());
  // Many sprite texels are fully transparent or fully opaque.
  if (BytesPerPixel(format) == 4) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const unsigned kind = rng() % 4;
        if (kind < 2) s.bytes[static_cast<std::size_t>(y) * s.view.pitchBytes + x * 4 + 3] = kind == 0 ? 0 : 255;
      }
    }
  }
  return s;
}

TEST(RasterFastPath, DrawsTheSamePixelsAsTheGeneralPath) {
  std::mt19937 rng(20261207);
  const std::uint32_t targetFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5};
  const std::uint32_t textureFormats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5,
                                          D3DFMT_R5G6B5};
  int fastTriangles = 0, scenarios = 0;
  for (int round = 0; round < 1500; ++round) {
    const std::uint32_t targetFormat = targetFormats[rng() % 4];
    const OwnedSurface texture = RandomImage(rng, 1 + static_cast<int>(rng() % 24), 1 + static_cast<int>(rng() % 24),
                                             textureFormats[rng() % 5]);
    const Scenario sc = RandomScenario(rng, texture.view);
    const OwnedSurface start = RandomImage(rng, kTargetW, kTargetH, targetFormat);
    OwnedSurface fast = start, general = start;
    Report fastReport, generalReport;
    ASSERT_EQ(DrawList(fast, sc.state, sc.vertices, kTexFvf, sc.primitiveType, &fastReport, true), Status::kOk);
    ASSERT_EQ(DrawList(general, sc.state, sc.vertices, kTexFvf, sc.primitiveType, &generalReport, false), Status::kOk);
    ASSERT_EQ(fast.bytes, general.bytes) << "round " << round;
    ASSERT_EQ(fastReport.pixelsWritten, generalReport.pixelsWritten) << "round " << round;
    ASSERT_EQ(fastReport.primitivesDrawn + fastReport.primitivesCulled,
              generalReport.primitivesDrawn + generalReport.primitivesCulled);
    EXPECT_EQ(generalReport.fastPathTriangles, 0);
    fastTriangles += fastReport.fastPathTriangles;
    ++scenarios;
  }
  // Most scenarios are ones the fast path takes.
  EXPECT_GT(fastTriangles, scenarios);
}

TEST(RasterFastPath, TakesTheLibrarysQuadsAndLeavesOtherShapes) {
  OwnedSurface texture(8, 8, D3DFMT_A8R8G8B8);
  texture.Fill(0x80FF8040u);
  State state = TwoDState(32, 32);
  state.textures[0] = texture.view;
  UseAlphaBlend(&state);
  OwnedSurface target(32, 32, D3DFMT_X8R8G8B8);
  Report report;
  ASSERT_EQ(DrawList(target, state, Quad(3.5f, 4.5f, 11.5f, 12.5f, 0, 0, 1, 1, 0xC0FFFFFFu), kTexFvf,
                     D3DPT_TRIANGLELIST, &report),
            Status::kOk);
  EXPECT_EQ(report.fastPathTriangles, 2);
  EXPECT_EQ(report.pixelsWritten, 64);
  // Untextured rectangles too.
  State solid = state;
  UseDiffuseOnly(&solid);
  ASSERT_EQ(DrawList(target, solid, SolidQuad(0, 0, 5, 5, 0xFF00FF00u), kColorFvf, D3DPT_TRIANGLELIST, &report),
            Status::kOk);
  EXPECT_EQ(report.fastPathTriangles, 2);

  // A rotated quad, two triangles on the same side of an edge (overlapping),
  // and a lone triangle are not rectangles: the rectangle path leaves them to
  // the triangle paths.
  std::vector<TexVertex> rotated = Quad(3, 4, 11, 12, 0, 0, 1, 1);
  rotated[1].y += 1.0f;
  rotated[5].y += 1.0f;
  std::vector<TexVertex> overlapping = Quad(3, 4, 11, 12, 0, 0, 1, 1);
  overlapping[3] = overlapping[0];
  overlapping[4] = overlapping[1];
  overlapping[5] = Quad(3, 4, 11, 12, 0, 0, 1, 1)[3];
  for (const auto* vertices : {&rotated, &overlapping}) {
    ASSERT_EQ(DrawList(target, state, *vertices, kTexFvf, D3DPT_TRIANGLELIST, &report), Status::kOk);
    EXPECT_EQ(report.fastPathTriangles, 0);
    EXPECT_EQ(report.primitivesDrawn, 2);
  }
  // With a depth test on, the general path draws.
  OwnedSurface depth(32, 32, D3DFMT_D16);
  depth.FillDepth(1.0f);
  state.render[D3DRS_ZENABLE] = D3DZB_TRUE;
  ASSERT_EQ(DrawList(target, state, Quad(3.5f, 4.5f, 11.5f, 12.5f, 0, 0, 1, 1), kTexFvf, D3DPT_TRIANGLELIST, &report,
                     true, &depth.view),
            Status::kOk);
  EXPECT_EQ(report.fastPathTriangles, 0);
  EXPECT_EQ(report.pixelsWritten, 64);
}

// A batch of sprites whose colours change from quad to quad, and sometimes
// repeat, draws each in its own colour, as the general path does: the
// rectangle path's factors are reused only for the colours they came from.
TEST(RasterFastPath, SpritesOfChangingColoursInOneBatchDrawTheGeneralPathsPixels) {
  std::mt19937 rng(77);
  const OwnedSurface texture = RandomImage(rng, 8, 8, D3DFMT_A8R8G8B8);
  State state = TwoDState(kTargetW, kTargetH);
  state.textures[0] = texture.view;
  UseAlphaBlend(&state);
  const std::uint32_t colours[] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0x80FF4020u, 0xFF00FF00u, 0x80FF4020u, 0x40FFFFFFu};
  std::vector<TexVertex> vertices;
  for (int i = 0; i < 12; ++i) {
    const float x = static_cast<float>(i % 4 * 10) - 0.5f, y = static_cast<float>(i / 4 * 12) - 0.5f;
    const std::vector<TexVertex> quad = Quad(x, y, x + 8, y + 8, 0, 0, 1, 1, colours[i % 6]);
    vertices.insert(vertices.end(), quad.begin(), quad.end());
  }
  const OwnedSurface start = RandomImage(rng, kTargetW, kTargetH, D3DFMT_X8R8G8B8);
  OwnedSurface fast = start, general = start;
  Report fastReport, generalReport;
  ASSERT_EQ(DrawList(fast, state, vertices, kTexFvf, D3DPT_TRIANGLELIST, &fastReport, true), Status::kOk);
  ASSERT_EQ(DrawList(general, state, vertices, kTexFvf, D3DPT_TRIANGLELIST, &generalReport, false), Status::kOk);
  EXPECT_EQ(fastReport.fastPathTriangles, 24);
  EXPECT_EQ(fast.bytes, general.bytes);
}

// Sprites set up from their vertices must land on the general path's texels
// even where pixel centres fall on texel boundaries (scale 2 from a whole
// pixel, where the planes' rounding decides) or just beside them (thirds),
// for odd and even texture sizes.
TEST(RasterFastPath, ScaledSpritesNearTexelBoundariesDrawTheGeneralPathsTexels) {
  std::mt19937 rng(31);
  int fastTriangles = 0;
  for (const int side : {3, 5, 16, 17}) {
    for (const float scale : {0.5f, 1.0f, 1.5f, 2.0f, 3.0f}) {
      for (const float offset : {0.0f, -0.5f, 0.5f, -0.25f}) {
        const OwnedSurface texture = RandomImage(rng, side, side + 2, D3DFMT_A8R8G8B8);
        State state = TwoDState(kTargetW, kTargetH);
        state.textures[0] = texture.view;
        UseAlphaBlend(&state);
        const float x0 = 2.0f + offset, y0 = 1.0f + offset;
        const std::vector<TexVertex> quad = Quad(x0, y0, x0 + static_cast<float>(side) * scale,
                                                 y0 + static_cast<float>(side + 2) * scale, 0, 0, 1, 1, 0xFFFFFFFFu);
        const OwnedSurface start = RandomImage(rng, kTargetW, kTargetH, D3DFMT_X8R8G8B8);
        OwnedSurface fast = start, general = start;
        Report fastReport, generalReport;
        ASSERT_EQ(DrawList(fast, state, quad, kTexFvf, D3DPT_TRIANGLELIST, &fastReport, true), Status::kOk);
        ASSERT_EQ(DrawList(general, state, quad, kTexFvf, D3DPT_TRIANGLELIST, &generalReport, false), Status::kOk);
        ASSERT_EQ(fast.bytes, general.bytes) << "side " << side << " scale " << scale << " offset " << offset;
        ASSERT_EQ(fastReport.pixelsWritten, generalReport.pixelsWritten);
        fastTriangles += fastReport.fastPathTriangles;
      }
    }
  }
  // Most take a fast path; exact boundaries may leave a quad to the triangles.
  EXPECT_GT(fastTriangles, 4 * 5 * 4);
}

}  // namespace
}  // namespace plat::raster
