// The shader archive built into the program: an archive of the library's own
// format holding "QzShaderPack.bin", packed once more as a whole. Generated
// at build time by tools/shaderasm from graphics/shaders.
#pragma once

#include <cstddef>

namespace qz {

extern const unsigned char kEmbeddedShaderArchive[];
extern const std::size_t kEmbeddedShaderArchiveSize;

}  // namespace qz
