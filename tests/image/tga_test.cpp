// TGA decoding on files written here from the format's definition: raw and
// run-length, true-colour and colour-mapped, every orientation, with and
// without the footer, and refusal of lying or truncated files without leaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/memory.h"
#include "image/image_decode.h"
#include "image/decoded_image_test.h"
#include "image/png_jpeg_writer.h"

namespace qz {
namespace {

using testing::Bytes;

struct TgaFile {
  int type = 2;
  int bits = 24;            // pixel depth; 8 for colour-mapped files
  int width = 1;
  int height = 1;
  int descriptor = 0x20;    // bit 5 top-down, bit 4 right to left
  int mapFirst = 0;
  int mapEntryBits = 0;
  Bytes map{};              // stored entries
  Bytes values{};           // pixels or indices in stored order
  bool footer = false;
  int originX = 0;
};

std::size_t Unit(const TgaFile& f) { return static_cast<std::size_t>(f.bits / 8); }

// Greedy packets over the whole value sequence, so runs cross rows.
Bytes EncodeRunLength(const Bytes& values, std::size_t unit) {
  Bytes out;
  const std::size_t count = values.size() / unit;
  auto same = [&](std::size_t a, std::size_t b) {
    return std::memcmp(values.data() + a * unit, values.data() + b * unit, unit) == 0;
  };
  std::size_t i = 0;
  while (i < count) {
    std::size_t run = 1;
    while (i + run < count && run < 128 && same(i, i + run)) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
      out.insert(out.end(), values.begin() + static_cast<std::ptrdiff_t>(i * unit),
                 values.begin() + static_cast<std::ptrdiff_t>((i + 1) * unit));
      i += run;
      continue;
    }
    std::size_t n = 1;
    while (i + n < count && n < 128 && !(i + n + 1 < count && same(i + n, i + n + 1))) ++n;
    out.push_back(static_cast<std::uint8_t>(n - 1));
    out.insert(out.end(), values.begin() + static_cast<std::ptrdiff_t>(i * unit),
               values.begin() + static_cast<std::ptrdiff_t>((i + n) * unit));
    i += n;
  }
  return out;
}

Bytes Footer() {
  const char signature[] = "TRUEVISION-XFILE.";
  Bytes out(8 + sizeof(signature), 0);
  std::copy(signature, signature + sizeof(signature), out.begin() + 8);  // with the closing NUL
  return out;
}

Bytes WriteTga(const TgaFile& f) {
  const bool mapped = f.type == 1 || f.type == 9;
  const int entryBytes = f.mapEntryBits / 8;
  const int mapLength = entryBytes == 0 ? 0 : static_cast<int>(f.map.size()) / entryBytes;
  Bytes out = {0,
               static_cast<std::uint8_t>(mapped ? 1 : 0),
               static_cast<std::uint8_t>(f.type),
               static_cast<std::uint8_t>(f.mapFirst),
               static_cast<std::uint8_t>(f.mapFirst >> 8),
               static_cast<std::uint8_t>(mapLength),
               static_cast<std::uint8_t>(mapLength >> 8),
               static_cast<std::uint8_t>(f.mapEntryBits),
               static_cast<std::uint8_t>(f.originX),
               0,
               0,
               0,
               static_cast<std::uint8_t>(f.width),
               static_cast<std::uint8_t>(f.width >> 8),
               static_cast<std::uint8_t>(f.height),
               static_cast<std::uint8_t>(f.height >> 8),
               static_cast<std::uint8_t>(f.bits),
               static_cast<std::uint8_t>(f.descriptor)};
  out.insert(out.end(), f.map.begin(), f.map.end());
  const Bytes data = f.type >= 9 ? EncodeRunLength(f.values, Unit(f)) : f.values;
  out.insert(out.end(), data.begin(), data.end());
  if (f.footer) {
    const Bytes footer = Footer();
    out.insert(out.end(), footer.begin(), footer.end());
  }
  return out;
}

// Values drawn from a few choices, so that runs are frequent.
Bytes FewValues(std::size_t count, std::size_t unit, unsigned seed) {
  std::mt19937 random(seed);
  Bytes choices(unit * 3);
  for (auto& b : choices) b = static_cast<std::uint8_t>(random());
  Bytes out;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t pick = random() % 3;
    out.insert(out.end(), choices.begin() + static_cast<std::ptrdiff_t>(pick * unit),
               choices.begin() + static_cast<std::ptrdiff_t>((pick + 1) * unit));
  }
  return out;
}

