// AVX2 runs of the fast triangle path: eight pixels of a turned sprite's row
// at a time, texels gathered from a 32-bit texture, put through the alpha
// test, times the stage's factors, then copied or added at their alpha onto a
// 32-bit target. The arithmetic is the scalar path's, so either gives the
// same bytes.
#pragma once

#include <array>
#include <cstdint>

#include "platform/d3d9_raster_internal.h"

namespace plat::raster {

// What every run of one triangle shares. The texture's byte offsets must fit
// 32 bits (pitch x height <= INT32_MAX) for the gathers.
struct TexelRowConstants {
  const std::uint8_t* texels = nullptr;
  int pitch = 0;
  int width = 0;
  int height = 0;
  std::uint32_t texelOr = 0;     // bits forced on in each texel
  std::uint32_t targetFill = 0;  // bits a target without alpha stores as ones
  // Each channel times its factor over 255 after the alpha test, unless
  // every factor is 255 (`plain`), which keeps the texel as it is.
  bool plain = true;
  std::array<std::uint16_t, 4> factor{255, 255, 255, 255};  // in memory order: b, g, r, a
  // Texel alphas in [alphaLow, alphaHigh] pass the alpha test, unless
  // passMask is given: per alpha, all ones where it passes.
  int alphaLow = 0;
  int alphaHigh = 255;
  const std::uint32_t* passMask = nullptr;
};

// Pixels [first, first + count) of row py, from dst on, with texel
// coordinates from the planes (Plane::AlongRow's values) held to the texture
// as the clamping address mode holds them. Returns how many passed the test.
using ClampedTexelRow = long long (*)(const TexelRowConstants& k, const Plane& u, const Plane& v, int py, int first,
                                      int count, std::uint8_t* dst);

// Eight pixels from dst on, from texel columns xs and rows ys; returns how
// many passed, or -1, leaving the pixels, when a lane takes the border
// colour (an index of -1).
using IndexedTexelEight = int (*)(const TexelRowConstants& k, const int* xs, const int* ys, std::uint8_t* dst);

// The runs for kNone and kAdditive; null for other blends or when the
// processor lacks AVX2.
ClampedTexelRow SelectClampedTexelRow(FastBlend blend);
IndexedTexelEight SelectIndexedTexelEight(FastBlend blend);

}  // namespace plat::raster
