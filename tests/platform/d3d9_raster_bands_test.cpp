// The device's frames split over band workers, at 1, 2, 3 and 8 workers:
// a texture changed between two draws, a surface locked, a render target
// switched and a device rebuilt, each in the middle of a frame, must show
// what one thread shows, and what each draw saw must be what came before it.
#include <cstring>
#include <limits>
#include <vector>

#include "platform/d3d9_raster_bands.h"
#include "platform/window_present.h"
#include "tests/platform/d3d9_test_fixture.h"

namespace {

using namespace plat;

using qz::testing::kTexturedFvf;
using qz::testing::TexturedVertex;
constexpr std::uint32_t kWidth = 64, kHeight = 48;
constexpr std::uint32_t kBackground = 0xFF102030u;
constexpr std::uint32_t kRed = 0xC0FF0000u, kGreen = 0xC000FF00u;

class D3D9RasterBands : public qz::testing::D3D9Test, public ::testing::WithParamInterface<int> {
 protected:
  void TearDown() override {
    raster::SetRasterWorkerCountForTests(0);
    D3D9Test::TearDown();
  }

  // A device made with `workers` band workers, set for blended textured quads.
  void MakeBandedDevice(int workers) {
    workers_ = workers;
    raster::SetRasterWorkerCountForTests(workers);
    ASSERT_NE(MakeDevice(kWidth, kHeight, D3DFMT_X8R8G8B8, false), nullptr);
    SetQuadState();
  }

  void SetQuadState() {
    ASSERT_EQ(device_->SetFVF(kTexturedFvf), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), D3D_OK);
  }

  // A managed 4x4 texture of one colour.
  IDirect3DTexture9* SolidTexture(std::uint32_t argb) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    if (texture != nullptr) Paint(texture, argb);
    return texture;
  }

  static void Paint(IDirect3DTexture9* texture, std::uint32_t argb) {
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 4; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch);
      for (int x = 0; x < 4; ++x) row[x] = argb;
    }
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
  }

  // Pixels [left, left + w) x [top, top + h) covered with the bound texture;
  // tall enough to cross several bands.
  void DrawQuad(float left, float top, float w, float h) {
    const float x0 = left - 0.5f, y0 = top - 0.5f, x1 = x0 + w, y1 = y0 + h;
    const TexturedVertex quad[4] = {{x0, y0, 0, 1, 0xFFFFFFFFu, 0, 0},
                                    {x1, y0, 0, 1, 0xFFFFFFFFu, 1, 0},
                                    {x0, y1, 0, 1, 0xFFFFFFFFu, 0, 1},
                                    {x1, y1, 0, 1, 0xFFFFFFFFu, 1, 1}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex)), D3D_OK);
  }

  // What the window shows after a present, one pixel per back-buffer pixel.
  std::vector<std::uint32_t> Presented() {
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    std::vector<std::uint32_t> shown;
    int width = 0, height = 0;
    EXPECT_TRUE(ReadPresentedFrame(window_, &shown, &width, &height));
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
    for (std::uint32_t y = 0; y < kHeight && !shown.empty(); ++y) {
      for (std::uint32_t x = 0; x < kWidth; ++x) {
        pixels[y * kWidth + x] = shown[static_cast<std::size_t>(y * height / kHeight) * width + x * width / kWidth];
      }
    }
    return pixels;
  }

  void ReleaseDevice() {
    device_->Release();
    device_ = nullptr;
    direct3d_->Release();
    direct3d_ = nullptr;
  }

  // Runs a scenario at one worker and at the parameter's count on fresh
  // devices; both must show the same frame, which the scenario returns.
  template <typename Scenario>
  std::vector<std::uint32_t> SameAsOneThread(Scenario scenario) {
    MakeBandedDevice(1);
    const std::vector<std::uint32_t> oneThread = scenario();
    ReleaseDevice();
    MakeBandedDevice(GetParam());
    std::vector<std::uint32_t> split = scenario();
    EXPECT_TRUE(split == oneThread) << GetParam() << " workers showed another frame";
    return split;
  }

  int workers_ = 1;
};

std::uint32_t At(const std::vector<std::uint32_t>& frame, int x, int y) {
  return frame[static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)] & 0xFFFFFFu;
}

TEST_P(D3D9RasterBands, TextureChangedBetweenTwoDrawsOfAFrame) {
  const std::vector<std::uint32_t> frame = SameAsOneThread([this] {
    IDirect3DTexture9* texture = SolidTexture(0xFFFF0000u);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, texture), D3D_OK);
    DrawQuad(4, 2, 20, 40);
    Paint(texture, 0xFF00FF00u);  // the first quad was recorded red and stays red
    DrawQuad(30, 6, 20, 40);
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    texture->Release();
    return Presented();
  });
  EXPECT_EQ(At(frame, 10, 30), 0xFF0000u);
  EXPECT_EQ(At(frame, 40, 30), 0x00FF00u);
  EXPECT_EQ(At(frame, 60, 1), kBackground & 0xFFFFFFu);
}

