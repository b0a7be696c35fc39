// Every per-pixel blend policy against the scalar reference, bit for bit:
// source family x mode x blend image x modulation x trans x path x p, on random
// pixels with key hits and alpha 0, 255 and in between. The vector spans of
// the weighted, added and keyed moves against the scalar forms, with pixels at
// the channels' ends at every lane.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "softrender/blit_swar.h"
#include "softrender/cpu_features.h"
#include "softrender/oracle.h"
#include "softrender/pixel_kernels.h"
#include "support/edge_pixels.h"

namespace qz {
namespace {

using pixel::BlendSetup;
using pixel::Path;
using RowFn = void (*)(std::uint8_t*, const std::uint8_t*, const std::uint8_t*, int, const BlendSetup&);

template <class Blend, class Src, class O>
void Row(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* bv, int n, const BlendSetup& st) {
  for (int i = 0; i < n; ++i) {
    Blend::template Pixel<Src, O>(d + i * Src::Dst::kBytes, s + i * Src::kBytes, O::kBlendImage ? bv[i] : 0, st);
  }
}

template <class Blend, class Src, bool B, bool M, bool T>
RowFn PickPath(Path path) {
  switch (path) {
    case Path::kPixel: return &Row<Blend, Src, pixel::Opt<B, M, T, Path::kPixel>>;
    case Path::kScaled: return &Row<Blend, Src, pixel::Opt<B, M, T, Path::kScaled>>;
    case Path::kOpaqueRun: return &Row<Blend, Src, pixel::Opt<B, M, T, Path::kOpaqueRun>>;
    default: return &Row<Blend, Src, pixel::Opt<B, M, T, Path::kTranslucentRun>>;
  }
}

template <class Blend, class Src>
RowFn PickOpt(bool b, bool m, bool t, Path path) {
  if (b) {
    if (m) return t ? PickPath<Blend, Src, true, true, true>(path) : PickPath<Blend, Src, true, true, false>(path);
    return t ? PickPath<Blend, Src, true, false, true>(path) : PickPath<Blend, Src, true, false, false>(path);
  }
  if (m) return t ? PickPath<Blend, Src, false, true, true>(path) : PickPath<Blend, Src, false, true, false>(path);
  return t ? PickPath<Blend, Src, false, false, true>(path) : PickPath<Blend, Src, false, false, false>(path);
}

// The handler choice every blit makes once per call.
template <class Src>
RowFn PickLoop(int mode, int p, bool b, bool m, bool t, Path path) {
  const bool plain = !b && !m && !Src::kAlpha;
  if (mode == 1 && p == 255) return PickOpt<pixel::BlendCopy, Src>(b, m, t, path);
  if (plain && path == Path::kPixel && mode == 1 && p == 128) return PickOpt<pixel::BlendHalfSum, Src>(b, m, t, path);
  if (plain && path == Path::kPixel && mode == 2 && p == 255) return PickOpt<pixel::BlendAddFull, Src>(b, m, t, path);
  if (plain && (path == Path::kPixel || path == Path::kScaled) && mode == 3 && p == 255) {
    return PickOpt<pixel::BlendSubFull, Src>(b, m, t, path);
  }
  switch (mode) {
    case 0: return PickOpt<pixel::BlendCopy, Src>(b, m, t, path);
    case 1: return PickOpt<pixel::BlendAlpha, Src>(b, m, t, path);
    case 2: return PickOpt<pixel::BlendAdd, Src>(b, m, t, path);
    case 3: return PickOpt<pixel::BlendSub, Src>(b, m, t, path);
    case 4: return PickOpt<pixel::BlendMul, Src>(b, m, t, path);
    case 10: return PickOpt<pixel::BlendInvert, Src>(b, m, t, path);
    default: return PickOpt<pixel::BlendMulBlend, Src>(b, m, t, path);
  }
}

constexpr int kPixels = 96;
constexpr int kModes[] = {0, 1, 2, 3, 4, 10, 11};
constexpr int kParams[] = {0, 1, 127, 128, 254, 255};
constexpr std::uint32_t kMods[] = {0xFFFFFF, 0xAB7F80FE, 0x00FF00C8};

template <class Src>
struct Family {
  std::vector<std::uint8_t> src;
  std::vector<std::uint8_t> palette;
  std::vector<oracle::Source> expected;
  std::uint32_t key = 0;

