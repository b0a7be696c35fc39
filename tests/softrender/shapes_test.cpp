// Filled rectangles and lines: every mode on both formats against a scalar
// reference of the per-pixel rules, the listed values, line stepping and
// clipping, and refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "softrender/draw_state.h"
#include "softrender/mem_img.h"
#include "softrender/span_oracle.h"
#include "softrender/shapes.h"
#include "softrender/test_image.h"
#include "support/edge_pixels.h"

namespace qz {
namespace {

using namespace qz::testing;

class ShapesTest : public DrawStateTest {
 protected:
  void SetUp() override { StartDrawState(100); }
};

TEST_F(ShapesTest, FillMatchesTheRulesInEveryMode) {
  std::mt19937 rng(99);
  const std::vector<std::uint32_t> kEdge = EdgePixels();
  std::size_t edgeStart = 0;
  for (int format : {0, 1}) {
    const bool wide = format == 1;
    for (int mode : {0, 1, 2, 3, 4, 5, 9, 10, 11, 12, -1}) {
      for (int p : {0, 1, 127, 128, 254, 255}) {
        for (std::uint32_t mod : {0xFFFFFFu, 0x80FF40u, static_cast<std::uint32_t>(rng())}) {
          Image img;
          Make(img, 13, 9, format);
          // Rows 2 to 5 hold edge pixels, shifted a pixel a row so that each
          // meets every lane of a four-pixel step.
          for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 13; ++x) {
              const bool edge = y >= 2 && y < 6;
              Put(img, x, y, edge ? kEdge[(x + y + edgeStart) % kEdge.size()] : rng());
            }
          edgeStart += 13;
          std::uint32_t color = p == 127 ? kEdge[rng() % kEdge.size()] : rng();
          if (!wide) color &= 0xFFFF;
          Image want;
          Make(want, 13, 9, format);
          std::memcpy(want.view.block->pixels, img.view.block->pixels, Bytes(img).size());
          // 9, 1, 3, 4 or 5 pixels across from x 2: around the four-pixel steps.
          constexpr int kRights[] = {11, 3, 5, 6, 7};
          const int right = kRights[rng() % std::size(kRights)];
          const Rect rect{right, 7, 1, 2};
          gMemImgDrawState.drawArea = Rect{2, 0, 13, 6};
          State(mode, p);
          gMemImgDrawState.colorMod = mod;
          FillMemImgRect(&img.view, &rect, color);
          const bool draws = mode == 0 || mode == 1 || mode == 2 || mode == 3 || mode == 4 || mode == 10 || mode == 11;
          for (int y = 2; y < 6 && draws; ++y)
            for (int x = 2; x < right; ++x) {
              Put(want, x, y, span_oracle::Pixel(Get(want, x, y), color, mode, p, mod, wide, true));
            }
          ASSERT_EQ(Bytes(img), Bytes(want)) << "format " << format << " mode " << mode << " p " << p << " mod "
                                             << std::hex << mod;
        }
      }
    }
  }
}

TEST_F(ShapesTest, ListedValues) {
  const struct {
    const char* what;
    int mode, p;
    std::uint32_t mod, d, color, want;
  } cases[] = {
      {"alpha 128 of white over black", 1, 128, 0xFFFFFF, 0, 0x00FFFFFF, 0x007F7F7F},
      {"add saturates and sets the low bit above", 2, 255, 0xFFFFFF, 0x00F0F0F0, 0x00202020, 0x01FFFFFF},
      {"subtract floors at 0", 3, 255, 0xFFFFFF, 0x00102030, 0x00204010, 0x00000020},
      {"modulated copy", 0, 0, 0xFF8080, 0, 0x00FFFFFF, 0x00FE7F7F},
  };
  const Rect one{0, 0, 1, 1};
  for (const auto& c : cases) {
    Image img;
    Make(img, 4, 4, 1);
    Put(img, 0, 0, c.d);
    State(c.mode, c.p);
    gMemImgDrawState.colorMod = c.mod;
    FillMemImgRect(&img.view, &one, c.color);
    EXPECT_EQ(Get(img, 0, 0), c.want) << c.what;
  }

  // Reversed edges fill the same area; p = 0 changes nothing; p = 255 stores.
  State(0, 0);
  gMemImgDrawState.colorMod = 0xFFFFFF;
  Image a, b;
  Make(a, 16, 24, 0);
  Make(b, 16, 24, 0);
  const Rect fwd{0, 5, 10, 20}, rev{10, 20, 0, 5};
  FillMemImgRect(&a.view, &fwd, 0x1234);
  FillMemImgRect(&b.view, &rev, 0x1234);
  EXPECT_EQ(Bytes(a), Bytes(b));
  State(1, 0);
  FillMemImgRect(&b.view, nullptr, 0xFFFF);
  EXPECT_EQ(Bytes(a), Bytes(b));
  State(1, 255);
  FillMemImgRect(&a.view, &fwd, 0x4321);
  State(0, 0);
  FillMemImgRect(&b.view, &fwd, 0x4321);
  EXPECT_EQ(Bytes(a), Bytes(b));
  // An odd width is filled to its last pixel and no further.
  const Rect odd{1, 0, 4, 1};
  FillMemImgRect(&a.view, &odd, 0xBEEF);
  EXPECT_EQ(Get(a, 0, 0), 0u);
  EXPECT_EQ(Get(a, 3, 0), 0xBEEFu);
  EXPECT_EQ(Get(a, 4, 0), 0u);
}

std::set<std::pair<int, int>> Drawn(Image& img) {
  std::set<std::pair<int, int>> out;
  for (int y = 0; y < img.view.height; ++y)
    for (int x = 0; x < img.view.width; ++x)
      if (Get(img, x, y) != 0) out.insert({x, y});
  return out;
}

TEST_F(ShapesTest, LinesStepAndClip) {
  using Points = std::set<std::pair<int, int>>;
  auto line = [&](int x1, int y1, int x2, int y2) {
    Image img;
    Make(img, 110, 110, 1);
    DrawMemImgLine(&img.view, x1, y1, x2, y2, 0x00FFFFFF);
    return Drawn(img);
  };
  EXPECT_EQ(line(0, 0, 4, 1), (Points{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
  EXPECT_TRUE(line(3, 3, 3, 3).empty());
  EXPECT_EQ(line(0, 0, 0, 5), (Points{{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}}));
  // Steep and reversed: pixel i at y1 + i * sy, x1 + sx * floor(i * |ex| / |ey|).
  EXPECT_EQ(line(10, 10, 8, 4), (Points{{10, 10}, {10, 9}, {10, 8}, {9, 7}, {9, 6}, {9, 5}}));
  Points row10, row50;
  for (int x = 0; x < 100; ++x) {
    row10.insert({x, 10});
    row50.insert({x, 50});
  }
  EXPECT_EQ(line(-50, 10, 150, 10), row10);
  EXPECT_EQ(line(120, 50, -20, 50), row50);
  EXPECT_TRUE(line(-30, 5, -10, 80).empty());
  // Missing the area across a corner still leaves the clamped start point.
  EXPECT_EQ(line(-50, 10, 10, -50), (Points{{0, 0}}));
  // Extreme coordinates neither overflow nor leave the area.
  const Points far = line(-2147483647, 20, 2147483647, 20);
  EXPECT_FALSE(far.empty());
  for (const auto& pt : far) EXPECT_EQ(pt.second, 20);
  // Random lines with clipped ends stay inside the draw area.
  std::mt19937 rng(3);
  gMemImgDrawState.drawArea = Rect{10, 20, 70, 90};
  for (int i = 0; i < 300; ++i) {
    auto r = [&] { return std::uniform_int_distribution<int>(-60, 170)(rng); };
    for (const auto& pt : line(r(), r(), r(), r())) {
      ASSERT_TRUE(pt.first >= 10 && pt.first < 70 && pt.second >= 20 && pt.second < 90);
    }
  }
}

TEST_F(ShapesTest, LineRecordsAndAlphaTargets) {
  Image img;
  Make(img, 20, 20, 1);
  const MemImgLineRecord box[4] = {{2, 2, 8, 2, 0x10, 0}, {8, 2, 8, 6, 0x20, 0}, {8, 6, 2, 6, 0x30, 0}, {2, 6, 2, 2, 0x40, 0}};
  DrawMemImgLines(&img.view, box, 0);
  EXPECT_TRUE(Drawn(img).empty());
  DrawMemImgLines(&img.view, box, 4);
  EXPECT_EQ(Drawn(img).size(), 20u);
  EXPECT_EQ(Get(img, 2, 2), 0x10u);
  EXPECT_EQ(Get(img, 8, 2), 0x20u);
  EXPECT_EQ(Get(img, 8, 6), 0x30u);
  EXPECT_EQ(Get(img, 2, 6), 0x40u);

  // A 16-bit target with alpha: only the colour word of each pixel changes.
  Image alpha;
  Make(alpha, 8, 4, 0, false, true);
  for (int x = 0; x < 8; ++x) Put(alpha, x, 1, 0xAB7F0000u);
  State(2, 255);
  DrawMemImgLine(&alpha.view, 0, 1, 8, 1, 0x0841);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(Get(alpha, x, 1), 0xAB7F0841u);
  // Fills refuse alpha targets.
  FillMemImgRect(&alpha.view, nullptr, 0xFFFF);
  EXPECT_EQ(Get(alpha, 0, 0), 0u);
}

TEST_F(ShapesTest, RefusedTargetsAndModesDrawNothing) {
  Image pal, mono, img;
  Make(pal, 8, 8, 1, true);
  Make(mono, 8, 8, 2);
  Make(img, 8, 8, 1);
  const auto palBefore = Bytes(pal), monoBefore = Bytes(mono), before = Bytes(img);
  FillMemImgRect(&pal.view, nullptr, 0xFF);
  DrawMemImgLine(&pal.view, 0, 0, 7, 7, 0xFF);
  FillMemImgRect(&mono.view, nullptr, 0xFF);
  DrawMemImgLine(&mono.view, 0, 0, 7, 7, 0xFF);
  EXPECT_EQ(Bytes(pal), palBefore);
  EXPECT_EQ(Bytes(mono), monoBefore);
  for (int mode : {5, 7, 9, 12, -1}) {
    State(mode, 128);
    FillMemImgRect(&img.view, nullptr, 0xFFFFFF);
    DrawMemImgLine(&img.view, 0, 0, 7, 7, 0xFFFFFF);
  }
  State(0, 0);
  MEMIMG unset{};
  FillMemImgRect(&unset, nullptr, 1);
  DrawMemImgLine(&unset, 0, 0, 3, 3, 1);
  DrawMemImgLines(&img.view, nullptr, 3);
  // A draw area set for a larger target stays inside this one.
  gMemImgDrawState.drawArea = Rect{0, 0, 1000, 1000};
  Image small;
  Make(small, 4, 4, 1);
  FillMemImgRect(&small.view, nullptr, 0x00FFFFFFu);
  DrawMemImgLine(&small.view, 0, 0, 900, 900, 0x00FFFFFFu);
  EXPECT_EQ(Bytes(img), before);
}

}  // namespace
}  // namespace qz
