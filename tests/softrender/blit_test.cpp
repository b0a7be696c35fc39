// Per-pixel loops of the plain blit: every family, mode, option and blend
// parameter against the scalar oracle on random images, bit for bit, with
// clipped positions; refused calls leave the destination untouched; the
// named quirks of the formulas.
#include <gtest/gtest.h>

#include <string>

#include "softrender/blit_fixture.h"

namespace qz::blit_test {
namespace {

const int kModes[] = {0, 1, 2, 3, 4, 10, 11, 5, 9, 12, -1};
const int kParams[] = {0, 1, 127, 128, 254, 255};

class BlitOracleTest : public ::testing::TestWithParam<Family> {
 protected:
  static void SetUpTestSuite() { BuildMemImgBlendTables(); }
};

TEST_P(BlitOracleTest, EveryCombinationMatchesTheOracle) {
  const Family fam = GetParam();
  std::mt19937 rng(1234);
  BuildBlendImageFactorTable(100, 40);
  const std::uint32_t key = fam.pal ? 7u : (fam.format == kMemImgFormatRgb565 ? 0xF81Fu : 0x00FF00FFu);
  Img src(13, 9, fam.format, fam.pal, fam.alpha, false, key);
  Img blend(15, 10, kMemImgFormatMono8, false, false, false);
  Img dst(24, 16, fam.format, false, false, false);
  const int positions[][2] = {{3, 4}, {-5, -3}, {18, 10}};
  int failures = 0;
  for (int mode : kModes) {
    for (int p : kParams) {
      for (int options = 0; options < 4; ++options) {
        const bool useBlend = options & 1;
        const bool mod = options & 2;
        for (int trans = 0; trans < 2; ++trans) {
          const auto& pos = positions[static_cast<unsigned>(mode + p + options + trans) % 3u];
          FillSource(src, rng);
          FillRandom(blend, rng);
          FillRandom(dst, rng);
          const State st = Applied(mode, p, {1, 2, 23, 15}, mod ? 0x00C0FF40u : 0xFFFFFFu);
          const auto want = Expected(dst, src, pos[0], pos[1], trans, useBlend ? &blend : nullptr, st, false);
          DrawMemImgAt(&dst.v, &src.v, pos[0], pos[1], trans, useBlend ? &blend.v : nullptr);
          const auto got = dst.bytes();
          if (got != want && ++failures <= 10) {
            ADD_FAILURE() << fam.name << " mode " << mode << " p " << p << " blend " << useBlend << " mod " << mod
                          << " trans " << trans << " at " << pos[0] << "," << pos[1] << ": "
                          << FirstDifference(got, want);
          }
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

INSTANTIATE_TEST_SUITE_P(Families, BlitOracleTest, ::testing::ValuesIn(kFamilies),
                         [](const auto& info) { return std::string(info.param.name); });

class BlitEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildMemImgBlendTables();
    BuildBlendImageFactorTable(0, 0);
  }
  // Draws and reports whether the destination changed.
  static bool Changes(Img& dst, const Img& src, int x, int y, int trans, const MEMIMG* blend, const State& st) {
    Apply(st);
    const auto before = dst.bytes();
    DrawMemImgAt(&dst.v, &src.v, x, y, trans, blend);
    return dst.bytes() != before;
  }
};

TEST_F(BlitEntryTest, RefusedInputDrawsNothing) {
  std::mt19937 rng(7);
  Img src32(8, 8, kMemImgFormatXrgb32, false, false, false);
  Img src16(8, 8, kMemImgFormatRgb565, false, false, false);
  Img dst32(16, 16, kMemImgFormatXrgb32, false, false, false);
  Img palDst(16, 16, kMemImgFormatXrgb32, true, false, false);
  Img alphaDst(16, 16, kMemImgFormatXrgb32, false, true, false);
  Img mono(16, 16, kMemImgFormatMono8, false, false, false);
  Img smallBlend(7, 8, kMemImgFormatMono8, false, false, false);
  Img wrongBlend(8, 8, kMemImgFormatXrgb32, false, false, false);
  Img empty(0, 5, kMemImgFormatXrgb32, false, false, false);
  for (Img* img : {&src32, &src16, &dst32, &palDst, &alphaDst, &mono}) FillRandom(*img, rng);
  State st;
  st.area = {0, 0, 16, 16};
  ASSERT_TRUE(Changes(dst32, src32, 2, 2, 0, nullptr, st));

  EXPECT_FALSE(Changes(dst32, src16, 2, 2, 0, nullptr, st)) << "format mismatch";
  EXPECT_FALSE(Changes(palDst, src32, 2, 2, 0, nullptr, st)) << "palettised destination";
  EXPECT_FALSE(Changes(alphaDst, src32, 2, 2, 0, nullptr, st)) << "destination with alpha";
  EXPECT_FALSE(Changes(mono, mono, 2, 2, 0, nullptr, st)) << "single-channel images";
  EXPECT_FALSE(Changes(dst32, src32, 2, 2, 0, &smallBlend.v, st)) << "blend image smaller than the source";
  EXPECT_FALSE(Changes(dst32, src32, 2, 2, 0, &wrongBlend.v, st)) << "blend image not 8-bit";
  EXPECT_FALSE(Changes(dst32, empty, 2, 2, 0, nullptr, st)) << "empty source";
  EXPECT_FALSE(Changes(dst32, src32, 16, 2, 0, nullptr, st)) << "right of the area";
  EXPECT_FALSE(Changes(dst32, src32, -8, -8, 0, nullptr, st)) << "touching the top-left corner only";
  EXPECT_FALSE(Changes(dst32, src32, INT32_MAX, 0, 0, nullptr, st)) << "position at the integer limit";

  // A view reaching past its block is refused, not drawn.
  MEMIMG bad = src32.v;
  bad.width = 64;
  Apply(st);
  const auto before = dst32.bytes();
  DrawMemImgAt(&dst32.v, &bad, 0, 0, 0, nullptr);
  EXPECT_EQ(dst32.bytes(), before);
  DrawMemImgAt(&dst32.v, nullptr, 0, 0, 0, nullptr);
  EXPECT_EQ(dst32.bytes(), before);

  // A draw area larger than the destination is kept to the destination.
  st.area = {-100, -100, 1000, 1000};
  Apply(st);
  Img big(40, 40, kMemImgFormatXrgb32, false, false, false);
  FillRandom(big, rng);
  DrawMemImgAt(&dst32.v, &big.v, -10, -10, 0, nullptr);
  EXPECT_EQ(Load(dst32.at(15, 15), 4), Load(big.at(25, 25), 4));
}

TEST_F(BlitEntryTest, ClippedDrawStartsSourceAndBlendImageAtTheCut) {
  Img src(6, 5, kMemImgFormatXrgb32, false, false, false);
  Img blend(6, 5, kMemImgFormatMono8, false, false, false);
  Img dst(10, 10, kMemImgFormatXrgb32, false, false, false);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      Store(src.at(x, y), 0x00010000u * x + 0x100u * y + 0xFFu, 4);
      *blend.at(x, y) = static_cast<std::uint8_t>(x == 3 && y == 2 ? 255 : 0);
    }
  }
  FillMemImgArea(&dst.v, nullptr, 0);
  BuildBlendImageFactorTable(0, 0);  // factor 255 everywhere
  State st;
  st.area = {2, 3, 8, 8};
  Apply(st);
  DrawMemImgAt(&dst.v, &src.v, -1, 1, 0, nullptr);
  // Destination (2, 3) shows source (3, 2); nothing left of or above the area.
  EXPECT_EQ(Load(dst.at(2, 3), 4), 0x000302FFu);
  EXPECT_EQ(Load(dst.at(4, 5), 4), 0x000504FFu);
  EXPECT_EQ(Load(dst.at(1, 3), 4), 0u);
  EXPECT_EQ(Load(dst.at(2, 2), 4), 0u);
  EXPECT_EQ(Load(dst.at(5, 3), 4), 0u);  // source column 6 does not exist

  // The blend image follows the source: only source (3, 2) has weight.
  FillMemImgArea(&dst.v, nullptr, 0);
  BuildBlendImageFactorTable(128, 0);  // factor 0 for b < 128, 255 above
  st.mode = 1;
  st.p = 255;
  Apply(st);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) *blend.at(x, y) = static_cast<std::uint8_t>(x == 3 && y == 2 ? 255 : 0);
  }
  DrawMemImgAt(&dst.v, &src.v, -1, 1, 0, &blend.v);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) {
      // floor(s * 255 / 256) of 0x000302FF
      EXPECT_EQ(Load(dst.at(x, y), 4), x == 2 && y == 3 ? 0x000201FEu : 0u) << x << "," << y;
    }
  }
}

