// Resources of the Direct3D 9 stand-in: which pools and usages may be made
// and locked, rectangle and block rules of locks, level chains, buffers, and
// reference counts down to no live object.
#include <cstring>

#include "tests/platform/d3d9_test_fixture.h"

namespace {

using namespace plat;
using qz::testing::D3D9Test;

class D3D9Resource : public D3D9Test {
 protected:
  IDirect3DTexture9* Texture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, std::uint32_t usage,
                             D3DFORMAT format, D3DPOOL pool, HRESULT expected = D3D_OK) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(width, height, levels, usage, format, pool, &texture, nullptr), expected)
        << width << "x" << height << " usage " << usage << " format " << format << " pool " << pool;
    if (expected != D3D_OK) {
      EXPECT_EQ(texture, nullptr);
    }
    return texture;
  }
};

TEST_F(D3D9Resource, TextureLocksFollowThePoolRules) {
  MakeDevice();
  D3DLOCKED_RECT locked{};
  IDirect3DTexture9* plainDefault = Texture(32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  EXPECT_EQ(plainDefault->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(locked.pBits, nullptr);
  IDirect3DTexture9* target = Texture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  EXPECT_EQ(target->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);

  IDirect3DTexture9* dynamic = Texture(32, 32, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  ASSERT_EQ(dynamic->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
  EXPECT_EQ(locked.Pitch, 32 * 4);
  // A second lock of a locked level fails; unlocking twice fails.
  D3DLOCKED_RECT again{};
  EXPECT_EQ(dynamic->LockRect(0, &again, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(dynamic->UnlockRect(0), D3D_OK);
  EXPECT_EQ(dynamic->UnlockRect(0), D3DERR_INVALIDCALL);

  IDirect3DTexture9* system = Texture(32, 32, 1, 0, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM);
  // Discarding is for dynamic textures only.
  EXPECT_EQ(system->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3DERR_INVALIDCALL);
  const WinRect part = {4, 2, 8, 6};
  ASSERT_EQ(system->LockRect(0, &locked, &part, 0), D3D_OK);
  EXPECT_EQ(locked.Pitch, 64);
  static_cast<std::uint16_t*>(locked.pBits)[0] = 0xF800;
  EXPECT_EQ(system->UnlockRect(0), D3D_OK);
  IDirect3DSurface9* level = nullptr;
  ASSERT_EQ(system->GetSurfaceLevel(0, &level), D3D_OK);
  const std::vector<std::uint32_t> pixels = ReadArgb(level);
  EXPECT_EQ(pixels[2 * 32 + 4], 0xFFFF0000u);
  EXPECT_EQ(pixels[2 * 32 + 3], 0xFF000000u);
  level->Release();

  // Rectangles reaching outside the level, or empty, are refused.
  for (const WinRect& outside : {WinRect{0, 0, 33, 1}, WinRect{-1, 0, 4, 4}, WinRect{4, 4, 4, 8}, WinRect{0, 30, 4, 40}}) {
    EXPECT_EQ(system->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
  }
  EXPECT_EQ(system->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);

  for (IDirect3DTexture9* texture : {plainDefault, target, dynamic, system}) texture->Release();
}

TEST_F(D3D9Resource, CreationRefusesWhatARealDeviceRefuses) {
  MakeDevice();
  Texture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, D3DERR_INVALIDCALL);
  Texture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL);
  // The extended device has no managed pool.
  Texture(32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL);
  Texture(32, 32, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL);
  Texture(4096, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL);
  Texture(0, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL);
  Texture(48, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL);  // power of two only
  Texture(32, 32, 7, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL);  // 6 levels at most
  Texture(32, 32, 1, 0, D3DFMT_DXT1, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL);
  Texture(32, 32, 1, 0, D3DFMT_A16B16G16R16F, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL);

  IDirect3DSurface9* surface = nullptr;
  for (D3DFORMAT video : {D3DFMT_YV12, D3DFMT_YUY2, D3DFMT_UYVY}) {
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(64, 64, video, D3DPOOL_DEFAULT, &surface, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(surface, nullptr);
  }
  EXPECT_EQ(device_->CreateRenderTarget(64, 64, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, 0, FALSE, &surface, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateDepthStencilSurface(64, 64, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, &surface,
                                               nullptr),
            D3DERR_INVALIDCALL);
}

TEST_F(D3D9Resource, ProfileSetsSizesShapesAndFormats) {
  D3D9Profile profile = DefaultD3D9Profile();
  profile.caps.MaxTextureWidth = 0;  // read as 256
  profile.caps.MaxTextureHeight = 512;
  profile.caps.TextureCaps |= D3DPTEXTURECAPS_NONPOW2CONDITIONAL | D3DPTEXTURECAPS_SQUAREONLY;
  profile.textureFormats.push_back(D3DFMT_DXT5);
  profile.textureFormats.erase(profile.textureFormats.begin());  // no R5G6B5
  SetD3D9ProfileForTest(profile);
  MakeDevice();
  Texture(512, 512, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL);
  Texture(256, 128, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL);  // square only
  Texture(64, 64, 1, 0, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL);
  // Other sizes under the conditional rule: one level only.
  Texture(48, 48, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL);
  Texture(48, 48, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT)->Release();

  // DXT levels keep 4x4 blocks; locks take whole blocks and the pitch is a block row.
  IDirect3DTexture9* blocks = Texture(16, 16, 0, 0, D3DFMT_DXT5, D3DPOOL_SYSTEMMEM);
  ASSERT_NE(blocks, nullptr);
  EXPECT_EQ(blocks->GetLevelCount(), 5u);
  D3DLOCKED_RECT locked{};
  const WinRect unaligned = {2, 0, 8, 4};
  EXPECT_EQ(blocks->LockRect(0, &locked, &unaligned, 0), D3DERR_INVALIDCALL);
  const WinRect aligned = {4, 4, 16, 8};
  ASSERT_EQ(blocks->LockRect(0, &locked, &aligned, 0), D3D_OK);
  EXPECT_EQ(locked.Pitch, 4 * 16);
  EXPECT_EQ(blocks->UnlockRect(0), D3D_OK);
  // The 1x1 level is locked whole although smaller than a block.
  ASSERT_EQ(blocks->LockRect(4, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(locked.Pitch, 16);
  EXPECT_EQ(blocks->UnlockRect(4), D3D_OK);
  blocks->Release();
}

TEST_F(D3D9Resource, LevelChainsHalveDownToOne) {
  MakeDevice();
  IDirect3DTexture9* texture = Texture(64, 8, 0, 0, D3DFMT_A4R4G4B4, D3DPOOL_SYSTEMMEM);
  ASSERT_EQ(texture->GetLevelCount(), 7u);
  const std::uint32_t widths[] = {64, 32, 16, 8, 4, 2, 1};
  const std::uint32_t heights[] = {8, 4, 2, 1, 1, 1, 1};
  for (std::uint32_t level = 0; level < 7; ++level) {
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, widths[level]);
    EXPECT_EQ(desc.Height, heights[level]);
    EXPECT_EQ(desc.Format, D3DFMT_A4R4G4B4);
    EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
  }
  D3DSURFACE_DESC desc{};
  EXPECT_EQ(texture->GetLevelDesc(7, &desc), D3DERR_INVALIDCALL);
  texture->Release();
}

TEST_F(D3D9Resource, SurfaceLocksNeedALockableSurface) {
  MakeDevice();
  D3DLOCKED_RECT locked{};
  IDirect3DSurface9* back = BackBuffer();
  ASSERT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(locked.Pitch, 64 * 4);
  EXPECT_EQ(back->UnlockRect(), D3D_OK);
  back->Release();

  IDirect3DSurface9* target = nullptr;
  ASSERT_EQ(device_->CreateRenderTarget(16, 16, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
            D3D_OK);
  EXPECT_EQ(target->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
  IDirect3DSurface9* depth = nullptr;
  ASSERT_EQ(device_->CreateDepthStencilSurface(16, 16, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, TRUE, &depth, nullptr),
            D3D_OK);
  EXPECT_EQ(depth->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
  IDirect3DSurface9* plain = nullptr;
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(16, 16, D3DFMT_A1R5G5B5, D3DPOOL_SYSTEMMEM, &plain, nullptr), D3D_OK);
  const WinRect outside = {8, 8, 17, 9};
  EXPECT_EQ(plain->LockRect(&locked, &outside, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(plain->LockRect(&locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(plain->UnlockRect(), D3D_OK);
  for (IDirect3DSurface9* surface : {target, depth, plain}) surface->Release();
}

TEST_F(D3D9Resource, BackBufferIsLockableOnlyWhenAskedFor) {
  ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &direct3d_), D3D_OK);
  D3DPRESENT_PARAMETERS parameters = WindowedParameters(32, 32, D3DFMT_X8R8G8B8);
  parameters.Flags = 0;
  ASSERT_EQ(direct3d_->CreateDeviceEx(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                      &parameters, nullptr, &device_),
            D3D_OK);
  IDirect3DSurface9* back = BackBuffer();
  D3DLOCKED_RECT locked{};
  EXPECT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3DERR_INVALIDCALL);
  back->Release();
}

TEST_F(D3D9Resource, LevelSurfacesShareMemoryAndKeepTheirTextureAlive) {
  MakeDevice();
  IDirect3DTexture9* texture = Texture(8, 8, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  IDirect3DSurface9* level = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(1, &level), D3D_OK);
  const int withLevel = GetD3D9LiveObjectCount();
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3D_OK);
  static_cast<std::uint32_t*>(locked.pBits)[5] = 0x80402010u;
  // The level is locked through the texture, so the surface is locked too.
  D3DLOCKED_RECT throughSurface{};
  EXPECT_EQ(level->LockRect(&throughSurface, nullptr, 0), D3DERR_INVALIDCALL);
  ASSERT_EQ(texture->UnlockRect(1), D3D_OK);
  EXPECT_EQ(ReadArgb(level)[5], 0x80402010u);

  EXPECT_EQ(texture->Release(), 1u);  // the level surface still holds it
  EXPECT_EQ(GetD3D9LiveObjectCount(), withLevel);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(level->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Width, 4u);
  EXPECT_EQ(level->Release(), 0u);
  EXPECT_EQ(GetD3D9LiveObjectCount(), withLevel - 2);
}

TEST_F(D3D9Resource, DeviceReleaseFreesItsOwnObjectsAndListsWhatIsStillHeld) {
  MakeDevice();
  const int base = GetD3D9LiveObjectCount();  // object, device, swap chain, back buffer
  EXPECT_EQ(base, 4);
  IDirect3DSurface9* back = BackBuffer();
  IDirect3DSwapChain9* chain = nullptr;
  ASSERT_EQ(device_->GetSwapChain(0, &chain), D3D_OK);
  IDirect3DTexture9* texture = Texture(16, 16, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT);
  ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
  EXPECT_EQ(texture->Release(), 1u);  // the device holds the bound texture

  EXPECT_EQ(device_->Release(), 0u);
  device_ = nullptr;
  // Released by the device: the texture. Still held here: back buffer and swap chain.
  const std::vector<std::string> left = ListD3D9LiveObjects();
  ASSERT_EQ(left.size(), 3u) << Leaks();
  bool backBufferListed = false;
  for (const std::string& line : left) backBufferListed |= line.find("BackBuffer") == 0;
  EXPECT_TRUE(backBufferListed) << Leaks();
  chain->Release();
  back->Release();
}

TEST_F(D3D9Resource, BuffersLockInsideTheirLength) {
  MakeDevice();
  IDirect3DVertexBuffer9* vertices = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(4 * 48, D3DUSAGE_WRITEONLY, 0x2D2, D3DPOOL_DEFAULT, &vertices, nullptr),
            D3D_OK);
  D3DBUFFER_DESC desc{};
  ASSERT_EQ(vertices->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Size, 192u);
  EXPECT_EQ(GetFvfVertexSize(0x2D2), 48u);
  void* data = nullptr;
  EXPECT_EQ(vertices->Lock(100, 100, &data, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(data, nullptr);
  ASSERT_EQ(vertices->Lock(96, 0, &data, 0), D3D_OK);  // size 0: to the end
  std::memset(data, 0xAB, 96);
  EXPECT_EQ(vertices->Unlock(), D3D_OK);
  EXPECT_EQ(vertices->Unlock(), D3DERR_INVALIDCALL);
  // Shorter than one vertex of its format.
  IDirect3DVertexBuffer9* tooShort = nullptr;
  EXPECT_EQ(device_->CreateVertexBuffer(40, D3DUSAGE_WRITEONLY, 0x2D2, D3DPOOL_DEFAULT, &tooShort, nullptr),
            D3DERR_INVALIDCALL);

  IDirect3DIndexBuffer9* indices = nullptr;
  EXPECT_EQ(device_->CreateIndexBuffer(64, D3DUSAGE_WRITEONLY, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &indices, nullptr),
            D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->CreateIndexBuffer(64, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                       &indices, nullptr),
            D3D_OK);
  EXPECT_EQ(indices->Lock(0, 64, &data, 0), D3D_OK);
  EXPECT_EQ(indices->Unlock(), D3D_OK);
  vertices->Release();
  indices->Release();
}

TEST_F(D3D9Resource, VolumeTexturesLockBoxesAndShadersNeedTheReportedModel) {
  MakeDevice();
  IDirect3DVolumeTexture9* volume = nullptr;
  ASSERT_EQ(device_->CreateVolumeTexture(16, 16, 16, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &volume, nullptr),
            D3D_OK);
  D3DLOCKED_BOX box{};
  const D3DBOX part = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(volume->LockBox(0, &box, &part, 0), D3D_OK);
  EXPECT_EQ(box.RowPitch, 64);
  EXPECT_EQ(box.SlicePitch, 64 * 16);
  EXPECT_EQ(volume->UnlockBox(0), D3D_OK);
  const D3DBOX outside = {0, 0, 16, 16, 0, 17};
  EXPECT_EQ(volume->LockBox(0, &box, &outside, 0), D3DERR_INVALIDCALL);
  volume->Release();

  // The default device reports shader model 1.1: 2.0 code is refused, 1.1 kept.
  const std::uint32_t vertex20[] = {0xFFFE0200u, 0x0000FFFFu};
  const std::uint32_t vertex11[] = {0xFFFE0101u, 0x0000FFFFu};
  const std::uint32_t pixel20[] = {0xFFFF0200u, 0x0000FFFFu};
  IDirect3DVertexShader9* vertexShader = nullptr;
  EXPECT_EQ(device_->CreateVertexShader(vertex20, &vertexShader), D3DERR_INVALIDCALL);
  IDirect3DPixelShader9* pixelShader = nullptr;
  EXPECT_EQ(device_->CreatePixelShader(pixel20, &pixelShader), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->CreateVertexShader(vertex11, &vertexShader), D3D_OK);
  EXPECT_EQ(device_->SetVertexShader(vertexShader), D3D_OK);
  vertexShader->Release();  // the device still holds it until the end

  const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                        {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
                                        D3DDECL_END};
  IDirect3DVertexDeclaration9* declaration = nullptr;
  ASSERT_EQ(device_->CreateVertexDeclaration(elements, &declaration), D3D_OK);
  std::uint32_t count = 0;
  ASSERT_EQ(declaration->GetDeclaration(nullptr, &count), D3D_OK);
  EXPECT_EQ(count, 3u);
  declaration->Release();
}

}  // namespace
