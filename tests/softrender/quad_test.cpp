// Four-corner drawing: the source lands texel for texel on an axis-aligned
// quad, the two triangles cover their union once (no double blend on the
// shared diagonal, no gap), clipping and the bounding-box early out, and
// refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "softrender/draw_state.h"
#include "softrender/mem_img.h"
#include "softrender/test_image.h"
#include "softrender/triangle.h"

namespace qz {
namespace {

using namespace qz::testing;

class QuadTest : public DrawStateTest {
 protected:
  void SetUp() override { StartDrawState(1000); }
};

TEST_F(QuadTest, AxisAlignedQuadCopiesEachTexelOnce) {
  for (const auto& [w, h] : {std::pair{6, 4}, std::pair{5, 5}, std::pair{1, 7}, std::pair{13, 2}}) {
    Image src, dst;
    MakeCoordSource(src, w, h);
    Make(dst, 20, 20, kMemImgFormatXrgb32);
    const std::int32_t corners[8] = {3, 2, 3 + w, 2, 3, 2 + h, 3 + w, 2 + h};
    DrawMemImgQuad(&dst.view, &src.view, corners, 0, nullptr);
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 20; ++x) {
        const bool in = x >= 3 && x < 3 + w && y >= 2 && y < 2 + h;
        ASSERT_EQ(Get(dst, x, y), in ? CoordTexel(kMemImgFormatXrgb32, x - 3, y - 2) : 0u) << w << "x" << h << " at " << x << "," << y;
      }
    }
  }
}

// Alpha blending a uniform source over a uniform destination: every pixel
// the quad writes gets the same value, so the diagonal shows no seam.
TEST_F(QuadTest, SharedDiagonalIsBlendedOnce) {
  Image src, dst;
  Make(src, 8, 8, kMemImgFormatRgb565);
  FillMemImgArea(&src.view, nullptr, 0xFFFF);
  Make(dst, 24, 24, kMemImgFormatRgb565);
  State(kMemImgBlendAlpha, 128);
  const std::int32_t corners[8] = {2, 3, 18, 1, 4, 20, 21, 17};
  DrawMemImgQuad(&dst.view, &src.view, corners, 0, nullptr);
  int written = 0;
  std::uint32_t value = 0;
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 24; ++x) {
      const std::uint32_t px = Get(dst, x, y);
      if (px == 0) continue;
      if (written++ == 0) value = px;
      ASSERT_EQ(px, value) << x << "," << y;
    }
  }
  EXPECT_GT(written, 200);
}

// Random quads, convex or not: in add mode every pixel is hit at most once;
// the quad writes every pixel its first triangle writes alone, and nothing
// that neither triangle writes alone.
TEST_F(QuadTest, UnionIsCoveredOnceAndNothingMore) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> c(-4, 28);
  Image src;
  Make(src, 9, 7, kMemImgFormatXrgb32);
  FillMemImgArea(&src.view, nullptr, 1);
  for (int i = 0; i < 500; ++i) {
    std::int32_t k[8];
    for (auto& v : k) v = c(rng);
    const MemImgVertex first[3] = {{k[0], k[1], 0, 0}, {k[2], k[3], 9, 0}, {k[4], k[5], 0, 7}};
    const MemImgVertex second[3] = {{k[2], k[3], 9, 0}, {k[4], k[5], 0, 7}, {k[6], k[7], 9, 7}};
    Image quad, a, b;
    for (Image* img : {&quad, &a, &b}) Make(*img, 24, 24, kMemImgFormatXrgb32);
    State(kMemImgBlendAdd, 255);
    DrawMemImgQuad(&quad.view, &src.view, k, 0, nullptr);
    State(0, 0);
    DrawMemImgTriangle(&a.view, &src.view, first, 0, nullptr, 0);
    DrawMemImgTriangle(&b.view, &src.view, second, 0, nullptr, 0);
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 24; ++x) {
        const std::uint32_t hits = Get(quad, x, y) & 0xFF;
        ASSERT_LE(hits, 1u) << i << ": " << x << "," << y;
        if (Get(a, x, y) != 0) {
          ASSERT_EQ(hits, 1u) << i << ": " << x << "," << y;
        }
        if (Get(a, x, y) == 0 && Get(b, x, y) == 0) {
          ASSERT_EQ(hits, 0u) << i << ": " << x << "," << y;
        }
      }
    }
  }
}

