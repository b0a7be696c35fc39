// Scaled blit: every specialised loop against the scalar oracle on random
// sizes (shrink, grow, mirror, clip), the sampling rules, the plain-blit
// fall-back and the refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "softrender/blit.h"
#include "softrender/draw_state.h"
#include "softrender/mem_img.h"
#include "softrender/oracle.h"
#include "softrender/test_image.h"
#include "softrender/scaled_blit.h"

namespace qz {
namespace {

using namespace qz::testing;

constexpr int kModes[] = {0, 1, 2, 3, 4, 10, 11};
constexpr int kParams[] = {0, 1, 127, 128, 254, 255};

class ScaledBlitTest : public DrawStateTest {
 protected:
  void SetUp() override {
    StartDrawState(64);
    BuildBlendImageFactorTable(0, 0);
  }
};

// Source column shown at destination column k (counted from the unclipped
// edge), as the sampling rules state it: rule A floor(k * 65536 / step);
// rule B one lower at exact multiples after the first drawn column of a shrink.
std::int64_t SourceIndex(std::int64_t k, std::int64_t step, std::int64_t firstK, bool ruleB) {
  std::int64_t col = k * 65536 / step;
  if (ruleB && step < 65536 && k > firstK && (k * 65536) % step == 0) --col;
  return col;
}

struct Case {
  int format;  // 0 RGB565, 1 32-bit
  bool pal;
  bool alpha;
  int mode;
  int p;
  bool blend;
  std::uint32_t colorMod;
  bool trans;
};

// Draws one random scene through DrawMemImgScaled and through the oracle and
// compares every destination byte.
void CheckAgainstOracle(const Case& c, std::mt19937& rng) {
  auto rnd = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int sw = rnd(1, 9), sh = rnd(1, 9);
  const bool wide = c.format == 1;
  const std::uint32_t key = c.pal ? static_cast<std::uint32_t>(rnd(0, 255))
                                  : (wide ? static_cast<std::uint32_t>(rng()) : static_cast<std::uint32_t>(rng() & 0xFFFF));
  Image src;
  Make(src, sw, sh, c.format, c.pal, c.alpha, key);
  if (c.pal) {
    std::uint8_t* pal = src.view.block->palette;
    for (int i = 0; i < 256; ++i) {
      if (wide) {
        const std::uint32_t e = rng() & 0x00FFFFFFu;
        std::memcpy(pal + 4 * i, &e, 4);
      } else {
        const std::uint16_t e = static_cast<std::uint16_t>(rng());
        std::memcpy(pal + 2 * i, &e, 2);
      }
    }
    src.view.block->paletteCount = 256;
  }
  for (int y = 0; y < sh; ++y) {
    for (int x = 0; x < sw; ++x) {
      std::uint32_t v = rng();
      if (c.pal) {
        v = rnd(0, 3) == 0 ? key : (v & 0xFF);
      } else if (c.alpha) {
        const int pick = rnd(0, 3);
        const std::uint32_t a = pick == 0 ? 0u : (pick == 1 ? 255u : static_cast<std::uint32_t>(rnd(1, 254)));
        v = wide ? ((v & 0x00FFFFFFu) | (a << 24)) : ((v & 0xFFFFu) | (a << 16) | 0xAB000000u);
      } else if (rnd(0, 3) == 0) {
        v = key;
      }
      Put(src, x, y, v);
    }
  }
  Image blend;
  if (c.blend) {
    Make(blend, sw + rnd(0, 2), sh + rnd(0, 2), 2, false, false);
    for (int y = 0; y < blend.view.height; ++y)
      for (int x = 0; x < blend.view.width; ++x) Put(blend, x, y, static_cast<std::uint32_t>(rnd(0, 255)));
    BuildBlendImageFactorTable(rnd(0, 255), rnd(0, 255));
  }
  const int dw = 40, dh = 40;
  Image dst;
  Make(dst, dw, dh, c.format, false, false);
  for (int y = 0; y < dh; ++y)
    for (int x = 0; x < dw; ++x) Put(dst, x, y, rng());

  int x1, y1, x2, y2;
  do {
    x1 = rnd(-8, 40);
    y1 = rnd(-8, 40);
    x2 = x1 + (rnd(0, 1) ? 1 : -1) * rnd(1, 24);
    y2 = y1 + (rnd(0, 1) ? 1 : -1) * rnd(1, 24);
  } while (x2 - x1 == sw && y2 - y1 == sh);
  const Rect area{rnd(0, 10), rnd(0, 10), rnd(28, 40), rnd(28, 40)};
  gMemImgDrawState.blendMode = c.mode;
  gMemImgDrawState.blendParam = c.p;
  gMemImgDrawState.colorMod = c.colorMod;
  gMemImgDrawState.drawArea = area;

  Image expect;
  Make(expect, dw, dh, c.format, false, false);
  std::memcpy(expect.view.block->pixels, dst.view.block->pixels, Bytes(dst).size());

  const std::int32_t rect[4] = {x1, y1, x2, y2};
  DrawMemImgScaled(&dst.view, &src.view, rect, c.trans ? 1 : 0, c.blend ? &blend.view : nullptr);

  const int left = std::min(x1, x2), right = std::max(x1, x2);
  const int top = std::min(y1, y2), bottom = std::max(y1, y2);
  const std::int64_t stepX = static_cast<std::int64_t>(right - left) * 65536 / sw;
  const std::int64_t stepY = static_cast<std::int64_t>(bottom - top) * 65536 / sh;
  const bool white = (c.colorMod & 0xFFFFFF) == 0xFFFFFF;
  const bool plain = white && !c.blend && !c.alpha;
  const int effMode = (c.mode == 1 && c.p == 255) ? 0 : c.mode;
  const bool ruleB = plain && (effMode == 0 || (effMode == 3 && c.p == 255));
  const int cl = std::max(left, area.left), cr = std::min(right, area.right);
  const int ct = std::max(top, area.top), cb = std::min(bottom, area.bottom);
  oracle::Params pr{.mode = c.mode, .p = c.p, .colorMod = c.colorMod, .trans = c.trans, .blendImage = c.blend,
                    .path = oracle::Path::kScaled};
  for (int y = ct; y < cb; ++y) {
    std::int64_t row = SourceIndex(y - top, stepY, ct - top, ruleB);
    if (y1 > y2) row = sh - 1 - row;
    for (int x = cl; x < cr; ++x) {
      std::int64_t col = SourceIndex(x - left, stepX, cl - left, ruleB);
      if (x1 > x2) col = sw - 1 - col;
      const std::uint32_t raw = Get(src, static_cast<int>(col), static_cast<int>(row));
      oracle::Source s;
      s.palettised = c.pal;
      if (c.pal) {
        std::uint32_t e = 0;
        std::memcpy(&e, src.view.block->palette + (wide ? 4 : 2) * (raw & 0xFF), wide ? 4 : 2);
        s.color = e;
        s.keyHit = (raw & 0xFF) == key;
      } else {
        s.color = wide ? raw : (raw & 0xFFFF);
        s.hasAlpha = c.alpha;
        s.alpha = c.alpha ? static_cast<int>(wide ? raw >> 24 : (raw >> 16) & 0xFF) : 255;
        s.keyHit = !c.alpha && raw == key;
      }
      if (c.blend) pr.factor = BlendImageFactors()[Get(blend, static_cast<int>(col), static_cast<int>(row))];
      const std::uint32_t d = Get(expect, x, y);
      Put(expect, x, y, wide ? oracle::Blit32(d, s, pr) : oracle::Blit565(d, s, pr));
    }
  }
  const std::vector<std::uint8_t> got = Bytes(dst), want = Bytes(expect);
  ASSERT_EQ(got, want) << "format " << c.format << " pal " << c.pal << " alpha " << c.alpha << " mode " << c.mode
                       << " p " << c.p << " blend " << c.blend << " mod " << std::hex << c.colorMod << std::dec
                       << " trans " << c.trans << " src " << sw << "x" << sh << " rect " << x1 << "," << y1 << " "
                       << x2 << "," << y2;
}

TEST_F(ScaledBlitTest, EveryLoopMatchesTheOracle) {
  std::mt19937 rng(20261207);
  struct Kind {
    int format;
    bool pal;
    bool alpha;
  };
  const Kind kinds[] = {{1, false, false}, {1, false, true}, {1, true, false},
                        {0, false, false}, {0, false, true}, {0, true, false}};
  for (const Kind& k : kinds) {
    for (int mode : kModes) {
      for (int p : kParams) {
        for (int opts = 0; opts < 8; ++opts) {
          const std::uint32_t mod = (opts & 2) ? (0x200000u | (rng() & 0xDFFFFF)) : 0xFFFFFFu;
          const Case c{k.format, k.pal, k.alpha, mode, p, (opts & 1) != 0, mod, (opts & 4) != 0};
          for (int rep = 0; rep < 3; ++rep) {
            CheckAgainstOracle(c, rng);
            if (HasFatalFailure()) return;
          }
        }
      }
    }
  }
}

// A 32-bit source whose pixel (x, y) is 0x00yyxx10 + 1, so every sampled
// position can be read back from the destination.
void MakeIndexed(Image& src, int w, int h) {
  Make(src, w, h, 1, false, false, 0xFFFFFFFFu);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Put(src, x, y, 0x00010000u * static_cast<std::uint32_t>(y) + static_cast<std::uint32_t>(x) + 1);
}
int ColumnOf(std::uint32_t v) { return static_cast<int>(v & 0xFFFF) - 1; }
int RowOf(std::uint32_t v) { return static_cast<int>((v >> 16) & 0xFF); }

TEST_F(ScaledBlitTest, SameSizeIsThePlainBlitAndMirroringReverses) {
  std::mt19937 rng(7);
  Image src, a, b;
  Make(src, 5, 4, 1, false, true);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) Put(src, x, y, rng());
  Make(a, 16, 16, 1, false, false);
  Make(b, 16, 16, 1, false, false);
  for (int mode : {0, 1, 3}) {
    State(mode, 128);
    const std::int32_t rect[4] = {3, 2, 8, 6};
    DrawMemImgScaled(&a.view, &src.view, rect, 1, nullptr);
    DrawMemImgAt(&b.view, &src.view, 3, 2, 1, nullptr);
    EXPECT_EQ(Bytes(a), Bytes(b)) << "mode " << mode;
  }
  // The plain blit's refusals hold too: an alpha destination is not drawn.
  Image alphaDst;
  Make(alphaDst, 16, 16, 1, false, true);
  const auto before = Bytes(alphaDst);
  const std::int32_t same[4] = {0, 0, 5, 4};
  DrawMemImgScaled(&alphaDst.view, &src.view, same, 0, nullptr);
  EXPECT_EQ(Bytes(alphaDst), before);

