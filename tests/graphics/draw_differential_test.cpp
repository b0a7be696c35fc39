// One scene drawn through the device (the stand-in's rasteriser) and through
// the software renderer: every draw in every blend mode the software renderer
// knows, on a varied background. Where the two compute alike the frames must
// agree exactly; where their rounding differs, within the bounds below.
// Subtraction on a device without a reverse-subtract operation, emulated by
// inversion, must match the native subtraction within one.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "graphics/draw_graph.h"
#include "graphics/draw_test_support.h"
#include "graphics/screen_mode_change.h"
#include "graphics/shader_objects.h"
#include "graphics/shader_pack_layout.h"

namespace {

using qz::testing::Frame;
using qz::testing::Renderer;

constexpr int kCell = 64;
constexpr int kBlendModes[] = {0, 1, 2, 3, 4, 10, 11};

enum class Op { kPlain, kStretched, kMirrored, kRotated, kSubRect, kQuad, kSolid, kFrame, kCount };

const char* OpName(Op op) {
  static const char* const kNames[] = {"plain", "stretched", "mirrored", "rotated", "sub-rect", "quad", "solid",
                                       "frame"};
  return kNames[static_cast<int>(op)];
}

struct Case {
  Op op;
  int mode;
  bool tinted;  // brightness other than white
  int x, y;     // top-left of the case's cell
};

std::vector<Case> SceneCases() {
  std::vector<Case> cases;
  int cell = 0;
  for (bool tinted : {false, true}) {
    for (int op = 0; op < static_cast<int>(Op::kCount); ++op) {
      for (int mode : kBlendModes) {
        if (tinted && op != static_cast<int>(Op::kPlain) && op != static_cast<int>(Op::kSolid)) continue;
        cases.push_back({static_cast<Op>(op), mode, tinted, (cell % 10) * kCell, (cell / 10) * kCell});
        ++cell;
      }
    }
  }
  return cases;
}

// A background of gradients, so each blend mode meets many destinations.
int MakeBackgroundGraph() {
  qz::BaseImage image{};
  EXPECT_EQ(qz::AllocXRGB8BaseImage(640, 480, &image), 0);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      qz::SetBaseImagePixel(&image, x, y, (x * 4) & 0xFF, (y * 4) & 0xFF, ((x + y) * 2) & 0xFF, 255);
    }
  }
  const int graph = qz::BuildGraphFromBaseImages(&image, nullptr, 0);
  qz::FreeBaseImagePixels(&image);
  return graph;
}

// Turned draws and stretches by other than whole factors are left out: the
// software renderer maps destination pixels to the source from their corners
// (no half-pixel offset), the device samples at pixel centres, so texels
// shift by one at different places. Rotation here is by 0 and the stretch 2x.
void DrawCase(const Case& c, int sprite) {
  qz::SetBlendModeAndParam(c.mode, c.mode == 0 ? 0 : 160);
  if (c.tinted) {
    qz::SetBrightnessRGB(255, 200, 96);
  } else {
    qz::SetBrightnessRGB(255, 255, 255);
  }
  const int x = c.x + 8, y = c.y + 8;
  const int trans = 1;
  switch (c.op) {
    case Op::kPlain: qz::BlitGraph(x, y, sprite, trans); break;
    case Op::kStretched: qz::BlitGraphStretched(x, y, x + 48, y + 48, sprite, trans); break;
    case Op::kMirrored: qz::BlitGraphMirrored(x, y, sprite, trans); break;
    case Op::kRotated: qz::BlitGraphRotated(x + 12, y + 12, 1.0, 0.0, sprite, trans, 0); break;
    case Op::kSubRect: qz::BlitGraphSubRect(x, y, 4, 6, 16, 12, sprite, trans, 0); break;
    case Op::kQuad: qz::BlitGraphOnQuad(x, y, x + 48, y, x + 48, y + 48, x, y + 48, sprite, trans); break;
    case Op::kSolid: qz::DrawSolidRectangle(x, y, x + 40, y + 30, qz::MakeColorValue(220, 90, 30)); break;
    case Op::kFrame: qz::DrawRectangleFrame(x, y, x + 40, y + 30, qz::MakeColorValue(30, 200, 250)); break;
    case Op::kCount: break;
  }
}

