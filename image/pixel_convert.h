// Pixel format conversion: one routine copies a rectangle between any two
// colour descriptors (channel widths and positions, alpha from the source, an
// alpha image or a colour key, mirroring, dithering, key skipping), and the
// rectangle copy between base images built on it.
#pragma once

#include <cstdint>

#include "core/rect.h"
#include "image/base_image.h"

namespace qz {

// Dither modes of ConvertColorFormatBlit.
constexpr int kDitherNone = 0;
constexpr int kDitherOrdered = 1;  // 4x4 ordered matrix
constexpr int kDitherCarry = 2;    // error carried along the rows

// Converts `sourceRect` (right and bottom exclusive; the same rectangle is read
// from the alpha image) to (destinationX, destinationY). It does not clip: the
// caller keeps the rectangle inside every image. Returns 0, the largest index
// copied for a plain 8-bit to 8-bit copy, or -1 (empty rectangle, missing
// pointers, negative positions, depths other than 8/16/24/32, DXT data).
int ConvertColorFormatBlit(void* destination, int destinationPitch, const PixelFormatDescriptor* destinationFormat,
                           const void* source, int sourcePitch, const PixelFormatDescriptor* sourceFormat,
                           const void* alphaImage, int alphaPitch, const PixelFormatDescriptor* alphaFormat,
                           int destinationX, int destinationY, const Rect* sourceRect, int mirror, int keyToAlpha,
                           std::uint32_t keyColor, int ditherMode, int alphaOnly, int redAsAlpha, int skipKey,
                           int remapPalette);

// Copies a width x height block between base images, clipped to both; DXT
// data of either image is expanded first. 0, or -1 when expansion or the
// conversion fails.
int BlitBaseImageRect(int sourceX, int sourceY, int width, int height, int destinationX, int destinationY,
                      BaseImage* source, BaseImage* destination);

}  // namespace qz
