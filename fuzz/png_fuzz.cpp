// Feeds arbitrary bytes to the PNG decoder from a memory stream: an accepted image
// must have pixels for every row, and a refusal must leave nothing allocated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/file_access.h"
#include "core/memory.h"
#include "image/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int blocksBefore = qz::GetTrackedBlockCount();
  qz::MemoryStream* memory = qz::OpenMemoryStream(data, size);
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
