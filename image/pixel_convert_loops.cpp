// Dedicated conversion loops for the common format pairs: 8-8-8 colour into
// 32-bit, into R5G6B5 (with both dither modes) and into 24-bit, per-channel
// tables for other deep formats and a whole-value table for palettised
// sources. The choice is made once per call; each gives the general rule's pixels.
#include <immintrin.h>

#include <cstring>

#include "image/pixel_convert.h"
#include "image/pixel_convert_plan.h"

namespace qz::convert {

namespace {

// Per-channel tables cost up to four times 2^width entries to build; below
// this many pixels the general rule is as quick.
constexpr std::int64_t kTableMinimumPixels = 1024;
constexpr int kTableMaximumWidth = 10;

bool IsChannel(std::uint32_t mask, int shift, int width, std::uint32_t wantMask, int wantShift) {
  return mask == wantMask && shift == wantShift && width == __builtin_popcount(wantMask);
}

bool IsStandardColour(const PixelFormatDescriptor& f) {
  return IsChannel(f.redMask, f.redShift, f.redWidth, 0xFF0000u, 16) &&
         IsChannel(f.greenMask, f.greenShift, f.greenWidth, 0xFF00u, 8) &&
         IsChannel(f.blueMask, f.blueShift, f.blueWidth, 0xFFu, 0);
}

bool IsR5G6B5(const PixelFormatDescriptor& f) {
  return f.bitDepth == 16 && IsChannel(f.redMask, f.redShift, f.redWidth, 0xF800u, 11) &&
         IsChannel(f.greenMask, f.greenShift, f.greenWidth, 0x07E0u, 5) &&
         IsChannel(f.blueMask, f.blueShift, f.blueWidth, 0x001Fu, 0) && f.alphaMask == 0;
}

bool IsContiguous(std::uint32_t mask, int shift, int width) {
  if (width > kTableMaximumWidth) return false;
  return Field(mask, mask, shift) == (std::uint32_t{1} << width) - 1;
}

// Destination pixel `column` of `row`, counted in source order; mirrored rows
// run right to left.
template <bool kMirror>
inline std::int64_t DestinationColumn(const ConvertPlan& plan, int column) {
  return kMirror ? std::int64_t{plan.destinationX} + plan.width - 1 - column
                 : std::int64_t{plan.destinationX} + column;
}

inline const std::uint8_t* SourceRow(const ConvertPlan& plan, int row) {
  return plan.source + (std::int64_t{plan.sourceTop} + row) * plan.sourcePitch +
         std::int64_t{plan.sourceLeft} * plan.sourceBytes;
}

inline std::uint8_t* DestinationRow(const ConvertPlan& plan, int row) {
  return plan.destination + (std::int64_t{plan.destinationY} + row) * plan.destinationPitch;
}

inline std::uint32_t ReadColour888(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
}

// One four-byte access each (pixels are stored little-endian, as the host).
inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
inline void Store16(std::uint8_t* p, std::uint32_t v) {
  const auto v16 = static_cast<std::uint16_t>(v);
  std::memcpy(p, &v16, 2);
}

enum class Alpha32 { kConstant, kSource, kKey };

// 24-bit pixels into 32-bit ones with `high` in their top byte, four at a
// time (a byte shuffle of 16 bytes read, of which 12 are the pixels); returns
// the pixels done, leaving the last at least two (whose 16-byte read would
// pass the row's end) to the caller. The build targets plain x86-64, so it
// runs only where the processor has the shuffle.
__attribute__((target("ssse3"))) int Expand24To32Ssse3(const std::uint8_t* in, std::uint8_t* out, int width,
                                                       std::uint32_t high) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i top = _mm_set1_epi32(static_cast<int>(high));
  int x = 0;
  for (; x + 6 <= width; x += 4, in += 12, out += 16) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(_mm_shuffle_epi8(pixels, spread), top));
  }
  return x;
}

bool HasSsse3() {
  static const bool available = __builtin_cpu_supports("ssse3") != 0;
  return available;
}