  Image idx, dst;
  MakeIndexed(idx, 5, 4);
  Make(dst, 16, 16, 1, false, false);
  State(0, 0);
  const std::int32_t both[4] = {5, 4, 0, 0};
  DrawMemImgScaled(&dst.view, &idx.view, both, 0, nullptr);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(ColumnOf(Get(dst, x, y)), 4 - x);
      EXPECT_EQ(RowOf(Get(dst, x, y)), 3 - y);
    }
  }
}

TEST_F(ScaledBlitTest, EnlargingFillsBlocksAndClippingKeepsThemInPlace) {
  Image idx, full, clipped;
  MakeIndexed(idx, 6, 5);
  Make(full, 32, 32, 1, false, false);
  Make(clipped, 32, 32, 1, false, false);
  const std::int32_t rect[4] = {1, 2, 13, 12};
  DrawMemImgScaled(&full.view, &idx.view, rect, 0, nullptr);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 12; ++x) {
      EXPECT_EQ(ColumnOf(Get(full, 1 + x, 2 + y)), x / 2);
      EXPECT_EQ(RowOf(Get(full, 1 + x, 2 + y)), y / 2);
    }
  }
  for (const Rect area : {Rect{4, 5, 10, 9}, Rect{2, 3, 13, 12}, Rect{0, 0, 6, 6}}) {
    std::memset(clipped.view.block->pixels, 0, Bytes(clipped).size());
    gMemImgDrawState.drawArea = area;
    DrawMemImgScaled(&clipped.view, &idx.view, rect, 0, nullptr);
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        const bool inside = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
        EXPECT_EQ(Get(clipped, x, y), inside ? Get(full, x, y) : 0u) << x << "," << y;
      }
    }
  }
}

