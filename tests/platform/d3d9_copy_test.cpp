// Copies on the Direct3D 9 stand-in: StretchRect with format conversion and
// scaling, ColorFill, UpdateTexture over level chains, UpdateSurface to a
// point, GetRenderTargetData, and the pool, format and rectangle rules that
// refuse the rest.
#include "tests/platform/d3d9_test_fixture.h"

namespace {

using namespace plat;
using qz::testing::D3D9Test;

class D3D9Copy : public D3D9Test {
 protected:
  IDirect3DSurface9* Target(std::uint32_t width, std::uint32_t height, D3DFORMAT format) {
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(device_->CreateRenderTarget(width, height, format, D3DMULTISAMPLE_NONE, 0, FALSE, &surface, nullptr),
              D3D_OK);
    return surface;
  }

  IDirect3DSurface9* SystemSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format) {
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(width, height, format, D3DPOOL_SYSTEMMEM, &surface, nullptr),
              D3D_OK);
    return surface;
  }

  // Writes 0xFF000000 | (x << 16) | (y << 8) | tag at each pixel of a 32-bit lockable surface.
  static void FillPattern(IDirect3DSurface9* surface, std::uint32_t tag) {
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(surface->GetDesc(&desc), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    for (std::uint32_t y = 0; y < desc.Height; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch);
      for (std::uint32_t x = 0; x < desc.Width; ++x) row[x] = 0xFF000000u | (x << 16) | (y << 8) | tag;
    }
    ASSERT_EQ(surface->UnlockRect(), D3D_OK);
  }

  static IDirect3DSurface9* Level(IDirect3DTexture9* texture, std::uint32_t level) {
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(texture->GetSurfaceLevel(level, &surface), D3D_OK);
    return surface;
  }
};

TEST_F(D3D9Copy, StretchRectConvertsAndScalesBetweenTargets) {
  MakeDevice(8, 8);
  IDirect3DSurface9* back = BackBuffer();
  FillPattern(back, 0x40);
  IDirect3DSurface9* narrow = Target(8, 8, D3DFMT_R5G6B5);
  ASSERT_EQ(device_->StretchRect(back, nullptr, narrow, nullptr, D3DTEXF_NONE), D3D_OK);
  const std::vector<std::uint32_t> converted = ReadArgb(narrow);
  // 5 and 6 bits per channel, widened again by repeating the top bits.
  EXPECT_EQ(converted[0], 0xFF000042u);
  EXPECT_EQ(converted[7 * 8 + 7], 0xFF080842u);

  // Source 2x2 at (2,2) doubled onto the 4x4 at the destination's (4,0).
  IDirect3DSurface9* wide = Target(8, 8, D3DFMT_X8R8G8B8);
  ASSERT_EQ(device_->ColorFill(wide, nullptr, 0xFF000000u), D3D_OK);
  const WinRect from = {2, 2, 4, 4};
  const WinRect to = {4, 0, 8, 4};
  ASSERT_EQ(device_->StretchRect(back, &from, wide, &to, D3DTEXF_POINT), D3D_OK);
  const std::vector<std::uint32_t> scaled = ReadArgb(wide);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 4 && y < 4;
      const std::uint32_t expected =
          inside ? 0xFF000040u | ((2u + (x - 4) / 2) << 16) | ((2u + y / 2) << 8) : 0xFF000000u;
      EXPECT_EQ(scaled[y * 8 + x], expected) << x << "," << y;
    }
  }
  // Overlapping copy within one surface, rectangles outside, system memory and
  // plain texture levels are all refused.
  const WinRect overlapping = {3, 3, 5, 5};
  EXPECT_EQ(device_->StretchRect(back, &from, back, &overlapping, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  const WinRect outside = {6, 6, 9, 8};
  EXPECT_EQ(device_->StretchRect(back, &outside, wide, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(back, nullptr, wide, &outside, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  IDirect3DSurface9* system = SystemSurface(8, 8, D3DFMT_X8R8G8B8);
  EXPECT_EQ(device_->StretchRect(system, nullptr, wide, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  IDirect3DTexture9* plain = nullptr;
  ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &plain, nullptr), D3D_OK);
  IDirect3DSurface9* plainLevel = Level(plain, 0);
  EXPECT_EQ(device_->StretchRect(back, nullptr, plainLevel, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  for (IUnknownObject* object :
       std::initializer_list<IUnknownObject*>{back, narrow, wide, system, plainLevel, plain}) {
    object->Release();
  }
}

TEST_F(D3D9Copy, ColorFillConvertsToTheSurfaceFormatOnDefaultPoolOnly) {
  MakeDevice();
  IDirect3DTexture9* drawable = nullptr;
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A4R4G4B4, D3DPOOL_DEFAULT, &drawable, nullptr),
            D3D_OK);
  IDirect3DSurface9* level = Level(drawable, 0);
  ASSERT_EQ(device_->ColorFill(level, nullptr, 0), D3D_OK);
  const WinRect corner = {2, 2, 4, 4};
  ASSERT_EQ(device_->ColorFill(level, &corner, 0x80FF8040u), D3D_OK);
  const std::vector<std::uint32_t> pixels = ReadArgb(level);
  EXPECT_EQ(pixels[0], 0u);
  EXPECT_EQ(pixels[3 * 4 + 3], 0x88FF8844u);
  const WinRect outside = {2, 2, 5, 4};
  EXPECT_EQ(device_->ColorFill(level, &outside, 0), D3DERR_INVALIDCALL);

  IDirect3DSurface9* system = SystemSurface(4, 4, D3DFMT_A8R8G8B8);
  EXPECT_EQ(device_->ColorFill(system, nullptr, 0), D3DERR_INVALIDCALL);
  IDirect3DTexture9* plain = nullptr;
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &plain, nullptr), D3D_OK);
  IDirect3DSurface9* plainLevel = Level(plain, 0);
  EXPECT_EQ(device_->ColorFill(plainLevel, nullptr, 0), D3DERR_INVALIDCALL);
  for (IUnknownObject* object : std::initializer_list<IUnknownObject*>{level, drawable, system, plainLevel, plain}) {
    object->Release();
  }
}

TEST_F(D3D9Copy, UpdateTextureCopiesEveryLevelFromSystemMemory) {
  MakeDevice();
  IDirect3DTexture9* staged = nullptr;
  ASSERT_EQ(device_->CreateTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &staged, nullptr), D3D_OK);
  for (std::uint32_t level = 0; level < staged->GetLevelCount(); ++level) {
    IDirect3DSurface9* surface = Level(staged, level);
    FillPattern(surface, level);
    surface->Release();
  }
  IDirect3DTexture9* full = nullptr;
  ASSERT_EQ(device_->CreateTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &full, nullptr), D3D_OK);
  ASSERT_EQ(device_->UpdateTexture(staged, full), D3D_OK);
  for (std::uint32_t level = 0; level < full->GetLevelCount(); ++level) {
    IDirect3DSurface9* surface = Level(full, level);
    EXPECT_EQ(ReadArgb(surface)[0] & 0xFF, level);
    surface->Release();
  }
  // A smaller destination takes the source levels of its own size on.
  IDirect3DTexture9* smaller = nullptr;
  ASSERT_EQ(device_->CreateTexture(8, 8, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &smaller, nullptr), D3D_OK);
  ASSERT_EQ(device_->UpdateTexture(staged, smaller), D3D_OK);
  IDirect3DSurface9* top = Level(smaller, 0);
  EXPECT_EQ(ReadArgb(top)[8 * 7 + 7], 0xFF070701u);
  top->Release();

  IDirect3DTexture9* otherFormat = nullptr;
  ASSERT_EQ(device_->CreateTexture(16, 16, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &otherFormat, nullptr), D3D_OK);
  EXPECT_EQ(device_->UpdateTexture(staged, otherFormat), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateTexture(full, smaller), D3DERR_INVALIDCALL);   // source not in system memory
  EXPECT_EQ(device_->UpdateTexture(staged, staged), D3DERR_INVALIDCALL);  // destination not default pool
  IDirect3DTexture9* oneLevel = nullptr;
  ASSERT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &oneLevel, nullptr), D3D_OK);
  EXPECT_EQ(device_->UpdateTexture(oneLevel, full), D3DERR_INVALIDCALL);  // fewer source levels
  for (IDirect3DTexture9* texture : {staged, full, smaller, otherFormat, oneLevel}) texture->Release();
}

