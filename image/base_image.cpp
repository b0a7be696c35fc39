// Base images and colour descriptors: the presets, descriptors from channel
// masks, packing and unpacking one colour, single-pixel access, allocation,
// clearing, the 180-degree turn and the 2x2 reduction behind mip levels.
#include "image/base_image.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/memory.h"
#include "image/image_decode.h"
#include "image/image_limits.h"

namespace qz {

namespace {

void SetEightBitChannels(PixelFormatDescriptor* desc, int bitDepth, int bytesPerPixel) {
  desc->bitDepth = static_cast<std::uint8_t>(bitDepth);
  desc->bytesPerPixel = static_cast<std::uint16_t>(bytesPerPixel);
  desc->redWidth = 8;
  desc->greenWidth = 8;
  desc->blueWidth = 8;
  desc->alphaWidth = 0;
  desc->redShift = 16;
  desc->greenShift = 8;
  desc->blueShift = 0;
  desc->alphaShift = 0;
  desc->redMask = 0xFF0000u;
  desc->greenMask = 0xFF00u;
  desc->blueMask = 0xFFu;
  desc->alphaMask = 0;
  desc->dxtKind = 0;
}

std::uint32_t DepthMask(int bitDepth) {
  return bitDepth >= 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << bitDepth) - 1u;
}

// Lowest set bit and the run of set bits from there; gaps end the run.
void MaskShiftWidth(std::uint32_t mask, std::uint8_t* shift, std::uint8_t* width) {
  if (mask == 0) {
    *shift = 0;
    *width = 0;
    return;
  }
  int s = __builtin_ctz(mask);
  std::uint32_t run = mask >> s;
  *shift = static_cast<std::uint8_t>(s);
  *width = static_cast<std::uint8_t>(run == 0xFFFFFFFFu ? 32 : __builtin_ctz(~run));
}

// An 8-bit channel value placed into a field of `width` bits at `shift`;
// wider fields (10-bit formats) take the value in their top bits.
std::uint32_t PlaceChannel(int value, int width, int shift) {
  std::uint32_t v = static_cast<std::uint32_t>(value) & 0xFFu;
  if (width <= 8) {
    v >>= 8 - width;
  } else {
    v = width - 8 < 32 ? v << (width - 8) : 0;
  }
  return shift < 32 ? v << shift : 0;
}

// A field scaled to 0..255; an absent channel reads as 0.
int ScaledField(std::uint32_t value, std::uint32_t mask, int shift, int width) {
  if (width == 0 || shift >= 32) return 0;
  std::uint64_t field = (value & mask) >> shift;
  std::uint64_t top = (std::uint64_t{1} << std::min(width, 32)) - 1;
  return static_cast<int>(field * 255 / top);
}

int CheckedImageBytes(std::int64_t width, std::int64_t height, std::int64_t bytesPerPixel, std::uint32_t* pitch,
                      std::size_t* total) {
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) return -1;
  std::int64_t rowBytes = (width * bytesPerPixel + 3) & ~std::int64_t{3};
  std::int64_t bytes = rowBytes * height;
  if (bytes <= 0 || bytes > kMaxImageBytes) return -1;
  *pitch = static_cast<std::uint32_t>(rowBytes);
  *total = static_cast<std::size_t>(bytes);
  return 0;
}

int AllocPixels(int width, int height, BaseImage* image) {
  image->width = static_cast<std::uint32_t>(width);
  image->height = static_cast<std::uint32_t>(height);
  image->mipLevels = 0;
  image->pixels = nullptr;
  std::uint32_t pitch = 0;
  std::size_t total = 0;
  if (CheckedImageBytes(width, height, image->format.bytesPerPixel, &pitch, &total) != 0) return -1;
  image->pitch = pitch;
  image->pixels = static_cast<std::uint8_t*>(QZ_ALLOC(total));
  return image->pixels == nullptr ? -1 : 0;
}