TEST_F(ScaledBlitTest, HalfShrinkSamplesByTheLoopsRule) {
  Image idx, dst;
  MakeIndexed(idx, 8, 8);
  Make(dst, 16, 16, 1, false, false);
  const std::int32_t rect[4] = {0, 0, 4, 4};
  DrawMemImgScaled(&dst.view, &idx.view, rect, 0, nullptr);  // whole-pixel copy
  const int ruleB[] = {0, 1, 3, 5};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ColumnOf(Get(dst, i, 0)), ruleB[i]);
    EXPECT_EQ(RowOf(Get(dst, 0, i)), ruleB[i]);
  }
  State(1, 128);
  std::memset(dst.view.block->pixels, 0, Bytes(dst).size());
  DrawMemImgScaled(&dst.view, &idx.view, rect, 0, nullptr);
  for (int i = 0; i < 4; ++i) {
    // Half of the source over black: the sampled column halves.
    EXPECT_EQ(Get(dst, i, 0) & 0xFF, ((2u * i + 1) * 128) >> 8);
  }
}

TEST_F(ScaledBlitTest, MirroredBlendFactorFollowsTheSource) {
  Image src, blend, dst;
  Make(src, 4, 1, 1, false, false);
  for (int x = 0; x < 4; ++x) Put(src, x, 0, 0x00FFFFFFu);
  Make(blend, 4, 1, 2, false, false);
  for (int x = 0; x < 4; ++x) Put(blend, x, 0, x == 0 ? 255u : 0u);
  BuildBlendImageFactorTable(128, 0);  // factor 255 at 255, 0 below 128
  Make(dst, 8, 8, 1, false, false);
  const std::int32_t rect[4] = {4, 0, 0, 1};
  DrawMemImgScaled(&dst.view, &src.view, rect, 0, &blend.view);
  // Source column 0 (the only one with a full factor) lands at x = 3.
  for (int x = 0; x < 4; ++x) EXPECT_EQ(Get(dst, x, 0) & 0xFFFFFF, x == 3 ? 0xFEFEFEu : 0u) << x;
}

