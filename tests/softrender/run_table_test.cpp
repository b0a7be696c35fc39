// Run-table loops of the plain blit: every family, mode and option against
// the scalar oracle's run formulas; when the run loops are taken and when the
// per-pixel loops are; tables that do not describe the drawn view are never
// walked; the named run quirks.
#include <gtest/gtest.h>

#include <string>

#include "softrender/blit_fixture.h"

namespace qz::blit_test {
namespace {


std::uint32_t KeyOf(const Family& f) {
  return f.pal ? 7u : (f.format == kMemImgFormatRgb565 ? 0xF81Fu : 0x00FF00FFu);
}

class RunTableOracleTest : public ::testing::TestWithParam<Family> {
 protected:
  static void SetUpTestSuite() { BuildMemImgBlendTables(); }
};

TEST_P(RunTableOracleTest, EveryCombinationMatchesTheOracle) {
  const Family fam = GetParam();
  std::mt19937 rng(99);
  BuildBlendImageFactorTable(60, 90);
  // Wider than one run so long rows split into several.
  Img src(70, 4, fam.format, fam.pal, fam.alpha, true, KeyOf(fam));
  Img blend(70, 4, kMemImgFormatMono8, false, false, false);
  Img dst(80, 8, fam.format, false, false, false);
  int failures = 0;
  for (int mode : {0, 1, 2, 3, 4, 10, 11, 7, 12, -3}) {
    for (int p : {0, 1, 127, 128, 254, 255}) {
      for (int options = 0; options < 4; ++options) {
        const bool useBlend = options & 1;
        FillSource(src, rng);
        // Some long opaque stretches.
        if (!fam.pal && !fam.alpha) {
          for (int x = 0; x < 69; ++x) Store(src.at(x, 1), 0x1234u + static_cast<std::uint32_t>(x), src.bpp());
        }
        WriteRunTable(src);
        FillRandom(blend, rng);
        FillRandom(dst, rng);
        const State st = Applied(mode, p, {0, 0, 80, 8}, (options & 2) ? 0x0040A0FFu : 0xFFFFFFu);
        const auto want = Expected(dst, src, 5, 2, 1, useBlend ? &blend : nullptr, st, true);
        DrawMemImgAt(&dst.v, &src.v, 5, 2, 1, useBlend ? &blend.v : nullptr);
        if (dst.bytes() != want && ++failures <= 10) {
          ADD_FAILURE() << fam.name << " mode " << mode << " p " << p << " options " << options;
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

INSTANTIATE_TEST_SUITE_P(Families, RunTableOracleTest, ::testing::ValuesIn(kFamilies),
                         [](const auto& info) { return std::string(info.param.name); });

class RunTablePathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildMemImgBlendTables();
    BuildBlendImageFactorTable(0, 0);
  }
};

// Mode 4 tells the paths apart on an alpha source: the runs leave alpha-0
// pixels alone, the per-pixel loops blacken them.
TEST_F(RunTablePathTest, OnlyWholeUnclippedDrawsWithTransOneWalkTheTable) {
  std::mt19937 rng(5);
  Img src(12, 6, kMemImgFormatXrgb32, false, true, true);
  Img dst(20, 12, kMemImgFormatXrgb32, false, false, false);
  FillSource(src, rng);
  WriteRunTable(src);
  State st;
  st.mode = 4;
  st.area = {0, 0, 20, 12};
  struct Case {
    int x, trans;
    bool run;
  } cases[] = {{3, 1, true}, {3, 2, false}, {-1, 1, false}, {9, 1, false}, {3, 0, false}};
  for (const Case& c : cases) {
    FillRandom(dst, rng);
    Apply(st);
    const auto want = Expected(dst, src, c.x, 2, c.trans, nullptr, st, c.run);
    DrawMemImgAt(&dst.v, &src.v, c.x, 2, c.trans, nullptr);
    EXPECT_EQ(dst.bytes(), want) << "x " << c.x << " trans " << c.trans;
  }
  // Without the valid flag the per-pixel loops draw.
  src.b()->runTableValid = 0;
  FillRandom(dst, rng);
  const auto want = Expected(dst, src, 3, 2, 1, nullptr, st, false);
  DrawMemImgAt(&dst.v, &src.v, 3, 2, 1, nullptr);
  EXPECT_EQ(dst.bytes(), want);
}

TEST_F(RunTablePathTest, TablesOfAnotherViewAreNotWalked) {
  std::mt19937 rng(6);
  Img whole(16, 10, kMemImgFormatXrgb32, false, true, true);
  Img dst(20, 14, kMemImgFormatXrgb32, false, false, false);
  FillSource(whole, rng);
  WriteRunTable(whole);
  Img piece(whole, 3, 2, 9, 6);
  State st;
  st.mode = 4;
  st.area = {0, 0, 20, 14};
  Apply(st);
  // The piece shares the block and its valid flag, but not the table's view.
  FillRandom(dst, rng);
  auto want = Expected(dst, piece, 1, 1, 1, nullptr, st, false);
  DrawMemImgAt(&dst.v, &piece.v, 1, 1, 1, nullptr);
  EXPECT_EQ(dst.bytes(), want);

  // A table written through the piece does not describe the whole block.
  WriteRunTable(piece);
  FillRandom(dst, rng);
  want = Expected(dst, whole, 1, 1, 1, nullptr, st, false);
  DrawMemImgAt(&dst.v, &whole.v, 1, 1, 1, nullptr);
  EXPECT_EQ(dst.bytes(), want);
}

// Long translucent and opaque runs take the wide vector spans; odd lengths
// leave tails for the narrower forms.
TEST_F(RunTablePathTest, LongRunsMatchTheOracle) {
  std::mt19937 rng(8);
  for (bool alpha : {true, false}) {
    Img src(61, 5, kMemImgFormatXrgb32, false, alpha, true, 0x01000000u);
    Img dst(64, 8, kMemImgFormatXrgb32, false, false, false);
    FillRandom(src, rng);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 61; ++x) {
        std::uint8_t& a = src.at(x, y)[3];
        if (alpha) a = static_cast<std::uint8_t>(1 + a % 254);  // every pixel translucent
        else if (a == 1) a = 2;                                 // no key pixel
      }
    }
    WriteRunTable(src);
    for (int mode : {0, 1}) {
      for (int p : {1, 127, 128, 200, 254}) {
        FillRandom(dst, rng);
        const State st = Applied(mode, p, {0, 0, 64, 8});
        const auto want = Expected(dst, src, 2, 1, 1, nullptr, st, true);
        DrawMemImgAt(&dst.v, &src.v, 2, 1, 1, nullptr);
        EXPECT_EQ(dst.bytes(), want) << "alpha " << alpha << " mode " << mode << " p " << p;
      }
    }
  }
}

TEST_F(RunTablePathTest, NamedRunQuirks) {
  // Alphas 0, 0, 255 give the row 01 40 C0: two pixels left, the third copied
  // whole with its X byte.
  Img src(3, 1, kMemImgFormatXrgb32, false, true, true);
  Img dst(3, 1, kMemImgFormatXrgb32, false, false, false);
  Store(src.at(0, 0), 0x00112233u, 4);
  Store(src.at(1, 0), 0x00445566u, 4);
  Store(src.at(2, 0), 0xFF778899u, 4);
  WriteRunTable(src);
  ASSERT_EQ(src.b()->runTable[0], 0x01);
  ASSERT_EQ(src.b()->runTable[1], 0x40);
  ASSERT_EQ(src.b()->runTable[2], 0xC0);
  FillMemImgArea(&dst.v, nullptr, 0x01020304u);
  State st;
  st.area = {0, 0, 3, 1};
  Apply(st);
  DrawMemImgAt(&dst.v, &src.v, 0, 0, 1, nullptr);
  EXPECT_EQ(Load(dst.at(0, 0), 4), 0x01020304u);
  EXPECT_EQ(Load(dst.at(1, 0), 4), 0x01020304u);
  EXPECT_EQ(Load(dst.at(2, 0), 4), 0xFF778899u);

  // Multiplying by white: 254 from 255 on 32-bit, 30 and 62 from 31 and 63.
  st.mode = 4;
  Apply(st);
  Store(src.at(0, 0), 0xFFFFFFFFu, 4);
  WriteRunTable(src);
  FillMemImgArea(&dst.v, nullptr, 0x00FFFFFFu);
  DrawMemImgAt(&dst.v, &src.v, 0, 0, 1, nullptr);
  EXPECT_EQ(Load(dst.at(0, 0), 4), 0x00FEFEFEu);
  Img src16(1, 1, kMemImgFormatRgb565, false, false, true, 0);
  Img dst16(1, 1, kMemImgFormatRgb565, false, false, false);
  Store(src16.at(0, 0), 0xFFFF, 2);
  WriteRunTable(src16);
  Store(dst16.at(0, 0), 0xFFFF, 2);
  DrawMemImgAt(&dst16.v, &src16.v, 0, 0, 1, nullptr);
  EXPECT_EQ(Load(dst16.at(0, 0), 2), (30u << 11) | (62u << 5) | 30u);

  // A translucent run in a palettised table is drawn as opaque.
  Img pal(2, 1, kMemImgFormatXrgb32, true, false, true, 9);
  Img pdst(2, 1, kMemImgFormatXrgb32, false, false, false);
  Store(pal.b()->palette + 4 * 3, 0xAABBCCDDu, 4);
  *pal.at(0, 0) = 3;
  *pal.at(1, 0) = 3;
  WriteRunTable(pal);
  pal.b()->runTable[0] = 0x81;
  st.mode = 0;
  Apply(st);
  DrawMemImgAt(&pdst.v, &pal.v, 0, 0, 1, nullptr);
  EXPECT_EQ(Load(pdst.at(1, 0), 4), 0xAABBCCDDu);
}

}  // namespace
}  // namespace qz::blit_test
