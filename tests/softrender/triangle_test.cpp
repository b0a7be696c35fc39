// Triangles: which pixels a triangle covers (reference shapes, shared edges,
// translation, clipping, the ends of the fixed-point range), refusals, every
// blend mode of solid fills on both formats against the per-channel
// reference, and which texel each pixel of a textured triangle shows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "softrender/draw_state.h"
#include "softrender/mem_img.h"
#include "softrender/span_oracle.h"
#include "softrender/test_image.h"
#include "softrender/triangle.h"

namespace qz {
namespace {

using namespace qz::testing;

class TriangleTest : public DrawStateTest {
 protected:
  void SetUp() override { StartDrawState(1000); }
};

void Tri(Image& img, std::vector<std::pair<int, int>> xy, std::uint32_t fill) {
  MemImgVertex v[3];
  for (int i = 0; i < 3; ++i) v[i] = {xy[i].first, xy[i].second, 0, 0};
  DrawMemImgTriangle(&img.view, nullptr, v, 0, nullptr, fill);
}

// Counts per pixel: each triangle adds blue 1 (add mode, p 255).
std::vector<int> Hits(Image& img) {
  std::vector<int> h;
  for (int y = 0; y < img.view.height; ++y) {
    for (int x = 0; x < img.view.width; ++x) h.push_back(static_cast<int>(Get(img, x, y) & 0xFF));
  }
  return h;
}

// Row y's covered columns as [first, last], or {-1, -1} for none; fails on a
// row with a gap.
std::pair<int, int> RowSpan(Image& img, int y) {
  int first = -1, last = -1;
  for (int x = 0; x < img.view.width; ++x) {
    if (Get(img, x, y) == 0) continue;
    if (first < 0) first = x;
    EXPECT_TRUE(last < 0 || last == x - 1) << "gap in row " << y;
    last = x;
  }
  return {first, last};
}

using Spans = std::vector<std::pair<int, int>>;
Spans AllSpans(Image& img) {
  Spans s;
  for (int y = 0; y < img.view.height; ++y) s.push_back(RowSpan(img, y));
  return s;
}

TEST_F(TriangleTest, ReferenceShapesCoverListedColumns) {
  Image img;
  Make(img, 8, 8, kMemImgFormatXrgb32);
  Tri(img, {{0, 0}, {4, 0}, {0, 4}}, 0xFFFFFFFF);
  const Spans a = AllSpans(img);
  EXPECT_EQ(Spans(a.begin(), a.begin() + 5), (Spans{{0, 4}, {0, 3}, {0, 2}, {0, 1}, {-1, -1}}));

  Image img2;
  Make(img2, 8, 8, kMemImgFormatXrgb32);
  Tri(img2, {{4, 0}, {0, 4}, {4, 4}}, 0xFFFFFFFF);
  const Spans b = AllSpans(img2);
  EXPECT_EQ(Spans(b.begin(), b.begin() + 5), (Spans{{4, 4}, {3, 4}, {2, 4}, {1, 4}, {-1, -1}}));

  // Middle vertex right of the long edge: the lower right edge starts one
  // fixed-point unit right of it, which pulls row 3's end in by a column
  // (without it row 3 would be columns 1-2).
  Image img3;
  Make(img3, 8, 8, kMemImgFormatRgb565);
  Tri(img3, {{0, 0}, {1, 1}, {2, 5}}, 0xFFFF);
  const Spans c = AllSpans(img3);
  EXPECT_EQ(Spans(c.begin(), c.begin() + 6), (Spans{{0, 0}, {0, 1}, {1, 1}, {1, 1}, {2, 2}, {-1, -1}}));
}

TEST_F(TriangleTest, SharedEdgesLeaveNoGapsAndOverlapOnlyOnTheEdge) {
  State(kMemImgBlendAdd, 255);
  Image img;
  Make(img, 12, 12, kMemImgFormatXrgb32);
  Tri(img, {{0, 0}, {8, 0}, {0, 8}}, 1);
  Tri(img, {{8, 0}, {0, 8}, {8, 8}}, 1);
  const std::vector<int> h = Hits(img);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) {
      const int want = (y < 8 && x <= 8) ? (x == 8 - y ? 2 : 1) : 0;
      EXPECT_EQ(h[static_cast<std::size_t>(y * 12 + x)], want) << x << "," << y;
    }
  }
}

