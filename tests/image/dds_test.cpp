// DDS decoding and DXT expansion on files and blocks written here: the
// colour and alpha modes of every DXT kind against a reference decoder
// written from the format's definition, mip levels, uncompressed layouts,
// and refusal of lying or truncated files without leaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/memory.h"
#include "image/image_decode.h"
#include "image/decoded_image_test.h"
#include "image/png_jpeg_writer.h"

namespace qz {
namespace {

using Texel = std::array<std::uint8_t, 4>;  // blue, green, red, alpha
using testing::Bytes;
using testing::DdsFile;
using testing::FourCc;
using testing::kMipCaps;
using testing::kMipFlags;
using testing::PatternBytes;
using testing::WriteDds;

// Reference: one texel of a block, straight from the format's definition.
Texel ReferenceTexel(const std::uint8_t* block, int kind, int t) {
  const std::uint8_t* colour = kind == 1 ? block : block + 8;
  auto expand = [](int c) {
    return std::array<int, 3>{(c & 31) * 255 / 31, ((c >> 5) & 63) * 255 / 63, (c >> 11) * 255 / 31};
  };
  const int c0 = colour[0] | colour[1] << 8;
  const int c1 = colour[2] | colour[3] << 8;
  const auto e0 = expand(c0);
  const auto e1 = expand(c1);
  const std::uint32_t bits = colour[4] | colour[5] << 8 | colour[6] << 16 | std::uint32_t(colour[7]) << 24;
  const int index = static_cast<int>(bits >> (2 * t)) & 3;
  Texel out{};
  out[3] = 255;
  for (int ch = 0; ch < 3; ++ch) {
    int v = index == 0 ? e0[ch] : index == 1 ? e1[ch] : 0;
    if (index >= 2) {
      if (kind != 1 || c0 > c1) {
        v = index == 2 ? (2 * e0[ch] + e1[ch]) / 3 : (e0[ch] + 2 * e1[ch]) / 3;
      } else {
        v = (e0[ch] + e1[ch]) / 2;
        if (index == 3) out[3] = 0;
      }
    }
    out[ch] = static_cast<std::uint8_t>(v);
  }
  if (kind == 2 || kind == 3) {
    out[3] = static_cast<std::uint8_t>(((block[t / 2] >> (4 * (t % 2))) & 15) * 17);
  } else if (kind == 4 || kind == 5) {
    std::uint64_t indices = 0;
    for (int i = 0; i < 6; ++i) indices |= std::uint64_t{block[2 + i]} << (8 * i);
    const int code = static_cast<int>(indices >> (3 * t)) & 7;
    const int a0 = block[0];
    const int a1 = block[1];
    int a = code == 0 ? a0 : code == 1 ? a1 : 0;
    if (code >= 2) {
      if (a0 > a1) {
        a = ((8 - code) * a0 + (code - 1) * a1) / 7;
      } else {
        a = code == 6 ? 0 : code == 7 ? 255 : ((6 - code) * a0 + (code - 1) * a1) / 5;
      }
    }
    out[3] = static_cast<std::uint8_t>(a);
  }
  if ((kind == 2 || kind == 4) && out[3] != 0) {
    for (int ch = 0; ch < 3; ++ch) out[ch] = static_cast<std::uint8_t>(std::min(255, out[ch] * 255 / out[3]));
  }
  return out;
}

class DxtImage : public testing::DecodedImageTest {
 protected:
  // A compressed record holding a copy of `data`, as the decoder makes it.
  void MakeCompressed(int kind, std::uint32_t width, std::uint32_t height, const Bytes& data) {
    FreeBaseImagePixels(&image_);
    SetColorDescFromMasks(&image_.format, 32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u);
    image_.format.dxtKind = static_cast<std::uint32_t>(kind);
    image_.width = width;
    image_.height = height;
    image_.pixels = static_cast<std::uint8_t*>(QZ_ALLOC(data.size()));
    std::copy(data.begin(), data.end(), image_.pixels);
  }
  Texel At(std::uint32_t x, std::uint32_t y) const {
    Texel t;
    std::memcpy(t.data(), image_.pixels + y * image_.pitch + x * 4, 4);
    return t;
  }
  // Every texel of the expanded image against the reference; texels of
  // partial edge blocks must be zero.
  void ExpectReference(int kind, std::uint32_t width, std::uint32_t height, const Bytes& data) {
    ASSERT_EQ(image_.format.dxtKind, 0u);
    ASSERT_EQ(image_.format.bytesPerPixel, 4);
    ASSERT_EQ(image_.format.alphaMask, 0xFF000000u);
    ASSERT_EQ(image_.pitch, width * 4);
    const std::size_t blockBytes = kind == 1 ? 8 : 16;
    for (std::uint32_t y = 0; y < height; ++y) {
      for (std::uint32_t x = 0; x < width; ++x) {
        Texel want{};
        if (x < width / 4 * 4 && y < height / 4 * 4) {
          const std::size_t block = (y / 4) * (width / 4) + x / 4;
          want = ReferenceTexel(data.data() + block * blockBytes, kind, static_cast<int>((y % 4) * 4 + x % 4));
        }
        ASSERT_EQ(At(x, y), want) << "kind " << kind << " at " << x << "," << y;
      }
    }
  }
};

TEST_F(DxtImage, Dxt1FourColourAndThreeColourModes) {
  // c0 red, c1 blue, row 0 indices 0 1 2 3.
  MakeCompressed(1, 4, 4, {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0});
  ASSERT_EQ(DecompressDxtBaseImage(&image_), 0);
  EXPECT_EQ(At(0, 0), (Texel{0, 0, 255, 255}));
  EXPECT_EQ(At(1, 0), (Texel{255, 0, 0, 255}));
  EXPECT_EQ(At(2, 0), (Texel{85, 0, 170, 255}));
  EXPECT_EQ(At(3, 0), (Texel{170, 0, 85, 255}));

  // c0 = c1: index 3 is the average with alpha 0.
  MakeCompressed(1, 4, 4, {0xE0, 0x07, 0xE0, 0x07, 0xE4, 0, 0, 0});
  ASSERT_EQ(DecompressDxtBaseImage(&image_), 0);
  EXPECT_EQ(At(2, 0), (Texel{0, 255, 0, 255}));
  EXPECT_EQ(At(3, 0), (Texel{0, 255, 0, 0}));

  // c0 < c1: index 2 is the plain average.
  MakeCompressed(1, 4, 4, {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0});
  ASSERT_EQ(DecompressDxtBaseImage(&image_), 0);
  EXPECT_EQ(At(2, 0), (Texel{127, 0, 127, 255}));
  EXPECT_EQ(At(3, 0)[3], 0);
}

TEST_F(DxtImage, ExplicitAndInterpolatedAlpha) {
  // DXT3: texel t has the 4-bit alpha t.
  Bytes dxt3 = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 0, 0, 0, 0, 0, 0, 0, 0};
  MakeCompressed(3, 4, 4, dxt3);
  ASSERT_EQ(DecompressDxtBaseImage(&image_), 0);
  for (std::uint32_t t = 0; t < 16; ++t) EXPECT_EQ(At(t % 4, t / 4)[3], t * 17) << t;