Frame DrawScene(Renderer renderer, int colorBits, bool nativeSubtract) {
  qz::testing::DrawingLibrary library(renderer, {.nativeSubtract = nativeSubtract, .colorBits = colorBits});
  EXPECT_TRUE(library.started());
  const int background = MakeBackgroundGraph();
  const int sprite = qz::testing::MakePatternGraph(24, 24, 2);
  qz::SetBlendModeAndParam(0, 0);
  qz::BlitGraph(0, 0, background, 0);
  for (const Case& c : SceneCases()) DrawCase(c, sprite);
  qz::SetBlendModeAndParam(0, 0);
  qz::SetBrightnessRGB(255, 255, 255);
  return qz::testing::ReadBackScreen();
}

// How far the two renderers may differ per channel in a case, in steps of the
// screen's channels. The device rounds each blend once; the software
// renderer's formulas are its own and fixed:
// - 0: copies agree exactly;
// - 1, 10: the weighted step is floored by 256ths instead of 255ths;
// - 2: the term is floored and the packed add ORs the lowest bits of green
//   and red instead of adding them;
// - 3: the term is floored, its lowest green and red bit dropped and the
//   destination's forced to 1 (up to three above the exact value);
// - 4: the product is floored over 256 instead of 255;
// - 11: that product again, then the weighted step by 256ths.
// A brightness other than white adds one rounding on each side. On a 16-bit
// screen the device keeps colour-keyed graphs with five bits of green (one
// alpha bit) where the software image keeps six, and the software renderer
// works on the fields themselves: one step more.
int RendererTolerance(const Case& c, int colorBits) {
  int base = 0;
  switch (c.mode) {
    case 0: base = 0; break;
    case 1:
    case 2:
    case 10: base = 1; break;
    case 3: base = 3; break;
    default: base = 2; break;
  }
  return base + (c.tinted ? 1 : 0) + (colorBits == 16 ? 1 : 0);
}

// The cases whose cells differ by more than their tolerance, each with its
// worst channel difference.
template <class Tolerance>
std::string CellsBeyond(const Frame& a, const Frame& b, Tolerance tolerance) {
  std::string report;
  for (const Case& c : SceneCases()) {
    const int limit = tolerance(c);
    int worst = 0;
    for (int y = c.y; y < c.y + kCell; ++y) {
      for (int x = c.x; x < c.x + kCell; ++x) {
        const int d = qz::testing::PixelDifference(a.At(x, y), b.At(x, y), a.bits);
        worst = d > worst ? d : worst;
      }
    }
    if (worst > limit) {
      report += std::string(OpName(c.op)) + " mode " + std::to_string(c.mode) + (c.tinted ? " tinted" : "") +
                ": " + std::to_string(worst) + "\n";
    }
  }
  return report;
}

class DrawDifferential : public ::testing::TestWithParam<int> {};

TEST_P(DrawDifferential, BothRenderersDrawTheSceneAlike) {
  const Frame device = DrawScene(Renderer::kDevice, GetParam(), true);
  const Frame software = DrawScene(Renderer::kSoftware, GetParam(), true);
  EXPECT_EQ(CellsBeyond(device, software, [](const Case& c) { return RendererTolerance(c, GetParam()); }), "");
}

TEST_P(DrawDifferential, EmulatedSubtractionMatchesTheNativeOne) {
  const Frame native = DrawScene(Renderer::kDevice, GetParam(), true);
  const Frame emulated = DrawScene(Renderer::kDevice, GetParam(), false);
  EXPECT_EQ(CellsBeyond(native, emulated, [](const Case&) { return 1; }), "");
}

// A disc whose alpha runs from opaque at the centre to nothing at the rim.
int MakeSoftDiscGraph(int size) {
  qz::BaseImage image{};
  EXPECT_EQ(qz::AllocARGB8BaseImage(size, size, &image), 0);
  const double radius = size / 2.0;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double d = std::hypot(x + 0.5 - radius, y + 0.5 - radius) / radius;
      const int alpha = d >= 1.0 ? 0 : static_cast<int>(255 * (1.0 - d * d));
      qz::SetBaseImagePixel(&image, x, y, (x * 11) & 0xFF, (y * 9) & 0xFF, 200, alpha);
    }
  }
  const int graph = qz::BuildGraphFromBaseImages(&image, nullptr, 0);
  qz::FreeBaseImagePixels(&image);
  return graph;
}