TEST_F(D3D9Copy, UpdateSurfaceCopiesARectangleToAPoint) {
  MakeDevice();
  IDirect3DSurface9* source = SystemSurface(8, 8, D3DFMT_X8R8G8B8);
  FillPattern(source, 0x11);
  IDirect3DTexture9* drawable = nullptr;
  IDirect3DSurface9* level = DrawableTexture(8, &drawable);
  ASSERT_NE(level, nullptr);
  ASSERT_EQ(device_->ColorFill(level, nullptr, 0xFF000000u), D3D_OK);
  const WinRect area = {1, 2, 4, 3};
  const Point at = {5, 7};
  ASSERT_EQ(device_->UpdateSurface(source, &area, level, &at), D3D_OK);
  const std::vector<std::uint32_t> pixels = ReadArgb(level);
  EXPECT_EQ(pixels[7 * 8 + 5], 0xFF010211u);
  EXPECT_EQ(pixels[7 * 8 + 7], 0xFF030211u);
  EXPECT_EQ(pixels[7 * 8 + 4], 0xFF000000u);
  EXPECT_EQ(pixels[6 * 8 + 5], 0xFF000000u);

  const Point tooFar = {6, 7};
  EXPECT_EQ(device_->UpdateSurface(source, &area, level, &tooFar), D3DERR_INVALIDCALL);
  const WinRect outside = {0, 0, 9, 1};
  EXPECT_EQ(device_->UpdateSurface(source, &outside, level, nullptr), D3DERR_INVALIDCALL);
  IDirect3DSurface9* otherFormat = SystemSurface(8, 8, D3DFMT_A8R8G8B8);
  EXPECT_EQ(device_->UpdateSurface(otherFormat, nullptr, level, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateSurface(level, nullptr, source, nullptr), D3DERR_INVALIDCALL);
  for (IUnknownObject* object : std::initializer_list<IUnknownObject*>{source, level, drawable, otherFormat}) {
    object->Release();
  }
}

TEST_F(D3D9Copy, RenderTargetDataComesBackToSystemMemory) {
  MakeDevice(16, 8, D3DFMT_R5G6B5);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0), D3D_OK);
  IDirect3DSurface9* back = BackBuffer();
  IDirect3DSurface9* copy = SystemSurface(16, 8, D3DFMT_R5G6B5);
  ASSERT_EQ(device_->GetRenderTargetData(back, copy), D3D_OK);
  EXPECT_EQ(ReadArgb(copy), std::vector<std::uint32_t>(16 * 8, 0xFFFF0000u));
  IDirect3DSurface9* wrongSize = SystemSurface(8, 8, D3DFMT_R5G6B5);
  EXPECT_EQ(device_->GetRenderTargetData(back, wrongSize), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetRenderTargetData(copy, back), D3DERR_INVALIDCALL);
  for (IDirect3DSurface9* surface : {back, copy, wrongSize}) surface->Release();
}

}  // namespace