// One pixel through the 32-bit formulas: a plain source keyed on 0x12345678
// or one with alpha, the blend image's byte weighing factor 0 when used.
TEST_F(BlitEntryTest, WorkedValuesOf32BitFormulas) {
  const struct {
    const char* what;
    bool alpha;
    int mode, p, trans;
    bool blend;
    std::uint32_t s, d, mask, want;
  } cases[] = {
      {"half-sum at p 128: floor(s/2) + floor(d/2), byte X cleared", false, 1, 128, 1, false, 0xFF030303, 0xFF010101,
       0xFFFFFFFF, 0x00010101},
      {"general add: blue 200 + 100 saturates, green 3 + 3 gives 5", false, 2, 254, 1, false, 0x00000364, 0x000003C8,
       0xFFFF, 0x05FF},
      {"general add: green's term 3 * 254 / 255 = 2", false, 2, 254, 1, false, 0x0300, 0x0300, 0xFF00, 0x0500},
      {"add at p 255: green 3 + 3 gives 4", false, 2, 255, 1, false, 0x0300, 0x0300, 0xFF00, 0x0400},
      // Blue clamps to 0, green borrows from its forced low bit, red keeps it.
      {"subtract 50 from 20, byte X cleared", false, 3, 255, 1, false, 0x00000032, 0xFF000014, 0xFFFFFFFF,
       0x00010000},
      {"alpha at p 255 copies the whole pixel", false, 1, 255, 1, false, 0xAB123456, 0, 0xFFFFFFFF, 0xAB123456},
      {"the key pixel is skipped", false, 0, 255, 1, false, 0x12345678, 0x01020304, 0xFFFFFFFF, 0x01020304},
      {"multiply blackens under alpha 0 with trans", true, 4, 255, 1, false, 0x00808080, 0x77FFFFFF, 0xFFFFFFFF,
       0x77000000},
      {"copy without trans keeps the alpha byte", true, 0, 255, 0, false, 0x00102030, 0x77FFFFFF, 0xFFFFFFFF,
       0x00102030},
      {"copy with trans skips alpha 0", true, 0, 255, 1, false, 0x00102030, 0x77FFFFFF, 0xFFFFFFFF, 0x77FFFFFF},
      {"copy with trans stores alpha 255 whole", true, 0, 255, 1, false, 0xFF102030, 0x77FFFFFF, 0xFFFFFFFF,
       0xFF102030},
      {"copy at factor 0 leaves the colour", true, 0, 200, 1, true, 0xFF102030, 0x77406080, 0xFFFFFF, 0x406080},
      {"alpha at factor 0 leaves the colour", true, 1, 200, 1, true, 0xFF102030, 0x77406080, 0xFFFFFF, 0x406080},
      {"add at factor 0 leaves the colour", true, 2, 200, 1, true, 0xFF102030, 0x77406080, 0xFFFFFF, 0x406080},
      {"inverted at factor 0 leaves the colour", true, 10, 200, 1, true, 0xFF102030, 0x77406080, 0xFFFFFF, 0x406080},
      {"multiply blend at factor 0 leaves the colour", true, 11, 200, 1, true, 0xFF102030, 0x77406080, 0xFFFFFF,
       0x406080},
      {"subtract at factor 0 sets green's and red's low bits", true, 3, 200, 1, true, 0xFF102030, 0x77406080,
       0xFFFFFFFF, 0x00416180},
      {"multiply at factor 0 blackens", true, 4, 200, 1, true, 0xFF102030, 0x77406080, 0xFFFFFFFF, 0x77000000},
  };
  Img keyed(2, 1, kMemImgFormatXrgb32, false, false, false, 0x12345678u);
  Img alpha(1, 1, kMemImgFormatXrgb32, false, true, false);
  Img dst(2, 1, kMemImgFormatXrgb32, false, false, false);
  Img blend(1, 1, kMemImgFormatMono8, false, false, false);
  BuildBlendImageFactorTable(255, 0);  // factor 0 below 255
  *blend.at(0, 0) = 0;
  for (const auto& c : cases) {
    const Img& src = c.alpha ? alpha : keyed;
    Store(src.at(0, 0), c.s, 4);
    Store(dst.at(0, 0), c.d, 4);
    Applied(c.mode, c.p, {0, 0, 2, 1});
    DrawMemImgAt(&dst.v, &src.v, 0, 0, c.trans, c.blend ? &blend.v : nullptr);
    EXPECT_EQ(Load(dst.at(0, 0), 4) & c.mask, c.want) << c.what;
  }
}

