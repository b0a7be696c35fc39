// Sprites of the benchmark's three sheets (discs, alpha changing from pixel
// to pixel, all opaque) alpha-blended over a frame through each row width
// the processor has (AVX-512, AVX2, scalar) at 1, 2, 3 and 8 band workers:
// every frame must be the scalar rows' frame at one worker, bit for bit.
// The sprites are 16 pixels wide or cut to 5 to 15, and some cross the
// frame's edges, so rows end anywhere in a block.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/d3d9_raster.h"
#include "platform/d3d9_raster_bands.h"
#include "support/sprite_alpha_sheets.h"
#include "tests/platform/d3d9_test_fixture.h"

namespace {

using namespace plat;
using qz::testing::SheetAlpha;

using qz::testing::kTexturedFvf;
using qz::testing::TexturedVertex;
constexpr std::uint32_t kWidth = 96, kHeight = 72;
constexpr int kCell = 16, kSheetSide = 64;  // four cells square

class D3D9BlendKernels : public qz::testing::D3D9Test, public ::testing::WithParamInterface<SheetAlpha> {
 protected:
  void TearDown() override {
    raster::SetRasterWorkerCountForTests(0);
    raster::LimitVectorRows(raster::VectorRowLimit::kWidest);
    D3D9Test::TearDown();
  }

  IDirect3DTexture9* SheetTexture(SheetAlpha sheet) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(kSheetSide, kSheetSide, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                     nullptr),
              D3D_OK);
    if (texture == nullptr) return nullptr;
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < kSheetSide; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch);
      for (int x = 0; x < kSheetSide; ++x) {
        const int id = x / kCell + y / kCell * 4;
        const auto colour = static_cast<std::uint32_t>((x * 37 + y * 11) & 0xFF) << 16 |
                            static_cast<std::uint32_t>((y * 7 + 40) & 0xFF) << 8 |
                            static_cast<std::uint32_t>((200 - x * 3) & 0xFF);
        row[x] = qz::testing::SheetAlphaAt(sheet, id, x % kCell, y % kCell, kCell) << 24 | colour;
      }
    }
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    return texture;
  }

  // Blended sprites over opaque ones, so the blended ones meet a frame of
  // many colours; returns the back buffer.
  std::vector<std::uint32_t> DrawFrame(SheetAlpha sheet, int workers, raster::VectorRowLimit limit) {
    raster::SetRasterWorkerCountForTests(workers);
    raster::LimitVectorRows(limit);
    if (MakeDevice(kWidth, kHeight, D3DFMT_X8R8G8B8, false) == nullptr) return {};
    IDirect3DTexture9* opaque = SheetTexture(SheetAlpha::kOpaque);
    IDirect3DTexture9* blended = SheetTexture(sheet);
    EXPECT_EQ(device_->SetFVF(kTexturedFvf), D3D_OK);
    EXPECT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    EXPECT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
    EXPECT_EQ(device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), D3D_OK);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060u, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    std::uint32_t seed = 2024;
    auto next = [&seed](int range) {
      seed = seed * 1664525u + 1013904223u;
      return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(range));
    };
    for (const bool blend : {false, true}) {
      EXPECT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blend ? TRUE : FALSE), D3D_OK);
      EXPECT_EQ(device_->SetTexture(0, blend ? blended : opaque), D3D_OK);
      for (int sprite = 0; sprite < 90; ++sprite) {
        const int cell = next(16), w = sprite % 3 == 0 ? 5 + next(11) : kCell;
        const float x = static_cast<float>(next(kWidth + kCell) - kCell / 2) - 0.5f;
        const float y = static_cast<float>(next(kHeight + kCell) - kCell / 2) - 0.5f;
        const float u0 = static_cast<float>(cell % 4 * kCell) / kSheetSide;
        const float v0 = static_cast<float>(cell / 4 * kCell) / kSheetSide;
        const float u1 = u0 + static_cast<float>(w) / kSheetSide, v1 = v0 + static_cast<float>(kCell) / kSheetSide;
        const float x1 = x + static_cast<float>(w), y1 = y + kCell;
        const TexturedVertex quad[4] = {{x, y, 0, 1, 0xFFFFFFFFu, u0, v0},
                                        {x1, y, 0, 1, 0xFFFFFFFFu, u1, v0},
                                        {x, y1, 0, 1, 0xFFFFFFFFu, u0, v1},
                                        {x1, y1, 0, 1, 0xFFFFFFFFu, u1, v1}};
        EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex)), D3D_OK);
      }
    }
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    IDirect3DSurface9* backBuffer = BackBuffer();
    std::vector<std::uint32_t> frame = ReadArgb(backBuffer);
    backBuffer->Release();
    opaque->Release();
    blended->Release();
    device_->Release();
    device_ = nullptr;
    direct3d_->Release();
    direct3d_ = nullptr;
    return frame;
  }
};

TEST_P(D3D9BlendKernels, EveryRowWidthAndWorkerCountDrawsTheScalarFrame) {
  const std::vector<std::uint32_t> scalar = DrawFrame(GetParam(), 1, raster::VectorRowLimit::kScalar);
  ASSERT_EQ(scalar.size(), static_cast<std::size_t>(kWidth) * kHeight);
  // The sprites must have left a frame of many colours for the comparison to weigh.
  std::vector<std::uint32_t> colours = scalar;
  std::sort(colours.begin(), colours.end());
  EXPECT_GT(std::unique(colours.begin(), colours.end()) - colours.begin(), 500);
  for (const raster::VectorRowLimit limit :
       {raster::VectorRowLimit::kWidest, raster::VectorRowLimit::k256Bits, raster::VectorRowLimit::kScalar}) {
    for (const int workers : {1, 2, 3, 8}) {
      EXPECT_TRUE(DrawFrame(GetParam(), workers, limit) == scalar)
          << "row limit " << static_cast<int>(limit) << ", " << workers << " workers";
    }
  }
}

std::string SheetName(const ::testing::TestParamInfo<SheetAlpha>& info) {
  switch (info.param) {
    case SheetAlpha::kDiscs: return "Discs";
    case SheetAlpha::kPattern: return "Pattern";
    default: return "Opaque";
  }
}

INSTANTIATE_TEST_SUITE_P(Sheets, D3D9BlendKernels,
                         ::testing::Values(SheetAlpha::kDiscs, SheetAlpha::kPattern, SheetAlpha::kOpaque), SheetName);

}  // namespace
