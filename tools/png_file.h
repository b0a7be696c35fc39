// PNG files of 0xRRGGBB pixels, written by the review tools and the data set
// generator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qz::tools {

// width * height pixels, row by row, 0xRRGGBB.
using Frame = std::vector<std::uint32_t>;

// zlib's own default level, between size and speed.
inline constexpr int kPngDefaultCompression = -1;

// Writes the frame as an 8-bit RGB PNG at zlib `compressionLevel` (0 to 9,
// or the default); false when the file cannot be created or written.
bool WriteFramePng(const std::string& path, int width, int height, const Frame& frame,
                   int compressionLevel = kPngDefaultCompression);

}  // namespace qz::tools
