// The conversion loops of 4:2:0 frames against the colour tables, pixel by
// pixel: every loop the processor runs, on rows whose widths leave tails for
// the narrower loops, with samples across the whole byte range.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "movie/movie_services.h"
#include "movie/theora_row_kernels.h"

namespace {

using qz::TheoraRowKernel;

constexpr std::uint8_t kGuard = 0xA5;

struct Frame {
  int width;   // even
  int height;  // even
  std::vector<std::uint8_t> y, u, v;
  int yStride, uvStride;
};

// Random samples, with the extremes the clamp must catch in every row.
Frame RandomFrame(int width, int height, std::uint32_t seed) {
  Frame frame{width, height, {}, {}, {}, width + 7, width / 2 + 3};
  std::mt19937 random(seed);
  auto fill = [&random](std::vector<std::uint8_t>& plane, std::size_t size) {
    plane.resize(size);
    for (std::uint8_t& sample : plane) sample = static_cast<std::uint8_t>(random());
    for (std::size_t i = 0; i < size; i += 5) plane[i] = (i / 5) % 2 == 0 ? 0 : 255;
  };
  fill(frame.y, static_cast<std::size_t>(frame.yStride) * height);
  fill(frame.u, static_cast<std::size_t>(frame.uvStride) * height / 2);
  fill(frame.v, static_cast<std::size_t>(frame.uvStride) * height / 2);
  return frame;
}

// Mismatching pixels of a converted frame; bytes past each row must stay untouched.
int Mismatches(const Frame& frame, const std::vector<std::uint8_t>& out, int pitch) {
  int mismatches = 0;
  for (int row = 0; row < frame.height; ++row) {
    for (int column = 0; column < frame.width; ++column) {
      const int chroma = (row / 2) * frame.uvStride + column / 2;
      std::uint8_t red = 0, green = 0, blue = 0;
      qz::ConvertYCbCrPixel(frame.y[row * frame.yStride + column], frame.u[chroma], frame.v[chroma], &red, &green,
                            &blue);
      const std::uint8_t* pixel = &out[static_cast<std::size_t>(row) * pitch + 4 * column];
      if (pixel[0] != blue || pixel[1] != green || pixel[2] != red || pixel[3] != 255) ++mismatches;
    }
    for (int byte = 4 * frame.width; byte < pitch; ++byte) {
      if (out[static_cast<std::size_t>(row) * pitch + byte] != kGuard) ++mismatches;
    }
  }
  return mismatches;
}

TEST(TheoraRowKernels, EveryLoopGivesTheTablesPixelsAndStaysInItsRows) {
  qz::InitTheoraColorTables();
  const TheoraRowKernel best = qz::BestTheoraRowKernel();
  EXPECT_TRUE(qz::TheoraRowKernelAvailable(best));
  EXPECT_TRUE(qz::TheoraRowKernelAvailable(TheoraRowKernel::kPortable));
  // 640 is whole steps of every loop; 2 is only the portable one's; 46 and
  // 58 leave tails of each narrower loop after the wider ones.
  for (const int width : {640, 2, 46, 58}) {
    const Frame frame = RandomFrame(width, 6, static_cast<std::uint32_t>(width));
    const qz::TheoraPlanes planes{frame.y.data(), frame.u.data(), frame.v.data(), frame.yStride, frame.uvStride};
    const int pitch = 4 * width + 12;
    for (const TheoraRowKernel kernel : {TheoraRowKernel::kPortable, TheoraRowKernel::kSse2, TheoraRowKernel::kAvx2}) {
      if (!qz::TheoraRowKernelAvailable(kernel)) continue;
      std::vector<std::uint8_t> out(static_cast<std::size_t>(pitch) * frame.height, kGuard);
      qz::ConvertTheoraBlockRows(planes, width / 2, frame.height / 2, out.data(), pitch, kernel);
      EXPECT_EQ(Mismatches(frame, out, pitch), 0) << "width " << width << ", loop " << static_cast<int>(kernel);
    }
  }
}

}  // namespace
