// Rasteriser coverage and primitives: which pixels a primitive touches
// (pixel centres, top-left rule, shared edges, culling, viewport and scissor),
// flat and Gouraud colours, points, lines, fill modes, indices, and the draws
// that must be refused without touching the target.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "platform/d3d9_raster.h"
#include "tests/platform/d3d9_raster_fixture.h"

namespace plat::raster {
namespace {

using namespace plat::raster::testing;

// Counting state: every covered pixel adds 1 to blue.
State CountingState(int width, int height) {
  State state = TwoDState(width, height);
  UseDiffuseOnly(&state);
  state.render[D3DRS_ALPHABLENDENABLE] = 1;
  state.render[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  state.render[D3DRS_DESTBLEND] = D3DBLEND_ONE;
  return state;
}

constexpr std::uint32_t kOneHit = 0xFF000001u;

std::vector<ColorVertex> Triangle(float x0, float y0, float x1, float y1, float x2, float y2,
                                  std::uint32_t color = kOneHit) {
  return {{x0, y0, 0, 1, color}, {x1, y1, 0, 1, color}, {x2, y2, 0, 1, color}};
}

// Row y as '.' for pixels never covered, '#' for those covered once and the
// count for those covered more often.
std::string Row(const OwnedSurface& s, int y) {
  std::string row;
  for (int x = 0; x < s.view.width; ++x) {
    const std::uint32_t hits = s.Get(x, y) & 0xFF;
    row += hits == 0 ? '.' : hits == 1 ? '#' : static_cast<char>('0' + std::min(hits, 9u));
  }
  return row;
}

std::vector<std::string> Rows(const OwnedSurface& s) {
  std::vector<std::string> rows;
  for (int y = 0; y < s.view.height; ++y) rows.push_back(Row(s, y));
  return rows;
}

// Which pixels each primitive covers, and how often, on a square counting target.
TEST(RasterCoverage, EachPrimitiveCoversItsPixelsOnce) {
  const std::vector<std::string> blank(8, "........");
  const auto only = [&](std::initializer_list<std::pair<int, const char*>> rows) {
    std::vector<std::string> picture = blank;
    for (const auto& [y, row] : rows) picture[static_cast<std::size_t>(y)] = row;
    return picture;
  };
  const std::vector<ColorVertex> cover = SolidQuad(-10, -10, 20, 20, kOneHit);
  const std::vector<ColorVertex> line{{1, 6, 0, 1, kOneHit}, {5, 6, 0, 1, kOneHit}};
  struct Case {
    const char* name;
    void (*setup)(State*);
    std::vector<ColorVertex> vertices;
    std::uint32_t type;
    std::vector<std::string> rows;
  };
  const auto none = [](State*) {};
  const auto viewport = [](State* s) {
    s->viewport = Viewport{2, 1, 4, 3, 0.0f, 1.0f};
    s->scissor = Rect{0, 0, 3, 8};
  };
  const Case cases[] = {
      // Left and top edges through pixel centres own them; right and bottom do not.
      {"quad on whole coordinates", none, SolidQuad(0, 0, 4, 4, kOneHit), D3DPT_TRIANGLELIST,
       only({{0, "####...."}, {1, "####...."}, {2, "####...."}, {3, "####...."}})},
      {"quad on pixel centres", none, SolidQuad(0.5f, 0.5f, 4.5f, 4.5f, kOneHit), D3DPT_TRIANGLELIST,
       only({{1, ".####..."}, {2, ".####..."}, {3, ".####..."}, {4, ".####..."}})},
      {"triangle", none, Triangle(0, 0, 4, 0, 0, 4), D3DPT_TRIANGLELIST,
       only({{0, "####...."}, {1, "###....."}, {2, "##......"}, {3, "#......."}})},
      // Turned half way round: the slanted edge is now a left edge and owns the
      // pixels on it, while the right edge at x = 4 and the bottom edge do not.
      {"triangle turned half way", none, Triangle(4, 0, 4, 4, 0, 4), D3DPT_TRIANGLELIST,
       only({{1, "...#...."}, {2, "..##...."}, {3, ".###...."}})},
      // The scissor rectangle is kept but applies only when its test is on.
      {"viewport", viewport, cover, D3DPT_TRIANGLELIST, only({{1, "..####.."}, {2, "..####.."}, {3, "..####.."}})},
      {"scissor",
       [](State* s) {
         s->viewport = Viewport{2, 1, 4, 3, 0.0f, 1.0f};
         s->scissor = Rect{0, 0, 3, 8};
         s->render[D3DRS_SCISSORTESTENABLE] = 1;
       },
       cover, D3DPT_TRIANGLELIST, only({{1, "..#....."}, {2, "..#....."}, {3, "..#....."}})},
      {"viewport past the target, cut to it", [](State* s) { s->viewport = Viewport{6, 6, 100, 100, 0.0f, 1.0f}; },
       cover, D3DPT_TRIANGLELIST, only({{6, "......##"}, {7, "......##"}})},
      {"points take their pixel", none,
       {{2.4f, 3.6f, 0, 1, kOneHit}, {1.5f, 1.5f, 0, 1, kOneHit}, {-3.0f, 1.0f, 0, 1, kOneHit}}, D3DPT_POINTLIST,
       only({{2, "..#....."}, {4, "..#....."}})},
      {"line to its last pixel", none, line, D3DPT_LINELIST, only({{6, ".#####.."}})},
      {"line short of its last pixel", [](State* s) { s->render[D3DRS_LASTPIXEL] = 0; }, line, D3DPT_LINELIST,
       only({{6, ".####..."}})},
      // A steep strip walks rows: one pixel per row.
      {"steep line strip", [](State* s) { s->render[D3DRS_LASTPIXEL] = 0; },
       {{1, 0, 0, 1, kOneHit}, {3, 6, 0, 1, kOneHit}, {3, 7, 0, 1, kOneHit}}, D3DPT_LINESTRIP,
       {".#......", ".#......", "..#.....", "..#.....", "..#.....", "...#....", "...#....", "........"}},
      // Each edge stops short of the next one's first pixel, so corners are hit once.
      {"wireframe draws the edges", [](State* s) { s->render[D3DRS_FILLMODE] = D3DFILL_WIREFRAME; },
       Triangle(1, 1, 6, 1, 1, 6), D3DPT_TRIANGLELIST,
       {"........", ".######.", ".#...#..", ".#..#...", ".#.#....", ".##.....", ".#......", "........"}},
      {"point fill draws the corners", [](State* s) { s->render[D3DRS_FILLMODE] = D3DFILL_POINT; },
       Triangle(1, 1, 6, 1, 1, 6), D3DPT_TRIANGLELIST, only({{1, ".#....#."}, {6, ".#......"}})},
  };
  for (const Case& c : cases) {
    State state = CountingState(8, 8);
    c.setup(&state);
    OwnedSurface target(8, 8, D3DFMT_X8R8G8B8);
    ASSERT_EQ(DrawList(target, state, c.vertices, kColorFvf, c.type), Status::kOk) << c.name;
    EXPECT_EQ(Rows(target), c.rows) << c.name;
  }
}

// Triangulates a jittered grid (both diagonals, both windings) and checks
// that the covered area is hit exactly once everywhere.
TEST(RasterCoverage, SharedEdgesTouchEachPixelOnce) {
  constexpr int kSize = 40, kCells = 5;
  std::mt19937 rng(7);
  // Jitter from a list that includes the exact cases: whole, half and quarter pixels.
  const float jitters[] = {0.0f, 0.5f, -0.5f, 0.25f, 1.0f, -1.0f, 0.375f, 0.1f, -0.7f};
  for (int round = 0; round < 20; ++round) {
    float px[kCells + 1][kCells + 1], py[kCells + 1][kCells + 1];
    for (int j = 0; j <= kCells; ++j) {
      for (int i = 0; i <= kCells; ++i) {
        const bool inner = i > 0 && j > 0 && i < kCells && j < kCells;
        px[j][i] = 4.0f + i * 6.0f + (inner ? jitters[rng() % 9] : 0.0f);
        py[j][i] = 3.0f + j * 6.0f + (inner ? jitters[rng() % 9] : 0.0f);
      }
    }
    std::vector<ColorVertex> vertices;
    auto put = [&](int i, int j) { vertices.push_back({px[j][i], py[j][i], 0, 1, kOneHit}); };
    for (int j = 0; j < kCells; ++j) {
      for (int i = 0; i < kCells; ++i) {
        const bool mainDiagonal = (rng() & 1) != 0, flip = (rng() & 1) != 0;
        int tris[2][3][2];
        if (mainDiagonal) {
          const int t[2][3][2] = {{{i, j}, {i + 1, j}, {i + 1, j + 1}}, {{i, j}, {i + 1, j + 1}, {i, j + 1}}};
          std::memcpy(tris, t, sizeof t);
        } else {
          const int t[2][3][2] = {{{i, j}, {i + 1, j}, {i, j + 1}}, {{i + 1, j}, {i + 1, j + 1}, {i, j + 1}}};
          std::memcpy(tris, t, sizeof t);
        }
        for (auto& tri : tris) {
          if (flip) std::swap(tri[1], tri[2]);
          for (auto& corner : tri) put(corner[0], corner[1]);
        }
      }
    }
    OwnedSurface target(kSize, kSize, D3DFMT_X8R8G8B8);
    ASSERT_EQ(DrawList(target, CountingState(kSize, kSize), vertices, kColorFvf), Status::kOk);
    // The outer boundary is the rectangle from (4,3) to (34,33).
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        const int expected = (x >= 4 && x < 34 && y >= 3 && y < 33) ? 1 : 0;
        ASSERT_EQ(static_cast<int>(target.Get(x, y) & 0xFF), expected) << "round " << round << " at " << x << "," << y;
      }
    }
  }
}

TEST(RasterCoverage, FanAroundOnePointCoversEachPixelOnce) {
  constexpr int kSize = 24;
  std::vector<ColorVertex> fan{{12.5f, 11.5f, 0, 1, kOneHit}};
  constexpr int kSpokes = 16;
  for (int i = 0; i <= kSpokes; ++i) {
    const double angle = 2.0 * 3.14159265358979323846 * (i % kSpokes) / kSpokes;
    fan.push_back({static_cast<float>(12.5 + 10.0 * std::cos(angle)), static_cast<float>(11.5 + 10.0 * std::sin(angle)),
                   0, 1, kOneHit});
  }
  OwnedSurface target(kSize, kSize, D3DFMT_X8R8G8B8);
  Report report;
  ASSERT_EQ(DrawList(target, CountingState(kSize, kSize), fan, kColorFvf, D3DPT_TRIANGLEFAN, &report), Status::kOk);
  EXPECT_EQ(report.primitivesDrawn, kSpokes);
  int covered = 0;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      ASSERT_LE(target.Get(x, y) & 0xFF, 1u) << x << "," << y;
      covered += static_cast<int>(target.Get(x, y) & 0xFF);
    }
  }
  // A 16-gon of radius 10 has area 16/2 x 100 x sin(22.5 degrees) = 306.
  EXPECT_NEAR(covered, 306, 12);
  EXPECT_EQ(target.Get(12, 11) & 0xFF, 1u);
}