  // DXT5 with a0 = 255, a1 = 0: index 2 gives (6 x 255) / 7 = 218.
  MakeCompressed(5, 4, 4, {255, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_EQ(DecompressDxtBaseImage(&image_), 0);
  EXPECT_EQ(At(0, 0)[3], 218);
  EXPECT_EQ(At(1, 0)[3], 255);

  // a0 <= a1: four steps, then 0 and 255 at indices 6 and 7.
  MakeCompressed(5, 4, 4, {0, 255, 0xF2, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_EQ(DecompressDxtBaseImage(&image_), 0);
  EXPECT_EQ(At(0, 0)[3], 51);
  EXPECT_EQ(At(1, 0)[3], 0);
  EXPECT_EQ(At(2, 0)[3], 255);
}

TEST_F(DxtImage, PremultipliedKindsAreDividedBackAndClamped) {
  // White under alpha 17 would divide back to 3825: clamped to 255. Colour
  // (8, 8, 8) under alpha 136 becomes 15. Alpha 0 keeps the colour.
  MakeCompressed(2, 4, 4, {0x01, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
  ASSERT_EQ(DecompressDxtBaseImage(&image_), 0);
  EXPECT_EQ(At(0, 0), (Texel{255, 255, 255, 17}));
  EXPECT_EQ(At(1, 0), (Texel{255, 255, 255, 0}));

  MakeCompressed(4, 4, 4, {136, 0, 0, 0, 0, 0, 0, 0, 0x41, 0x08, 0x41, 0x08, 0, 0, 0, 0});
  ASSERT_EQ(DecompressDxtBaseImage(&image_), 0);
  EXPECT_EQ(At(0, 0), (Texel{15, 15, 15, 136}));
}

TEST_F(DxtImage, RandomBlocksMatchTheReferenceAndEdgesStayZero) {
  std::mt19937 random(42);
  for (int kind = 1; kind <= 5; ++kind) {
    for (auto [width, height] : {std::pair{12u, 8u}, std::pair{14u, 10u}, std::pair{2u, 8u}}) {
      const std::size_t blockBytes = kind == 1 ? 8 : 16;
      Bytes data((width / 4) * (height / 4) * blockBytes);
      for (auto& b : data) b = static_cast<std::uint8_t>(random());
      MakeCompressed(kind, width, height, data);
      image_.mipLevels = 3;
      ASSERT_EQ(DecompressDxtBaseImage(&image_), 0);
      EXPECT_EQ(image_.mipLevels, 0);  // only the first level was expanded
      ExpectReference(kind, width, height, data);
    }
  }
  // Uncompressed records are left alone.
  FreeBaseImagePixels(&image_);
  ASSERT_EQ(AllocARGB8BaseImage(2, 2, &image_), 0);
  std::uint8_t* before = image_.pixels;
  EXPECT_EQ(DecompressDxtBaseImage(&image_), 0);
  EXPECT_EQ(image_.pixels, before);

  // No kind 6; a record with blocks and no pixels is refused, one with no
  // whole block needs none.
  MakeCompressed(6, 4, 4, Bytes(16, 0));
  EXPECT_EQ(DecompressDxtBaseImage(&image_), -1);
  for (auto [width, want] : {std::pair{4u, -1}, std::pair{3u, 0}}) {
    MakeCompressed(1, width, 4, Bytes(8, 0));
    QZ_FREE(image_.pixels);
    image_.pixels = nullptr;
    EXPECT_EQ(DecompressDxtBaseImage(&image_), want) << width;
  }
}

class DdsDecoder : public DxtImage {
 protected:
  int Decode(const Bytes& bytes) { return DecodeWith(DecodeDdsImage, bytes); }
};

TEST_F(DdsDecoder, CompressedDataIsKeptWithItsLevels) {
  // 8 x 8 DXT1 with four levels: 32 bytes, then 8, 8, 8 (never below 8).
  DdsFile f{.width = 8, .height = 8, .flags = kMipFlags, .mipCount = 4, .fourCc = FourCc("DXT1"), .caps = kMipCaps,
            .data = PatternBytes(56, 1)};
  ASSERT_EQ(Decode(WriteDds(f)), 0);
  EXPECT_EQ(image_.format.dxtKind, 1u);
  EXPECT_EQ(image_.format.bitDepth, 4);
  EXPECT_EQ(image_.format.alphaMask, 0xFF000000u);
  EXPECT_EQ(image_.pitch, 0u);
  EXPECT_EQ(image_.mipLevels, 4);
  EXPECT_EQ(GetBaseImageDataSize(&image_), 56u);
  EXPECT_TRUE(std::equal(f.data.begin(), f.data.end(), image_.pixels));
  ASSERT_EQ(DecompressDxtBaseImage(&image_), 0);
  ExpectReference(1, 8, 8, f.data);

  // Without the mip caps a single level is read, whatever the count says.
  f.caps = 0x1000;
  ASSERT_EQ(Decode(WriteDds(f)), 0);
  EXPECT_EQ(image_.mipLevels, 0);
  EXPECT_EQ(GetBaseImageDataSize(&image_), 32u);

  // DXT2 to DXT5: 16-byte blocks, bit depth 8.
  for (int kind = 2; kind <= 5; ++kind) {
    const char name[5] = {'D', 'X', 'T', static_cast<char>('0' + kind), 0};
    const DdsFile g{.width = 16, .height = 8, .flags = kMipFlags, .mipCount = 3, .fourCc = FourCc(name),
                    .caps = kMipCaps, .data = PatternBytes(128 + 32 + 8, static_cast<unsigned>(kind))};
    ASSERT_EQ(Decode(WriteDds(g)), 0) << kind;
    EXPECT_EQ(image_.format.dxtKind, static_cast<std::uint32_t>(kind));
    EXPECT_EQ(image_.format.bitDepth, 8);
    ASSERT_EQ(DecompressDxtBaseImage(&image_), 0);
    ExpectReference(kind, 16, 8, g.data);
  }

  // Width 2 has no whole block: no data, and an all-zero expansion.
  f = DdsFile{.width = 2, .fourCc = FourCc("DXT5")};
  ASSERT_EQ(Decode(WriteDds(f)), 0);
  ASSERT_EQ(DecompressDxtBaseImage(&image_), 0);
  ExpectReference(5, 2, 4, {});

  // Sides of 1 and of the largest, and 32 levels (each at least 8 bytes).
  struct Sides {
    std::uint32_t width, height, levels;
    std::size_t bytes;
  };
  for (const Sides& c : {Sides{4, 1, 0, 0}, Sides{32768, 4, 0, 65536}, Sides{4, 32768, 0, 65536},
                         Sides{4, 4, 32, 256}}) {
    SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height << ", " << c.levels << " levels");
    f = DdsFile{.width = c.width, .height = c.height, .flags = kMipFlags, .mipCount = c.levels,
                .fourCc = FourCc("DXT1"), .caps = kMipCaps, .data = PatternBytes(c.bytes, 2)};
    ASSERT_EQ(Decode(WriteDds(f)), 0);
    EXPECT_EQ(image_.mipLevels, static_cast<int>(c.levels));
  }
}

TEST_F(DdsDecoder, UncompressedLayoutsFromFormatNumbersAndMasks) {
  struct Case {
    const char* name;
    std::uint32_t pixelFlags, fourCc, bits;
    std::array<std::uint32_t, 4> masks;
    int bytesPerPixel;
    std::array<std::uint32_t, 4> wantMasks;
  };
  const Case cases[] = {
      {"A8R8G8B8 number", 0x4, 21, 0, {}, 4, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
      {"R5G6B5 number", 0x4, 23, 0, {}, 2, {0xF800, 0x07E0, 0x001F, 0}},
      {"R8G8B8 number", 0x4, 20, 0, {}, 3, {0xFF0000, 0xFF00, 0xFF, 0}},
      {"A2B10G10R10 number", 0x4, 31, 0, {}, 4, {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}},
      {"16-bit masks", 0x40, 0, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}, 2, {0x7C00, 0x03E0, 0x001F, 0x8000}},
      {"32-bit masks with alpha", 0x41, 0, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, 4,
       {0xFF, 0xFF00, 0xFF0000, 0xFF000000}},
      {"24-bit masks", 0x40, 0, 24, {0xFF0000, 0xFF00, 0xFF, 0}, 3, {0xFF0000, 0xFF00, 0xFF, 0}},
      {"8-bit masks", 0x40, 0, 8, {0xE0, 0x1C, 0x03, 0}, 1, {0xE0, 0x1C, 0x03, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DdsFile f{.width = 3, .height = 2, .pixelFlags = c.pixelFlags, .fourCc = c.fourCc, .bits = c.bits,
                    .masks = {c.masks[0], c.masks[1], c.masks[2], c.masks[3]},
                    .data = PatternBytes(static_cast<std::size_t>(3 * 2 * c.bytesPerPixel), 5)};
    ASSERT_EQ(Decode(WriteDds(f)), 0);
    EXPECT_EQ(image_.format.dxtKind, 0u);
    EXPECT_EQ(image_.format.bytesPerPixel, c.bytesPerPixel);
    EXPECT_EQ(image_.pitch, static_cast<std::uint32_t>(3 * c.bytesPerPixel));
    EXPECT_EQ(image_.format.redMask, c.wantMasks[0]);
    EXPECT_EQ(image_.format.greenMask, c.wantMasks[1]);
    EXPECT_EQ(image_.format.blueMask, c.wantMasks[2]);
    EXPECT_EQ(image_.format.alphaMask, c.wantMasks[3]);
    EXPECT_TRUE(std::equal(f.data.begin(), f.data.end(), image_.pixels));
  }

  // A pitch given by the header, wider than the row, with two levels.
  DdsFile f{.width = 3, .height = 4, .flags = kMipFlags | 0x8, .pitch = 8, .mipCount = 2, .pixelFlags = 0x40,
            .bits = 16, .masks = {0xF800, 0x07E0, 0x001F, 0}, .caps = kMipCaps, .data = PatternBytes(32 + 8, 6)};
  ASSERT_EQ(Decode(WriteDds(f)), 0);
  EXPECT_EQ(image_.pitch, 8u);
  EXPECT_EQ(GetBaseImageDataSize(&image_), 40u);

  // Levels smaller than 8 bytes: the file stores them as they are (16, 4,
  // 1 and 0 bytes), the record counts each as 8; every byte it counts is in
  // the block, the ones the file lacks zero.
  f.width = 4;
  f.height = 2;
  f.mipCount = 4;
  f.data = PatternBytes(16 + 4 + 1, 7);
  ASSERT_EQ(Decode(WriteDds(f)), 0);
  const std::uint32_t counted = GetBaseImageDataSize(&image_);
  EXPECT_EQ(counted, 16u + 8 + 8 + 8);
  EXPECT_TRUE(std::equal(f.data.begin(), f.data.end(), image_.pixels));
  EXPECT_EQ(image_.pixels[counted - 1], 0);
}

TEST_F(DdsDecoder, RefusesLyingHeadersAndTruncatedFiles) {
  const DdsFile dxt{.width = 8, .height = 4, .fourCc = FourCc("DXT1"), .data = PatternBytes(16, 3)};
  const DdsFile rgb{.width = 2, .height = 2, .pixelFlags = 0x40, .bits = 32, .masks = {0xFF0000, 0, 0, 0},
                    .data = PatternBytes(16, 4)};
  auto with = [](DdsFile f, auto change) {
    change(f);
    return WriteDds(f);
  };
  Bytes badMagic = WriteDds(dxt);
  badMagic[2] = 'X';
  const std::vector<std::pair<std::string, Bytes>> cases = {
      {"magic", badMagic},
      {"unknown FourCC", with(dxt, [](DdsFile& f) { f.fourCc = FourCc("DXT6"); })},
      {"number with other flags", with(rgb, [](DdsFile& f) { f.pixelFlags = 0x5; f.fourCc = 21; })},
      {"no format flags", with(rgb, [](DdsFile& f) { f.pixelFlags = 0; })},
      {"width 0", with(dxt, [](DdsFile& f) { f.width = 0; })},
      {"height 40000", with(dxt, [](DdsFile& f) { f.height = 40000; })},
      {"width 32769", with(dxt, [](DdsFile& f) { f.width = 32769; f.data = PatternBytes(65536, 3); })},
      {"height 32769", with(dxt, [](DdsFile& f) { f.width = 4; f.height = 32769; f.data = PatternBytes(65536, 3); })},
      {"DXT6 with data for 16-byte blocks",
       with(dxt, [](DdsFile& f) { f.fourCc = FourCc("DXT6"); f.data = PatternBytes(32, 3); })},
      {"33 levels", with(dxt, [](DdsFile& f) {
         f.width = f.height = 4;
         f.flags = kMipFlags;
         f.caps = kMipCaps;
         f.mipCount = 33;
         f.data = PatternBytes(33 * 8, 3);
       })},
      {"DXT size past the data", with(dxt, [](DdsFile& f) { f.width = 12; })},
      {"largest DXT size", with(dxt, [](DdsFile& f) { f.width = f.height = 32768; f.fourCc = FourCc("DXT5"); })},
      {"levels past the data", with(dxt, [](DdsFile& f) { f.flags = kMipFlags; f.caps = kMipCaps; f.mipCount = 2; })},
      {"absurd level count",
       with(dxt, [](DdsFile& f) { f.flags = kMipFlags; f.caps = kMipCaps; f.mipCount = 0xFFFFFFFFu; })},
      {"pitch below the row", with(rgb, [](DdsFile& f) { f.flags |= 0x8; f.pitch = 7; })},
      {"pitch near 4 GiB", with(rgb, [](DdsFile& f) { f.flags |= 0x8; f.pitch = 0xFFFFFFF0u; })},
      {"bit count 7", with(rgb, [](DdsFile& f) { f.bits = 7; })},
      {"bit count 0", with(rgb, [](DdsFile& f) { f.bits = 0; })},
  };
  ExpectRefused(DecodeDdsImage, cases);
  ExpectPrefixesRefused(DecodeDdsImage, {WriteDds(dxt), WriteDds(rgb)});
}

}  // namespace
}  // namespace qz
