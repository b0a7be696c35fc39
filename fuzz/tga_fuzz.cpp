// Feeds arbitrary bytes to the TGA decoder through a memory stream, as the
// dispatcher would, and frees an accepted image. Nothing may be read or
// written outside a buffer or left allocated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/file_access.h"
#include "core/memory.h"
#include "image/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = (qz::InitStreamInterfaces(), true);
  (void)ready;
  const int blocksBefore = qz::GetTrackedBlockCount();
  qz::MemoryStream* memory = qz::OpenMemoryStream(data, size);
  if (memory == nullptr) return 0;
  qz::ImageStream stream{*qz::GetMemoryStreamInterface(), memory};
  qz::BaseImage image{};
  if (qz::DecodeTgaImage(&stream, &image) == 0) {
    qz::FreeBaseImagePixels(&image);
  }
  qz::CloseMemoryStream(memory);
  if (qz::GetTrackedBlockCount() != blocksBefore) std::abort();
  return 0;
}