TEST(RasterCoverage, CullingFollowsScreenWindingAndStripAlternation) {
  State state = CountingState(8, 8);
  const auto clockwise = Triangle(0, 0, 8, 0, 0, 8);
  const auto counterClockwise = Triangle(0, 0, 0, 8, 8, 0);
  struct Case {
    std::uint32_t mode;
    bool clockwiseDrawn, counterDrawn;
  };
  for (const Case c : {Case{D3DCULL_NONE, true, true}, Case{D3DCULL_CCW, true, false}, Case{D3DCULL_CW, false, true}}) {
    state.render[D3DRS_CULLMODE] = c.mode;
    for (const auto* tri : {&clockwise, &counterClockwise}) {
      OwnedSurface target(8, 8, D3DFMT_X8R8G8B8);
      Report report;
      ASSERT_EQ(DrawList(target, state, *tri, kColorFvf, D3DPT_TRIANGLELIST, &report), Status::kOk);
      const bool expected = tri == &clockwise ? c.clockwiseDrawn : c.counterDrawn;
      EXPECT_EQ(report.primitivesDrawn, expected ? 1 : 0) << c.mode;
      EXPECT_EQ(report.primitivesCulled, expected ? 0 : 1) << c.mode;
      EXPECT_EQ(target.Get(1, 1) & 0xFF, expected ? 1u : 0u);
    }
  }
  // A strip's odd triangles are wound the other way but face the same side.
  state.render[D3DRS_CULLMODE] = D3DCULL_CCW;
  const std::vector<ColorVertex> strip{{0, 0, 0, 1, kOneHit}, {8, 0, 0, 1, kOneHit}, {0, 8, 0, 1, kOneHit},
                                       {8, 8, 0, 1, kOneHit}};
  OwnedSurface target(8, 8, D3DFMT_X8R8G8B8);
  Report report;
  ASSERT_EQ(DrawList(target, state, strip, kColorFvf, D3DPT_TRIANGLESTRIP, &report), Status::kOk);
  EXPECT_EQ(report.primitivesDrawn, 2);
  EXPECT_EQ(target.Get(7, 7) & 0xFF, 1u);
}

