// The device state cache against the stand-in device's call trace and state
// snapshot: what reaches the device, in which order, and after a rebuild.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "core/library.h"
#include "core/window_state.h"
#include "graphics/d3d_graph_draw.h"
#include "graphics/device_draw_helpers.h"
#include "graphics/device_formats.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_record.h"
#include "graphics/graphics_start.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_present.h"
#include "graphics/texture_draw_info.h"
#include "graphics/vertex_batch.h"
#include "platform/d3d9.h"
#include "platform/window.h"
#include "tests/graphics/screen_window.h"

namespace {

using plat::D3D9Call;

class StateCache : public ::testing::Test {
 protected:
  void SetUp() override { Start(plat::DefaultD3D9Profile()); }
  void Start(const plat::D3D9Profile& profile) {
    plat::ResetD3D9StandInForTest();
    plat::SetD3D9ProfileForTest(profile);
    // An earlier test may have ended the library or left drawing skipped;
    // the settings reset keeps that flag.
    qz::SetEndingState(0);
    ASSERT_EQ(qz::StartGraphicsScreen(), 0);
    qz::GetDrawSettings().skipDrawing = 0;
    ASSERT_NE(Device(), nullptr);
    // The start prepares the new device from the settings as the previous
    // start left them (never reset in a fresh process: fill mode 0) and only
    // then resets them; the tests queue vertices directly, so the device is
    // brought to the reset settings as every library draw does first.
    ASSERT_EQ(qz::PrepareGraphDrawState(nullptr, nullptr, 0), 0);
    qz::FlushVertexBatch();
    plat::SetD3D9CallTraceEnabled(true);
    plat::TakeD3D9CallTrace();
  }
  void TearDown() override {
    qz::GetDeviceStateCache().forceResend = 0;
    qz::ReleaseAllGraphs();
    qz::TerminateGraphics();
    EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0);
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

  qz::testing::ScreenWindow window_;
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

