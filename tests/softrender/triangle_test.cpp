// Solid triangles: which pixels a triangle covers (reference shapes, shared
// edges, translation, clipping, the ends of the fixed-point range), refusals,
// and every blend mode on both formats against the per-channel reference.
#include <gtest/gtest.h>

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

  Image block;
  Make(block, 24, 24, kMemImgFormatXrgb32);
  MEMIMG sub{};
  ASSERT_EQ(MakeSubMemImg(&sub, &block.view, 4, 4, 16, 16), 0);
  const std::vector<std::pair<int, int>> shapes[] = {
      {{8191, 8191}, {-8192, 8191}, {8191, -8192}},
      {{-100000, 5}, {100000, 6}, {7, 300000}},
      {{2000000000, -5}, {-2000000000, 9}, {3, 2000000000}},
  };
  for (const auto& v : shapes) {
    MemImgVertex mv[3];
    for (int i = 0; i < 3; ++i) mv[i] = {v[i].first, v[i].second, 0, 0};
    DrawMemImgTriangle(&sub, nullptr, mv, 0, nullptr, 0xFFFFFFFF);
  }
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 24; ++x) {
      if (x < 4 || x >= 20 || y < 4 || y >= 20) {
        EXPECT_EQ(Get(block, x, y), 0u) << x << "," << y;
      }
    }
  }
  ReleaseMemImg(&sub);
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

}  // namespace
}  // namespace qz
