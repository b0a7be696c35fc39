// Bitmap and raw BGRA decoding on files written here from the formats'
// definitions: every stored kind against the pixels that were encoded, the
// RLE codes, and refusal of lying or truncated files without leaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/log_text.h"
#include "core/memory.h"
#include "image/image_decode.h"
#include "image/decoded_image_test.h"
#include "image/png_jpeg_writer.h"
#include "support/scratch_log.h"

namespace qz {
namespace {

using testing::Bytes;
using testing::PatternBytes;
using testing::PutU32;

struct BmpFile {
  std::int32_t width = 1;
  std::int32_t height = 1;  // negative: rows from the top
  int bits = 24;
  std::uint32_t compression = 0;
  Bytes palette;            // as stored: blue, green, red, reserved
  std::vector<std::uint32_t> masks;
  Bytes data;
};

Bytes WriteBmp(const BmpFile& f) {
  const std::size_t offset = 54 + f.masks.size() * 4 + f.palette.size();
  Bytes out(offset);
  out[0] = 'B';
  out[1] = 'M';
  PutU32(&out, 2, static_cast<std::uint32_t>(offset + f.data.size()));
  PutU32(&out, 10, static_cast<std::uint32_t>(offset));
  PutU32(&out, 14, 40);
  PutU32(&out, 18, static_cast<std::uint32_t>(f.width));
  PutU32(&out, 22, static_cast<std::uint32_t>(f.height));
  PutU32(&out, 26, 1 | static_cast<std::uint32_t>(f.bits) << 16);
  PutU32(&out, 30, f.compression);
  PutU32(&out, 46, static_cast<std::uint32_t>(f.palette.size() / 4));
  for (std::size_t i = 0; i < f.masks.size(); ++i) PutU32(&out, 54 + i * 4, f.masks[i]);
  std::copy(f.palette.begin(), f.palette.end(), out.begin() + 54 + static_cast<std::ptrdiff_t>(f.masks.size() * 4));
  out.insert(out.end(), f.data.begin(), f.data.end());
  return out;
}

// Stores image rows (top first, `rowBytes` each) as the file would: rows
// padded to four bytes, bottom row first unless the height is negative.
Bytes StoreRows(const Bytes& rows, std::size_t rowBytes, int height) {
  const std::size_t stride = (rowBytes + 3) & ~std::size_t{3};
  const std::size_t count = static_cast<std::size_t>(height < 0 ? -height : height);
  Bytes out(stride * count);
  for (std::size_t r = 0; r < count; ++r) {
    const std::size_t imageRow = height > 0 ? count - 1 - r : r;
    std::copy_n(rows.begin() + static_cast<std::ptrdiff_t>(imageRow * rowBytes), rowBytes,
                out.begin() + static_cast<std::ptrdiff_t>(r * stride));
  }
  return out;
}

// Bit replication, the rule the converter documents for narrow fields.
std::uint8_t Widen(std::uint32_t v, int width) {
  std::uint32_t out = 0;
  for (int pos = 8 - width; pos > -width; pos -= width) out |= pos >= 0 ? v << pos : v >> -pos;
  return static_cast<std::uint8_t>(out);
}

class BmpDecoder : public testing::DecodedImageTest {
 protected:
  int Decode(const Bytes& bytes) { return DecodeWith(DecodeBmpImage, bytes); }
  const std::uint8_t* Pixel(int x, int y, int bytesPerPixel) const {
    return image_.pixels + static_cast<std::size_t>(y) * image_.pitch + static_cast<std::size_t>(x) * bytesPerPixel;
  }
};

TEST_F(BmpDecoder, StoredDepthsKeepTheEncodedPixelsInBothRowOrders) {
  for (int height : {3, -3, 1}) {
    const int width = 5;
    const std::size_t rows = static_cast<std::size_t>(height < 0 ? -height : height);
    for (int bits : {8, 24, 32}) {
      SCOPED_TRACE(::testing::Message() << bits << " bits, height " << height);
      const std::size_t rowBytes = static_cast<std::size_t>(width * bits / 8);
      Bytes pixels = PatternBytes(rowBytes * rows, static_cast<unsigned>(bits + height));
      if (bits == 32) pixels[3] = 0;  // a fourth byte of 0 is a transparent pixel
      BmpFile f{width, height, bits, 0, {}, {}, StoreRows(pixels, rowBytes, height)};
      if (bits == 8) f.palette = PatternBytes(1024, 7);
      ASSERT_EQ(Decode(WriteBmp(f)), 0);
      EXPECT_EQ(image_.width, 5u);
      EXPECT_EQ(image_.height, rows);
      EXPECT_EQ(image_.pitch, (rowBytes + 3) & ~std::size_t{3});
      EXPECT_EQ(image_.format.bytesPerPixel, bits / 8);
      EXPECT_EQ(image_.format.alphaMask, bits == 32 ? 0xFF000000u : 0u);
      for (std::size_t y = 0; y < rows; ++y) {
        for (std::size_t i = 0; i < rowBytes; ++i) {
          ASSERT_EQ(image_.pixels[y * image_.pitch + i], pixels[y * rowBytes + i]) << y << "," << i;
        }
      }
      if (bits == 8) {
        EXPECT_EQ(image_.format.palette[200].blue, f.palette[800]);
        EXPECT_EQ(image_.format.palette[255].red, f.palette[1022]);
        EXPECT_EQ(image_.format.palette[255].alpha, 0);
      }
    }
  }
}

TEST_F(BmpDecoder, FourBitsExpandToOneIndexPerPixelHighNibbleFirst) {
  // 5 x 2, bottom-up: the file's first row is image row 1.
  BmpFile f{5, 2, 4, 0, PatternBytes(64, 3), {}, {0x01, 0x23, 0x40, 0, 0x56, 0x78, 0x90, 0}};
  ASSERT_EQ(Decode(WriteBmp(f)), 0);
  EXPECT_EQ(image_.pitch, 8u);
  EXPECT_EQ(image_.format.bytesPerPixel, 1);
  const std::uint8_t expected[2][5] = {{5, 6, 7, 8, 9}, {0, 1, 2, 3, 4}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(*Pixel(x, y, 1), expected[y][x]) << x << "," << y;
  }
  EXPECT_EQ(image_.format.palette[15].green, f.palette[61]);

  // At a width of 4 the row's padding byte (0xF0 here) is no pixel.
  f = BmpFile{4, 2, 4, 0, PatternBytes(64, 3), {}, {0x12, 0x34, 0, 0, 0x56, 0x78, 0xF0, 0}};
  ASSERT_EQ(Decode(WriteBmp(f)), 0);
  EXPECT_EQ(*Pixel(0, 1, 1), 1);
  EXPECT_EQ(*Pixel(3, 0, 1), 8);
}

TEST_F(BmpDecoder, PaletteIsTwoToTheBitsWhateverTheUsedCountSays) {
  // Two stored entries and a used count of 2: the pixels still index the
  // first two, and a file ending inside the nominal 256 entries is fine.
  BmpFile f{3, 1, 8, 0, {1, 2, 3, 0, 4, 5, 6, 0}, {}, {1, 0, 1, 0}};
  Bytes bytes = WriteBmp(f);
  ASSERT_EQ(Decode(bytes), 0);
  EXPECT_EQ(image_.format.palette[1].red, 6);
  EXPECT_EQ(image_.format.palette[0].blue, 1);
  EXPECT_EQ(*Pixel(0, 0, 1), 1);
  EXPECT_EQ(*Pixel(1, 0, 1), 0);
  // A used count of 0 with the full table stored.
  f.palette = PatternBytes(1024, 9);
  bytes = WriteBmp(f);
  PutU32(&bytes, 46, 0);
  ASSERT_EQ(Decode(bytes), 0);
  EXPECT_EQ(image_.format.palette[255].green, f.palette[1021]);
  // The short table again, right after the full one: its missing entries are
  // zero, not the last file's.
  f.palette = {1, 2, 3, 0, 4, 5, 6, 0};
  ASSERT_EQ(Decode(WriteBmp(f)), 0);
  EXPECT_EQ(image_.format.palette[255].blue | image_.format.palette[255].green | image_.format.palette[255].red, 0);
}

TEST_F(BmpDecoder, SidesOfOneAndOfTheLargestAndAFileOfOnlyHeaders) {
  for (auto [width, height] : {std::pair{1, 1}, std::pair{1, -1}, std::pair{32768, 1}, std::pair{1, 32768},
                               std::pair{2, -32768}}) {
    SCOPED_TRACE(::testing::Message() << width << " x " << height);
    const std::size_t rows = static_cast<std::size_t>(height < 0 ? -height : height);
    const std::size_t stride = (static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
    ASSERT_EQ(Decode(WriteBmp({width, height, 8, 0, {}, {}, Bytes(stride * rows, 0x5A)})), 0);
    EXPECT_EQ(image_.width, static_cast<std::uint32_t>(width));
    EXPECT_EQ(image_.height, rows);
    EXPECT_EQ(*Pixel(width - 1, static_cast<int>(rows) - 1, 1), 0x5A);
  }
  // 54 bytes in all, the offset pointing back at the last four header bytes:
  // they are the one pixel.
  Bytes bytes = WriteBmp({1, 1, 24, 0, {}, {}, {}});
  PutU32(&bytes, 10, 50);
  PutU32(&bytes, 50, 0x332211);
  ASSERT_EQ(Decode(bytes), 0);
  EXPECT_EQ(Pixel(0, 0, 3)[0], 0x11);
  EXPECT_EQ(Pixel(0, 0, 3)[2], 0x33);
}

TEST_F(BmpDecoder, Rle8RunsAbsoluteRunsDeltaEndOfLineAndEarlyEnd) {
  // 6 x 4 bottom-up. File row 0 (image row 3): run of 3 x 7, absolute run of
  // three (padded), end of line. File row 1: delta (2, 1) to file row 2
  // column 2, run of 9 x 5 that passes the edge, end of line. File row 3:
  // run 1 x 8 then end of bitmap.
  const Bytes data = {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 9, 5, 0, 0, 1, 8, 0, 1};
  BmpFile f{6, 4, 8, 1, PatternBytes(1024, 1), {}, data};
  ASSERT_EQ(Decode(WriteBmp(f)), 0);
  EXPECT_EQ(image_.pitch, 8u);
  const std::uint8_t expected[4][6] = {
      {8, 0, 0, 0, 0, 0}, {0, 0, 5, 5, 5, 5}, {0, 0, 0, 0, 0, 0}, {7, 7, 7, 1, 2, 3}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) EXPECT_EQ(*Pixel(x, y, 1), expected[y][x]) << x << "," << y;
  }

  // End of bitmap after the first row: the rest stays index 0.
  f.data = {4, 9, 0, 1};
  ASSERT_EQ(Decode(WriteBmp(f)), 0);
  EXPECT_EQ(*Pixel(3, 3, 1), 9);
  EXPECT_EQ(*Pixel(4, 3, 1), 0);
  EXPECT_EQ(*Pixel(0, 0, 1), 0);

  // Deltas and absolute runs that leave the image are dropped, not written.
  f.data = {0, 2, 250, 0, 0, 5, 1, 2, 3, 4, 5, 0, 0, 2, 0, 0, 200, 6, 0, 0, 2, 6, 0, 2, 0, 9, 0, 1};
  f.width = 3;
  ASSERT_EQ(Decode(WriteBmp(f)), 0);
  EXPECT_EQ(*Pixel(0, 3, 1), 0);
  EXPECT_EQ(*Pixel(1, 2, 1), 6);
  EXPECT_EQ(*Pixel(2, 2, 1), 0);

  // At a width of 4 rows have no padding: a run past the edge must not reach
  // the next row. The codes may stop at the last row's end of line, or at a
  // delta past the last row, without an end of bitmap.
  f.width = 4;
  f.height = 2;
  for (const Bytes& data : {Bytes{4, 1, 0, 0, 5, 2, 0, 0}, Bytes{4, 1, 0, 0, 5, 2, 0, 2, 0, 1}}) {
    f.data = data;
    ASSERT_EQ(Decode(WriteBmp(f)), 0);
    EXPECT_EQ(image_.format.bytesPerPixel, 1);
    EXPECT_EQ(*Pixel(0, 1, 1), 1);
    EXPECT_EQ(*Pixel(3, 0, 1), 2);
  }
}

// Rows of full runs: what an encoder writes for a picture with little detail.
Bytes RunRows(int width, int height, std::uint8_t index) {
  Bytes data;
  for (int row = 0; row < height; ++row) {
    for (int left = width; left > 0; left -= 255) {
      data.insert(data.end(), {static_cast<std::uint8_t>(std::min(left, 255)), index});
    }
    data.insert(data.end(), {0, 0});
  }
  data.insert(data.end(), {0, 1});
  return data;
}

TEST_F(BmpDecoder, RunLengthPicturesAreLimitedByTheirCodesAndTheLargestImage) {
  // Larger than any file may claim for free, and covered by its codes.
  BmpFile f{3000, 2000, 8, 1, PatternBytes(1024, 5), {}, RunRows(3000, 2000, 7)};
  ASSERT_EQ(Decode(WriteBmp(f)), 0);
  EXPECT_EQ(*Pixel(2999, 1999, 1), 7);
  // Codes for every pixel, but more pixels than 8192 x 8192 at 32 bits.
  f.width = 16385;
  f.height = 16384;
  f.data = RunRows(16385, 16384, 7);
  EXPECT_EQ(Decode(WriteBmp(f)), -1);
}

TEST_F(BmpDecoder, Rle4AlternatesNibblesAndPadsAbsoluteRuns) {
  // 5 x 2 top-down: run of 5 from 0x12, end of line; absolute run of 3
  // nibbles (two bytes, no pad needed), delta (1, 0), run of 1, end of bitmap.
  const Bytes data = {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 2, 1, 0, 1, 0x90, 0, 1};
  BmpFile f{5, -2, 4, 2, PatternBytes(64, 2), {}, data};
  ASSERT_EQ(Decode(WriteBmp(f)), 0);
  EXPECT_EQ(image_.pitch, 8u);
  const std::uint8_t expected[2][5] = {{1, 2, 1, 2, 1}, {3, 4, 5, 0, 9}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(*Pixel(x, y, 1), expected[y][x]) << x << "," << y;
  }
  EXPECT_EQ(image_.format.palette[9].red, f.palette[38]);
}

TEST_F(BmpDecoder, ConverterKindsBecomeTopDownRgb24) {
  // 1 bit through the palette, 13 pixels wide (two bytes and a bit).
  {
    BmpFile f{13, 2, 1, 0, {0, 0, 0, 0, 11, 22, 33, 0}, {}, {}};
    const Bytes rows = {0xA5, 0xF0, 0x80, 0x00, 0x81, 0x00, 0x00, 0x00};
    f.data = rows;
    ASSERT_EQ(Decode(WriteBmp(f)), 0);
    EXPECT_EQ(image_.format.bytesPerPixel, 3);
    EXPECT_EQ(image_.pitch, 40u);
    for (int x = 0; x < 13; ++x) {
      const int fileRow0 = (rows[static_cast<std::size_t>(x / 8)] >> (7 - x % 8)) & 1;
      const int fileRow1 = (rows[4 + static_cast<std::size_t>(x / 8)] >> (7 - x % 8)) & 1;
      EXPECT_EQ(Pixel(x, 1, 3)[2], fileRow0 ? 33 : 0) << x;
      EXPECT_EQ(Pixel(x, 0, 3)[1], fileRow1 ? 22 : 0) << x;
    }
    // At a width of 4 the output rows have no padding: bit 4 of a row is no
    // pixel, and must not reach the next row.
    f = BmpFile{4, 2, 1, 0, {0, 0, 0, 0, 11, 22, 33, 0}, {}, {0x00, 0, 0, 0, 0x18, 0, 0, 0}};
    ASSERT_EQ(Decode(WriteBmp(f)), 0);
    EXPECT_EQ(Pixel(0, 1, 3)[2], 0);
    EXPECT_EQ(Pixel(3, 0, 3)[0], 11);
  }
  // 16 bits stored as X1R5G5B5, plain and with 5-6-5 or odd 32-bit fields.
  struct Case {
    int bits;
    std::uint32_t compression;
    std::vector<std::uint32_t> masks;
  };
  const Case cases[] = {{16, 0, {}},
                        {16, 3, {0xF800, 0x07E0, 0x001F}},
                        {32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF}},
                        {32, 3, {0x000000F0, 0x00000700, 0x80000000}},
                        // 7 bits, no field at all, and the lowest bit alone.
                        {16, 3, {0xFE00, 0, 0x0001}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.bits << " bits, compression " << c.compression);
    const int width = 3;
    const Bytes raw = PatternBytes(static_cast<std::size_t>(width * c.bits / 8 * 2), 11);
    BmpFile f{width, -2, c.bits, c.compression, {}, c.masks, StoreRows(raw, width * c.bits / 8, -2)};
    const std::vector<std::uint32_t> masks = c.masks.empty() ? std::vector<std::uint32_t>{0x7C00, 0x3E0, 0x1F} : c.masks;
    ASSERT_EQ(Decode(WriteBmp(f)), 0);
    EXPECT_EQ(image_.format.bitDepth, 24);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = raw.data() + (y * width + x) * (c.bits / 8);
        std::uint32_t value = p[0] | p[1] << 8;
        if (c.bits == 32) value |= std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
        for (int channel = 0; channel < 3; ++channel) {
          const std::uint32_t mask = masks[static_cast<std::size_t>(2 - channel)];
          if (mask == 0) {
            EXPECT_EQ(Pixel(x, y, 3)[channel], 0) << x << "," << y << " channel " << channel;
            continue;
          }
          const int shift = __builtin_ctz(mask);
          const int width8 = 32 - __builtin_clz(mask >> shift);
          const std::uint32_t field = (value & mask) >> shift;
          const std::uint8_t want = width8 >= 8 ? static_cast<std::uint8_t>(field >> (width8 - 8)) : Widen(field, width8);
          EXPECT_EQ(Pixel(x, y, 3)[channel], want) << x << "," << y << " channel " << channel;
        }
      }
    }
  }
  // The documented widening: 5-bit 31 is 255, 5-bit 16 is 132.
  EXPECT_EQ(Widen(31, 5), 255);
  EXPECT_EQ(Widen(16, 5), 132);
}