class TgaDecoder : public testing::DecodedImageTest {
 protected:
  int Decode(const Bytes& bytes) { return DecodeWith(DecodeTgaImage, bytes); }
  // The decoded image against the stored values read in the file's order.
  void ExpectStoredOrder(const TgaFile& f) {
    const bool mapped = f.type == 1 || f.type == 9;
    const std::size_t out = static_cast<std::size_t>((mapped ? f.mapEntryBits : f.bits) / 8);
    ASSERT_EQ(image_.width, static_cast<std::uint32_t>(f.width));
    ASSERT_EQ(image_.height, static_cast<std::uint32_t>(f.height));
    ASSERT_EQ(image_.pitch, f.width * out);
    ASSERT_EQ(image_.format.bytesPerPixel, out);
    for (int y = 0; y < f.height; ++y) {
      for (int x = 0; x < f.width; ++x) {
        const int row = (f.descriptor & 0x20) ? y : f.height - 1 - y;
        const int column = (f.descriptor & 0x10) ? f.width - 1 - x : x;
        const std::size_t stored = static_cast<std::size_t>(row * f.width + column);
        Bytes want(out, 0);
        if (!mapped) {
          std::memcpy(want.data(), f.values.data() + stored * out, out);
        } else {
          const int entry = f.values[stored] - f.mapFirst;
          if (entry >= 0 && static_cast<std::size_t>(entry + 1) * out <= f.map.size()) {
            std::memcpy(want.data(), f.map.data() + static_cast<std::size_t>(entry) * out, out);
          }
        }
        ASSERT_EQ(0, std::memcmp(image_.pixels + static_cast<std::size_t>(y) * image_.pitch + x * out, want.data(), out))
            << x << "," << y;
      }
    }
  }
};

TEST_F(TgaDecoder, TrueColourInEveryOrientationWithAndWithoutFooter) {
  for (int type : {2, 10}) {
    for (int bits : {16, 24, 32}) {
      for (int descriptor : {0x00, 0x10, 0x20, 0x30}) {
        for (bool footer : {false, true}) {
          SCOPED_TRACE(::testing::Message() << "type " << type << ", " << bits << " bits, descriptor " << descriptor
                                            << (footer ? ", footer" : ""));
          TgaFile f{.type = type, .bits = bits, .width = 5, .height = 3,
                    .descriptor = descriptor | (bits == 32 ? 8 : 0), .footer = footer};
          f.values = FewValues(15, Unit(f), static_cast<unsigned>(bits + descriptor));
          ASSERT_EQ(Decode(WriteTga(f)), 0);
          ExpectStoredOrder(f);
          EXPECT_EQ(image_.format.alphaMask, bits == 32 ? 0xFF000000u : 0u);
          if (bits == 16) {
            EXPECT_EQ(image_.format.redMask, 0x7C00u);
            EXPECT_EQ(image_.format.greenMask, 0x03E0u);
            EXPECT_EQ(image_.format.unusedMask, 0x8000u);
          }
        }
      }
    }
  }
}

TEST_F(TgaDecoder, SidesFromOnePixelToTheLargest) {
  for (const auto& [width, height] : {std::pair{1, 1}, std::pair{8192, 1}, std::pair{1, 8192}}) {
    SCOPED_TRACE(::testing::Message() << width << " x " << height);
    TgaFile f{.type = 2, .bits = 16, .width = width, .height = height};
    f.values = FewValues(static_cast<std::size_t>(width * height), 2, 7);
    ASSERT_EQ(Decode(WriteTga(f)), 0);
    ExpectStoredOrder(f);
  }
}

TEST_F(TgaDecoder, ColourMappedFilesLookUpTheirMap) {
  for (int type : {1, 9}) {
    for (int entryBits : {16, 24, 32}) {
      SCOPED_TRACE(::testing::Message() << "type " << type << ", " << entryBits << "-bit map");
      TgaFile f{.type = type, .bits = 8, .width = 6, .height = 4, .descriptor = 0, .mapFirst = 3,
                .mapEntryBits = entryBits};
      std::mt19937 random(static_cast<unsigned>(entryBits));
      f.map.resize(static_cast<std::size_t>(10 * entryBits / 8));
      for (auto& b : f.map) b = static_cast<std::uint8_t>(random());
      // Indices below the first stored entry and past the last read as zero.
      for (int i = 0; i < 24; ++i) f.values.push_back(static_cast<std::uint8_t>(i < 20 ? 3 + (i * 7) % 10 : i * 11));
      f.values[5] = 1;
      ASSERT_EQ(Decode(WriteTga(f)), 0);
      ExpectStoredOrder(f);
    }
  }
}

