// Graph textures and image transfer: pixels land in the right tile and texel,
// edges repeat into the spare texture area, staged and block-compressed
// textures, colour keys, fills, and every texture format a graph can take.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/log_text.h"
#include "core/memory.h"
#include "graphics/color_value.h"
#include "graphics/device_formats.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_textures.h"
#include "graphics/texture_draw_info.h"
#include "support/scratch_log.h"
#include "tests/graphics/graph_test_fixture.h"

namespace qz {
namespace {

using testing::GraphProfile;
using testing::GraphTest;
using testing::PatternImage;

struct TexturePixels {
  std::vector<std::uint32_t> pixels;
  int width = 0;
  int height = 0;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

TexturePixels ReadTile(const GraphTextureTile& tile) {
  TexturePixels read;
  EXPECT_TRUE(plat::ReadD3D9SurfaceArgb(tile.surface, &read.pixels, &read.width, &read.height));
  return read;
}

// Channels compared in their top four bits, which every format keeps.
std::uint32_t Top4(std::uint32_t argb) { return argb & 0xF0F0F0F0u; }

TEST_F(GraphTest, EdgeColumnAndRowRepeatIntoTheSpareTexels) {
  Start();
  PatternImage pattern(100, 100);
  const GraphHandle graph = NewGraphForBaseImage(&pattern.image, nullptr);
  ASSERT_GE(graph, 0);
  ASSERT_EQ(CopyBaseImageToGraph(&pattern.image, nullptr, 0, 0, graph), 0);
  const GraphTextureTile& tile = GetGraphRecord(graph)->image->tiles[0];
  ASSERT_EQ(tile.textureWidth, 128);
  const TexturePixels read = ReadTile(tile);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(read.At(i, 37), PatternImage::Expected(i, 37)) << i;
    EXPECT_EQ(read.At(100, i), read.At(99, i)) << i;
    EXPECT_EQ(read.At(i, 100), read.At(i, 99)) << i;
  }
  EXPECT_EQ(read.At(100, 100), PatternImage::Expected(99, 99));
  EXPECT_EQ(read.At(101, 5) & 0x00FFFFFF, 0u);
  EXPECT_EQ(read.At(5, 101) & 0x00FFFFFF, 0u);
  ExpectEverythingReleased(1);
}

TEST_F(GraphTest, EveryTileOfALargeGraphHoldsItsPartOfTheImage) {
  Start(GraphProfile(512));
  PatternImage pattern(640, 480);
  const GraphHandle graph = NewGraphForBaseImage(&pattern.image, nullptr);
  ASSERT_EQ(CopyBaseImageToGraph(&pattern.image, nullptr, 0, 0, graph), 0);
  const GraphImage& image = *GetGraphRecord(graph)->image;
  ASSERT_EQ(image.tileCount, 2);
  for (int i = 0; i < image.tileCount; ++i) {
    const GraphTextureTile& tile = image.tiles[i];
    const TexturePixels read = ReadTile(tile);
    for (int y = 0; y < tile.usedHeight; y += 7) {
      for (int x = 0; x < tile.usedWidth; x += 5) {
        ASSERT_EQ(read.At(x, y), PatternImage::Expected(tile.x + x, tile.y + y)) << i << " " << x << " " << y;
      }
    }
  }

  // A sub-graph across the tile edge writes into both tiles at its place.
  const GraphHandle sub = MakeSubRectGraph(500, 10, 40, 20, graph);
  ASSERT_EQ(GetGraphRecord(sub)->drawEntries.size(), 2u);
  PatternImage small(40, 20);
  const Rect whole{0, 0, 40, 20};
  ASSERT_EQ(CopyPixelDataToGraph(&small.image, nullptr, &whole, 0, 0, sub), 0);
  EXPECT_EQ(ReadTile(image.tiles[0]).At(511, 29), PatternImage::Expected(11, 19));
  EXPECT_EQ(ReadTile(image.tiles[1]).At(0, 10), PatternImage::Expected(12, 0));
  EXPECT_EQ(ReadTile(image.tiles[1]).At(28, 10), PatternImage::Expected(540, 10));
  ExpectEverythingReleased(2);
}

TEST_F(GraphTest, ExtendedDeviceStagesEveryPlainImageThroughSystemMemory) {
  Start(GraphProfile(2048, 0, true));
  PatternImage pattern(60, 30);
  const GraphHandle graph = NewGraphForBaseImage(&pattern.image, nullptr);
  ASSERT_GE(graph, 0);
  const GraphImage& image = *GetGraphRecord(graph)->image;
  EXPECT_EQ(image.request.staged, 1);
  ASSERT_NE(image.tiles[0].stagingTexture, nullptr);
  const int updates = plat::GetD3D9CallCount("UpdateTexture");
  // The strict stand-in refuses locks of default-pool textures.
  ASSERT_EQ(CopyBaseImageToGraph(&pattern.image, nullptr, 0, 0, graph), 0);
  EXPECT_EQ(plat::GetD3D9CallCount("UpdateTexture"), updates + 1);
  const TexturePixels read = ReadTile(image.tiles[0]);
  EXPECT_EQ(read.At(59, 29), PatternImage::Expected(59, 29));
  EXPECT_EQ(read.At(60, 30), PatternImage::Expected(59, 29));
  ExpectEverythingReleased(1);
}

// An 8 by 8 DXT1 image: four blocks of one colour each, red, green, blue, white.
struct Dxt1Image {
  BaseImage image{};
  Dxt1Image() {
    SetColorDescARGB8(&image.format);
    image.format.dxtKind = 1;
    image.width = 8;
    image.height = 8;
    image.pixels = static_cast<std::uint8_t*>(AllocTrackedZeroed(32, __FILE__, __LINE__));
    const std::uint16_t colours[] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    for (int block = 0; block < 4; ++block) {
      std::memcpy(image.pixels + block * 8, &colours[block], 2);
      std::memcpy(image.pixels + block * 8 + 2, &colours[block], 2);
    }
  }
  ~Dxt1Image() { FreeBaseImagePixels(&image); }
};

TEST_F(GraphTest, BlockCompressedImagesAreCopiedExpandedOrRefused) {
  Start(GraphProfile(2048, 0, false, true));
  Dxt1Image dxt;
  const GraphHandle compressed = NewGraphForBaseImage(&dxt.image, nullptr);
  ASSERT_GE(compressed, 0);
  const GraphImage& image = *GetGraphRecord(compressed)->image;
  EXPECT_EQ(image.pixelFormatCode, kGraphFormatDxt1);
  ASSERT_EQ(CopyBaseImageToGraph(&dxt.image, nullptr, 0, 0, compressed), 0);
  plat::D3DLOCKED_RECT locked{};
  ASSERT_EQ(image.tiles[0].texture->LockRect(0, &locked, nullptr, plat::D3DLOCK_READONLY), plat::D3D_OK);
  EXPECT_EQ(std::memcmp(locked.pBits, dxt.image.pixels, 16), 0);
  EXPECT_EQ(std::memcmp(static_cast<std::uint8_t*>(locked.pBits) + locked.Pitch, dxt.image.pixels + 16, 16), 0);
  image.tiles[0].texture->UnlockRect(0);

  testing::ScratchLog log;
  PatternImage plain(8, 8);
  EXPECT_EQ(CopyBaseImageToGraph(&plain.image, nullptr, 0, 0, compressed), -1);
  EXPECT_TRUE(log.Contains(text::kGraphDxtFromPlainImage));
  ExpectEverythingReleased(2);

  // Without DXT textures the image is expanded into the fallback format.
  TerminateGraphics();
  Start(GraphProfile(2048));
  const GraphHandle expanded = NewGraphForBaseImage(&dxt.image, nullptr);
  ASSERT_EQ(CopyBaseImageToGraph(&dxt.image, nullptr, 0, 0, expanded), 0);
  const TexturePixels read = ReadTile(GetGraphRecord(expanded)->image->tiles[0]);
  EXPECT_EQ(read.At(1, 1), 0xFFFF0000u);
  EXPECT_EQ(read.At(6, 2), 0xFF00FF00u);
  EXPECT_EQ(read.At(2, 6), 0xFF0000FFu);
  EXPECT_EQ(read.At(7, 7), 0xFFFFFFFFu);
  ExpectEverythingReleased();
}

TEST_F(GraphTest, ColourKeyBecomesTransparencyInASixteenBitKeyTexture) {
  Start();
  SetNewGraphColorBits(16);
  SetTransparentColorRGB(255, 0, 255);
  PatternImage pattern(8, 4);
  auto* row = reinterpret_cast<std::uint32_t*>(pattern.image.pixels);
  row[2] = 0xFFFF00FFu;
  row[5] = 0xFFFF00FFu;
  const GraphHandle graph = NewGraphForBaseImage(&pattern.image, nullptr);
  const GraphImage& image = *GetGraphRecord(graph)->image;
  EXPECT_EQ(image.pixelFormatCode, kGraphFormatColorKey16Bit);
  EXPECT_EQ(GetGraphicsState().caps.textureFormats[kGraphFormatColorKey16Bit], plat::D3DFMT_A1R5G5B5);
  ASSERT_EQ(CopyBaseImageToGraph(&pattern.image, nullptr, 0, 0, graph), 0);
  const TexturePixels read = ReadTile(image.tiles[0]);
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(read.At(x, 0) >> 24, x == 2 || x == 5 ? 0u : 0xFFu) << x;
  }
  EXPECT_EQ(read.At(3, 1) >> 24, 0xFFu);
  ExpectEverythingReleased(1);
}

TEST_F(GraphTest, EmptyOrOutsideSourcesWriteNothingBeyondTheImage) {
  Start();
  PatternImage pattern(16, 16);
  const GraphHandle graph = CreateBlankGraph(32, 32);
  const int locks = plat::GetD3D9CallCount("Texture.LockRect");
  EXPECT_EQ(TransferImageToGraphTextures(graph, Rect{5, 0, 5, 10}, 0, 0, &pattern.image, nullptr, 0, 0, 0), 0);
  EXPECT_EQ(TransferImageToGraphTextures(graph, Rect{0, 3, 10, 2}, 0, 0, &pattern.image, nullptr, 0, 0, 0), 0);
  EXPECT_EQ(plat::GetD3D9CallCount("Texture.LockRect"), locks);
  EXPECT_EQ(TransferImageToGraphTextures(graph ^ (1 << 16), Rect{0, 0, 4, 4}, 0, 0, &pattern.image, nullptr, 0, 0,
                                         0),
            -1);

  // The graph is larger than the image: only the image's pixels are read.
  ASSERT_EQ(CopyBaseImageToGraph(&pattern.image, nullptr, 8, 4, graph), 0);
  EXPECT_EQ(GetGraphRecord(graph)->sourceX, 8);
  const TexturePixels read = ReadTile(GetGraphRecord(graph)->image->tiles[0]);
  EXPECT_EQ(read.At(0, 0), PatternImage::Expected(8, 4));
  EXPECT_EQ(read.At(7, 11), PatternImage::Expected(15, 15));
  EXPECT_EQ(read.At(8, 0) & 0x00FFFFFF, 0u);
  EXPECT_EQ(read.At(0, 12) & 0x00FFFFFF, 0u);
  ExpectEverythingReleased(1);
}

TEST_F(GraphTest, FillWritesDrawableSurfacesAndSoftwareImagesOnly) {
  Start();
  const GraphHandle plain = CreateBlankGraph(16, 16);
  SetNewGraphUserFormatFlag(1);
  const GraphHandle drawable = CreateBlankGraph(16, 16);
  SetNewGraphUserFormatFlag(0);
  ASSERT_GE(drawable, 0);
  // Drawable tiles are render targets, filled through the device, never staged in memory.
  EXPECT_EQ(GetGraphRecord(drawable)->image->tiles[0].stagingTexture, nullptr);
  const GraphHandle part = MakeSubRectGraph(4, 4, 4, 4, drawable);

  EXPECT_EQ(FillGraphWithColor(plain, 10, 20, 30, 255), 0);
  EXPECT_EQ(ReadTile(GetGraphRecord(plain)->image->tiles[0]).At(3, 3) & 0x00FFFFFF, 0u);

  EXPECT_EQ(FillGraphWithColor(part, 300, 20, -5, 255), 0);
  const TexturePixels read = ReadTile(GetGraphRecord(drawable)->image->tiles[0]);
  EXPECT_EQ(read.At(4, 4) & 0x00FFFFFF, 0xFF1400u);
  EXPECT_EQ(read.At(7, 7) & 0x00FFFFFF, 0xFF1400u);
  EXPECT_EQ(read.At(8, 4) & 0x00FFFFFF, 0u);
  EXPECT_EQ(read.At(3, 3) & 0x00FFFFFF, 0u);
  EXPECT_EQ(FillGraphWithColor(part ^ (1 << 16), 0, 0, 0, 0), -1);
  ExpectEverythingReleased();
}

TEST_F(GraphTest, SoftwareGraphsTakeTransfersAndFillsInTheirMemoryImage) {
  StartSoftware();
  PatternImage pattern(16, 8);
  const GraphHandle graph = NewGraphForBaseImage(&pattern.image, nullptr);
  ASSERT_GE(graph, 0);
  ASSERT_EQ(CopyBaseImageToGraph(&pattern.image, nullptr, 0, 0, graph), 0);
  const MEMIMG& view = GetGraphRecord(graph)->softView;
  const PixelFormatDescriptor* format = view.block->colorDesc;
  auto pixelAt = [&](int x, int y) {
    std::uint32_t value = 0;
    std::memcpy(&value, view.pixels + y * view.block->pitch + x * format->bytesPerPixel, format->bytesPerPixel);
    int red = 0;
    int green = 0;
    int blue = 0;
    int alpha = 0;
    UnpackColorByDescriptor(format, value, &red, &green, &blue, &alpha);
    return static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
  };
  EXPECT_EQ(Top4(pixelAt(13, 6)), Top4(PatternImage::Expected(13, 6) & 0x00FFFFFF));
  Dxt1Image dxt;
  const Rect blocks{0, 0, 8, 8};
  ASSERT_EQ(CopyPixelDataToGraph(&dxt.image, nullptr, &blocks, 0, 0, graph), 0);
  EXPECT_EQ(Top4(pixelAt(6, 1)), 0x00F000u);

  EXPECT_EQ(FillGraphWithColor(graph, 0xF0, 0x80, 0x10, 0), 0);
  EXPECT_EQ(Top4(pixelAt(2, 3)), 0xF08010u);
  EXPECT_EQ(GetGraphRecord(graph)->image->pixelFormatCode,
            GetScreenColorBitDepth() == 16 ? kGraphFormatSoft16Bit : kGraphFormatSoft32Bit);

  // A derived graph's view keeps the shared image after its parent is gone.
  const GraphHandle child = MakeSubRectGraph(4, 2, 8, 8, graph);
  EXPECT_EQ(GetGraphRecord(child)->softView.height, 6);
  EXPECT_EQ(ReleaseGraph(graph), 0);
  EXPECT_EQ(IsMemImgValid(&GetGraphRecord(child)->softView), 1);
  ExpectEverythingReleased(2);
}

struct FormatCase {
  int colorBits;
  int colorKey;
  int userFormat;
  bool alpha;
  int code;
};

TEST_F(GraphTest, TransfersReachEveryTextureFormatCode) {
  Start();
  const FormatCase cases[] = {
      {16, 0, 0, false, kGraphFormat16Bit},         {32, 0, 0, false, kGraphFormat32Bit},
      {16, 0, 0, true, kGraphFormatAlpha16Bit},     {32, 0, 0, true, kGraphFormatAlpha32Bit},
      {16, 1, 0, false, kGraphFormatColorKey16Bit}, {32, 1, 0, false, kGraphFormatColorKey32Bit},
      {16, 0, 1, false, kGraphFormatDrawable16Bit}, {32, 0, 1, false, kGraphFormatDrawable32Bit},
  };
  BaseImage source{};
  AllocARGB8BaseImage(8, 8, &source);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) SetBaseImagePixel(&source, x, y, x * 32 + 16, y * 32 + 8, 0xA0, 0x40 + x * 16);
  }
  for (const FormatCase& c : cases) {
    SetNewGraphColorBits(c.colorBits);
    SetNewGraphColorKeyFlag(c.colorKey);
    SetNewGraphUserFormatFlag(c.userFormat);
    SetNewGraphAlphaFlag(c.alpha ? 1 : 0);
    const GraphHandle graph = CreateBlankGraph(8, 8);
    ASSERT_GE(graph, 0) << c.code;
    const GraphImage& image = *GetGraphRecord(graph)->image;
    ASSERT_EQ(image.pixelFormatCode, c.code);
    ASSERT_EQ(CopyBaseImageToGraph(&source, nullptr, 0, 0, graph), 0) << c.code;
    // The source's alpha 0x90 survives where the texture keeps 4 bits or more.
    const auto format = static_cast<plat::D3DFORMAT>(GetGraphicsState().caps.textureFormats[c.code]);
    const std::uint32_t alpha = GetD3DFormatPixelDescriptor(format)->alphaWidth >= 4 ? 0x90000000u : 0xFF000000u;
    EXPECT_EQ(Top4(ReadTile(image.tiles[0]).At(5, 2)), Top4(alpha | 0xB048A0u)) << c.code;
    ReleaseGraph(graph);
  }
  SetNewGraphUserFormatFlag(0);
  SetNewGraphAlphaFlag(0);
  FreeBaseImagePixels(&source);
  ExpectEverythingReleased();
}

