// A software image owned by a test, and raw pixel access to it, for the
// renderer tests that compare whole pixel blocks.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "softrender/draw_state.h"
#include "softrender/mem_img.h"

namespace qz::testing {

struct Image {
  MEMIMG view{};
  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image() { ReleaseMemImg(&view); }
};

// A zero-filled image of the given format, palettised and alpha flags and key.
inline void Make(Image& img, int w, int h, int format, bool pal = false, bool alpha = false, std::uint32_t key = 0) {
  ASSERT_EQ(InitMemImgEx(&img.view, w, h, -1, key, format, pal ? 1 : 0, alpha ? 1 : 0, 0, nullptr), 0);
  const MemImgPixelBlock* b = img.view.block;
  std::memset(b->pixels, 0, static_cast<std::size_t>(b->pitch) * static_cast<std::size_t>(h));
}

inline int Bpp(const Image& img) { return MemImgBytesPerPixel(&img.view); }

inline std::uint8_t* At(Image& img, int x, int y) {
  return img.view.pixels + static_cast<std::ptrdiff_t>(y) * img.view.block->pitch + x * Bpp(img);
}

inline std::uint32_t Get(Image& img, int x, int y) {
  std::uint32_t v = 0;
  std::memcpy(&v, At(img, x, y), static_cast<std::size_t>(Bpp(img)));
  return v;
}

inline void Put(Image& img, int x, int y, std::uint32_t v) {
  std::memcpy(At(img, x, y), &v, static_cast<std::size_t>(Bpp(img)));
}

// The whole pixel block, so a comparison also catches writes outside a view.
inline std::vector<std::uint8_t> Bytes(const Image& img) {
  const MemImgPixelBlock* b = img.view.block;
  return {b->pixels, b->pixels + static_cast<std::ptrdiff_t>(b->pitch) * b->height};
}

// Texels that name their own coordinates: in copy mode a written pixel tells
// which texel it shows.
inline std::uint32_t CoordTexel(int format, int x, int y) {
  return format == kMemImgFormatXrgb32 ? 0x01000000u | static_cast<std::uint32_t>(x << 12 | y)
                                       : 0x8000u | static_cast<std::uint32_t>(x << 7 | y);
}

inline void MakeCoordSource(Image& src, int w, int h, int format = kMemImgFormatXrgb32) {
  Make(src, w, h, format);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) Put(src, x, y, CoordTexel(format, x, y));
  }
}

// A view of the 16 x 16 middle of a cleared 24 x 24 block, for drawings that
// must never write outside their view.
class FramedView {
 public:
  FramedView() {
    Make(block_, 24, 24, kMemImgFormatXrgb32);
    EXPECT_EQ(MakeSubMemImg(&view, &block_.view, 4, 4, 16, 16), 0);
  }
  ~FramedView() { ReleaseMemImg(&view); }
  FramedView(const FramedView&) = delete;
  FramedView& operator=(const FramedView&) = delete;

  void ExpectFrameUntouched() {
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 24; ++x) {
        const bool frame = x < 4 || x >= 20 || y < 4 || y >= 20;
        EXPECT_TRUE(!frame || Get(block_, x, y) == 0) << x << "," << y;
      }
    }
  }

  MEMIMG view{};

 private:
  Image block_;
};

// Keeps the renderer's global draw state and blend-image factors as each test
// found them; a test starts in mode 0, unmodulated, drawing inside `area`
// pixels square.
class DrawStateTest : public ::testing::Test {
 protected:
  void StartDrawState(int area) {
    ASSERT_EQ(BuildMemImgBlendTables(), 0);
    saved_ = gMemImgDrawState;
    std::memcpy(savedFactors_, blend_tables::blendImageFactor, sizeof savedFactors_);
    State(0, 0);
    gMemImgDrawState.colorMod = 0xFFFFFF;
    gMemImgDrawState.drawArea = Rect{0, 0, area, area};
  }
  void TearDown() override {
    gMemImgDrawState = saved_;
    std::memcpy(blend_tables::blendImageFactor, savedFactors_, sizeof savedFactors_);
  }
  static void State(int mode, int p) {
    gMemImgDrawState.blendMode = mode;
    gMemImgDrawState.blendParam = p;
  }

 private:
  MemImgDrawState saved_{};
  std::uint8_t savedFactors_[256]{};
};

}  // namespace qz::testing