  for (std::size_t i = 0; i < before.renderStates.size(); ++i) {
    EXPECT_EQ(after.renderStates[i], before.renderStates[i]) << "render state " << i;
  }
  for (std::size_t i = 0; i < before.samplerStates.size(); ++i) {
    EXPECT_EQ(after.samplerStates[i], before.samplerStates[i]) << "sampler " << i;
  }
  for (std::size_t i = 0; i < before.stageStates.size(); ++i) {
    EXPECT_EQ(after.stageStates[i], before.stageStates[i]) << "stage " << i;
  }
  const auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; };
  EXPECT_TRUE(same(after.viewport, before.viewport));
  EXPECT_TRUE(same(after.scissorRect, before.scissorRect));
  EXPECT_TRUE(same(after.projection, before.projection));
  EXPECT_TRUE(same(after.view, before.view));
  EXPECT_TRUE(same(after.world, before.world));
  EXPECT_TRUE(same(after.textureTransforms, before.textureTransforms));
  EXPECT_TRUE(same(after.material, before.material));
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

TEST_F(StateCache, PendingSettersMarkWhatChangedAndKeepUnsetParameters) {
  qz::PendingDrawValues& pending = qz::GetDeviceStateCache().pending;
  int first = 0;
  int second = 0;
  auto* textureA = reinterpret_cast<plat::IDirect3DBaseTexture9*>(&first);
  auto* textureB = reinterpret_cast<plat::IDirect3DBaseTexture9*>(&second);
  pending.texture = nullptr;
  pending.blendDirty = pending.textureDirty = 0;
  qz::SetPendingTexture(textureA);
  EXPECT_EQ(pending.blendDirty, 1);
  pending.blendDirty = 0;
  qz::SetPendingTexture(textureB);
  EXPECT_EQ(pending.textureDirty, 1);
  EXPECT_EQ(pending.blendDirty, 0);

  qz::SetPendingBlendTexture(textureA, 100, 50);
  qz::SetPendingBlendTexture(textureA, -1, 70);
  EXPECT_EQ(pending.blendTextureBorder, 100);
  EXPECT_EQ(pending.blendTextureRange, 70);
  pending.blendDirty = 0;
  qz::SetPendingBlendState(pending.blendMode, pending.useAlphaChannel, pending.useTransparentColor);
  EXPECT_EQ(pending.blendDirty, 0);
  pending.texture = nullptr;
  pending.blendTexture = nullptr;
}

TEST_F(StateCache, DiffuseColourAndVectorTransforms) {
  qz::DrawSettingsBlock& settings = qz::GetDrawSettings();
  settings.brightness = {30, 20, 10, 0};
  settings.blendMode = 1;
  settings.blendParam = 128;
  EXPECT_EQ(qz::GetDrawDiffuseColor(), 0x800A141Eu);
  settings.blendMode = 0;
  EXPECT_EQ(qz::GetDrawDiffuseColor(), 0xFF0A141Eu);

  qz::Matrix4x4 m{};
  qz::MakeIdentityMatrix(&m);
  m.m[0][1] = 2.0f;  // y gains 2x
  m.m[3][0] = 5.0f;  // translation
  const qz::Vector3 v = {1.0f, 1.0f, 1.0f};
  qz::Vector3 out{};
  EXPECT_EQ(qz::TransformVectorByMatrix(&out, &v, &m), &out);
  EXPECT_FLOAT_EQ(out.x, 6.0f);
  EXPECT_FLOAT_EQ(out.y, 3.0f);
  qz::TransformNormalByMatrix(&out, &v, &m);
  EXPECT_FLOAT_EQ(out.x, 1.0f);
  EXPECT_FLOAT_EQ(out.y, 3.0f);
  EXPECT_FLOAT_EQ(out.z, 1.0f);
}

class TiledGraphs : public StateCache {
 protected:
  void SetUp() override {
    plat::D3D9Profile profile = plat::DefaultD3D9Profile();
    profile.caps.MaxTextureWidth = 256;
    profile.caps.MaxTextureHeight = 256;
    Start(profile);
  }
};

TEST_F(TiledGraphs, EntriesCoverEachOverlappedTileWithOffsetsSizesAndCoordinates) {
  const qz::GraphHandle whole = qz::CreateBlankGraph(600, 100);
  ASSERT_NE(whole, -1);
  const qz::GraphRecord* record = qz::GetGraphRecord(whole);
  ASSERT_NE(record, nullptr);
  const qz::GraphImage& image = *record->image;
  ASSERT_GE(image.tileCount, 3);
  ASSERT_EQ(record->drawEntries.size(), static_cast<std::size_t>(image.tileCount));
  int covered = 0;
  for (int i = 0; i < image.tileCount; ++i) {
    const qz::TextureDrawEntry& entry = record->drawEntries[static_cast<std::size_t>(i)];
    const qz::GraphTextureTile& tile = image.tiles[i];
    EXPECT_EQ(entry.tile, &tile);
    EXPECT_EQ(entry.destX, tile.x);
    EXPECT_EQ(entry.sourceX, 0);
    EXPECT_EQ(entry.width, tile.usedWidth);
    EXPECT_EQ(entry.height, 100);
    EXPECT_FLOAT_EQ(entry.corners[qz::kCornerBottomRight].u,
                    static_cast<float>(tile.usedWidth) / static_cast<float>(tile.textureWidth));
    EXPECT_FLOAT_EQ(entry.corners[qz::kCornerBottomRight].v, 100.0f / static_cast<float>(tile.textureHeight));
    covered += entry.width;
  }
  EXPECT_EQ(covered, 600);

  // A sub-graph across the first tile edge at x = 256.
  const qz::GraphHandle part = qz::MakeSubRectGraph(200, 10, 100, 50, whole);
  ASSERT_NE(part, -1);
  const qz::GraphRecord* sub = qz::GetGraphRecord(part);
  ASSERT_EQ(sub->drawEntries.size(), 2u);
  const qz::TextureDrawEntry& left = sub->drawEntries[0];
  const qz::TextureDrawEntry& right = sub->drawEntries[1];
  ASSERT_EQ(image.tiles[0].textureWidth, 256);
  const float textureHeight = static_cast<float>(image.tiles[0].textureHeight);
  // Destination x, source x and y, width and height.
  const auto place = [](const qz::TextureDrawEntry& e) {
    return std::array{e.destX, e.sourceX, e.sourceY, e.width, e.height};
  };
  EXPECT_EQ(place(left), (std::array{0, 200, 10, 56, 50}));
  EXPECT_EQ(place(right), (std::array{56, 0, 10, 44, 50}));
  EXPECT_FLOAT_EQ(left.corners[qz::kCornerTopLeft].u, 200.0f / 256.0f);
  EXPECT_FLOAT_EQ(left.corners[qz::kCornerTopLeft].v, 10.0f / textureHeight);
  EXPECT_FLOAT_EQ(left.corners[qz::kCornerBottomRight].u, 1.0f);
  EXPECT_FLOAT_EQ(left.corners[qz::kCornerBottomRight].v, 60.0f / textureHeight);
  EXPECT_FLOAT_EQ(right.corners[qz::kCornerTopRight].x, 100.0f);
  EXPECT_FLOAT_EQ(right.corners[qz::kCornerTopRight].u, 44.0f / static_cast<float>(image.tiles[1].textureWidth));

  // Flags mark the corners on or below the anti-diagonal (100 x 50 graph).
  const auto flags = [](const qz::TextureDrawEntry& e) {
    return std::array<int, 4>{e.cornerFlags[0], e.cornerFlags[1], e.cornerFlags[2], e.cornerFlags[3]};
  };
  EXPECT_EQ(flags(left), (std::array{0, 0, 1, 1}));
  EXPECT_EQ(flags(right), (std::array{0, 1, 1, 1}));
}

// A point-sampled texture drawn over the square (15.5, 15.5)-(79.5, 79.5), so
// every pixel centre falls on a texel centre.
class TexturedGrid : public StateCache {
 protected:
  static constexpr float kLeft = 15.5f;
  static constexpr float kSide = 64.0f;

