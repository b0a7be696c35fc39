// Filled rectangles and lines. The colour, mode and parameter are settled once
// per call into one per-pixel operation; fills and lines then run it over
// their own pixel walks.
#include "softrender/shapes.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/string_util.h"
#include "softrender/draw_state.h"
#include "softrender/pixel_kernels.h"

namespace qz {
namespace {

// Per-pixel rule of one blend mode on one format. `c` is the modulated
// colour; 16-bit pixels are changed in their low word only, so the same
// rule serves destinations whose 4-byte pixels carry alpha.
template <bool Wide, int Mode>
struct ShapeOp {
  std::uint32_t c;
  std::uint32_t t;  // colour scaled by the parameter, for add and subtract
  std::int32_t p;
  const std::int32_t* delta;  // signed product row of p, indexed by -255..255

  void operator()(std::uint8_t* px) const {
    if constexpr (Wide) {
      std::uint32_t d;
      std::memcpy(&d, px, 4);
      d = Apply32(d);
      std::memcpy(px, &d, 4);
    } else {
      std::uint16_t d;
      std::memcpy(&d, px, 2);
      d = static_cast<std::uint16_t>(Apply16(d));
      std::memcpy(px, &d, 2);
    }
  }

  std::uint32_t Apply32(std::uint32_t d) const {
    if constexpr (Mode == 0) {
      return c;
    } else if constexpr (Mode == 2) {
      return pixel::PackedAdd32(d, t, true);
    } else if constexpr (Mode == 3) {
      return pixel::PackedSub32(d, t);
    } else {
      std::uint32_t out = d & 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        std::int32_t dc = static_cast<std::int32_t>((d >> shift) & 0xFF);
        std::int32_t cc = static_cast<std::int32_t>((c >> shift) & 0xFF);
        std::int32_t r;
        if constexpr (Mode == 1) {
          r = (dc * 256 + (cc - dc) * p) >> 8;
        } else if constexpr (Mode == 4) {
          r = (dc * cc) >> 8;
        } else if constexpr (Mode == 10) {
          r = (dc * 256 + ((255 - cc) - dc) * p) >> 8;
        } else {
          std::int32_t m = (dc * cc) >> 8;
          r = (dc * 256 + (m - dc) * p) >> 8;
        }
        out |= static_cast<std::uint32_t>(r) << shift;
      }
      return out;
    }
  }

  std::uint32_t Apply16(std::uint32_t d) const {
    if constexpr (Mode == 0) {
      return c;
    } else if constexpr (Mode == 2) {
      return pixel::PackedAdd565(d, t, true);
    } else if constexpr (Mode == 3) {
      return pixel::PackedSub565(d, t);
    } else {
      using F = pixel::Dst565;
      int ch[3];
      for (int i = 0; i < 3; ++i) {
        const int dc = F::Channel(d, i);
        const int cc = F::Channel(c, i);
        if constexpr (Mode == 1) {
          ch[i] = dc + delta[cc - dc];
        } else if constexpr (Mode == 4) {
          ch[i] = (dc * cc) >> F::Width(i);
        } else if constexpr (Mode == 10) {
          ch[i] = dc + delta[(F::Max(i) - cc) - dc];
        } else {
          ch[i] = dc + delta[((dc * cc) >> F::Width(i)) - dc];
        }
      }
      return F::Pack(0, ch[0], ch[1], ch[2]);
    }
  }
};

std::uint32_t ModulateColor(std::uint32_t color, bool wide) {
  const std::uint32_t mod = gMemImgDrawState.colorMod & 0xFFFFFFu;
  if (mod == 0xFFFFFFu) return color;
  if (wide) {
    std::uint32_t out = color & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
      out |= ((((color >> shift) & 0xFF) * ((mod >> shift) & 0xFF)) >> 8) << shift;
    }
    return out;
  }
  using F = pixel::Dst565;
  int ch[3];
  for (int i = 0; i < 3; ++i) ch[i] = (F::Channel(color, i) * static_cast<int>((mod >> (8 * i)) & 0xFF)) >> 8;
  return F::Pack(0, ch[0], ch[1], ch[2]);
}