TEST_P(D3D9RasterBands, SurfaceLockedMidFrameHoldsTheDrawsBeforeIt) {
  const std::vector<std::uint32_t> frame = SameAsOneThread([this] {
    IDirect3DTexture9* red = SolidTexture(kRed);
    IDirect3DTexture9* green = SolidTexture(kGreen);
    IDirect3DSurface9* back = BackBuffer();
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, red), D3D_OK);
    DrawQuad(0, 0, 32, 48);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(back->LockRect(&locked, nullptr, 0), D3D_OK);
    const auto* pixels = static_cast<std::uint32_t*>(locked.pBits);
    // The lock sees the red quad blended over the clear, on every band's rows.
    for (int y = 0; y < static_cast<int>(kHeight); ++y) {
      EXPECT_EQ(pixels[static_cast<std::size_t>(y) * (locked.Pitch / 4) + 5] & 0xFF0000u, 0xC40000u) << y;
      std::memset(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch + 16 * 4, 0xFF, 32 * 4);
    }
    EXPECT_EQ(back->UnlockRect(), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, green), D3D_OK);
    DrawQuad(24, 8, 32, 32);  // over the white the lock wrote
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    back->Release();
    red->Release();
    green->Release();
    return Presented();
  });
  EXPECT_EQ(At(frame, 40, 20) & 0xFF00FFu, 0x3F003Fu);  // green at 3/4 over white
  EXPECT_EQ(At(frame, 20, 44), 0xFFFFFFu);  // the lock's white, drawn over by nothing
}

TEST_P(D3D9RasterBands, RenderTargetSwitchedMidFrame) {
  const std::vector<std::uint32_t> frame = SameAsOneThread([this] {
    IDirect3DTexture9* red = SolidTexture(kRed);
    IDirect3DTexture9* drawable = nullptr;
    IDirect3DSurface9* level = DrawableTexture(32, &drawable);
    IDirect3DSurface9* back = BackBuffer();
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, red), D3D_OK);
    DrawQuad(0, 0, 16, 48);
    EXPECT_EQ(device_->SetRenderTarget(0, level), D3D_OK);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0), D3D_OK);
    DrawQuad(0, 0, 32, 16);  // red over the top half of the blue
    EXPECT_EQ(device_->SetRenderTarget(0, back), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, drawable), D3D_OK);
    DrawQuad(24, 4, 32, 40);  // what the switched-to target holds, stretched
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    level->Release();
    back->Release();
    drawable->Release();
    red->Release();
    return Presented();
  });
  EXPECT_EQ(At(frame, 5, 40) & 0xFF0000u, 0xC40000u);
  EXPECT_EQ(At(frame, 40, 8), 0xC0003Fu);  // red at 3/4 over blue
  EXPECT_EQ(At(frame, 40, 40), 0x0000FFu);
}

TEST_P(D3D9RasterBands, DeviceRebuiltMidFrameLeavesTheNextDeviceItsOwnFrame) {
  const std::vector<std::uint32_t> frame = SameAsOneThread([this] {
    IDirect3DTexture9* red = SolidTexture(kRed);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, red), D3D_OK);
    for (int i = 0; i < 40; ++i) DrawQuad(static_cast<float>(i), static_cast<float>(i % 7), 24, 40);
    // Released with its draws still recorded: the texture's pixels go first.
    EXPECT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    red->Release();
    ReleaseDevice();
    MakeBandedDevice(workers_);
    IDirect3DTexture9* green = SolidTexture(kGreen);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, green), D3D_OK);
    DrawQuad(8, 8, 16, 16);
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    green->Release();
    return Presented();
  });
  EXPECT_EQ(At(frame, 2, 2), kBackground & 0xFFFFFFu);
  EXPECT_EQ(At(frame, 12, 12) & 0x00FF00u, 0x00C800u);
}

