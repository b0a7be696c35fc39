// Draw target selection (refusals, the clip across sizes, the camera),
// clearing and screen capture on both paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/matrix.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/screen_present.h"
#include "graphics/screen_test_support.h"

namespace {

using qz::testing::ScreenPath;

int MakeGraph(int width, int height, bool drawable) {
  qz::SetNewGraphUserFormatFlag(drawable ? 1 : 0);
  const int graph = qz::CreateBlankGraph(width, height);
  qz::SetNewGraphUserFormatFlag(0);
  EXPECT_NE(graph, -1);
  return graph;
}

// The graph's pixels, put together from its texture tiles or its software view.
qz::testing::Picture ReadGraph(int graph) {
  const qz::GraphRecord* record = qz::GetGraphRecord(graph);
  qz::testing::Picture picture{record->width, record->height, {}};
  picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height);
  const qz::MEMIMG& view = record->softView;
  for (int y = 0; y < view.height; ++y) {
    std::memcpy(&picture.pixels[static_cast<std::size_t>(y) * picture.width],
                view.pixels + static_cast<std::ptrdiff_t>(y) * view.block->pitch, static_cast<std::size_t>(view.width) * 4);
  }
  for (int index = 0; index < record->image->tileCount; ++index) {
    const qz::GraphTextureTile& tile = record->image->tiles[index];
    int width = 0;
    std::vector<std::uint32_t> texels;
    EXPECT_TRUE(plat::ReadD3D9SurfaceArgb(tile.surface, &texels, &width, nullptr));
    for (int y = 0; y < tile.usedHeight; ++y) {
      for (int x = 0; x < tile.usedWidth; ++x) {
        picture.pixels[static_cast<std::size_t>(tile.y + y) * picture.width + tile.x + x] =
            texels[static_cast<std::size_t>(y) * width + x];
      }
    }
  }
  return picture;
}

void ExpectClip(int left, int top, int right, int bottom) {
  const qz::DrawSettingsBlock& settings = qz::GetDrawSettings();
  EXPECT_EQ(settings.clipLeft, left);
  EXPECT_EQ(settings.clipTop, top);
  EXPECT_EQ(settings.clipRight, right);
  EXPECT_EQ(settings.clipBottom, bottom);
}

class DrawTarget : public qz::testing::ScreenLibraryTest {};

TEST_P(DrawTarget, RefusalsLeaveTheTargetAndASameSizedTargetKeepsTheClip) {
  Start();
  EXPECT_EQ(qz::SelectDrawTarget(-1), -1);
  EXPECT_EQ(qz::SelectDrawTarget(0x08000123), -1);
  if (OnDevice()) {
    EXPECT_EQ(qz::SelectDrawTarget(MakeGraph(64, 64, false)), -1);
  }
  EXPECT_EQ(qz::GetDrawTarget(), qz::kBackScreen);

  qz::SetClipRectangle(10, 20, 100, 120);
  const int screenSized = MakeGraph(640, 480, true);
  ASSERT_EQ(qz::SelectDrawTarget(screenSized), 0);
  EXPECT_EQ(qz::GetDrawTarget(), screenSized);
  ExpectClip(10, 20, 100, 120);
  const int small = MakeGraph(64, 32, true);
  ASSERT_EQ(qz::SelectDrawTarget(small), 0);
  EXPECT_EQ(qz::GetDrawTargetWidth(), 64);
  EXPECT_EQ(qz::GetDrawTargetHeight(), 32);
  ExpectClip(0, 0, 64, 32);
  ASSERT_EQ(qz::SelectDrawTarget(qz::kBackScreen), 0);
  ExpectClip(0, 0, 640, 480);
}

TEST_P(DrawTarget, CameraLooksStraightAtTheTarget) {
  Start();
  const qz::DrawSettingsBlock& settings = qz::GetDrawSettings();
  const float distance = 240.0f / 0.57735026f;  // 415.69
  EXPECT_NEAR(settings.nearClip, distance * 0.1f, 0.01f);
  EXPECT_NEAR(settings.farClip, distance + 20000.0f, 0.01f);
  EXPECT_NEAR(settings.fieldOfView, 1.0471976f, 1e-6f);
  // The target's centre lies straight ahead of the eye, at the distance.
  const qz::Vector3 centre{320.0f, 240.0f, 0.0f};
  qz::Vector3 seen{};
  qz::TransformVector3(&seen, &centre, &settings.viewMatrix);
  EXPECT_NEAR(seen.x, 0.0f, 0.01f);
  EXPECT_NEAR(seen.y, 0.0f, 0.01f);
  EXPECT_NEAR(seen.z, distance, 0.01f);
  plat::D3D9StateSnapshot snapshot{};
  if (OnDevice() && plat::GetD3D9StateSnapshot(qz::GetGraphicsState().device, &snapshot)) {
    EXPECT_NEAR(snapshot.view.m[3][2], distance, 0.01f);
  }
}