// The middle row of a general triangle above row 0 is drawn once: rows and
// columns floor, so translating a triangle translates its pixels exactly.
TEST_F(TriangleTest, NegativeCoordinatesFloorAndTranslateExactly) {
  State(kMemImgBlendAdd, 255);
  Image img;
  Make(img, 16, 16, kMemImgFormatXrgb32);
  Tri(img, {{10, -5}, {2, 3}, {12, 10}}, 1);
  for (int h : Hits(img)) EXPECT_LE(h, 1);

  State(0, 0);
  Image neg;
  Make(neg, 8, 8, kMemImgFormatXrgb32);
  Tri(neg, {{0, -3}, {4, -3}, {0, 1}}, 0xFFFFFFFF);
  const Spans s = AllSpans(neg);
  EXPECT_EQ(Spans(s.begin(), s.begin() + 2), (Spans{{0, 1}, {-1, -1}}));

  std::mt19937 rng(7);
  std::uniform_int_distribution<int> c(-12, 12);
  for (int i = 0; i < 300; ++i) {
    std::vector<std::pair<int, int>> v{{c(rng), c(rng)}, {c(rng), c(rng)}, {c(rng), c(rng)}};
    Image a, b;
    Make(a, 40, 40, kMemImgFormatXrgb32);
    Make(b, 40, 40, kMemImgFormatXrgb32);
    Tri(a, v, 0xFFFFFFFF);
    for (auto& p : v) p = {p.first + 20, p.second + 20};
    Tri(b, v, 0xFFFFFFFF);
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 20; ++x) ASSERT_EQ(Get(a, x, y), Get(b, x + 20, y + 20)) << i << ": " << x << "," << y;
    }
  }
}

TEST_F(TriangleTest, ClippedDrawingEqualsFullDrawingInsideTheArea) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> c(-6, 36);
  std::uniform_int_distribution<int> e(0, 30);
  for (int i = 0; i < 300; ++i) {
    const std::vector<std::pair<int, int>> v{{c(rng), c(rng)}, {c(rng), c(rng)}, {c(rng), c(rng)}};
    Rect area{e(rng), e(rng), e(rng), e(rng)};
    Image full, clipped;
    Make(full, 30, 30, kMemImgFormatRgb565);
    Make(clipped, 30, 30, kMemImgFormatRgb565);
    gMemImgDrawState.drawArea = Rect{0, 0, 30, 30};
    Tri(full, v, 0xFFFF);
    gMemImgDrawState.drawArea = area;
    Tri(clipped, v, 0xFFFF);
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 30; ++x) {
        const bool inside = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
        ASSERT_EQ(Get(clipped, x, y), inside ? Get(full, x, y) : 0u) << i << ": " << x << "," << y;
      }
    }
  }
}

