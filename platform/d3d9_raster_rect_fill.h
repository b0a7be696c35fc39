// The fill of the fast rectangle path: a rectangle of pixels whose texels
// come from one table of texel columns and one of texel rows, under one
// colour set-up, drawn by the vector rows where they apply and pixel by pixel
// elsewhere. The rectangle set-ups build the job.
#pragma once

#include "platform/d3d9_raster_fast_pixel.h"
#include "platform/d3d9_raster_internal.h"

namespace plat::raster {

struct Span {
  int first;
  int last;  // inclusive
};

// Everything a rectangle fill reads.
struct RectJob {
  Span columns;
  Span rows;
  Color constantSource;  // untextured: the source colour of every pixel
  const int* columnTexels = nullptr;
  const int* rowTexels = nullptr;
  TexelFactors factors;
  bool contiguousColumns = false;  // texel columns rise by one from pixel to pixel
};

// Draws the job under the draw's fast plan; returns the pixels written
// (those that passed the alpha test).
long long FillRectangle(const DrawSetup& setup, const RectJob& job);

}  // namespace plat::raster
