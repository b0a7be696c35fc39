// Textured spans onto RGB565 images: the exact values each blend mode must
// give, the entry tests and trans rules, and every loop (mode × source kind ×
// blend image × modulation × trans × parameter, triangle rows and rotated
// rectangles) against the field-by-field reference on random pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "softrender/draw_state.h"
#include "softrender/mem_img.h"
#include "softrender/test_image.h"
#include "softrender/textured_oracle16.h"
#include "softrender/textured_span.h"

namespace qz {
namespace {

using namespace qz::testing;
using span::TexturedFamily;
namespace oracle = qz::textured_oracle16;

constexpr std::int32_t kOne = 262144;

enum class Kind { kPalette, kDirect, kAlpha };

void MakeSource(Image& img, int w, int h, Kind kind, std::uint32_t transColor = 0) {
  Make(img, w, h, kMemImgFormatRgb565, kind == Kind::kPalette, kind == Kind::kAlpha, transColor);
}

void SetPalette(Image& img, int index, std::uint16_t word) {
  std::memcpy(img.view.block->palette + 2 * index, &word, sizeof word);
}

class TexturedSpan16Test : public DrawStateTest {
 protected:
  void SetUp() override {
    StartDrawState(64);
    for (int i = 0; i < 256; ++i) blend_tables::blendImageFactor[i] = static_cast<std::uint8_t>(i);
  }

  // Runs the chosen loop over the walk, the row tables filled as a caller
  // does; false when nothing was chosen.
  static bool Run(Image& dst, Image& src, Image* blend, int trans, TexturedFamily family, const oracle::Walk& w) {
    std::vector<const std::uint8_t*> srcRows, blendRows;
    for (int y = 0; y < src.view.height; ++y) srcRows.push_back(At(src, 0, y));
    if (blend != nullptr) {
      for (int y = 0; y < blend->view.height; ++y) blendRows.push_back(At(*blend, 0, y));
    }
    const span::TexturedSource in{&src.view, blend != nullptr ? &blend->view : nullptr, trans, family};
    span::TexturedConsts consts;
    span::TexturedLoopFn loop = nullptr;
    if (!span::PrepareTexturedLoop16(in, &consts, &loop)) return false;
    consts.srcRows = srcRows.data();
    consts.blendRows = blend != nullptr ? blendRows.data() : nullptr;
    loop({At(dst, w.x0, w.y0), dst.view.block->pitch - 2 * w.width, w.width, w.lines, w.u0, w.v0, w.du, w.dv,
          w.duLine, w.dvLine},
         consts);
    return true;
  }

