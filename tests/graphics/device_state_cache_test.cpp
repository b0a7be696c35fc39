// The device state cache against the stand-in device's call trace and state
// snapshot: what reaches the device, in which order, and after a rebuild.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/window_state.h"
#include "graphics/device_formats.h"
#include "graphics/device_state_cache.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_record.h"
#include "graphics/graphics_start.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_present.h"
#include "graphics/texture_draw_info.h"
#include "graphics/vertex_batch.h"
#include "platform/d3d9.h"
#include "platform/window.h"

namespace {

using plat::D3D9Call;

class StateCache : public ::testing::Test {
 protected:
  void SetUp() override { Start(plat::DefaultD3D9Profile()); }
  void Start(const plat::D3D9Profile& profile) {
    plat::ResetD3D9StandInForTest();
    plat::SetD3D9ProfileForTest(profile);
    const plat::WindowClass windowClass{0, &plat::DefWindowProcA, 0, "QzStateCacheTest"};
    plat::RegisterClassExA(&windowClass);
    window_ = plat::CreateWindowExA(0, "QzStateCacheTest", "", plat::WS_POPUP, 0, 0, 640, 480, nullptr);
    qz::WindowSystemState& windows = qz::GetWindowSystemState();
    windows.mainWindow = window_;
    windows.settings.windowMode = 1;
    ASSERT_EQ(qz::StartGraphicsScreen(), 0);
    ASSERT_NE(Device(), nullptr);
    qz::FlushVertexBatch();
    plat::SetD3D9CallTraceEnabled(true);
    plat::TakeD3D9CallTrace();
  }
  void TearDown() override {
    qz::GetDeviceStateCache().forceResend = 0;
    qz::ReleaseAllGraphs();
    qz::TerminateGraphics();
    EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0);
    qz::GetWindowSystemState().mainWindow = nullptr;
    plat::DestroyWindow(window_);
    plat::UnregisterClassA("QzStateCacheTest");
    plat::ResetD3D9StandInForTest();
  }

  static plat::IDirect3DDevice9* Device() { return qz::GetGraphicsState().device; }

  static std::vector<D3D9Call> Calls(const std::string& method) {
    std::vector<D3D9Call> found;
    for (const D3D9Call& call : plat::TakeD3D9CallTrace()) {
      if (call.method == method) found.push_back(call);
    }
    return found;
  }

  // Queues `count` untextured pre-transformed vertices of one primitive type.
  static void Queue(int type, int count) {
    auto* vertices = static_cast<qz::ColorVertex*>(
        qz::ReserveBatchVertices(qz::kVertexSetPreTransformed, qz::kVertexKindUntextured, type, count));
    ASSERT_NE(vertices, nullptr);
    for (int i = 0; i < count; ++i) vertices[i] = {10.0f + i, 20.0f + (i % 3), 0.0f, 1.0f, 0xFFFFFFFFu};
  }

  plat::HWND window_ = nullptr;
};

TEST_F(StateCache, SameValueSendsNothingAndKeepsTheBatchForcedSendsAgain) {
  ASSERT_EQ(qz::ApplyDepthFunc(plat::D3DCMP_ALWAYS), 0);
  ASSERT_EQ(qz::ApplyFogColor(0xFF102030u), 0);
  EXPECT_EQ(Calls("SetRenderState").size(), 2u);

  Queue(plat::D3DPT_TRIANGLELIST, 3);
  EXPECT_EQ(qz::ApplyDepthFunc(plat::D3DCMP_ALWAYS), 0);
  EXPECT_EQ(qz::ApplyFogColor(0xFF102030u), 0);
  EXPECT_EQ(qz::ApplyCullMode(qz::kCullNone), 0);
  EXPECT_TRUE(plat::TakeD3D9CallTrace().empty());
  EXPECT_EQ(qz::GetVertexBatch().vertexCount, 3u);

  qz::GetDeviceStateCache().forceResend = 1;
  qz::ApplyDepthFunc(plat::D3DCMP_ALWAYS);
  qz::ApplyFogColor(0xFF102030u);
  qz::ApplyCullMode(qz::kCullNone);
  qz::ApplyLightingState(1);
  EXPECT_EQ(Calls("SetRenderState").size(), 4u);
}

