// Decoder of the library's own raw "BGRA" format: a 16-byte header, then
// rows from the top of blue, green, red, alpha at 8 or 16 bits per channel.
// The 16-bit form keeps the high byte of each channel.
#include <cstdint>
#include <cstring>

#include "core/memory.h"
#include "image/image_decode.h"
#include "image/image_limits.h"
#include "image/image_stream_io.h"

namespace qz {

namespace {

constexpr std::uint32_t kEightBitChannels = 0x08080808u;
constexpr std::uint32_t kSixteenBitChannels = 0x10101010u;
constexpr std::size_t kHeaderSize = 16;

}  // namespace

int DecodeBgraImage(ImageStream* stream, BaseImage* image) {
  const std::int64_t size = MeasureStream(stream);
  std::uint8_t header[kHeaderSize];
  if (size < 0 || ReadBytes(stream, header, sizeof(header)) != sizeof(header)) return -1;
  if (std::memcmp(header, "BGRA", 4) != 0) return -1;
  const std::uint32_t channels = ReadU32(header + 4);
  if (channels != kEightBitChannels && channels != kSixteenBitChannels) return -1;
  const std::int64_t width = ReadU32(header + 8);
  const std::int64_t height = ReadU32(header + 12);
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) return -1;
  const std::int64_t pixelBytes = width * height * 4;
  if (pixelBytes > kMaxImageBytes) return -1;
  // A file too short for its pixels is refused before anything is allocated.
  const std::int64_t storedBytes = channels == kEightBitChannels ? pixelBytes : pixelBytes * 2;
  if (size - static_cast<std::int64_t>(kHeaderSize) < storedBytes) return -1;

  auto* pixels = static_cast<std::uint8_t*>(QZ_ALLOC(static_cast<std::size_t>(pixelBytes)));
  if (pixels == nullptr) return -1;
  int status = 0;
  if (channels == kEightBitChannels) {
    if (ReadBytes(stream, pixels, static_cast<std::size_t>(pixelBytes)) != static_cast<std::size_t>(pixelBytes)) {
      status = -1;
    }
  } else {
    const std::size_t rowBytes = static_cast<std::size_t>(width * 8);
    auto* row = static_cast<std::uint8_t*>(QZ_ALLOC(rowBytes));
    if (row == nullptr) status = -1;
    for (std::int64_t y = 0; status == 0 && y < height; ++y) {
      if (ReadBytes(stream, row, rowBytes) != rowBytes) {
        status = -1;
        break;
      }
      // Little-endian 16-bit channels: the high byte is the second of each pair.
      std::uint8_t* out = pixels + y * width * 4;
      for (std::size_t i = 0; i < rowBytes / 2; ++i) out[i] = row[i * 2 + 1];
    }
    QZ_FREE(row);
  }
  if (status != 0) {
    QZ_FREE(pixels);
    return -1;
  }

  BaseImage result{};
  SetColorDescARGB8(&result.format);
  result.width = static_cast<std::uint32_t>(width);
  result.height = static_cast<std::uint32_t>(height);
  result.pitch = static_cast<std::uint32_t>(width * 4);
  result.pixels = pixels;
  *image = result;
  return 0;
}

}  // namespace qz