// Vertices at the ends of the fixed-point range, and beyond it, never write
// outside the view: the rest of the pixel block stays as it was.
TEST_F(TriangleTest, FixedPointRangeEndsStayInsideTheView) {
  Image img;
  Make(img, 16, 16, kMemImgFormatXrgb32);
  Tri(img, {{-4000, -4000}, {4191, -4000}, {-4000, 4191}}, 0xFFFFFFFF);
  for (int y = 0; y < 16; ++y) EXPECT_EQ(RowSpan(img, y), std::make_pair(0, 15));
  Image img2;
  Make(img2, 16, 16, kMemImgFormatRgb565);
  Tri(img2, {{0, 0}, {8191, 0}, {0, 8191}}, 0xFFFF);
  for (int y = 0; y < 16; ++y) EXPECT_EQ(RowSpan(img2, y), std::make_pair(0, 15));

  FramedView framed;
  const std::vector<std::pair<int, int>> shapes[] = {
      {{8191, 8191}, {-8192, 8191}, {8191, -8192}},
      {{-100000, 5}, {100000, 6}, {7, 300000}},
      {{2000000000, -5}, {-2000000000, 9}, {3, 2000000000}},
  };
  for (const auto& v : shapes) {
    MemImgVertex mv[3];
    for (int i = 0; i < 3; ++i) mv[i] = {v[i].first, v[i].second, 0, 0};
    DrawMemImgTriangle(&framed.view, nullptr, mv, 0, nullptr, 0xFFFFFFFF);
  }
  framed.ExpectFrameUntouched();
}

TEST_F(TriangleTest, RefusedInputLeavesTheBlockUntouched) {
  const std::vector<std::pair<int, int>> good{{0, 0}, {6, 1}, {2, 6}};
  auto untouched = [&](Image& img, const MEMIMG* src, std::vector<std::pair<int, int>> v) {
    const std::vector<std::uint8_t> before = Bytes(img);
    MemImgVertex mv[3];
    for (int i = 0; i < 3; ++i) mv[i] = {v[i].first, v[i].second, 0, 0};
    DrawMemImgTriangle(&img.view, src, mv, 0, nullptr, 0x00FFFFFF);
    return Bytes(img) == before;
  };
  Image d32, d16, pal, alpha, mono, src16;
  Make(d32, 8, 8, kMemImgFormatXrgb32);
  Make(d16, 8, 8, kMemImgFormatRgb565);
  Make(pal, 8, 8, kMemImgFormatXrgb32, true);
  Make(alpha, 8, 8, kMemImgFormatRgb565, false, true);
  Make(mono, 8, 8, kMemImgFormatMono8);
  Make(src16, 8, 8, kMemImgFormatRgb565);
  EXPECT_TRUE(untouched(d32, &src16.view, good));
  EXPECT_TRUE(untouched(pal, nullptr, good));
  EXPECT_TRUE(untouched(alpha, nullptr, good));
  EXPECT_TRUE(untouched(mono, nullptr, good));
  EXPECT_TRUE(untouched(d32, nullptr, {{0, 0}, {3, 3}, {6, 6}}));
  EXPECT_TRUE(untouched(d16, nullptr, {{0, 2}, {3, 2}, {7, 2}}));
  for (int mode : {5, 7, 9, 12, -1}) {
    State(mode, 128);
    EXPECT_TRUE(untouched(d32, nullptr, good)) << mode;
  }
  for (int mode : {1, 2, 3}) {
    State(mode, 0);
    EXPECT_TRUE(untouched(d16, nullptr, good)) << mode;
    EXPECT_TRUE(untouched(d32, nullptr, good)) << mode;
  }
  State(0, 0);
  gMemImgDrawState.drawArea = Rect{5, 5, 5, 9};
  EXPECT_TRUE(untouched(d32, nullptr, good));
}

// One pixel written by a solid triangle over d.
std::uint32_t Write(int format, std::uint32_t d, std::uint32_t fill) {
  Image img;
  Make(img, 4, 4, format);
  Put(img, 0, 0, d);
  Tri(img, {{0, 0}, {1, 0}, {0, 1}}, fill);
  return Get(img, 0, 0);
}

