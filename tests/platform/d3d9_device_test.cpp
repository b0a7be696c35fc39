// The Direct3D 9 stand-in's object and device: the "d3d9.dll" entry points,
// adapter answers and format checks from the profile, device creation and its
// parameters, scenes, clears confined to the viewport, targets, recorded
// states, failure injection, device loss and the call trace.
#include <thread>

#include "platform/module.h"
#include "tests/platform/d3d9_test_fixture.h"

namespace {

using namespace plat;
using qz::testing::D3D9Test;

class D3D9Device : public D3D9Test {};

TEST_F(D3D9Device, ModuleExportsBothEntryPointsUnlessATestRemovesOne) {
  ModuleHandle module = LoadLibraryA("d3d9.dll");
  ASSERT_NE(module, nullptr);
  auto createEx = reinterpret_cast<Direct3DCreate9ExFunction>(GetProcAddress(module, "Direct3DCreate9Ex"));
  auto create = reinterpret_cast<Direct3DCreate9Function>(GetProcAddress(module, "Direct3DCreate9"));
  ASSERT_NE(createEx, nullptr);
  ASSERT_NE(create, nullptr);
  IDirect3D9Ex* extended = nullptr;
  ASSERT_EQ(createEx(D3D_SDK_VERSION, &extended), D3D_OK);
  EXPECT_TRUE(extended->IsEx());
  IDirect3D9* plain = create(D3D_SDK_VERSION);
  ASSERT_NE(plain, nullptr);
  EXPECT_FALSE(plain->IsEx());
  EXPECT_EQ(create(31), nullptr);
  extended->Release();
  plain->Release();

  D3D9Profile profile = DefaultD3D9Profile();
  profile.createExAvailable = false;
  SetD3D9ProfileForTest(profile);
  EXPECT_EQ(GetProcAddress(module, "Direct3DCreate9Ex"), nullptr);
  EXPECT_NE(GetProcAddress(module, "Direct3DCreate9"), nullptr);
  profile.createAvailable = false;
  SetD3D9ProfileForTest(profile);
  EXPECT_EQ(GetProcAddress(module, "Direct3DCreate9"), nullptr);
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(D3D9Device, AdapterAnswersComeFromTheProfile) {
  direct3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(direct3d_, nullptr);
  D3DDISPLAYMODE mode{};
  ASSERT_EQ(direct3d_->GetAdapterDisplayMode(0, &mode), D3D_OK);
  EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(direct3d_->GetAdapterModeCount(0, D3DFMT_R5G6B5), 5u);
  EXPECT_EQ(direct3d_->GetAdapterModeCount(0, D3DFMT_X1R5G5B5), 0u);
  ASSERT_EQ(direct3d_->EnumAdapterModes(0, D3DFMT_R5G6B5, 1, &mode), D3D_OK);
  EXPECT_EQ(mode.Width, 800u);
  EXPECT_EQ(direct3d_->EnumAdapterModes(0, D3DFMT_R5G6B5, 5, &mode), D3DERR_INVALIDCALL);

  D3DCAPS9 caps{};
  ASSERT_EQ(direct3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
  EXPECT_EQ(caps.MaxTextureWidth, 2048u);
  EXPECT_EQ(caps.TextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL), D3DPTEXTURECAPS_POW2);
  EXPECT_NE(caps.PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP, 0u);
  EXPECT_NE(caps.PrimitiveMiscCaps & D3DPMISCCAPS_TSSARGTEMP, 0u);
  EXPECT_EQ(caps.VertexShaderVersion, D3DVS_VERSION(1, 1));
  D3DADAPTER_IDENTIFIER9 identifier{};
  ASSERT_EQ(direct3d_->GetAdapterIdentifier(0, 0, &identifier), D3D_OK);
  EXPECT_STRNE(identifier.Driver, "");
  EXPECT_STRNE(identifier.Description, "");

  // Colour formats for plain and drawable use; DXT and float formats refused.
  for (D3DFORMAT format : {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_X8R8G8B8,
                           D3DFMT_A8R8G8B8}) {
    for (std::uint32_t usage : {0u, D3DUSAGE_RENDERTARGET}) {
      EXPECT_EQ(direct3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, usage, D3DRTYPE_TEXTURE, format),
                D3D_OK);
    }
  }
  for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5, D3DFMT_A16B16G16R16F, D3DFMT_A32B32G32R32F}) {
    EXPECT_EQ(direct3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, format),
              D3DERR_NOTAVAILABLE);
  }
  EXPECT_EQ(direct3d_->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D16), D3D_OK);
  std::uint32_t quality = 99;
  EXPECT_EQ(direct3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_NONE,
                                                  &quality),
            D3D_OK);
  EXPECT_EQ(quality, 1u);
  EXPECT_EQ(direct3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_2_SAMPLES,
                                                  &quality),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(quality, 0u);

  // A profile refusing X8R8G8B8 textures and D16 depth, on a 16-bit desktop.
  D3D9Profile profile = DefaultD3D9Profile();
  profile.textureFormats = {D3DFMT_R5G6B5, D3DFMT_A4R4G4B4};
  profile.depthFormats = {D3DFMT_D24X8};
  profile.displayFormat = D3DFMT_R5G6B5;
  SetD3D9ProfileForTest(profile);
  EXPECT_EQ(direct3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, 0, D3DRTYPE_TEXTURE, D3DFMT_X8R8G8B8),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(direct3d_->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, D3DFMT_D16),
            D3DERR_NOTAVAILABLE);
  ASSERT_EQ(direct3d_->GetAdapterDisplayMode(0, &mode), D3D_OK);
  EXPECT_EQ(mode.Format, D3DFMT_R5G6B5);
}

