// The covered columns of a set-up triangle row after row. Each edge bounds a
// row at floor(n / d) for a numerator that grows by the same step every row,
// so the quotient is carried with its remainder from row to row instead of
// dividing three times per row; the bounds are the division's, exactly.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/d3d9_raster_internal.h"

namespace plat::raster {

// Division rounding down; the divisor is positive.
inline std::int64_t FloorDiv(std::int64_t n, std::int64_t d) {
  const std::int64_t q = n / d;
  return (n % d != 0 && n < 0) ? q - 1 : q;
}

class RowSpanWalker {
 public:
  // Ready to give row py first.
  RowSpanWalker(const TriangleSetup& tri, int py) : columnFirst_(tri.columnFirst), columnLast_(tri.columnLast) {
    const std::int64_t rowY = static_cast<std::int64_t>(py) * kSubpixelOne;
    for (std::size_t k = 0; k < steps_.size(); ++k) {
      const Edge& e = tri.edges[k];
      EdgeStep& s = steps_[k];
      // Inside when alpha px + beta > 0, with the owned edge counted in beta;
      // beta grows by dx x 256 a row.
      const std::int64_t alpha = -e.dy * kSubpixelOne;
      const std::int64_t beta = e.dx * (rowY - e.ya) + e.dy * e.xa + e.bias;
      s.sense = alpha > 0 ? 1 : alpha < 0 ? -1 : 0;
      if (s.sense == 0) {
        s.quotient = beta;
        s.quotientStep = e.dx * kSubpixelOne;
        continue;
      }
      // floor(-beta / |alpha|) bounds the row from the left (alpha > 0) or
      // the right.
      s.divisor = alpha > 0 ? alpha : -alpha;
      s.quotient = FloorDiv(-beta, s.divisor);
      s.remainder = -beta - s.quotient * s.divisor;
      const std::int64_t step = -e.dx * kSubpixelOne;
      s.quotientStep = FloorDiv(step, s.divisor);
      s.remainderStep = step - s.quotientStep * s.divisor;
    }
  }

  // The covered columns of the current row as [*first, *last], clipped
  // (false for none); then moves on to the next row.
  bool Next(int* first, int* last) {
    std::int64_t lo = columnFirst_, hi = columnLast_;
    bool empty = false;
    for (EdgeStep& s : steps_) {
      if (s.sense > 0) {
        lo = std::max(lo, s.quotient + 1);
      } else if (s.sense < 0) {
        hi = std::min(hi, -s.quotient - 1);
      } else if (s.quotient <= 0) {  // a horizontal edge's beta
        empty = true;
      }
      s.quotient += s.quotientStep;
      if (s.sense != 0) {
        s.remainder += s.remainderStep;
        if (s.remainder >= s.divisor) {
          s.remainder -= s.divisor;
          ++s.quotient;
        }
      }
    }
    if (empty || lo > hi) return false;
    *first = static_cast<int>(lo);
    *last = static_cast<int>(hi);
    return true;
  }

 private:
  struct EdgeStep {
    int sense = 0;  // the sign of alpha
    std::int64_t divisor = 1;
    std::int64_t quotient = 0;  // beta itself for a horizontal edge
    std::int64_t remainder = 0;
    std::int64_t quotientStep = 0;
    std::int64_t remainderStep = 0;
  };
  std::int64_t columnFirst_;
  std::int64_t columnLast_;
  std::array<EdgeStep, 3> steps_{};
};

}  // namespace plat::raster
