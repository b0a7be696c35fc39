// The pending draw state on the stand-in device: the pixels each blend mode
// gives for graphs and rectangles, the alpha sources of keyed and
// alpha-channelled graphs, blend-graph states, and that nothing is sent twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "core/log_text.h"
#include "graphics/d3d_graph_draw.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_graph.h"
#include "graphics/graph_record.h"
#include "graphics/pending_draw_state.h"
#include "graphics/draw_test_support.h"
#include "support/scratch_log.h"

namespace qz::testing {
namespace {

struct Rgb {
  int r, g, b;
};

Rgb ToRgb(std::uint32_t pixel) {
  return Rgb{static_cast<int>(pixel >> 16 & 0xFF), static_cast<int>(pixel >> 8 & 0xFF), static_cast<int>(pixel & 0xFF)};
}

// A graph whose every pixel is (r, g, b, a); an alpha below 255 gives it an alpha channel.
int MakeUniformGraph(int width, int height, Rgb c, int alpha = 255) {
  BaseImage image{};
  EXPECT_EQ(alpha < 255 ? AllocARGB8BaseImage(width, height, &image) : AllocXRGB8BaseImage(width, height, &image), 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) SetBaseImagePixel(&image, x, y, c.r, c.g, c.b, alpha);
  }
  const int graph = BuildGraphFromBaseImages(&image, nullptr, 0);
  FreeBaseImagePixels(&image);
  EXPECT_NE(graph, -1);
  return graph;
}

plat::D3D9StateSnapshot Snapshot() {
  FlushVertexBatch();
  plat::D3D9StateSnapshot snapshot{};
  EXPECT_TRUE(plat::GetD3D9StateSnapshot(GetGraphicsState().device, &snapshot));
  return snapshot;
}

int CountCalls(const std::vector<plat::D3D9Call>& calls, const std::string& method) {
  return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const auto& c) { return c.method == method; }));
}

constexpr Rgb kSource{200, 100, 40};
constexpr Rgb kDest{60, 120, 240};
constexpr int kParam = 180;  // far from half, so that swapped blend weights show

int Div255(double v) { return static_cast<int>(std::lround(v / 255.0)); }

// What a blend mode makes of source channel s over destination channel d at
// parameter a, by the rows' factors and stage variants.
struct ModeCase {
  int mode;
  std::function<int(int s, int d, int a)> expected;
  bool shapeToo;  // the untextured variant is drawable on the stand-in
};

int Alpha(int s, int d, int a) { return Div255(s * a + d * (255 - a)); }
int AddSat(int s, int d, int a) { return std::min(255, d + Div255(s * a)); }
int SubSat(int s, int d, int a) { return std::max(0, d - Div255(s * a)); }

const ModeCase kModeCases[] = {
    {0, [](int s, int, int) { return s; }, true},
    {1, Alpha, true},
    {2, AddSat, true},
    {3, SubSat, true},
    {4, [](int s, int d, int) { return Div255(s * d); }, true},
    {5, AddSat, true},
    {6, [](int s, int, int) { return s; }, true},
    {8, [](int, int d, int) { return d; }, true},
    {9, [](int s, int d, int) { return Div255(s * (255 - d)); }, true},
    {10, [](int s, int d, int a) { return Alpha(255 - s, d, a); }, true},
    {11, [](int s, int d, int a) { return Div255(d * Alpha(s, 255, a)); }, true},
    {12, [](int s, int d, int a) { return Alpha(std::min(255, 4 * s), d, a); }, false},
    {13, [](int s, int d, int a) { return AddSat(std::min(255, 4 * s), d, a); }, false},
    {14, [](int s, int, int) { return s; }, true},
    {15, SubSat, true},
};

class BlendRows : public ::testing::TestWithParam<bool> {};

void ExpectNear(std::uint32_t pixel, const ModeCase& c, const char* what) {
  const Rgb got = ToRgb(pixel);
  EXPECT_NEAR(got.r, c.expected(kSource.r, kDest.r, kParam), 2) << what << " mode " << c.mode;
  EXPECT_NEAR(got.g, c.expected(kSource.g, kDest.g, kParam), 2) << what << " mode " << c.mode;
  EXPECT_NEAR(got.b, c.expected(kSource.b, kDest.b, kParam), 2) << what << " mode " << c.mode;
}