TEST_F(TgaDecoder, BuiltInTexturesDecode) {
  // 8 x 8 opaque white at 32 bits and the 256 x 8 four-step grey ramp at 24
  // bits, one packet per row, with the footer: 84 and 172 bytes.
  const TgaFile white{
      .type = 10, .bits = 32, .width = 8, .height = 8, .values = Bytes(8 * 8 * 4, 0xFF), .footer = true};
  Bytes whiteBytes = WriteTga(white);
  // The greedy encoder would make one 64-pixel run; the stored files use a packet per row.
  whiteBytes.resize(18);
  for (int row = 0; row < 8; ++row) whiteBytes.insert(whiteBytes.end(), {0x87, 0xFF, 0xFF, 0xFF, 0xFF});
  const Bytes footer = Footer();
  whiteBytes.insert(whiteBytes.end(), footer.begin(), footer.end());
  ASSERT_EQ(whiteBytes.size(), 84u);
  ASSERT_EQ(Decode(whiteBytes), 0);
  for (std::size_t i = 0; i < 8 * 8 * 4; ++i) ASSERT_EQ(image_.pixels[i], 0xFF) << i;

  TgaFile ramp{.type = 10, .width = 256, .height = 8, .footer = true};
  for (int row = 0; row < 8; ++row) {
    for (int x = 0; x < 256; ++x) ramp.values.insert(ramp.values.end(), 3, static_cast<std::uint8_t>(x / 64 * 0x55));
  }
  const Bytes rampBytes = WriteTga(ramp);
  ASSERT_EQ(rampBytes.size(), 172u);
  ASSERT_EQ(Decode(rampBytes), 0);
  ExpectStoredOrder(ramp);
  EXPECT_EQ(image_.pixels[7 * image_.pitch + 130 * 3], 0xAA);
}

TEST_F(TgaDecoder, FooterEndsTheRunLengthData) {
  // One byte short of the last raw packet, followed by the footer: the
  // footer's bytes must not be taken for pixels.
  const TgaFile f{.type = 10, .width = 4, .height = 1, .values = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}};
  Bytes bytes = WriteTga(f);
  bytes.pop_back();
  const Bytes footer = Footer();
  bytes.insert(bytes.end(), footer.begin(), footer.end());
  EXPECT_EQ(Decode(bytes), -1);
  // Without the signature the same bytes are plain data and decode.
  bytes[bytes.size() - 10] = 'x';
  EXPECT_EQ(Decode(bytes), 0);
}

TEST_F(TgaDecoder, RefusesOtherKindsLyingHeadersAndTruncatedFiles) {
  const TgaFile good{.type = 2, .width = 3, .height = 2, .values = FewValues(6, 3, 1)};
  TgaFile goodRle = good;
  goodRle.type = 10;
  const TgaFile goodMapped{.type = 9, .bits = 8, .width = 3, .height = 2, .mapEntryBits = 24, .map = Bytes(6, 0x33),
                           .values = {0, 1, 1, 1, 0, 0}};
  auto with = [](TgaFile f, auto change) {
    change(f);
    return WriteTga(f);
  };
  Bytes shortRepeat = WriteTga(goodRle);
  shortRepeat.resize(18);
  shortRepeat.insert(shortRepeat.end(), {0x85, 1, 2});  // a repeat packet missing its value's last byte
  const std::vector<std::pair<std::string, Bytes>> cases = {
      {"greyscale", with(good, [](TgaFile& f) { f.type = 3; })},
      {"type 0", with(good, [](TgaFile& f) { f.type = 0; })},
      {"type 11", with(good, [](TgaFile& f) { f.type = 11; })},
      {"x origin", with(good, [](TgaFile& f) { f.originX = 1; })},
      {"width 8193", with(good, [](TgaFile& f) { f.width = 8193; })},
      {"width 0", with(good, [](TgaFile& f) { f.width = 0; })},
      {"height 0", with(good, [](TgaFile& f) { f.height = 0; })},
      {"8-bit true colour", with(good, [](TgaFile& f) { f.bits = 8; })},
      {"8-bit map entries", with(goodMapped, [](TgaFile& f) { f.mapEntryBits = 8; })},
      {"map past entry 255", with(goodMapped, [](TgaFile& f) { f.mapFirst = 255; })},
      {"map of 600 entries", with(goodMapped, [](TgaFile& f) { f.map.resize(600 * 3); })},
      {"large image, little data", with(goodRle, [](TgaFile& f) { f.width = 8192; f.height = 8192; })},
      {"repeat packet cut short", shortRepeat},
  };
  ExpectRefused(DecodeTgaImage, cases);
  ExpectPrefixesRefused(DecodeTgaImage, {WriteTga(good), WriteTga(goodRle), WriteTga(goodMapped)});
}

}  // namespace
}  // namespace qz