TEST_P(DrawTarget, ClearUsesTheBackgroundColourAndANegativeLeftClearsEverything) {
  Start();
  qz::WindowSettings& window = qz::GetWindowSystemState().settings;
  window.backgroundRed = 0x11;
  window.backgroundGreen = 0x22;
  window.backgroundBlue = 0x33;
  qz::testing::PaintPattern();
  const plat::WinRect part{8, 8, 24, 16};
  ASSERT_EQ(qz::ClearDrawTarget(&part), 0);
  ASSERT_EQ(qz::PresentFrame(), 0);
  qz::testing::Picture shown = qz::testing::ReadWindow();
  EXPECT_EQ(shown.At(8, 8), 0x112233u);
  EXPECT_EQ(shown.At(23, 15), 0x112233u);
  EXPECT_EQ(shown.At(24, 15), qz::testing::PatternColor(24, 15));
  EXPECT_EQ(shown.At(23, 16), qz::testing::PatternColor(23, 16));

  const plat::WinRect negative{-1, 0, 5, 5};
  ASSERT_EQ(qz::ClearDrawTarget(&negative), 0);
  ASSERT_EQ(qz::PresentFrame(), 0);
  shown = qz::testing::ReadWindow();
  EXPECT_EQ(std::count(shown.pixels.begin(), shown.pixels.end(), shown.pixels[0]), 640 * 480);
  EXPECT_EQ(shown.At(0, 0), 0x112233u);
}

TEST_P(DrawTarget, CaptureCopiesTheScreenIntoDrawableAndPlainGraphs) {
  Start();
  qz::testing::PaintPattern();
  for (const bool drawable : {true, false}) {
    const int graph = MakeGraph(640, 480, drawable);
    ASSERT_EQ(qz::CaptureScreenToGraph(0, 0, 640, 480, graph, 1), 0) << drawable;
    EXPECT_EQ(ReadGraph(graph).PatternMismatches(640, 480), 0) << drawable;
  }
  // A drawable graph of one texture is copied by the device.
  const int single = MakeGraph(256, 128, true);
  const int copiesBefore = plat::GetD3D9CallCount("StretchRect");
  ASSERT_EQ(qz::CaptureScreenRectToGraphCore(qz::kBackScreen, 80, 40, 336, 168, 0, 0, single, 0), 0);
  if (OnDevice()) {
    EXPECT_EQ(plat::GetD3D9CallCount("StretchRect"), copiesBefore + 1);
  }
  const qz::testing::Picture copiedWhole = ReadGraph(single);
  EXPECT_EQ(copiedWhole.At(0, 0), qz::testing::PatternColor(80, 40));
  EXPECT_EQ(copiedWhole.At(255, 127), qz::testing::PatternColor(335, 167));

  const int small = MakeGraph(320, 240, false);
  EXPECT_EQ(qz::CaptureScreenToGraph(0, 0, 640, 480, small, 1), -1);
  EXPECT_EQ(qz::CaptureScreenToGraph(10, 10, 10, 20, small, 1), -1);
  // A part of the screen at a place in the graph; a part that does not fit is refused.
  ASSERT_EQ(qz::CaptureScreenRectToGraphCore(qz::kBackScreen, 80, 40, 160, 80, 16, 8, small, 0), 0);
  const qz::testing::Picture copied = ReadGraph(small);
  EXPECT_EQ(copied.At(16, 8), qz::testing::PatternColor(80, 40));
  EXPECT_EQ(copied.At(95, 47), qz::testing::PatternColor(159, 79));
  EXPECT_EQ(qz::CaptureScreenRectToGraphCore(qz::kBackScreen, 0, 0, 320, 240, 1, 0, small, 0), -1);
  EXPECT_EQ(qz::CaptureScreenRectToGraphCore(qz::kBackScreen, 0, 0, 16, 16, 0, 0, 0x08000123, 0), -1);
  EXPECT_EQ(plat::GetD3D9OpenLockCount(), 0);
}

TEST_P(DrawTarget, ReleasingTheTargetGraphSendsDrawingBackToTheScreen) {
  Start();
  const int graph = MakeGraph(64, 32, true);
  ASSERT_EQ(qz::SelectDrawTarget(graph), 0);
  ASSERT_EQ(qz::ReleaseGraph(graph), 0);
  EXPECT_EQ(qz::GetDrawTarget(), qz::kBackScreen);
  EXPECT_EQ(qz::ClearDrawTarget(nullptr), 0);
  EXPECT_EQ(qz::GetDrawTargetWidth(), 640);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, DrawTarget, ::testing::Values(ScreenPath::kDevice, ScreenPath::kSoftware),
                         qz::testing::ScreenPathName);

}  // namespace