TEST_F(D3D9Device, CreationFillsTheParametersLeftToTheDevice) {
  direct3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  D3DPRESENT_PARAMETERS parameters = WindowedParameters(0, 0, D3DFMT_UNKNOWN);
  ASSERT_EQ(direct3d_->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters,
                                    &device_),
            D3D_OK);
  EXPECT_FALSE(device_->IsEx());
  EXPECT_EQ(parameters.BackBufferFormat, D3DFMT_X8R8G8B8);
  WinRect client{};
  GetClientRect(window_, &client);
  EXPECT_EQ(parameters.BackBufferWidth, static_cast<std::uint32_t>(client.right - client.left));
  EXPECT_EQ(parameters.BackBufferHeight, static_cast<std::uint32_t>(client.bottom - client.top));
  // Only the extended device has a frame latency; the plain one keeps the managed pool.
  EXPECT_EQ(device_->SetMaximumFrameLatency(1), D3DERR_INVALIDCALL);
  IDirect3DTexture9* managed = nullptr;
  ASSERT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr), D3D_OK);
  managed->Release();
  IDirect3DDevice9* second = nullptr;
  EXPECT_EQ(direct3d_->CreateDeviceEx(0, D3DDEVTYPE_HAL, window_, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters,
                                      nullptr, &second),
            D3DERR_INVALIDCALL);
}