TEST(RasterShading, FlatUsesEachTrianglesFirstVertexAndGouraudInterpolates) {
  State state = TwoDState(8, 8);
  UseDiffuseOnly(&state);
  const std::vector<ColorVertex> list{{0, 0, 0, 1, 0xFFFF0000u}, {8, 0, 0, 1, 0xFF00FF00u}, {0, 8, 0, 1, 0xFF0000FFu},
                                      {8, 8, 0, 1, 0xFF123456u}, {0, 8, 0, 1, 0xFF00FF00u}, {8, 0, 0, 1, 0xFF0000FFu}};
  OwnedSurface target(8, 8, D3DFMT_X8R8G8B8);
  ASSERT_EQ(DrawList(target, state, list, kColorFvf), Status::kOk);
  EXPECT_EQ(target.Get(1, 1), 0xFFFF0000u);
  EXPECT_EQ(target.Get(6, 6), 0xFF123456u);

  // Strip triangle k takes vertex k.
  const std::vector<ColorVertex> strip{{0, 0, 0, 1, 0xFFFF0000u}, {8, 0, 0, 1, 0xFF00FF00u}, {0, 8, 0, 1, 0xFF0000FFu},
                                       {8, 8, 0, 1, 0xFF123456u}};
  OwnedSurface stripped(8, 8, D3DFMT_X8R8G8B8);
  ASSERT_EQ(DrawList(stripped, state, strip, kColorFvf, D3DPT_TRIANGLESTRIP), Status::kOk);
  EXPECT_EQ(stripped.Get(1, 1), 0xFFFF0000u);
  EXPECT_EQ(stripped.Get(6, 6), 0xFF00FF00u);

  // Gouraud: blue rises from 0 at the left edge to 255 at the right edge, at pixel centres.
  state.render[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  state.viewport = Viewport{0, 0, 256, 2, 0.0f, 1.0f};
  const std::vector<ColorVertex> ramp{{-0.5f, 0, 0, 1, 0xFF000000u}, {255.5f, 0, 0, 1, 0xFF0000FFu},
                                      {-0.5f, 2, 0, 1, 0xFF000000u}, {255.5f, 2, 0, 1, 0xFF0000FFu},
                                      {-0.5f, 2, 0, 1, 0xFF000000u}, {255.5f, 0, 0, 1, 0xFF0000FFu}};
  OwnedSurface gradient(256, 2, D3DFMT_X8R8G8B8);
  ASSERT_EQ(DrawList(gradient, state, ramp, kColorFvf), Status::kOk);
  for (int x = 0; x < 256; ++x) {
    const auto expected = static_cast<std::uint32_t>(std::floor((x + 0.5) * 255.0 / 256.0 + 0.5));
    ASSERT_EQ(gradient.Get(x, 0) & 0xFF, expected) << x;
    ASSERT_EQ(gradient.Get(x, 1) & 0xFF, expected) << x;
  }
}

TEST(RasterPrimitives, IndexedDrawsPickVerticesAndRefuseIndicesOutOfRange) {
  const State state = CountingState(8, 8);
  const std::vector<ColorVertex> corners{{0, 0, 0, 1, kOneHit}, {8, 0, 0, 1, kOneHit}, {0, 8, 0, 1, kOneHit},
                                         {8, 8, 0, 1, kOneHit}};
  const std::uint16_t indices16[] = {0, 1, 2, 3};
  const std::uint32_t indices32[] = {3, 2, 1, 0};
  for (int bytes : {2, 4}) {
    OwnedSurface target(8, 8, D3DFMT_X8R8G8B8);
    Draw draw;
    draw.primitiveType = D3DPT_TRIANGLESTRIP;
    draw.primitiveCount = 2;
    draw.vertices = corners.data();
    draw.fvf = kColorFvf;
    draw.stride = sizeof(ColorVertex);
    draw.vertexCount = 4;
    draw.indices = bytes == 2 ? static_cast<const void*>(indices16) : static_cast<const void*>(indices32);
    draw.indexBytes = bytes;
    ASSERT_EQ(DrawPrimitives(Target{target.view, {}}, state, draw, nullptr), Status::kOk);
    EXPECT_EQ(Rows(target), std::vector<std::string>(8, "########"));
    draw.vertexCount = 3;  // index 3 is now out of range: nothing is drawn
    OwnedSurface refused(8, 8, D3DFMT_X8R8G8B8);
    EXPECT_EQ(DrawPrimitives(Target{refused.view, {}}, state, draw, nullptr), Status::kBadArguments);
    EXPECT_EQ(Rows(refused), std::vector<std::string>(8, "........"));
  }
}

TEST(RasterRefusals, BadDrawsReturnWhyAndLeaveTheTargetAlone) {
  const State state = CountingState(4, 4);
  const auto tri = Triangle(0, 0, 4, 0, 0, 4);
  OwnedSurface target(4, 4, D3DFMT_X8R8G8B8);
  Draw good;
  good.primitiveType = D3DPT_TRIANGLELIST;
  good.primitiveCount = 1;
  good.vertices = tri.data();
  good.fvf = kColorFvf;
  good.stride = sizeof(ColorVertex);

  struct Case {
    const char* what;
    Status expected;
    void (*change)(Draw*, Target*, State*);
  };
  const Case cases[] = {
      {"no vertices", Status::kBadArguments, [](Draw* d, Target*, State*) { d->vertices = nullptr; }},
      {"no primitives", Status::kBadArguments, [](Draw* d, Target*, State*) { d->primitiveCount = 0; }},
      {"unknown primitive", Status::kBadArguments, [](Draw* d, Target*, State*) { d->primitiveType = 7; }},
      {"stride too small", Status::kBadArguments, [](Draw* d, Target*, State*) { d->stride = 16; }},
      {"untransformed", Status::kUnsupportedVertices, [](Draw* d, Target*, State*) { d->fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE; }},
      {"nine coordinate sets", Status::kUnsupportedVertices, [](Draw* d, Target*, State*) { d->fvf |= 0x900; }},
      {"index size", Status::kBadArguments,
       [](Draw* d, Target*, State*) {
         static const std::uint16_t idx[] = {0, 1, 2};
         d->indices = idx;
         d->vertexCount = 3;
         d->indexBytes = 3;
       }},
      {"target format", Status::kUnsupportedFormat, [](Draw*, Target* t, State*) { t->color.format = D3DFMT_DXT1; }},
      {"target pitch", Status::kBadArguments, [](Draw*, Target* t, State*) { t->color.pitchBytes = 8; }},
      {"depth format", Status::kUnsupportedFormat,
       [](Draw*, Target* t, State* s) {
         t->depth = t->color;
         s->render[D3DRS_ZENABLE] = 1;
       }},
      {"blend factor", Status::kUnsupportedState, [](Draw*, Target*, State* s) { s->render[D3DRS_SRCBLEND] = 16; }},
      {"blend op", Status::kUnsupportedState, [](Draw*, Target*, State* s) { s->render[D3DRS_BLENDOP] = 6; }},
      {"stage op", Status::kUnsupportedState, [](Draw*, Target*, State* s) { s->stage[0][D3DTSS_COLOROP] = 24; }},
      {"stage arg", Status::kUnsupportedState, [](Draw*, Target*, State* s) { s->stage[0][D3DTSS_COLORARG1] = 0x47; }},
      {"cull mode", Status::kUnsupportedState, [](Draw*, Target*, State* s) { s->render[D3DRS_CULLMODE] = 0; }},
      {"alpha func", Status::kUnsupportedState,
       [](Draw*, Target*, State* s) {
         s->render[D3DRS_ALPHATESTENABLE] = 1;
         s->render[D3DRS_ALPHAFUNC] = 9;
       }},
      {"texture format", Status::kUnsupportedFormat,
       [](Draw*, Target* t, State* s) {
         s->stage[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
         s->stage[0][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
         s->textures[0] = t->color;
         s->textures[0].format = D3DFMT_A16B16G16R16F;
       }},
      {"address mode", Status::kUnsupportedState,
       [](Draw*, Target* t, State* s) {
         s->stage[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
         s->stage[0][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
         s->textures[0] = t->color;
         s->sampler[0][D3DSAMP_ADDRESSU] = 0;
       }},
  };
  for (const Case& c : cases) {
    Draw draw = good;
    Target t{target.view, {}};
    State s = state;
    c.change(&draw, &t, &s);
    Report report;
    report.pixelsWritten = 99;
    EXPECT_EQ(DrawPrimitives(t, s, draw, &report), c.expected) << c.what;
    EXPECT_EQ(report.pixelsWritten, 0) << c.what;
    EXPECT_EQ(Rows(target), std::vector<std::string>(4, "....")) << c.what;
  }
  Report report;
  EXPECT_EQ(DrawPrimitives(Target{target.view, {}}, state, good, &report), Status::kOk);
  EXPECT_EQ(report.pixelsWritten, 10);
}

TEST(RasterRefusals, NonFiniteAndFarVerticesAreCulledNotDrawn) {
  const State state = CountingState(8, 8);
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (const float bad : {nan, inf, -inf, 3.0e6f, -3.0e6f}) {
    OwnedSurface target(8, 8, D3DFMT_X8R8G8B8);
    Report report;
    ASSERT_EQ(DrawList(target, state, Triangle(0, 0, bad, 0, 0, 8), kColorFvf, D3DPT_TRIANGLELIST, &report),
              Status::kOk);
    EXPECT_EQ(report.primitivesCulled, 1);
    EXPECT_EQ(report.pixelsWritten, 0);
    ASSERT_EQ(DrawList(target, state, std::vector<ColorVertex>{{bad, 1, 0, 1, kOneHit}}, kColorFvf, D3DPT_POINTLIST,
                       &report),
              Status::kOk);
    EXPECT_EQ(report.pixelsWritten, 0);
  }
  // Large but in range: clipped to the target, not culled.
  OwnedSurface target(8, 8, D3DFMT_X8R8G8B8);
  Report report;
  ASSERT_EQ(DrawList(target, state, Triangle(-9.0e5f, -9.0e5f, 9.0e5f, -10.0f, -10.0f, 9.0e5f), kColorFvf,
                     D3DPT_TRIANGLELIST, &report),
            Status::kOk);
  EXPECT_EQ(report.pixelsWritten, 64);
}

}  // namespace
}  // namespace plat::raster
