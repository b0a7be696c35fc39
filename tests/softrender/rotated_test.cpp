// Rotated drawing: the set-up values of the listed cases, the walk against
// the fixed-point formulas and against exact inverse rotation, quadrants
// after a quarter turn, scaling, mirroring through the quad path, equality
// with the plain blit at angle 0, tall sources, and refusals. Last, every
// transformed drawing (triangle, quad, rotation, mirrored rotation) end to
// end in random blend states against the per-pixel references.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

#include "softrender/blit.h"
#include "softrender/draw_state.h"
#include "softrender/mem_img.h"
#include "softrender/rotated.h"
#include "softrender/test_image.h"
#include "softrender/textured_oracle16.h"
#include "softrender/textured_oracle32.h"
#include "softrender/triangle.h"

namespace qz {
namespace {

using namespace qz::testing;

class RotatedTest : public DrawStateTest {
 protected:
  void SetUp() override { StartDrawState(1000); }
};

std::int32_t Px(std::int32_t fixed) { return fixed >> 18; }

TEST_F(RotatedTest, ListedSetUpValues) {
  RotationSetup s{};
  ASSERT_TRUE(SetUpRotation(4, 4, 10, 10, 0.0f, 1.0f, &s));
  EXPECT_EQ(s.cosNeg, 262144);
  EXPECT_EQ(s.sinNeg, 0);
  const int want[4][2] = {{8, 8}, {8, 12}, {12, 12}, {12, 8}};  // TL, BL, BR, TR
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(s.cornerX[c], want[c][0] * 262144) << c;
    EXPECT_EQ(s.cornerY[c], want[c][1] * 262144) << c;
  }
  EXPECT_EQ(s.uStepX, 262144);
  EXPECT_EQ(s.vStepX, 0);
  std::int32_t u = -1, v = -1;
  RotatedSourcePoint(s, 8, 8, &u, &v);
  EXPECT_EQ(u, 0);
  EXPECT_EQ(v, 0);

  ASSERT_TRUE(SetUpRotation(4, 4, 10, 10, 0.0f, 2.0f, &s));
  EXPECT_EQ(s.uStepX, 131072);
  EXPECT_EQ(s.cornerX[kCornerTopLeft], 6 * 262144);
  EXPECT_EQ(s.cornerX[kCornerBottomRight], 14 * 262144);

  // A quarter turn: sine and cosine come out exact in fixed point.
  ASSERT_TRUE(SetUpRotation(4, 2, 0, 0, std::numbers::pi_v<float> / 2, 1.0f, &s));
  EXPECT_EQ(s.cosPos, 0);
  EXPECT_EQ(s.sinPos, 262144);
  EXPECT_EQ(s.sinNeg, -262144);
  EXPECT_EQ(s.uStepX, 0);
  EXPECT_EQ(s.vStepX, -262144);

  for (float bad : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    EXPECT_FALSE(SetUpRotation(4, 4, 10, 10, 0.0f, bad, &s)) << bad;
  }
  EXPECT_FALSE(SetUpRotation(4, 4, 10, 10, std::numeric_limits<float>::quiet_NaN(), 1.0f, &s));
  EXPECT_FALSE(SetUpRotation(4, 4, 10, 10, -std::numeric_limits<float>::infinity(), 1.0f, &s));
}

TEST_F(RotatedTest, UnrotatedDrawingPlacesTexelsAroundTheCentre) {
  Image src, dst;
  MakeCoordSource(src, 4, 4);
  Make(dst, 20, 20, kMemImgFormatXrgb32);
  DrawMemImgRotated(&dst.view, &src.view, 10, 10, 0.0f, 1.0f, 0, 0, nullptr);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) {
      const bool in = x >= 8 && x < 12 && y >= 8 && y < 12;
      ASSERT_EQ(Get(dst, x, y), in ? CoordTexel(kMemImgFormatXrgb32, x - 8, y - 8) : 0u) << x << "," << y;
    }
  }

  // An odd width centres on column 2.
  Image odd, dst2;
  MakeCoordSource(odd, 5, 3, kMemImgFormatRgb565);
  Make(dst2, 20, 20, kMemImgFormatRgb565);
  DrawMemImgRotated(&dst2.view, &odd.view, 10, 10, 0.0f, 1.0f, 0, 0, nullptr);
  EXPECT_EQ(Get(dst2, 8, 10), CoordTexel(kMemImgFormatRgb565, 0, 1));
  EXPECT_EQ(Get(dst2, 12, 10), CoordTexel(kMemImgFormatRgb565, 4, 1));
  EXPECT_EQ(Get(dst2, 7, 10), 0u);
  EXPECT_EQ(Get(dst2, 13, 10), 0u);

  // Scale 2: each texel covers 2 x 2 pixels.
  Image dst3;
  Make(dst3, 32, 32, kMemImgFormatXrgb32);
  DrawMemImgRotated(&dst3.view, &src.view, 20, 20, 0.0f, 2.0f, 0, 0, nullptr);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const bool in = x >= 16 && x < 24 && y >= 16 && y < 24;
      ASSERT_EQ(Get(dst3, x, y), in ? CoordTexel(kMemImgFormatXrgb32, (x - 16) / 2, (y - 16) / 2) : 0u) << x << "," << y;
    }
  }
}