TEST_F(D3D9Device, CreationRefusesBadParameters) {
  ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &direct3d_), D3D_OK);
  IDirect3DDevice9* device = nullptr;
  const auto create = [&](D3DPRESENT_PARAMETERS parameters, std::uint32_t flags, D3DDISPLAYMODEEX* mode) {
    const HRESULT result = direct3d_->CreateDeviceEx(0, D3DDEVTYPE_HAL, window_, flags, &parameters, mode, &device);
    if (device != nullptr) {
      device->Release();
      device = nullptr;
    }
    return result;
  };
  const D3DPRESENT_PARAMETERS good = WindowedParameters(640, 480, D3DFMT_X8R8G8B8);
  EXPECT_EQ(create(good, D3DCREATE_MIXED_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE, nullptr), D3D_OK);
  EXPECT_EQ(create(good, D3DCREATE_FPU_PRESERVE, nullptr), D3DERR_INVALIDCALL);  // no vertex processing
  EXPECT_EQ(create(good, D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING, nullptr),
            D3DERR_INVALIDCALL);

  D3DPRESENT_PARAMETERS multisampled = good;
  multisampled.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES;
  EXPECT_EQ(create(multisampled, D3DCREATE_SOFTWARE_VERTEXPROCESSING, nullptr), D3DERR_INVALIDCALL);
  D3DPRESENT_PARAMETERS noWindow = good;
  noWindow.hDeviceWindow = nullptr;
  EXPECT_EQ(direct3d_->CreateDeviceEx(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &noWindow,
                                      nullptr, &device),
            D3DERR_INVALIDCALL);

  // Full screen: a listed mode, and for the extended device its mode record.
  D3DPRESENT_PARAMETERS fullScreen = good;
  fullScreen.Windowed = FALSE;
  fullScreen.FullScreen_RefreshRateInHz = 60;
  D3DDISPLAYMODEEX mode = {sizeof(D3DDISPLAYMODEEX), 640, 480, 60, D3DFMT_X8R8G8B8, D3DSCANLINEORDERING_PROGRESSIVE};
  EXPECT_EQ(create(fullScreen, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &mode), D3D_OK);
  EXPECT_EQ(create(fullScreen, D3DCREATE_SOFTWARE_VERTEXPROCESSING, nullptr), D3DERR_INVALIDCALL);
  D3DPRESENT_PARAMETERS unlisted = fullScreen;
  unlisted.BackBufferWidth = 700;
  mode.Width = 700;
  EXPECT_EQ(create(unlisted, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &mode), D3DERR_INVALIDCALL);
  EXPECT_EQ(GetD3D9CallCount("CreateDeviceEx"), 8);
}

TEST_F(D3D9Device, ScenesAreStrict) {
  MakeDevice();
  EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
  const float point[] = {1.0f, 1.0f, 0.0f, 1.0f};
  ASSERT_EQ(device_->SetFVF(D3DFVF_XYZRHW), D3D_OK);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point, sizeof(point)), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point, sizeof(point)), D3D_OK);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point, 8), D3DERR_INVALIDCALL);  // stride below the format
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 0, point, sizeof(point)), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->SetFVF(0), D3D_OK);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point, sizeof(point)), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->EndScene(), D3D_OK);
  D3D9StateSnapshot snapshot;
  ASSERT_TRUE(GetD3D9StateSnapshot(device_, &snapshot));
  EXPECT_FALSE(snapshot.sceneOpen);
}

TEST_F(D3D9Device, ClearStaysInsideTheViewport) {
  MakeDevice(8, 6);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
  const D3DVIEWPORT9 viewport = {2, 1, 4, 3, 0.0f, 1.0f};
  ASSERT_EQ(device_->SetViewport(&viewport), D3D_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF112233u, 1.0f, 0), D3D_OK);
  // A rectangle partly outside the viewport is cut to it.
  const D3DRECT rect = {0, 3, 8, 6};
  ASSERT_EQ(device_->Clear(1, &rect, D3DCLEAR_TARGET, 0xFFAABBCCu, 1.0f, 0), D3D_OK);
  IDirect3DSurface9* back = BackBuffer();
  const std::vector<std::uint32_t> pixels = ReadArgb(back);
  back->Release();
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool inViewport = x >= 2 && x < 6 && y >= 1 && y < 4;
      const std::uint32_t expected = !inViewport ? 0xFF000000u : y == 3 ? 0xFFAABBCCu : 0xFF112233u;
      EXPECT_EQ(pixels[y * 8 + x], expected) << x << "," << y;
    }
  }
  const D3DVIEWPORT9 tooLarge = {4, 0, 5, 6, 0.0f, 1.0f};
  EXPECT_EQ(device_->SetViewport(&tooLarge), D3DERR_INVALIDCALL);
  // No depth surface: a depth clear is refused; so are rectangles without a count.
  EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

