// Depth clears that find their rectangle already holding the value skip the
// fill: whatever wrote depth since then must still be cleared away.
#include "tests/platform/d3d9_test_fixture.h"

namespace {

using namespace plat;
using qz::testing::D3D9Test;

struct ColorVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse;
};

class D3D9DepthClear : public D3D9Test {
 protected:
  IDirect3DSurface9* BoundDepth() {
    IDirect3DSurface9* depth = nullptr;
    EXPECT_EQ(device_->CreateDepthStencilSurface(16, 8, D3DFMT_D32, D3DMULTISAMPLE_NONE, 0, TRUE, &depth, nullptr),
              D3D_OK);
    EXPECT_EQ(device_->SetDepthStencilSurface(depth), D3D_OK);
    return depth;
  }

  // An untextured quad over pixels [2, 6) x [2, 6) at depth z.
  void DrawQuadAt(float z, bool writeDepth) {
    ASSERT_EQ(device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZWRITEENABLE, writeDepth ? TRUE : FALSE), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE), D3D_OK);
    const ColorVertex quad[4] = {{1.5f, 1.5f, z, 1, 0xFF00FF00u},
                                 {5.5f, 1.5f, z, 1, 0xFF00FF00u},
                                 {1.5f, 5.5f, z, 1, 0xFF00FF00u},
                                 {5.5f, 5.5f, z, 1, 0xFF00FF00u}};
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColorVertex)), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
  }

  static float DepthAt(IDirect3DSurface9* depth, int x, int y) {
    std::vector<float> depths;
    int width = 0;
    EXPECT_TRUE(ReadD3D9DepthSurface(depth, &depths, &width, nullptr));
    return depths[static_cast<std::size_t>(y) * width + x];
  }
};

TEST_F(D3D9DepthClear, ARepeatedClearUndoesDepthWrittenByADraw) {
  MakeDevice(8, 8);
  IDirect3DSurface9* depth = BoundDepth();
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  DrawQuadAt(0.25f, true);
  ASSERT_EQ(DepthAt(depth, 3, 3), 0.25f);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  EXPECT_EQ(DepthAt(depth, 3, 3), 1.0f);
  // A draw that tests depth without writing it leaves the clear standing.
  DrawQuadAt(0.25f, false);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  EXPECT_EQ(DepthAt(depth, 3, 3), 1.0f);
  ASSERT_EQ(device_->SetDepthStencilSurface(nullptr), D3D_OK);
  depth->Release();
}

TEST_F(D3D9DepthClear, AClearSkipsOnlyInsideTheRectangleLastClearedToItsValue) {
  MakeDevice(8, 8);
  IDirect3DSurface9* depth = BoundDepth();
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.5f, 0), D3D_OK);
  const D3DRECT corner = {0, 0, 4, 4};
  ASSERT_EQ(device_->Clear(1, &corner, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  EXPECT_EQ(DepthAt(depth, 1, 1), 1.0f);
  EXPECT_EQ(DepthAt(depth, 6, 6), 0.5f);
  // The whole viewport reaches beyond the corner: filled again.
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  EXPECT_EQ(DepthAt(depth, 6, 6), 1.0f);
  // Another value inside it is filled too.
  ASSERT_EQ(device_->Clear(1, &corner, D3DCLEAR_ZBUFFER, 0, 0.0f, 0), D3D_OK);
  EXPECT_EQ(DepthAt(depth, 1, 1), 0.0f);
  EXPECT_EQ(DepthAt(depth, 6, 6), 1.0f);

  // What one surface holds says nothing about another.
  IDirect3DSurface9* other = BoundDepth();
  ASSERT_EQ(device_->Clear(1, &corner, D3DCLEAR_ZBUFFER, 0, 0.0f, 0), D3D_OK);
  ASSERT_EQ(device_->SetDepthStencilSurface(depth), D3D_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  ASSERT_EQ(device_->SetDepthStencilSurface(other), D3D_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  EXPECT_EQ(DepthAt(other, 6, 6), 1.0f);
  ASSERT_EQ(device_->SetDepthStencilSurface(nullptr), D3D_OK);
  other->Release();
  depth->Release();
}

}  // namespace
