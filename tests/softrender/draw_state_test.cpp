// Blend tables: every entry against its defining formula, the spot values the
// pixel routines rely on, the signed row pointer and the blend-image ramp.
#include <gtest/gtest.h>

#include <algorithm>

#include "softrender/draw_state.h"

namespace qz {
namespace {

class BlendTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(BuildMemImgBlendTables(), 0); }
};

TEST_F(BlendTables, ProductTableMatchesFloorDivision) {
  for (int b = 0; b < 256; ++b) {
    for (int i = 0; i < 256; ++i) ASSERT_EQ(MulDiv255Row(b)[i], static_cast<std::uint32_t>(i * b / 255)) << b << "," << i;
  }
  EXPECT_EQ(MulDiv255Row(128)[255], 128u);
  EXPECT_EQ(MulDiv255Row(128)[1], 0u);
  EXPECT_EQ(MulDiv255Row(254)[254], 253u);
  EXPECT_EQ(MulDiv255Row(255)[255], 255u);
  EXPECT_EQ(MulDiv255Row(0)[200], 0u);
}

TEST_F(BlendTables, SignedRowsTruncateTowardZero) {
  for (int a = 0; a < 256; ++a) {
    const std::int32_t* row = DeltaMulDiv255Row(a);
    for (int d = -255; d <= 255; ++d) {
      const int exact = a * d;
      const int truncated = exact >= 0 ? exact / 255 : -((-exact) / 255);
      ASSERT_EQ(row[d], truncated) << a << "," << d;
    }
    EXPECT_EQ(row[0], 0);
    EXPECT_EQ(blend_tables::deltaMulDiv255[a][0], 0);  // never written
  }
  EXPECT_EQ(DeltaMulDiv255Row(128)[-1], 0);
  EXPECT_EQ(DeltaMulDiv255Row(255)[-255], -255);
  EXPECT_EQ(DeltaMulDiv255Row(200)[100], 78);
  EXPECT_EQ(DeltaMulDiv255Row(200)[-100], -78);
  EXPECT_EQ(DeltaMulDiv255Row(200), &blend_tables::deltaMulDiv255[200][256]);
}

TEST_F(BlendTables, Lerp64SlicesBlendSourceOverDestination) {
  for (int w = 0; w < 64; ++w) {
    const std::uint8_t* slice = Lerp64Slice(w);
    for (int s = 0; s < 64; ++s) {
      for (int d = 0; d < 64; ++d) ASSERT_EQ(slice[s * 64 + d], (s * w + d * (63 - w)) / 63);
      ASSERT_EQ(slice[s * 64 + s], s);
    }
  }
  for (int v = 0; v < 64; ++v) {
    EXPECT_EQ(Lerp64Slice(63)[v * 64 + 7], v);
    EXPECT_EQ(Lerp64Slice(0)[7 * 64 + v], v);
  }
  EXPECT_EQ(Lerp64Slice(32)[63 * 64 + 0], 32);
  EXPECT_EQ(Lerp64Slice(31)[0 * 64 + 63], 32);
  EXPECT_EQ(Lerp64Slice(1)[63 * 64 + 62], 62);
}

TEST(BlendImageFactors, RampFromFadeAndBorder) {
  for (int r : {0, 1, 64, 255}) {
    BuildBlendImageFactorTable(0, r);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(BlendImageFactors()[i], 255) << r << "," << i;
  }
  BuildBlendImageFactorTable(128, 0);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(BlendImageFactors()[i], i <= 127 ? 0 : (i == 128 ? 128 : 255)) << i;
  BuildBlendImageFactorTable(255, 255);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(BlendImageFactors()[i], std::max(0, i - 254)) << i;
  BuildBlendImageFactorTable(255, 0);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(BlendImageFactors()[i], i == 255 ? 1 : 0) << i;
  // r = 255: i + 256 - 2p, clamped.
  BuildBlendImageFactorTable(100, 255);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(BlendImageFactors()[i], std::clamp(i + 256 - 200, 0, 255)) << i;
}

TEST(BlendModes, OnlyTheSevenModesDraw) {
  for (int m = -3; m < 16; ++m) {
    const bool draws = m == 0 || m == 1 || m == 2 || m == 3 || m == 4 || m == 10 || m == 11;
    EXPECT_EQ(IsDrawingBlendMode(m), draws) << m;
  }
}

}  // namespace
}  // namespace qz
