// Video surfaces of the Direct3D 9 stand-in: offered only as the profile
// says, locked whole, and converted to colour by StretchRect from any of the
// three layouts alike.
#include <cstring>

#include "tests/platform/d3d9_test_fixture.h"

namespace {

using namespace plat;
using qz::testing::D3D9Test;

// A 4 x 2 picture of Y, Cb, Cr samples; each 2 x 2 block shares its chroma.
struct Picture {
  std::uint8_t y[2][4];
  std::uint8_t cb[2];
  std::uint8_t cr[2];
};
constexpr Picture kPicture{{{16, 235, 81, 128}, {255, 60, 81, 200}}, {128, 90}, {128, 240}};

class D3D9VideoSurface : public D3D9Test {
 protected:
  void MakeVideoDevice() {
    D3D9Profile profile = DefaultD3D9Profile();
    profile.videoSurfaceFormats = {D3DFMT_YV12, D3DFMT_YUY2, D3DFMT_UYVY};
    SetD3D9ProfileForTest(profile);
    MakeDevice();
  }

  // A surface of the format holding kPicture, written as a movie player does.
  IDirect3DSurface9* Filled(D3DFORMAT format) {
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(4, 2, format, D3DPOOL_DEFAULT, &surface, nullptr), D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    auto* bits = static_cast<std::uint8_t*>(locked.pBits);
    for (int row = 0; row < 2; ++row) {
      std::uint8_t* out = bits + row * locked.Pitch;
      for (int pair = 0; pair < 2; ++pair) {
        const std::uint8_t y0 = kPicture.y[row][2 * pair], y1 = kPicture.y[row][2 * pair + 1];
        const std::uint8_t u = kPicture.cb[pair], v = kPicture.cr[pair];
        if (format == D3DFMT_YUY2) {
          const std::uint8_t group[4] = {y0, u, y1, v};
          std::memcpy(out + 4 * pair, group, 4);
        } else if (format == D3DFMT_UYVY) {
          const std::uint8_t group[4] = {u, y0, v, y1};
          std::memcpy(out + 4 * pair, group, 4);
        } else {
          out[2 * pair] = y0;
          out[2 * pair + 1] = y1;
        }
      }
    }
    if (format == D3DFMT_YV12) {
      // One chroma row: V then U, each half a pitch wide, after the luma rows.
      std::uint8_t* chroma = bits + 2 * locked.Pitch;
      std::memcpy(chroma, kPicture.cr, 2);
      std::memcpy(chroma + locked.Pitch / 2, kPicture.cb, 2);
    }
    EXPECT_EQ(surface->UnlockRect(), D3D_OK);
    return surface;
  }

  IDirect3DSurface9* Target(std::uint32_t width, std::uint32_t height) {
    IDirect3DSurface9* target = nullptr;
    EXPECT_EQ(device_->CreateRenderTarget(width, height, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target,
                                          nullptr),
              D3D_OK);
    return target;
  }
};

TEST_F(D3D9VideoSurface, OfferedOnlyByTheProfileInTheDefaultPoolAndLockedWhole) {
  MakeDevice();
  IDirect3DSurface9* surface = nullptr;
  EXPECT_EQ(device_->CreateOffscreenPlainSurface(64, 64, D3DFMT_YUY2, D3DPOOL_DEFAULT, &surface, nullptr),
            D3DERR_INVALIDCALL)
      << "the default profile offers no video format";
  device_->Release();
  device_ = nullptr;
  direct3d_->Release();
  direct3d_ = nullptr;

  MakeVideoDevice();
  EXPECT_EQ(device_->CreateOffscreenPlainSurface(64, 64, D3DFMT_YUY2, D3DPOOL_SYSTEMMEM, &surface, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateOffscreenPlainSurface(63, 64, D3DFMT_YUY2, D3DPOOL_DEFAULT, &surface, nullptr),
            D3DERR_INVALIDCALL)
      << "pairs of pixels share their chroma";
  EXPECT_EQ(device_->CreateOffscreenPlainSurface(64, 63, D3DFMT_YV12, D3DPOOL_DEFAULT, &surface, nullptr),
            D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(64, 64, D3DFMT_YV12, D3DPOOL_DEFAULT, &surface, nullptr), D3D_OK);
  D3DLOCKED_RECT locked{};
  const WinRect part{0, 0, 8, 8};
  EXPECT_EQ(surface->LockRect(&locked, &part, 0), D3DERR_INVALIDCALL);
  ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
  EXPECT_GE(locked.Pitch, 64);
  // The whole YV12 surface, planes included, can be written.
  std::memset(locked.pBits, 0x80, static_cast<std::size_t>(locked.Pitch) * 64 + locked.Pitch / 2 * 32 * 2);
  EXPECT_EQ(surface->UnlockRect(), D3D_OK);
  IDirect3DSurface9* target = Target(64, 64);
  EXPECT_EQ(device_->ColorFill(surface, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(target, nullptr, surface, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL)
      << "nothing converts into a video surface";
  target->Release();
  surface->Release();
}

TEST_F(D3D9VideoSurface, StretchRectConvertsEveryLayoutToTheSameColours) {
  MakeVideoDevice();
  // Video-range BT.601 as renderers convert it: black and white at 16 and
  // 235, studio red, and luma beyond white clamped.
  const std::uint32_t expected[2][4] = {{0xFF000000u, 0xFFFFFFFFu, 0xFFFF0000u, 0xFFFF3636u},
                                        {0xFFFFFFFFu, 0xFF333333u, 0xFFFF0000u, 0xFFFF8A8Au}};
  for (const D3DFORMAT format : {D3DFMT_YV12, D3DFMT_YUY2, D3DFMT_UYVY}) {
    IDirect3DSurface9* surface = Filled(format);
    IDirect3DSurface9* target = Target(8, 4);
    ASSERT_EQ(device_->StretchRect(surface, nullptr, target, nullptr, D3DTEXF_NONE), D3D_OK);
    const std::vector<std::uint32_t> pixels = ReadArgb(target);
    // Twice the size: each sample covers 2 x 2 pixels.
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(pixels[y * 8 + x], expected[y / 2][x / 2]) << "format " << format << " at " << x << ", " << y;
      }
    }
    const WinRect right{2, 0, 4, 2};
    const WinRect corner{0, 0, 2, 2};
    ASSERT_EQ(device_->StretchRect(surface, &right, target, &corner, D3DTEXF_NONE), D3D_OK);
    EXPECT_EQ(ReadArgb(target)[8 + 1], expected[1][3]) << "a source rectangle picks its own samples";
    target->Release();
    surface->Release();
  }
}

}  // namespace
