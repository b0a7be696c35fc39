// The vector fills of untextured rectangles and of subtractive sprites (a dark
// floor's darkness: white rectangles and the light mask taken from the
// screen) against the general path, over every source alpha, every target
// byte value in every channel, row tails of each length, targets with and
// without alpha, and the alpha test deciding for the whole rectangle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/d3d9_raster.h"
#include "platform/d3d9_raster_fast_pixel.h"
#include "tests/platform/d3d9_raster_fixture.h"

namespace plat::raster {
namespace {

using namespace plat::raster::testing;

// 19 x 16 = 304 pixels: wide enough for rows of two vector blocks and a tail,
// and more pixels than byte values.
constexpr int kTargetW = 19, kTargetH = 16;

struct BlendRow {
  const char* name;
  std::uint32_t src, dst, op;
};
constexpr BlendRow kBlends[] = {
    {"alpha", D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD},
    {"additive", D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD},
    {"subtractive", D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT},
};

void UseBlend(const BlendRow& row, State* state) {
  state->render[D3DRS_ALPHABLENDENABLE] = 1;
  state->render[D3DRS_SRCBLEND] = row.src;
  state->render[D3DRS_DESTBLEND] = row.dst;
  state->render[D3DRS_BLENDOP] = row.op;
}

// Every byte value in every channel, in a different order per channel so
// that each pixel mixes low and high values.
OwnedSurface EveryByteTarget(std::uint32_t format) {
  OwnedSurface target(kTargetW, kTargetH, format);
  for (int i = 0; i < kTargetW * kTargetH; ++i) {
    const auto v = static_cast<std::uint32_t>(i);
    target.Set(i % kTargetW, i / kTargetW,
               (v * 7 + 3) % 256 << 24 | (v * 31) % 256 << 16 | (255 - v % 256) << 8 | (v * 101 + 50) % 256);
  }
  return target;
}

// Draws the vertices on both paths from the same start; the bytes, the
// pixel counts and the fast path's taking them must agree.
template <typename V>
void ExpectBothPathsAgree(const OwnedSurface& start, const State& state, const std::vector<V>& vertices,
                          std::uint32_t fvf, const std::string& what) {
  OwnedSurface fast = start, general = start;
  Report fastReport, generalReport;
  ASSERT_EQ(DrawList(fast, state, vertices, fvf, D3DPT_TRIANGLELIST, &fastReport, true), Status::kOk);
  ASSERT_EQ(DrawList(general, state, vertices, fvf, D3DPT_TRIANGLELIST, &generalReport, false), Status::kOk);
  ASSERT_EQ(fastReport.fastPathTriangles, static_cast<long long>(vertices.size() / 3)) << what;
  ASSERT_EQ(fast.bytes, general.bytes) << what;
  ASSERT_EQ(fastReport.pixelsWritten, generalReport.pixelsWritten) << what;
}

// Subtracting the source once rounded from the target is the general blend's
// single rounding of d x 255 - s x a, for every source, alpha and target.
TEST(RasterSolidAndSubtract, SubtractionOfTheRoundedProductMatchesTheBlendUnitForEveryByte) {
  DrawSetup setup;
  for (int a = 0; a < 256; ++a) {
    // Red, green and blue take a third of the sources each.
    for (int s = 0; s < 86; ++s) {
      for (int d = 0; d < 256; ++d) {
        const Color src{s, s + 86, std::min(s + 172, 255), a}, dst{d, 255 - d, d, d};
        const Color fast = BlendFast<FastBlend::kSubtract>(setup, src, dst);
        const Color general = Blend(D3DBLENDOP_REVSUBTRACT, D3DBLEND_SRCALPHA, D3DBLEND_ONE, src, dst, Color{});
        ASSERT_TRUE(fast.r == general.r && fast.g == general.g && fast.b == general.b && fast.a == general.a)
            << "s " << s << " a " << a << " d " << d;
      }
    }
  }
}

TEST(RasterSolidAndSubtract, SolidRectanglesDrawTheGeneralPathsPixelsForEverySourceAlpha) {
  const std::uint32_t colours[] = {0x00FFFFFFu, 0x00804020u, 0x00000000u};
  for (const std::uint32_t format : {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}) {
    const OwnedSurface start = EveryByteTarget(format);
    for (const BlendRow& blend : kBlends) {
      State state = TwoDState(kTargetW, kTargetH);
      UseDiffuseOnly(&state);
      UseBlend(blend, &state);
      for (int alpha = 0; alpha < 256; ++alpha) {
        const std::uint32_t diffuse = static_cast<std::uint32_t>(alpha) << 24 | colours[alpha % 3];
        // The whole target, and a rectangle whose rows end in a short tail.
        std::vector<ColorVertex> vertices = SolidQuad(0, 0, kTargetW, kTargetH, diffuse);
        const std::vector<ColorVertex> inner = SolidQuad(2.5f, 1.5f, 13.5f, 9.5f, diffuse);
        vertices.insert(vertices.end(), inner.begin(), inner.end());
        ExpectBothPathsAgree(start, state, vertices, kColorFvf,
                             std::string(blend.name) + " alpha " + std::to_string(alpha) + " format " +
                                 std::to_string(format));
      }
    }
    // Unblended fills, with the alpha test passing or failing the one colour.
    State state = TwoDState(kTargetW, kTargetH);
    UseDiffuseOnly(&state);
    state.render[D3DRS_ALPHATESTENABLE] = 1;
    state.render[D3DRS_ALPHAFUNC] = D3DCMP_GREATER;
    state.render[D3DRS_ALPHAREF] = 0x80;
    for (const std::uint32_t diffuse : {0x80123456u, 0x81123456u}) {
      ExpectBothPathsAgree(start, state, SolidQuad(1, 1, 18, 15, diffuse), kColorFvf, "unblended");
    }
  }
}

// The light mask as a dark floor draws it: a textured quad, texture times a
// diffuse of alpha 236, subtracted from the screen; and sprites subtracted
// with the transparent colour's alpha test. Texels are random, with many
// fully transparent and fully opaque ones.
TEST(RasterSolidAndSubtract, SubtractiveSpritesDrawTheGeneralPathsPixels) {
  std::mt19937 rng(236);
  const std::uint32_t textureFormats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_R5G6B5};
  for (const std::uint32_t targetFormat : {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5}) {
    const OwnedSurface start = targetFormat == D3DFMT_R5G6B5 ? OwnedSurface(kTargetW, kTargetH, targetFormat)
                                                             : EveryByteTarget(targetFormat);
    for (const std::uint32_t textureFormat : textureFormats) {
      for (const std::uint32_t diffuse : {0xECFFFFFFu, 0xFFFFFFFFu, 0x80FFC040u, 0x01FFFFFFu}) {
        OwnedSurface texture(kTargetW, kTargetH, textureFormat);
        for (auto& byte : texture.bytes) byte = static_cast<std::uint8_t>(rng());
        if (textureFormat == D3DFMT_A8R8G8B8) {
          for (std::size_t i = 3; i < texture.bytes.size(); i += 4) {
            if (rng() % 3 != 0) texture.bytes[i] = rng() % 2 == 0 ? 0 : 255;
          }
        }
        for (const bool alphaTest : {false, true}) {
          State state = TwoDState(kTargetW, kTargetH);
          state.textures[0] = texture.view;
          UseBlend(kBlends[2], &state);
          if (alphaTest) {
            state.render[D3DRS_ALPHATESTENABLE] = 1;
            state.render[D3DRS_ALPHAFUNC] = D3DCMP_GREATER;
            state.render[D3DRS_ALPHAREF] = 16;
          }
          // The whole texture at one texel per pixel, then a clipped copy
          // whose rows are a block and a tail.
          std::vector<TexVertex> vertices = Quad(-0.5f, -0.5f, kTargetW - 0.5f, kTargetH - 0.5f, 0, 0, 1, 1, diffuse);
          const std::vector<TexVertex> shifted =
              Quad(6.5f, 3.5f, kTargetW + 6.5f, kTargetH + 3.5f, 0, 0, 1, 1, diffuse);
          vertices.insert(vertices.end(), shifted.begin(), shifted.end());
          ExpectBothPathsAgree(start, state, vertices, kTexFvf,
                               "texture " + std::to_string(textureFormat) + " target " + std::to_string(targetFormat) +
                                   " diffuse " + std::to_string(diffuse) + (alphaTest ? " tested" : ""));
        }
      }
    }
  }
}

}  // namespace
}  // namespace plat::raster
