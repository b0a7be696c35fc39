// Pixel format conversion: argument checks, the settled plan of a call, the
// palette and plain-copy cases, the general per-pixel rule with dithering, and
// the clipped rectangle copy between base images. Dedicated loops for common
// format pairs live beside it and give the same pixels as the general rule.
#include "image/pixel_convert.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "image/image_decode.h"
#include "image/pixel_convert_plan.h"

namespace qz {

namespace convert {

const std::uint8_t kOrderedDither[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

namespace {

bool ValidDepth(int depth) { return depth == 8 || depth == 16 || depth == 24 || depth == 32; }

std::uint32_t DepthMask(int depth) { return depth >= 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << depth) - 1u; }

ChannelMap MapChannel(std::uint32_t mask, int shift, int width, int destinationShift, int destinationWidth) {
  return ChannelMap{mask, shift, width, destinationShift, destinationWidth};
}

struct Fields {
  std::uint32_t raw[3];  // source red, green, blue fields
  std::uint32_t colour[3];
  std::uint32_t alpha;
};

void ConvertFields(const ConvertPlan& plan, std::uint32_t value, std::uint32_t alphaValue, Fields* out) {
  const ChannelMap* maps[3] = {&plan.red, &plan.green, &plan.blue};
  for (int c = 0; c < 3; ++c) {
    out->raw[c] = Field(value, maps[c]->sourceMask, maps[c]->sourceShift);
    out->colour[c] = Rescale(out->raw[c], maps[c]->sourceWidth, maps[c]->destinationWidth);
  }
  const ChannelMap& a = plan.alpha;
  if (plan.keyToAlpha) {
    bool isKey = out->raw[0] == plan.keyFields[0] && out->raw[1] == plan.keyFields[1] &&
                 out->raw[2] == plan.keyFields[2];
    out->alpha = isKey ? 0 : plan.fullAlpha;
  } else if (plan.redAsAlpha) {
    out->alpha = Rescale(out->raw[0], a.sourceWidth, a.destinationWidth);
  } else if (plan.alphaFrom == AlphaFrom::kImage) {
    out->alpha = Rescale(Field(alphaValue, a.sourceMask, a.sourceShift), a.sourceWidth, a.destinationWidth);
  } else if (plan.alphaFrom == AlphaFrom::kSource) {
    out->alpha = Rescale(Field(value, a.sourceMask, a.sourceShift), a.sourceWidth, a.destinationWidth);
  } else {
    out->alpha = plan.fullAlpha;
  }
}

std::uint32_t Assemble(const ConvertPlan& plan, const Fields& f) {
  std::uint32_t value = 0;
  if (!plan.alphaOnly) {
    value = Place(f.colour[0], plan.red.destinationShift) | Place(f.colour[1], plan.green.destinationShift) |
            Place(f.colour[2], plan.blue.destinationShift);
  }
  value |= Place(f.alpha, plan.alpha.destinationShift);
  if (plan.destinationBytes == 2 || plan.destinationBytes == 4) value |= plan.destinationUnused;
  return value;
}

// Error-carry sums run on across the rows of one call.
struct DitherState {
  std::uint64_t carry[3] = {0, 0, 0};
};

void Dither(const ConvertPlan& plan, int x, int y, DitherState* state, Fields* f) {
  const ChannelMap* maps[3] = {&plan.red, &plan.green, &plan.blue};
  for (int c = 0; c < 3; ++c) {
    const int d = maps[c]->sourceWidth - maps[c]->destinationWidth;
    if (d <= 0) continue;
    const std::uint64_t lostMask = (std::uint64_t{1} << d) - 1;
    const std::uint64_t lost = f->raw[c] & lostMask;
    bool up;
    if (plan.ditherMode == kDitherOrdered) {
      up = lost > ((std::uint64_t{1} << d) * kOrderedDither[y & 3][x & 3]) / 16;
    } else {
      state->carry[c] += lost;
      up = state->carry[c] > lostMask;
      if (up) state->carry[c] &= lostMask;
    }
    if (up) {
      const std::uint64_t top = (std::uint64_t{1} << maps[c]->destinationWidth) - 1;
      f->colour[c] = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{f->colour[c]} + 1, top));
    }
  }
}

void RunGeneralRule(const ConvertPlan& plan) {
  DitherState state;
  Fields f;
  for (int row = 0; row < plan.height; ++row) {
    const std::uint8_t* sourceRow = plan.source + (std::int64_t{plan.sourceTop} + row) * plan.sourcePitch +
                                    std::int64_t{plan.sourceLeft} * plan.sourceBytes;
    const std::uint8_t* alphaRow =
        plan.alphaImage == nullptr || plan.alphaBytes == 0
            ? nullptr
            : plan.alphaImage + (std::int64_t{plan.sourceTop} + row) * plan.alphaPitch +
                  std::int64_t{plan.sourceLeft} * plan.alphaBytes;
    const int y = plan.destinationY + row;
    std::uint8_t* destinationRow = plan.destination + std::int64_t{y} * plan.destinationPitch;
    for (int column = 0; column < plan.width; ++column) {
      const int x = plan.mirror ? plan.destinationX + plan.width - 1 - column : plan.destinationX + column;
      const std::uint8_t* sourcePixel = sourceRow + std::int64_t{column} * plan.sourceBytes;
      if (plan.skipKey && IsSkippedByKey(plan, sourcePixel)) continue;
      const std::uint32_t value = ReadSourceValue(plan.sourceFormat, sourcePixel, plan.sourceBytes);
      const std::uint32_t alphaValue =
          alphaRow == nullptr
              ? 0
              : ReadSourceValue(plan.alphaFormat, alphaRow + std::int64_t{column} * plan.alphaBytes, plan.alphaBytes);
      ConvertFields(plan, value, alphaValue, &f);
      if (plan.dither) Dither(plan, x, y, &state, &f);
      WritePixel(destinationRow + std::int64_t{x} * plan.destinationBytes, plan.destinationBytes, Assemble(plan, f));
    }
  }
}

bool BuildPlan(void* destination, int destinationPitch, const PixelFormatDescriptor* destinationFormat,
               const void* source, int sourcePitch, const PixelFormatDescriptor* sourceFormat, const void* alphaImage,
               int alphaPitch, const PixelFormatDescriptor* alphaFormat, int destinationX, int destinationY,
               const Rect* sourceRect, ConvertPlan* plan) {
  if (destination == nullptr || source == nullptr || destinationFormat == nullptr || sourceFormat == nullptr ||
      sourceRect == nullptr) {
    return false;
  }
  plan->destinationFormat = *destinationFormat;
  plan->sourceFormat = *sourceFormat;
  if (alphaFormat != nullptr) {
    plan->alphaFormat = *alphaFormat;
  } else {
    std::memset(&plan->alphaFormat, 0, sizeof(plan->alphaFormat));
  }
  const PixelFormatDescriptor& dst = plan->destinationFormat;
  const PixelFormatDescriptor& src = plan->sourceFormat;
  if (!ValidDepth(dst.bitDepth) || !ValidDepth(src.bitDepth) || dst.dxtKind != 0 || src.dxtKind != 0) return false;
  if (alphaImage != nullptr && alphaFormat != nullptr &&
      (!ValidDepth(plan->alphaFormat.bitDepth) || plan->alphaFormat.dxtKind != 0)) {
    return false;
  }
  const std::int64_t width = std::int64_t{sourceRect->right} - sourceRect->left;
  const std::int64_t height = std::int64_t{sourceRect->bottom} - sourceRect->top;
  if (width <= 0 || height <= 0 || sourceRect->left < 0 || sourceRect->top < 0 || destinationX < 0 ||
      destinationY < 0) {
    return false;
  }
  plan->destination = static_cast<std::uint8_t*>(destination);
  plan->destinationPitch = destinationPitch;
  plan->source = static_cast<const std::uint8_t*>(source);
  plan->sourcePitch = sourcePitch;
  plan->alphaImage = static_cast<const std::uint8_t*>(alphaImage);
  plan->alphaPitch = alphaPitch;
  plan->destinationBytes = dst.bitDepth / 8;
  plan->sourceBytes = src.bitDepth / 8;
  plan->alphaBytes = plan->alphaFormat.bitDepth / 8;
  plan->destinationX = destinationX;
  plan->destinationY = destinationY;
  plan->sourceLeft = sourceRect->left;
  plan->sourceTop = sourceRect->top;
  plan->width = static_cast<int>(width);
  plan->height = static_cast<int>(height);
  return true;
}

void SettleOptions(ConvertPlan* plan, int mirror, int keyToAlpha, std::uint32_t keyColor, int ditherMode,
                   int alphaOnly, int redAsAlpha, int skipKey) {
  const PixelFormatDescriptor& dst = plan->destinationFormat;
  const PixelFormatDescriptor& src = plan->sourceFormat;
  const bool destinationAlpha = dst.alphaMask != 0;
  plan->alphaFrom = AlphaFrom::kFull;
  if (destinationAlpha && src.alphaMask != 0) {
    plan->alphaFrom = AlphaFrom::kSource;
  } else if (destinationAlpha && plan->alphaImage != nullptr) {
    plan->alphaFrom = AlphaFrom::kImage;
  }
  plan->mirror = mirror != 0;
  plan->redAsAlpha = redAsAlpha != 0;
  plan->alphaOnly = alphaOnly != 0;
  plan->keyToAlpha = keyToAlpha != 0 && plan->alphaFrom == AlphaFrom::kFull && destinationAlpha && !plan->redAsAlpha;
  plan->skipKey = skipKey != 0 && !plan->mirror;
  plan->keyColor = keyColor;
  plan->ditherMode = ditherMode;

  plan->red = MapChannel(src.redMask, src.redShift, src.redWidth, dst.redShift, dst.redWidth);
  plan->green = MapChannel(src.greenMask, src.greenShift, src.greenWidth, dst.greenShift, dst.greenWidth);
  plan->blue = MapChannel(src.blueMask, src.blueShift, src.blueWidth, dst.blueShift, dst.blueWidth);
  if (plan->redAsAlpha) {
    plan->alpha = MapChannel(src.redMask, src.redShift, src.redWidth, dst.alphaShift, dst.alphaWidth);
  } else if (plan->alphaFrom == AlphaFrom::kImage) {
    const PixelFormatDescriptor& a = plan->alphaFormat;
    plan->alpha = MapChannel(a.redMask, a.redShift, a.redWidth, dst.alphaShift, dst.alphaWidth);
  } else {
    plan->alpha = MapChannel(src.alphaMask, src.alphaShift, src.alphaWidth, dst.alphaShift, dst.alphaWidth);
  }
  plan->fullAlpha = Field(dst.alphaMask, dst.alphaMask, dst.alphaShift);
  plan->destinationUnused = dst.unusedMask;

  // The key in the source's own layout; a palettised source's fields describe
  // its palette entries, so the key is laid out like them.
  PixelFormatDescriptor keyFormat = src;
  if (keyFormat.bytesPerPixel == 1) keyFormat.bytesPerPixel = 4;
  const std::uint32_t packedKey = PackColorByDescriptor(&keyFormat, (keyColor >> 16) & 0xFF, (keyColor >> 8) & 0xFF,
                                                        keyColor & 0xFF, 0);
  plan->keyFields[0] = Field(packedKey, src.redMask, src.redShift);
  plan->keyFields[1] = Field(packedKey, src.greenMask, src.greenShift);
  plan->keyFields[2] = Field(packedKey, src.blueMask, src.blueShift);
  plan->skipMask = src.bitDepth == 8
                       ? 0xFFu
                       : DepthMask(src.bitDepth) & (src.redMask | src.greenMask | src.blueMask | src.alphaMask);

  const bool narrows = plan->red.sourceWidth > plan->red.destinationWidth ||
                       plan->green.sourceWidth > plan->green.destinationWidth ||
                       plan->blue.sourceWidth > plan->blue.destinationWidth;
  // Alpha-only output has no colour to dither.
  plan->dither = (ditherMode == kDitherOrdered || ditherMode == kDitherCarry) && narrows && !plan->alphaOnly;
}

bool SamePalette(const PixelFormatDescriptor& a, const PixelFormatDescriptor& b) {
  return std::memcmp(a.palette, b.palette, sizeof(a.palette)) == 0;
}

std::uint8_t* DestinationRow(const ConvertPlan& plan, int row) {
  return plan.destination + (std::int64_t{plan.destinationY} + row) * plan.destinationPitch +
         std::int64_t{plan.destinationX} * plan.destinationBytes;
}

const std::uint8_t* SourceRow(const ConvertPlan& plan, int row) {
  return plan.source + (std::int64_t{plan.sourceTop} + row) * plan.sourcePitch +
         std::int64_t{plan.sourceLeft} * plan.sourceBytes;
}

// Indices become the destination palette's nearest entry for their colour.
void RemapPalette(const ConvertPlan& plan) {
  std::int16_t remap[256];
  std::fill(std::begin(remap), std::end(remap), std::int16_t{-1});
  for (int row = 0; row < plan.height; ++row) {
    const std::uint8_t* in = SourceRow(plan, row);
    std::uint8_t* out = DestinationRow(plan, row);
    for (int x = 0; x < plan.width; ++x) {
      const std::uint8_t index = in[x];
      if (remap[index] < 0) {
        const PaletteEntry& e = plan.sourceFormat.palette[index];
        remap[index] =
            static_cast<std::int16_t>(PackColorByDescriptor(&plan.destinationFormat, e.red, e.green, e.blue, 0) & 0xFF);
      }
      out[x] = static_cast<std::uint8_t>(remap[index]);
    }
  }
}

// Deep colour into an 8-bit image: the nearest colour of the destination
// palette for each pixel, the fields first brought to 8 bits so they compare
// with the palette's 8-bit entries.
void QuantizeToPalette(const ConvertPlan& plan) {
  const PixelFormatDescriptor& src = plan.sourceFormat;
  for (int row = 0; row < plan.height; ++row) {
    const std::uint8_t* in = SourceRow(plan, row);
    std::uint8_t* out = DestinationRow(plan, row);
    for (int x = 0; x < plan.width; ++x) {
      const std::uint32_t v = ReadPixel(in + std::int64_t{x} * plan.sourceBytes, plan.sourceBytes);
      const auto r = static_cast<int>(Rescale(Field(v, src.redMask, src.redShift), src.redWidth, 8));
      const auto g = static_cast<int>(Rescale(Field(v, src.greenMask, src.greenShift), src.greenWidth, 8));
      const auto b = static_cast<int>(Rescale(Field(v, src.blueMask, src.blueShift), src.blueWidth, 8));
      const auto a = static_cast<std::uint8_t>(Rescale(Field(v, src.alphaMask, src.alphaShift), src.alphaWidth, 8));
      out[x] = static_cast<std::uint8_t>(PackColorByDescriptor(&plan.destinationFormat, r, g, b, a));
    }
  }
}

int CopyIndices(const ConvertPlan& plan) {
  int largest = 0;
  for (int row = 0; row < plan.height; ++row) {
    const std::uint8_t* in = SourceRow(plan, row);
    std::memcpy(DestinationRow(plan, row), in, static_cast<std::size_t>(plan.width));
    largest = std::max<int>(largest, *std::max_element(in, in + plan.width));
  }
  return largest;
}

// Same layout: rows copied as bytes, the unused bits coming with them.
void CopyRows(const ConvertPlan& plan) {
  const int bytes = plan.sourceBytes;
  for (int row = 0; row < plan.height; ++row) {
    const std::uint8_t* in = SourceRow(plan, row);
    std::uint8_t* out = DestinationRow(plan, row);
    if (!plan.mirror) {
      // memmove only for a blit within one image: it is the slower copy
      // where the sanitizers stand in for it.
      const std::size_t length = static_cast<std::size_t>(plan.width) * bytes;
      const bool overlap = std::less<>()(in, out + length) && std::less<>()(out, in + length);
      if (overlap) {
        std::memmove(out, in, length);
      } else {
        std::memcpy(out, in, length);
      }
      continue;
    }
    for (int x = 0; x < plan.width; ++x) {
      std::memcpy(out + std::int64_t{plan.width - 1 - x} * bytes, in + std::int64_t{x} * bytes,
                  static_cast<std::size_t>(bytes));
    }
  }
}

bool SameLayout(const PixelFormatDescriptor& a, const PixelFormatDescriptor& b) {
  return a.bitDepth == b.bitDepth && a.redMask == b.redMask && a.greenMask == b.greenMask &&
         a.blueMask == b.blueMask && a.alphaMask == b.alphaMask;
}

}  // namespace