// 24- or 32-bit 8-8-8 colour into 32-bit 8-8-8 colour with an 8-bit alpha at
// bit 24 or none.
template <int kSourceBytes, Alpha32 kAlpha, bool kMirror, bool kSkipKey>
void Colour888To32(const ConvertPlan& plan) {
  const std::uint32_t constant = Place(plan.fullAlpha, plan.alpha.destinationShift) | plan.destinationUnused;
  const std::uint32_t opaque = 0xFF000000u | plan.destinationUnused;
  const std::uint32_t key = (plan.keyFields[0] << 16) | (plan.keyFields[1] << 8) | plan.keyFields[2];
  const std::uint32_t skipMask = plan.skipMask;
  const std::uint32_t skipValue = plan.keyColor & skipMask;
  const std::uint32_t unused = plan.destinationUnused;
  // Held in locals: the byte stores below could alias the plan's fields, which
  // would otherwise be read again for every pixel.
  const int width = plan.width;
  const std::int64_t firstColumn = DestinationColumn<kMirror>(plan, 0);
  const std::int64_t columnStep = kMirror ? -1 : 1;
  constexpr bool kPlainExpand = kSourceBytes == 3 && kAlpha == Alpha32::kConstant && !kMirror && !kSkipKey;
  const bool shuffle = kPlainExpand && HasSsse3();
  for (int row = 0; row < plan.height; ++row) {
    const std::uint8_t* in = SourceRow(plan, row);
    std::uint8_t* out = DestinationRow(plan, row) + firstColumn * 4;
    const int shuffled = shuffle ? Expand24To32Ssse3(in, out, width, constant) : 0;
    in += std::int64_t{shuffled} * kSourceBytes;
    out += std::int64_t{shuffled} * 4;
    for (int x = shuffled; x < width; ++x, in += kSourceBytes, out += columnStep * 4) {
      // A 24-bit pixel is read as four bytes while its row has a byte after it.
      const std::uint32_t value = kSourceBytes == 4 ? Load32(in)
                                  : x + 1 < width   ? Load32(in) & 0xFFFFFFu
                                                    : ReadColour888(in);
      if (kSkipKey && (value & skipMask) == skipValue) continue;
      const std::uint32_t colour = value & 0xFFFFFFu;
      std::uint32_t result;
      if constexpr (kAlpha == Alpha32::kConstant) {
        result = colour | constant;
      } else if constexpr (kAlpha == Alpha32::kSource) {
        result = value | unused;
      } else {
        result = colour == key ? colour | unused : colour | opaque;
      }
      Store32(out, result);
    }
  }
}

template <int kSourceBytes, Alpha32 kAlpha, bool kMirror>
void Colour888To32Skip(const ConvertPlan& plan) {
  if (plan.skipKey) {
    Colour888To32<kSourceBytes, kAlpha, kMirror, true>(plan);
  } else {
    Colour888To32<kSourceBytes, kAlpha, kMirror, false>(plan);
  }
}

template <int kSourceBytes, Alpha32 kAlpha>
void Colour888To32Mirror(const ConvertPlan& plan) {
  if (plan.mirror) {
    Colour888To32Skip<kSourceBytes, kAlpha, true>(plan);
  } else {
    Colour888To32Skip<kSourceBytes, kAlpha, false>(plan);
  }
}

template <int kSourceBytes>
void Colour888To32Alpha(const ConvertPlan& plan) {
  if (plan.keyToAlpha) {
    Colour888To32Mirror<kSourceBytes, Alpha32::kKey>(plan);
  } else if (plan.alphaFrom == AlphaFrom::kSource) {
    Colour888To32Mirror<kSourceBytes, Alpha32::kSource>(plan);
  } else {
    Colour888To32Mirror<kSourceBytes, Alpha32::kConstant>(plan);
  }
}

bool TryColour888To32(const ConvertPlan& plan) {
  const PixelFormatDescriptor& src = plan.sourceFormat;
  const PixelFormatDescriptor& dst = plan.destinationFormat;
  if ((src.bitDepth != 24 && src.bitDepth != 32) || dst.bitDepth != 32 || !IsStandardColour(src) ||
      !IsStandardColour(dst) || plan.alphaOnly || plan.redAsAlpha || plan.alphaFrom == AlphaFrom::kImage) {
    return false;
  }
  const bool destinationAlpha = dst.alphaMask != 0;
  if (destinationAlpha && !IsChannel(dst.alphaMask, dst.alphaShift, dst.alphaWidth, 0xFF000000u, 24)) return false;
  if (plan.alphaFrom == AlphaFrom::kSource &&
      !IsChannel(src.alphaMask, src.alphaShift, src.alphaWidth, 0xFF000000u, 24)) {
    return false;
  }
  if (src.bitDepth == 24) {
    Colour888To32Alpha<3>(plan);
  } else {
    Colour888To32Alpha<4>(plan);
  }
  return true;
}