TEST_P(BlendRows, EveryModeGivesItsFormulaForGraphsAndRectangles) {
  DrawingLibrary library(Renderer::kDevice, GetParam());
  ASSERT_TRUE(library.started());
  const int graph = MakeUniformGraph(8, 8, kSource);
  for (const ModeCase& c : kModeCases) {
    PaintBackScreen(kDest.r, kDest.g, kDest.b);
    SetBlendModeAndParam(c.mode, kParam);
    ASSERT_EQ(BlitGraph(10, 10, graph, 0), 0);
    ASSERT_EQ(DrawSolidRectangle(30, 10, 38, 18, MakeColorValue(kSource.r, kSource.g, kSource.b)), 0);
    const Frame frame = ReadBackScreen();
    ExpectNear(frame.At(13, 13), c, "graph");
    // Rectangles are not bracketed by the emulation: mode 3 keeps its own row there.
    if (c.shapeToo && (c.mode != 3 || GetParam())) ExpectNear(frame.At(33, 13), c, "rectangle");
    EXPECT_EQ(frame.At(20, 13), 0x3C78F0u) << "mode " << c.mode;
  }
}

INSTANTIATE_TEST_SUITE_P(NativeAndEmulatedSubtraction, BlendRows, ::testing::Values(true, false),
                         [](const auto& info) { return std::string(info.param ? "Native" : "Emulated"); });

class PendingState : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library_.started()); }
  DrawingLibrary library_{Renderer::kDevice};
};

TEST_F(PendingState, ColourKeyTestsAlphaAndAlphaChannelBlends) {
  PaintBackScreen(0, 0, 255);
  const int keyed = MakePatternGraph(16, 16, 2);
  ASSERT_EQ(BlitGraph(10, 10, keyed, 1), 0);
  plat::D3D9StateSnapshot s = Snapshot();
  EXPECT_EQ(s.renderStates[plat::D3DRS_ALPHATESTENABLE], 1u);
  EXPECT_EQ(s.renderStates[plat::D3DRS_ALPHAREF], 16u);
  EXPECT_EQ(s.renderStates[plat::D3DRS_ALPHAFUNC], plat::D3DCMP_GREATER);
  EXPECT_EQ(s.renderStates[plat::D3DRS_ALPHABLENDENABLE], 0u);
  Frame frame = ReadBackScreen();
  EXPECT_EQ(frame.At(10, 10), 0x0000FFu);  // the key colour leaves the screen alone
  EXPECT_NE(frame.At(15, 15), 0x0000FFu);

  const int translucent = MakeUniformGraph(8, 8, Rgb{255, 0, 0}, 128);
  ASSERT_EQ(BlitGraph(40, 10, translucent, 1), 0);
  s = Snapshot();
  EXPECT_EQ(s.renderStates[plat::D3DRS_ALPHATESTENABLE], 0u);
  EXPECT_EQ(s.renderStates[plat::D3DRS_ALPHABLENDENABLE], 1u);
  EXPECT_EQ(s.renderStates[plat::D3DRS_SRCBLEND], plat::D3DBLEND_SRCALPHA);
  EXPECT_EQ(s.renderStates[plat::D3DRS_DESTBLEND], plat::D3DBLEND_INVSRCALPHA);
  const Rgb mixed = ToRgb(ReadBackScreen().At(42, 12));
  EXPECT_NEAR(mixed.r, 128, 1);
  EXPECT_NEAR(mixed.b, 127, 1);
}

// Multiplication, inversion and copy rows take no source alpha: a transparent
// graph's hidden pixels are tested away, whatever the blend parameter.
TEST_F(PendingState, RowsWithoutSourceAlphaSkipTransparentPixels) {
  const int keyed = MakePatternGraph(16, 16, 2);
  const int holed = MakeUniformGraph(8, 8, Rgb{200, 100, 40}, 0);
  for (int mode : {4, 9, 14}) {
    for (int param : {0, 160}) {
      PaintBackScreen(40, 80, 250);
      SetBlendModeAndParam(mode, param);
      ASSERT_EQ(BlitGraph(10, 10, keyed, 1), 0);
      ASSERT_EQ(BlitGraph(40, 10, keyed, 0), 0);
      ASSERT_EQ(BlitGraph(70, 10, holed, 1), 0);
      const Frame frame = ReadBackScreen();
      const std::string what = "mode " + std::to_string(mode) + " param " + std::to_string(param);
      EXPECT_EQ(frame.At(10, 10), 0x2850FAu) << what;
      EXPECT_EQ(frame.At(25, 25), 0x2850FAu) << what;
      EXPECT_EQ(frame.At(73, 13), 0x2850FAu) << what;
      EXPECT_NE(frame.At(40, 10), 0x2850FAu) << what << ": opaque draws still change the key pixels";
      for (int y = 2; y < 14; ++y) {
        for (int x = 2; x < 14; ++x) ASSERT_EQ(frame.At(10 + x, 10 + y), frame.At(40 + x, 10 + y)) << what;
      }
    }
  }
}

