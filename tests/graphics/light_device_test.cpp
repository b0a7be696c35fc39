// Lights, material, camera, matrices and fog as the stand-in device receives
// them: checked through its state snapshot and call counts, across a device
// rebuild too.
#include "graphics/light_device.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "graphics/device_state_cache.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_shapes.h"
#include "graphics/draw_target.h"
#include "graphics/fog_settings.h"
#include "graphics/graph_test_fixture.h"
#include "graphics/matrix_settings.h"
#include "graphics/screen_mode_change.h"
#include "graphics/vertex_batch.h"

namespace {

class LightDevice : public qz::testing::GraphTest {
 protected:
  void SetUp() override {
    GraphTest::SetUp();
    Start();
    ASSERT_EQ(qz::GetGraphicsState().hardware3DOn, 1);
    qz::SelectDrawTarget(qz::kBackScreen);
  }
  static plat::D3D9StateSnapshot Snapshot() {
    plat::D3D9StateSnapshot snapshot{};
    EXPECT_TRUE(plat::GetD3D9StateSnapshot(qz::GetGraphicsState().device, &snapshot));
    return snapshot;
  }
  static int DeviceLightType(const plat::D3D9StateSnapshot& snapshot, std::uint32_t index) {
    for (const auto& [at, light] : snapshot.lights) {
      if (at == index) return static_cast<int>(light.Type);
    }
    return 0;
  }
  static bool Enabled(const plat::D3D9StateSnapshot& snapshot, std::uint32_t index) {
    for (std::uint32_t at : snapshot.enabledLights) {
      if (at == index) return true;
    }
    return false;
  }
  static void ExpectMatrixNear(const plat::D3DMATRIX& device, const qz::Matrix4x4& expected) {
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) EXPECT_NEAR(device.m[r][c], expected.m[r][c], 1e-5f) << r << "," << c;
    }
  }
};

TEST_F(LightDevice, DirectionalLightsPackBeforePointLightsAndFreedIndexesAreDisabled) {
  qz::ReleaseLightHandle(qz::GetDefaultLightHandle());
  const int point = qz::AllocLightHandle();
  qz::GetLightRecord(point)->light.type = qz::kLightPoint;
  const int directional = qz::CreateDirectionalLight(0.0f, 0.0f, 2.0f);
  ASSERT_EQ(qz::ApplyLightsToDevice(), 0);
  plat::D3D9StateSnapshot snapshot = Snapshot();
  EXPECT_EQ(DeviceLightType(snapshot, 0), qz::kLightDirectional);
  EXPECT_EQ(DeviceLightType(snapshot, 1), qz::kLightPoint);
  EXPECT_TRUE(Enabled(snapshot, 0));
  EXPECT_TRUE(Enabled(snapshot, 1));
  EXPECT_EQ(snapshot.renderStates[plat::D3DRS_LIGHTING], 1u);

  // Without a change nothing is sent again.
  const int lightsSent = plat::GetD3D9CallCount("SetLight");
  qz::ApplyLightsToDevice();
  EXPECT_EQ(plat::GetD3D9CallCount("SetLight"), lightsSent);

  qz::GetLightRecord(directional)->enabled = 0;
  qz::GetDrawSettings().lightsChanged = 1;
  qz::ApplyLightsToDevice();
  snapshot = Snapshot();
  EXPECT_EQ(DeviceLightType(snapshot, 0), qz::kLightPoint);
  EXPECT_TRUE(Enabled(snapshot, 0));
  EXPECT_FALSE(Enabled(snapshot, 1)) << "the old index of the second light";
  EXPECT_EQ(qz::GetLightRecord(directional)->deviceIndex, -1);
}

TEST_F(LightDevice, TheDefaultLightReachesTheDeviceWithTheDefaultValues) {
  ASSERT_EQ(qz::ApplyLightsToDevice(), 0);
  const plat::D3D9StateSnapshot snapshot = Snapshot();
  ASSERT_EQ(snapshot.lights.size(), 1u);
  const plat::D3DLIGHT9& light = snapshot.lights.begin()->second;
  EXPECT_EQ(static_cast<int>(light.Type), qz::kLightDirectional);
  // Ambient, diffuse red, specular blue, range, falloff, the three attenuations, theta and phi.
  EXPECT_EQ((std::vector<float>{light.Ambient.r, light.Ambient.g, light.Ambient.b, light.Ambient.a, light.Diffuse.r,
                                light.Specular.b, light.Range, light.Falloff, light.Attenuation0, light.Attenuation1,
                                light.Attenuation2, light.Theta, light.Phi}),
            (std::vector<float>{0.33f, 0.33f, 0.33f, 0.33f, 1, 1, 2000, 1, 0.1f, 0, 0, 2, 2}));
}