TEST_F(BmpDecoder, RefusesLyingHeadersAndTruncatedFiles) {
  const BmpFile good24{3, 2, 24, 0, {}, {}, Bytes(24, 0x44)};
  const BmpFile goodRle{4, 2, 8, 1, Bytes(1024, 1), {}, {4, 1, 0, 0, 4, 2, 0, 1}};
  auto with = [](BmpFile f, auto change) {
    change(f);
    return WriteBmp(f);
  };
  Bytes offsetPastEnd = WriteBmp(good24);
  PutU32(&offsetPastEnd, 10, static_cast<std::uint32_t>(offsetPastEnd.size() + 1));
  Bytes hugeOffset = WriteBmp(good24);
  PutU32(&hugeOffset, 10, 0xFFFFFFF0u);
  Bytes notBm = WriteBmp(good24);
  notBm[1] = 'A';
  const std::vector<std::pair<std::string, Bytes>> cases = {
      {"not BM", notBm},
      {"width 0", with(good24, [](BmpFile& f) { f.width = 0; })},
      {"negative width", with(good24, [](BmpFile& f) { f.width = -3; })},
      {"height 0", with(good24, [](BmpFile& f) { f.height = 0; })},
      {"width 40000", with(good24, [](BmpFile& f) { f.width = 40000; })},
      {"width 32769", with(good24, [](BmpFile& f) { f.width = 32769; f.height = 1; })},
      {"height -32769", with(good24, [](BmpFile& f) { f.width = 1; f.height = -32769; })},
      {"most negative height", with(good24, [](BmpFile& f) { f.height = INT32_MIN; })},
      {"32768 square at 32 bits", with(good24, [](BmpFile& f) { f.width = f.height = 32768; f.bits = 32; })},
      {"offset past the end", offsetPastEnd},
      {"offset near 4 GiB", hugeOffset},
      {"rows short by a byte", with(good24, [](BmpFile& f) { f.data.pop_back(); })},
      {"tall image, little data", with(good24, [](BmpFile& f) { f.height = 30000; })},
      {"converter rows short", with(good24, [](BmpFile& f) { f.bits = 16; f.data.resize(7); })},
      {"RLE without end", with(goodRle, [](BmpFile& f) { f.data.resize(4); })},
      {"RLE absolute run past the data", with(goodRle, [](BmpFile& f) { f.data = {0, 200, 1, 2}; })},
      {"RLE delta cut short", with(goodRle, [](BmpFile& f) { f.data = {0, 2, 1}; })},
      {"RLE8 at 24 bits", with(goodRle, [](BmpFile& f) { f.bits = 24; f.palette.clear(); })},
      {"RLE4 at 8 bits", with(goodRle, [](BmpFile& f) { f.compression = 2; })},
      // A 60-byte file would otherwise cost its whole claimed picture.
      {"RLE 32768 square, only the end code",
       with(goodRle, [](BmpFile& f) { f.width = f.height = 32768; f.data = {0, 1}; })},
      {"RLE 8192 square, only the end code",
       with(goodRle, [](BmpFile& f) { f.width = f.height = 8192; f.data = {0, 1}; })},
      {"RLE4 8192 square, one row of codes", with(goodRle, [](BmpFile& f) {
         f.compression = 2;
         f.bits = 4;
         f.palette.resize(64);
         f.width = f.height = 8192;
         f.data = Bytes(128, 0);  // end-of-line codes, then the end of the bitmap
         f.data.insert(f.data.end(), {0, 1});
       })},
      {"bit fields without masks", with(good24, [](BmpFile& f) { f.bits = 32; f.compression = 3; f.data.clear(); })},
  };
  ExpectRefused(DecodeBmpImage, cases);
  ExpectPrefixesRefused(DecodeBmpImage, {WriteBmp(good24), WriteBmp(goodRle),
                                         with(good24, [](BmpFile& f) { f.bits = 16; f.data.resize(16); })});
}