// Draws that repeat the one before them, with the device state moved in
// between by other draws, settings, shaders, a full batch and a device
// rebuild. With
// `flushEach` every draw is drawn at once, so the next one is prepared in
// full; without, repeated draws keep the state the last preparation left.
Frame DrawRepeatedScene(bool flushEach) {
  qz::testing::DrawingLibrary library(Renderer::kDevice, {.shaderModel20 = true});
  EXPECT_TRUE(library.started());
  const int background = MakeBackgroundGraph();
  const int disc = MakeSoftDiscGraph(24);
  const int keyed = qz::testing::MakePatternGraph(24, 24, 3);
  int at = 0;
  const auto next = [&at] {
    const int cell = at++;
    return std::pair{(cell * 29) % 600, (cell * 29) / 600 * 26};
  };
  const auto step = [flushEach](const std::function<void()>& draw) {
    draw();
    if (flushEach) qz::FlushVertexBatch();
  };
  const auto twice = [&](int graph) {
    for (int i = 0; i < 2; ++i) {
      const auto [x, y] = next();
      step([&] { qz::BlitGraph(x, y, graph, 1); });
    }
  };
  step([&] { qz::BlitGraph(0, 0, background, 0); });
  twice(disc);
  const auto [rx, ry] = next();
  step([&] { qz::BlitGraphRotated(rx + 12, ry + 12, 1.0, 0.0, disc, 1, 0); });
  twice(keyed);
  twice(disc);
  step([] { qz::DrawSolidRectangle(300, 300, 340, 330, qz::MakeColorValue(250, 40, 90)); });
  twice(disc);
  // Set outside the draw settings; the next draw must clear them again.
  step([] { qz::SetPackShaders(qz::kTestVertexShaderSlot, qz::kTestPixelShaderSlot); });
  twice(disc);
  step([] { qz::SetDrawFilterMode(1); });
  const auto [sx, sy] = next();
  step([&] { qz::BlitGraphStretched(sx, sy, sx + 37, sy + 29, disc, 1); });
  step([] { qz::SetDrawFilterMode(0); });
  twice(disc);
  for (const auto& [mode, param] : {std::pair{qz::kBlendAlpha, 140}, {qz::kBlendAdd, 200}, {qz::kBlendNone, 0}}) {
    step([mode, param] { qz::SetBlendModeAndParam(mode, param); });
    twice(keyed);
    twice(disc);
  }
  step([] { qz::SetBrightnessRGB(120, 255, 60); });
  twice(disc);
  step([] { qz::SetBrightnessRGB(255, 255, 255); });
  twice(disc);
  // More quads than one batch holds.
  for (int i = 0; i < 500; ++i) {
    const int graph = i / 100 % 2 != 0 ? keyed : disc;
    step([i, graph] { qz::BlitGraph(i % 40 * 16, 400 + i / 40 % 3 * 20, graph, 1); });
  }
  EXPECT_EQ(qz::RebuildGraphicsDeviceDefault(), 0);
  twice(disc);
  twice(keyed);
  const Frame frame = qz::testing::ReadBackScreen();
  EXPECT_EQ(plat::GetD3D9ShaderDrawRefusalCount(), 0);
  return frame;
}

TEST(PreparedDrawState, RepeatedDrawsKeepingTheirStateDrawAsFullyPreparedOnes) {
  const Frame kept = DrawRepeatedScene(false);
  const Frame prepared = DrawRepeatedScene(true);
  ASSERT_EQ(kept.pixels.size(), 640u * 480u);
  EXPECT_EQ(qz::testing::CountDifferentPixels(kept, prepared), 0);
}

INSTANTIATE_TEST_SUITE_P(ScreenDepths, DrawDifferential, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "Bit"; });

}  // namespace