TEST_F(LightDevice, MaterialAndAmbientReachTheDeviceAndTheShaderShadows) {
  qz::MaterialSettings material = qz::GetDrawSettings().material;
  material.ambient[0] = 0.5f;
  material.emissive[0] = 0.25f;
  ASSERT_EQ(qz::ApplyMaterial(&material), 0);
  ASSERT_EQ(qz::ApplyAmbientColor(0xFF800000u), 0);
  const plat::D3D9StateSnapshot snapshot = Snapshot();
  EXPECT_FLOAT_EQ(snapshot.material.Ambient.r, 0.5f);
  EXPECT_EQ(snapshot.renderStates[plat::D3DRS_AMBIENT], 0xFF800000u);
  // c1 = ambient x material ambient + emissive.
  const qz::DeviceStateCache& cache = qz::GetDeviceStateCache();
  EXPECT_NEAR(cache.vertexShaderConstants[1][0], 128.0f / 255.0f * 0.5f + 0.25f, 1e-6f);
  EXPECT_FLOAT_EQ(cache.vertexShaderConstants[11][0], material.diffuse[0]);
  EXPECT_FLOAT_EQ(cache.pixelShaderConstants[4][0], material.power);

  const int sent = plat::GetD3D9CallCount("SetMaterial");
  qz::ApplyMaterial(&material);
  EXPECT_EQ(plat::GetD3D9CallCount("SetMaterial"), sent) << "an unchanged material is not sent";
}

TEST_F(LightDevice, ProjectionIsProjectionTimesAdjustmentTimesInverseViewport) {
  const qz::DrawSettingsBlock& settings = qz::GetDrawSettings();
  qz::Matrix4x4 identity;
  qz::MakeIdentityMatrix(&identity);
  ASSERT_EQ(qz::StoreProjectionAdjustMatrix(&identity), 0);
  EXPECT_EQ(settings.cameraDerivedMatrices, 0);
  qz::Matrix4x4 expected;
  qz::MultiplyMatrix4(&expected, &settings.projectionMatrix, &settings.inverseViewportMatrix);
  ExpectMatrixNear(Snapshot().projection, expected);

  // The camera with an aspect factor of 2: the perspective of height / width x 2.
  qz::GetDrawSettings().aspectFactor = 2.0f;
  ASSERT_EQ(qz::UsePerspectiveProjection(1.0f), 0);
  qz::Matrix4x4 perspective;
  qz::MakePerspectiveMatrix(&perspective, 1.0f, settings.nearClip, settings.farClip, 480.0f / 640.0f * 2.0f);
  qz::MultiplyMatrix4(&expected, &perspective, &settings.inverseViewportMatrix);
  ExpectMatrixNear(Snapshot().projection, expected);

  qz::Matrix4x4 view;
  qz::MakeIdentityMatrix(&view);
  view.m[3][0] = 7.0f;
  ASSERT_EQ(qz::StoreViewMatrix(&view), 0);
  ExpectMatrixNear(Snapshot().view, view);
  EXPECT_NEAR(qz::GetCameraMatrices().viewProjection.m[3][0], 7.0f * perspective.m[0][0], 1e-4f);
}

TEST_F(LightDevice, FogSettersSendOnlyChangesAndDrawQueuedVerticesFirst) {
  ASSERT_EQ(qz::StoreFogColor(300, 0, 1), 0);
  EXPECT_EQ(qz::GetDrawSettings().fogColor, 0xFF2C0001u);
  EXPECT_EQ(Snapshot().renderStates[plat::D3DRS_FOGCOLOR], 0xFF2C0001u);

  ASSERT_EQ(qz::StoreFogRange(10.0f, 500.0f), 0);
  const int statesSent = plat::GetD3D9CallCount("SetRenderState");
  qz::StoreFogRange(10.0f, 500.0f);
  EXPECT_EQ(plat::GetD3D9CallCount("SetRenderState"), statesSent);

  qz::DrawSolidRectangle(0, 0, 8, 8, 0xFFFFFF);
  ASSERT_GT(qz::GetVertexBatch().vertexCount, 0u);
  qz::SetFogMode(3);
  EXPECT_EQ(qz::GetVertexBatch().vertexCount, 0u) << "the queued rectangle is drawn first";
  EXPECT_EQ(Snapshot().renderStates[plat::D3DRS_FOGVERTEXMODE], 3u);
}

TEST_F(LightDevice, LightsMaterialAndMatricesSurviveADeviceRebuild) {
  qz::ApplyLightsToDevice();
  qz::ApplyAmbientColor(0xFF204060u);
  qz::Matrix4x4 view;
  qz::MakeIdentityMatrix(&view);
  view.m[3][1] = 3.0f;
  qz::StoreViewMatrix(&view);
  const plat::D3D9StateSnapshot before = Snapshot();
  ASSERT_FALSE(before.lights.empty());

  ASSERT_EQ(qz::RebuildGraphicsDeviceDefault(), 0);
  const plat::D3D9StateSnapshot after = Snapshot();
  EXPECT_EQ(after.lights.size(), before.lights.size());
  EXPECT_EQ(after.enabledLights, before.enabledLights);
  EXPECT_EQ(after.renderStates[plat::D3DRS_AMBIENT], 0xFF204060u);
  ExpectMatrixNear(after.view, view);
  EXPECT_EQ(plat::GetD3D9ForeignObjectUseCount(), 0);
}

}  // namespace
