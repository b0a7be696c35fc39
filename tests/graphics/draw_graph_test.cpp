// The public graph and rectangle draws on both renderers: what each draw puts
// on the back screen, the equivalences between draws, the sub-rectangle clip,
// and the draws that are refused or skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/call_trace.h"
#include "graphics/draw_bounds.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_test_support.h"

namespace {

using qz::testing::Frame;
using qz::testing::Renderer;

constexpr std::uint32_t kBackground = 0x000040;

class DrawGraph : public ::testing::TestWithParam<Renderer> {
 protected:
  void SetUp() override {
    library_ = std::make_unique<qz::testing::DrawingLibrary>(GetParam());
    ASSERT_TRUE(library_->started());
    qz::testing::PaintBackScreen(0, 0, 0x40);
  }
  void TearDown() override { library_.reset(); }

  // Draws on a fresh background and reads the frame back.
  template <class Draw>
  Frame DrawOnce(Draw draw) {
    qz::testing::PaintBackScreen(0, 0, 0x40);
    draw();
    return qz::testing::ReadBackScreen();
  }

  std::unique_ptr<qz::testing::DrawingLibrary> library_;
};

// The source pixel (0xRRGGBB) of MakePatternImage.
std::uint32_t PatternPixel(int x, int y, int seed = 0) {
  const std::uint32_t r = (x * 16 + seed * 40) & 0xFF, g = (x * 3 + y * 5) % 200, b = (y * 16 + 8) & 0xFF;
  return r << 16 | g << 8 | b;
}

TEST_P(DrawGraph, PlainBlitCopiesTheGraphAndSkipsTheTransparentColour) {
  const int graph = qz::testing::MakePatternGraph(24, 16, 2);
  const Frame frame = DrawOnce([&] { EXPECT_EQ(qz::BlitGraph(100, 50, graph, 1), 0); });
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 24; ++x) {
      const bool edge = x < 2 || y < 2 || x >= 22 || y >= 14;
      EXPECT_EQ(frame.At(100 + x, 50 + y), edge ? kBackground : PatternPixel(x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(frame.At(99, 50), kBackground);
  EXPECT_EQ(frame.At(124, 65), kBackground);

  // Opaque: the green border is copied too.
  const Frame opaque = DrawOnce([&] { qz::BlitGraph(100, 50, graph, 0); });
  EXPECT_EQ(opaque.At(100, 50), 0x00FF00u);
}

TEST_P(DrawGraph, PlainBlitHalfOutsideTheClipDrawsOnlyTheInsidePart) {
  const int graph = qz::testing::MakePatternGraph(32, 32);
  const Frame frame = DrawOnce([&] {
    qz::SetClipRectangle(110, 60, 300, 300);
    qz::BlitGraph(100, 50, graph, 0);
  });
  EXPECT_EQ(frame.At(109, 70), kBackground);
  EXPECT_EQ(frame.At(120, 59), kBackground);
  EXPECT_EQ(frame.At(110, 60), PatternPixel(10, 10));
  EXPECT_EQ(frame.At(131, 81), PatternPixel(31, 31));
}

TEST_P(DrawGraph, MirroredEqualsTheReversedStretch) {
  const int graph = qz::testing::MakePatternGraph(32, 16);
  const Frame mirrored = DrawOnce([&] { EXPECT_EQ(qz::BlitGraphMirrored(10, 20, graph, 0), 0); });
  const Frame stretched = DrawOnce([&] { EXPECT_EQ(qz::BlitGraphStretched(42, 20, 10, 36, graph, 0), 0); });
  EXPECT_EQ(qz::testing::CountDifferentPixels(mirrored, stretched), 0);
  for (int x = 0; x < 32; ++x) EXPECT_EQ(mirrored.At(10 + x, 25), PatternPixel(31 - x, 5)) << x;
}

TEST_P(DrawGraph, DoubleStretchRepeatsEachPixel) {
  const int graph = qz::testing::MakePatternGraph(16, 8);
  const Frame frame = DrawOnce([&] { qz::BlitGraphStretched(40, 40, 72, 56, graph, 0); });
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 32; ++x) EXPECT_EQ(frame.At(40 + x, 40 + y), PatternPixel(x / 2, y / 2)) << x << "," << y;
  }
}

TEST_P(DrawGraph, UnturnedRotationEqualsThePlainBlit) {
  const int graph = qz::testing::MakePatternGraph(32, 16, 1);
  const Frame plain = DrawOnce([&] { qz::BlitGraph(200 - 16, 100 - 8, graph, 1); });
  const Frame rotated = DrawOnce([&] { EXPECT_EQ(qz::BlitGraphRotated(200, 100, 1.0, 0.0, graph, 1, 0), 0); });
  EXPECT_EQ(qz::testing::CountDifferentPixels(plain, rotated), 0);
}

TEST_P(DrawGraph, HalfTurnIsAPointMirror) {
  const int graph = qz::testing::MakePatternGraph(32, 16);
  const Frame frame = DrawOnce([&] { qz::BlitGraphRotated(200, 100, 1.0, 3.14159265358979, graph, 0, 0); });
  // The device turns about the point (200, 100); the software renderer maps
  // pixel corners rather than centres, which moves a half turn by one pixel.
  const int shift = GetParam() == Renderer::kSoftware ? 1 : 0;
  int wrong = 0;
  for (int y = -1; y < 17; ++y) {
    for (int x = -1; x < 33; ++x) {
      const bool inside = x >= 0 && x < 32 && y >= 0 && y < 16;
      const std::uint32_t expected = inside ? PatternPixel(31 - x, 15 - y) : kBackground;
      wrong += frame.At(184 + shift + x, 92 + shift + y) != expected ? 1 : 0;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_P(DrawGraph, AxisAlignedQuadEqualsTheStretch) {
  const int graph = qz::testing::MakePatternGraph(16, 16);
  const Frame stretched = DrawOnce([&] { qz::BlitGraphStretched(50, 60, 82, 92, graph, 0); });
  const Frame quad = DrawOnce([&] { EXPECT_EQ(qz::BlitGraphOnQuad(50, 60, 82, 60, 82, 92, 50, 92, graph, 0), 0); });
  EXPECT_EQ(qz::testing::CountDifferentPixels(stretched, quad), 0);
}

TEST_P(DrawGraph, SubRectDrawsOnlyThePartAndKeepsTheClip) {
  const int graph = qz::testing::MakePatternGraph(32, 32);
  const qz::DrawSettingsBlock before = qz::GetDrawSettings();
  const Frame frame = DrawOnce([&] { EXPECT_EQ(qz::BlitGraphSubRect(300, 200, 8, 4, 10, 6, graph, 0, 0), 0); });
  int drawn = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const bool inside = x >= 300 && x < 310 && y >= 200 && y < 206;
      if (inside) {
        EXPECT_EQ(frame.At(x, y), PatternPixel(x - 300 + 8, y - 200 + 4));
      } else {
        drawn += frame.At(x, y) != kBackground ? 1 : 0;
      }
    }
  }
  EXPECT_EQ(drawn, 0);
  const qz::DrawSettingsBlock& after = qz::GetDrawSettings();
  EXPECT_EQ(after.clipLeft, before.clipLeft);
  EXPECT_EQ(after.clipRight, before.clipRight);
  EXPECT_EQ(after.clipBottomF, before.clipBottomF);
  EXPECT_EQ(after.clipEmpty, 0);
}

TEST_P(DrawGraph, MirroredSubRectShowsThePartMirrored) {
  const int graph = qz::testing::MakePatternGraph(32, 32);
  const Frame frame = DrawOnce([&] { EXPECT_EQ(qz::BlitGraphSubRect(300, 200, 8, 4, 10, 6, graph, 0, 1), 0); });
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 10; ++x) EXPECT_EQ(frame.At(300 + x, 200 + y), PatternPixel(17 - x, 4 + y)) << x << "," << y;
  }
  EXPECT_EQ(frame.At(299, 200), kBackground);
  EXPECT_EQ(frame.At(310, 200), kBackground);
  EXPECT_EQ(frame.At(300, 206), kBackground);
}

