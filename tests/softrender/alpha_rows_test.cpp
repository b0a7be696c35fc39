// The alpha-keyed blit of 32-bit sprites at every kernel width the processor
// has (AVX-512, AVX2, scalar): the benchmark's three sheets and one of
// random alphas, each drawn whole (through its run table or the rows), and
// cells cut from them 1 to 40 pixels wide so rows end anywhere in a block,
// drawn whole and clipped at each edge of a target of random bytes. Each
// width must leave the oracle's bytes, so all leave the same. Random colours
// never draw the pixels at the channels' ends, so each vector kernel also
// meets them at every lane of rows up to two blocks and one pixel long, and
// must leave the scalar kernel's bytes, touching nothing past the row.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "softrender/alpha_rows.h"
#include "softrender/blit_fixture.h"
#include "softrender/pixel_write.h"
#include "support/edge_pixels.h"
#include "support/sprite_alpha_sheets.h"

namespace qz::blit_test {
namespace {

using qz::testing::SheetAlpha;

constexpr int kCell = 16;

// Four rows of four cells of one sheet's alphas over random colours; random
// alphas (mostly 0 or 255) when `sheet` is null.
void FillSheet(Img& img, const SheetAlpha* sheet, std::mt19937& rng) {
  FillRandom(img, rng);
  for (int y = 0; y < img.v.height; ++y) {
    for (int x = 0; x < img.v.width; ++x) {
      const int id = x / kCell + y / kCell * 4;
      const std::uint32_t pick = rng() % 4;
      const std::uint32_t random = pick == 0 ? 0 : pick == 1 ? 255 : rng() % 256;
      img.at(x, y)[3] = static_cast<std::uint8_t>(
          sheet != nullptr ? qz::testing::SheetAlphaAt(*sheet, id, x % kCell, y % kCell, kCell) : random);
    }
  }
}

class AlphaRowKernels : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildMemImgBlendTables();
    BuildBlendImageFactorTable(0, 0);
  }
  void TearDown() override { blit::LimitAlphaRowKernel(VectorLevel::kAvx512); }
};

TEST_F(AlphaRowKernels, EveryWidthDrawsTheOraclesBytesOnEverySheet) {
  const SheetAlpha kinds[] = {SheetAlpha::kDiscs, SheetAlpha::kPattern, SheetAlpha::kOpaque};
  State st;
  st.area = {0, 0, 90, 70};
  int levelsRun = 0;
  for (const VectorLevel level : {VectorLevel::kAvx512, VectorLevel::kAvx2, VectorLevel::kScalar}) {
    if (blit::LimitAlphaRowKernel(level) != level) continue;
    ++levelsRun;
    std::mt19937 rng(31337);  // the same sheets, cells and targets at every width
    for (int sheetIndex = 0; sheetIndex < 4; ++sheetIndex) {
      Img sheet(4 * kCell, 4 * kCell, kMemImgFormatXrgb32, false, true, true);
      FillSheet(sheet, sheetIndex < 3 ? &kinds[sheetIndex] : nullptr, rng);
      RebuildMemImgDerivedBuffers(&sheet.v);
      // The whole sheet, whose run table is walked or passed over for the rows
      // by the length of its runs, then cells cut from it.
      for (int draw = -1; draw < 60 && !HasFailure(); ++draw) {
        if (draw < 0) {
          Img dst(90, 70, kMemImgFormatXrgb32, false, false, false);
          FillRandom(dst, rng);
          Apply(st);
          const auto want = Expected(dst, sheet, 13, 3, 1, nullptr, st, true);
          DrawMemImgAt(&dst.v, &sheet.v, 13, 3, 1, nullptr);
          EXPECT_EQ(FirstDifference(dst.bytes(), want), "") << "level " << static_cast<int>(level) << ", sheet "
                                                             << sheetIndex << " drawn whole";
          continue;
        }
        const int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 20);
        const Img cell(sheet, static_cast<int>(rng() % (4 * kCell - w + 1)),
                       static_cast<int>(rng() % (4 * kCell - h + 1)), w, h);
        // Wholly inside, or across the left, right, top or bottom edge.
        const int x = draw % 5 == 1 ? -w / 2 : draw % 5 == 2 ? 90 - w / 2 : static_cast<int>(rng() % (90 - w));
        const int y = draw % 5 == 3 ? -h / 2 : draw % 5 == 4 ? 70 - h / 2 : static_cast<int>(rng() % (70 - h));
        Img dst(90, 70, kMemImgFormatXrgb32, false, false, false);
        FillRandom(dst, rng);
        Apply(st);
        const auto want = Expected(dst, cell, x, y, 1, nullptr, st, false);
        DrawMemImgAt(&dst.v, &cell.v, x, y, 1, nullptr);
        EXPECT_EQ(FirstDifference(dst.bytes(), want), "")
            << "level " << static_cast<int>(level) << ", sheet " << sheetIndex << ", draw " << draw << " (" << w
            << "x" << h << " at " << x << "," << y << ")";
      }
    }
  }
  EXPECT_EQ(levelsRun, 1 + (CpuHasAvx2() ? 1 : 0) + (CpuHasAvx512() ? 1 : 0));
}

