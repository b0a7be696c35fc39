// Feeds arbitrary bytes to the bitmap decoder through a memory stream, as the
// dispatcher would, and frees an accepted image. Nothing may be read or
// written outside a buffer or left allocated.
#include <cstddef>
#include <cstdint>

#include "fuzz/image_fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qz::FuzzImageDecoder(data, size, qz::DecodeBmpImage);
}