TEST_F(TriangleTest, ListedPixelValues) {
  const int k32 = kMemImgFormatXrgb32, k16 = kMemImgFormatRgb565;
  gMemImgDrawState.colorMod = 0x808080;
  EXPECT_EQ(Write(k32, 0x12345678, 0x00FF0000), 0x00800000u);
  gMemImgDrawState.colorMod = 0xFFFFFF;
  State(1, 255);
  EXPECT_EQ(Write(k32, 0x12345678, 0xAB102030), 0xAB102030u);
  State(kMemImgBlendAdd, 255);
  EXPECT_EQ(Write(k32, 200u << 16, 100u << 16), 0x01FF0000u);
  State(kMemImgBlendSub, 255);
  EXPECT_EQ(Write(k32, 50u << 16, 100u << 16), 0x00000100u);
  EXPECT_EQ(Write(k32, 0, 1), 0x00010000u);
  EXPECT_EQ(Write(k32, 0xFF000000u, 0) & 0xFF010100u, 0x00010100u);
  State(kMemImgBlendAdd, 255);
  EXPECT_EQ(Write(k16, 1, 31), 31u | (1u << 5));
  EXPECT_EQ(Write(k16, 32u << 5, 32u << 5), (62u << 5) | (1u << 11));
  State(kMemImgBlendSub, 255);
  EXPECT_EQ(Write(k16, (10u << 11) | (20u << 5) | 10u, 0), (11u << 11) | (20u << 5) | 10u);
  State(kMemImgBlendMul, 0);
  EXPECT_EQ(Write(k16, 0xFFFF, 0xFFFF), 0xF7DEu);
  State(kMemImgBlendAlpha, 128);
  EXPECT_EQ(Write(k16, 0, 31u << 11), 15u << 11);
}

// Every mode, format and listed parameter on random destinations: covered
// pixels match the reference, the rest are unchanged.
TEST_F(TriangleTest, EveryModeMatchesTheReference) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> c(-4, 28);
  std::uniform_int_distribution<std::uint32_t> any;
  for (int format : {kMemImgFormatXrgb32, kMemImgFormatRgb565}) {
    const bool wide = format == kMemImgFormatXrgb32;
    const std::uint32_t mask = wide ? 0xFFFFFFFFu : 0xFFFFu;
    for (int mode : {0, 1, 2, 3, 4, 10, 11}) {
      for (int p : {0, 1, 127, 128, 254, 255}) {
        for (int rep = 0; rep < 6; ++rep) {
          const std::vector<std::pair<int, int>> v{{c(rng), c(rng)}, {c(rng), c(rng)}, {c(rng), c(rng)}};
          const std::uint32_t fill = any(rng) & mask;
          const std::uint32_t mod = rep % 2 == 0 ? 0xFFFFFF : any(rng) & 0xFFFFFF;
          Image cover, img;
          Make(cover, 24, 24, format);
          Make(img, 24, 24, format);
          State(0, 0);
          gMemImgDrawState.colorMod = 0xFFFFFF;
          Tri(cover, v, mask);
          for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) Put(img, x, y, any(rng) & mask);
          }
          Image orig;
          Make(orig, 24, 24, format);
          for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) Put(orig, x, y, Get(img, x, y));
          }
          State(mode, p);
          gMemImgDrawState.colorMod = mod;
          Tri(img, v, fill);
          for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) {
              const std::uint32_t d = Get(orig, x, y);
              const std::uint32_t want = Get(cover, x, y) != 0 ? span_oracle::Pixel(d, fill, mode, p, mod, wide) : d;
              ASSERT_EQ(Get(img, x, y), want) << "format " << format << " mode " << mode << " p " << p << " at "
                                              << x << "," << y << " d " << d << " fill " << fill;
            }
          }
        }
      }
    }
  }
}

// Textured triangles, from sources whose texels name their coordinates.

