// Triangle set-up and row walk. Rows and columns are floored from 14.18 (an
// arithmetic shift), so triangles above or left of the origin keep their
// shape; spans include both edge pixels and are clipped to the draw area.
#include "softrender/triangle.h"

#include <algorithm>
#include <utility>

#include "core/string_util.h"
#include "softrender/draw_state.h"
#include "softrender/span_kernels.h"

namespace qz {
namespace {

constexpr std::int32_t kOne = 262144;   // one pixel in 14.18
constexpr std::int32_t kHalf = 131072;  // half a pixel

// 32-bit wrapping arithmetic: vertex values outside the 14.18 range wrap
// rather than overflow.
std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
std::int32_t WrapSub(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
std::int32_t WrapMul(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
std::int32_t Pixel(std::int32_t fixed) { return fixed >> 18; }

struct FixedVertex {
  std::int32_t x, y, u, v;
};

// Exchange sort over the pairs (0,1), (0,2), (1,2), swapping on a strictly
// greater key: among equal keys the argument order stays.
template <class Key>
void Order3(FixedVertex* v[3], Key key) {
  constexpr int kPairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
  for (const auto& pr : kPairs) {
    if (key(*v[pr[0]]) > key(*v[pr[1]])) std::swap(v[pr[0]], v[pr[1]]);
  }
}

struct Segment {
  std::int32_t x;
  std::int32_t step;
  std::int32_t startY;
  std::int32_t rows;
};

Segment MakeSegment(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
  const std::int32_t rows = Pixel(y1) - Pixel(y0);
  const std::int32_t dx = WrapSub(x1, x0);
  return {x0, rows > 0 ? dx / rows : 0, y0, rows};
}

// One side of the triangle: one segment, or an upper and a lower one.
struct Side {
  Segment seg[2];
  int count;
};

struct Gradients {
  std::int32_t du, dv;        // per column
  std::int32_t rowDu, rowDv;  // per row
};

std::int32_t Gradient(std::int32_t numerator, std::int32_t d) {
  return DoubleToInt(static_cast<double>(numerator) * 262144.0 / static_cast<double>(d));
}

// The span constants and handler of a solid fill, or false when the draw
// state asks for nothing to be drawn.
bool ChooseSolid(int format, std::uint32_t fill, span::SpanConsts* c, span::SolidSpanFn* fn) {
  const MemImgDrawState& st = gMemImgDrawState;
  const int p = std::clamp(st.blendParam, 0, 255);
  auto mode = static_cast<std::uint32_t>(st.blendMode);
  if (!IsDrawingBlendMode(static_cast<std::int32_t>(mode))) return false;
  if (mode == kMemImgBlendAlpha && p == 255) mode = kMemImgBlendNone;
  if ((mode == kMemImgBlendAlpha || mode == kMemImgBlendAdd || mode == kMemImgBlendSub) && p == 0) return false;

  const std::uint32_t* modB = MulDiv255Row(static_cast<int>(st.colorMod & 0xFF));
  const std::uint32_t* modG = MulDiv255Row(static_cast<int>((st.colorMod >> 8) & 0xFF));
  const std::uint32_t* modR = MulDiv255Row(static_cast<int>((st.colorMod >> 16) & 0xFF));
  const std::uint32_t* mulP = MulDiv255Row(p);
  c->p = p;
  c->deltaP = DeltaMulDiv255Row(p);
  if (format == kMemImgFormatXrgb32) {
    const std::uint32_t b = modB[fill & 0xFF], g = modG[(fill >> 8) & 0xFF], r = modR[(fill >> 16) & 0xFF];
    c->fill = (fill & 0xFF000000u) | (r << 16) | (g << 8) | b;
    c->fillScaled = (mulP[r] << 16) | (mulP[g] << 8) | mulP[b];
  } else if (format == kMemImgFormatRgb565) {
    const std::uint32_t r = modR[(fill >> 11) & 31], g = modG[(fill >> 5) & 63], b = modB[fill & 31];
    c->fill = (r << 11) | (g << 5) | b;
    c->fillScaled = (mulP[r] << 11) + (mulP[g] << 5) + mulP[b];
  } else {
    return false;
  }

  using span::Fmt16;
  using span::Fmt32;
  using span::SolidSpan;
  const bool is32 = format == kMemImgFormatXrgb32;
  switch (mode) {
    case kMemImgBlendNone:
      *fn = is32 ? SolidSpan<Fmt32, span::Copy<Fmt32>> : SolidSpan<Fmt16, span::Copy<Fmt16>>;
      break;
    case kMemImgBlendAlpha:
      *fn = is32 ? SolidSpan<Fmt32, span::Alpha<Fmt32>> : SolidSpan<Fmt16, span::Alpha<Fmt16>>;
      break;
    case kMemImgBlendAdd:
      *fn = is32 ? SolidSpan<Fmt32, span::Add<Fmt32>> : SolidSpan<Fmt16, span::Add<Fmt16>>;
      break;
    case kMemImgBlendSub:
      *fn = is32 ? SolidSpan<Fmt32, span::Sub<Fmt32>> : SolidSpan<Fmt16, span::Sub<Fmt16>>;
      break;
    case kMemImgBlendMul:
      *fn = is32 ? SolidSpan<Fmt32, span::Multiply<Fmt32>> : SolidSpan<Fmt16, span::Multiply<Fmt16>>;
      break;
    case kMemImgBlendInvert:
      *fn = is32 ? SolidSpan<Fmt32, span::Invert<Fmt32>> : SolidSpan<Fmt16, span::Invert<Fmt16>>;
      break;
    default:
      *fn = is32 ? SolidSpan<Fmt32, span::MulBlend<Fmt32>> : SolidSpan<Fmt16, span::MulBlend<Fmt16>>;
      break;
  }
  return true;
}

}  // namespace

void DrawMemImgTriangle(MEMIMG* dst, const MEMIMG* src, const MemImgVertex* vertices, [[maybe_unused]] int trans,
                        [[maybe_unused]] const MEMIMG* blendImage, std::uint32_t fillColor) {
  if (vertices == nullptr || !MemImgViewInsideBlock(dst)) return;
  if (src != nullptr && (!IsMemImgValid(src) || src->block->format != dst->block->format)) return;
  if (dst->block->palettised == 1 || dst->block->hasAlpha == 1) return;

  FixedVertex fv[3];
  for (int i = 0; i < 3; ++i) {
    fv[i] = {WrapAdd(WrapMul(vertices[i].x, kOne), kHalf), WrapAdd(WrapMul(vertices[i].y, kOne), kHalf),
             WrapMul(vertices[i].u, kOne), WrapMul(vertices[i].v, kOne)};
  }
  FixedVertex* byX[3] = {&fv[0], &fv[1], &fv[2]};
  FixedVertex* byY[3] = {&fv[0], &fv[1], &fv[2]};
  Order3(byX, [](const FixedVertex& v) { return v.x; });
  Order3(byY, [](const FixedVertex& v) { return v.y; });

  const FixedVertex& a = *byX[0];
  const FixedVertex& b = *byX[1];
  const FixedVertex& c = *byX[2];
  const std::int32_t xab = Pixel(WrapSub(b.x, a.x)), yab = Pixel(WrapSub(b.y, a.y));
  const std::int32_t uab = Pixel(WrapSub(b.u, a.u)), vab = Pixel(WrapSub(b.v, a.v));
  const std::int32_t xac = Pixel(WrapSub(c.x, a.x)), yac = Pixel(WrapSub(c.y, a.y));
  const std::int32_t uac = Pixel(WrapSub(c.u, a.u)), vac = Pixel(WrapSub(c.v, a.v));
  const std::int32_t det = WrapSub(WrapMul(yab, xac), WrapMul(yac, xab));
  if (det == 0) return;

  if (src != nullptr) return;

  // Source steps per column and per row, for the textured spans.
  [[maybe_unused]] const Gradients grad{Gradient(WrapSub(WrapMul(yab, uac), WrapMul(yac, uab)), det),
                                        Gradient(WrapSub(WrapMul(yab, vac), WrapMul(yac, vab)), det),
                                        Gradient(WrapSub(WrapMul(uab, xac), WrapMul(xab, uac)), det),
                                        Gradient(WrapSub(WrapMul(vab, xac), WrapMul(vac, xab)), det)};

  const FixedVertex& top = *byY[0];
  const FixedVertex& mid = *byY[1];
  const FixedVertex& bot = *byY[2];
  Side left{}, right{};
  if (Pixel(top.y) == Pixel(mid.y)) {
    const bool midRight = mid.x > top.x;
    const FixedVertex& l = midRight ? top : mid;
    const FixedVertex& r = midRight ? mid : top;
    left = {{MakeSegment(l.x, l.y, bot.x, bot.y)}, 1};
    right = {{MakeSegment(r.x, r.y, bot.x, bot.y)}, 1};
  } else if (Pixel(mid.y) == Pixel(bot.y)) {
    const bool midRight = mid.x > bot.x;
    const FixedVertex& l = midRight ? bot : mid;
    const FixedVertex& r = midRight ? mid : bot;
    left = {{MakeSegment(top.x, top.y, l.x, l.y)}, 1};
    right = {{MakeSegment(top.x, top.y, r.x, r.y)}, 1};
  } else {
    const double sm = static_cast<double>(WrapSub(mid.x, top.x)) /
                      (static_cast<double>(WrapSub(mid.y, top.y)) * (1.0 / 262144.0));
    const double sb = static_cast<double>(WrapSub(bot.x, top.x)) /
                      (static_cast<double>(WrapSub(bot.y, top.y)) * (1.0 / 262144.0));
    const Segment longEdge = MakeSegment(top.x, top.y, bot.x, bot.y);
    const Segment upper = MakeSegment(top.x, top.y, mid.x, mid.y);
    if (sm < sb) {
      left = {{upper, MakeSegment(mid.x, mid.y, bot.x, bot.y)}, 2};
      right = {{longEdge}, 1};
    } else {
      left = {{longEdge}, 1};
      right = {{upper, MakeSegment(WrapAdd(mid.x, 1), mid.y, bot.x, bot.y)}, 2};
    }
  }
  for (const Side* s : {&left, &right}) {
    for (int i = 0; i < s->count; ++i) {
      if (s->seg[i].rows <= 0) return;
    }
  }

  span::SpanConsts consts;
  span::SolidSpanFn spanFn = nullptr;
  if (!ChooseSolid(dst->block->format, fillColor, &consts, &spanFn)) return;

  // The draw area, held inside the view so no span can leave the pixel block.
  Rect area = gMemImgDrawState.drawArea;
  const Rect view{0, 0, dst->width, dst->height};
  ClipRect(&area, &view);
  if (area.left >= area.right || area.top >= area.bottom) return;

  const int bpp = dst->block->format == kMemImgFormatXrgb32 ? 4 : 2;
  const std::ptrdiff_t pitch = dst->block->pitch;
  int li = 0, ri = 0;
  Segment l = left.seg[0], r = right.seg[0];
  std::int32_t y = Pixel(top.y);
  for (;;) {
    const std::int32_t first = std::max(Pixel(l.x), area.left);
    const std::int32_t count = std::min(Pixel(r.x) - first + 1, area.right - first);
    if (y >= area.top && y < area.bottom && first < area.right && count > 0) {
      spanFn(dst->pixels + y * pitch + static_cast<std::ptrdiff_t>(first) * bpp, count, consts);
    }
    l.x = WrapAdd(l.x, l.step);
    r.x = WrapAdd(r.x, r.step);
    ++y;
    if (--l.rows == 0) {
      if (++li == left.count) return;
      l = left.seg[li];
      y = Pixel(l.startY);
    }
    if (--r.rows == 0) {
      if (++ri == right.count) return;
      r = right.seg[ri];
    }
  }
}

}  // namespace qz
