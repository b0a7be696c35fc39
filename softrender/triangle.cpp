// Triangle set-up and row walk. Rows and columns are floored from 14.18 (an
// arithmetic shift), so triangles above or left of the origin keep their
// shape; spans include both edge pixels and are clipped to the draw area.
#include "softrender/triangle.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

#include "core/string_util.h"
#include "softrender/draw_state.h"
#include "softrender/fixed_point.h"
#include "softrender/span_kernels.h"
#include "softrender/textured_span.h"

namespace qz {
namespace {

using fixed::kHalf;
using fixed::kOne;
using fixed::kMaxSourceSide;

using fixed::Pixel;
using fixed::WrapAdd;
using fixed::WrapMul;
using fixed::WrapSub;

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

// A set-up triangle: its two sides, first row, and the source position of
// any destination pixel through the origin vertex and the gradients.
struct TriangleSetup {
  Side left, right;
  std::int32_t topRow;
  std::int32_t ox, oy;  // origin vertex, whole pixels
  std::int32_t u0, v0;  // its source position, 14.18
  Gradients grad;

  std::int32_t U(std::int32_t column, std::int32_t row) const {
    return WrapAdd(WrapAdd(u0, WrapMul(WrapSub(column, ox), grad.du)), WrapMul(WrapSub(row, oy), grad.rowDu));
  }
  std::int32_t V(std::int32_t column, std::int32_t row) const {
    return WrapAdd(WrapAdd(v0, WrapMul(WrapSub(column, ox), grad.dv)), WrapMul(WrapSub(row, oy), grad.rowDv));
  }
};

// False for collinear vertices (nothing to draw).
bool SetUpTriangle(const MemImgVertex* vertices, TriangleSetup* t) {
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
  if (det == 0) return false;

  t->grad = {Gradient(WrapSub(WrapMul(yab, uac), WrapMul(yac, uab)), det),
             Gradient(WrapSub(WrapMul(yab, vac), WrapMul(yac, vab)), det),
             Gradient(WrapSub(WrapMul(uab, xac), WrapMul(xab, uac)), det),
             Gradient(WrapSub(WrapMul(vab, xac), WrapMul(vac, xab)), det)};
  t->ox = Pixel(a.x);
  t->oy = Pixel(a.y);
  t->u0 = a.u;
  t->v0 = a.v;

  const FixedVertex& top = *byY[0];
  const FixedVertex& mid = *byY[1];
  const FixedVertex& bot = *byY[2];
  t->topRow = Pixel(top.y);
  if (Pixel(top.y) == Pixel(mid.y)) {
    const bool midRight = mid.x > top.x;
    const FixedVertex& l = midRight ? top : mid;
    const FixedVertex& r = midRight ? mid : top;
    t->left = {{MakeSegment(l.x, l.y, bot.x, bot.y)}, 1};
    t->right = {{MakeSegment(r.x, r.y, bot.x, bot.y)}, 1};
  } else if (Pixel(mid.y) == Pixel(bot.y)) {
    const bool midRight = mid.x > bot.x;
    const FixedVertex& l = midRight ? bot : mid;
    const FixedVertex& r = midRight ? mid : bot;
    t->left = {{MakeSegment(top.x, top.y, l.x, l.y)}, 1};
    t->right = {{MakeSegment(top.x, top.y, r.x, r.y)}, 1};
  } else {
    const double sm = static_cast<double>(WrapSub(mid.x, top.x)) /
                      (static_cast<double>(WrapSub(mid.y, top.y)) * (1.0 / 262144.0));
    const double sb = static_cast<double>(WrapSub(bot.x, top.x)) /
                      (static_cast<double>(WrapSub(bot.y, top.y)) * (1.0 / 262144.0));
    const Segment longEdge = MakeSegment(top.x, top.y, bot.x, bot.y);
    const Segment upper = MakeSegment(top.x, top.y, mid.x, mid.y);
    if (sm < sb) {
      t->left = {{upper, MakeSegment(mid.x, mid.y, bot.x, bot.y)}, 2};
      t->right = {{longEdge}, 1};
    } else {
      t->left = {{longEdge}, 1};
      t->right = {{upper, MakeSegment(WrapAdd(mid.x, 1), mid.y, bot.x, bot.y)}, 2};
    }
  }
  // Wrapped vertex values can order the rows backwards: such a triangle has
  // no rows to walk.
  for (const Side* s : {&t->left, &t->right}) {
    for (int i = 0; i < s->count; ++i) {
      if (s->seg[i].rows <= 0) return false;
    }
  }
  return true;
}

// Calls row(y, first column, count) for every row of the triangle that has
// pixels inside the area, top to bottom.
template <class RowFn>
void WalkRows(const TriangleSetup& t, const Rect& area, RowFn&& row) {
  int li = 0, ri = 0;
  Segment l = t.left.seg[0], r = t.right.seg[0];
  std::int32_t y = t.topRow;
  for (;;) {
    const std::int32_t first = std::max(Pixel(l.x), area.left);
    const std::int32_t count = std::min(Pixel(r.x) - first + 1, area.right - first);
    if (y >= area.top && y < area.bottom && first < area.right && count > 0) row(y, first, count);
    l.x = WrapAdd(l.x, l.step);
    r.x = WrapAdd(r.x, r.step);
    ++y;
    if (--l.rows == 0) {
      if (++li == t.left.count) return;
      l = t.left.seg[li];
      y = Pixel(l.startY);
    }
    if (--r.rows == 0) {
      if (++ri == t.right.count) return;
      r = t.right.seg[ri];
    }
  }
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

// Each row's first pixel; a thread's triangles reuse the storage.
void FillRows(const MEMIMG* img, std::vector<const std::uint8_t*>* rows) {
  rows->resize(static_cast<std::size_t>(img->height));
  for (std::int32_t i = 0; i < img->height; ++i) {
    (*rows)[static_cast<std::size_t>(i)] = img->pixels + static_cast<std::ptrdiff_t>(i) * img->block->pitch;
  }
}

// The textured loop and its constants, or false when nothing is to be drawn:
// a source or blend image that cannot be read safely, or a draw state that
// draws nothing.
bool ChooseTextured(const MEMIMG* dst, const MEMIMG* src, int trans, const MEMIMG* blend,
                    span::TexturedConsts* consts, span::TexturedLoopFn* loop) {
  if (src->width > kMaxSourceSide || src->height > kMaxSourceSide) return false;
  if (blend != nullptr &&
      (!MemImgViewInsideBlock(blend) || blend->width < src->width || blend->height < src->height)) {
    return false;
  }
  const span::TexturedSource in{src, blend, trans, span::TexturedFamily::kTriangle};
  const int format = dst->block->format;
  const bool chosen = format == kMemImgFormatXrgb32   ? span::PrepareTexturedLoop32(in, consts, loop)
                      : format == kMemImgFormatRgb565 ? span::PrepareTexturedLoop16(in, consts, loop)
                                                      : false;
  if (!chosen) return false;
  thread_local std::vector<const std::uint8_t*> srcRows;
  thread_local std::vector<const std::uint8_t*> blendRows;
  FillRows(src, &srcRows);
  consts->srcRows = srcRows.data();
  consts->srcPitch = span::VectorReadPitch(src, dst);
  consts->blendRows = nullptr;
  if (blend != nullptr) {
    FillRows(blend, &blendRows);
    consts->blendRows = blendRows.data();
  }
  return true;
}

// The columns a quad's first triangle drew on each row of the draw area, so
// the second one draws its shared diagonal only once.
class RowCoverage {
 public:
  void Reset(const Rect& area) {
    top_ = area.top;
    rows_.assign(static_cast<std::size_t>(area.bottom - area.top), Columns{});
  }
  void Record(std::int32_t y, std::int32_t first, std::int32_t last) {
    rows_[static_cast<std::size_t>(y - top_)] = {first, last};
  }
  // The columns [first, last] of row y that are not yet drawn, as up to two
  // runs: run(first, count).
  template <class RunFn>
  void ForEachUncovered(std::int32_t y, std::int32_t first, std::int32_t last, RunFn&& run) const {
    const Columns c = rows_[static_cast<std::size_t>(y - top_)];
    if (c.first > c.last) {
      run(first, last - first + 1);
      return;
    }
    const std::int32_t leftEnd = std::min(last, c.first - 1);
    if (first <= leftEnd) run(first, leftEnd - first + 1);
    const std::int32_t rightStart = std::max(first, c.last + 1);
    if (rightStart <= last) run(rightStart, last - rightStart + 1);
  }

 private:
  struct Columns {
    std::int32_t first = 1, last = 0;  // empty
  };
  std::int32_t top_ = 0;
  std::vector<Columns> rows_;
};

enum class CoverageUse { kNone, kRecord, kSkip };

// The draw area held inside the view, so no span can leave the pixel block;
// false when it is empty.
bool ClippedDrawArea(const MEMIMG* dst, Rect* area) {
  *area = gMemImgDrawState.drawArea;
  const Rect view{0, 0, dst->width, dst->height};
  ClipRect(area, &view);
  return area->left < area->right && area->top < area->bottom;
}

void DrawTriangle(MEMIMG* dst, const MEMIMG* src, const MemImgVertex* vertices, int trans, const MEMIMG* blendImage,
                  std::uint32_t fillColor, RowCoverage* coverage, CoverageUse use) {
  if (vertices == nullptr || !MemImgViewInsideBlock(dst)) return;
  if (src != nullptr && (!MemImgViewInsideBlock(src) || src->block->format != dst->block->format)) return;
  if (dst->block->palettised == 1 || dst->block->hasAlpha == 1) return;

  TriangleSetup t;
  if (!SetUpTriangle(vertices, &t)) return;
  Rect area;
  if (!ClippedDrawArea(dst, &area)) return;

  const int bpp = dst->block->format == kMemImgFormatXrgb32 ? 4 : 2;
  const std::ptrdiff_t pitch = dst->block->pitch;
  auto address = [&](std::int32_t y, std::int32_t x) {
    return dst->pixels + static_cast<std::ptrdiff_t>(y) * pitch + static_cast<std::ptrdiff_t>(x) * bpp;
  };

  if (src == nullptr) {
    span::SpanConsts consts;
    span::SolidSpanFn spanFn = nullptr;
    if (!ChooseSolid(dst->block->format, fillColor, &consts, &spanFn)) return;
    WalkRows(t, area, [&](std::int32_t y, std::int32_t first, std::int32_t count) {
      spanFn(address(y, first), count, consts);
    });
    return;
  }

  span::TexturedConsts consts;
  span::TexturedLoopFn loop = nullptr;
  if (!ChooseTextured(dst, src, trans, blendImage, &consts, &loop)) return;
  auto run = [&](std::int32_t y, std::int32_t first, std::int32_t count) {
    span::TexturedWalk walk;
    walk.dst = address(y, first);
    walk.width = count;
    walk.lines = 1;
    walk.u = t.U(first, y);
    walk.v = t.V(first, y);
    walk.uStep = t.grad.du;
    walk.vStep = t.grad.dv;
    loop(walk, consts);
  };
  WalkRows(t, area, [&](std::int32_t y, std::int32_t first, std::int32_t count) {
    const std::int32_t last = first + count - 1;
    if (use == CoverageUse::kSkip) {
      coverage->ForEachUncovered(y, first, last, [&](std::int32_t from, std::int32_t n) { run(y, from, n); });
      return;
    }
    if (use == CoverageUse::kRecord) coverage->Record(y, first, last);
    run(y, first, count);
  });
}

}  // namespace

void DrawMemImgTriangle(MEMIMG* dst, const MEMIMG* src, const MemImgVertex* vertices, int trans,
                        const MEMIMG* blendImage, std::uint32_t fillColor) {
  DrawTriangle(dst, src, vertices, trans, blendImage, fillColor, nullptr, CoverageUse::kNone);
}

void DrawMemImgQuad(MEMIMG* dst, const MEMIMG* src, const std::int32_t* corners, int trans,
                    const MEMIMG* blendImage) {
  if (corners == nullptr || src == nullptr || !MemImgViewInsideBlock(dst) || !MemImgViewInsideBlock(src)) return;
  Rect area;
  if (!ClippedDrawArea(dst, &area)) return;

  // Bounding box with the margins, widened in 64 bits so extreme corners
  // cannot overflow before the clip.
  std::int64_t minX = corners[0], maxX = corners[0], minY = corners[1], maxY = corners[1];
  for (int i = 1; i < 4; ++i) {
    minX = std::min<std::int64_t>(minX, corners[2 * i]);
    maxX = std::max<std::int64_t>(maxX, corners[2 * i]);
    minY = std::min<std::int64_t>(minY, corners[2 * i + 1]);
    maxY = std::max<std::int64_t>(maxY, corners[2 * i + 1]);
  }
  auto narrow = [](std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
  };
  Rect box{narrow(minX - 2), narrow(minY - 2), narrow(maxX + 4), narrow(maxY + 4)};
  ClipRect(&box, &area);
  if (box.left == box.right || box.top == box.bottom) return;

  const std::int32_t w = src->width, h = src->height;
  const MemImgVertex first[3] = {
      {corners[0], corners[1], 0, 0}, {corners[2], corners[3], w, 0}, {corners[4], corners[5], 0, h}};
  const MemImgVertex second[3] = {
      {corners[2], corners[3], w, 0}, {corners[4], corners[5], 0, h}, {corners[6], corners[7], w, h}};
  thread_local RowCoverage coverage;
  coverage.Reset(area);
  DrawTriangle(dst, src, first, trans, blendImage, 0, &coverage, CoverageUse::kRecord);
  DrawTriangle(dst, src, second, trans, blendImage, 0, &coverage, CoverageUse::kSkip);
}

}  // namespace qz
