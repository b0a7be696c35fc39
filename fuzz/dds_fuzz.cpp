// Feeds arbitrary bytes to the DDS decoder through a memory stream, as the
// dispatcher would; an accepted image has its DXT data expanded and is freed.
// Nothing may be read or written outside a buffer or left allocated.
#include <cstddef>
#include <cstdint>

#include "fuzz/image_fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qz::FuzzImageDecoder(data, size, qz::DecodeDdsImage,
                              [](qz::BaseImage* image) { qz::DecompressDxtBaseImage(image); });
}
