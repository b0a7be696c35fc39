// Truevision TGA decoder: colour-mapped and true-colour images, raw or
// run-length, at 16, 24 or 32 bits, turned to rows from the top left. The
// format has no magic, so only the header's plausibility decides.
#include <cstdint>
#include <cstring>

#include "core/memory.h"
#include "image/image_decode.h"
#include "image/image_stream_io.h"

namespace qz {

namespace {

constexpr std::int64_t kMaxSide = 8192;
constexpr std::size_t kHeaderSize = 18;
constexpr std::size_t kFooterSize = 26;
constexpr char kFooterSignature[] = "TRUEVISION-XFILE.";

struct TgaHeader {
  int type;
  int mapFirst;
  int mapLength;
  int mapEntryBits;
  std::int64_t width;
  std::int64_t height;
  int pixelBits;
  int descriptor;
};

bool HasFooter(ImageStream* stream, std::int64_t size) {
  if (size < static_cast<std::int64_t>(kHeaderSize + kFooterSize)) return false;
  std::uint8_t footer[kFooterSize];
  if (stream->functions.Seek(stream->handle, size - static_cast<std::int64_t>(kFooterSize), 0) != 0) return false;
  if (ReadBytes(stream, footer, sizeof(footer)) != sizeof(footer)) return false;
  return std::memcmp(footer + 8, kFooterSignature, sizeof(kFooterSignature) - 1) == 0;
}

bool Mapped(const TgaHeader& header) { return header.type == 1 || header.type == 9; }
bool RunLength(const TgaHeader& header) { return header.type == 9 || header.type == 10; }

int CheckHeader(const std::uint8_t* bytes, TgaHeader* header) {
  header->type = bytes[2];
  header->mapFirst = ReadU16(bytes + 3);
  header->mapLength = ReadU16(bytes + 5);
  header->mapEntryBits = bytes[7];
  header->width = ReadU16(bytes + 12);
  header->height = ReadU16(bytes + 14);
  header->pixelBits = bytes[16];
  header->descriptor = bytes[17];
  if (header->type != 1 && header->type != 2 && header->type != 9 && header->type != 10) return -1;
  if (ReadU16(bytes + 8) != 0 || ReadU16(bytes + 10) != 0) return -1;
  if (header->width == 0 || header->height == 0 || header->width > kMaxSide || header->height > kMaxSide) return -1;
  const int bits = Mapped(*header) ? header->mapEntryBits : header->pixelBits;
  if (bits != 16 && bits != 24 && bits != 32) return -1;
  // A map reaching past entry 255 would not fit the 256-entry table.
  if (Mapped(*header) && header->mapFirst + header->mapLength > 256) return -1;
  return 0;
}

// Expands run-length packets of `unit`-byte values into `out` (count values);
// -1 when the data ends first.
int ExpandPackets(const std::uint8_t* data, std::size_t size, std::size_t unit, std::uint8_t* out,
                  std::size_t count) {
  std::size_t pos = 0;
  std::size_t done = 0;
  while (done < count) {
    if (pos >= size) return -1;
    const std::uint8_t packet = data[pos++];
    std::size_t n = (packet & 127u) + 1u;
    if (n > count - done) n = count - done;
    if (packet & 128u) {
      if (size - pos < unit) return -1;
      for (std::size_t i = 0; i < n; ++i) std::memcpy(out + (done + i) * unit, data + pos, unit);
      pos += unit;
    } else {
      if ((size - pos) / unit < n) return -1;
      std::memcpy(out + done * unit, data + pos, n * unit);
      pos += n * unit;
    }
    done += n;
  }
  return 0;
}

// The stored pixels (or map indices) of the whole image into `out`.
int ReadStoredPixels(ImageStream* stream, const TgaHeader& header, std::int64_t dataEnd, std::size_t unit,
                     std::uint8_t* out) {
  const std::size_t count = static_cast<std::size_t>(header.width * header.height);
  if (!RunLength(header)) return ReadBytes(stream, out, count * unit) == count * unit ? 0 : -1;
  const std::int64_t position = stream->functions.Tell(stream->handle);
  if (position < 0 || position > dataEnd) return -1;
  const std::size_t size = static_cast<std::size_t>(dataEnd - position);
  auto* data = static_cast<std::uint8_t*>(QZ_ALLOC(size));
  if (data == nullptr) return -1;
  int status = ReadBytes(stream, data, size) == size ? ExpandPackets(data, size, unit, out, count) : -1;
  QZ_FREE(data);
  return status;
}

}  // namespace

int DecodeTgaImage(ImageStream* stream, BaseImage* image) {
  const std::int64_t size = MeasureStream(stream);
  if (size < 0) return -1;
  const bool footer = HasFooter(stream, size);
  std::uint8_t headerBytes[kHeaderSize];
  if (stream->functions.Seek(stream->handle, 0, 0) != 0) return -1;
  if (ReadBytes(stream, headerBytes, sizeof(headerBytes)) != sizeof(headerBytes)) return -1;
  TgaHeader header;
  if (CheckHeader(headerBytes, &header) != 0) return -1;

  const bool mapped = Mapped(header);
  const std::size_t bytesPerPixel = static_cast<std::size_t>(mapped ? header.mapEntryBits : header.pixelBits) / 8;
  std::uint8_t map[256 * 4] = {};
  if (mapped) {
    const std::size_t mapBytes = static_cast<std::size_t>(header.mapLength) * bytesPerPixel;
    if (ReadBytes(stream, map + header.mapFirst * bytesPerPixel, mapBytes) != mapBytes) return -1;
  }

  const std::size_t count = static_cast<std::size_t>(header.width * header.height);
  const std::size_t unit = mapped ? 1 : bytesPerPixel;
  const std::int64_t dataEnd = footer ? size - static_cast<std::int64_t>(kFooterSize) : size;
  // Refuse data too short for the image before allocating for it: raw data
  // needs every value, run-length data at least one full run per 128 pixels.
  const std::int64_t position = stream->functions.Tell(stream->handle);
  const std::int64_t available = (RunLength(header) ? dataEnd : size) - position;
  const std::size_t needed = RunLength(header) ? (count + 127) / 128 * (1 + unit) : count * unit;
  if (position < 0 || available < static_cast<std::int64_t>(needed)) return -1;
  auto* stored = static_cast<std::uint8_t*>(QZ_ALLOC(count * unit));
  if (stored == nullptr) return -1;
  if (ReadStoredPixels(stream, header, dataEnd, unit, stored) != 0) {
    QZ_FREE(stored);
    return -1;
  }

  // Indices become map entries; then rows are turned to run from the top
  // left when the file says otherwise. Both need a second block.
  const bool bottomUp = (header.descriptor & 0x20) == 0;
  const bool rightToLeft = (header.descriptor & 0x10) != 0;
  std::uint8_t* pixels = stored;
  if (mapped || bottomUp || rightToLeft) {
    pixels = static_cast<std::uint8_t*>(QZ_ALLOC(count * bytesPerPixel));
    if (pixels == nullptr) {
      QZ_FREE(stored);
      return -1;
    }
    const std::size_t width = static_cast<std::size_t>(header.width);
    const std::size_t height = static_cast<std::size_t>(header.height);
    for (std::size_t y = 0; y < height; ++y) {
      const std::size_t sourceRow = bottomUp ? height - 1 - y : y;
      for (std::size_t x = 0; x < width; ++x) {
        const std::size_t sourceColumn = rightToLeft ? width - 1 - x : x;
        const std::uint8_t* source = stored + (sourceRow * width + sourceColumn) * unit;
        if (mapped) source = map + std::size_t{*source} * bytesPerPixel;
        std::memcpy(pixels + (y * width + x) * bytesPerPixel, source, bytesPerPixel);
      }
    }
    QZ_FREE(stored);
  }

  BaseImage result{};
  if (bytesPerPixel == 2) {
    SetColorDescFromMasks(&result.format, 16, 0x7C00u, 0x03E0u, 0x001Fu, 0);
  } else if (bytesPerPixel == 3) {
    SetColorDescRGB24(&result.format);
  } else {
    SetColorDescARGB8(&result.format);
  }
  result.width = static_cast<std::uint32_t>(header.width);
  result.height = static_cast<std::uint32_t>(header.height);
  result.pitch = static_cast<std::uint32_t>(header.width * static_cast<std::int64_t>(bytesPerPixel));
  result.pixels = pixels;
  *image = result;
  return 0;
}

}  // namespace qz
