// Feeds arbitrary bytes to the PNG decoder from a memory stream: an accepted
// image must have pixels for every row, and a refusal must leave nothing
// allocated. Chunk CRCs are set right first, or almost every input would stop
// at the first CRC check instead of reaching the decoder's deeper paths.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/file_access.h"
#include "core/memory.h"
#include "image/image_decode.h"

namespace {

void FixChunkCrcs(std::vector<std::uint8_t>* png) {
  std::size_t at = 8;
  while (at + 12 <= png->size()) {
    const std::uint8_t* p = png->data() + at;
    const std::uint64_t length = (std::uint64_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    if (length > png->size() - at - 12) break;
    const uLong crc = crc32(0, p + 4, static_cast<uInt>(length + 4));
    for (int i = 0; i < 4; ++i) (*png)[at + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> png(data, data + size);
  FixChunkCrcs(&png);
  const int blocksBefore = qz::GetTrackedBlockCount();
  qz::MemoryStream* memory = qz::OpenMemoryStream(png.data(), png.size());
  if (memory == nullptr) return 0;
  qz::ImageStream stream{*qz::GetMemoryStreamInterface(), memory};
  qz::BaseImage image;
  if (qz::DecodePngImage(&stream, &image) == 0) {
    if (image.pixels == nullptr || image.width == 0 || image.height == 0) std::abort();
    // Touch the last byte: the block must hold every row at the pitch.
    volatile std::uint8_t last = image.pixels[std::size_t{image.pitch} * image.height - 1];
    (void)last;
    qz::FreeBaseImagePixels(&image);
  }
  qz::CloseMemoryStream(memory);
  if (qz::GetTrackedBlockCount() != blocksBefore) std::abort();
  return 0;
}