TEST_F(PendingState, RepeatedDrawSendsNoStateAndBatchesIntoFewDraws) {
  const int graph = MakePatternGraph(16, 16);
  SetBlendModeAndParam(kBlendAlpha, 200);
  ASSERT_EQ(BlitGraph(0, 0, graph, 1), 0);
  FlushVertexBatch();
  plat::SetD3D9CallTraceEnabled(true);
  plat::TakeD3D9CallTrace();
  for (int i = 0; i < 300; ++i) ASSERT_EQ(BlitGraph(i % 600, i % 400, graph, 1), 0);
  FlushVertexBatch();
  const std::vector<plat::D3D9Call> calls = plat::TakeD3D9CallTrace();
  plat::SetD3D9CallTraceEnabled(false);
  for (const char* method : {"SetRenderState", "SetTextureStageState", "SetTexture", "SetSamplerState"}) {
    EXPECT_EQ(CountCalls(calls, method), 0) << method;
  }
  EXPECT_GE(CountCalls(calls, "DrawPrimitiveUP"), 1);
  EXPECT_LE(CountCalls(calls, "DrawPrimitiveUP"), 2);
}

struct BorderCase {
  int border;
  int range;
  bool alphaTest;
  std::uint32_t alphaRef;
  std::uint32_t textureFactor;
  std::uint32_t stage0AlphaOp;
  std::uint32_t stage1AlphaOp;
};

TEST_F(PendingState, BlendGraphBorderAndRangeChooseTheTestOrTheFactorArithmetic) {
  const int mask = MakeUniformGraph(32, 32, Rgb{255, 255, 255});
  const int graph = MakeUniformGraph(16, 16, Rgb{10, 20, 30});
  const BorderCase cases[] = {
      {100, 0, true, 100, 0x00FFFFFF, plat::D3DTOP_ADD, plat::D3DTOP_MODULATE},
      {128, 64, false, 0, 0x61FFFFFF, plat::D3DTOP_SUBTRACT, plat::D3DTOP_MODULATE4X},
      {0, 128, false, 0, 0x80FFFFFF, plat::D3DTOP_ADD, plat::D3DTOP_MODULATE2X},
      {64, 255, false, 0, 0x7FFFFFFF, plat::D3DTOP_ADD, plat::D3DTOP_MODULATE},
  };
  for (const BorderCase& c : cases) {
    ASSERT_EQ(SetBlendMaskGraph(mask, c.border, c.range), 0);
    ASSERT_EQ(BlitGraph(0, 0, graph, 0), 0);
    const plat::D3D9StateSnapshot s = Snapshot();
    EXPECT_EQ(s.renderStates[plat::D3DRS_ALPHATESTENABLE], c.alphaTest ? 1u : 0u) << c.range;
    if (c.alphaTest) {
      EXPECT_EQ(s.renderStates[plat::D3DRS_ALPHAREF], c.alphaRef);
      EXPECT_EQ(s.renderStates[plat::D3DRS_ALPHAFUNC], plat::D3DCMP_GREATEREQUAL);
    }
    EXPECT_EQ(s.renderStates[plat::D3DRS_ALPHABLENDENABLE], c.alphaTest ? 0u : 1u) << c.range;
    EXPECT_EQ(s.renderStates[plat::D3DRS_TEXTUREFACTOR], c.textureFactor) << c.range;
    EXPECT_EQ(s.stageStates[0][plat::D3DTSS_ALPHAOP], c.stage0AlphaOp) << c.range;
    EXPECT_EQ(s.stageStates[1][plat::D3DTSS_ALPHAOP], c.stage1AlphaOp) << c.range;
    EXPECT_EQ(s.fvf, 0x2C4u);
  }
  // An alpha-channelled graph reads its alpha in stage 1 and its texture in stage 2.
  const int translucent = MakeUniformGraph(16, 16, Rgb{1, 2, 3}, 100);
  ASSERT_EQ(BlitGraph(0, 0, translucent, 1), 0);
  const plat::D3D9StateSnapshot s = Snapshot();
  EXPECT_EQ(s.textures[2], GetGraphRecord(translucent)->drawEntries.front().tile->texture);
  EXPECT_EQ(s.textures[0], GetGraphRecord(mask)->drawEntries.front().tile->texture);
}