bool IsSkippedByKey(const ConvertPlan& plan, const std::uint8_t* sourcePixel) {
  const std::uint32_t value = plan.sourceBytes == 1 ? sourcePixel[0] : ReadPixel(sourcePixel, plan.sourceBytes);
  return (value & plan.skipMask) == (plan.keyColor & plan.skipMask);
}

std::uint32_t ConvertValue(const ConvertPlan& plan, std::uint32_t sourceValue, std::uint32_t alphaValue) {
  Fields f;
  ConvertFields(plan, sourceValue, alphaValue, &f);
  return Assemble(plan, f);
}

}  // namespace convert

int ConvertColorFormatBlit(void* destination, int destinationPitch, const PixelFormatDescriptor* destinationFormat,
                           const void* source, int sourcePitch, const PixelFormatDescriptor* sourceFormat,
                           const void* alphaImage, int alphaPitch, const PixelFormatDescriptor* alphaFormat,
                           int destinationX, int destinationY, const Rect* sourceRect, int mirror, int keyToAlpha,
                           std::uint32_t keyColor, int ditherMode, int alphaOnly, int redAsAlpha, int skipKey,
                           int remapPalette) {
  using namespace convert;
  ConvertPlan plan;
  if (!BuildPlan(destination, destinationPitch, destinationFormat, source, sourcePitch, sourceFormat, alphaImage,
                 alphaPitch, alphaFormat, destinationX, destinationY, sourceRect, &plan)) {
    return -1;
  }
  SettleOptions(&plan, mirror, keyToAlpha, keyColor, ditherMode, alphaOnly, redAsAlpha, skipKey);
  const PixelFormatDescriptor& dst = plan.destinationFormat;
  const PixelFormatDescriptor& src = plan.sourceFormat;

  if (remapPalette && dst.bytesPerPixel == 1 && src.bytesPerPixel == 1 && !plan.mirror && !SamePalette(dst, src)) {
    RemapPalette(plan);
    return 0;
  }
  if (dst.bitDepth == 8 && src.bitDepth != 8 && !plan.redAsAlpha && !plan.mirror) {
    QuantizeToPalette(plan);
    return 0;
  }
  // Deeper sources were all taken just above, so only 8-bit ones reach here.
  if (dst.bitDepth == 8 && !plan.alphaOnly && !plan.skipKey && !plan.redAsAlpha && !plan.mirror) {
    return CopyIndices(plan);
  }
  if (SameLayout(dst, src) && !plan.keyToAlpha && plan.alphaImage == nullptr && !plan.alphaOnly &&
      !plan.redAsAlpha) {
    CopyRows(plan);
    return 0;
  }
  if (!RunDedicatedLoop(plan)) RunGeneralRule(plan);
  return 0;
}

