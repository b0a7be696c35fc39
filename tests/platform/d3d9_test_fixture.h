// Shared set-up of the Direct3D 9 stand-in tests: a headless window, the
// default profile, devices made with the parameters the library uses, and a
// check that every test releases every object it made.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d9.h"
#include "platform/window.h"

namespace qz::testing {

// A pre-transformed, lit vertex with one texture coordinate pair.
struct TexturedVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse;
  float u, v;
};
inline constexpr std::uint32_t kTexturedFvf = plat::D3DFVF_XYZRHW | plat::D3DFVF_DIFFUSE | plat::D3DFVF_TEX1;

inline plat::LRESULT D3D9TestWindowProc(plat::HWND window, std::uint32_t message, plat::WPARAM wParam,
                                        plat::LPARAM lParam) {
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

class D3D9Test : public ::testing::Test {
 protected:
  static constexpr const char* kClassName = "qz_d3d9_test";

  void SetUp() override {
    plat::ResetD3D9StandInForTest();
    const plat::WindowClass windowClass{0, D3D9TestWindowProc, 0, kClassName};
    ASSERT_NE(plat::RegisterClassExA(&windowClass), 0);
    window_ = plat::CreateWindowExA(0, kClassName, "d3d9", 0, 0, 0, 640, 480, nullptr);
    ASSERT_NE(window_, nullptr);
  }

  void TearDown() override {
    if (device_ != nullptr) device_->Release();
    if (direct3d_ != nullptr) direct3d_->Release();
    EXPECT_EQ(plat::GetD3D9LiveObjectCount(), 0) << Leaks();
    plat::DestroyWindow(window_);
    plat::UnregisterClassA(kClassName);
    plat::ResetD3D9StandInForTest();
  }

  static std::string Leaks() {
    std::string text;
    for (const std::string& line : plat::ListD3D9LiveObjects()) text += line + "\n";
    return text;
  }

  // The windowed parameters the library asks for: copy swap effect, lockable
  // back buffer, no automatic depth.
  plat::D3DPRESENT_PARAMETERS WindowedParameters(std::uint32_t width, std::uint32_t height,
                                                 plat::D3DFORMAT format) const {
    plat::D3DPRESENT_PARAMETERS parameters{};
    parameters.BackBufferWidth = width;
    parameters.BackBufferHeight = height;
    parameters.BackBufferFormat = format;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = plat::D3DSWAPEFFECT_COPY;
    parameters.hDeviceWindow = window_;
    parameters.Windowed = plat::TRUE;
    parameters.Flags = plat::D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    parameters.PresentationInterval = plat::D3DPRESENT_INTERVAL_ONE;
    return parameters;
  }

  // An object and a device with that back buffer (extended unless asked);
  // both kept by the fixture and released at the end.
  plat::IDirect3DDevice9* MakeDevice(std::uint32_t width = 64, std::uint32_t height = 32,
                                     plat::D3DFORMAT format = plat::D3DFMT_X8R8G8B8, bool extended = true) {
    if (extended) {
      EXPECT_EQ(plat::Direct3DCreate9Ex(plat::D3D_SDK_VERSION, &direct3d_), plat::D3D_OK);
    } else {
      direct3d_ = plat::Direct3DCreate9(plat::D3D_SDK_VERSION);
    }
    if (direct3d_ == nullptr) return nullptr;
    plat::D3DPRESENT_PARAMETERS parameters = WindowedParameters(width, height, format);
    const plat::HRESULT result =
        extended ? direct3d_->CreateDeviceEx(plat::D3DADAPTER_DEFAULT, plat::D3DDEVTYPE_HAL, window_,
                                             plat::D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, nullptr, &device_)
                 : direct3d_->CreateDevice(plat::D3DADAPTER_DEFAULT, plat::D3DDEVTYPE_HAL, window_,
                                           plat::D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device_);
    EXPECT_EQ(result, plat::D3D_OK);
    return device_;
  }

  static std::vector<std::uint32_t> ReadArgb(plat::IDirect3DSurface9* surface, int* width = nullptr,
                                            int* height = nullptr) {
    std::vector<std::uint32_t> pixels;
    EXPECT_TRUE(plat::ReadD3D9SurfaceArgb(surface, &pixels, width, height));
    return pixels;
  }

  // The back buffer of the fixture's device, with a reference for the caller.
  plat::IDirect3DSurface9* BackBuffer() {
    plat::IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(device_->GetBackBuffer(0, 0, plat::D3DBACKBUFFER_TYPE_MONO, &surface), plat::D3D_OK);
    return surface;
  }

  // A square 32-bit render-target texture and its top level, both with a
  // reference for the caller: drawn into, then drawn from.
  plat::IDirect3DSurface9* DrawableTexture(int size, plat::IDirect3DTexture9** texture) {
    *texture = nullptr;
    plat::IDirect3DSurface9* level = nullptr;
    EXPECT_EQ(device_->CreateTexture(size, size, 1, plat::D3DUSAGE_RENDERTARGET, plat::D3DFMT_X8R8G8B8,
                                     plat::D3DPOOL_DEFAULT, texture, nullptr),
              plat::D3D_OK);
    if (*texture != nullptr) {
      EXPECT_EQ((*texture)->GetSurfaceLevel(0, &level), plat::D3D_OK);
    }
    return level;
  }

  plat::HWND window_ = nullptr;
  plat::IDirect3D9* direct3d_ = nullptr;
  plat::IDirect3DDevice9* device_ = nullptr;
};

}  // namespace qz::testing