TEST_F(GraphTest, TexturesAreMadeAgainAfterTheirRelease) {
  Start(GraphProfile(256));
  const GraphHandle graph = CreateBlankGraph(300, 20);
  const GraphHandle shared = MakeSubRectGraph(0, 0, 10, 10, graph);
  ASSERT_GT(shared, 0);
  GraphImage* image = GetGraphRecord(graph)->image;
  const int objects = plat::GetD3D9LiveObjectCount();
  ReleaseTextureSet(image);
  EXPECT_EQ(image->tiles[0].texture, nullptr);
  EXPECT_LT(plat::GetD3D9LiveObjectCount(), objects);
  RecreateAllGraphTextures();
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), objects);
  EXPECT_NE(image->tiles[1].surface, nullptr);
  ExpectEverythingReleased();
}

TEST(GraphTextureFormats, ImageRequestsPickTheirCode) {
  EXPECT_EQ(ChooseTextureFormatForImage(0, 1, 0, 0), GetTextureFormatDescriptor(kGraphFormatColorKey16Bit));
  EXPECT_EQ(ChooseTextureFormatForImage(1, 1, 1, 0), GetTextureFormatDescriptor(kGraphFormatAlpha32Bit));
  EXPECT_EQ(ChooseTextureFormatForImage(1, 0, 1, 1), GetTextureFormatDescriptor(kGraphFormatDrawableAlpha));
  EXPECT_EQ(GetTextureFormatDescriptor(kGraphFormatDxt1)->bitDepth, 4);
  EXPECT_EQ(GetTextureFormatDescriptor(kGraphFormatSoft16Bit), nullptr);
}

}  // namespace
}  // namespace qz