int BlitBaseImageRect(int sourceX, int sourceY, int width, int height, int destinationX, int destinationY,
                      BaseImage* source, BaseImage* destination) {
  if (source == nullptr || destination == nullptr) return -1;
  if (source->format.dxtKind != 0 && DecompressDxtBaseImage(source) != 0) return -1;
  if (destination->format.dxtKind != 0 && DecompressDxtBaseImage(destination) != 0) return -1;
  std::int64_t sx = sourceX, sy = sourceY, w = width, h = height, dx = destinationX, dy = destinationY;
  if (sx < 0) {
    dx -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    dy -= sy;
    h += sy;
    sy = 0;
  }
  if (dx < 0) {
    w += dx;
    sx -= dx;
    dx = 0;
  }
  if (dy < 0) {
    h += dy;
    sy -= dy;
    dy = 0;
  }
  w = std::min({w, std::int64_t{destination->width} - dx, std::int64_t{source->width} - sx});
  h = std::min({h, std::int64_t{destination->height} - dy, std::int64_t{source->height} - sy});
  if (w < 1 || h < 1) return 0;
  if (source->pixels == nullptr || destination->pixels == nullptr) return -1;
  const Rect rect{static_cast<std::int32_t>(sx), static_cast<std::int32_t>(sy), static_cast<std::int32_t>(sx + w),
                  static_cast<std::int32_t>(sy + h)};
  const int result = ConvertColorFormatBlit(
      destination->pixels, static_cast<int>(destination->pitch), &destination->format, source->pixels,
      static_cast<int>(source->pitch), &source->format, nullptr, 0, nullptr, static_cast<int>(dx),
      static_cast<int>(dy), &rect, 0, 0, 0, kDitherNone, 0, 0, 0, 1);
  return result < 0 ? -1 : 0;
}

}  // namespace qz