TEST_F(StateCache, StateChangeDrawsPendingVerticesFirstUnderTheOldState) {
  Queue(plat::D3DPT_TRIANGLELIST, 6);
  ASSERT_EQ(qz::ApplyCullMode(qz::kCullClockwise), 0);
  const std::vector<D3D9Call> trace = plat::TakeD3D9CallTrace();
  int draw = -1;
  int cull = -1;
  for (int i = 0; i < static_cast<int>(trace.size()); ++i) {
    if (trace[i].method == "DrawPrimitiveUP") draw = i;
    if (trace[i].method == "SetRenderState" && trace[i].arguments.rfind("22, 2", 0) == 0) cull = i;
  }
  ASSERT_GE(draw, 0);
  ASSERT_GE(cull, 0);
  EXPECT_LT(draw, cull);
  EXPECT_EQ(qz::GetVertexBatch().vertexCount, 0u);

  // Lighting leaves the batch alone.
  Queue(plat::D3DPT_TRIANGLELIST, 3);
  qz::ApplyLightingState(0);
  EXPECT_EQ(qz::GetVertexBatch().vertexCount, 3u);
}

TEST_F(StateCache, PrimitiveCountPerTypeAndEmptyStripsSkipped) {
  struct Case {
    int type;
    int vertices;
    std::string drawn;  // "" when nothing may be drawn
  };
  const Case cases[] = {
      {plat::D3DPT_POINTLIST, 5, "1, 5, 20"},      {plat::D3DPT_LINELIST, 5, "2, 2, 20"},
      {plat::D3DPT_LINESTRIP, 5, "3, 4, 20"},      {plat::D3DPT_TRIANGLELIST, 7, "4, 2, 20"},
      {plat::D3DPT_TRIANGLESTRIP, 5, "5, 3, 20"},  {plat::D3DPT_TRIANGLEFAN, 5, "6, 3, 20"},
      {plat::D3DPT_LINESTRIP, 1, ""},              {plat::D3DPT_TRIANGLESTRIP, 2, ""},
      {plat::D3DPT_TRIANGLEFAN, 1, ""},            {plat::D3DPT_LINELIST, 1, ""},
  };
  for (const Case& c : cases) {
    Queue(c.type, c.vertices);
    ASSERT_EQ(qz::FlushVertexBatch(), 0);
    const std::vector<D3D9Call> draws = Calls("DrawPrimitiveUP");
    if (c.drawn.empty()) {
      EXPECT_TRUE(draws.empty()) << c.type << " with " << c.vertices;
    } else {
      ASSERT_EQ(draws.size(), 1u) << c.type;
      EXPECT_EQ(draws[0].arguments.rfind(c.drawn, 0), 0u) << draws[0].arguments;
      EXPECT_EQ(draws[0].result, plat::D3D_OK);
    }
    EXPECT_EQ(qz::GetVertexBatch().vertexCount, 0u);
  }
}

TEST_F(StateCache, VertexFormatIsSentOnlyWhenItChanges) {
  for (int i = 0; i < 3; ++i) {
    Queue(plat::D3DPT_TRIANGLELIST, 3);
    qz::FlushVertexBatch();
  }
  auto* textured = static_cast<qz::TexturedVertex*>(qz::ReserveBatchVertices(
      qz::kVertexSetPreTransformed, qz::kVertexKindOneTexture, plat::D3DPT_TRIANGLELIST, 3));
  ASSERT_NE(textured, nullptr);
  EXPECT_EQ(textured[0].rhw, 1.0f);
  qz::FlushVertexBatch();
  const std::vector<D3D9Call> formats = Calls("SetFVF");
  ASSERT_EQ(formats.size(), 2u);
  EXPECT_EQ(formats[0].arguments, "68");
  EXPECT_EQ(formats[1].arguments, "324");
}