// Colour scaled per channel by the parameter through the product table.
std::uint32_t ScaledTerm(std::uint32_t c, std::int32_t p, bool wide) {
  const std::uint32_t* row = MulDiv255Row(p);
  std::uint32_t out = 0;
  if (wide) {
    for (int shift = 0; shift < 24; shift += 8) out |= row[(c >> shift) & 0xFF] << shift;
    return out;
  }
  using F = pixel::Dst565;
  return F::Pack(0, static_cast<int>(row[F::Channel(c, 0)]), static_cast<int>(row[F::Channel(c, 1)]),
                 static_cast<int>(row[F::Channel(c, 2)]));
}

// Settles mode, parameter and colour once and hands the chosen operation to
// `walk`; modes that draw nothing (and p tests that say so) never call it.
template <bool Wide, typename Walk>
void WithShapeOp(std::uint32_t color, Walk&& walk) {
  const std::int32_t mode = gMemImgDrawState.blendMode;
  const std::int32_t p = gMemImgDrawState.blendParam;
  const std::uint32_t c = ModulateColor(Wide ? color : (color & 0xFFFFu), Wide);
  if (p < 0 || p > 255) return;
  const std::int32_t* delta = DeltaMulDiv255Row(p);
  switch (mode) {
    case 0:
      walk(ShapeOp<Wide, 0>{c, 0, p, delta});
      return;
    case 1:
      if (p == 0) return;
      if (p == 255) {
        walk(ShapeOp<Wide, 0>{c, 0, p, delta});
      } else {
        walk(ShapeOp<Wide, 1>{c, 0, p, delta});
      }
      return;
    case 2:
      if (p == 0) return;
      walk(ShapeOp<Wide, 2>{c, ScaledTerm(c, p, Wide), p, delta});
      return;
    case 3:
      if (p == 0) return;
      walk(ShapeOp<Wide, 3>{c, ScaledTerm(c, p, Wide), p, delta});
      return;
    case 4:
      walk(ShapeOp<Wide, 4>{c, 0, p, delta});
      return;
    case 10:
      walk(ShapeOp<Wide, 10>{c, 0, p, delta});
      return;
    case 11:
      walk(ShapeOp<Wide, 11>{c, 0, p, delta});
      return;
    default:
      return;
  }
}

template <typename Op>
void FillRows(const Op& op, std::uint8_t* row, std::int32_t pitch, std::int32_t bpp,
              std::int32_t w, std::int32_t h) {
  for (std::int32_t y = 0; y < h; ++y, row += pitch) {
    std::uint8_t* px = row;
    for (std::int32_t x = 0; x < w; ++x, px += bpp) op(px);
  }
}

// The plain store gets whole-row writes: 32-bit values, or pairs of 16-bit
// pixels per 32-bit store with a last 16-bit store for an odd width.
void FillRowsStore(std::uint32_t c, bool wide, std::uint8_t* row, std::int32_t pitch,
                   std::int32_t w, std::int32_t h) {
  const std::uint32_t pair = wide ? c : ((c & 0xFFFFu) | (c << 16));
  const std::uint16_t single = static_cast<std::uint16_t>(c);
  const std::int32_t words = wide ? w : w / 2;
  for (std::int32_t y = 0; y < h; ++y, row += pitch) {
    std::uint8_t* px = row;
    for (std::int32_t i = 0; i < words; ++i, px += 4) std::memcpy(px, &pair, 4);
    if (!wide && (w & 1)) std::memcpy(px, &single, 2);
  }
}

