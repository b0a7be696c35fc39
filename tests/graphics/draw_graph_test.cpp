// The public graph and rectangle draws on both renderers: what each draw puts
// on the back screen, the equivalences between draws, the sub-rectangle clip,
// and the draws that are refused or skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
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

// Pixels of the frame that differ from `expected` (at x, y from the corner
// `left`, `top`) inside the width x height box and from the background
// outside it; the first one is reported.
int Mismatches(const Frame& frame, int left, int top, int width, int height,
               const std::function<std::uint32_t(int, int)>& expected) {
  int wrong = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const bool inside = x >= left && x < left + width && y >= top && y < top + height;
      const std::uint32_t want = inside ? expected(x - left, y - top) : kBackground;
      if (frame.At(x, y) != want && wrong++ == 0) {
        ADD_FAILURE() << "first at " << x << "," << y << ": " << std::hex << frame.At(x, y) << " for " << want;
      }
    }
  }
  return wrong;
}

// Each draw of a pattern graph against the picture it must leave; draws that
// must match (mirror and reversed stretch, stretch and quad, plain blit and
// unturned rotation) meet the same picture.
TEST_P(DrawGraph, EachDrawLeavesItsPictureAndNothingElse) {
  const auto P = [](int x, int y) { return PatternPixel(x, y); };
  const auto ring = [](int x, int y, int w, int h, int b) { return x < b || y < b || x >= w - b || y >= h - b; };
  // The device turns about the point (200, 100); the software renderer maps
  // pixel corners rather than centres, which moves a half turn by one pixel.
  const int shift = GetParam() == Renderer::kSoftware ? 1 : 0;
  struct Case {
    const char* name;
    int graphWidth, graphHeight, border;
    std::function<void(int)> draw;
    int left, top, width, height;
    std::function<std::uint32_t(int, int)> expected;
  };
  const Case cases[] = {
      {"plain blit skips the transparent colour", 24, 16, 2, [](int g) { EXPECT_EQ(qz::BlitGraph(100, 50, g, 1), 0); },
       100, 50, 24, 16, [&](int x, int y) { return ring(x, y, 24, 16, 2) ? kBackground : P(x, y); }},
      {"opaque blit copies the green border", 24, 16, 2, [](int g) { qz::BlitGraph(100, 50, g, 0); }, 100, 50, 24, 16,
       [&](int x, int y) { return ring(x, y, 24, 16, 2) ? 0x00FF00u : P(x, y); }},
      {"blit half outside the clip", 32, 32, 0,
       [](int g) {
         qz::SetClipRectangle(110, 60, 300, 300);
         qz::BlitGraph(100, 50, g, 0);
       },
       110, 60, 22, 22, [&](int x, int y) { return P(x + 10, y + 10); }},
      {"mirrored", 32, 16, 0, [](int g) { EXPECT_EQ(qz::BlitGraphMirrored(10, 20, g, 0), 0); }, 10, 20, 32, 16,
       [&](int x, int y) { return P(31 - x, y); }},
      {"reversed stretch", 32, 16, 0, [](int g) { EXPECT_EQ(qz::BlitGraphStretched(42, 20, 10, 36, g, 0), 0); }, 10,
       20, 32, 16, [&](int x, int y) { return P(31 - x, y); }},
      {"double stretch", 16, 8, 0, [](int g) { qz::BlitGraphStretched(40, 40, 72, 56, g, 0); }, 40, 40, 32, 16,
       [&](int x, int y) { return P(x / 2, y / 2); }},
      {"axis-aligned quad", 16, 16, 0,
       [](int g) { EXPECT_EQ(qz::BlitGraphOnQuad(50, 60, 82, 60, 82, 92, 50, 92, g, 0), 0); }, 50, 60, 32, 32,
       [&](int x, int y) { return P(x / 2, y / 2); }},
      {"unturned rotation", 32, 16, 1, [](int g) { EXPECT_EQ(qz::BlitGraphRotated(200, 100, 1.0, 0.0, g, 1, 0), 0); },
       184, 92, 32, 16, [&](int x, int y) { return ring(x, y, 32, 16, 1) ? kBackground : P(x, y); }},
      {"half turn", 32, 16, 0, [](int g) { qz::BlitGraphRotated(200, 100, 1.0, 3.14159265358979, g, 0, 0); },
       184 + shift, 92 + shift, 32, 16, [&](int x, int y) { return P(31 - x, 15 - y); }},
      {"sub-rectangle keeps the clip", 32, 32, 0,
       [](int g) {
         const qz::DrawSettingsBlock before = qz::GetDrawSettings();
         EXPECT_EQ(qz::BlitGraphSubRect(300, 200, 8, 4, 10, 6, g, 0, 0), 0);
         const qz::DrawSettingsBlock& after = qz::GetDrawSettings();
         EXPECT_EQ(after.clipLeft, before.clipLeft);
         EXPECT_EQ(after.clipRight, before.clipRight);
         EXPECT_EQ(after.clipBottomF, before.clipBottomF);
         EXPECT_EQ(after.clipEmpty, 0);
       },
       300, 200, 10, 6, [&](int x, int y) { return P(x + 8, y + 4); }},
      {"mirrored sub-rectangle", 32, 32, 0, [](int g) { EXPECT_EQ(qz::BlitGraphSubRect(300, 200, 8, 4, 10, 6, g, 0, 1), 0); },
       300, 200, 10, 6, [&](int x, int y) { return P(17 - x, 4 + y); }},
      {"rectangle frame is one pixel", 16, 16, 0,
       [](int) { EXPECT_EQ(qz::DrawRectangleShape(10, 20, 30, 40, 0xFFFFFFFF, 0), 0); }, 10, 20, 20, 20,
       [&](int x, int y) { return ring(x, y, 20, 20, 1) ? 0xFFFFFFu : kBackground; }},
      {"refused draws", 16, 16, 0,
       [](int g) {
         EXPECT_EQ(qz::BlitGraph(10, 10, g + 1, 0), -1);
         EXPECT_EQ(qz::BlitGraphRotated(50, 50, 1.0, 0.5, -1, 0, 0), -1);
         EXPECT_EQ(qz::BlitGraphMirrored(10, 10, 12345, 0), -1);
         EXPECT_EQ(qz::BlitGraphSubRect(10, 10, 0, 0, 4, 4, 12345, 0, 1), -1);
       },
       0, 0, 0, 0, nullptr},
      {"empty clip", 16, 16, 0,
       [](int g) {
         qz::SetClipRectangle(100, 100, 100, 200);
         EXPECT_EQ(qz::BlitGraph(100, 100, g, 0), 0);
         EXPECT_EQ(qz::BlitGraphOnQuad(0, 0, 90, 0, 90, 90, 0, 90, g, 0), 0);
         EXPECT_EQ(qz::DrawSolidRectangle(0, 0, 640, 480, 0xFFFFFFFF), 0);
         EXPECT_EQ(qz::BlitGraph(100, 100, 12345, 0), 0);
       },
       0, 0, 0, 0, nullptr},
      {"drawing skipped", 16, 16, 0,
       [](int g) {
         qz::GetDrawSettings().skipDrawing = 1;
         EXPECT_EQ(qz::BlitGraphStretched(0, 0, 100, 100, g, 0), 0);
         EXPECT_EQ(qz::DrawRectangleFrame(0, 0, 640, 480, 0xFFFFFFFF), 0);
         qz::GetDrawSettings().skipDrawing = 0;
       },
       0, 0, 0, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int graph = qz::testing::MakePatternGraph(c.graphWidth, c.graphHeight, c.border);
    const Frame frame = DrawOnce([&] { c.draw(graph); });
    EXPECT_EQ(Mismatches(frame, c.left, c.top, c.width, c.height, c.expected), 0);
  }
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

TEST_P(DrawGraph, FilledRectangleTakesTheColourTimesBrightness) {
  const Frame solid = DrawOnce([] {
    qz::SetBrightnessRGB(255, 128, 255);
    EXPECT_EQ(qz::DrawRectangleShape(30, 40, 10, 20, qz::MakeColorValue(200, 200, 100), 1), 0);
  });
  // The software fill scales by 256ths, the device by 255ths.
  const std::uint32_t fill = solid.At(10, 20);
  EXPECT_LE(qz::testing::ChannelDifference(fill, 0xC86464u), 1);
  EXPECT_EQ(Mismatches(solid, 10, 20, 20, 20, [&](int, int) { return fill; }), 0);
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
  const auto tile = [](int x, int y) { return PatternPixel(x, y); };
  const auto doubled = [](int x, int y) { return PatternPixel(x / 2, y / 2); };
  qz::testing::PaintBackScreen(0, 0, 0x40);
  qz::BlitGraph(10, 10, graph, 0);
  EXPECT_EQ(Mismatches(qz::testing::ReadBackScreen(), 10, 10, 48, 40, tile), 0);
  qz::testing::PaintBackScreen(0, 0, 0x40);
  qz::BlitGraphStretched(100, 60, 196, 140, graph, 0);
  EXPECT_EQ(Mismatches(qz::testing::ReadBackScreen(), 100, 60, 96, 80, doubled), 0);
  qz::testing::PaintBackScreen(0, 0, 0x40);
  EXPECT_EQ(qz::BlitGraphOnQuad(100, 60, 196, 60, 196, 140, 100, 140, graph, 0), 0);
  EXPECT_EQ(Mismatches(qz::testing::ReadBackScreen(), 100, 60, 96, 80, doubled), 0);
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

std::array<int, 4> Sides(const qz::Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

TEST(DrawBounds, BracketRectanglesOfEachKindOfDraw) {
  EXPECT_EQ(Sides(qz::OrderedDrawBounds(42, 36, 10, 20)), (std::array{10, 20, 42, 36}));
  // Unturned, the rotated box is the graph's own grown by 5; an odd size
  // puts the extra pixel right and below.
  EXPECT_EQ(Sides(qz::RotatedDrawBounds(100.7f, 50.2f, 1.0, 0.0, 33, 16)),
            (std::array{100 - 16 - 5, 50 - 8 - 5, 100 + 17 + 5, 50 + 8 + 5}));
  // Within one pixel: the turned corners carry rounding of the sine.
  const std::array<int, 4> quarter = Sides(qz::RotatedDrawBounds(100, 100, 2.0, 1.5707963267948966, 20, 10));
  const std::array<int, 4> turned = {100 - 10 - 5, 100 - 20 - 5, 100 + 10 + 5, 100 + 20 + 5};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(quarter[i], turned[i], 1) << i;
  // Corners are truncated toward zero, not floored.
  const float corners[8] = {-0.9f, -0.5f, 30.9f, 1.0f, 31.5f, 20.99f, 2.0f, 19.0f};
  EXPECT_EQ(Sides(qz::QuadDrawBounds(corners)), (std::array{0, 0, 31, 20}));
}

}  // namespace