TEST_F(D3D9Device, DepthSurfaceClearsToTheValueWithinTheViewport) {
  MakeDevice(8, 8);
  IDirect3DSurface9* depth = nullptr;
  // The library's depth buffer is the next power of two above the screen.
  ASSERT_EQ(device_->CreateDepthStencilSurface(16, 8, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, TRUE, &depth, nullptr),
            D3D_OK);
  ASSERT_EQ(device_->SetDepthStencilSurface(depth), D3D_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  const D3DRECT rect = {0, 0, 2, 2};
  ASSERT_EQ(device_->Clear(1, &rect, D3DCLEAR_ZBUFFER | D3DCLEAR_TARGET, 0, 0.25f, 0), D3D_OK);
  std::vector<float> depths;
  int width = 0;
  ASSERT_TRUE(ReadD3D9DepthSurface(depth, &depths, &width, nullptr));
  ASSERT_EQ(width, 16);
  EXPECT_NEAR(depths[0], 0.25f, 1.0f / 65535);
  EXPECT_EQ(depths[2], 1.0f);
  EXPECT_EQ(depths[8], 0.0f);  // outside the 8x8 viewport: never cleared
  EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.5f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetDepthStencilSurface(nullptr), D3D_OK);
  depth->Release();
}

TEST_F(D3D9Device, RenderTargetsMustBeDefaultPoolTargetsAndResetTheViewport) {
  MakeDevice(64, 32);
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(16, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
            D3D_OK);
  IDirect3DSurface9* level = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
  const WinRect scissor = {1, 1, 3, 3};
  ASSERT_EQ(device_->SetScissorRect(&scissor), D3D_OK);
  ASSERT_EQ(device_->SetRenderTarget(0, level), D3D_OK);
  D3DVIEWPORT9 viewport{};
  ASSERT_EQ(device_->GetViewport(&viewport), D3D_OK);
  EXPECT_EQ(viewport.Width, 16u);
  EXPECT_EQ(viewport.Height, 8u);
  WinRect stored{};
  ASSERT_EQ(device_->GetScissorRect(&stored), D3D_OK);
  EXPECT_EQ(stored.right, 16);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x80FF0000u, 1.0f, 0), D3D_OK);
  EXPECT_EQ(ReadArgb(level)[0], 0x80FF0000u);

  IDirect3DTexture9* plain = nullptr;
  ASSERT_EQ(device_->CreateTexture(16, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &plain, nullptr), D3D_OK);
  IDirect3DSurface9* plainLevel = nullptr;
  ASSERT_EQ(plain->GetSurfaceLevel(0, &plainLevel), D3D_OK);
  EXPECT_EQ(device_->SetRenderTarget(0, plainLevel), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetRenderTarget(1, level), D3DERR_INVALIDCALL);
  IDirect3DSurface9* back = BackBuffer();
  ASSERT_EQ(device_->SetRenderTarget(0, back), D3D_OK);
  for (IUnknownObject* object : std::initializer_list<IUnknownObject*>{back, plainLevel, plain, level, texture}) {
    object->Release();
  }
}