  explicit Family(std::mt19937& rng) {
    src.resize(kPixels * Src::kBytes);
    palette.resize(1024);
    for (auto& b : palette) b = static_cast<std::uint8_t>(rng());
    for (auto& b : src) b = static_cast<std::uint8_t>(rng());
    key = Src::kPalettised ? 0x37u : (Src::Dst::kIs565 ? rng() & 0xFFFF : rng());
    expected.resize(kPixels);
    for (int i = 0; i < kPixels; ++i) {
      std::uint8_t* p = &src[i * Src::kBytes];
      const unsigned pick = rng() % 5;
      if (!Src::kAlpha && pick == 0) {
        if (Src::kPalettised) {
          *p = static_cast<std::uint8_t>(key);
        } else if (Src::Dst::kIs565) {
          pixel::Store16(p, key);
        } else {
          pixel::Store32(p, key);
        }
      }
      if (Src::kAlpha) {
        const int a = pick == 0 ? 0 : (pick == 1 ? 255 : static_cast<int>(rng() % 256));
        p[Src::Dst::kIs565 ? 2 : 3] = static_cast<std::uint8_t>(a);
      }
      oracle::Source& o = expected[i];
      o.hasAlpha = Src::kAlpha;
      o.palettised = Src::kPalettised;
      if (Src::kPalettised) {
        o.color = Src::Dst::kIs565 ? pixel::Load16(&palette[2 * *p]) : pixel::Load32(&palette[4 * *p]);
        o.keyHit = *p == key;
      } else if (Src::Dst::kIs565) {
        o.color = pixel::Load16(p);
        o.keyHit = !Src::kAlpha && o.color == key;
      } else {
        o.color = pixel::Load32(p);
        o.keyHit = !Src::kAlpha && o.color == key;
      }
      o.alpha = Src::kAlpha ? p[Src::Dst::kIs565 ? 2 : 3] : 255;
    }
  }
};

template <class Src>
void CheckFamily(const char* name) {
  ASSERT_EQ(BuildMemImgBlendTables(), 0);
  BuildBlendImageFactorTable(90, 40);
  std::mt19937 rng(1234);
  Family<Src> fam(rng);
  std::vector<std::uint8_t> blendValues(kPixels);
  for (auto& b : blendValues) b = static_cast<std::uint8_t>(rng());
  std::vector<std::uint8_t> dstStart(kPixels * Src::Dst::kBytes);
  for (auto& b : dstStart) b = static_cast<std::uint8_t>(rng());

  std::vector<Path> paths = {Path::kPixel, Path::kScaled, Path::kOpaqueRun};
  if (Src::kAlpha) paths.push_back(Path::kTranslucentRun);
  int mismatches = 0;
  for (Path path : paths) {
    for (int mode : kModes) {
      for (int p : kParams) {
        for (int b = 0; b < 2; ++b) {
          for (std::uint32_t mod : kMods) {
            for (int t = 0; t < 2; ++t) {
              const bool m = !pixel::IsWhiteColorMod(mod);
              oracle::Params pr{.mode = mode, .p = p, .colorMod = mod, .trans = t != 0, .blendImage = b != 0,
                                .path = static_cast<oracle::Path>(static_cast<int>(path))};
              std::vector<std::uint8_t> dst = dstStart;
              if (oracle::HandlerDraws(mode, p, Src::kPalettised)) {
                const BlendSetup st = pixel::MakeBlendSetup(p, mod, fam.key, fam.palette.data());
                PickLoop<Src>(mode, p, b != 0, m, t != 0, path)(dst.data(), fam.src.data(), blendValues.data(),
                                                                  kPixels, st);
              }
              for (int i = 0; i < kPixels && mismatches < 10; ++i) {
                pr.factor = BlendImageFactors()[blendValues[i]];
                std::uint32_t before, after;
                if (Src::Dst::kIs565) {
                  before = pixel::Load16(&dstStart[2 * i]);
                  after = pixel::Load16(&dst[2 * i]);
                } else {
                  before = pixel::Load32(&dstStart[4 * i]);
                  after = pixel::Load32(&dst[4 * i]);
                }
                const std::uint32_t want = Src::Dst::kIs565 ? oracle::Blit565(before, fam.expected[i], pr)
                                                            : oracle::Blit32(before, fam.expected[i], pr);
                if (want != after) {
                  ++mismatches;
                  ADD_FAILURE() << name << " path " << static_cast<int>(path) << " mode " << mode << " p " << p
                                << " blend " << b << " mod " << std::hex << mod << " trans " << t << " pixel "
                                << std::dec << i << ": src " << std::hex << fam.expected[i].color << " a "
                                << std::dec << fam.expected[i].alpha << " dst " << std::hex << before << " got "
                                << after << " want " << want;
                }
              }
            }
          }
        }
      }
    }
  }
}

TEST(PixelKernelsVsOracle, Direct32) { CheckFamily<pixel::Src32>("32"); }
TEST(PixelKernelsVsOracle, Direct32Alpha) { CheckFamily<pixel::Src32A>("32A"); }
TEST(PixelKernelsVsOracle, Direct565) { CheckFamily<pixel::Src565>("565"); }
TEST(PixelKernelsVsOracle, Direct565Alpha) { CheckFamily<pixel::Src565A>("565A"); }
TEST(PixelKernelsVsOracle, Palettised32) { CheckFamily<pixel::SrcPal32>("pal32"); }
TEST(PixelKernelsVsOracle, Palettised565) { CheckFamily<pixel::SrcPal565>("pal565"); }

// Named values of the formulas, independent of the reference.
TEST(PixelKernelsQuirks, PackedArithmeticSpotValues) {
  // Add: blue saturates exactly; green and red keep a low bit of 1 in the general form.
  EXPECT_EQ(pixel::PackedAdd32(0x000003C8, 0x00000364, true) & 0xFFFF, 0x05FFu);
  EXPECT_EQ(pixel::PackedAdd32(0x00000300, 0x00000300, true) & 0xFF00, 0x0500u);
  EXPECT_EQ(pixel::PackedAdd32(0x00000300, 0x00000300, false) & 0xFF00, 0x0400u);
  EXPECT_EQ(pixel::PackedAdd32(0x00F00000, 0x00200000, true) >> 24, 1u);  // carry out of red into X
  // Subtract: blue clamps at 0, X always 0.
  EXPECT_EQ(pixel::PackedSub32(0xFF000014, 0x00000032) & 0xFF0000FF, 0u);
  // Half-sum drops each low bit and clears X.
  EXPECT_EQ(pixel::HalfSum32(0xFF030303, 0xFF030303), 0x00020202u);
  // 16-bit: saturating fields.
  EXPECT_EQ(pixel::PackedAdd565(0xFFFF, 0x0841, true), 0xFFFFu);
  EXPECT_EQ(pixel::PackedSub565(0x0000, 0xFFFF), 0u);
  EXPECT_EQ(pixel::PackedAdd565Pair(0xF8000000u, 0xF0000000u) >> 27, 0x1Fu);  // second red saturates
  EXPECT_EQ(pixel::PackedSub565Pair(0x00000000u, 0x10000000u) >> 27, 0u);     // second red borrows to 0
}

TEST(PixelKernelsQuirks, SixteenBitAlphaUsesSixtyFourLevels) {
  ASSERT_EQ(BuildMemImgBlendTables(), 0);
  const std::uint16_t src = 0xFFFF;
  for (int p : {1, 2, 3, 252, 253, 254}) {
    std::uint16_t dst = 0x0000;
    const BlendSetup st = pixel::MakeBlendSetup(p, 0xFFFFFF, 0, nullptr);
    pixel::BlendAlpha::Pixel<pixel::Src565, pixel::Opt<false, false, false>>(
        reinterpret_cast<std::uint8_t*>(&dst), reinterpret_cast<const std::uint8_t*>(&src), 0, st);
    EXPECT_EQ(dst, p < 4 ? 0x0000 : 0xFFFF) << p;
  }
}

// The add or subtract span over `target` against the per-pixel kernel of the
// same mode, at weights by the ends (255 alone for the full term); the span
// draws the pixels it reports and the kernel the rest.
template <bool kSubtract, bool kFullTerm>
void AddSubMatchesThePixelKernels(const std::vector<std::uint32_t>& source, const std::vector<std::uint32_t>& target,
                                  const std::string& where) {
  using Kernel = std::conditional_t<kSubtract, pixel::BlendSubT<kFullTerm>, pixel::BlendAddT<kFullTerm>>;
  const int n = static_cast<int>(source.size());
  for (const int p : kFullTerm ? std::vector<int>{255} : std::vector<int>{1, 2, 128, 254}) {
    const BlendSetup setup = pixel::MakeBlendSetup(p, 0xFFFFFF, 0, nullptr);
    std::vector<std::uint32_t> spanned = target, expected = target;
    auto* d = reinterpret_cast<std::uint8_t*>(spanned.data());
    const auto* s = reinterpret_cast<const std::uint8_t*>(source.data());
    const int done = blit::AddSubSpan32<kSubtract, kFullTerm>(d, s, n, p);
    for (int i = done; i < n; ++i) {
      Kernel::template Pixel<pixel::Src32, pixel::Opt<false, false, false>>(d + 4 * i, s + 4 * i, 0, setup);
    }
    for (int i = 0; i < n; ++i) {
      Kernel::template Pixel<pixel::Src32, pixel::Opt<false, false, false>>(
          reinterpret_cast<std::uint8_t*>(expected.data()) + 4 * i, s + 4 * i, 0, setup);
    }
    ASSERT_EQ(spanned, expected) << where << (kSubtract ? ", subtract" : ", add") << " at p " << p;
  }
}

// Spans up to two blocks and one pixel long (AVX2 where the processor has it,
// else SSE2), each edge pixel at each lane among the others, over a target of
// them too: the weighted move by each pixel's alpha and by weights at the
// ends, the add and subtract spans, and the keyed copy and mix keyed on the
// lane's pixel, which draw the pixels they report (a multiple of four) and
// leave the rest.
TEST(SpanKernelsAtTheEdges, WeightedAddedAndKeyedSpansGiveThePackedFormAtEveryLane) {
  ASSERT_EQ(BuildMemImgBlendTables(), 0);
  const std::vector<std::uint32_t> edges = qz::testing::EdgePixels();
  const int block = CpuHasAvx2() ? 8 : 4;
  for (int n = 1; n <= 2 * block + 1 && !::testing::Test::HasFailure(); ++n) {
    for (std::size_t e = 0; e < edges.size(); ++e) {
      for (int lane = 0; lane < n; ++lane) {
        std::vector<std::uint32_t> source(static_cast<std::size_t>(n)), target(source.size());
        for (std::size_t i = 0; i < source.size(); ++i) {
          source[i] = edges[(e + 1 + i) % edges.size()];
          target[i] = edges[(e * 5 + i * 3 + 2) % edges.size()];
        }
        source[static_cast<std::size_t>(lane)] = edges[e];
        const auto* s = reinterpret_cast<const std::uint8_t*>(source.data());
        const std::string where = "n " + std::to_string(n) + ", lane " + std::to_string(lane) + ", pixel " +
                                  std::to_string(edges[e]);
        for (const int weight : {-1, 0, 1, 255, 256}) {  // -1: each pixel's alpha
          std::vector<std::uint32_t> drawn = target;
          blit::Lerp8Span(reinterpret_cast<std::uint8_t*>(drawn.data()), s, n, weight < 0 ? 0u : weight, weight < 0);
          for (std::size_t i = 0; i < source.size(); ++i) {
            const std::uint32_t w = weight < 0 ? source[i] >> 24 : static_cast<std::uint32_t>(weight);
            ASSERT_EQ(drawn[i], blit::Lerp8Packed(target[i], source[i], w)) << where << ", weight " << weight;
          }
        }
        AddSubMatchesThePixelKernels<false, false>(source, target, where);
        AddSubMatchesThePixelKernels<false, true>(source, target, where);
        AddSubMatchesThePixelKernels<true, false>(source, target, where);
        AddSubMatchesThePixelKernels<true, true>(source, target, where);
        for (const int p : {-1, 0, 1, 255, 256}) {  // -1: copied, not mixed
          std::vector<std::uint32_t> drawn = target;
          auto* d = reinterpret_cast<std::uint8_t*>(drawn.data());
          const int done = p < 0 ? blit::KeyedSpan32<false>(d, s, n, edges[e], 0)
                                 : blit::KeyedSpan32<true>(d, s, n, edges[e], p);
          ASSERT_EQ(done, n - n % 4) << where;
          for (std::size_t i = 0; i < source.size(); ++i) {
            const std::uint32_t want = static_cast<int>(i) >= done || source[i] == edges[e] ? target[i]
                                       : p < 0 ? source[i]
                                               : blit::Lerp8Packed(target[i], source[i], static_cast<std::uint32_t>(p));
            ASSERT_EQ(drawn[i], want) << where << ", p " << p;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace qz
