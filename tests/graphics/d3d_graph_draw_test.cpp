// The hardware draw builders on the stand-in device: the vertices they queue,
// texels landing exactly on pixels across tiles and clip edges, rotations by
// quarter turns, warped quads with and without a blend graph, and rectangles.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "graphics/d3d_graph_draw.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_test_support.h"
#include "graphics/graph_record.h"
#include "graphics/pending_draw_state.h"

namespace qz::testing {
namespace {

constexpr std::uint32_t kBackground = 0x0000FF;  // never a pattern pixel

std::uint32_t ImagePixel(BaseImage* image, int x, int y) {
  int r = 0, g = 0, b = 0, a = 0;
  GetBaseImagePixel(image, x, y, &r, &g, &b, &a);
  return static_cast<std::uint32_t>(r << 16 | g << 8 | b);
}

class DeviceBuilders : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.started());
    PaintBackScreen(0, 0, 255);
    FlushVertexBatch();
  }
  // A pattern graph whose image is kept for the expected pixels.
  int MakeGraph(int width, int height) {
    image_ = MakePatternImage(width, height);
    const int graph = BuildGraphFromBaseImages(&image_, nullptr, 0);
    EXPECT_NE(graph, -1);
    return graph;
  }
  void TearDown() override { FreeBaseImagePixels(&image_); }

  // Counts pixels of `frame` in the box that differ from the graph pixel
  // `source` maps them to (x, y inside the box).
  int Mismatches(const Frame& frame, int left, int top, int width, int height,
                 const std::function<std::uint32_t(int, int)>& source) {
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) wrong += frame.At(left + x, top + y) != source(x, y) ? 1 : 0;
    }
    return wrong;
  }

  DrawingLibrary library_{Renderer::kDevice};
  BaseImage image_{};
};

TEST_F(DeviceBuilders, PlainBlitQueuesTwoTrianglesShiftedByHalfAPixel) {
  const int graph = MakeGraph(16, 8);
  ASSERT_EQ(BlitGraph(10, 20, graph, 0), 0);
  const VertexBatch& batch = GetVertexBatch();
  ASSERT_EQ(batch.vertexCount, 6u);
  ASSERT_EQ(batch.vertexKind, kVertexKindOneTexture);
  const auto* v = reinterpret_cast<const TexturedVertex*>(batch.buffers[1]);
  EXPECT_FLOAT_EQ(v[0].x, 9.5f);
  EXPECT_FLOAT_EQ(v[0].y, 19.5f);
  EXPECT_FLOAT_EQ(v[3].x, 25.5f);
  EXPECT_FLOAT_EQ(v[3].y, 27.5f);
  EXPECT_FLOAT_EQ(v[4].x, v[2].x);
  EXPECT_FLOAT_EQ(v[5].y, v[1].y);
  EXPECT_EQ(v[0].diffuse, 0xFFFFFFFFu);
  EXPECT_EQ(v[3].diffuse, 0xFFFFFFFFu);
  EXPECT_FLOAT_EQ(v[3].u, 16.0f / 16.0f);
  EXPECT_FLOAT_EQ(v[3].v, 8.0f / 8.0f);
  EXPECT_EQ(Mismatches(ReadBackScreen(), 10, 20, 16, 8, [&](int x, int y) { return ImagePixel(&image_, x, y); }), 0);

  // Wholly outside the clip: nothing queued, still a success.
  ASSERT_EQ(BlitGraph(700, 20, graph, 0), 0);
  EXPECT_EQ(GetVertexBatch().vertexCount, 0u);
}

TEST_F(DeviceBuilders, TiledGraphPartlyOutsideTheClipKeepsEveryTexelInPlace) {
  // Wider than the largest texture: two tiles meeting at graph x 2048.
  const int graph = MakeGraph(2100, 6);
  ASSERT_GE(GetGraphRecord(graph)->drawEntries.size(), 2u);
  SetClipRectangle(0, 0, 600, 480);
  ASSERT_EQ(BlitGraph(-1500, 30, graph, 0), 0);
  const Frame frame = ReadBackScreen();
  EXPECT_EQ(Mismatches(frame, 0, 30, 600, 6, [&](int x, int y) { return ImagePixel(&image_, x + 1500, y); }), 0);
  EXPECT_EQ(frame.At(600, 32), kBackground);
}