TEST_F(ScaledBlitTest, RefusedInputDrawsNothing) {
  Image src, dst, mono, alphaDst, tinyBlend, empty;
  MakeIndexed(src, 4, 4);
  Make(dst, 16, 16, 1, false, false);
  Make(mono, 4, 4, 2, false, false);
  Make(alphaDst, 16, 16, 1, false, true);
  Make(tinyBlend, 2, 2, 2, false, false);
  ASSERT_EQ(MakeSubMemImg(&empty.view, &src.view, 1, 1, 0, 3), 0);
  Image dst16;
  Make(dst16, 16, 16, 0, false, false);
  const std::int32_t grow[4] = {0, 0, 8, 8}, flat[4] = {0, 3, 8, 3}, thin[4] = {5, 0, 5, 8};
  const std::int32_t outside[4] = {20, 20, 30, 30};
  const struct {
    const char* what;
    Image& to;
    const MEMIMG* from;
    const std::int32_t* rect;
    const MEMIMG* blend;
    int mode, p;
  } cases[] = {
      {"zero height", dst, &src.view, flat, nullptr, 0, 0},
      {"zero width", dst, &src.view, thin, nullptr, 0, 0},
      {"outside the draw area", dst, &src.view, outside, nullptr, 0, 0},
      {"empty source", dst, &empty.view, grow, nullptr, 0, 0},
      {"single-channel source", dst, &mono.view, grow, nullptr, 0, 0},
      {"no rectangle", dst, &src.view, nullptr, nullptr, 0, 0},
      {"blend image smaller than the source", dst, &src.view, grow, &tinyBlend.view, 0, 0},
      {"blend image not 8-bit", dst, &src.view, grow, &src.view, 0, 0},
      {"mode 5", dst, &src.view, grow, nullptr, 5, 128},
      {"mode 7", dst, &src.view, grow, nullptr, 7, 128},
      {"mode 9", dst, &src.view, grow, nullptr, 9, 128},
      {"mode 12", dst, &src.view, grow, nullptr, 12, 128},
      {"mode -1", dst, &src.view, grow, nullptr, -1, 128},
      {"alpha at parameter 0", dst, &src.view, grow, nullptr, 1, 0},
      {"add at parameter 0", dst, &src.view, grow, nullptr, 2, 0},
      {"subtract at parameter 0", dst, &src.view, grow, nullptr, 3, 0},
      {"destination with alpha", alphaDst, &src.view, grow, nullptr, 0, 0},
      {"16-bit destination of a 32-bit source", dst16, &src.view, grow, nullptr, 0, 0},
  };
  for (const auto& c : cases) {
    State(c.mode, c.p);
    const auto before = Bytes(c.to);
    DrawMemImgScaled(&c.to.view, c.from, c.rect, 0, c.blend);
    EXPECT_EQ(Bytes(c.to), before) << c.what;
  }
  State(0, 0);
  // Past the 16.16 limits the routine either draws inside its rectangle or
  // refuses; under the address checker it never reads or writes outside.
  const std::int32_t huge[4] = {-2000000000, -2000000000, 2000000000, 2000000000};
  DrawMemImgScaled(&dst.view, &src.view, huge, 0, nullptr);
  const std::int32_t wideShrink[4] = {0, 0, 1, 1};
  Image big;
  Make(big, 70000, 1, 1, false, false);
  DrawMemImgScaled(&dst.view, &big.view, wideShrink, 0, nullptr);
}

}  // namespace
}  // namespace qz
