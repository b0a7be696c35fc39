// Feeds arbitrary bytes to the whole decoder dispatch (BMP, JPEG, PNG, BGRA,
// TGA, DDS) from a memory stream, mirrored or not: whatever is accepted must
// be a consistent image, and every refusal must leave nothing allocated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/memory.h"
#include "image/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int blocksBefore = qz::GetTrackedBlockCount();
  const int mirror = data[0] & 1;
  qz::BaseImage image;
  if (qz::DecodeImageBytesToBaseImage(nullptr, data + 1, size - 1, 1, &image, mirror) == 0) {
    if (image.pixels == nullptr || image.width == 0 || image.height == 0) std::abort();
    // Touch the last byte: the block must hold all the data the image claims
    // (block data counts whole 4x4 blocks only, so a thin DXT image has none).
    const std::uint32_t bytes = qz::GetBaseImageDataSize(&image);
    if (bytes == 0 && image.format.dxtKind == 0) std::abort();
    if (bytes != 0) {
      volatile std::uint8_t last = image.pixels[bytes - 1];
      (void)last;
    }
    qz::FreeBaseImagePixels(&image);
  }
  if (qz::GetTrackedBlockCount() != blocksBefore) std::abort();
  return 0;
}