TEST_F(DeviceBuilders, MirroredStretchCutByTheClipShowsTheRightTexels) {
  const int graph = MakeGraph(30, 10);
  SetClipRectangle(0, 0, 20, 480);
  ASSERT_EQ(BlitGraphStretched(30, 40, 0, 50, graph, 0), 0);
  const Frame frame = ReadBackScreen();
  EXPECT_EQ(Mismatches(frame, 0, 40, 20, 10, [&](int x, int y) { return ImagePixel(&image_, 29 - x, y); }), 0);
  EXPECT_EQ(frame.At(20, 45), kBackground);
}

// Text draws each glyph as a part of its cache graph cut out by the clip:
// every part shows exactly its own texels, wherever it starts, and nothing
// around it.
TEST_F(DeviceBuilders, PartsOfAGraphCutOutByTheClipShowExactlyTheirTexels) {
  const int graph = MakeGraph(60, 21);
  struct Part {
    int x, y, srcX, srcY, width, height;
  };
  const Part parts[] = {{5, 5, 0, 0, 9, 18}, {40, 7, 9, 3, 13, 17}, {81, 60, 47, 1, 13, 20}, {3, 100, 31, 20, 1, 1}};
  for (const Part& p : parts) ASSERT_EQ(BlitGraphSubRect(p.x, p.y, p.srcX, p.srcY, p.width, p.height, graph, 0, 0), 0);
  const Frame frame = ReadBackScreen();
  for (const Part& p : parts) {
    EXPECT_EQ(Mismatches(frame, p.x, p.y, p.width, p.height,
                         [&](int x, int y) { return ImagePixel(&image_, p.srcX + x, p.srcY + y); }),
              0)
        << "part at " << p.x << "," << p.y;
    EXPECT_EQ(frame.At(p.x - 1, p.y), kBackground);
    EXPECT_EQ(frame.At(p.x + p.width, p.y + p.height - 1), kBackground);
    EXPECT_EQ(frame.At(p.x, p.y + p.height), kBackground);
  }
}

TEST_F(DeviceBuilders, QuarterTurnsOfEvenAndOddSizesArePixelExact) {
  for (const auto& [w, h] : {std::pair{16, 8}, std::pair{15, 7}, std::pair{16, 7}}) {
    PaintBackScreen(0, 0, 255);
    const int graph = MakeGraph(w, h);
    ASSERT_EQ(BlitGraphRotated(100, 100, 1.0, M_PI / 2, graph, 0, 0), 0);
    const Frame frame = ReadBackScreen();
    int left = 640, top = 480, drawn = 0;
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) {
        if (frame.At(x, y) == kBackground) continue;
        ++drawn;
        left = std::min(left, x);
        top = std::min(top, y);
      }
    }
    EXPECT_EQ(drawn, w * h) << w << "x" << h;
    // Turned clockwise: the bottom-left texel lands top-left.
    EXPECT_EQ(Mismatches(frame, left, top, h, w, [&](int x, int y) { return ImagePixel(&image_, y, h - 1 - x); }), 0)
        << w << "x" << h;
    FreeBaseImagePixels(&image_);
  }
}

TEST_F(DeviceBuilders, RefusesZeroSizesScaleAndALostDevice) {
  const int graph = MakeGraph(8, 8);
  GraphRecord* record = GetGraphRecord(graph);
  EXPECT_EQ(DeviceBlitGraphStretched(5, 5, 5, 20, 5, 5, 5, 20, record, 0, 1), -1);
  EXPECT_EQ(DeviceBlitGraphRotated(record, 50, 50, 0.0, 1.0, 0, 0), -1);
  EXPECT_EQ(GetVertexBatch().vertexCount, 0u);
  plat::SetD3D9DeviceStateForTest(plat::D3DERR_DEVICELOST);
  EXPECT_EQ(DeviceBlitGraph(record, 0, 0, 0, 0, 0, 1), -1);
  EXPECT_EQ(DeviceDrawSolidRect(0, 0, 4, 4, 0), -1);
  plat::SetD3D9DeviceStateForTest(plat::D3D_OK);
}

