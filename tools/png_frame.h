// What the review tools share: reading the back screen as 0xRRGGBB pixels and
// writing such pixels to a PNG file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qz::tools {

// width * height pixels, row by row, 0xRRGGBB.
using Frame = std::vector<std::uint32_t>;

// Reads the back screen's top-left width x height pixels; false on failure.
bool ReadBackScreen(int width, int height, Frame* frame);
// Writes the frame as an 8-bit RGB PNG; false on failure.
bool WriteFramePng(const std::string& path, int width, int height, const Frame& frame);

}  // namespace qz::tools