TEST_F(PendingState, BlendGraphAlphaAgainstTheBorderDecidesWhatIsDrawn) {
  const int mask = MakeUniformGraph(32, 32, Rgb{255, 255, 255}, 200);
  const int graph = MakeUniformGraph(16, 16, Rgb{255, 0, 0});
  const auto drawnAt = [&](int border, int range) {
    PaintBackScreen(0, 0, 255);
    EXPECT_EQ(SetBlendMaskGraph(mask, border, range), 0);
    EXPECT_EQ(BlitGraph(5, 5, graph, 0), 0);
    const std::uint32_t pixel = ReadBackScreen().At(10, 10);
    SetBlendMaskGraph(-1, 0, 0);
    return pixel;
  };
  EXPECT_EQ(drawnAt(150, 0), 0xFF0000u);  // mask alpha 200 passes a border of 150
  EXPECT_EQ(drawnAt(210, 0), 0x0000FFu);
  EXPECT_EQ(drawnAt(255, 0), 0x0000FFu);  // full fade: the batch is thrown away
  // A wide range fades: alpha 200 less the factor's 1 (border 128 of 255).
  const Rgb faded = ToRgb(drawnAt(128, 255));
  EXPECT_NEAR(faded.r, 199, 2);
  EXPECT_NEAR(faded.b, 56, 2);
}

TEST_F(PendingState, FewerStagesDisableTheNextAndResendTheSamplerFilters) {
  const int mask = MakeUniformGraph(32, 32, Rgb{255, 255, 255});
  const int graph = MakeUniformGraph(16, 16, Rgb{10, 20, 30});
  ASSERT_EQ(SetBlendMaskGraph(mask, 0, 0), 0);
  ASSERT_EQ(BlitGraph(0, 0, graph, 0), 0);
  EXPECT_EQ(GetPendingDrawState().stagesInUse, 2);
  EXPECT_NE(Snapshot().stageStates[1][plat::D3DTSS_COLOROP], plat::D3DTOP_DISABLE);
  SetBlendMaskGraph(-1, 0, 0);
  plat::SetD3D9CallTraceEnabled(true);
  plat::TakeD3D9CallTrace();
  ASSERT_EQ(BlitGraph(0, 0, graph, 0), 0);
  FlushVertexBatch();
  const std::vector<plat::D3D9Call> calls = plat::TakeD3D9CallTrace();
  plat::SetD3D9CallTraceEnabled(false);
  EXPECT_EQ(GetPendingDrawState().stagesInUse, 1);
  EXPECT_GE(CountCalls(calls, "SetSamplerState"), 3);
  const plat::D3D9StateSnapshot s = Snapshot();
  EXPECT_EQ(s.stageStates[1][plat::D3DTSS_COLOROP], plat::D3DTOP_DISABLE);
  EXPECT_EQ(s.stageStates[1][plat::D3DTSS_ALPHAOP], plat::D3DTOP_DISABLE);
  EXPECT_EQ(s.fvf, 0x144u);
}

TEST_F(PendingState, UserBlockReplacesThePendingStateUntilSwitchedOff) {
  const int graph = MakeUniformGraph(16, 16, Rgb{10, 20, 30});
  // A plain draw first: the start prepares the device from the settings
  // before resetting them, so until a draw the pending alpha test is the one
  // of a never-reset block (function 0), which would override the block's.
  ASSERT_EQ(BlitGraph(0, 0, graph, 0), 0);
  DrawStageBlock block{};
  block.alphaTestEnable = 1;
  block.alphaRef = 7;
  block.alphaFunc = plat::D3DCMP_EQUAL;
  block.textureFactor = 0x12345678;
  block.srcBlend = kLeaveDeviceState;
  block.destBlend = kLeaveDeviceState;
  block.blendOp = kLeaveDeviceState;
  block.stageCount = 99;  // more than there are stages: taken as eight
  for (StageSetupRecord& r : block.stages) {
    r = StageSetupRecord{0, 0, 0, -1, -1, static_cast<std::int16_t>(plat::D3DTOP_DISABLE), -1, -1,
                         static_cast<std::int16_t>(plat::D3DTOP_DISABLE)};
  }
  block.stages[0] = StageSetupRecord{static_cast<std::uintptr_t>(graph), 0, 0, 2, -1, 2, 2, -1, 2};
  ASSERT_EQ(SetUserRenderStateBlock(&block, 0), 0);
  plat::D3D9StateSnapshot s = Snapshot();
  EXPECT_EQ(s.renderStates[plat::D3DRS_ALPHAREF], 7u);
  EXPECT_EQ(s.renderStates[plat::D3DRS_TEXTUREFACTOR], 0x12345678u);
  EXPECT_EQ(s.textures[0], GetGraphRecord(graph)->drawEntries.front().tile->texture);
  EXPECT_EQ(ApplyPendingDrawState(0, nullptr, 0), 0);  // applied on every call while on
  ASSERT_EQ(SetUserRenderStateBlock(nullptr, 0), 0);
  ASSERT_EQ(BlitGraph(0, 0, graph, 0), 0);
  s = Snapshot();
  EXPECT_EQ(s.renderStates[plat::D3DRS_ALPHATESTENABLE], 0u);
  EXPECT_EQ(s.renderStates[plat::D3DRS_TEXTUREFACTOR], 0xFFFFFFFFu);
  EXPECT_EQ(ApplyPendingDrawState(1, nullptr, 0), -1);  // nothing pending
}