// At angle 0 and scale 1 the drawing equals the plain blit at the source's
// top-left, in both formats, for even and odd sizes.
TEST_F(RotatedTest, UnrotatedEqualsThePlainBlit) {
  std::mt19937 rng(4);
  for (int format : {kMemImgFormatXrgb32, kMemImgFormatRgb565}) {
    for (const auto& [w, h] : {std::pair{6, 4}, std::pair{7, 5}, std::pair{1, 9}}) {
      Image src, a, b;
      Make(src, w, h, format);
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) Put(src, x, y, static_cast<std::uint32_t>(rng()));
      }
      Make(a, 24, 24, format);
      Make(b, 24, 24, format);
      DrawMemImgRotated(&a.view, &src.view, 11, 9, 0.0f, 1.0f, 0, 0, nullptr);
      DrawMemImgAt(&b.view, &src.view, 11 - w / 2, 9 - h / 2, 0, nullptr);
      EXPECT_EQ(Bytes(a), Bytes(b)) << format << " " << w << "x" << h;
    }
  }
}

// Quadrant colours after a quarter turn clockwise: top-left goes to the
// top-right, and so on round. Interiors only.
TEST_F(RotatedTest, QuarterTurnMovesEachQuadrant) {
  Image src, dst;
  Make(src, 8, 8, kMemImgFormatXrgb32);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) Put(src, x, y, 1u + (x >= 4 ? 1u : 0u) + (y >= 4 ? 2u : 0u));
  }
  Make(dst, 40, 40, kMemImgFormatXrgb32);
  DrawMemImgRotated(&dst.view, &src.view, 20, 20, std::numbers::pi_v<float> / 2, 1.0f, 0, 0, nullptr);
  const std::uint32_t topLeft = 1, topRight = 2, bottomLeft = 3, bottomRight = 4;
  EXPECT_EQ(Get(dst, 22, 17), topLeft);
  EXPECT_EQ(Get(dst, 22, 22), topRight);
  EXPECT_EQ(Get(dst, 17, 22), bottomRight);
  EXPECT_EQ(Get(dst, 17, 17), bottomLeft);
}

// Mirrored drawing is the quad with the top-right corner first: the columns
// left of the centre show the source's right-most columns.
TEST_F(RotatedTest, MirrorGoesThroughTheQuadFlipped) {
  Image src, a, b;
  MakeCoordSource(src, 4, 4);
  Make(a, 20, 20, kMemImgFormatXrgb32);
  Make(b, 20, 20, kMemImgFormatXrgb32);
  DrawMemImgRotated(&a.view, &src.view, 10, 10, 0.0f, 1.0f, 0, 1, nullptr);
  const std::int32_t corners[8] = {12, 8, 8, 8, 12, 12, 8, 12};
  DrawMemImgQuad(&b.view, &src.view, corners, 0, nullptr);
  EXPECT_EQ(Bytes(a), Bytes(b));
  EXPECT_EQ(Get(a, 9, 9), CoordTexel(kMemImgFormatXrgb32, 3, 1));
  EXPECT_EQ(Get(a, 12, 9), CoordTexel(kMemImgFormatXrgb32, 0, 1));

  // Corners left of and above the origin are floored, as every destination
  // position is: moving the centre moves the picture unchanged.
  Image c, d;
  Make(c, 40, 40, kMemImgFormatXrgb32);
  Make(d, 40, 40, kMemImgFormatXrgb32);
  gMemImgDrawState.drawArea = Rect{0, 0, 40, 40};
  for (float angle : {0.4f, 2.0f, -1.1f}) {
    DrawMemImgRotated(&c.view, &src.view, 1, 2, angle, 1.7f, 0, 1, nullptr);
    DrawMemImgRotated(&d.view, &src.view, 21, 22, angle, 1.7f, 0, 1, nullptr);
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 20; ++x) ASSERT_EQ(Get(c, x, y), Get(d, x + 20, y + 20)) << angle << ": " << x << "," << y;
    }
  }
}

