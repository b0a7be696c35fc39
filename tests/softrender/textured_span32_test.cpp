// Textured spans onto 32-bit images: every generated loop (source kind ×
// blend mode × blend image × modulation × trans, both families) against the
// scalar reference over random walks and over texels and targets at the
// channels' ends at every lane, and the exact values of the weight
// rules, the packed add and subtract, the transparency tests and the
// parameter tests.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "softrender/draw_state.h"
#include "softrender/mem_img.h"
#include "softrender/test_image.h"
#include "softrender/textured_oracle32.h"
#include "softrender/textured_span.h"
#include "support/edge_pixels.h"

namespace qz {
namespace {

using namespace qz::testing;
using span::TexturedConsts;
using span::TexturedFamily;
using span::TexturedLoopFn;
using span::TexturedWalk;
using tex_oracle32::Kind;

constexpr std::int32_t kOne = 262144;

class TexturedSpan32Test : public DrawStateTest {
 protected:
  void SetUp() override { StartDrawState(1000); }
};

void MakeSource(Image& img, Kind kind, int w, int h, std::uint32_t key) {
  Make(img, w, h, kMemImgFormatXrgb32, kind == Kind::kPalettised, kind == Kind::kAlpha, key);
}

// Row tables as the set-up code fills them.
struct Rows {
  std::vector<const std::uint8_t*> src, blend;
  Rows(const Image& source, const Image* blendImg) {
    for (int y = 0; y < source.view.height; ++y) src.push_back(source.view.pixels + y * source.view.block->pitch);
    if (blendImg != nullptr) {
      for (int y = 0; y < blendImg->view.height; ++y) {
        blend.push_back(blendImg->view.pixels + y * blendImg->view.block->pitch);
      }
    }
  }
};

// Prepares and runs one walk; false when the choice refused to draw.
bool RunWalk(const Image& source, const Image* blendImg, int trans, TexturedFamily family, const TexturedWalk& walk) {
  TexturedConsts consts;
  TexturedLoopFn loop = nullptr;
  const span::TexturedSource in{&source.view, blendImg != nullptr ? &blendImg->view : nullptr, trans, family};
  if (!span::PrepareTexturedLoop32(in, &consts, &loop)) return false;
  Rows rows(source, blendImg);
  consts.srcRows = rows.src.data();
  consts.srcPitch = source.view.block->pitch;  // the vector rows read by offset, as the library lets them
  consts.blendRows = blendImg != nullptr ? rows.blend.data() : nullptr;
  loop(walk, consts);
  return true;
}

// The walk's reference result: every pixel the walk visits inside the source
// goes through the scalar reference, every other byte stays.
std::vector<std::uint8_t> Expected(Image& dst, Image& source, Image* blendImg, const TexturedWalk& walk,
                                   const tex_oracle32::Draw& dr) {
  std::vector<std::uint8_t> before = Bytes(dst);
  const std::ptrdiff_t start = walk.dst - dst.view.block->pixels;
  std::uint8_t* out = before.data() + start;
  auto u = static_cast<std::uint32_t>(walk.u), v = static_cast<std::uint32_t>(walk.v);
  const auto w = static_cast<std::uint32_t>(source.view.width), h = static_cast<std::uint32_t>(source.view.height);
  for (int line = 0; line < walk.lines; ++line) {
    for (int i = 0; i < walk.width; ++i) {
      if (u / kOne < w && v / kOne < h) {
        const int x = static_cast<int>(u / kOne), y = static_cast<int>(v / kOne);
        tex_oracle32::Texel t;
        if (dr.kind == Kind::kPalettised) {
          t.index = *At(source, x, y);
          std::memcpy(&t.color, source.view.block->palette + 4 * t.index, 4);
        } else {
          t.color = Get(source, x, y);
        }
        if (blendImg != nullptr) t.factor = blend_tables::blendImageFactor[*At(*blendImg, x, y)];
        std::uint32_t d;
        std::memcpy(&d, out, 4);
        d = tex_oracle32::Pixel(d, t, dr);
        std::memcpy(out, &d, 4);
      }
      out += 4;
      u += static_cast<std::uint32_t>(walk.uStep);
      v += static_cast<std::uint32_t>(walk.vStep);
    }
    u += static_cast<std::uint32_t>(walk.uLineStep);
    v += static_cast<std::uint32_t>(walk.vLineStep);
    out += walk.rowAdvance;
  }
  return before;
}

std::string Describe(const tex_oracle32::Draw& dr, TexturedFamily family) {
  std::ostringstream os;
  os << "kind " << static_cast<int>(dr.kind) << " mode " << dr.mode << " p " << dr.p << " mod " << std::hex
     << dr.colorMod << std::dec << " trans " << dr.trans << " blend " << dr.blend << " family "
     << static_cast<int>(family);
  return os.str();
}

// Random texels rich in the values the rules single out: the transparent
// colour, the same colour with another fourth byte, alpha 0 and 255.
void FillRandom(Image& source, Kind kind, std::uint32_t key, std::mt19937& rng) {
  for (int y = 0; y < source.view.height; ++y) {
    for (int x = 0; x < source.view.width; ++x) {
      const std::uint32_t r = rng();
      if (kind == Kind::kPalettised) {
        *At(source, x, y) = static_cast<std::uint8_t>(r % 6);
        continue;
      }
      std::uint32_t texel = rng();
      switch (r % 6) {
        case 0:
          texel = key;
          break;
        case 1:
          texel = key ^ 0x01000000u;
          break;
        case 2:
          texel &= 0x00FFFFFFu;
          break;
        case 3:
          texel |= 0xFF000000u;
          break;
        default:
          break;
      }
      Put(source, x, y, texel);
    }
  }
  if (kind == Kind::kPalettised) {
    for (int i = 0; i < 256; ++i) {
      const std::uint32_t entry = rng();
      std::memcpy(source.view.block->palette + 4 * i, &entry, 4);
    }
  }
}

void FillBytes(Image& img, std::mt19937& rng) {
  for (int y = 0; y < img.view.height; ++y) {
    for (int x = 0; x < img.view.width * Bpp(img); ++x) *(At(img, 0, y) + x) = static_cast<std::uint8_t>(rng());
  }
}

// A walk over part of dst with steps of up to about 1.3 source pixels either
// way, starting left of and above the source, so some pixels fall outside it.
TexturedWalk RandomWalk(Image& dst, std::mt19937& rng, bool oneLine) {
  std::uniform_int_distribution<std::int32_t> step(-kOne * 13 / 10, kOne * 13 / 10);
  std::uniform_int_distribution<std::int32_t> start(-2 * kOne, 7 * kOne);
  const std::int32_t u = start(rng), v = start(rng), uStep = step(rng), vStep = step(rng) / 3;
  const std::int32_t uLine = step(rng) / 4, vLine = step(rng);
  return {At(dst, 1, 1), dst.view.block->pitch - 10 * 4, 10, oneLine ? 1 : 7, u, v, uStep, vStep,
          uLine - 10 * uStep, vLine - 10 * vStep};
}

TEST_F(TexturedSpan32Test, EveryLoopMatchesTheReference) {
  std::mt19937 rng(32);
  const Kind kinds[] = {Kind::kPalettised, Kind::kDirect, Kind::kAlpha};
  const int modes[] = {-1, 0, 1, 2, 3, 4, 5, 9, 10, 11, 12};
  const int params[] = {0, 1, 127, 128, 254, 255};
  const std::uint32_t mods[] = {0xFFFFFF, 0x000000, 0x808080, 0x40C0FF, 0xFF00FFFF};
  int failures = 0;
  for (int i = 0; i < 256; ++i) blend_tables::blendImageFactor[i] = static_cast<std::uint8_t>(rng());
  blend_tables::blendImageFactor[0] = 0;
  blend_tables::blendImageFactor[255] = 255;

  for (Kind kind : kinds) {
    for (int mode : modes) {
      for (int p : params) {
        for (std::uint32_t mod : mods) {
          for (int flags = 0; flags < 4; ++flags) {
            const auto key = static_cast<std::uint32_t>(kind == Kind::kPalettised ? (rng() % 2 ? 3u : 0x103u) : rng());
            const tex_oracle32::Draw dr{mode, p, mod, (flags & 1) != 0, (flags & 2) != 0, kind, key};
            State(mode, p);
            gMemImgDrawState.colorMod = mod;

            Image source, blendImg, dst;
            MakeSource(source, kind, 6, 5, dr.transColor);
            FillRandom(source, kind, dr.transColor, rng);
            Make(blendImg, 7, 6, kMemImgFormatMono8);
            FillBytes(blendImg, rng);
            Make(dst, 13, 9, kMemImgFormatXrgb32);
            FillBytes(dst, rng);
            const std::vector<std::uint8_t> original = Bytes(dst);

            for (TexturedFamily family : {TexturedFamily::kTriangle, TexturedFamily::kRotated}) {
              const TexturedWalk walk = RandomWalk(dst, rng, family == TexturedFamily::kTriangle);
              const std::vector<std::uint8_t> want =
                  Expected(dst, source, dr.blend ? &blendImg : nullptr, walk, dr);
              const bool drew = RunWalk(source, dr.blend ? &blendImg : nullptr, dr.trans, family, walk);
              if (drew != tex_oracle32::Draws(dr) || Bytes(dst) != want) {
                if (++failures <= 5) ADD_FAILURE() << Describe(dr, family) << " drew " << drew;
              }
              std::memcpy(dst.view.block->pixels, original.data(), original.size());
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

// Long lines drawn eight pixels at a time for the copy, add and subtract
// loops (with whole blocks of transparent texels), and lines whose positions
// wrap past 32 bits, which are tested pixel by pixel: both as the reference.
TEST_F(TexturedSpan32Test, LongAndWrappingLinesMatchTheReference) {
  std::mt19937 rng(8);
  constexpr std::uint32_t kKey = 0x00FF00FFu;
  Image source;
  MakeSource(source, Kind::kDirect, 40, 30, kKey);
  FillRandom(source, Kind::kDirect, kKey, rng);
  for (int y = 10; y < 20; ++y) {
    for (int x = 0; x < 40; ++x) Put(source, x, y, kKey);
  }
  int failures = 0;
  for (int mode : {0, 2, 3}) {
    for (int p : {1, 127, 236, 255}) {
      for (int trans = 0; trans < 2; ++trans) {
        for (bool wraps : {false, true}) {
          const tex_oracle32::Draw dr{.mode = mode, .p = p, .trans = trans != 0, .transColor = kKey};
          State(mode, p);
          Image dst;
          Make(dst, 70, 40, kMemImgFormatXrgb32);
          FillBytes(dst, rng);
          const std::int32_t u = (wraps ? 5 : -3) * kOne + static_cast<std::int32_t>(rng() % kOne);
          const std::int32_t v = -2 * kOne + static_cast<std::int32_t>(rng() % kOne);
          // A turn of about 20 degrees at a scale of about 1.4, or a u step
          // that brings the position back into the source once it has gone
          // round the 32-bit range (50 steps are 2^32 + 4).
          const std::int32_t uStep = wraps ? 0x051EB852 : kOne * 2 / 3, vStep = kOne / 4;
          // Steps wrap as the walk's fixed point does.
          const auto uLine = static_cast<std::int32_t>(static_cast<std::uint32_t>(-kOne / 4) -
                                                       61u * static_cast<std::uint32_t>(uStep));
          const TexturedWalk walk{At(dst, 3, 2), dst.view.block->pitch - 61 * 4, 61, 36, u, v, uStep, vStep, uLine,
                                  kOne * 2 / 3 - 61 * vStep};
          const std::vector<std::uint8_t> want = Expected(dst, source, nullptr, walk, dr);
          RunWalk(source, nullptr, trans, TexturedFamily::kRotated, walk);
          if (Bytes(dst) != want && ++failures <= 5) {
            ADD_FAILURE() << "mode " << mode << " p " << p << " trans " << trans << " wraps " << wraps;
          }
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

// Texels and targets at the channels' ends (random ones never are), one
// texel a pixel on lines up to two eight-pixel blocks and one pixel long,
// each line's texels turned one further, so each meets every lane; keyed on
// opaque black.
TEST_F(TexturedSpan32Test, EdgeTexelsAtEveryLaneMatchTheReference) {
  const std::vector<std::uint32_t> edges = qz::testing::EdgePixels();
  const int count = static_cast<int>(edges.size());
  const std::uint32_t key = 0xFF000000u;
  Image source;
  MakeSource(source, Kind::kDirect, 2 * 8 + 1, count, key);
  for (int y = 0; y < count; ++y) {
    for (int x = 0; x <= 2 * 8; ++x) Put(source, x, y, edges[static_cast<std::size_t>((x + y) % count)]);
  }
  int failures = 0;
  for (int width = 1; width <= 2 * 8 + 1; ++width) {
    for (int mode : {0, 2, 3}) {
      for (int p : {1, 254, 255}) {
        for (int trans = 0; trans < 2; ++trans) {
          const tex_oracle32::Draw dr{.mode = mode, .p = p, .trans = trans != 0, .transColor = key};
          State(mode, p);
          Image dst;
          Make(dst, width, count, kMemImgFormatXrgb32);
          for (int y = 0; y < count; ++y) {
            for (int x = 0; x < width; ++x) Put(dst, x, y, edges[static_cast<std::size_t>((3 * x + y + 7) % count)]);
          }
          const TexturedWalk walk{At(dst, 0, 0), dst.view.block->pitch - width * 4, width, count, kOne / 2, kOne / 2,
                                  kOne, 0, -width * kOne, kOne};
          const std::vector<std::uint8_t> want = Expected(dst, source, nullptr, walk, dr);
          RunWalk(source, nullptr, trans, TexturedFamily::kRotated, walk);
          if (Bytes(dst) != want && ++failures <= 5) {
            ADD_FAILURE() << "width " << width << " mode " << mode << " p " << p << " trans " << trans;
          }
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

std::uint32_t Bgrx(std::uint32_t b, std::uint32_t g, std::uint32_t r, std::uint32_t x) {
  return b | (g << 8) | (r << 16) | (x << 24);
}

// One texel (the direct texel, or palette entry 0 under index 0) drawn onto
// one destination pixel; factor < 0 means no blend image.
struct Worked {
  const char* what;
  Kind kind;
  std::uint32_t texel, key;
  int trans, factor, mode, p;
  std::uint32_t mod, d, want;
};

std::uint32_t DrawOne(const Worked& o, TexturedFamily family) {
  Image source, blendImg, dst;
  MakeSource(source, o.kind, 1, 1, o.key);
  if (o.kind == Kind::kPalettised) {
    std::memcpy(source.view.block->palette, &o.texel, 4);
  } else {
    Put(source, 0, 0, o.texel);
  }
  Make(blendImg, 1, 1, kMemImgFormatMono8);
  blend_tables::blendImageFactor[0] = static_cast<std::uint8_t>(o.factor < 0 ? 0 : o.factor);
  Make(dst, 1, 1, kMemImgFormatXrgb32);
  Put(dst, 0, 0, o.d);
  gMemImgDrawState.blendMode = o.mode;
  gMemImgDrawState.blendParam = o.p;
  gMemImgDrawState.colorMod = o.mod;
  RunWalk(source, o.factor < 0 ? nullptr : &blendImg, o.trans, family, {.dst = At(dst, 0, 0), .width = 1, .lines = 1});
  return Get(dst, 0, 0);
}

TEST_F(TexturedSpan32Test, WorkedValuesOfTheWeightPackedTransAndParameterRules) {
  constexpr std::uint32_t kW = 0xFFFFFF, kNoKey = 0xFFFFFFFFu;
  const std::uint32_t white = Bgrx(255, 255, 255, 0);
  const Worked cases[] = {
      {"opaque alpha texel with trans is stored whole", Kind::kAlpha, Bgrx(10, 20, 30, 255), 0, 1, -1, 0, 0, kW,
       Bgrx(0, 0, 0, 9), Bgrx(10, 20, 30, 255)},
      {"alpha 255 without trans weighs 255/256", Kind::kAlpha, Bgrx(255, 255, 255, 255), 0, 0, -1, 0, 0, kW,
       Bgrx(0, 0, 0, 9), Bgrx(254, 254, 254, 9)},
      {"multiply by alpha 0 blackens", Kind::kAlpha, Bgrx(200, 200, 200, 0), 0, 0, -1, 4, 0, kW, Bgrx(90, 90, 90, 7),
       Bgrx(0, 0, 0, 7)},
      {"multiply by alpha 0 blackens with trans", Kind::kAlpha, Bgrx(200, 200, 200, 0), 0, 1, -1, 4, 0, kW,
       Bgrx(90, 90, 90, 7), Bgrx(0, 0, 0, 7)},
      {"multiply blend at alpha 0 keeps", Kind::kAlpha, 0, 0, 1, -1, 11, 200, kW, Bgrx(90, 90, 90, 7),
       Bgrx(90, 90, 90, 7)},
      {"add at alpha 0 clears the fourth byte", Kind::kAlpha, Bgrx(50, 50, 50, 0), 0, 0, -1, 2, 255, kW,
       Bgrx(90, 90, 90, 7), Bgrx(90, 90, 90, 0)},
      {"add at alpha 0 with trans skips", Kind::kAlpha, Bgrx(50, 50, 50, 0), 0, 1, -1, 2, 255, kW, Bgrx(90, 90, 90, 7),
       Bgrx(90, 90, 90, 7)},
      {"alpha source ignores the transparent colour", Kind::kAlpha, Bgrx(10, 20, 30, 255), Bgrx(10, 20, 30, 255), 1,
       -1, 0, 0, kW, 0, Bgrx(10, 20, 30, 255)},
      {"add of 255s sets the fourth byte", Kind::kDirect, white, kNoKey, 0, -1, 2, 255, kW, Bgrx(200, 200, 200, 77),
       Bgrx(255, 255, 255, 1)},
      {"add of ones", Kind::kDirect, Bgrx(1, 1, 1, 0), kNoKey, 0, -1, 2, 255, kW, Bgrx(1, 1, 1, 0), Bgrx(2, 1, 1, 0)},
      {"subtract of ones", Kind::kDirect, Bgrx(1, 1, 1, 0), kNoKey, 0, -1, 3, 255, kW, Bgrx(3, 3, 3, 0),
       Bgrx(2, 3, 3, 0)},
      {"subtract of 255s", Kind::kDirect, white, kNoKey, 0, -1, 3, 255, kW, Bgrx(3, 3, 3, 8), 0},
      {"subtract of a zero term still writes", Kind::kDirect, Bgrx(99, 99, 99, 0), kNoKey, 0, 0, 3, 255, kW,
       Bgrx(10, 20, 30, 5), Bgrx(10, 21, 31, 0)},
      {"add of a zero term still writes", Kind::kDirect, Bgrx(99, 99, 99, 0), kNoKey, 0, 0, 2, 255, kW,
       Bgrx(10, 20, 30, 5), Bgrx(10, 20, 30, 0)},
      {"alpha at p 0 draws nothing", Kind::kDirect, white, kNoKey, 0, -1, 1, 0, kW, Bgrx(200, 200, 200, 77),
       Bgrx(200, 200, 200, 77)},
      {"add at p 0 draws nothing", Kind::kPalettised, white, kNoKey, 0, -1, 2, 0, kW, Bgrx(200, 200, 200, 77),
       Bgrx(200, 200, 200, 77)},
      {"direct subtract at p 0 draws nothing", Kind::kDirect, white, kNoKey, 0, -1, 3, 0, kW, Bgrx(200, 200, 200, 77),
       Bgrx(200, 200, 200, 77)},
      {"palettised subtract at p 0 writes", Kind::kPalettised, white, kNoKey, 0, -1, 3, 0, kW,
       Bgrx(200, 200, 200, 77), Bgrx(200, 201, 201, 0)},
      {"alpha 128 up", Kind::kDirect, white, kNoKey, 0, -1, 1, 128, kW, Bgrx(0, 0, 0, 3), Bgrx(127, 127, 127, 3)},
      {"alpha 128 down", Kind::kDirect, 0, kNoKey, 0, -1, 1, 128, kW, Bgrx(255, 255, 255, 3), Bgrx(127, 127, 127, 3)},
      {"alpha 255 is the whole-texel copy", Kind::kDirect, Bgrx(1, 2, 3, 4), kNoKey, 0, -1, 1, 255, kW, 0,
       Bgrx(1, 2, 3, 4)},
      {"multiply ignores p 0", Kind::kDirect, white, kNoKey, 0, -1, 4, 0, kW, Bgrx(255, 100, 0, 3),
       Bgrx(254, 99, 0, 3)},
      {"multiply ignores p 200", Kind::kDirect, white, kNoKey, 0, -1, 4, 200, kW, Bgrx(255, 100, 0, 3),
       Bgrx(254, 99, 0, 3)},
      {"multiply blend of white", Kind::kDirect, white, kNoKey, 0, -1, 11, 255, kW, Bgrx(200, 100, 0, 3),
       Bgrx(199, 99, 0, 3)},
      {"palettised key matches the index", Kind::kPalettised, Bgrx(1, 2, 3, 4), 0, 1, -1, 0, 0, kW, Bgrx(9, 9, 9, 9),
       Bgrx(9, 9, 9, 9)},
      {"palettised key above 255 never matches", Kind::kPalettised, Bgrx(1, 2, 3, 4), 0x100, 1, -1, 0, 0, kW,
       Bgrx(9, 9, 9, 9), Bgrx(1, 2, 3, 4)},
      {"direct key matches the whole texel", Kind::kDirect, Bgrx(1, 2, 3, 4), Bgrx(1, 2, 3, 4), 1, -1, 0, 0, kW,
       Bgrx(9, 9, 9, 9), Bgrx(9, 9, 9, 9)},
      {"direct key differing in the fourth byte", Kind::kDirect, Bgrx(1, 2, 3, 4), Bgrx(1, 2, 3, 5), 1, -1, 0, 0, kW,
       Bgrx(9, 9, 9, 9), Bgrx(1, 2, 3, 4)},
      {"no trans flag draws the key", Kind::kDirect, Bgrx(1, 2, 3, 4), Bgrx(1, 2, 3, 4), 0, -1, 0, 0, kW,
       Bgrx(9, 9, 9, 9), Bgrx(1, 2, 3, 4)},
      {"white palettised copy stores the entry", Kind::kPalettised, Bgrx(255, 255, 255, 66), kNoKey, 0, -1, 0, 0, kW,
       Bgrx(0, 0, 0, 7), Bgrx(255, 255, 255, 66)},
      {"copy by factor 255", Kind::kPalettised, Bgrx(255, 255, 255, 66), kNoKey, 0, 255, 0, 0, kW, Bgrx(0, 0, 0, 7),
       Bgrx(254, 254, 254, 7)},
      {"modulated copy keeps the fourth byte", Kind::kPalettised, Bgrx(255, 255, 255, 66), kNoKey, 0, -1, 0, 0,
       0x808080, Bgrx(0, 0, 0, 7), Bgrx(128, 128, 128, 7)},
      {"inverted source, then modulation 0", Kind::kPalettised, white, kNoKey, 0, -1, 10, 128, 0, Bgrx(50, 50, 50, 7),
       Bgrx(25, 25, 25, 7)},
      {"inverted black at p 255", Kind::kDirect, 0, kNoKey, 0, -1, 10, 255, kW, 0, Bgrx(254, 254, 254, 0)},
      {"inverted at p 0 keeps", Kind::kDirect, 0, kNoKey, 0, -1, 10, 0, kW, Bgrx(3, 4, 5, 6), Bgrx(3, 4, 5, 6)},
  };
  for (const Worked& c : cases) {
    for (TexturedFamily family : {TexturedFamily::kTriangle, TexturedFamily::kRotated}) {
      EXPECT_EQ(DrawOne(c, family), c.want) << c.what << ", family " << static_cast<int>(family);
    }
  }
}

TEST_F(TexturedSpan32Test, WalkSkipsPositionsOutsideTheSourceAndSteps) {
  Image source, dst;
  MakeSource(source, Kind::kDirect, 3, 2, 0);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) Put(source, x, y, Bgrx(static_cast<std::uint32_t>(x + 1), static_cast<std::uint32_t>(y + 1), 0, 0));
  }
  Make(dst, 6, 4, kMemImgFormatXrgb32);
  FillMemImgArea(&dst.view, nullptr, 0xEEEEEEEEu);
  // Half-pixel steps from one pixel left of and above the source: the first
  // two columns and rows of each line fall outside, as do u and v at 3 and 2.
  const TexturedWalk walk{At(dst, 0, 0), dst.view.block->pitch - 6 * 4, 6, 4, -kOne, -kOne, kOne / 2, 0, -3 * kOne,
                          kOne};
  State(kMemImgBlendNone, 0);
  ASSERT_TRUE(RunWalk(source, nullptr, 0, TexturedFamily::kRotated, walk));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      const int sx = (x - 2) / 2, sy = y - 1;
      const bool inside = x >= 2 && sx < 3 && y >= 1 && sy < 2;
      const std::uint32_t want =
          inside ? Bgrx(static_cast<std::uint32_t>(sx + 1), static_cast<std::uint32_t>(sy + 1), 0, 0) : 0xEEEEEEEEu;
      EXPECT_EQ(Get(dst, x, y), want) << x << "," << y;
    }
  }
}

TEST_F(TexturedSpan32Test, RefusesWhatItCannotDraw) {
  Image source, wide, source16;
  MakeSource(source, Kind::kDirect, 2, 2, 0);
  Make(wide, 16384, 1, kMemImgFormatXrgb32);
  Make(source16, 2, 2, kMemImgFormatRgb565);
  TexturedConsts consts;
  TexturedLoopFn loop = nullptr;
  for (int mode : {-1, 5, 6, 7, 8, 9, 12, 0x7FFFFFFF}) {
    State(mode, 128);
    EXPECT_FALSE(span::PrepareTexturedLoop32({&source.view, nullptr, 0, TexturedFamily::kTriangle}, &consts, &loop))
        << mode;
  }
  State(kMemImgBlendNone, 0);
  EXPECT_FALSE(span::PrepareTexturedLoop32({&source16.view, nullptr, 0, TexturedFamily::kTriangle}, &consts, &loop));
  EXPECT_FALSE(span::PrepareTexturedLoop32({&wide.view, nullptr, 0, TexturedFamily::kRotated}, &consts, &loop));
  EXPECT_FALSE(span::PrepareTexturedLoop32({nullptr, nullptr, 0, TexturedFamily::kRotated}, &consts, &loop));
  EXPECT_TRUE(span::PrepareTexturedLoop32({&source.view, nullptr, 0, TexturedFamily::kRotated}, &consts, &loop));
  EXPECT_EQ(consts.rangeU, 2u * kOne);
  EXPECT_EQ(consts.rangeV, 2u * kOne);
}

}  // namespace
}  // namespace qz