// One row of `width` pixels drawn by the kernel of `level` over a target one
// block longer, whose bytes past the row must stay.
std::vector<std::uint32_t> DrawnRow(VectorLevel level, const std::vector<std::uint32_t>& source,
                                    std::vector<std::uint32_t> target) {
  blit::LimitAlphaRowKernel(level);
  blit::AlphaKeyedCopyRows(reinterpret_cast<std::uint8_t*>(target.data()), 0,
                           reinterpret_cast<const std::uint8_t*>(source.data()), 0, static_cast<int>(source.size()),
                           1);
  return target;
}

TEST_F(AlphaRowKernels, EveryVectorKernelMeetsTheChannelsEndsAtEveryLaneAsTheScalarOneDoes) {
  const std::vector<std::uint32_t> edges = qz::testing::EdgePixels();
  int levelsRun = 0;
  for (const auto& [level, lanes] : {std::pair{VectorLevel::kAvx512, 16}, std::pair{VectorLevel::kAvx2, 8}}) {
    if (blit::LimitAlphaRowKernel(level) != level) continue;
    ++levelsRun;
    for (int width = 1; width <= 2 * lanes + 1 && !HasFailure(); ++width) {
      for (std::size_t e = 0; e < edges.size(); ++e) {
        for (int lane = 0; lane < width; ++lane) {
          // Around the edge pixel: opaque white, clear, or the edge pixels in
          // turn (so a block holds every kind at once); the target holds them
          // too, its X byte at the ends as well.
          for (int around = 0; around < 3; ++around) {
            std::vector<std::uint32_t> source(static_cast<std::size_t>(width));
            std::vector<std::uint32_t> target(static_cast<std::size_t>(width + lanes));
            for (int i = 0; i < width; ++i) {
              source[static_cast<std::size_t>(i)] = around == 0 ? 0xFFFFFFFFu
                                                    : around == 1 ? 0x00FFFFFFu
                                                                  : edges[(e + static_cast<std::size_t>(i)) % edges.size()];
            }
            for (std::size_t i = 0; i < target.size(); ++i) target[i] = edges[(e * 7 + i * 3 + 1) % edges.size()];
            source[static_cast<std::size_t>(lane)] = edges[e];
            ASSERT_EQ(DrawnRow(level, source, target), DrawnRow(VectorLevel::kScalar, source, target))
                << "level " << static_cast<int>(level) << ", width " << width << ", lane " << lane << ", pixel "
                << std::hex << edges[e] << ", around " << around;
          }
        }
      }
    }
  }
  if (levelsRun == 0) GTEST_SKIP() << "this processor has no vector kernel for the alpha-keyed rows";
}

}  // namespace
}  // namespace qz::blit_test