TEST_F(D3D9Device, StatesAreRecordedInTheSnapshot) {
  MakeDevice();
  ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
  ASSERT_EQ(device_->SetRenderState(D3DRS_FOGCOLOR, 0x00FF00u), D3D_OK);
  EXPECT_EQ(device_->SetRenderState(300, 1), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_MODULATE2X), D3D_OK);
  EXPECT_EQ(device_->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_ADD), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->SetSamplerState(1, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP), D3D_OK);
  D3DMATRIX view{};
  view.m[3][2] = 5.0f;
  ASSERT_EQ(device_->SetTransform(D3DTS_VIEW, &view), D3D_OK);
  EXPECT_EQ(device_->SetTransform(99, &view), D3DERR_INVALIDCALL);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  ASSERT_EQ(device_->SetLight(3, &light), D3D_OK);
  ASSERT_EQ(device_->LightEnable(3, TRUE), D3D_OK);
  ASSERT_EQ(device_->LightEnable(0, TRUE), D3D_OK);  // never set: gets the default light
  light.Type = 7;
  EXPECT_EQ(device_->SetLight(4, &light), D3DERR_INVALIDCALL);
  const float constants[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(device_->SetVertexShaderConstantF(2, constants, 2), D3D_OK);
  ASSERT_EQ(device_->SetDialogBoxMode(TRUE), D3D_OK);
  ASSERT_EQ(device_->SetMaximumFrameLatency(1), D3D_OK);

  D3D9StateSnapshot snapshot;
  ASSERT_TRUE(GetD3D9StateSnapshot(device_, &snapshot));
  EXPECT_EQ(snapshot.renderStates[D3DRS_SRCBLEND], D3DBLEND_SRCALPHA);
  EXPECT_EQ(snapshot.renderStates[D3DRS_FOGCOLOR], 0x00FF00u);
  EXPECT_EQ(snapshot.stageStates[2][D3DTSS_COLOROP], D3DTOP_MODULATE2X);
  EXPECT_EQ(snapshot.samplerStates[1][D3DSAMP_ADDRESSU], D3DTADDRESS_CLAMP);
  EXPECT_EQ(snapshot.view.m[3][2], 5.0f);
  EXPECT_EQ(snapshot.world.m[0][0], 1.0f);  // identity until set
  ASSERT_EQ(snapshot.lights.size(), 2u);
  EXPECT_EQ(snapshot.enabledLights, (std::vector<std::uint32_t>{0, 3}));
  ASSERT_EQ(snapshot.vertexShaderConstantsF.size(), 16u);
  EXPECT_EQ(snapshot.vertexShaderConstantsF[8], 1.0f);
  EXPECT_EQ(snapshot.dialogBoxMode, TRUE);
  EXPECT_EQ(snapshot.maximumFrameLatency, 1u);
  EXPECT_EQ(snapshot.presentParameters.SwapEffect, D3DSWAPEFFECT_COPY);
  IDirect3DSurface9* back = BackBuffer();
  EXPECT_EQ(snapshot.renderTarget, back);
  back->Release();
}

TEST_F(D3D9Device, FailureInjectionHitsTheNthCallOnly) {
  MakeDevice();
  FailD3D9CallForTest("CreateTexture", 2, 2, E_OUTOFMEMORY);
  IDirect3DTexture9* textures[4] = {};
  HRESULT results[4];
  for (int i = 0; i < 4; ++i) {
    results[i] = device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &textures[i], nullptr);
  }
  EXPECT_EQ(results[0], D3D_OK);
  EXPECT_EQ(results[1], E_OUTOFMEMORY);
  EXPECT_EQ(results[2], E_OUTOFMEMORY);
  EXPECT_EQ(results[3], D3D_OK);
  EXPECT_EQ(textures[1], nullptr);
  EXPECT_EQ(textures[2], nullptr);
  textures[0]->Release();
  textures[3]->Release();

  FailD3D9CallForTest("Direct3DCreate9", 1, 1, E_FAIL);
  EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
  IDirect3D9* object = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(object, nullptr);
  // Both device attempts of the library (mixed, then software processing) fail.
  FailD3D9CallForTest("CreateDevice", 1, 2, D3DERR_NOTAVAILABLE);
  D3DPRESENT_PARAMETERS parameters = WindowedParameters(32, 32, D3DFMT_X8R8G8B8);
  IDirect3DDevice9* device = nullptr;
  EXPECT_EQ(object->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_MIXED_VERTEXPROCESSING, &parameters, &device),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(object->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(device, nullptr);
  ASSERT_EQ(object->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device),
            D3D_OK);
  device->Release();
  object->Release();
}

