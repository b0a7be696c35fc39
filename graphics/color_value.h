// Colour values: red, green and blue 0..255 packed in the screen's pixel
// format (R5G6B5 on a 16-bit screen, X8R8G8B8 otherwise), and back.
#pragma once

#include <cstdint>

namespace qz {

using ColorValue = std::uint32_t;

ColorValue MakeColorValue(int red, int green, int blue);
// Each pointer may be null; 0.
int SplitColorValue(ColorValue color, int* red, int* green, int* blue);

}  // namespace qz