// Random angles, scales, centres, sizes and draw areas in copy mode: every
// pixel of the destination is what the fixed-point walk gives (texel or
// untouched), and each texel shown lies within a hair of the exact inverse
// rotation.
TEST_F(RotatedTest, WalkMatchesTheFormulasAndTheExactRotation) {
  std::mt19937 rng(17);
  std::uniform_real_distribution<float> angleDist(-7.0f, 7.0f);
  std::uniform_real_distribution<float> scaleDist(0.3f, 3.0f);
  std::uniform_int_distribution<int> centre(-10, 50);
  std::uniform_int_distribution<int> side(1, 20);
  std::uniform_int_distribution<int> edge(0, 40);
  constexpr int kSize = 40;
  for (int i = 0; i < 300; ++i) {
    const int format = i % 2 == 0 ? kMemImgFormatXrgb32 : kMemImgFormatRgb565;
    const int w = side(rng), h = side(rng), x = centre(rng), y = centre(rng);
    const float angle = angleDist(rng), scale = scaleDist(rng);
    gMemImgDrawState.drawArea = i % 4 == 0 ? Rect{edge(rng), edge(rng), edge(rng), edge(rng)} : Rect{0, 0, kSize, kSize};
    Rect area = gMemImgDrawState.drawArea;
    const Rect whole{0, 0, kSize, kSize};
    ClipRect(&area, &whole);
    Image src, dst;
    MakeCoordSource(src, w, h, format);
    Make(dst, kSize, kSize, format);
    DrawMemImgRotated(&dst.view, &src.view, x, y, angle, scale, 0, 0, nullptr);

    RotationSetup s{};
    ASSERT_TRUE(SetUpRotation(w, h, x, y, angle, scale, &s));
    std::int32_t minX = s.cornerX[0], maxX = minX, minY = s.cornerY[0], maxY = minY;
    for (int c = 1; c < 4; ++c) {
      minX = std::min(minX, s.cornerX[c]);
      maxX = std::max(maxX, s.cornerX[c]);
      minY = std::min(minY, s.cornerY[c]);
      maxY = std::max(maxY, s.cornerY[c]);
    }
    Rect covered{Px(minX) - 2, Px(minY) - 2, Px(maxX) + 4, Px(maxY) + 4};
    ClipRect(&covered, &area);
    // u = trunc((rx C- - ry S-) / scale) + (w / 2) 262144, in 64 bits.
    auto map = [&](int px, int py, std::int64_t* u, std::int64_t* v) {
      const std::int64_t rx = px - x, ry = py - y;
      *u = static_cast<std::int64_t>(std::trunc(static_cast<float>(static_cast<double>(rx * s.cosNeg - ry * s.sinNeg) / scale))) +
           std::int64_t{w / 2} * 262144;
      *v = static_cast<std::int64_t>(std::trunc(static_cast<float>(static_cast<double>(ry * s.cosNeg + rx * s.sinNeg) / scale))) +
           std::int64_t{h / 2} * 262144;
    };
    std::int64_t uT = 0, vT = 0, uB = 0, vB = 0;
    const std::int64_t lines = covered.bottom - covered.top;
    map(covered.left, covered.top, &uT, &vT);
    map(covered.left, covered.bottom, &uB, &vB);
    const std::int64_t du = lines > 0 ? (uB - uT) / lines : 0, dv = lines > 0 ? (vB - vT) / lines : 0;
    const double ca = std::cos(static_cast<double>(angle)), sa = std::sin(static_cast<double>(angle));
    for (int py = 0; py < kSize; ++py) {
      for (int px = 0; px < kSize; ++px) {
        const bool inRect = px >= covered.left && px < covered.right && py >= covered.top && py < covered.bottom;
        const std::int64_t u = uT + (py - covered.top) * du + (px - covered.left) * s.uStepX;
        const std::int64_t v = vT + (py - covered.top) * dv + (px - covered.left) * s.vStepX;
        const bool drawn = inRect && u >= 0 && v >= 0 && u < std::int64_t{w} * 262144 && v < std::int64_t{h} * 262144;
        const std::uint32_t want = drawn ? CoordTexel(format, static_cast<int>(u >> 18), static_cast<int>(v >> 18)) : 0u;
        ASSERT_EQ(Get(dst, px, py), want) << "case " << i << " at " << px << "," << py;
        if (!drawn) continue;
        const double ue = ((px - x) * ca + (py - y) * sa) / scale + w / 2;
        const double ve = ((py - y) * ca - (px - x) * sa) / scale + h / 2;
        EXPECT_LT(std::abs(static_cast<double>(u >> 18) + 0.5 - ue), 0.52) << "case " << i;
        EXPECT_LT(std::abs(static_cast<double>(v >> 18) + 0.5 - ve), 0.52) << "case " << i;
      }
    }
  }
}

