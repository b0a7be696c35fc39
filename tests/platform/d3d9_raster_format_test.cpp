// The rasteriser's formats and channel arithmetic: every raw 16-bit pixel
// survives a trip through 8-bit channels, rounding of the 8-bit products, DXT
// blocks decoded by hand, single-pixel access with padded rows, and depth
// precision.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/d3d9_raster.h"
#include "platform/d3d9_raster_math.h"
#include "tests/platform/d3d9_raster_fixture.h"

namespace plat::raster {
namespace {

using namespace plat::raster::testing;

TEST(RasterFormats, SixteenBitPixelsSurviveUnpackAndPack) {
  struct Case {
    std::uint32_t format;
    std::uint32_t unusedBits;  // written as ones
  };
  for (const Case c : {Case{D3DFMT_R5G6B5, 0}, Case{D3DFMT_X1R5G5B5, 0x8000}, Case{D3DFMT_A1R5G5B5, 0},
                       Case{D3DFMT_A4R4G4B4, 0}}) {
    for (std::uint32_t raw = 0; raw <= 0xFFFF; ++raw) {
      ASSERT_EQ(PackColor(c.format, UnpackColor(c.format, raw)), raw | c.unusedBits) << c.format << " " << raw;
    }
  }
  EXPECT_EQ(UnpackColor(D3DFMT_R5G6B5, 0xFFFF), 0xFFFFFFFFu);
  EXPECT_EQ(UnpackColor(D3DFMT_X1R5G5B5, 0x7C00), 0xFFFF0000u);
  EXPECT_EQ(UnpackColor(D3DFMT_A1R5G5B5, 0x001F), 0x000000FFu);
  EXPECT_EQ(UnpackColor(D3DFMT_A4R4G4B4, 0x8421), 0x88442211u);
  EXPECT_EQ(UnpackColor(D3DFMT_X8R8G8B8, 0x00123456), 0xFF123456u);
  EXPECT_EQ(PackColor(D3DFMT_X8R8G8B8, 0x00123456), 0xFF123456u);
  EXPECT_EQ(PackColor(D3DFMT_A8R8G8B8, 0x00123456), 0x00123456u);
  EXPECT_EQ(BytesPerPixel(D3DFMT_DXT1), 0);
  EXPECT_TRUE(IsTextureFormat(D3DFMT_DXT5));
  EXPECT_FALSE(IsRenderTargetFormat(D3DFMT_DXT5));
  EXPECT_FALSE(IsTextureFormat(D3DFMT_A16B16G16R16F));
  EXPECT_TRUE(IsDepthFormat(D3DFMT_D24X8));
}

TEST(RasterFormats, ChannelProductsRoundToNearest) {
  for (int a = 0; a < 256; ++a) {
    ASSERT_EQ(Mul255(a, 255), a);
    ASSERT_EQ(Mul255(255, a), a);
    for (int b = 0; b < 256; ++b) {
      ASSERT_EQ(Mul255(a, b), static_cast<int>(std::floor(a * b / 255.0 + 0.5))) << a << "*" << b;
      ASSERT_EQ(Lerp255(a, b, 255), a);
      ASSERT_EQ(Lerp255(a, b, 0), b);
    }
  }
}

TEST(RasterFormats, ReadAndWritePixelsHonourThePitch) {
  OwnedSurface s(3, 2, D3DFMT_R5G6B5, 6);
  s.Set(2, 1, 0xFF0000FFu);
  EXPECT_EQ(s.Get(2, 1), 0xFF0000FFu);
  std::uint16_t raw;
  std::memcpy(&raw, s.bytes.data() + s.view.pitchBytes + 4, 2);
  EXPECT_EQ(raw, 0x001Fu);
  EXPECT_EQ(s.Get(1, 1), 0xFF000000u);
}

// A DXT1 block: colours 0 (red) and 1 (blue), then 2 bits per texel, row by row.
std::vector<std::uint8_t> Dxt1Block(std::uint16_t c0, std::uint16_t c1, std::uint32_t selectors) {
  return {static_cast<std::uint8_t>(c0), static_cast<std::uint8_t>(c0 >> 8), static_cast<std::uint8_t>(c1),
          static_cast<std::uint8_t>(c1 >> 8), static_cast<std::uint8_t>(selectors), static_cast<std::uint8_t>(selectors >> 8),
          static_cast<std::uint8_t>(selectors >> 16), static_cast<std::uint8_t>(selectors >> 24)};
}

TEST(RasterFormats, DxtBlocksDecodeEveryMode) {
  // Texels 0..3 of row 0 use selectors 0, 1, 2, 3.
  const std::uint32_t selectors = 0 | (1 << 2) | (2 << 4) | (3 << 6);
  auto block = Dxt1Block(0xF800, 0x001F, selectors);
  Surface four{block.data(), 8, 4, 4, D3DFMT_DXT1};
  EXPECT_EQ(ReadPixel(four, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(ReadPixel(four, 1, 0), 0xFF0000FFu);
  EXPECT_EQ(ReadPixel(four, 2, 0), 0xFFAA0055u);  // (2 red + blue) / 3
  EXPECT_EQ(ReadPixel(four, 3, 0), 0xFF5500AAu);
  EXPECT_EQ(ReadPixel(four, 0, 3), 0xFFFF0000u);
  // First colour not above the second: three colours and transparent black.
  auto three = Dxt1Block(0x001F, 0xF800, selectors);
  Surface threeView{three.data(), 8, 4, 4, D3DFMT_DXT1};
  EXPECT_EQ(ReadPixel(threeView, 2, 0), 0xFF7F007Fu);
  EXPECT_EQ(ReadPixel(threeView, 3, 0), 0x00000000u);

  // DXT3: explicit 4-bit alpha, texel 0 in the low nibble; the colour block always has four colours.
  std::vector<std::uint8_t> dxt3(16, 0);
  dxt3[0] = 0x3F;  // texel 0 alpha 15, texel 1 alpha 3
  const auto colors = Dxt1Block(0x001F, 0xF800, selectors);
  std::copy(colors.begin(), colors.end(), dxt3.begin() + 8);
  Surface dxt3View{dxt3.data(), 16, 4, 4, D3DFMT_DXT3};
  EXPECT_EQ(ReadPixel(dxt3View, 0, 0), 0xFF0000FFu);
  EXPECT_EQ(ReadPixel(dxt3View, 1, 0), 0x33FF0000u);
  EXPECT_EQ(ReadPixel(dxt3View, 3, 0) & 0xFFFFFFu, 0xAA0055u);

  // DXT5: two alpha ends with 3-bit codes; eight levels when the first is larger, else six plus 0 and 255.
  std::vector<std::uint8_t> dxt5(16, 0);
  dxt5[0] = 200;
  dxt5[1] = 60;
  dxt5[2] = 0 | (1 << 3) | (2 << 6);  // texels 0, 1, 2 use codes 0, 1, 2
  std::copy(colors.begin(), colors.end(), dxt5.begin() + 8);
  Surface dxt5View{dxt5.data(), 16, 4, 4, D3DFMT_DXT5};
  EXPECT_EQ(ReadPixel(dxt5View, 0, 0) >> 24, 200u);
  EXPECT_EQ(ReadPixel(dxt5View, 1, 0) >> 24, 60u);
  EXPECT_EQ(ReadPixel(dxt5View, 2, 0) >> 24, (6u * 200 + 1u * 60) / 7);
  dxt5[0] = 60;
  dxt5[1] = 200;
  dxt5[2] = 6 | (7 << 3) | (2 << 6);
  EXPECT_EQ(ReadPixel(dxt5View, 0, 0) >> 24, 0u);
  EXPECT_EQ(ReadPixel(dxt5View, 1, 0) >> 24, 255u);
  EXPECT_EQ(ReadPixel(dxt5View, 2, 0) >> 24, (4u * 60 + 1u * 200) / 5);
}

TEST(RasterFormats, DxtTexturesAreSampledWhenDrawn) {
  // Two blocks side by side: an 8x4 texture drawn 1:1.
  auto left = Dxt1Block(0xF800, 0x001F, 0x55555555u);   // all blue
  auto right = Dxt1Block(0x07E0, 0x001F, 0x00000000u);  // all green
  std::vector<std::uint8_t> pixels(left);
  pixels.insert(pixels.end(), right.begin(), right.end());
  State state = TwoDState(8, 4);
  state.textures[0] = Surface{pixels.data(), 16, 8, 4, D3DFMT_DXT1};
  state.stage[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  OwnedSurface target(8, 4, D3DFMT_X8R8G8B8);
  ASSERT_EQ(DrawList(target, state, Quad(-0.5f, -0.5f, 7.5f, 3.5f, 0, 0, 1, 1), kTexFvf), Status::kOk);
  EXPECT_EQ(target.Get(3, 2), 0xFF0000FFu);
  EXPECT_EQ(target.Get(4, 2), 0xFF00FF00u);
}

TEST(RasterFormats, DepthIsStoredInTheFormatsPrecision) {
  EXPECT_EQ(QuantizeDepth(D3DFMT_D16, 0.5f), std::round(0.5f * 65535.0f) / 65535.0f);
  EXPECT_EQ(QuantizeDepth(D3DFMT_D16, 1.0f / 140000.0f), 0.0f);
  EXPECT_EQ(QuantizeDepth(D3DFMT_D32, 0.123456789f), 0.123456789f);
  EXPECT_NEAR(QuantizeDepth(D3DFMT_D24X8, 0.3f), 0.3f, 1.0 / 16777215.0);
  EXPECT_EQ(QuantizeDepth(D3DFMT_D16, 2.0f), 1.0f);
  EXPECT_EQ(QuantizeDepth(D3DFMT_D16, -1.0f), 0.0f);
  EXPECT_EQ(QuantizeDepth(D3DFMT_D24X8, std::numeric_limits<float>::quiet_NaN()), 0.0f);
}

}  // namespace
}  // namespace plat::raster