TEST_F(StateCache, BatchIsDrawnEarlyWhenTheNextQuadDoesNotFit) {
  const std::uint32_t capacity = qz::VertexBatchCapacity(qz::kVertexSetPreTransformed, qz::kVertexKindOneTexture);
  ASSERT_EQ(capacity, 2340u);
  const int first = static_cast<int>(capacity) - 3;
  ASSERT_NE(qz::ReserveBatchVertices(qz::kVertexSetPreTransformed, qz::kVertexKindOneTexture,
                                     plat::D3DPT_TRIANGLELIST, first),
            nullptr);
  EXPECT_TRUE(Calls("DrawPrimitiveUP").empty());
  void* quad = qz::ReserveBatchVertices(qz::kVertexSetPreTransformed, qz::kVertexKindOneTexture,
                                        plat::D3DPT_TRIANGLELIST, 6);
  const std::vector<D3D9Call> draws = Calls("DrawPrimitiveUP");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].arguments.rfind("4, " + std::to_string(first / 3) + ", 28", 0), 0u);
  EXPECT_EQ(quad, qz::GetVertexBatch().buffers[qz::kVertexKindOneTexture]);
  EXPECT_EQ(qz::GetVertexBatch().vertexCount, 6u);
  EXPECT_EQ(qz::ReserveBatchVertices(qz::kVertexSetPreTransformed, qz::kVertexKindOneTexture,
                                     plat::D3DPT_TRIANGLELIST, static_cast<int>(capacity) + 1),
            nullptr);
  EXPECT_EQ(qz::ReserveBatchVertices(qz::kVertexSetUntransformed, qz::kVertexKindTwoTextures,
                                     plat::D3DPT_TRIANGLELIST, 3),
            nullptr);
}