TEST_F(BmpDecoder, UnknownKindsAreRefusedWithTheDibLine) {
  testing::ScratchLog log;
  for (auto [bits, compression] : {std::pair{24, 3u}, std::pair{8, 4u}, std::pair{2, 0u}, std::pair{32, 6u}}) {
    BmpFile f{2, 2, bits, compression, {}, {1, 2, 4}, Bytes(64, 0)};
    EXPECT_EQ(Decode(WriteBmp(f)), -1) << bits << " bits, compression " << compression;
  }
  EXPECT_TRUE(log.Contains(text::kBmpDibCreateFailed));
}

class BgraDecoder : public BmpDecoder {
 protected:
  static Bytes WriteBgra(std::uint32_t channels, std::uint32_t width, std::uint32_t height, const Bytes& pixels) {
    Bytes out(16);
    out[0] = 'B';
    out[1] = 'G';
    out[2] = 'R';
    out[3] = 'A';
    PutU32(&out, 4, channels);
    PutU32(&out, 8, width);
    PutU32(&out, 12, height);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  }
  int DecodeBgra(const Bytes& bytes) { return DecodeWith(DecodeBgraImage, bytes); }
};

TEST_F(BgraDecoder, EightAndSixteenBitChannelsGiveArgb8) {
  const Bytes pixels = PatternBytes(3 * 2 * 4, 5);
  ASSERT_EQ(DecodeBgra(WriteBgra(0x08080808, 3, 2, pixels)), 0);
  EXPECT_EQ(image_.width, 3u);
  EXPECT_EQ(image_.height, 2u);
  EXPECT_EQ(image_.pitch, 12u);
  EXPECT_EQ(image_.format.alphaMask, 0xFF000000u);
  EXPECT_EQ(image_.format.unusedMask, 0u);
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), image_.pixels));

  // 16 bits per channel keep each high byte.
  Bytes wide = {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A, 0xF0, 0xDE, 1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(DecodeBgra(WriteBgra(0x10101010, 2, 1, wide)), 0);
  std::uint32_t first;
  std::memcpy(&first, image_.pixels, 4);
  EXPECT_EQ(first, 0xDE9A5612u);
  EXPECT_EQ(image_.pixels[4], 2);
  EXPECT_EQ(image_.pixels[7], 8);
}

TEST_F(BgraDecoder, RefusesOtherFilesAndLyingSizes) {
  const Bytes pixels(2 * 2 * 4, 9);
  Bytes wrongMagic = WriteBgra(0x08080808, 2, 2, pixels);
  wrongMagic[3] = 'B';
  ExpectRefused(DecodeBgraImage, {{"magic", wrongMagic},
                                  {"16-bit alpha", WriteBgra(0x08080810, 2, 2, pixels)},
                                  {"width 0", WriteBgra(0x08080808, 0, 2, pixels)},
                                  {"height 0", WriteBgra(0x08080808, 2, 0, pixels)},
                                  {"4 GiB square", WriteBgra(0x08080808, 0xFFFFFFFFu, 0xFFFFFFFFu, pixels)},
                                  {"32768 square", WriteBgra(0x08080808, 32768, 32768, pixels)},
                                  {"a row short", WriteBgra(0x08080808, 2, 3, pixels)},
                                  {"16-bit channels short", WriteBgra(0x10101010, 2, 2, pixels)}});
  ExpectPrefixesRefused(DecodeBgraImage, {WriteBgra(0x08080808, 2, 2, pixels)});
}

}  // namespace
}  // namespace qz