TEST_P(DrawGraph, RefusedAndSkippedDrawsLeaveThePixels) {
  const int graph = qz::testing::MakePatternGraph(16, 16);
  const Frame untouched = DrawOnce([] {});
  EXPECT_EQ(qz::testing::CountDifferentPixels(untouched, DrawOnce([&] {
              EXPECT_EQ(qz::BlitGraph(10, 10, graph + 1, 0), -1);
              EXPECT_EQ(qz::BlitGraphRotated(50, 50, 1.0, 0.5, -1, 0, 0), -1);
              EXPECT_EQ(qz::BlitGraphMirrored(10, 10, 12345, 0), -1);
              EXPECT_EQ(qz::BlitGraphSubRect(10, 10, 0, 0, 4, 4, 12345, 0, 1), -1);
            })),
            0);
  EXPECT_EQ(qz::testing::CountDifferentPixels(untouched, DrawOnce([&] {
              qz::SetClipRectangle(100, 100, 100, 200);
              EXPECT_EQ(qz::BlitGraph(100, 100, graph, 0), 0);
              EXPECT_EQ(qz::BlitGraphOnQuad(0, 0, 90, 0, 90, 90, 0, 90, graph, 0), 0);
              EXPECT_EQ(qz::DrawSolidRectangle(0, 0, 640, 480, 0xFFFFFFFF), 0);
              EXPECT_EQ(qz::BlitGraph(100, 100, 12345, 0), 0);
            })),
            0);
  EXPECT_EQ(qz::testing::CountDifferentPixels(untouched, DrawOnce([&] {
              qz::GetDrawSettings().skipDrawing = 1;
              EXPECT_EQ(qz::BlitGraphStretched(0, 0, 100, 100, graph, 0), 0);
              EXPECT_EQ(qz::DrawRectangleFrame(0, 0, 640, 480, 0xFFFFFFFF), 0);
              qz::GetDrawSettings().skipDrawing = 0;
            })),
            0);
}

