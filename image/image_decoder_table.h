// The decoders the dispatcher tries, in their fixed order, and the dispatch
// loop over any such table, so that tests can run it over decoders of their own.
#pragma once

#include <cstddef>

#include "image/image_decode.h"

namespace qz {

// The built-in table: BMP, JPEG, PNG, BGRA, TGA, DDS.
const ImageDecoder* GetImageDecoderTable(std::size_t* count);

// Zeroes the record, then gives each decoder in turn the stream rewound to its
// start and a zeroed record; the first that returns 0 wins. -1 when none does.
int DecodeImageStreamWith(const ImageDecoder* decoders, std::size_t count, ImageStream* stream, BaseImage* image);

}  // namespace qz