// Mode 1 on 32-bit pixels, four at a time (SSE2 is in every x86-64): each
// colour channel's (d * 256 + (c - d) * p) >> 8 is the same non-negative
// (d * (256 - p) + c * p) >> 8, at most 255 * 256, so it stays in 16 bits;
// alpha bytes are kept. The row's last pixels go through the scalar rule.
void BlendRowsWide(const ShapeOp<true, 1>& op, std::uint8_t* row, std::int32_t pitch, std::int32_t w,
                   std::int32_t h) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i keep = _mm_set1_epi16(static_cast<short>(256 - op.p));
  const __m128i added = _mm_mullo_epi16(_mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(op.c)), zero),
                                        _mm_set1_epi16(static_cast<short>(op.p)));
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (std::int32_t y = 0; y < h; ++y, row += pitch) {
    std::uint8_t* px = row;
    std::int32_t x = 0;
    for (; x + 4 <= w; x += 4, px += 16) {
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px));
      const __m128i low = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), keep), added), 8);
      const __m128i high = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), keep), added), 8);
      const __m128i blended = _mm_packus_epi16(low, high);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(px),
                       _mm_or_si128(_mm_and_si128(d, alpha), _mm_andnot_si128(alpha, blended)));
    }
    for (; x < w; ++x, px += 4) op(px);
  }
}

// Clip area of a shape: the draw area, kept inside the view as well so that
// a draw area set for another target can never reach past this one.
Rect ShapeClip(const MEMIMG* dst) {
  Rect area = gMemImgDrawState.drawArea;
  const Rect view{0, 0, dst->width, dst->height};
  ClipRect(&area, &view);
  return area;
}

bool IsShapeFormat(std::int32_t format) {
  return format == kMemImgFormatRgb565 || format == kMemImgFormatXrgb32;
}

// Mirrors the truncating conversion of the line clip: toward zero, with
// values out of the i32 range giving the minimum.
std::int32_t Trunc(double v) { return DoubleToInt(v); }

}  // namespace

void FillMemImgRect(MEMIMG* dst, const Rect* rect, std::uint32_t color) {
  if (!MemImgViewInsideBlock(dst)) return;
  const MemImgPixelBlock* block = dst->block;
  if (block->palettised != 0 || block->hasAlpha != 0 || !IsShapeFormat(block->format)) return;
  Rect area{0, 0, dst->width, dst->height};
  if (rect != nullptr) {
    area.left = std::min(rect->left, rect->right);
    area.right = std::max(rect->left, rect->right);
    area.top = std::min(rect->top, rect->bottom);
    area.bottom = std::max(rect->top, rect->bottom);
  }
  const Rect clip = ShapeClip(dst);
  ClipRect(&area, &clip);
  const std::int32_t w = area.right - area.left;
  const std::int32_t h = area.bottom - area.top;
  if (w <= 0 || h <= 0) return;
  const bool wide = block->format == 1;
  const std::int32_t bpp = wide ? 4 : 2;
  std::uint8_t* row = dst->pixels + static_cast<std::ptrdiff_t>(area.top) * block->pitch +
                      static_cast<std::ptrdiff_t>(area.left) * bpp;
  auto fill = [&](const auto& op) {
    using Op = std::decay_t<decltype(op)>;
    if constexpr (std::is_same_v<Op, ShapeOp<true, 0>> || std::is_same_v<Op, ShapeOp<false, 0>>) {
      FillRowsStore(op.c, wide, row, block->pitch, w, h);
    } else if constexpr (std::is_same_v<Op, ShapeOp<true, 1>>) {
      BlendRowsWide(op, row, block->pitch, w, h);
    } else {
      FillRows(op, row, block->pitch, bpp, w, h);
    }
  };
  if (wide) {
    WithShapeOp<true>(color, fill);
  } else {
    WithShapeOp<false>(color, fill);
  }
}

