// The memory-stream harness the single-decoder fuzz targets share: it feeds
// the bytes to one decoder as the dispatcher would, lets the target look at an
// accepted image, frees it, and stops the run if anything was left allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/file_access.h"
#include "core/memory.h"
#include "image/image_decode.h"

namespace qz {

using AcceptedImageCheck = void (*)(BaseImage* image);

inline int FuzzImageDecoder(const std::uint8_t* data, std::size_t size, ImageDecoder decode,
                            AcceptedImageCheck accepted = nullptr) {
  static const bool ready = (InitStreamInterfaces(), true);
  (void)ready;
  const int blocksBefore = GetTrackedBlockCount();
  MemoryStream* memory = OpenMemoryStream(data, size);
  if (memory == nullptr) return 0;
  ImageStream stream{*GetMemoryStreamInterface(), memory};
  BaseImage image{};
  if (decode(&stream, &image) == 0) {
    if (accepted != nullptr) accepted(&image);
    FreeBaseImagePixels(&image);
  }
  CloseMemoryStream(memory);
  if (GetTrackedBlockCount() != blocksBefore) std::abort();
  return 0;
}

// An accepted image must have pixels for every row at its pitch: the last
// byte is touched.
inline void TouchEveryRow(BaseImage* image) {
  if (image->pixels == nullptr || image->width == 0 || image->height == 0) std::abort();
  volatile std::uint8_t last = image->pixels[std::size_t{image->pitch} * image->height - 1];
  (void)last;
}

}  // namespace qz
