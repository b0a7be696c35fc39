// Software-image handles (released at the library start and end), the scaled
// copy between base images, the built-in textures of the mesh drawing, mesh
// material images, and the sine table the drawing code reads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/base_image.h"

namespace qz {

inline constexpr int kSoftImageSlots = 8192;
inline constexpr int kSineTableSize = 65536;

// The record behind a software-image handle.
struct SoftImageRecord {
  BaseImage image;
  std::int32_t check;
};

// Test hook: a new software image (nothing in the library makes one).
int CreateSoftImageHandleForTest(int width, int height);
int FreeSoftImageHandle(int handle);
int FreeAllSoftImageHandles();
int ResetSoftImageHandles();
// One past the highest occupied slot.
int GetSoftImageRangeEnd();

// Copies (and scales) a rectangle; filter 1 is bilinear, others nearest. 0 or -1.
int StretchBaseImageRect(int sx1, int sy1, int sx2, int sy2, BaseImage* source, int dx1, int dy1, int dx2, int dy2,
                         BaseImage* destination, int filter);

// The built-in run-length TGA images: an 8 x 8 opaque white square and a
// 256 x 8 ramp of four grey steps.
struct BuiltinImageBytes {
  const std::uint8_t* bytes;
  std::size_t size;
};
BuiltinImageBytes GetWhiteSquareTga();
BuiltinImageBytes GetFourStepRampTga();

// The graphs the mesh drawing makes from the built-in images (-1 while not
// made); the device restore fills them again.
struct BuiltinGraphs {
  int whiteSquare;
  int fourStepRamp;
  int greyRamp;
};
BuiltinGraphs& GetBuiltinGraphs();

// Fills the graph (256 x 8) with the linear grey ramp; the handle or -1.
int BuildGreyRampBaseImage(int graph);
// Decodes a mesh material's image and alpha blocks, optionally turns the
// image (a height map) into a normal map, and stretches each to powers of two
// within half the device's largest texture. 0 or -1.
int BuildMaterialTextureImages(BaseImage* image, BaseImage* alphaImage, const void* imageBlock,
                               std::size_t imageSize, const void* alphaBlock, std::size_t alphaSize, int normalMap,
                               float bumpScale, int unused);
// After a device reset: the built-in graphs and the mesh materials get
// their pixels again; 0.
int RestoreBuiltinAndMaterialTextures();

// Fills the table once per process, only while hardware rendering is allowed;
// 0.
int BuildSineTable();
// Entry i is sin(i * 2 pi / 65536); null until built.
const float* GetSineTable();

}  // namespace qz