  void SetUp() override {
    StateCache::SetUp();
    ASSERT_EQ(Device()->CreateTexture(64, 64, 1, plat::D3DUSAGE_DYNAMIC, plat::D3DFMT_A8R8G8B8, plat::D3DPOOL_DEFAULT,
                                      &texture_, nullptr),
              plat::D3D_OK);
    plat::D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture_->LockRect(0, &locked, nullptr, 0), plat::D3D_OK);
    for (int y = 0; y < 64; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch);
      for (int x = 0; x < 64; ++x) row[x] = 0xFF000000u | static_cast<std::uint32_t>(x * 4) << 16 | (y * 4u) << 8 | 0x80;
    }
    texture_->UnlockRect(0);
    plat::IDirect3DDevice9* device = Device();
    qz::ApplyDepthTestState(0);
    device->SetRenderState(plat::D3DRS_ALPHABLENDENABLE, 0);
    device->SetRenderState(plat::D3DRS_ALPHATESTENABLE, 0);
    device->SetTexture(0, texture_);
    device->SetTextureStageState(0, plat::D3DTSS_COLOROP, plat::D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, plat::D3DTSS_COLORARG1, plat::D3DTA_TEXTURE);
    device->SetTextureStageState(0, plat::D3DTSS_ALPHAOP, plat::D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, plat::D3DTSS_ALPHAARG1, plat::D3DTA_TEXTURE);
    device->SetTextureStageState(1, plat::D3DTSS_COLOROP, plat::D3DTOP_DISABLE);
    device->SetSamplerState(0, plat::D3DSAMP_MAGFILTER, plat::D3DTEXF_POINT);
    device->SetSamplerState(0, plat::D3DSAMP_MINFILTER, plat::D3DTEXF_POINT);
    qz::BeginDeviceScene();
  }
  void TearDown() override {
    Device()->SetTexture(0, nullptr);
    texture_->Release();
    StateCache::TearDown();
  }

  static std::vector<qz::TexturedVertex> Grid(int columns, int rows) {
    std::vector<qz::TexturedVertex> grid;
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < columns; ++c) {
        const float u = static_cast<float>(c) / static_cast<float>(columns - 1);
        const float v = static_cast<float>(r) / static_cast<float>(rows - 1);
        grid.push_back({kLeft + u * kSide, kLeft + v * kSide, 0.0f, 1.0f, 0xFFFFFFFFu, u, v});
      }
    }
    return grid;
  }

  static std::vector<std::uint32_t> Picture() {
    qz::FlushVertexBatch();
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    EXPECT_TRUE(plat::ReadD3D9SurfaceArgb(qz::GetGraphicsState().backBuffer, &pixels, &width, &height));
    Device()->Clear(0, nullptr, plat::D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    return pixels;
  }

  static std::vector<std::uint32_t> QuadPicture() {
    auto* quad = static_cast<qz::TexturedVertex*>(qz::ReserveBatchVertices(
        qz::kVertexSetPreTransformed, qz::kVertexKindOneTexture, plat::D3DPT_TRIANGLELIST, 6));
    const float right = kLeft + kSide;
    const qz::TexturedVertex topLeft = {kLeft, kLeft, 0.0f, 1.0f, 0xFFFFFFFFu, 0.0f, 0.0f};
    const qz::TexturedVertex topRight = {right, kLeft, 0.0f, 1.0f, 0xFFFFFFFFu, 1.0f, 0.0f};
    const qz::TexturedVertex bottomLeft = {kLeft, right, 0.0f, 1.0f, 0xFFFFFFFFu, 0.0f, 1.0f};
    const qz::TexturedVertex bottomRight = {right, right, 0.0f, 1.0f, 0xFFFFFFFFu, 1.0f, 1.0f};
    quad[0] = topLeft;
    quad[1] = topRight;
    quad[2] = bottomLeft;
    quad[3] = bottomRight;
    quad[4] = bottomLeft;
    quad[5] = topRight;
    return Picture();
  }

  plat::IDirect3DTexture9* texture_ = nullptr;
};

