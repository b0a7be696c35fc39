// Windows bitmap decoder. Uncompressed 4, 8, 24 and 32 bits and both RLE
// kinds are read directly; 1 and 16 bits and bit-field files go through a
// small converter to top-down 24-bit rows, which stands in for the system's
// DIB drawing. Every size comes from the file, so each is checked before use.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "image/image_decode.h"
#include "image/image_limits.h"
#include "image/image_stream_io.h"

namespace qz {

namespace {

// Each two-byte code of run-length data writes at most 255 pixels.
constexpr std::int64_t kRleMaxExpansion = 128;
constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;
constexpr std::uint32_t kCompressionBitFields = 3;
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

struct BmpHeader {
  std::int64_t width;
  std::int64_t height;  // absolute
  bool bottomUp;
  int bits;
  std::uint32_t compression;
  std::uint32_t dataOffset;
  std::uint8_t palette[256 * 4];  // blue, green, red, reserved
  std::uint32_t masks[3];
};

// Bytes of one stored row: whole bytes rounded up to four.
std::int64_t StoredStride(std::int64_t width, int bits) { return ((width * bits + 7) / 8 + 3) & ~std::int64_t{3}; }

std::int64_t ImageRow(const BmpHeader& header, std::int64_t fileRow) {
  return header.bottomUp ? header.height - 1 - fileRow : fileRow;
}

int ReadHeader(ImageStream* stream, BmpHeader* header) {
  std::uint8_t fileHeader[kFileHeaderSize];
  if (ReadBytes(stream, fileHeader, sizeof(fileHeader)) != sizeof(fileHeader)) return -1;
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return -1;
  header->dataOffset = ReadU32(fileHeader + 10);

  // The information header and the first four bytes behind it (first palette
  // entry or first mask); a tiny file may end inside those four.
  std::uint8_t info[kInfoHeaderSize + 4] = {};
  if (ReadBytes(stream, info, sizeof(info)) < kInfoHeaderSize) return -1;
  header->width = static_cast<std::int32_t>(ReadU32(info + 4));
  const std::int64_t height = static_cast<std::int32_t>(ReadU32(info + 8));
  header->bottomUp = height > 0;
  header->height = height < 0 ? -height : height;
  header->bits = ReadU16(info + 14);
  header->compression = ReadU32(info + 16);
  if (header->width <= 0 || header->width > kMaxImageSide) return -1;
  if (header->height == 0 || header->height > kMaxImageSide) return -1;
  if (header->bits == 0 || header->bits > 32) return -1;

  std::memset(header->palette, 0, sizeof(header->palette));
  std::memset(header->masks, 0, sizeof(header->masks));
  if (header->bits <= 8) {
    // 2^bits entries whatever the used-colour count says; entries the file
    // does not hold stay zero.
    std::memcpy(header->palette, info + kInfoHeaderSize, 4);
    ReadBytes(stream, header->palette + 4, (std::size_t{1} << header->bits) * 4 - 4);
  } else if (header->bits == 16 || header->bits == 32 || header->compression == kCompressionBitFields) {
    std::uint8_t rest[8];
    const std::size_t got = ReadBytes(stream, rest, sizeof(rest));
    if (header->compression == kCompressionBitFields && got != sizeof(rest)) return -1;
    header->masks[0] = ReadU32(info + kInfoHeaderSize);
    header->masks[1] = ReadU32(rest);
    header->masks[2] = ReadU32(rest + 4);
  }
  return 0;
}

void SetPalette(const BmpHeader& header, int entries, PixelFormatDescriptor* desc) {
  for (int i = 0; i < entries; ++i) {
    desc->palette[i].blue = header.palette[i * 4];
    desc->palette[i].green = header.palette[i * 4 + 1];
    desc->palette[i].red = header.palette[i * 4 + 2];
    desc->palette[i].alpha = 0;
  }
}

// Expands RLE8 or RLE4 data into one byte per pixel. Writes outside the image
// are dropped; data that ends before the bitmap does gives -1.
int ExpandRle(const std::uint8_t* data, std::size_t size, bool fourBit, const BmpHeader& header,
              std::uint8_t* pixels, std::uint32_t pitch) {
  std::size_t pos = 0;
  std::int64_t x = 0;
  std::int64_t row = 0;
  auto put = [&](std::uint8_t value) {
    if (x < header.width && row < header.height) pixels[ImageRow(header, row) * pitch + x] = value;
    ++x;
  };
  while (row < header.height) {
    if (size - pos < 2) return -1;
    const std::uint8_t count = data[pos];
    const std::uint8_t value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(fourBit ? ((i & 1) ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) {
      x = 0;
      ++row;
    } else if (value == 1) {
      return 0;
    } else if (value == 2) {
      if (size - pos < 2) return -1;
      x += data[pos];
      row += data[pos + 1];
      pos += 2;
    } else {
      const std::size_t bytes = fourBit ? (value + 1u) / 2u : value;
      if (size - pos < bytes) return -1;
      for (int i = 0; i < value; ++i) {
        put(fourBit ? ((i & 1) ? data[pos + i / 2] & 15 : data[pos + i / 2] >> 4) : data[pos + i]);
      }
      pos += bytes;
      if ((pos & 1) != 0 && pos < size) ++pos;
    }
  }
  return 0;
}

int DecodeRle(ImageStream* stream, const BmpHeader& header, std::int64_t remaining, BaseImage* result) {
  const bool fourBit = header.compression == kCompressionRle4;
  if (header.bits != (fourBit ? 4 : 8)) return -1;
  const std::int64_t pitch = (header.width + 3) & ~std::int64_t{3};
  if (pitch * header.height > kMaxImageBytes) return -1;
  // The codes may end the bitmap early, but a picture far larger than its
  // codes could write is refused before its pixels are allocated.
  if (!StoredDataCanCover(header.width * header.height, remaining, kRleMaxExpansion)) return -1;
  auto* data = static_cast<std::uint8_t*>(QZ_ALLOC(static_cast<std::size_t>(remaining)));
  if (data == nullptr) return -1;
  auto* pixels = static_cast<std::uint8_t*>(QZ_ALLOC_ZEROED(static_cast<std::size_t>(pitch * header.height)));
  int status = -1;
  if (pixels != nullptr && ReadBytes(stream, data, static_cast<std::size_t>(remaining)) ==
                               static_cast<std::size_t>(remaining)) {
    status = ExpandRle(data, static_cast<std::size_t>(remaining), fourBit, header, pixels,
                       static_cast<std::uint32_t>(pitch));
  }
  QZ_FREE(data);
  if (status != 0) {
    QZ_FREE(pixels);
    return -1;
  }
  SetColorDescPalette8(&result->format);
  SetPalette(header, fourBit ? 16 : 256, &result->format);
  result->pitch = static_cast<std::uint32_t>(pitch);
  result->pixels = pixels;
  return 0;
}

// Rows read one at a time into their image row; 4 bits become one byte per
// pixel (high nibble first), 8, 24 and 32 bits are kept as stored.
int DecodeUncompressed(ImageStream* stream, const BmpHeader& header, std::int64_t remaining, BaseImage* result) {
  const std::int64_t stride = StoredStride(header.width, header.bits);
  if (remaining < stride * header.height) return -1;
  const std::int64_t pitch = header.bits == 4 ? (header.width + 3) & ~std::int64_t{3} : stride;
  if (pitch * header.height > kMaxImageBytes) return -1;
  auto* pixels = static_cast<std::uint8_t*>(QZ_ALLOC_ZEROED(static_cast<std::size_t>(pitch * header.height)));
  if (pixels == nullptr) return -1;
  auto* row = static_cast<std::uint8_t*>(QZ_ALLOC(static_cast<std::size_t>(stride)));
  int status = row == nullptr ? -1 : 0;
  for (std::int64_t r = 0; status == 0 && r < header.height; ++r) {
    std::uint8_t* out = pixels + ImageRow(header, r) * pitch;
    if (ReadBytes(stream, row, static_cast<std::size_t>(stride)) != static_cast<std::size_t>(stride)) {
      status = -1;
    } else if (header.bits == 4) {
      for (std::int64_t x = 0; x < header.width; ++x) out[x] = (x & 1) ? row[x / 2] & 15 : row[x / 2] >> 4;
    } else {
      std::memcpy(out, row, static_cast<std::size_t>(stride));
    }
  }
  QZ_FREE(row);
  if (status != 0) {
    QZ_FREE(pixels);
    return -1;
  }
  if (header.bits == 4 || header.bits == 8) {
    SetColorDescPalette8(&result->format);
    SetPalette(header, header.bits == 4 ? 16 : 256, &result->format);
  } else if (header.bits == 24) {
    SetColorDescRGB24(&result->format);
  } else {
    SetColorDescARGB8(&result->format);
  }
  result->pitch = static_cast<std::uint32_t>(pitch);
  result->pixels = pixels;
  return 0;
}

// A field of `width` bits widened to 8 by bit replication (5 bits: v<<3 | v>>2);
// wider fields keep their top 8 bits.
std::uint8_t WidenField(std::uint32_t value, int width) {
  if (width <= 0) return 0;
  if (width >= 8) return static_cast<std::uint8_t>(value >> (width - 8));
  std::uint32_t out = 0;
  for (int pos = 8 - width; pos > -width; pos -= width) out |= pos >= 0 ? value << pos : value >> -pos;
  return static_cast<std::uint8_t>(out);
}

struct ChannelField {
  std::uint32_t mask;
  int shift;
  int width;
};

ChannelField FieldOfMask(std::uint32_t mask) {
  if (mask == 0) return {0, 0, 0};
  const int shift = __builtin_ctz(mask);
  return {mask, shift, 32 - __builtin_clz(mask >> shift)};
}

std::uint8_t FieldValue(std::uint32_t pixel, const ChannelField& field) {
  return WidenField((pixel & field.mask) >> field.shift, field.width);
}

// The kinds the system would draw for us: 1 bit through the palette, 16 bits
// as X1R5G5B5, and bit fields at 16 or 32 bits; the result is top-down B, G, R.
int DecodeThroughConverter(ImageStream* stream, const BmpHeader& header, std::int64_t remaining,
                           BaseImage* result) {
  const bool known = (header.compression == kCompressionNone && (header.bits == 1 || header.bits == 16)) ||
                     (header.compression == kCompressionBitFields && (header.bits == 16 || header.bits == 32));
  if (!known) return AppendLogText(text::kBmpDibCreateFailed);
  const std::int64_t stride = StoredStride(header.width, header.bits);
  if (remaining < stride * header.height) return -1;
  const std::int64_t pitch = (header.width * 3 + 3) & ~std::int64_t{3};
  if (pitch * header.height > kMaxImageBytes) return -1;
  auto* pixels = static_cast<std::uint8_t*>(QZ_ALLOC_ZEROED(static_cast<std::size_t>(pitch * header.height)));
  if (pixels == nullptr) return AppendLogText(text::kBmpRgb24AllocFailed);
  auto* row = static_cast<std::uint8_t*>(QZ_ALLOC(static_cast<std::size_t>(stride)));

  const bool fields = header.compression == kCompressionBitFields;
  const ChannelField red = FieldOfMask(fields ? header.masks[0] : 0x7C00u);
  const ChannelField green = FieldOfMask(fields ? header.masks[1] : 0x03E0u);
  const ChannelField blue = FieldOfMask(fields ? header.masks[2] : 0x001Fu);
  int status = row == nullptr ? -1 : 0;
  for (std::int64_t r = 0; status == 0 && r < header.height; ++r) {
    if (ReadBytes(stream, row, static_cast<std::size_t>(stride)) != static_cast<std::size_t>(stride)) {
      status = -1;
      break;
    }
    std::uint8_t* out = pixels + ImageRow(header, r) * pitch;
    for (std::int64_t x = 0; x < header.width; ++x, out += 3) {
      if (header.bits == 1) {
        const std::uint8_t* entry = header.palette + ((row[x >> 3] >> (7 - (x & 7))) & 1) * 4;
        out[0] = entry[0];
        out[1] = entry[1];
        out[2] = entry[2];
        continue;
      }
      const std::uint32_t value = header.bits == 16 ? std::uint32_t{row[x * 2]} | std::uint32_t{row[x * 2 + 1]} << 8
                                                    : ReadU32(row + x * 4);
      out[0] = FieldValue(value, blue);
      out[1] = FieldValue(value, green);
      out[2] = FieldValue(value, red);
    }
  }
  QZ_FREE(row);
  if (status != 0) {
    QZ_FREE(pixels);
    return -1;
  }
  SetColorDescRGB24(&result->format);
  result->pitch = static_cast<std::uint32_t>(pitch);
  result->pixels = pixels;
  return 0;
}

}  // namespace

int DecodeBmpImage(ImageStream* stream, BaseImage* image) {
  const std::int64_t size = MeasureStream(stream);
  if (size < 0) return -1;
  BmpHeader header;
  if (ReadHeader(stream, &header) != 0) return -1;
  if (header.dataOffset > size || stream->functions.Seek(stream->handle, header.dataOffset, 0) != 0) return -1;
  const std::int64_t remaining = size - header.dataOffset;

  BaseImage result{};
  int status;
  if (header.compression == kCompressionRle8 || header.compression == kCompressionRle4) {
    status = DecodeRle(stream, header, remaining, &result);
  } else if (header.compression == kCompressionNone &&
             (header.bits == 4 || header.bits == 8 || header.bits == 24 || header.bits == 32)) {
    status = DecodeUncompressed(stream, header, remaining, &result);
  } else {
    status = DecodeThroughConverter(stream, header, remaining, &result);
  }
  if (status != 0) return -1;
  result.width = static_cast<std::uint32_t>(header.width);
  result.height = static_cast<std::uint32_t>(header.height);
  result.mipLevels = 0;
  *image = result;
  return 0;
}

}  // namespace qz
