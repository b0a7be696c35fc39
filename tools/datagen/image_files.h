// Writes a canvas as an 8-bit RGB PNG (libpng, fast compression) or as a
// 24-bit uncompressed BMP, the two picture formats of the data set.
#pragma once

#include <string>

#include "tools/datagen/canvas.h"

namespace datagen {

// False with *error set when the file cannot be written.
bool WritePngFile(const std::string& path, const Canvas& canvas, std::string* error);
bool WriteBmpFile(const std::string& path, const Canvas& canvas, std::string* error);

}  // namespace datagen
