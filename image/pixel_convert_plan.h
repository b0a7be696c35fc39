// The settled form of one conversion call, shared by the general per-pixel
// rule and the dedicated loops: every option and channel mapping is decided
// once per call so the inner loops do not look at formats per pixel.
#pragma once

#include <cstdint>

#include "image/base_image.h"

namespace qz::convert {

enum class AlphaFrom { kFull, kSource, kImage };

struct ChannelMap {
  std::uint32_t sourceMask;
  int sourceShift;
  int sourceWidth;
  int destinationShift;
  int destinationWidth;
};

struct ConvertPlan {
  PixelFormatDescriptor destinationFormat;
  PixelFormatDescriptor sourceFormat;
  PixelFormatDescriptor alphaFormat;  // all zero without an alpha image
  std::uint8_t* destination;
  std::int64_t destinationPitch;
  const std::uint8_t* source;
  std::int64_t sourcePitch;
  const std::uint8_t* alphaImage;
  std::int64_t alphaPitch;
  int destinationBytes;  // bytes per pixel by depth
  int sourceBytes;
  int alphaBytes;
  int destinationX, destinationY;
  int sourceLeft, sourceTop;
  int width, height;
  bool mirror, keyToAlpha, alphaOnly, redAsAlpha, skipKey;
  int ditherMode;
  std::uint32_t keyColor;
  AlphaFrom alphaFrom;
  ChannelMap red, green, blue;
  ChannelMap alpha;            // unused for kFull unless red-as-alpha
  std::uint32_t fullAlpha;     // destination alpha mask >> shift
  std::uint32_t keyFields[3];  // key colour's red, green, blue fields in the source format
  std::uint32_t skipMask;      // bits compared by skip key
  std::uint32_t destinationUnused;
  bool dither;                 // a dither mode is set and some colour channel narrows
};

// A channel field brought from `from` bits to `to` bits; widening keeps full
// intensity full (31 in 5 bits is 255 in 8).
inline std::uint32_t Rescale(std::uint32_t value, int from, int to) {
  if (from == to) return value;
  if (from > to) return static_cast<std::uint32_t>(std::uint64_t{value} >> (from - to));
  if (from == 0) return 0;
  const int d = to - from;
  const std::uint64_t v = value;
  return static_cast<std::uint32_t>((v << d) + v * ((std::uint64_t{1} << d) - 1) / ((std::uint64_t{1} << from) - 1));
}

inline std::uint32_t Field(std::uint32_t value, std::uint32_t mask, int shift) {
  return shift >= 32 ? 0 : (value & mask) >> shift;
}

inline std::uint32_t Place(std::uint32_t field, int shift) { return shift >= 32 ? 0 : field << shift; }

inline std::uint32_t ReadPixel(const std::uint8_t* p, int bytes) {
  switch (bytes) {
    case 2:
      return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
    case 3:
      return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    default:
      return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) | (std::uint32_t{p[3]} << 24);
  }
}

inline void WritePixel(std::uint8_t* p, int bytes, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  if (bytes >= 2) p[1] = static_cast<std::uint8_t>(value >> 8);
  if (bytes >= 3) p[2] = static_cast<std::uint8_t>(value >> 16);
  if (bytes >= 4) p[3] = static_cast<std::uint8_t>(value >> 24);
}

// The source value of one pixel: palettised sources give their entry as a
// 32-bit value (blue, green, red, fourth byte), which the channel fields describe.
inline std::uint32_t ReadSourceValue(const PixelFormatDescriptor& format, const std::uint8_t* p, int bytes) {
  if (bytes == 1) {
    const PaletteEntry& e = format.palette[p[0]];
    return static_cast<std::uint32_t>(e.blue | (e.green << 8) | (e.red << 16)) | (std::uint32_t{e.alpha} << 24);
  }
  return ReadPixel(p, bytes);
}

// True when skip key leaves this source pixel's destination alone.
bool IsSkippedByKey(const ConvertPlan& plan, const std::uint8_t* sourcePixel);

// The destination value of one source value before dithering (unused bits
// included for 16- and 32-bit destinations). `alphaValue` is the alpha image's
// value of the same pixel when alpha comes from it.
std::uint32_t ConvertValue(const ConvertPlan& plan, std::uint32_t sourceValue, std::uint32_t alphaValue);

// Runs a dedicated loop when one serves the plan; false leaves the work to
// the general rule.
bool RunDedicatedLoop(const ConvertPlan& plan);

// The 4x4 ordered-dither matrix, indexed [y & 3][x & 3].
extern const std::uint8_t kOrderedDither[4][4];

}  // namespace qz::convert