TEST_F(StateCache, SamplerArgumentsOutsideTheirRangesAreRefused) {
  qz::DeviceStateCache& cache = qz::GetDeviceStateCache();
  const int filterBefore = cache.samplerFilterMode;
  EXPECT_EQ(qz::ApplySamplerFilterMode(3), -1);
  EXPECT_EQ(qz::ApplySamplerFilterMode(-1), -1);
  EXPECT_EQ(cache.samplerFilterMode, filterBefore);
  EXPECT_EQ(qz::ApplyMaxAnisotropy(0), 0);
  EXPECT_EQ(cache.maxAnisotropy, 1);
  for (int sampler : {8, -2, 1000, -1000}) {
    EXPECT_EQ(qz::ApplySamplerAddressU(sampler, plat::D3DTADDRESS_WRAP), -1) << sampler;
    EXPECT_EQ(qz::ApplySamplerAddress(sampler, plat::D3DTADDRESS_WRAP), -1) << sampler;
  }
  EXPECT_TRUE(Calls("SetSamplerState").empty());

  // All eight, from the last down, once any differs.
  ASSERT_EQ(qz::ApplySamplerAddressV(3, plat::D3DTADDRESS_WRAP), 0);
  plat::TakeD3D9CallTrace();
  ASSERT_EQ(qz::ApplySamplerAddressV(-1, plat::D3DTADDRESS_WRAP), 0);
  const std::vector<D3D9Call> sent = Calls("SetSamplerState");
  ASSERT_EQ(sent.size(), 8u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(sent[i].arguments, std::to_string(7 - i) + ", 2, 1");
  ASSERT_EQ(qz::ApplySamplerAddressV(-1, plat::D3DTADDRESS_WRAP), 0);
  EXPECT_TRUE(Calls("SetSamplerState").empty());
}

TEST_F(StateCache, ForcedResendOnANewDeviceRestoresEveryState) {
  qz::ApplyDepthTestState(0);
  qz::ApplyDepthWriteState(1);
  qz::ApplyDepthFunc(plat::D3DCMP_GREATER);
  qz::ApplyDepthBias(3);
  qz::ApplyCullMode(qz::kCullCounterClockwise);
  qz::ApplyShadeMode(plat::D3DSHADE_GOURAUD);
  qz::ApplyFogEnable(1);
  qz::ApplyFogVertexMode(3);
  qz::ApplyFogColor(0xFF336699u);
  qz::ApplyFogRange(10.0f, 900.0f);
  qz::ApplyFogDensity(0.25f);
  qz::ApplySamplerAddressU(2, plat::D3DTADDRESS_MIRROR);
  qz::ApplySamplerAddressW(-1, plat::D3DTADDRESS_WRAP);
  qz::ApplyDiffuseMaterialSource(1);
  qz::ApplySpecularMaterialSource(0);
  qz::Matrix4x4 matrix{};
  qz::MakeIdentityMatrix(&matrix);
  matrix.m[3][0] = 0.5f;
  qz::ApplyTextureTransforms(1, 1, &matrix);
  matrix.m[3][1] = 7.0f;
  qz::SetProjectionMatrixToDevice(&matrix);
  const qz::DeviceScissorRect scissor = {4, 5, 300, 200};
  qz::SetDeviceScissorRect(&scissor);
  qz::FlushVertexBatch();
  plat::D3D9StateSnapshot before;
  ASSERT_TRUE(plat::GetD3D9StateSnapshot(Device(), &before));

  ASSERT_EQ(qz::CreateDirect3DDevice9(), 0);
  ASSERT_EQ(qz::CreateZBuffer(), 0);
  ASSERT_EQ(qz::ForceResendDeviceStates(), 0);
  EXPECT_EQ(qz::GetDeviceStateCache().forceResend, 0);
  plat::D3D9StateSnapshot after;
  ASSERT_TRUE(plat::GetD3D9StateSnapshot(Device(), &after));

  for (std::size_t s = 0; s < before.renderStates.size(); ++s) {
    EXPECT_EQ(after.renderStates[s], before.renderStates[s]) << "render state " << s;
  }
  for (std::size_t i = 0; i < before.samplerStates.size(); ++i) {
    for (std::size_t t = 0; t < before.samplerStates[i].size(); ++t) {
      EXPECT_EQ(after.samplerStates[i][t], before.samplerStates[i][t]) << "sampler " << i << " state " << t;
    }
  }
  for (std::size_t i = 0; i < before.stageStates.size(); ++i) {
    for (std::size_t t = 0; t < before.stageStates[i].size(); ++t) {
      EXPECT_EQ(after.stageStates[i][t], before.stageStates[i][t]) << "stage " << i << " state " << t;
    }
  }
  EXPECT_EQ(std::memcmp(&after.viewport, &before.viewport, sizeof(before.viewport)), 0);
  EXPECT_EQ(std::memcmp(&after.scissorRect, &before.scissorRect, sizeof(before.scissorRect)), 0);
  EXPECT_EQ(std::memcmp(&after.projection, &before.projection, sizeof(before.projection)), 0);
  EXPECT_EQ(std::memcmp(&after.view, &before.view, sizeof(before.view)), 0);
  EXPECT_EQ(std::memcmp(&after.world, &before.world, sizeof(before.world)), 0);
  EXPECT_EQ(std::memcmp(&after.textureTransforms, &before.textureTransforms, sizeof(before.textureTransforms)), 0);
  EXPECT_EQ(std::memcmp(&after.material, &before.material, sizeof(before.material)), 0);
}

TEST_F(StateCache, NoDeviceRefusesEverySetterAndTheResends) {
  qz::TerminateGraphics();
  EXPECT_EQ(qz::ApplyDepthTestState(1), -1);
  EXPECT_EQ(qz::ApplyFogRange(0.0f, 1.0f), -1);
  EXPECT_EQ(qz::ApplySamplerAddress(0, 1), -1);
  EXPECT_EQ(qz::SetViewportFromRect(0, 0, 10, 10), -1);
  EXPECT_EQ(qz::FlushVertexBatch(), -1);
  EXPECT_EQ(qz::ForceResendDeviceStates(), -1);
  EXPECT_EQ(qz::DrawTexturedGrid(qz::GetVertexBatch().buffers[1], 8, 8), -1);
}

}  // namespace