// Pixels well inside and just outside the trapezoid (100,100)-(200,100)-(250,200)-(50,200).
void ExpectTrapezoid(const Frame& frame, const char* what) {
  EXPECT_NE(frame.At(150, 103), kBackground) << what;
  EXPECT_NE(frame.At(60, 197), kBackground) << what;
  EXPECT_NE(frame.At(240, 197), kBackground) << what;
  EXPECT_NE(frame.At(78, 150), kBackground) << what;
  EXPECT_NE(frame.At(222, 150), kBackground) << what;
  EXPECT_EQ(frame.At(72, 150), kBackground) << what;
  EXPECT_EQ(frame.At(228, 150), kBackground) << what;
  EXPECT_EQ(frame.At(96, 103), kBackground) << what;
  EXPECT_EQ(frame.At(150, 203), kBackground) << what;
}

TEST_F(DeviceBuilders, TrapezoidCoversItsShapeThroughTheGridAndThroughTheBlendGraph) {
  const int graph = MakeGraph(32, 32);
  ASSERT_EQ(BlitGraphOnQuad(100, 100, 200, 100, 250, 200, 50, 200, graph, 0), 0);
  ExpectTrapezoid(ReadBackScreen(), "grid");

  PaintBackScreen(0, 0, 255);
  BaseImage white{};
  ASSERT_EQ(AllocXRGB8BaseImage(64, 64, &white), 0);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) SetBaseImagePixel(&white, x, y, 255, 255, 255, 255);
  }
  const int mask = BuildGraphFromBaseImages(&white, nullptr, 0);
  FreeBaseImagePixels(&white);
  ASSERT_EQ(SetBlendMaskGraph(mask, 0, 0), 0);
  ASSERT_EQ(BlitGraphOnQuad(100, 100, 200, 100, 250, 200, 50, 200, graph, 0), 0);
  ExpectTrapezoid(ReadBackScreen(), "blend graph");
  SetBlendMaskGraph(-1, 0, 0);
}

TEST_F(DeviceBuilders, ParallelogramQuadIsOneQuadOfSixVertices) {
  const int graph = MakeGraph(20, 10);
  ASSERT_EQ(BlitGraphOnQuad(50.0f, 50.0f, 70.0f, 60.0f, 70.0f, 70.0f, 50.0f, 60.0f, graph, 0), 0);
  EXPECT_EQ(GetVertexBatch().vertexCount, 6u);
  EXPECT_EQ(GetVertexBatch().primitiveType, static_cast<std::int32_t>(plat::D3DPT_TRIANGLELIST));
}

TEST_F(DeviceBuilders, RectanglesAreColourTimesDrawColourAndFramesOnePixelWide) {
  SetBrightnessRGB(128, 255, 255);
  ASSERT_EQ(DrawSolidRectangle(20, 20, 10, 10, MakeColorValue(200, 100, 50)), 0);
  EXPECT_EQ(ReadBackScreen().At(15, 15), static_cast<std::uint32_t>((128 * 200 / 255) << 16 | 100 << 8 | 50));
  SetBrightnessRGB(255, 255, 255);
  ASSERT_EQ(DrawRectangleFrame(5, 5, 6, 6, MakeColorValue(255, 255, 255)), 0);
  EXPECT_EQ(GetVertexBatch().vertexCount, 24u);
  ASSERT_EQ(DrawRectangleFrame(40, 40, 50, 46, MakeColorValue(255, 255, 255)), 0);
  const Frame frame = ReadBackScreen();
  int lit = 0;
  for (int y = 38; y < 48; ++y) {
    for (int x = 38; x < 52; ++x) lit += frame.At(x, y) == 0xFFFFFF ? 1 : 0;
  }
  EXPECT_EQ(lit, 2 * 10 + 2 * 4);
  EXPECT_EQ(frame.At(44, 42), kBackground);
  EXPECT_EQ(frame.At(49, 45), 0xFFFFFFu);
}

}  // namespace
}  // namespace qz::testing