// 8-8-8 colour into R5G6B5. Ordered dither rounds a channel up when its lost
// bits exceed (2^lost * m) / 16; the carry mode sums lost bits along the rows.
template <int kSourceBytes, int kDither, bool kMirror>
void Colour888To565(const ConvertPlan& plan) {
  const std::uint32_t unused = plan.destinationUnused;
  std::uint32_t carryRed = 0, carryGreen = 0, carryBlue = 0;
  for (int row = 0; row < plan.height; ++row) {
    const std::uint8_t* in = SourceRow(plan, row);
    std::uint8_t* out = DestinationRow(plan, row);
    const int y = plan.destinationY + row;
    // Thresholds of this row for x & 3: 3 lost bits (red, blue) and 2 (green).
    std::uint32_t threshold3[4], threshold2[4];
    for (int i = 0; i < 4; ++i) {
      threshold3[i] = (8u * kOrderedDither[y & 3][i]) / 16;
      threshold2[i] = (4u * kOrderedDither[y & 3][i]) / 16;
    }
    for (int x = 0; x < plan.width; ++x) {
      const std::uint8_t* p = in + std::int64_t{x} * kSourceBytes;
      std::uint32_t blue = p[0], green = p[1], red = p[2];
      const std::int64_t column = DestinationColumn<kMirror>(plan, x);
      std::uint32_t r = red >> 3, g = green >> 2, b = blue >> 3;
      if constexpr (kDither == kDitherOrdered) {
        const int m = static_cast<int>(column & 3);
        r += (red & 7) > threshold3[m];
        g += (green & 3) > threshold2[m];
        b += (blue & 7) > threshold3[m];
      } else if constexpr (kDither == kDitherCarry) {
        carryRed += red & 7;
        carryGreen += green & 3;
        carryBlue += blue & 7;
        r += carryRed > 7;
        g += carryGreen > 3;
        b += carryBlue > 7;
        carryRed &= 7;
        carryGreen &= 3;
        carryBlue &= 7;
      }
      if constexpr (kDither != kDitherNone) {
        r = r > 31 ? 31 : r;
        g = g > 63 ? 63 : g;
        b = b > 31 ? 31 : b;
      }
      Store16(out + column * 2, (r << 11) | (g << 5) | b | unused);
    }
  }
}

template <int kSourceBytes, int kDither>
void Colour888To565Mirror(const ConvertPlan& plan) {
  if (plan.mirror) {
    Colour888To565<kSourceBytes, kDither, true>(plan);
  } else {
    Colour888To565<kSourceBytes, kDither, false>(plan);
  }
}

template <int kSourceBytes>
void Colour888To565Dither(const ConvertPlan& plan) {
  if (!plan.dither) {
    Colour888To565Mirror<kSourceBytes, kDitherNone>(plan);
  } else if (plan.ditherMode == kDitherOrdered) {
    Colour888To565Mirror<kSourceBytes, kDitherOrdered>(plan);
  } else {
    Colour888To565Mirror<kSourceBytes, kDitherCarry>(plan);
  }
}

bool TryColour888To565(const ConvertPlan& plan) {
  const PixelFormatDescriptor& src = plan.sourceFormat;
  if ((src.bitDepth != 24 && src.bitDepth != 32) || !IsStandardColour(src) || !IsR5G6B5(plan.destinationFormat) ||
      plan.alphaOnly || plan.redAsAlpha || plan.skipKey) {
    return false;
  }
  if (src.bitDepth == 24) {
    Colour888To565Dither<3>(plan);
  } else {
    Colour888To565Dither<4>(plan);
  }
  return true;
}

// 32-bit 8-8-8 colour into 24-bit 8-8-8 colour.
template <bool kMirror>
void Colour32To24(const ConvertPlan& plan) {
  for (int row = 0; row < plan.height; ++row) {
    const std::uint8_t* in = SourceRow(plan, row);
    std::uint8_t* out = DestinationRow(plan, row);
    for (int x = 0; x < plan.width; ++x) {
      std::uint8_t* q = out + DestinationColumn<kMirror>(plan, x) * 3;
      q[0] = in[x * 4];
      q[1] = in[x * 4 + 1];
      q[2] = in[x * 4 + 2];
    }
  }
}

bool TryColour32To24(const ConvertPlan& plan) {
  const PixelFormatDescriptor& src = plan.sourceFormat;
  const PixelFormatDescriptor& dst = plan.destinationFormat;
  if (src.bitDepth != 32 || dst.bitDepth != 24 || !IsStandardColour(src) || !IsStandardColour(dst) ||
      dst.alphaMask != 0 || plan.alphaOnly || plan.skipKey) {
    return false;
  }
  if (plan.mirror) {
    Colour32To24<true>(plan);
  } else {
    Colour32To24<false>(plan);
  }
  return true;
}

// Other deep formats without key, dither or alpha image: each channel maps
// through a table of its possible fields, already placed at its destination bits.
struct ChannelTables {
  std::uint32_t red[1 << kTableMaximumWidth];
  std::uint32_t green[1 << kTableMaximumWidth];
  std::uint32_t blue[1 << kTableMaximumWidth];
  std::uint32_t alpha[1 << kTableMaximumWidth];
};

void FillTable(std::uint32_t* table, const ChannelMap& map, bool zero) {
  const std::uint32_t count = std::uint32_t{1} << map.sourceWidth;
  for (std::uint32_t field = 0; field < count; ++field) {
    table[field] = zero ? 0 : Place(Rescale(field, map.sourceWidth, map.destinationWidth), map.destinationShift);
  }
}