std::uint32_t ReadPixelValue(const std::uint8_t* p, int bytesPerPixel) {
  switch (bytesPerPixel) {
    case 2:
      return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
    case 3:
      return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    case 4: {
      std::uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    default:
      return p[0];
  }
}

void WritePixelValue(std::uint8_t* p, int bytesPerPixel, std::uint32_t value) {
  switch (bytesPerPixel) {
    case 2:
      p[0] = static_cast<std::uint8_t>(value);
      p[1] = static_cast<std::uint8_t>(value >> 8);
      break;
    case 3:
      p[0] = static_cast<std::uint8_t>(value);
      p[1] = static_cast<std::uint8_t>(value >> 8);
      p[2] = static_cast<std::uint8_t>(value >> 16);
      break;
    case 4:
      std::memcpy(p, &value, 4);
      break;
    default:
      p[0] = static_cast<std::uint8_t>(value);
      break;
  }
}

void SwapPixels(std::uint8_t* a, std::uint8_t* b, int bytesPerPixel) {
  for (int i = 0; i < bytesPerPixel; ++i) std::swap(a[i], b[i]);
}

// Averages `count` pixels (2 or 4) channel by channel; unused bits drop out.
std::uint32_t AveragePixels(const PixelFormatDescriptor* desc, const std::uint32_t* values, int count, int rightShift) {
  const std::uint32_t masks[4] = {desc->redMask, desc->greenMask, desc->blueMask, desc->alphaMask};
  const int shifts[4] = {desc->redShift, desc->greenShift, desc->blueShift, desc->alphaShift};
  std::uint32_t result = 0;
  for (int c = 0; c < 4; ++c) {
    if (masks[c] == 0) continue;
    std::uint64_t sum = 0;
    for (int i = 0; i < count; ++i) sum += (values[i] & masks[c]) >> shifts[c];
    result |= static_cast<std::uint32_t>((sum >> rightShift) << shifts[c]);
  }
  return result;
}

}  // namespace

int SetColorDescPalette8(PixelFormatDescriptor* desc) {
  SetEightBitChannels(desc, 8, 1);
  desc->unusedMask = 0xFF000000u;
  return 0;
}

int SetColorDescXRGB8(PixelFormatDescriptor* desc) {
  SetEightBitChannels(desc, 32, 4);
  desc->unusedMask = 0xFF000000u;
  desc->unusedShift = 24;
  desc->unusedWidth = 8;
  return 0;
}

int SetColorDescARGB8(PixelFormatDescriptor* desc) {
  SetEightBitChannels(desc, 32, 4);
  desc->alphaWidth = 8;
  desc->alphaShift = 24;
  desc->alphaMask = 0xFF000000u;
  desc->unusedMask = 0;
  return 0;
}

int SetColorDescRGB24(PixelFormatDescriptor* desc) {
  SetEightBitChannels(desc, 24, 3);
  desc->unusedMask = 0;
  return 0;
}

int SetColorDescGray8(PixelFormatDescriptor* desc) {
  SetEightBitChannels(desc, 8, 1);
  desc->flags = 0;
  desc->unusedMask = 0xFF000000u;
  for (int i = 0; i < 256; ++i) {
    auto level = static_cast<std::uint8_t>(i);
    desc->palette[i] = PaletteEntry{level, level, level, 0};
  }
  return 0;
}

int SetColorDescFromMasks(PixelFormatDescriptor* desc, int bitDepth, std::uint32_t redMask, std::uint32_t greenMask,
                          std::uint32_t blueMask, std::uint32_t alphaMask) {
  desc->bitDepth = static_cast<std::uint8_t>(bitDepth);
  desc->bytesPerPixel = static_cast<std::uint16_t>(bitDepth / 8);
  desc->dxtKind = 0;
  desc->redMask = redMask;
  desc->greenMask = greenMask;
  desc->blueMask = blueMask;
  desc->alphaMask = alphaMask;
  desc->unusedMask = DepthMask(bitDepth) & ~(redMask | greenMask | blueMask | alphaMask);
  MaskShiftWidth(redMask, &desc->redShift, &desc->redWidth);
  MaskShiftWidth(greenMask, &desc->greenShift, &desc->greenWidth);
  MaskShiftWidth(blueMask, &desc->blueShift, &desc->blueWidth);
  MaskShiftWidth(alphaMask, &desc->alphaShift, &desc->alphaWidth);
  MaskShiftWidth(desc->unusedMask, &desc->unusedShift, &desc->unusedWidth);
  return 0;
}

void FixColorDescUnusedMask(PixelFormatDescriptor* desc) {
  int widths = desc->redWidth + desc->greenWidth + desc->blueWidth + desc->alphaWidth;
  if (widths == desc->bitDepth) {
    desc->unusedMask = 0;
    return;
  }
  desc->unusedMask =
      DepthMask(desc->bitDepth) & ~(desc->redMask | desc->greenMask | desc->blueMask | desc->alphaMask);
}