TEST_F(TexturedGrid, DrawsTheSamePixelsAsTheQuadInOneOrSeveralPieces) {
  Device()->Clear(0, nullptr, plat::D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
  const std::vector<std::uint32_t> quad = QuadPicture();
  ASSERT_NE(quad[40 * 640 + 40], 0xFF000000u);
  plat::TakeD3D9CallTrace();

  const std::vector<qz::TexturedVertex> small = Grid(8, 8);
  ASSERT_EQ(qz::DrawTexturedGrid(small.data(), 8, 8), 0);
  EXPECT_EQ(Picture(), quad);
  const std::vector<D3D9Call> one = Calls("DrawIndexedPrimitiveUP");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].arguments.rfind("5, 122, 28", 0), 0u) << one[0].arguments;

  // Rows of 200 indices: four rows fit under 1000, the other three follow.
  const std::vector<qz::TexturedVertex> wide = Grid(100, 8);
  ASSERT_EQ(qz::DrawTexturedGrid(wide.data(), 100, 8), 0);
  EXPECT_EQ(Picture(), quad);
  const std::vector<D3D9Call> pieces = Calls("DrawIndexedPrimitiveUP");
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].arguments.rfind("5, 804, 28", 0), 0u) << pieces[0].arguments;
  EXPECT_EQ(pieces[1].arguments.rfind("5, 602, 28", 0), 0u) << pieces[1].arguments;
}

TEST_F(TexturedGrid, RefusesGridsWithoutCellsOrBeyondSixteenBitIndices) {
  const std::vector<qz::TexturedVertex> grid = Grid(300, 300);
  EXPECT_EQ(qz::DrawTexturedGrid(grid.data(), 1, 8), -1);
  EXPECT_EQ(qz::DrawTexturedGrid(grid.data(), 8, 1), -1);
  EXPECT_EQ(qz::DrawTexturedGrid(grid.data(), 0, 0), -1);
  EXPECT_EQ(qz::DrawTexturedGrid(grid.data(), 501, 2), -1);
  EXPECT_EQ(qz::DrawTexturedGrid(grid.data(), 300, 300), -1);
  EXPECT_TRUE(Calls("DrawIndexedPrimitiveUP").empty());
}

}  // namespace