// Source position of pixel (px, py) from the vertices, straight from the
// gradient formulas in 64-bit arithmetic: the origin is the vertex with the
// least x (the first among equals).
struct TexOracle {
  std::int64_t ox, oy, u0, v0, du, dv, rowDu, rowDv;
  explicit TexOracle(const MemImgVertex* v) {
    int order[3] = {0, 1, 2};
    for (const auto& pr : {std::pair{0, 1}, std::pair{0, 2}, std::pair{1, 2}}) {
      if (v[order[pr.first]].x > v[order[pr.second]].x) std::swap(order[pr.first], order[pr.second]);
    }
    const MemImgVertex &a = v[order[0]], &b = v[order[1]], &c = v[order[2]];
    const std::int64_t xab = b.x - a.x, yab = b.y - a.y, uab = b.u - a.u, vab = b.v - a.v;
    const std::int64_t xac = c.x - a.x, yac = c.y - a.y, uac = c.u - a.u, vac = c.v - a.v;
    // Collinear vertices draw nothing; any finite divisor keeps the steps defined.
    const double d = static_cast<double>(yab * xac - yac * xab == 0 ? 1 : yab * xac - yac * xab);
    auto g = [&](std::int64_t n) { return static_cast<std::int64_t>(std::trunc(static_cast<double>(n) * 262144.0 / d)); };
    du = g(yab * uac - yac * uab);
    rowDu = g(uab * xac - xab * uac);
    dv = g(yab * vac - yac * vab);
    rowDv = g(vab * xac - vac * xab);
    ox = a.x;
    oy = a.y;
    u0 = std::int64_t{a.u} * 262144;
    v0 = std::int64_t{a.v} * 262144;
  }
  std::int64_t U(int x, int y) const { return u0 + (x - ox) * du + (y - oy) * rowDu; }
  std::int64_t V(int x, int y) const { return v0 + (x - ox) * dv + (y - oy) * rowDv; }
};

// Pixels the triangle covers, as a solid fill shows them.
Image* Coverage(Image& cover, int w, int h, int format, const MemImgVertex* v) {
  Make(cover, w, h, format);
  MemImgVertex flat[3];
  for (int i = 0; i < 3; ++i) flat[i] = {v[i].x, v[i].y, 0, 0};
  const MemImgDrawState saved = gMemImgDrawState;
  gMemImgDrawState.blendMode = 0;
  gMemImgDrawState.colorMod = 0xFFFFFF;
  DrawMemImgTriangle(&cover.view, nullptr, flat, 0, nullptr, 0xFFFF);
  gMemImgDrawState = saved;
  return &cover;
}

// Copy mode over random triangles, source positions, formats and draw
// areas: a pixel is written exactly when the solid fill covers it and its
// source position lies inside the source, and it shows that texel.
TEST_F(TriangleTest, TexturedPixelsShowTheTexelOfTheGradientFormula) {
  std::mt19937 rng(21);
  std::uniform_int_distribution<int> pos(-8, 40);
  std::uniform_int_distribution<int> tex(-6, 26);
  std::uniform_int_distribution<int> edge(0, 32);
  for (int format : {kMemImgFormatXrgb32, kMemImgFormatRgb565}) {
    Image src;
    MakeCoordSource(src, 17, 13, format);
    for (int i = 0; i < 400; ++i) {
      MemImgVertex v[3];
      for (auto& vx : v) vx = {pos(rng), pos(rng), tex(rng), tex(rng)};
      gMemImgDrawState.drawArea = i % 3 == 0 ? Rect{edge(rng), edge(rng), edge(rng), edge(rng)} : Rect{0, 0, 32, 32};
      const Rect area = gMemImgDrawState.drawArea;
      Image cover, img;
      Coverage(cover, 32, 32, format, v);
      Make(img, 32, 32, format);
      DrawMemImgTriangle(&img.view, &src.view, v, 0, nullptr, 0);
      const TexOracle o(v);
      for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
          const std::int64_t u = o.U(x, y), vv = o.V(x, y);
          const bool inside = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
          const bool drawn = inside && Get(cover, x, y) != 0 && u >= 0 && vv >= 0 && u < 17 * 262144 &&
                             vv < 13 * 262144;
          const std::uint32_t want = drawn ? CoordTexel(format, static_cast<int>(u >> 18), static_cast<int>(vv >> 18)) : 0;
          ASSERT_EQ(Get(img, x, y), want) << "format " << format << " case " << i << " at " << x << "," << y;
        }
      }
    }
  }
}

