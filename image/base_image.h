// Base images: the exchange record of decoded pixels, and its colour
// descriptor. Decoders fill them, graphics, fonts and the software renderer
// consume them. Pixel blocks come from tracked memory and are owned by the
// record (FreeBaseImagePixels).
#pragma once

#include <cstdint>

namespace qz {

struct PaletteEntry {
  std::uint8_t blue;
  std::uint8_t green;
  std::uint8_t red;
  std::uint8_t alpha;  // or 0
};

struct PixelFormatDescriptor {
  std::uint8_t bitDepth;       // 8, 16, 24 or 32
  std::uint8_t flags;          // cleared by the grey preset
  std::uint16_t bytesPerPixel; // 1 means palettised
  std::uint8_t redWidth, greenWidth, blueWidth, alphaWidth;
  std::uint8_t redShift, greenShift, blueShift, alphaShift;
  std::uint32_t redMask, greenMask, blueMask, alphaMask;
  std::uint32_t unusedMask;    // bits of no channel; added to every packed colour
  PaletteEntry palette[256];
  std::uint8_t unusedShift;
  std::uint8_t unusedWidth;
  std::uint32_t dxtKind;       // 0 uncompressed, 1-5 DXT1-DXT5 (4x4 blocks)
};

struct BaseImage {
  PixelFormatDescriptor format;
  std::uint32_t width;
  std::uint32_t height;
  std::uint32_t pitch;         // bytes per row; unused for DXT data
  std::uint8_t* pixels;        // tracked block owned by the record
  std::int32_t mipLevels;      // 0 or 1 a single level; n >= 2 levels one after another
};

int SetColorDescPalette8(PixelFormatDescriptor* desc);
int SetColorDescXRGB8(PixelFormatDescriptor* desc);
int SetColorDescARGB8(PixelFormatDescriptor* desc);
int SetColorDescRGB24(PixelFormatDescriptor* desc);
int SetColorDescGray8(PixelFormatDescriptor* desc);
int SetColorDescFromMasks(PixelFormatDescriptor* desc, int bitDepth, std::uint32_t redMask, std::uint32_t greenMask,
                          std::uint32_t blueMask, std::uint32_t alphaMask);
void FixColorDescUnusedMask(PixelFormatDescriptor* desc);

std::uint32_t PackColorByDescriptor(const PixelFormatDescriptor* desc, int red, int green, int blue,
                                    std::uint8_t alpha);
int UnpackColorByDescriptor(const PixelFormatDescriptor* desc, std::uint32_t value, int* red, int* green,
                            int* blue, int* alpha);

int AllocARGB8BaseImage(int width, int height, BaseImage* image);
int AllocXRGB8BaseImage(int width, int height, BaseImage* image);
int AllocBaseImageSameFormat(int width, int height, const BaseImage* model, BaseImage* image);
int FreeBaseImagePixels(BaseImage* image);
std::uint32_t GetBaseImageDataSize(const BaseImage* image);
int ClearBaseImageRect(BaseImage* image, int x, int y, int width, int height);
int SetBaseImagePixel(BaseImage* image, int x, int y, int red, int green, int blue, int alpha);
int GetBaseImagePixel(BaseImage* image, int x, int y, int* red, int* green, int* blue, int* alpha);
int RotateBaseImage180(BaseImage* image);
// The 2x2 reduction that makes each next mip level (16- and 32-bit pixels).
int ReduceMipLevel2x2(const PixelFormatDescriptor* desc, std::uint8_t* destination, std::uint32_t destinationPitch,
                      const std::uint8_t* source, std::uint32_t sourcePitch, int destinationColumn,
                      int unusedPosition, int sourceColumn, int startRow, int width, int height);

}  // namespace qz