std::uint32_t PackColorByDescriptor(const PixelFormatDescriptor* desc, int red, int green, int blue,
                                    std::uint8_t alpha) {
  if (desc->bytesPerPixel == 1) {
    std::uint32_t best = 0;
    std::int64_t bestDistance = 0xFFFFFF;
    for (int i = 0; i < 256; ++i) {
      const PaletteEntry& e = desc->palette[i];
      std::int64_t dr = e.red - red;
      std::int64_t dg = e.green - green;
      std::int64_t db = e.blue - blue;
      std::int64_t distance = dr * dr + dg * dg + db * db;
      if (distance < bestDistance) {
        bestDistance = distance;
        best = static_cast<std::uint32_t>(i);
      }
    }
    return best;
  }
  std::uint32_t value = PlaceChannel(red, desc->redWidth, desc->redShift) +
                        PlaceChannel(green, desc->greenWidth, desc->greenShift) +
                        PlaceChannel(blue, desc->blueWidth, desc->blueShift) + desc->unusedMask;
  if (desc->alphaWidth != 0) value += PlaceChannel(alpha, desc->alphaWidth, desc->alphaShift);
  return value;
}

int UnpackColorByDescriptor(const PixelFormatDescriptor* desc, std::uint32_t value, int* red, int* green, int* blue,
                            int* alpha) {
  if (desc->redWidth == 8 && desc->greenWidth == 8 && desc->blueWidth == 8) {
    if (red) *red = static_cast<int>((value & desc->redMask) >> desc->redShift);
    if (green) *green = static_cast<int>((value & desc->greenMask) >> desc->greenShift);
    if (blue) *blue = static_cast<int>((value & desc->blueMask) >> desc->blueShift);
    if (alpha && desc->alphaWidth != 0) {
      *alpha = desc->alphaWidth == 8 ? static_cast<int>((value & desc->alphaMask) >> desc->alphaShift)
                                     : ScaledField(value, desc->alphaMask, desc->alphaShift, desc->alphaWidth);
    }
    return 0;
  }
  if (red) *red = ScaledField(value, desc->redMask, desc->redShift, desc->redWidth);
  if (green) *green = ScaledField(value, desc->greenMask, desc->greenShift, desc->greenWidth);
  if (blue) *blue = ScaledField(value, desc->blueMask, desc->blueShift, desc->blueWidth);
  if (alpha) *alpha = ScaledField(value, desc->alphaMask, desc->alphaShift, desc->alphaWidth);
  return 0;
}

int AllocARGB8BaseImage(int width, int height, BaseImage* image) {
  SetColorDescARGB8(&image->format);
  return AllocPixels(width, height, image);
}

int AllocXRGB8BaseImage(int width, int height, BaseImage* image) {
  SetColorDescXRGB8(&image->format);
  return AllocPixels(width, height, image);
}

int AllocBaseImageSameFormat(int width, int height, const BaseImage* model, BaseImage* image) {
  if (model != image) image->format = model->format;
  return AllocPixels(width, height, image);
}

int FreeBaseImagePixels(BaseImage* image) {
  if (image->pixels != nullptr) QZ_FREE(image->pixels);
  std::memset(image, 0, sizeof(*image));
  return 0;
}

std::uint32_t GetBaseImageDataSize(const BaseImage* image) {
  std::uint64_t size;
  if (image->format.dxtKind != 0) {
    std::uint64_t block = image->format.dxtKind == 1 ? 8 : 16;
    size = std::uint64_t{image->height / 4} * (image->width / 4) * block;
  } else {
    size = std::uint64_t{image->pitch} * image->height;
  }
  if (image->mipLevels >= 2) {
    std::uint64_t total = 0;
    std::uint64_t level = size;
    for (int i = 0; i < image->mipLevels; ++i) {
      total += level;
      level = level / 4 < 8 ? 8 : level / 4;
    }
    size = total;
  }
  return static_cast<std::uint32_t>(size);
}

int ClearBaseImageRect(BaseImage* image, int x, int y, int width, int height) {
  if (image->pixels == nullptr || image->format.dxtKind != 0) return -1;
  // Kept inside the image so a careless caller cannot write past the block.
  std::int64_t left = x < 0 ? 0 : x;
  std::int64_t top = y < 0 ? 0 : y;
  std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + width, image->width);
  std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + height, image->height);
  if (right <= left || bottom <= top) return 0;
  const std::int64_t bpp = image->format.bytesPerPixel;
  for (std::int64_t row = top; row < bottom; ++row) {
    std::memset(image->pixels + row * image->pitch + left * bpp, 0, static_cast<std::size_t>((right - left) * bpp));
  }
  return 0;
}

int SetBaseImagePixel(BaseImage* image, int x, int y, int red, int green, int blue, int alpha) {
  if (image->format.dxtKind != 0 && DecompressDxtBaseImage(image) != 0) return -1;
  if (static_cast<std::uint32_t>(x) >= image->width || static_cast<std::uint32_t>(y) >= image->height ||
      image->pixels == nullptr) {
    return -1;
  }
  const int bpp = image->format.bytesPerPixel;
  std::uint8_t* p = image->pixels + std::size_t{static_cast<std::uint32_t>(y)} * image->pitch +
                    std::size_t{static_cast<std::uint32_t>(x)} * bpp;
  WritePixelValue(p, bpp, PackColorByDescriptor(&image->format, red, green, blue, static_cast<std::uint8_t>(alpha)));
  return 0;
}