TEST_P(DrawGraph, BlendMaskSmallerThanTheGraphRefusesEveryGraphDraw) {
  const int mask = qz::testing::MakePatternGraph(8, 8);
  const int graph = qz::testing::MakePatternGraph(16, 16);
  if (qz::SetBlendMaskGraph(mask, 128, 64) != 0) GTEST_SKIP() << "blend mask graphs are not available";
  EXPECT_EQ(qz::BlitGraph(0, 0, graph, 0), -1);
  EXPECT_EQ(qz::BlitGraphStretched(0, 0, 4, 4, graph, 0), -1);
  EXPECT_EQ(qz::BlitGraphRotated(50, 50, 1.0, 1.0, graph, 0, 0), -1);
  EXPECT_EQ(qz::BlitGraphOnQuad(0, 0, 9, 0, 9, 9, 0, 9, graph, 0), -1);
  const int large = qz::testing::MakePatternGraph(16, 16);
  ASSERT_EQ(qz::SetBlendMaskGraph(large, 128, 64), 0);
  EXPECT_EQ(qz::BlitGraph(0, 0, graph, 0), 0);
  EXPECT_EQ(qz::BlitGraphOnQuad(0, 0, 19, 2, 15, 15, 1, 12, graph, 0), 0);
  qz::SetBlendMaskGraph(-1, 0, 0);
}

TEST_P(DrawGraph, RectanglesFillWithTheColourTimesBrightnessAndFramesAreOnePixel) {
  const Frame solid = DrawOnce([] {
    qz::SetBrightnessRGB(255, 128, 255);
    EXPECT_EQ(qz::DrawRectangleShape(30, 40, 10, 20, qz::MakeColorValue(200, 200, 100), 1), 0);
  });
  // The software fill scales by 256ths, the device by 255ths.
  EXPECT_LE(qz::testing::ChannelDifference(solid.At(10, 20), 0xC86464u), 1);
  EXPECT_EQ(solid.At(29, 39), solid.At(10, 20));
  EXPECT_EQ(solid.At(30, 39), kBackground);
  EXPECT_EQ(solid.At(29, 40), kBackground);

  const Frame frame = DrawOnce([] { EXPECT_EQ(qz::DrawRectangleShape(10, 20, 30, 40, 0xFFFFFFFF, 0), 0); });
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(frame.At(10 + i, 20), 0xFFFFFFu);
    EXPECT_EQ(frame.At(10 + i, 39), 0xFFFFFFu);
    EXPECT_EQ(frame.At(10, 20 + i), 0xFFFFFFu);
    EXPECT_EQ(frame.At(29, 20 + i), 0xFFFFFFu);
  }
  EXPECT_EQ(frame.At(11, 21), kBackground);
  EXPECT_EQ(frame.At(28, 38), kBackground);
  EXPECT_EQ(frame.At(30, 20), kBackground);
  EXPECT_EQ(frame.At(10, 40), kBackground);
}

TEST_P(DrawGraph, GraphBoundToAMovieTakesItsNewestFrameAtEachDraw) {
  const int graph = qz::testing::MakePatternGraph(16, 16);
  qz::GetGraphRecord(graph)->movie = 0x18000001;
  qz::SetCallTraceEnabled(true);
  qz::TakeCallTrace();
  qz::BlitGraph(10, 10, graph, 0);
  qz::BlitGraphRotated(100, 100, 1.0, 0.3, graph, 0, 0);
  const std::vector<std::string> trace = qz::TakeCallTrace();
  qz::SetCallTraceEnabled(false);
  qz::GetGraphRecord(graph)->movie = -1;
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "UpdateMovieFrame"), 2);
}

INSTANTIATE_TEST_SUITE_P(BothRenderers, DrawGraph, ::testing::Values(Renderer::kDevice, Renderer::kSoftware),
                         qz::testing::RendererName);

// The device draws at the float corners; the software renderer needs whole
// pixels and truncates toward zero.
TEST(DrawGraphSoftware, FloatStretchTruncatesTowardZero) {
  qz::testing::DrawingLibrary library(Renderer::kSoftware);
  ASSERT_TRUE(library.started());
  const int graph = qz::testing::MakePatternGraph(16, 8);
  qz::testing::PaintBackScreen(0, 0, 0x40);
  qz::BlitGraphStretched(0, 10, 32, 26, graph, 0);
  const Frame whole = qz::testing::ReadBackScreen();
  qz::testing::PaintBackScreen(0, 0, 0x40);
  qz::BlitGraphStretchedF(-0.9f, 10.9f, 32.7f, 26.2f, graph, 0);
  EXPECT_EQ(qz::testing::CountDifferentPixels(whole, qz::testing::ReadBackScreen()), 0);
}