// Sprite rows long enough for the vector blocks: runs of transparent, opaque
// and translucent pixels of every length up to twenty, so whole blocks of
// each kind, mixed blocks and short tails all occur, drawn through a sub-view
// as sheet cells are.
TEST_F(BlitEntryTest, LongAlphaRowsMatchTheOracle) {
  std::mt19937 rng(4242);
  Img sheet(70, 9, kMemImgFormatXrgb32, false, true, false);
  FillRandom(sheet, rng);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 70;) {
      const int run = 1 + static_cast<int>(rng() % 20);
      const int kind = static_cast<int>(rng() % 3);
      for (int i = 0; i < run && x < 70; ++i, ++x) {
        const std::uint8_t alpha = kind == 0 ? 0 : kind == 1 ? 255 : static_cast<std::uint8_t>(1 + rng() % 254);
        sheet.at(x, y)[3] = alpha;
      }
    }
  }
  const Img cell(sheet, 3, 1, 61, 7);
  State st;
  st.area = {0, 0, 80, 12};
  for (const int x : {5, -4, 30}) {
    Img dst(80, 12, kMemImgFormatXrgb32, false, false, false);
    FillRandom(dst, rng);
    Apply(st);
    const auto want = Expected(dst, cell, x, 3, 1, nullptr, st, false);
    DrawMemImgAt(&dst.v, &cell.v, x, 3, 1, nullptr);
    EXPECT_EQ(FirstDifference(dst.bytes(), want), "") << "at x " << x;
  }
}