// Sources taller than any fixed row table draw their last rows.
TEST_F(RotatedTest, TallSourceDrawsItsLastRows) {
  Image src, dst;
  Make(src, 2, 5000, kMemImgFormatXrgb32);
  for (int y = 0; y < 5000; ++y) {
    for (int x = 0; x < 2; ++x) Put(src, x, y, static_cast<std::uint32_t>(y * 2 + x + 1));
  }
  Make(dst, 16, 16, kMemImgFormatXrgb32);
  DrawMemImgRotated(&dst.view, &src.view, 5, -2490, 0.0f, 1.0f, 0, 0, nullptr);
  for (int y = 0; y < 10; ++y) {
    EXPECT_EQ(Get(dst, 4, y), static_cast<std::uint32_t>((4990 + y) * 2 + 1)) << y;
    EXPECT_EQ(Get(dst, 5, y), static_cast<std::uint32_t>((4990 + y) * 2 + 2)) << y;
  }
  EXPECT_EQ(Get(dst, 4, 10), 0u);
}

TEST_F(RotatedTest, RefusedInputLeavesTheBlockUntouched) {
  Image dst, d16, pal, alpha, src, src16, narrow, low, fits;
  Make(dst, 24, 24, kMemImgFormatXrgb32);
  Make(d16, 24, 24, kMemImgFormatRgb565);
  Make(pal, 24, 24, kMemImgFormatXrgb32, true);
  Make(alpha, 24, 24, kMemImgFormatXrgb32, false, true);
  MakeCoordSource(src, 8, 8);
  MakeCoordSource(src16, 8, 8, kMemImgFormatRgb565);
  Make(narrow, 7, 8, kMemImgFormatMono8);
  Make(low, 8, 7, kMemImgFormatMono8);
  Make(fits, 8, 8, kMemImgFormatMono8);
  auto untouched = [&](Image& d, const MEMIMG* s, float angle, float scale, int mirror, const MEMIMG* blend) {
    const std::vector<std::uint8_t> before = Bytes(d);
    DrawMemImgRotated(&d.view, s, 12, 12, angle, scale, 0, mirror, blend);
    return Bytes(d) == before;
  };
  for (int mirror : {0, 1}) {
    EXPECT_TRUE(untouched(dst, &src16.view, 0.5f, 1.0f, mirror, nullptr));
    EXPECT_TRUE(untouched(d16, &src.view, 0.5f, 1.0f, mirror, nullptr));
    EXPECT_TRUE(untouched(pal, &src.view, 0.5f, 1.0f, mirror, nullptr));
    EXPECT_TRUE(untouched(alpha, &src.view, 0.5f, 1.0f, mirror, nullptr));
    EXPECT_TRUE(untouched(dst, &src.view, 0.5f, 1.0f, mirror, &narrow.view));
    EXPECT_TRUE(untouched(dst, &src.view, 0.5f, 1.0f, mirror, &low.view));
    EXPECT_TRUE(untouched(dst, nullptr, 0.5f, 1.0f, mirror, nullptr));
    for (float scale : {0.0f, -2.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
      EXPECT_TRUE(untouched(dst, &src.view, 0.5f, scale, mirror, nullptr)) << scale;
    }
    EXPECT_TRUE(untouched(dst, &src.view, std::numeric_limits<float>::quiet_NaN(), 1.0f, mirror, nullptr));
    State(7, 128);
    EXPECT_TRUE(untouched(dst, &src.view, 0.5f, 1.0f, mirror, nullptr));
    State(12, 128);
    EXPECT_TRUE(untouched(dst, &src.view, 0.5f, 1.0f, mirror, nullptr));
    State(0, 0);
    // Wholly outside the draw area.
    gMemImgDrawState.drawArea = Rect{0, 0, 3, 3};
    EXPECT_TRUE(untouched(dst, &src.view, 0.5f, 1.0f, mirror, nullptr));
    gMemImgDrawState.drawArea = Rect{0, 0, 24, 24};
  }
  BuildBlendImageFactorTable(0, 0);  // every factor 255
  EXPECT_FALSE(untouched(dst, &src.view, 0.5f, 1.0f, 0, &fits.view));
}

// Far centres and extreme scales wrap in fixed point but never write
// outside the destination view.
TEST_F(RotatedTest, ExtremeInputStaysInsideTheView) {
  FramedView framed;
  Image src;
  MakeCoordSource(src, 8, 8);
  gMemImgDrawState.drawArea = Rect{-100, -100, 100, 100};
  const std::int32_t centres[][2] = {{8, 8}, {INT32_MAX, 3}, {-9000, INT32_MIN}, {8191, -8192}};
  for (const auto& c : centres) {
    for (float scale : {1e-30f, 1e-3f, 1.0f, 900.0f, 1e30f}) {
      for (int mirror : {0, 1}) {
        DrawMemImgRotated(&framed.view, &src.view, c[0], c[1], 1.3f, scale, 0, mirror, nullptr);
      }
    }
  }
  framed.ExpectFrameUntouched();
}

enum class Shape { kTriangle, kQuad, kRotated, kMirrored };

// Draws the shape from src (with its blend image) through the current state.
void DrawShape(Shape shape, Image& dst, const MEMIMG* src, int trans, const MEMIMG* blend, std::mt19937& rng) {
  std::mt19937 local(rng());
  std::uniform_int_distribution<int> pos(-4, 28);
  switch (shape) {
    case Shape::kTriangle: {
      std::uniform_int_distribution<int> tex(-3, 22);
      MemImgVertex v[3];
      for (auto& vx : v) vx = {pos(local), pos(local), tex(local), tex(local)};
      DrawMemImgTriangle(&dst.view, src, v, trans, blend, 0);
      break;
    }
    case Shape::kQuad: {
      std::int32_t k[8];
      for (auto& c : k) c = pos(local);
      DrawMemImgQuad(&dst.view, src, k, trans, blend);
      break;
    }
    default: {
      std::uniform_real_distribution<float> angle(-4.0f, 4.0f), scale(0.5f, 2.5f);
      const float a = angle(local), sc = scale(local);
      const int x = pos(local), y = pos(local);
      DrawMemImgRotated(&dst.view, src, x, y, a, sc, trans, shape == Shape::kMirrored ? 1 : 0, blend);
      break;
    }
  }
}

class TransformedDrawTest : public DrawStateTest {
 protected:
  void SetUp() override { StartDrawState(24); }
};

// Each shape is first drawn in copy mode from a source whose texels name
// their coordinates, which maps every destination pixel to the texel it
// reads (the geometry the tests above check). The same shape then drawn from
// a random source in a random state must give, at every mapped pixel, what
// the per-pixel reference makes of that texel and its blend-image byte, and
// leave every other pixel as it was.
TEST_F(TransformedDrawTest, EveryShapeMatchesTheReferenceEndToEnd) {
  std::mt19937 rng(29);
  std::uniform_int_distribution<std::uint32_t> any;
  constexpr int kModes[] = {0, 1, 2, 3, 4, 10, 11};
  constexpr int kParams[] = {0, 1, 127, 128, 254, 255};
  constexpr int kSide = 24;
  int checked = 0;
  for (int format : {kMemImgFormatXrgb32, kMemImgFormatRgb565}) {
    const bool wide = format == kMemImgFormatXrgb32;
    for (Shape shape : {Shape::kTriangle, Shape::kQuad, Shape::kRotated, Shape::kMirrored}) {
      for (int kind = 0; kind < 3; ++kind) {  // palettised, direct, alpha
        for (int rep = 0; rep < 14; ++rep) {
          const int w = 3 + static_cast<int>(any(rng) % 14), h = 3 + static_cast<int>(any(rng) % 14);
          const bool pal = kind == 0, alpha = kind == 2;
          const bool trans = any(rng) % 2 == 0, withBlend = any(rng) % 3 == 0;
          const int mode = kModes[any(rng) % 7], p = kParams[any(rng) % 6];
          const std::uint32_t mod = any(rng) % 2 == 0 ? 0xFFFFFF : any(rng) & 0xFFFFFF;
          BuildBlendImageFactorTable(static_cast<int>(any(rng) % 256), static_cast<int>(any(rng) % 256));

          Image coords, src, blend, map, dst, before;
          MakeCoordSource(coords, w, h, format);
          Make(src, w, h, format, pal, alpha, pal ? 3 : 0);
          for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
              std::uint32_t t = any(rng);
              if (pal) t &= 7;  // few indices, so the transparent one turns up
              // Alpha 0 and 255 often: the fourth byte, or the third of a 16-bit texel.
              const std::uint32_t alphaMask = wide ? 0xFF000000u : 0x00FF0000u;
              if (alpha && any(rng) % 3 == 0) t = (t & ~alphaMask) | (any(rng) % 2 == 0 ? 0u : alphaMask);
              Put(src, x, y, t);
            }
          }
          if (pal) {
            for (int i = 0; i < 256; ++i) {
              const std::uint32_t e = any(rng);
              std::memcpy(src.view.block->palette + i * (wide ? 4 : 2), &e, wide ? 4 : 2);
            }
          } else if (!alpha) {
            src.view.block->transColor = Get(src, 0, 0);
          }
          Make(blend, w + 1, h, kMemImgFormatMono8);
          for (int y = 0; y < h; ++y) {
            for (int x = 0; x <= w; ++x) *At(blend, x, y) = static_cast<std::uint8_t>(any(rng));
          }
          Make(map, kSide, kSide, format);
          Make(dst, kSide, kSide, format);
          Make(before, kSide, kSide, format);
          for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
              Put(dst, x, y, any(rng));
              Put(before, x, y, Get(dst, x, y));
            }
          }

          std::mt19937 shapeRng = rng;
          State(0, 0);
          gMemImgDrawState.colorMod = 0xFFFFFF;
          DrawShape(shape, map, &coords.view, 0, nullptr, shapeRng);
          shapeRng = rng;
          State(mode, p);
          gMemImgDrawState.colorMod = mod;
          DrawShape(shape, dst, &src.view, trans ? 1 : 0, withBlend ? &blend.view : nullptr, shapeRng);
          rng.discard(1);

          const MemImgPixelBlock& b = *src.view.block;
          for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
              const std::uint32_t d = Get(before, x, y), m = Get(map, x, y);
              std::uint32_t want = d;
              if (m != 0) {
                const int col = wide ? static_cast<int>((m >> 12) & 0xFFF) : static_cast<int>((m >> 7) & 0x7F);
                const int row = wide ? static_cast<int>(m & 0xFFF) : static_cast<int>(m & 0x7F);
                const int factor = withBlend ? BlendImageFactors()[*At(blend, col, row)] : 255;
                const std::uint8_t* texel = At(src, col, row);
                if (wide) {
                  tex_oracle32::Texel t;
                  t.index = texel[0];
                  std::memcpy(&t.color, pal ? b.palette + texel[0] * 4 : texel, 4);
                  t.factor = factor;
                  const tex_oracle32::Draw dr{mode, p, mod, trans, withBlend,
                                              pal ? tex_oracle32::Kind::kPalettised
                                                  : (alpha ? tex_oracle32::Kind::kAlpha : tex_oracle32::Kind::kDirect),
                                              b.transColor};
                  want = tex_oracle32::Pixel(d, t, dr);
                } else {
                  std::uint16_t palette[256] = {};
                  if (pal) std::memcpy(palette, b.palette, sizeof palette);
                  const textured_oracle16::Call call{mode, p, mod, trans};
                  const textured_oracle16::Source source{pal, alpha, b.transColor, palette};
                  const std::uint32_t raw = pal ? texel[0] : static_cast<std::uint32_t>(texel[0] | texel[1] << 8);
                  std::optional<std::uint32_t> f;
                  if (withBlend) f = static_cast<std::uint32_t>(factor);
                  if (textured_oracle16::Draws(call, source)) {
                    want = textured_oracle16::Pixel(call, source, d, raw, alpha ? texel[2] : 0, f).value_or(d);
                  }
                }
                ++checked;
              }
              ASSERT_EQ(Get(dst, x, y), want)
                  << "format " << format << " shape " << static_cast<int>(shape) << " kind " << kind << " mode " << mode
                  << " p " << p << " mod " << mod << " trans " << trans << " blend " << withBlend << " at " << x << ","
                  << y;
            }
          }
        }
      }
    }
  }
  EXPECT_GT(checked, 10000);
}

}  // namespace
}  // namespace qz
