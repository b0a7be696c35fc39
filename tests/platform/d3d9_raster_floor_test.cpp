// Texel coordinates and snapped positions take floor without the library
// call: they must agree with floor at every edge, negative fractions, -0,
// the clamp limits, infinities and NaN included.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "platform/d3d9_raster_pixel.h"

namespace plat::raster {
namespace {

int TexelCoordinateByFloor(double t, int size) {
  const double scaled = std::floor(t * static_cast<double>(size));
  if (!(scaled > -1073741824.0)) return -1073741824;
  if (scaled > 1073741824.0) return 1073741824;
  return static_cast<int>(scaled);
}

TEST(RasterFloor, TexelCoordinatesMatchFloorAtEveryEdge) {
  const double inf = std::numeric_limits<double>::infinity();
  const double edges[] = {0.0, -0.0, 0.5, -0.5, 1.0, -1.0, 0.999999999, -0.999999999, 1e-300, -1e-300,
                          1073741823.0, 1073741823.5, 1073741824.0, 1073741824.5, 1073741825.0, 1073741826.0,
                          -1073741822.5, -1073741823.0, -1073741823.5, -1073741824.0, -1073741824.5,
                          -1073741825.0, 3e9, -3e9, 1e300, -1e300, inf, -inf,
                          std::numeric_limits<double>::quiet_NaN()};
  for (double t : edges) {
    for (int size : {1, 3, 256}) {
      EXPECT_EQ(TexelCoordinate(t, size), TexelCoordinateByFloor(t, size)) << t << " x " << size;
      EXPECT_EQ(TexelCoordinate(std::nextafter(t, inf), size), TexelCoordinateByFloor(std::nextafter(t, inf), size));
      EXPECT_EQ(TexelCoordinate(std::nextafter(t, -inf), size), TexelCoordinateByFloor(std::nextafter(t, -inf), size));
    }
  }
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> any(-3.0, 3.0);
  for (int i = 0; i < 20000; ++i) {
    const double t = any(rng);
    EXPECT_EQ(TexelCoordinate(t, 64), TexelCoordinateByFloor(t, 64)) << t;
  }
}

TEST(RasterFloor, SnappedPositionsMatchFloorOfTheHalfUpSubpixel) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> whole(-2000, 2000);
  const double fractions[] = {0.0, 0.5, -0.5, 0.25, 1.0 / 512, -1.0 / 512, 3.0 / 512, 0.3, -0.7};
  for (int i = 0; i < 5000; ++i) {
    for (double f : fractions) {
      for (double c : {whole(rng) + f, std::nextafter(whole(rng) + f, 1e9), std::nextafter(whole(rng) + f, -1e9)}) {
        EXPECT_EQ(SnapToSubpixel(c), static_cast<std::int64_t>(std::floor(c * 256.0 + 0.5))) << c;
      }
    }
  }
  for (double c : {kMaxCoordinate, -kMaxCoordinate, 0.0, -0.0}) {
    EXPECT_EQ(SnapToSubpixel(c), static_cast<std::int64_t>(std::floor(c * 256.0 + 0.5))) << c;
  }
}

}  // namespace
}  // namespace plat::raster