// Add and subtract from a plain 32-bit source run four pixels at a time: the
// rows hold every channel value (the term floor(s p / 255) is exact only if
// the products that are multiples of 255 come out right), over every p, and
// end in a tail the vector rows leave to the per-pixel kernel.
TEST_F(BlitEntryTest, AddAndSubtractRowsMatchTheOracleForEveryValue) {
  std::mt19937 rng(255);
  Img src(258, 3, kMemImgFormatXrgb32, false, false, false);
  FillRandom(src, rng);
  for (int x = 0; x < 258; ++x) {
    for (int y = 0; y < 3; ++y) {
      for (int c = 0; c < 3; ++c) src.at(x, y)[c] = static_cast<std::uint8_t>((x + 85 * (y + c)) % 256);
    }
  }
  int failures = 0;
  for (int mode : {2, 3}) {
    for (int p = 1; p < 256; ++p) {
      Img dst(262, 4, kMemImgFormatXrgb32, false, false, false);
      FillRandom(dst, rng);
      const State st = Applied(mode, p, {0, 0, 262, 4});
      const auto want = Expected(dst, src, 1, 1, 0, nullptr, st, false);
      DrawMemImgAt(&dst.v, &src.v, 1, 1, 0, nullptr);
      const std::string diff = FirstDifference(dst.bytes(), want);
      if (!diff.empty() && ++failures <= 5) ADD_FAILURE() << "mode " << mode << " p " << p << ": " << diff;
    }
  }
  EXPECT_EQ(failures, 0);
}

// Keyed copies and constant-alpha mixes of a plain 32-bit source run four
// pixels at a time: rows of keyed and drawn runs of every length up to nine
// (whole blocks of each, mixed blocks, tails), a key that differs from a
// drawn colour only in its unused byte, every weight, and a source view
// starting inside its block as sheet cells do.
TEST_F(BlitEntryTest, KeyedRowsMatchTheOracleForEveryWeight) {
  std::mt19937 rng(216);
  const std::uint32_t key = 0x00FF00FFu;
  Img sheet(75, 6, kMemImgFormatXrgb32, false, false, false, key);
  FillRandom(sheet, rng);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 75;) {
      const int run = 1 + static_cast<int>(rng() % 9);
      const bool keyed = rng() % 2 == 0;
      for (int i = 0; i < run && x < 75; ++i, ++x) {
        if (keyed) Store(sheet.at(x, y), key, 4);
        else if (rng() % 8 == 0) Store(sheet.at(x, y), key | 0x01000000u, 4);
      }
    }
  }
  const Img cell(sheet, 1, 1, 71, 5);
  int failures = 0;
  for (int mode : {0, 1}) {
    for (int p = 1; p < 256; ++p) {
      Img dst(80, 8, kMemImgFormatXrgb32, false, false, false);
      FillRandom(dst, rng);
      const State st = Applied(mode, p, {0, 0, 80, 8});
      const int x = p % 3 == 0 ? -2 : 4;
      const auto want = Expected(dst, cell, x, 2, 1, nullptr, st, false);
      DrawMemImgAt(&dst.v, &cell.v, x, 2, 1, nullptr);
      const std::string diff = FirstDifference(dst.bytes(), want);
      if (!diff.empty() && ++failures <= 5) ADD_FAILURE() << "mode " << mode << " p " << p << ": " << diff;
      if (mode == 0) break;  // a copy has no weight
    }
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace qz::blit_test