TEST_F(PendingState, WhiteTextureIsMadeAgainAfterItsGraphIsReleased) {
  SetBlendModeAndParam(12, 255);
  ASSERT_EQ(DrawSolidRectangle(0, 0, 4, 4, MakeColorValue(10, 10, 10)), 0);
  const int white = GetPendingDrawState().whiteGraph;
  ASSERT_EQ(IsValidGraphHandle(white), 1);
  EXPECT_EQ(Snapshot().textures[0], GetGraphRecord(white)->drawEntries.front().tile->texture);
  ASSERT_EQ(ReleaseGraph(white), 0);
  SetBlendModeAndParam(kBlendNone, 0);
  ASSERT_EQ(DrawSolidRectangle(0, 0, 4, 4, MakeColorValue(10, 10, 10)), 0);
  EXPECT_EQ(Snapshot().textures[0], nullptr);
  SetBlendModeAndParam(13, 255);
  ASSERT_EQ(DrawSolidRectangle(0, 0, 4, 4, MakeColorValue(10, 10, 10)), 0);
  EXPECT_EQ(IsValidGraphHandle(GetPendingDrawState().whiteGraph), 1);
  EXPECT_EQ(GetDrawSettings().transparentColor, 0x00FF00u);
}

TEST_F(PendingState, WhiteTextureThatCannotBeMadeLeavesTheDiffuseColourAndIsLoggedOnce) {
  ScratchLog log;
  PaintBackScreen(0, 0, 255);
  ReleaseGraph(GetPendingDrawState().whiteGraph);  // may be left from an earlier draw
  plat::FailD3D9CallForTest("CreateTexture", 1, 1000, plat::E_FAIL);
  SetBlendModeAndParam(12, 255);
  ASSERT_EQ(DrawSolidRectangle(0, 0, 4, 4, MakeColorValue(10, 20, 30)), 0);
  ASSERT_EQ(DrawSolidRectangle(0, 0, 4, 4, MakeColorValue(10, 20, 30)), 0);
  EXPECT_EQ(ReadBackScreen().At(1, 1), 0x0A141Eu);
  const std::string logged = log.Contents();
  const std::string line = std::string(text::kGfxWhiteTextureFailed).substr(0, 20);
  EXPECT_EQ(logged.find(line), logged.rfind(line));
  EXPECT_NE(logged.find(line), std::string::npos);
}

TEST_F(PendingState, RenderTargetSwitchSetsTheViewportToTheSurface) {
  SetNewGraphUserFormatFlag(1);  // drawable
  const int target = CreateBlankGraph(64, 32);
  SetNewGraphUserFormatFlag(0);
  ASSERT_NE(target, -1);
  plat::IDirect3DSurface9* surface = GetGraphRecord(target)->drawEntries.front().tile->surface;
  plat::IDirect3DSurface9* back = GetPendingDrawState().renderTarget;
  ASSERT_EQ(SetDeviceRenderTarget(surface), 0);
  plat::D3D9StateSnapshot s = Snapshot();
  EXPECT_EQ(s.renderTarget, surface);
  EXPECT_EQ(s.viewport.Width, 64u);
  EXPECT_EQ(s.viewport.Height, 32u);
  plat::SetD3D9CallTraceEnabled(true);
  plat::TakeD3D9CallTrace();
  ASSERT_EQ(SetDeviceRenderTarget(surface), 0);
  EXPECT_EQ(CountCalls(plat::TakeD3D9CallTrace(), "SetRenderTarget"), 0);
  plat::SetD3D9CallTraceEnabled(false);
  ASSERT_EQ(SetDeviceRenderTarget(back), 0);
  EXPECT_EQ(Snapshot().viewport.Width, 640u);
}

}  // namespace
}  // namespace qz::testing