// A span that starts left of the draw area begins with the source position
// of the area's first column: the clipped drawing is the full drawing cut.
TEST_F(TriangleTest, TexturedClippingCutsTheFullDrawing) {
  Image src;
  MakeCoordSource(src, 20, 20, kMemImgFormatXrgb32);
  const MemImgVertex v[3] = {{-5, 2, 0, 0}, {22, -3, 19, 0}, {3, 25, 0, 19}};
  Image full, clipped;
  Make(full, 24, 24, kMemImgFormatXrgb32);
  Make(clipped, 24, 24, kMemImgFormatXrgb32);
  gMemImgDrawState.drawArea = Rect{0, 0, 24, 24};
  DrawMemImgTriangle(&full.view, &src.view, v, 0, nullptr, 0);
  gMemImgDrawState.drawArea = Rect{6, 4, 15, 12};
  DrawMemImgTriangle(&clipped.view, &src.view, v, 0, nullptr, 0);
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 24; ++x) {
      const bool inside = x >= 6 && x < 15 && y >= 4 && y < 12;
      ASSERT_EQ(Get(clipped, x, y), inside ? Get(full, x, y) : 0u) << x << "," << y;
    }
  }
  EXPECT_NE(Get(clipped, 6, 4), 0u);
  EXPECT_NE(Get(clipped, 14, 4), 0u);
  EXPECT_NE(Get(clipped, 11, 11), 0u);
}

// Refusals of textured triangles leave the whole pixel block as it was.
TEST_F(TriangleTest, RefusedTexturedInputLeavesTheBlockUntouched) {
  const MemImgVertex v[3] = {{0, 0, 0, 0}, {7, 0, 8, 0}, {0, 7, 0, 8}};
  Image d32, src32, src16, pal, alpha, mono, narrow, low, fits;
  Make(d32, 8, 8, kMemImgFormatXrgb32);
  MakeCoordSource(src32, 8, 8, kMemImgFormatXrgb32);
  MakeCoordSource(src16, 8, 8, kMemImgFormatRgb565);
  Make(pal, 8, 8, kMemImgFormatXrgb32, true);
  Make(alpha, 8, 8, kMemImgFormatXrgb32, false, true);
  Make(mono, 8, 8, kMemImgFormatMono8);
  Make(narrow, 7, 8, kMemImgFormatMono8);
  Make(low, 8, 7, kMemImgFormatMono8);
  Make(fits, 8, 8, kMemImgFormatMono8);
  auto untouched = [&](Image& dst, const MEMIMG* src, const MEMIMG* blend) {
    const std::vector<std::uint8_t> before = Bytes(dst);
    DrawMemImgTriangle(&dst.view, src, v, 0, blend, 0);
    return Bytes(dst) == before;
  };
  EXPECT_TRUE(untouched(d32, &src16.view, nullptr));
  EXPECT_TRUE(untouched(pal, &src32.view, nullptr));
  EXPECT_TRUE(untouched(alpha, &src32.view, nullptr));
  EXPECT_TRUE(untouched(mono, &mono.view, nullptr));
  EXPECT_TRUE(untouched(d32, &src32.view, &narrow.view));
  EXPECT_TRUE(untouched(d32, &src32.view, &low.view));
  for (int mode : {5, 7, 12, -1}) {
    State(mode, 128);
    EXPECT_TRUE(untouched(d32, &src32.view, nullptr)) << mode;
  }
  State(0, 0);
  BuildBlendImageFactorTable(0, 0);  // every factor 255
  EXPECT_FALSE(untouched(d32, &src32.view, &fits.view));
}

}  // namespace
}  // namespace qz