TEST_F(D3D9Device, LossShowsInCooperativeLevelAndPresent) {
  MakeDevice();
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
  SetD3D9DeviceStateForTest(D3DERR_DEVICELOST);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  SetD3D9DeviceStateForTest(D3DERR_DEVICENOTRESET);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  SetD3D9DeviceStateForTest(D3D_OK);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

// Counters found once per call site keep counting right across resets, on
// every thread, and planned failures still land on the n-th call.
TEST_F(D3D9Device, CallCountsAndPlannedFailuresHoldAcrossResetsAndThreads) {
  MakeDevice();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
  EXPECT_EQ(GetD3D9CallCount("TestCooperativeLevel"), 3);
  std::thread([this] { EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK); }).join();
  EXPECT_EQ(GetD3D9CallCount("TestCooperativeLevel"), 4);
  FailD3D9CallForTest("TestCooperativeLevel", 2, 1, D3DERR_DEVICELOST);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
  ResetD3D9StandInForTest();
  EXPECT_EQ(GetD3D9CallCount("TestCooperativeLevel"), 0);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
  EXPECT_EQ(GetD3D9CallCount("TestCooperativeLevel"), 1);
  FailD3D9CallForTest("TestCooperativeLevel", 1, 1, D3DERR_DEVICENOTRESET);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(GetD3D9CallCount("TestCooperativeLevel"), 2);
}

TEST_F(D3D9Device, CallTraceRecordsMethodsArgumentsAndResults) {
  MakeDevice();
  SetD3D9CallTraceEnabled(true);
  const int before = GetD3D9CallCount("SetRenderState");
  ASSERT_EQ(device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE), D3D_OK);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  const std::vector<D3D9Call> trace = TakeD3D9CallTrace();
  ASSERT_EQ(trace.size(), 4u);
  EXPECT_EQ(trace[0].method, "SetRenderState");
  EXPECT_EQ(trace[0].arguments, "7, 1");
  EXPECT_EQ(trace[2].method, "BeginScene");
  EXPECT_EQ(trace[2].result, D3DERR_INVALIDCALL);
  EXPECT_EQ(GetD3D9CallCount("SetRenderState"), before + 1);
  EXPECT_TRUE(TakeD3D9CallTrace().empty());
  SetD3D9CallTraceEnabled(false);
  ASSERT_EQ(device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE), D3D_OK);
  EXPECT_TRUE(TakeD3D9CallTrace().empty());
}

// Objects belong to the device that made them: another device refuses them,
// and one that outlived its device can no longer be locked; both are counted.
TEST_F(D3D9Device, ObjectsOfAnotherOrAReleasedDeviceAreRefusedAndCounted) {
  IDirect3DDevice9* first = MakeDevice();
  ASSERT_NE(first, nullptr);
  D3DPRESENT_PARAMETERS parameters = WindowedParameters(64, 32, D3DFMT_X8R8G8B8);
  IDirect3DDevice9* second = nullptr;
  ASSERT_EQ(direct3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                    &parameters, &second),
            D3D_OK);
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(second->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
            D3D_OK);
  IDirect3DSurface9* level = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
  EXPECT_EQ(second->SetTexture(0, texture), D3D_OK);
  EXPECT_EQ(second->SetTexture(0, nullptr), D3D_OK);
  EXPECT_EQ(first->SetTexture(0, texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(first->SetRenderTarget(0, level), D3DERR_INVALIDCALL);
  IDirect3DSurface9* back = BackBuffer();
  EXPECT_EQ(first->StretchRect(back, nullptr, level, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  back->Release();
  EXPECT_EQ(GetD3D9ForeignObjectUseCount(), 3);
  EXPECT_TRUE(ListD3D9OrphanedObjects().empty());

  second->Release();
  // The texture and its level surface outlive their device.
  EXPECT_EQ(ListD3D9OrphanedObjects().size(), 2u);
  D3DLOCKED_RECT locked{};
  EXPECT_EQ(level->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(GetD3D9ForeignObjectUseCount(), 4);
  level->Release();
  texture->Release();
  EXPECT_TRUE(ListD3D9OrphanedObjects().empty());
}

}  // namespace
