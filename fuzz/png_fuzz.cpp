// Feeds arbitrary bytes to the PNG decoder from a memory stream: an accepted
// image must have pixels for every row, and a refusal must leave nothing
// allocated. Chunk CRCs are set right first, or almost every input would stop
// at the first CRC check instead of reaching the decoder's deeper paths.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/image_fuzz_harness.h"

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
  return qz::FuzzImageDecoder(png.data(), png.size(), qz::DecodePngImage, qz::TouchEveryRow);
}