// Long triangle lists, as sprite batches send them, are sorted into the bands
// their pairs reach: short and tall quads, quads on band edges and past the
// target, one with a vertex that is not a number and a lone last triangle,
// unindexed and indexed, blended over each other so order shows.
TEST_P(D3D9RasterBands, LongTriangleListsShowWhatOneThreadShows) {
  const std::vector<std::uint32_t> frame = SameAsOneThread([this] {
    IDirect3DTexture9* red = SolidTexture(kRed);
    std::vector<TexturedVertex> list;
    std::uint32_t seed = 12345;
    auto next = [&seed](int range) {
      seed = seed * 1103515245u + 12345u;
      return static_cast<float>((seed >> 16) % static_cast<std::uint32_t>(range));
    };
    for (int quad = 0; quad < 60; ++quad) {
      const float x0 = next(70) - 6.0f, y0 = next(60) - 6.0f + (quad % 3 == 0 ? 0.5f : 0.0f);
      const float x1 = x0 + 2 + next(20), y1 = y0 + (quad % 5 == 0 ? 40 : 1 + next(9));
      const float y = quad == 17 ? std::numeric_limits<float>::quiet_NaN() : y0;
      const std::uint32_t colour = quad % 2 == 0 ? 0xFFFFFFFFu : 0x8040C0FFu;
      const TexturedVertex corners[6] = {{x0, y, 0, 1, colour, 0, 0},  {x1, y0, 0, 1, colour, 1, 0},
                                         {x0, y1, 0, 1, colour, 0, 1}, {x1, y0, 0, 1, colour, 1, 0},
                                         {x1, y1, 0, 1, colour, 1, 1}, {x0, y1, 0, 1, colour, 0, 1}};
      list.insert(list.end(), corners, corners + 6);
    }
    list.resize(list.size() - 3);  // a lone last triangle
    const auto triangles = static_cast<std::uint32_t>(list.size() / 3);
    std::vector<std::uint16_t> indices(list.size());
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint16_t>(indices.size() - 1 - i);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, red), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, triangles, list.data(), sizeof(TexturedVertex)), D3D_OK);
    for (TexturedVertex& vertex : list) vertex.x += 3;
    EXPECT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<std::uint32_t>(list.size()),
                                              triangles, indices.data(), D3DFMT_INDEX16, list.data(),
                                              sizeof(TexturedVertex)),
              D3D_OK);
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    red->Release();
    return Presented();
  });
  int drawn = 0;
  for (const std::uint32_t pixel : frame) drawn += (pixel & 0xFFFFFFu) != (kBackground & 0xFFFFFFu) ? 1 : 0;
  EXPECT_GT(drawn, static_cast<int>(kWidth * kHeight / 3));
}

// More draws than the workers' ring holds: draw k and draw k + 256 share a
// slot and cover the same cells, differing only in set-up (the tint, what
// the texture stages read, whether the fast path may draw them, the blend),
// so a slot that kept the earlier draw's set-up shows in the frame.
TEST_P(D3D9RasterBands, DrawsARingApartDifferOnlyInSetUp) {
  constexpr int kRing = 256;
  const std::vector<std::uint32_t> frame = SameAsOneThread([this] {
    IDirect3DTexture9* red = SolidTexture(kRed);
    IDirect3DTexture9* green = SolidTexture(kGreen);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    for (int i = 0; i < 2 * kRing; ++i) {
      const int cell = i % kRing;
      const bool later = i >= kRing;
      // Each draw sets every state any draw changes.
      IDirect3DTexture9* texture = red;
      std::uint32_t tint = 0xFFFFFFFFu, secondOp = D3DTOP_DISABLE, source = D3DBLEND_SRCALPHA;
      switch (cell % 4) {
        case 0:
          tint = later ? 0xFF4080FFu : 0xFFFFFF00u;
          break;
        case 1:
          texture = later ? nullptr : green;  // none reads opaque black
          break;
        case 2:
          secondOp = later ? D3DTOP_ADDSIGNED : D3DTOP_DISABLE;  // a second stage leaves the fast path
          break;
        default:
          source = later ? D3DBLEND_DESTCOLOR : D3DBLEND_SRCALPHA;
          break;
      }
      EXPECT_EQ(device_->SetTexture(0, texture), D3D_OK);
      EXPECT_EQ(device_->SetRenderState(D3DRS_TEXTUREFACTOR, tint), D3D_OK);
      EXPECT_EQ(device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR), D3D_OK);
      EXPECT_EQ(device_->SetTextureStageState(1, D3DTSS_COLOROP, secondOp), D3D_OK);
      EXPECT_EQ(device_->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT), D3D_OK);
      EXPECT_EQ(device_->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_DIFFUSE), D3D_OK);
      EXPECT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, source), D3D_OK);
      // Cells of 4 x 3 pixels, each quad reaching into its neighbours.
      DrawQuad(static_cast<float>(cell % 16 * 4), static_cast<float>(cell / 16 * 3), 6, 5);
    }
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    red->Release();
    green->Release();
    return Presented();
  });
  EXPECT_EQ(At(frame, 6, 1), 0u);  // only cell 1's draws reach it, the last untextured
}

INSTANTIATE_TEST_SUITE_P(Workers, D3D9RasterBands, ::testing::Values(1, 2, 3, 8),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::to_string(info.param) + "Workers";
                         });

}  // namespace