// A graph cut into several device textures draws each tile at its share of
// the quad, from its own texture.
TEST(DrawGraphTiles, QuadOfATiledGraphEqualsItsStretch) {
  qz::testing::DrawingLibrary library(Renderer::kDevice, {.maxTextureSize = 32});
  ASSERT_TRUE(library.started());
  const int graph = qz::testing::MakePatternGraph(48, 40);
  ASSERT_GT(qz::GetGraphRecord(graph)->drawEntries.size(), 1u);
  qz::testing::PaintBackScreen(0, 0, 0x40);
  qz::BlitGraph(10, 10, graph, 0);
  const Frame plain = qz::testing::ReadBackScreen();
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 48; ++x) ASSERT_EQ(plain.At(10 + x, 10 + y), PatternPixel(x, y)) << x << "," << y;
  }
  qz::testing::PaintBackScreen(0, 0, 0x40);
  qz::BlitGraphStretched(100, 60, 196, 140, graph, 0);
  const Frame stretched = qz::testing::ReadBackScreen();
  qz::testing::PaintBackScreen(0, 0, 0x40);
  EXPECT_EQ(qz::BlitGraphOnQuad(100, 60, 196, 60, 196, 140, 100, 140, graph, 0), 0);
  const Frame quad = qz::testing::ReadBackScreen();
  EXPECT_EQ(qz::testing::CountDifferentPixels(stretched, quad), 0);
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 96; ++x) ASSERT_EQ(quad.At(100 + x, 60 + y), PatternPixel(x / 2, y / 2)) << x << "," << y;
  }
}

TEST(DrawGraphTiles, QuadOnALostDeviceFails) {
  qz::testing::DrawingLibrary library(Renderer::kDevice);
  ASSERT_TRUE(library.started());
  const int graph = qz::testing::MakePatternGraph(16, 16);
  plat::SetD3D9DeviceStateForTest(plat::D3DERR_DEVICELOST);
  EXPECT_EQ(qz::BlitGraphOnQuad(10, 10, 30, 12, 28, 30, 8, 26, graph, 0), -1);
  plat::SetD3D9DeviceStateForTest(plat::D3D_OK);
}

TEST(DrawGraphBeforeStart, PlainBlitIsRefused) {
  ASSERT_EQ(qz::IsLibraryInitialised(), 0);
  EXPECT_EQ(qz::BlitGraph(0, 0, 0x08000000, 0), -1);
}

TEST(DrawBounds, BracketRectanglesOfEachKindOfDraw) {
  const qz::Rect reversed = qz::OrderedDrawBounds(42, 36, 10, 20);
  EXPECT_EQ(reversed.left, 10);
  EXPECT_EQ(reversed.top, 20);
  EXPECT_EQ(reversed.right, 42);
  EXPECT_EQ(reversed.bottom, 36);

  // Unturned, the rotated box is the graph's own grown by 5; an odd size
  // puts the extra pixel right and below.
  const qz::Rect rotated = qz::RotatedDrawBounds(100.7f, 50.2f, 1.0, 0.0, 33, 16);
  EXPECT_EQ(rotated.left, 100 - 16 - 5);
  EXPECT_EQ(rotated.top, 50 - 8 - 5);
  EXPECT_EQ(rotated.right, 100 + 17 + 5);
  EXPECT_EQ(rotated.bottom, 50 + 8 + 5);
  const qz::Rect quarter = qz::RotatedDrawBounds(100, 100, 2.0, 1.5707963267948966, 20, 10);
  // Within one pixel: the turned corners carry rounding of the sine.
  EXPECT_NEAR(quarter.left, 100 - 10 - 5, 1);
  EXPECT_NEAR(quarter.right, 100 + 10 + 5, 1);
  EXPECT_NEAR(quarter.top, 100 - 20 - 5, 1);
  EXPECT_NEAR(quarter.bottom, 100 + 20 + 5, 1);

  // Corners are truncated toward zero, not floored.
  const float corners[8] = {-0.9f, -0.5f, 30.9f, 1.0f, 31.5f, 20.99f, 2.0f, 19.0f};
  const qz::Rect quad = qz::QuadDrawBounds(corners);
  EXPECT_EQ(quad.left, 0);
  EXPECT_EQ(quad.top, 0);
  EXPECT_EQ(quad.right, 31);
  EXPECT_EQ(quad.bottom, 20);
}

}  // namespace
