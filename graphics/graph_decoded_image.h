// A decoded main image with its optional alpha image, freed on leaving scope;
// shared by the paths that decode an image file or block into a new graph.
#pragma once

#include <cstddef>

#include "image/base_image.h"
#include "image/image_decode.h"

namespace qz {

struct DecodedPair {
  BaseImage image{};
  BaseImage alphaImage{};
  int result = -1;  // 0 both, 1 main only, below 0 none (kImageFileNotOpened: no file)
  // Set while the pixels are the decoded-file memo's, lent: a graph is made
  // from them without a copy of its own first.
  LentPixels lent;
  LentPixels alphaLent;

  DecodedPair() = default;
  DecodedPair(const DecodedPair&) = delete;
  DecodedPair& operator=(const DecodedPair&) = delete;

  BaseImage* Alpha() { return result == 0 ? &alphaImage : nullptr; }
  bool FileNotOpened() const { return result == kImageFileNotOpened; }
  // Decodes the file with its "_a" companion, mirrored when asked; false when
  // the main image fails. The mirror goes through the decode path, which
  // expands DXT data first, as a graph restore does.
  bool DecodeFile(const char* fileName, int mirror) {
    result = DecodeImageFileForReading(fileName, mirror, &image, &alphaImage, &lent, &alphaLent);
    return result >= 0;
  }
  // Decodes encoded images held in memory, mirrored when asked; false when the main image fails.
  bool DecodeBytes(const void* block, std::size_t size, const void* alphaBlock, std::size_t alphaSize, int mirror) {
    result = DecodeImageAndAlphaImage(nullptr, block, size, 1, alphaBlock, alphaSize, 1, &image, &alphaImage, mirror);
    return result >= 0;
  }
  ~DecodedPair() {
    if (result >= 0 && lent == nullptr) FreeBaseImagePixels(&image);
    if (result == 0 && alphaLent == nullptr) FreeBaseImagePixels(&alphaImage);
  }
};

}  // namespace qz
