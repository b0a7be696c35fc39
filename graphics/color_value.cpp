// Colour values in the screen's pixel format: the device's descriptor on the
// hardware path, the software image's on the software path.
#include "graphics/color_value.h"

#include "graphics/device_formats.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_settings.h"
#include "softrender/mem_img.h"

namespace qz {
namespace {

const PixelFormatDescriptor* ScreenColorDesc() {
  const bool sixteenBit = GetScreenColorBitDepth() == 16;
  if (GetGraphicsState().hardware3DOn != 0) {
    return GetD3DFormatPixelDescriptor(sixteenBit ? plat::D3DFMT_R5G6B5 : plat::D3DFMT_X8R8G8B8);
  }
  return GetMemImgColorDesc(sixteenBit ? kMemImgFormatRgb565 : kMemImgFormatXrgb32, 0, 0);
}

std::uint32_t PackChannel(int value, int width, int shift) {
  return (static_cast<std::uint32_t>(value) >> (8 - width)) << shift;
}

int UnpackChannel(ColorValue color, std::uint32_t mask, int width, int shift) {
  if (width == 0) return 0;
  return static_cast<int>(((color & mask) >> shift) * 255u / ((1u << width) - 1u));
}

}  // namespace

ColorValue MakeColorValue(int red, int green, int blue) {
  const PixelFormatDescriptor& desc = *ScreenColorDesc();
  return PackChannel(red, desc.redWidth, desc.redShift) + PackChannel(green, desc.greenWidth, desc.greenShift) +
         PackChannel(blue, desc.blueWidth, desc.blueShift) + desc.unusedMask;
}

int SplitColorValue(ColorValue color, int* red, int* green, int* blue) {
  const PixelFormatDescriptor& desc = *ScreenColorDesc();
  if (red != nullptr) *red = UnpackChannel(color, desc.redMask, desc.redWidth, desc.redShift);
  if (green != nullptr) *green = UnpackChannel(color, desc.greenMask, desc.greenWidth, desc.greenShift);
  if (blue != nullptr) *blue = UnpackChannel(color, desc.blueMask, desc.blueWidth, desc.blueShift);
  return 0;
}

}  // namespace qz