int GetBaseImagePixel(BaseImage* image, int x, int y, int* red, int* green, int* blue, int* alpha) {
  if (image->format.dxtKind != 0 && DecompressDxtBaseImage(image) != 0) return -1;
  if (static_cast<std::uint32_t>(x) >= image->width || static_cast<std::uint32_t>(y) >= image->height ||
      image->pixels == nullptr) {
    return -1;
  }
  const int bpp = image->format.bytesPerPixel;
  const std::uint8_t* p = image->pixels + std::size_t{static_cast<std::uint32_t>(y)} * image->pitch +
                          std::size_t{static_cast<std::uint32_t>(x)} * bpp;
  if (bpp == 1) {
    const PaletteEntry& e = image->format.palette[p[0]];
    if (red) *red = e.red;
    if (green) *green = e.green;
    if (blue) *blue = e.blue;
    if (alpha) *alpha = e.alpha;
    return 0;
  }
  return UnpackColorByDescriptor(&image->format, ReadPixelValue(p, bpp), red, green, blue, alpha);
}

int RotateBaseImage180(BaseImage* image) {
  if (image->format.dxtKind != 0) return -1;
  const int bpp = image->format.bytesPerPixel;
  if (bpp < 1 || bpp > 4 || image->height == 0 || image->pixels == nullptr) return 0;
  const std::size_t width = image->width;
  const std::size_t height = image->height;
  for (std::size_t i = 0; i < height / 2; ++i) {
    std::uint8_t* upper = image->pixels + i * image->pitch;
    std::uint8_t* lower = image->pixels + (height - 1 - i) * image->pitch;
    for (std::size_t x = 0; x < width; ++x) SwapPixels(upper + x * bpp, lower + (width - 1 - x) * bpp, bpp);
  }
  if (height % 2 != 0) {
    std::uint8_t* middle = image->pixels + (height / 2) * image->pitch;
    for (std::size_t x = 0; x < width / 2; ++x) SwapPixels(middle + x * bpp, middle + (width - 1 - x) * bpp, bpp);
  }
  return 0;
}

int ReduceMipLevel2x2(const PixelFormatDescriptor* desc, std::uint8_t* destination, std::uint32_t destinationPitch,
                      const std::uint8_t* source, std::uint32_t sourcePitch, int destinationColumn,
                      int /*unusedPosition*/, int sourceColumn, int startRow, int width, int height) {
  if (width < 0 || height < 0 || (width != 1 && width % 2 != 0) || (height != 1 && height % 2 != 0)) return -1;
  const int bpp = desc->bytesPerPixel;
  if (desc->bitDepth != 16 && desc->bitDepth != 32) return 0;
  std::uint8_t* dst = destination + std::size_t(startRow) * destinationPitch + std::size_t(destinationColumn) * bpp;
  const std::uint8_t* src = source + std::size_t(startRow) * sourcePitch + std::size_t(sourceColumn) * bpp;
  if (width == 1 && height == 1) {
    std::memcpy(dst, src, static_cast<std::size_t>(bpp));
    return 0;
  }
  const int columnStep = width > 1 ? 2 : 1;
  const int rowStep = height > 1 ? 2 : 1;
  const int count = columnStep * rowStep;
  const int rightShift = count == 4 ? 2 : 1;
  for (int row = 0; row < height / rowStep; ++row) {
    const std::uint8_t* top = src + std::size_t(row) * rowStep * sourcePitch;
    const std::uint8_t* next = rowStep == 2 ? top + sourcePitch : top;
    std::uint8_t* out = dst + std::size_t(row) * destinationPitch;
    for (int column = 0; column < width / columnStep; ++column) {
      std::uint32_t values[4];
      int n = 0;
      const std::size_t offset = std::size_t(column) * columnStep * bpp;
      values[n++] = ReadPixelValue(top + offset, bpp);
      if (columnStep == 2) values[n++] = ReadPixelValue(top + offset + bpp, bpp);
      if (rowStep == 2) {
        values[n++] = ReadPixelValue(next + offset, bpp);
        if (columnStep == 2) values[n++] = ReadPixelValue(next + offset + bpp, bpp);
      }
      WritePixelValue(out + std::size_t(column) * bpp, bpp, AveragePixels(desc, values, count, rightShift));
    }
  }
  return 0;
}

}  // namespace qz
