// Feeds arbitrary bytes to the JPEG decoder from a memory stream: an accepted image
// must have pixels for every row, and a refusal must leave nothing allocated.
#include <cstddef>
#include <cstdint>

#include "fuzz/image_fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qz::FuzzImageDecoder(data, size, qz::DecodeJpegImage, qz::TouchEveryRow);
}