template <bool kMirror>
void TableLoop(const ConvertPlan& plan, const ChannelTables& t, bool alphaFromField, std::uint32_t constant) {
  const int sourceBytes = plan.sourceBytes;
  const int destinationBytes = plan.destinationBytes;
  const ChannelMap& r = plan.red;
  const ChannelMap& g = plan.green;
  const ChannelMap& b = plan.blue;
  const ChannelMap& a = plan.alpha;
  for (int row = 0; row < plan.height; ++row) {
    const std::uint8_t* in = SourceRow(plan, row);
    std::uint8_t* out = DestinationRow(plan, row);
    for (int x = 0; x < plan.width; ++x) {
      const std::uint32_t v = ReadPixel(in + std::int64_t{x} * sourceBytes, sourceBytes);
      std::uint32_t result = t.red[Field(v, r.sourceMask, r.sourceShift)] |
                             t.green[Field(v, g.sourceMask, g.sourceShift)] |
                             t.blue[Field(v, b.sourceMask, b.sourceShift)] | constant;
      if (alphaFromField) result |= t.alpha[Field(v, a.sourceMask, a.sourceShift)];
      WritePixel(out + DestinationColumn<kMirror>(plan, x) * destinationBytes, destinationBytes, result);
    }
  }
}

bool TryChannelTables(const ConvertPlan& plan) {
  const PixelFormatDescriptor& src = plan.sourceFormat;
  const PixelFormatDescriptor& dst = plan.destinationFormat;
  if (src.bitDepth == 8 || dst.bitDepth == 8 || plan.dither || plan.keyToAlpha || plan.skipKey ||
      plan.alphaFrom == AlphaFrom::kImage || std::int64_t{plan.width} * plan.height < kTableMinimumPixels) {
    return false;
  }
  const bool alphaFromField = plan.redAsAlpha || plan.alphaFrom == AlphaFrom::kSource;
  const ChannelMap* maps[4] = {&plan.red, &plan.green, &plan.blue, &plan.alpha};
  for (int c = 0; c < (alphaFromField ? 4 : 3); ++c) {
    if (!IsContiguous(maps[c]->sourceMask, maps[c]->sourceShift, maps[c]->sourceWidth)) return false;
  }
  ChannelTables tables;
  FillTable(tables.red, plan.red, plan.alphaOnly);
  FillTable(tables.green, plan.green, plan.alphaOnly);
  FillTable(tables.blue, plan.blue, plan.alphaOnly);
  if (alphaFromField) FillTable(tables.alpha, plan.alpha, false);
  std::uint32_t constant = alphaFromField ? 0 : Place(plan.fullAlpha, plan.alpha.destinationShift);
  if (plan.destinationBytes != 3) constant |= plan.destinationUnused;
  if (plan.mirror) {
    TableLoop<true>(plan, tables, alphaFromField, constant);
  } else {
    TableLoop<false>(plan, tables, alphaFromField, constant);
  }
  return true;
}

// Palettised sources: every index converts the same way, so the 256 results
// (and whether skip key leaves them out) are worked out once.
template <bool kMirror>
void PaletteLoop(const ConvertPlan& plan, const std::uint32_t* values, const bool* skipped) {
  const int destinationBytes = plan.destinationBytes;
  for (int row = 0; row < plan.height; ++row) {
    const std::uint8_t* in = SourceRow(plan, row);
    std::uint8_t* out = DestinationRow(plan, row);
    for (int x = 0; x < plan.width; ++x) {
      const std::uint8_t index = in[x];
      if (skipped[index]) continue;
      WritePixel(out + DestinationColumn<kMirror>(plan, x) * destinationBytes, destinationBytes, values[index]);
    }
  }
}

bool TryPaletteTable(const ConvertPlan& plan) {
  if (plan.sourceFormat.bitDepth != 8 || plan.destinationFormat.bitDepth == 8 || plan.dither ||
      plan.alphaFrom == AlphaFrom::kImage) {
    return false;
  }
  std::uint32_t values[256];
  bool skipped[256];
  for (int i = 0; i < 256; ++i) {
    const auto index = static_cast<std::uint8_t>(i);
    values[i] = ConvertValue(plan, ReadSourceValue(plan.sourceFormat, &index, 1), 0);
    skipped[i] = plan.skipKey && IsSkippedByKey(plan, &index);
  }
  if (plan.mirror) {
    PaletteLoop<true>(plan, values, skipped);
  } else {
    PaletteLoop<false>(plan, values, skipped);
  }
  return true;
}

}  // namespace

bool RunDedicatedLoop(const ConvertPlan& plan) {
  return TryColour888To32(plan) || TryColour888To565(plan) || TryColour32To24(plan) || TryPaletteTable(plan) ||
         TryChannelTables(plan);
}

}  // namespace qz::convert