  // One texel (word, word | alpha << 16, or a palette index) drawn onto one
  // destination word through the current state; blendByte weighs it when given.
  static std::uint32_t One(std::uint32_t d, std::uint32_t texel, Kind kind, int trans = 0,
                           std::optional<std::uint8_t> blendByte = std::nullopt, std::uint32_t transColor = 0,
                           TexturedFamily family = TexturedFamily::kTriangle) {
    Image dst, src, blend;
    Make(dst, 1, 1, kMemImgFormatRgb565);
    MakeSource(src, 1, 1, kind, transColor);
    Put(dst, 0, 0, d);
    Put(src, 0, 0, texel);
    if (blendByte) {
      Make(blend, 1, 1, kMemImgFormatMono8);
      Put(blend, 0, 0, *blendByte);
    }
    Run(dst, src, blendByte ? &blend : nullptr, trans, family, oracle::Walk{0, 0, 1, 1, 0, 0, 0, 0, 0, 0});
    return Get(dst, 0, 0);
  }
};

constexpr std::uint32_t kW = 0xFFFFFF, kA255 = 255u << 16;

// One texel (a word, a word with its alpha at bit 16, or a palette index
// into an all-black palette) drawn onto one word; blend < 0 means no blend
// image, else its byte, weighed as itself.
struct Worked {
  const char* what;
  int mode, p;
  std::uint32_t mod;
  Kind kind;
  int trans;
  std::uint32_t key, d, texel, want;
  int blend = -1;
};

TEST_F(TexturedSpan16Test, WorkedValuesOfEveryModeTheWeightsAndTheTransRules) {
  const Worked cases[] = {
      {"alpha 255 weighs 255/256", 0, 0, kW, Kind::kAlpha, 0, 0, 0x0000, 0xF800 | kA255, 0xF000},
      {"trans marks alpha 255 opaque", 0, 0, kW, Kind::kAlpha, 1, 0, 0x0000, 0xF800 | kA255, 0xF800},
      {"black at alpha 255 over blue", 0, 0, kW, Kind::kAlpha, 0, 0, 0x001F, 0x0000 | kA255, 0x0000},
      {"blue at alpha 255 over black", 0, 0, kW, Kind::kAlpha, 0, 0, 0x0000, 0x001F | kA255, 0x001E},
      {"alpha 0 is left out under trans", 0, 0, kW, Kind::kAlpha, 1, 0, 0x1234, 0xFFFF, 0x1234},
      {"alpha 0 keeps d without trans", 0, 0, kW, Kind::kAlpha, 0, 0, 0x1234, 0xFFFF, 0x1234},
      {"blend byte 128 weighs half", 0, 0, kW, Kind::kDirect, 0, 0, 0x0000, 0xF800, 0x7800, 128},
      {"modulated copy", 0, 0, 0x808080, Kind::kDirect, 0, 0, 0x0000, 0xFFFF, 0x7BEF},
      {"modulated opaque alpha copy", 0, 0, 0x808080, Kind::kAlpha, 1, 0, 0x0000, 0xFFFF | kA255, 0x7BEF},
      {"alpha source ignores the key, half way", 0, 0, kW, Kind::kAlpha, 1, 0x0F0F, 0x1234, 0x0F0F | 128u << 16,
       0x0C91},  // (2, 17, 20) to (1, 56, 15), floored
      {"alpha 128 up", 1, 128, kW, Kind::kDirect, 0, 0, 0x0000, 0xF800, 15u << 11},
      {"alpha 128 down", 1, 128, kW, Kind::kDirect, 0, 0, 0xF800, 0x0000, 16u << 11},
      // 31 * 255 * 128 / 65536: the weight a * p in steps of 1/65536.
      {"alpha 128 of alpha 255", 1, 128, kW, Kind::kAlpha, 0, 0, 0x0000, 0xF800 | kA255, 15u << 11},
      {"inverted black at p 255", 10, 255, kW, Kind::kDirect, 0, 0, 0x0000, 0x0000, 0xFFFF},
      {"inverted white at p 255", 10, 255, kW, Kind::kDirect, 0, 0, 0x1234, 0xFFFF, 0x0000},
      {"inverted at p 0 keeps", 10, 0, kW, Kind::kDirect, 0, 0, 0x1234, 0xABCD, 0x1234},
      // The complement comes before the modulation, so modulation 0 aims at black.
      {"inverted, then modulation 0", 10, 128, 0, Kind::kDirect, 0, 0, 0xF800, 0x0000, 16u << 11},
      {"multiply blend at p 0 keeps", 11, 0, kW, Kind::kDirect, 0, 0, 0x5A5A, 0xA5A5, 0x5A5A},
      {"add carries blue into green", 2, 255, kW, Kind::kDirect, 0, 0, 0x001F, 0x0001, 0x003F},
      {"add of ones", 2, 255, kW, Kind::kDirect, 0, 0, 0x0841, 0x0841, 0x0882},
      {"add of green's low bit to full green", 2, 255, kW, Kind::kDirect, 0, 0, 0x07E0, 0x0020, 0x07E0},
      {"add of white", 2, 255, kW, Kind::kDirect, 0, 0, 0x1234, 0xFFFF, 0xFFFF},
      {"add of white to black", 2, 255, kW, Kind::kDirect, 0, 0, 0x0000, 0xFFFF, 0xFFFF},
      // The alpha scales the raw field before the modulation: blue 5 at alpha
      // 255 is 4, modulated by 200 it is 3; the other order would give 2.
      {"add scales by alpha, then modulates", 2, 255, 0xFFFFC8, Kind::kAlpha, 0, 0, 0x0000, 0x0005 | kA255, 0x0003},
      {"subtract of black from white", 3, 255, kW, Kind::kDirect, 0, 0, 0xFFFF, 0x0000, 0xFFDF},
      {"subtract of black", 3, 255, kW, Kind::kDirect, 0, 0, 0x1234, 0x0000, 0x1A14},
      {"subtract of white from white", 3, 255, kW, Kind::kDirect, 0, 0, 0xFFFF, 0xFFFF, 0x0800},
      {"subtract of black from black", 3, 255, kW, Kind::kDirect, 0, 0, 0x0000, 0x0000, 0x0800},
      // Green's lowest bit 0, red's 1, as at p 255.
      {"palettised subtract at p 0 writes", 3, 0, kW, Kind::kPalette, 0, 0, 0x1234, 0, 0x1A14},
      {"multiply of white at p 0", 4, 0, kW, Kind::kDirect, 0, 0, 0xFFFF, 0xFFFF, 0xF7DE},
      {"multiply of white at p 77", 4, 77, kW, Kind::kDirect, 0, 0, 0xFFFF, 0xFFFF, 0xF7DE},
      {"multiply of white at p 255", 4, 255, kW, Kind::kDirect, 0, 0, 0xFFFF, 0xFFFF, 0xF7DE},
      // Alpha 0 is never left out of a multiply: it blackens, trans flag or not.
      {"multiply by alpha 0 at p 0", 4, 0, kW, Kind::kAlpha, 0, 0, 0xFFFF, 0xFFFF, 0x0000},
      {"multiply by alpha 0 at p 77 with trans", 4, 77, kW, Kind::kAlpha, 1, 0, 0xFFFF, 0xFFFF, 0x0000},
      {"multiply by alpha 0 at p 255 with trans", 4, 255, kW, Kind::kAlpha, 1, 0, 0xFFFF, 0xFFFF, 0x0000},
      {"multiply blend of white", 11, 255, kW, Kind::kDirect, 0, 0, 0x8410, 0xFFFF, 0x7BEF},
      {"multiply blend at alpha 0 with trans keeps", 11, 255, kW, Kind::kAlpha, 1, 0, 0x8410, 0xFFFF, 0x8410},
      // Green keeps the product in 1/32 steps only when unmodulated, without
      // a blend image and with an alpha weight.
      {"multiply blend keeps green's 1/32 steps", 11, 255, kW, Kind::kAlpha, 0, 0, 0x0580, 0x0020 | kA255, 0x0020},
      {"modulated multiply blend drops them", 11, 255, 0xFFFEFF, Kind::kAlpha, 0, 0, 0x0580, 0x0020 | kA255, 0x0000},
  };
  for (const Worked& c : cases) {
    for (TexturedFamily family : {TexturedFamily::kTriangle, TexturedFamily::kRotated}) {
      State(c.mode, c.p);
      gMemImgDrawState.colorMod = c.mod;
      std::optional<std::uint8_t> blend;
      if (c.blend >= 0) blend = static_cast<std::uint8_t>(c.blend);
      EXPECT_EQ(One(c.d, c.texel, c.kind, c.trans, blend, c.key, family), c.want)
          << c.what << ", family " << static_cast<int>(family);
    }
  }
}

TEST_F(TexturedSpan16Test, ParameterTestsOnEntry) {
  Image dst, direct, alpha, pal;
  Make(dst, 1, 1, kMemImgFormatRgb565);
  MakeSource(direct, 1, 1, Kind::kDirect);
  MakeSource(alpha, 1, 1, Kind::kAlpha);
  MakeSource(pal, 1, 1, Kind::kPalette);
  const oracle::Walk one{0, 0, 1, 1, 0, 0, 0, 0, 0, 0};
  for (auto family : {TexturedFamily::kTriangle, TexturedFamily::kRotated}) {
    for (Image* src : {&direct, &alpha, &pal}) {
      for (int mode : {1, 2}) {
        State(mode, 0);
        EXPECT_FALSE(Run(dst, *src, nullptr, 0, family, one)) << mode;
      }
      for (int mode : {5, 6, 7, 8, 9, 12, -1, INT32_MIN}) {
        State(mode, 128);
        EXPECT_FALSE(Run(dst, *src, nullptr, 0, family, one)) << mode;
      }
    }
    State(kMemImgBlendSub, 0);
    EXPECT_FALSE(Run(dst, direct, nullptr, 0, family, one));
    EXPECT_FALSE(Run(dst, alpha, nullptr, 0, family, one));
  }
  // Only RGB565 sources with their palette are taken.
  State(0, 0);
  Image wide;
  Make(wide, 1, 1, kMemImgFormatXrgb32);
  EXPECT_FALSE(Run(dst, wide, nullptr, 0, TexturedFamily::kTriangle, one));
  span::TexturedConsts consts;
  span::TexturedLoopFn loop = nullptr;
  EXPECT_FALSE(span::PrepareTexturedLoop16(span::TexturedSource{}, &consts, &loop));
}

TEST_F(TexturedSpan16Test, TransTestsLookAtTheRawTexel) {
  // Palettised: the index is compared, so two indices of one colour differ,
  // and a transparent colour above 255 never matches.
  Image dst, pal;
  Make(dst, 2, 1, kMemImgFormatRgb565);
  MakeSource(pal, 2, 1, Kind::kPalette, 3);
  SetPalette(pal, 3, 0xFFFF);
  SetPalette(pal, 4, 0xFFFF);
  Put(pal, 0, 0, 3);
  Put(pal, 1, 0, 4);
  Run(dst, pal, nullptr, 1, TexturedFamily::kRotated, oracle::Walk{0, 0, 2, 1, 0, 0, kOne, 0, 0, 0});
  EXPECT_EQ(Get(dst, 0, 0), 0u);
  EXPECT_EQ(Get(dst, 1, 0), 0xFFFFu);
  pal.view.block->transColor = 0x103;
  Run(dst, pal, nullptr, 1, TexturedFamily::kRotated, oracle::Walk{0, 0, 2, 1, 0, 0, kOne, 0, 0, 0});
  EXPECT_EQ(Get(dst, 0, 0), 0xFFFFu);

  // Direct: the raw word before the complement and the modulation; a key
  // above 0xFFFF never matches.
  for (int mode : {0, 1, 2, 3, 4, 10, 11}) {
    State(mode, 200);
    gMemImgDrawState.colorMod = 0x405060;
    EXPECT_EQ(One(0x1234, 0x0F0F, Kind::kDirect, 1, std::nullopt, 0x0F0F), 0x1234u) << mode;
    EXPECT_NE(One(0x1234, 0x0F0F, Kind::kDirect, 1, std::nullopt, 0x10F0F), 0x1234u) << mode;
  }
}

// Random pixels for one source kind: some texels equal to the key, alphas
// weighted towards 0 and 255, a palette with repeated colours.
void FillRandom(std::mt19937& rng, Image& src, Kind kind, Image& blend, Image& dst) {
  std::uniform_int_distribution<std::uint32_t> word(0, 0xFFFF), byte(0, 255), pick(0, 7);
  const MemImgPixelBlock& b = *src.view.block;
  if (kind == Kind::kPalette) {
    for (int i = 0; i < 256; ++i) SetPalette(src, i, static_cast<std::uint16_t>(pick(rng) == 0 ? 0x0841 : word(rng)));
  }
  for (int y = 0; y < src.view.height; ++y) {
    for (int x = 0; x < src.view.width; ++x) {
      std::uint32_t t = kind == Kind::kPalette ? byte(rng) % 8 : word(rng);
      if (pick(rng) == 0) t = b.transColor;
      if (kind == Kind::kAlpha) {
        const std::uint32_t r = pick(rng);
        const std::uint32_t a = r < 2 ? 0 : (r < 4 ? 255 : byte(rng));
        t |= a << 16 | byte(rng) << 24;
      }
      Put(src, x, y, t);
      Put(blend, x, y, byte(rng));
    }
  }
  for (int y = 0; y < dst.view.height; ++y) {
    for (int x = 0; x < dst.view.width; ++x) Put(dst, x, y, pick(rng) == 0 ? 0xFFFF : word(rng));
  }
}

// Walks that cross every edge of a 5 x 4 source: exact pixel steps from a
// negative start through the width, and fractional rotated steps.
std::vector<oracle::Walk> Walks(std::mt19937& rng, TexturedFamily family) {
  std::uniform_int_distribution<std::int32_t> start(-3 * kOne, 6 * kOne), step(-kOne, kOne);
  std::vector<oracle::Walk> walks;
  if (family == TexturedFamily::kTriangle) {
    walks.push_back({0, 0, 9, 1, -2 * kOne, 3 * kOne + 5, kOne, 0, 0, 0});
    walks.push_back({3, 1, 9, 1, 5 * kOne - 1, -1, -kOne / 2, kOne / 3, 0, 0});
    for (int row = 2; row < 12; ++row) walks.push_back({1, row, 10, 1, start(rng), start(rng), step(rng), step(rng), 0, 0});
  } else {
    walks.push_back({1, 1, 9, 8, -2 * kOne, -2 * kOne, kOne, 0, -9 * kOne, kOne});
    const std::int32_t du = step(rng), dv = step(rng);
    walks.push_back({2, 2, 11, 10, start(rng), start(rng), du, dv, -11 * du + dv, -11 * dv - du});
  }
  return walks;
}

TEST_F(TexturedSpan16Test, EveryLoopMatchesTheReference) {
  std::mt19937 rng(1606);
  std::uniform_int_distribution<std::uint32_t> byte(0, 255);
  const std::uint32_t mods[] = {0xFFFFFF, 0x000000, 0x80FF40, 0xFFFFFE};
  int drawn = 0;
  for (auto family : {TexturedFamily::kTriangle, TexturedFamily::kRotated}) {
    for (Kind kind : {Kind::kPalette, Kind::kDirect, Kind::kAlpha}) {
      for (int mode : {0, 1, 2, 3, 4, 10, 11}) {
        for (int p : {0, 1, 127, 128, 254, 255}) {
          for (int variant = 0; variant < 8; ++variant) {
            const bool withBlend = (variant & 4) != 0, white = (variant & 2) != 0;
            const int trans = variant & 1;
            State(mode, p);
            gMemImgDrawState.colorMod = white ? mods[0] : mods[1 + byte(rng) % 3];
            for (auto& f : blend_tables::blendImageFactor) f = static_cast<std::uint8_t>(byte(rng) < 32 ? 255 : byte(rng));
            Image dst, want, src, blend;
            Make(dst, 16, 16, kMemImgFormatRgb565);
            Make(want, 16, 16, kMemImgFormatRgb565);
            MakeSource(src, 5, 4, kind, kind == Kind::kPalette ? 2 : 0x0841);
            Make(blend, 5, 4, kMemImgFormatMono8);
            FillRandom(rng, src, kind, blend, dst);
            std::memcpy(want.view.block->pixels, dst.view.block->pixels, Bytes(dst).size());
            const oracle::Call call{mode, p, gMemImgDrawState.colorMod, trans != 0};
            for (const oracle::Walk& w : Walks(rng, family)) {
              drawn += Run(dst, src, withBlend ? &blend : nullptr, trans, family, w) ? 1 : 0;
              oracle::Draw(want, src, withBlend ? &blend : nullptr, BlendImageFactors(), call, w);
            }
            ASSERT_EQ(Bytes(dst), Bytes(want)) << "family " << static_cast<int>(family) << " kind "
                                               << static_cast<int>(kind) << " mode " << mode << " p " << p
                                               << " variant " << variant;
          }
        }
      }
    }
  }
  EXPECT_GT(drawn, 0);
}

// The source range is held where a positive 14.18 coordinate can reach, so a
// source wider than that neither wraps its range nor draws nothing.
TEST_F(TexturedSpan16Test, VeryWideSourceKeepsItsRange) {
  Image src, dst;
  MakeSource(src, 16400, 1, Kind::kDirect);
  Make(dst, 2, 1, kMemImgFormatRgb565);
  Put(src, 8191, 0, 0xBEEF);
  span::TexturedConsts consts;
  span::TexturedLoopFn loop = nullptr;
  ASSERT_TRUE(span::PrepareTexturedLoop16(span::TexturedSource{&src.view, nullptr, 0, TexturedFamily::kTriangle},
                                          &consts, &loop));
  EXPECT_EQ(consts.rangeU, 0x80000000u);
  EXPECT_EQ(consts.rangeV, static_cast<std::uint32_t>(kOne));
  Run(dst, src, nullptr, 0, TexturedFamily::kTriangle, oracle::Walk{0, 0, 2, 1, 8191 * kOne, 0, kOne, 0, 0, 0});
  EXPECT_EQ(Get(dst, 0, 0), 0xBEEFu);
  EXPECT_EQ(Get(dst, 1, 0), 0u);
}

}  // namespace
}  // namespace qz