// The same quad drawn in a smaller area equals the full drawing cut to it;
// the area's right column and bottom row stay unwritten.
TEST_F(QuadTest, ClippingCutsTheFullDrawing) {
  std::mt19937 rng(9);
  std::uniform_int_distribution<int> c(-6, 30);
  std::uniform_int_distribution<int> e(0, 24);
  Image src;
  MakeCoordSource(src, 11, 9);
  for (int i = 0; i < 300; ++i) {
    std::int32_t k[8];
    for (auto& v : k) v = c(rng);
    const Rect area{e(rng), e(rng), e(rng), e(rng)};
    Image full, clipped;
    Make(full, 24, 24, kMemImgFormatXrgb32);
    Make(clipped, 24, 24, kMemImgFormatXrgb32);
    gMemImgDrawState.drawArea = Rect{0, 0, 24, 24};
    DrawMemImgQuad(&full.view, &src.view, k, 0, nullptr);
    gMemImgDrawState.drawArea = area;
    DrawMemImgQuad(&clipped.view, &src.view, k, 0, nullptr);
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 24; ++x) {
        const bool inside = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
        ASSERT_EQ(Get(clipped, x, y), inside ? Get(full, x, y) : 0u) << i << ": " << x << "," << y;
      }
    }
  }
}

TEST_F(QuadTest, RefusedInputLeavesTheBlockUntouched) {
  Image dst, src, src16, pal, narrow, low;
  Make(dst, 16, 16, kMemImgFormatXrgb32);
  FillMemImgArea(&dst.view, nullptr, 0x00123456);
  MakeCoordSource(src, 8, 8);
  Make(src16, 8, 8, kMemImgFormatRgb565);
  Make(pal, 16, 16, kMemImgFormatXrgb32, true);
  Make(narrow, 7, 8, kMemImgFormatMono8);
  Make(low, 8, 7, kMemImgFormatMono8);
  const std::int32_t corners[8] = {1, 1, 9, 1, 1, 9, 9, 9};
  auto untouched = [&](Image& d, const MEMIMG* s, const std::int32_t* k, const MEMIMG* blend) {
    const std::vector<std::uint8_t> before = Bytes(d);
    DrawMemImgQuad(&d.view, s, k, 0, blend);
    return Bytes(d) == before;
  };
  EXPECT_TRUE(untouched(dst, nullptr, corners, nullptr));
  EXPECT_TRUE(untouched(dst, &src.view, nullptr, nullptr));
  EXPECT_TRUE(untouched(dst, &src16.view, corners, nullptr));
  EXPECT_TRUE(untouched(pal, &src.view, corners, nullptr));
  EXPECT_TRUE(untouched(dst, &src.view, corners, &narrow.view));
  EXPECT_TRUE(untouched(dst, &src.view, corners, &low.view));
  State(7, 128);
  EXPECT_TRUE(untouched(dst, &src.view, corners, nullptr));
  State(0, 0);
  // Bounding box (with its margins) outside the draw area.
  gMemImgDrawState.drawArea = Rect{14, 14, 16, 16};
  EXPECT_TRUE(untouched(dst, &src.view, corners, nullptr));
  // Extreme corners wrap in fixed point but never write outside the view.
  gMemImgDrawState.drawArea = Rect{0, 0, 16, 16};
  FramedView framed;
  const std::int32_t extreme[][8] = {
      {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX},
      {-9000, -9000, 9000, -9000, -9000, 9000, 9000, 9000},
      {8191, 0, -8192, 3, 5, 8191, 0, -8192},
  };
  for (const auto& k : extreme) DrawMemImgQuad(&framed.view, &src.view, k, 0, nullptr);
  framed.ExpectFrameUntouched();
}

}  // namespace
}  // namespace qz
