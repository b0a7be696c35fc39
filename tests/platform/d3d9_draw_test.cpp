// Drawing and presenting through the Direct3D 9 stand-in, end to end: a
// staged texture drawn as a blended quad in the library's 2D set-up, and
// back buffers of either depth shown in the window and read back.
#include <cstdlib>

#include "platform/window_present.h"
#include "tests/platform/d3d9_test_fixture.h"

namespace {

using namespace plat;
using qz::testing::D3D9Test;

using qz::testing::kTexturedFvf;
using qz::testing::TexturedVertex;

class D3D9Draw : public D3D9Test {
 protected:
  // A 4x4 default-pool texture filled through a system-memory copy: texel
  // (i, j) has red 60i, green 60j, blue 0x40, alpha 0x80 on odd columns.
  IDirect3DTexture9* StagedTexture() {
    IDirect3DTexture9* staged = nullptr;
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &staged, nullptr), D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(staged->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (std::uint32_t j = 0; j < 4; ++j) {
      auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) + j * locked.Pitch);
      for (std::uint32_t i = 0; i < 4; ++i) row[i] = Texel(i, j);
    }
    EXPECT_EQ(staged->UnlockRect(0), D3D_OK);
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr), D3D_OK);
    EXPECT_EQ(device_->UpdateTexture(staged, texture), D3D_OK);
    staged->Release();
    return texture;
  }

  static std::uint32_t Texel(std::uint32_t i, std::uint32_t j) {
    return ((i % 2 != 0 ? 0x80u : 0xFFu) << 24) | ((60 * i) << 16) | ((60 * j) << 8) | 0x40u;
  }

  // The library's blend mode 1: texture times diffuse, blended by alpha.
  void SetAlphaBlendState(IDirect3DTexture9* texture) {
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    ASSERT_EQ(device_->SetFVF(kTexturedFvf), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP), D3D_OK);
  }

  // A quad over pixels [left, left + size) x [top, top + size), shifted by
  // -0.5 so that texel centres land on pixel centres.
  HRESULT DrawQuad(float left, float top, float size) {
    const float x0 = left - 0.5f, y0 = top - 0.5f, x1 = x0 + size, y1 = y0 + size;
    const TexturedVertex quad[4] = {{x0, y0, 0, 1, 0xFFFFFFFFu, 0, 0},
                                    {x1, y0, 0, 1, 0xFFFFFFFFu, 1, 0},
                                    {x0, y1, 0, 1, 0xFFFFFFFFu, 0, 1},
                                    {x1, y1, 0, 1, 0xFFFFFFFFu, 1, 1}};
    return device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex));
  }
};

int Channel(std::uint32_t color, int shift) { return static_cast<int>((color >> shift) & 0xFF); }

TEST_F(D3D9Draw, StagedTextureDrawsBlendedTexelForTexel) {
  MakeDevice(8, 8);
  constexpr std::uint32_t kBackground = 0xFF204060u;
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.0f, 0), D3D_OK);
  IDirect3DTexture9* texture = StagedTexture();
  SetAlphaBlendState(texture);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  ASSERT_EQ(DrawQuad(2, 3, 4), D3D_OK);
  ASSERT_EQ(device_->EndScene(), D3D_OK);

  IDirect3DSurface9* back = BackBuffer();
  const std::vector<std::uint32_t> pixels = ReadArgb(back);
  back->Release();
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const std::uint32_t got = pixels[y * 8 + x];
      if (x < 2 || x >= 6 || y < 3 || y >= 7) {
        EXPECT_EQ(got, kBackground) << x << "," << y;
        continue;
      }
      const std::uint32_t texel = Texel(static_cast<std::uint32_t>(x - 2), static_cast<std::uint32_t>(y - 3));
      const int alpha = Channel(texel, 24);
      for (int shift : {16, 8, 0}) {
        const int expected = (Channel(texel, shift) * alpha + Channel(kBackground, shift) * (255 - alpha) + 127) / 255;
        EXPECT_LE(std::abs(Channel(got, shift) - expected), 1) << x << "," << y << " shift " << shift;
      }
    }
  }
  texture->Release();
}

TEST_F(D3D9Draw, MissingTextureAndUntransformedVerticesAreFlaggedInTheTrace) {
  MakeDevice(8, 8);
  SetD3D9CallTraceEnabled(true);
  ASSERT_EQ(device_->SetFVF(kTexturedFvf), D3D_OK);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  ASSERT_EQ(DrawQuad(0, 0, 2), D3D_OK);
  const float untransformed[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  ASSERT_EQ(device_->SetFVF(D3DFVF_XYZ), D3D_OK);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, untransformed, 12), D3D_OK);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  std::vector<std::string> notes;
  for (const D3D9Call& call : TakeD3D9CallTrace()) {
    if (call.method == "DrawPrimitiveUP") notes.push_back(call.arguments);
  }
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_NE(notes[0].find("missing texture"), std::string::npos) << notes[0];
  EXPECT_NE(notes[1].find("not rasterised"), std::string::npos) << notes[1];
  // A missing texture reads as opaque black.
  IDirect3DSurface9* back = BackBuffer();
  EXPECT_EQ(ReadArgb(back)[0] & 0xFFFFFFu, 0u);
  back->Release();
}

TEST_F(D3D9Draw, PresentShowsTheBackBufferInTheWindow) {
  MakeDevice(64, 48, D3DFMT_R5G6B5);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0), D3D_OK);
  const D3DRECT corner = {0, 0, 32, 24};
  ASSERT_EQ(device_->Clear(1, &corner, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0), D3D_OK);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

  std::vector<std::uint32_t> shown;
  int width = 0;
  int height = 0;
  ASSERT_TRUE(ReadPresentedFrame(window_, &shown, &width, &height));
  ASSERT_EQ(width, 640);
  ASSERT_EQ(height, 480);
  // Scaled ten times to the client area; the copy swap effect keeps the back buffer.
  EXPECT_EQ(shown[0] & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(shown[319] & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(shown[320] & 0xFFFFFFu, 0x0000FFu);
  EXPECT_EQ(shown[240 * 640] & 0xFFFFFFu, 0x0000FFu);
  IDirect3DSurface9* back = BackBuffer();
  EXPECT_EQ(ReadArgb(back)[0], 0xFFFF0000u);
  back->Release();

  // Through the swap chain: a source rectangle to a destination rectangle.
  IDirect3DSwapChain9* chain = nullptr;
  ASSERT_EQ(device_->GetSwapChain(0, &chain), D3D_OK);
  const WinRect source = {32, 0, 64, 24};
  const WinRect destination = {0, 0, 32, 24};
  ASSERT_EQ(chain->Present(&source, &destination, nullptr, nullptr, 0), D3D_OK);
  ASSERT_TRUE(ReadPresentedFrame(window_, &shown, &width, &height));
  EXPECT_EQ(shown[0] & 0xFFFFFFu, 0x0000FFu);
  EXPECT_EQ(shown[40] & 0xFFFFFFu, 0xFF0000u);  // the rest of the client area keeps the last frame
  const WinRect outside = {32, 0, 65, 24};
  EXPECT_EQ(chain->Present(&outside, nullptr, nullptr, nullptr, 0), D3DERR_INVALIDCALL);
  chain->Release();
}

}  // namespace