void DrawMemImgLine(MEMIMG* dst, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                    std::int32_t y2, std::uint32_t color) {
  if (!MemImgViewInsideBlock(dst)) return;
  const MemImgPixelBlock* block = dst->block;
  if (block->palettised != 0 || !IsShapeFormat(block->format)) return;
  const Rect area = ShapeClip(dst);
  const std::int32_t L = area.left, T = area.top, R = area.right, B = area.bottom;
  if (R <= L || B <= T) return;
  if (std::max(y1, y2) < T || std::min(y1, y2) > B - 1 || std::min(x1, x2) > R - 1 ||
      std::max(x1, x2) < L) {
    return;
  }
  // Slopes and offsets from the points as passed; differences in double so
  // that extreme coordinates cannot overflow.
  const double dx = static_cast<double>(x2) - x1;
  const double dy = static_cast<double>(y2) - y1;
  const double A = (y1 == y2) ? 0.0 : dx / dy;
  const double K = (x1 == x2) ? 0.0 : dy / dx;
  const double Cx = x1 - A * y1;
  const double Cy = y1 - K * x1;
  if (x1 < L) {
    x1 = L;
    y1 = Trunc(K * L + Cy);
  } else if (x1 >= R) {
    x1 = R - 1;
    y1 = Trunc(K * (R - 1) + Cy);
  }
  if (x2 < L) {
    x2 = L - 1;
    y2 = Trunc(K * (L - 1) + Cy);
  } else if (x2 >= R) {
    x2 = R;
    y2 = Trunc(K * R + Cy);
  }
  if (y1 < T) {
    y1 = T;
    x1 = Trunc(A * T + Cx);
  } else if (y1 >= B) {
    y1 = B - 1;
    x1 = Trunc(A * (B - 1) + Cx);
  }
  if (y2 < T) {
    y2 = T - 1;
    x2 = Trunc(A * (T - 1) + Cx);
  } else if (y2 >= B) {
    y2 = B;
    x2 = Trunc(A * B + Cx);
  }
  x1 = std::clamp(x1, L, R - 1);
  y1 = std::clamp(y1, T, B - 1);
  if (x2 < L) x2 = L - 1;
  if (x2 >= R) x2 = R;
  if (y2 < T) y2 = T - 1;
  if (y2 >= B) y2 = B;

  const std::int64_t ex = static_cast<std::int64_t>(x2) - x1;
  const std::int64_t ey = static_cast<std::int64_t>(y2) - y1;
  if (ex == 0 && ey == 0) return;
  const std::int64_t sx = ex < 0 ? -1 : 1;
  const std::int64_t sy = ey < 0 ? -1 : 1;
  const std::int64_t ax = ex < 0 ? -ex : ex;
  const std::int64_t ay = ey < 0 ? -ey : ey;
  const bool wide = block->format == 1;
  const std::int32_t bpp = block->colorDesc->bytesPerPixel;
  const std::ptrdiff_t pitch = block->pitch;
  // Major and minor steps in bytes, so the walk is one add per pixel.
  const bool xMajor = ax >= ay;
  const std::int64_t count = xMajor ? ax : ay;
  const std::int64_t minorLen = xMajor ? ay : ax;
  const std::ptrdiff_t majorStep = xMajor ? sx * bpp : sy * pitch;
  const std::ptrdiff_t minorStep = xMajor ? sy * pitch : sx * bpp;
  std::uint8_t* start = dst->pixels + static_cast<std::ptrdiff_t>(y1) * pitch +
                        static_cast<std::ptrdiff_t>(x1) * bpp;
  auto walk = [&](const auto& op) {
    std::uint8_t* px = start;
    std::int64_t err = 0;
    for (std::int64_t i = 0; i < count; ++i) {
      op(px);
      px += majorStep;
      err += minorLen;
      if (err >= count) {
        px += minorStep;
        err -= count;
      }
    }
  };
  if (wide) {
    WithShapeOp<true>(color, walk);
  } else {
    WithShapeOp<false>(color, walk);
  }
}

void DrawMemImgLines(MEMIMG* dst, const MemImgLineRecord* records, std::int32_t count) {
  if (records == nullptr) return;
  for (std::int32_t i = 0; i < count; ++i) {
    DrawMemImgLine(dst, records[i].x1, records[i].y1, records[i].x2, records[i].y2,
                   records[i].color);
  }
}

}  // namespace qz
