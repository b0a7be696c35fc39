// Device creation and the formats and capabilities settled with it. Every
// choice is logged, so a run's log records what the machine offered.
#include "graphics/device_formats.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "core/log_text.h"
#include "core/string_util.h"
#include "core/system_info.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/back_buffer_readback.h"
#include "graphics/buffer_handles.h"
#include "graphics/draw_settings_block.h"
#include "graphics/device_release.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_settings.h"
#include "graphics/shader_objects.h"
#include "graphics/vertical_blank.h"
#include "platform/d3d9.h"
#include "platform/module.h"

namespace qz {
namespace {

using plat::D3DFORMAT;

constexpr std::uint32_t kShaderVersion20 = 0x0200;
constexpr int kStartupClearPresents = 3;
constexpr std::uint32_t kUnlimitedTextureFallback = 256;
constexpr std::uint32_t kDisplayModeExSize = 24;

struct FormatName {
  D3DFORMAT format;
  const char* name;
};

constexpr FormatName kFormatNames[] = {
    {plat::D3DFMT_R8G8B8, "Q_D3DFMT_R8G8B8"},
    {plat::D3DFMT_A8R8G8B8, "Q_D3DFMT_A8R8G8B8"},
    {plat::D3DFMT_X8R8G8B8, "Q_D3DFMT_X8R8G8B8"},
    {plat::D3DFMT_R5G6B5, "Q_D3DFMT_R5G6B5"},
    {plat::D3DFMT_X1R5G5B5, "Q_D3DFMT_X1R5G5B5"},
    {plat::D3DFMT_A1R5G5B5, "Q_D3DFMT_A1R5G5B5"},
    {plat::D3DFMT_A4R4G4B4, "Q_D3DFMT_A4R4G4B4"},
    {plat::D3DFMT_R3G3B2, "Q_D3DFMT_R3G3B2"},
    {plat::D3DFMT_A8R3G3B2, "Q_D3DFMT_A8R3G3B2"},
    {plat::D3DFMT_X4R4G4B4, "Q_D3DFMT_X4R4G4B4"},
    {plat::D3DFMT_A2B10G10R10, "Q_D3DFMT_A2B10G10R10"},
    {plat::D3DFMT_A8B8G8R8, "Q_D3DFMT_A8B8G8R8"},
    {plat::D3DFMT_X8B8G8R8, "Q_D3DFMT_X8B8G8R8"},
    {plat::D3DFMT_A16B16G16R16F, "Q_D3DFMT_A16B16G16R16F"},
    {plat::D3DFMT_A32B32G32R32F, "Q_D3DFMT_A32B32G32R32F"},
    {plat::D3DFMT_DXT1, "Q_D3DFMT_DXT1"},
    {plat::D3DFMT_DXT2, "Q_D3DFMT_DXT2"},
    {plat::D3DFMT_DXT3, "Q_D3DFMT_DXT3"},
    {plat::D3DFMT_DXT4, "Q_D3DFMT_DXT4"},
    {plat::D3DFMT_DXT5, "Q_D3DFMT_DXT5"},
    {plat::D3DFMT_D16, "Q_D3DFMT_D16"},
    {plat::D3DFMT_D24X8, "Q_D3DFMT_D24X8"},
    {plat::D3DFMT_D32, "Q_D3DFMT_D32"},
};

// A texture role: its candidates in order, what it takes when none is
// accepted, and its log lines.
struct TextureRole {
  int code;
  std::uint32_t usage;
  std::vector<D3DFORMAT> candidates;
  int fallbackCode;          // -1: none
  bool mandatory;            // no candidate and no fall-back fails the creation
  const char* missingLine;   // logged when nothing was found
  const char* chosenLine;    // "%s" takes the format's name
};

bool ShaderVersionAtLeast20(std::uint32_t version) { return (version & 0xFFFF) >= kShaderVersion20; }

std::uint32_t Adapter(const GraphicsState& state) {
  return state.options.useAdapterIndex != 0 ? static_cast<std::uint32_t>(state.options.adapterIndex)
                                            : plat::D3DADAPTER_DEFAULT;
}

plat::HWND MainWindow() { return GetWindowSystemState().mainWindow; }

// 0 when the format is refused with that usage.
D3DFORMAT FirstAccepted(const GraphicsState& state, const std::vector<D3DFORMAT>& candidates,
                        std::uint32_t usage) {
  for (D3DFORMAT format : candidates) {
    if (plat::SUCCEEDED(state.direct3D->CheckDeviceFormat(Adapter(state), plat::D3DDEVTYPE_HAL,
                                                          state.caps.backBufferFormat, usage, plat::D3DRTYPE_TEXTURE,
                                                          format))) {
      return format;
    }
  }
  return 0;
}

// The back buffer's format for a screen depth in full screen; 0 for a depth
// the device cannot show.
D3DFORMAT FullScreenFormat(const GraphicsState& state, int bits) {
  if (bits == 16) {
    return state.direct3D->GetAdapterModeCount(Adapter(state), plat::D3DFMT_R5G6B5) != 0 ? plat::D3DFMT_R5G6B5
                                                                                        : plat::D3DFMT_X1R5G5B5;
  }
  if (bits == 32) return plat::D3DFMT_X8R8G8B8;
  return 0;
}

bool CompositionSwitchOffered() {
  plat::ModuleHandle dwm = plat::LoadLibraryA("dwmapi.dll");
  if (dwm == nullptr) return false;
  const bool offered = plat::GetProcAddress(dwm, "DwmEnableComposition") != nullptr;
  plat::FreeLibrary(dwm);
  return offered;
}

// Fills the presentation parameters for the current mode. False for a
// full-screen depth the device cannot show.
bool FillPresentParameters(GraphicsState& state, plat::D3DPRESENT_PARAMETERS* parameters,
                           plat::D3DDISPLAYMODEEX* fullScreenMode, bool* useFullScreenMode) {
  const bool multiSample = state.options.multiSampleType != 0;
  *parameters = plat::D3DPRESENT_PARAMETERS{};
  parameters->BackBufferWidth = static_cast<std::uint32_t>(state.screenWidth);
  parameters->BackBufferHeight = static_cast<std::uint32_t>(state.screenHeight);
  parameters->BackBufferCount = 1;
  parameters->hDeviceWindow = MainWindow();
  parameters->EnableAutoDepthStencil = plat::FALSE;
  parameters->PresentationInterval =
      GetDrawSettings().noVsync != 0 ? plat::D3DPRESENT_INTERVAL_IMMEDIATE : plat::D3DPRESENT_INTERVAL_ONE;
  parameters->SwapEffect = multiSample ? plat::D3DSWAPEFFECT_DISCARD : plat::D3DSWAPEFFECT_COPY;
  parameters->Flags = multiSample ? 0 : plat::D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  *useFullScreenMode = false;

  if (IsFullScreenMode() == 0) {
    parameters->Windowed = plat::TRUE;
    plat::D3DDISPLAYMODE mode{};
    state.direct3D->GetAdapterDisplayMode(Adapter(state), &mode);
    parameters->BackBufferFormat = mode.Format;
    if (mode.Format == plat::D3DFMT_X8R8G8B8) state.colorBits = 32;
    if (mode.Format == plat::D3DFMT_R5G6B5 || mode.Format == plat::D3DFMT_X1R5G5B5 ||
        mode.Format == plat::D3DFMT_A1R5G5B5) {
      state.colorBits = 16;
    }
    SetDesktopComposition(state.options.compositionOption == 2 ? 0 : 1);
  } else {
    const D3DFORMAT format = FullScreenFormat(state, state.colorBits);
    if (format == 0) {
      AppendLogText(text::kGfxUnsupportedBackBufferBits);
      return false;
    }
    parameters->BackBufferFormat = format;
    if (GetOsCode() >= kOsWindowsVista && state.emulation320x240 != 0) {
      // The display mode was changed already; the device stays windowed.
      parameters->Windowed = plat::TRUE;
    } else {
      parameters->Windowed = plat::FALSE;
      parameters->FullScreen_RefreshRateInHz = static_cast<std::uint32_t>(state.refreshRate);
      *fullScreenMode = plat::D3DDISPLAYMODEEX{kDisplayModeExSize,
                                               parameters->BackBufferWidth,
                                               parameters->BackBufferHeight,
                                               parameters->FullScreen_RefreshRateInHz,
                                               format,
                                               plat::D3DSCANLINEORDERING_PROGRESSIVE};
      *useFullScreenMode = true;
      if (state.options.compositionOption != 1) {
        SetDesktopComposition(0);
        if (CompositionSwitchOffered()) AppendLogText(text::kGfxDwmDisabled);
      }
    }
  }
  if (multiSample) {
    int type = state.options.multiSampleType;
    int quality = state.options.multiSampleQuality;
    ChooseMultiSampleType(parameters->BackBufferFormat, &type, &quality);
    state.options.multiSampleType = type;
    state.options.multiSampleQuality = quality;
    parameters->MultiSampleType = static_cast<std::uint32_t>(type);
    parameters->MultiSampleQuality = static_cast<std::uint32_t>(quality);
  }
  return true;
}

// Creates the device, retrying with software vertex processing; logs the
// processing that was used.
plat::IDirect3DDevice9* CreateDevice(GraphicsState& state, plat::D3DPRESENT_PARAMETERS* parameters,
                                     plat::D3DDISPLAYMODEEX* fullScreenMode, bool hardwareVertexProcessing) {
  std::uint32_t flags = 0;
  if (state.options.fpuPreserve != 0) flags |= plat::D3DCREATE_FPU_PRESERVE;
  if (state.options.multithreaded != 0) flags |= plat::D3DCREATE_MULTITHREADED;
  const bool ex = state.direct3DIsEx != 0;
  AppendLogText(ex ? text::kGfxDevice9ExCreating : text::kGfxDevice9Creating);
  auto attempt = [&](std::uint32_t vertexProcessing) -> plat::IDirect3DDevice9* {
    plat::IDirect3DDevice9* device = nullptr;
    // A failed creation may have changed the parameters; each try starts from the same ones.
    plat::D3DPRESENT_PARAMETERS tried = *parameters;
    const plat::HRESULT result =
        ex ? state.direct3D->CreateDeviceEx(Adapter(state), plat::D3DDEVTYPE_HAL, MainWindow(),
                                            flags | vertexProcessing, &tried, fullScreenMode, &device)
           : state.direct3D->CreateDevice(Adapter(state), plat::D3DDEVTYPE_HAL, MainWindow(),
                                          flags | vertexProcessing, &tried, &device);
    return plat::SUCCEEDED(result) ? device : nullptr;
  };
  plat::IDirect3DDevice9* device = attempt(hardwareVertexProcessing ? plat::D3DCREATE_MIXED_VERTEXPROCESSING
                                                                    : plat::D3DCREATE_SOFTWARE_VERTEXPROCESSING);
  if (device != nullptr) {
    AppendLogText(hardwareVertexProcessing ? text::kGfxHardwareVertexProcessing
                                           : text::kGfxSoftwareVertexProcessing);
  } else {
    state.caps.hardwareVertexProcessing = 0;
    device = attempt(plat::D3DCREATE_SOFTWARE_VERTEXPROCESSING);
    if (device == nullptr) {
      AppendLogText(ex ? text::kGfxDevice9ExCreateFailed : text::kGfxDevice9CreateFailed);
      return nullptr;
    }
    AppendLogText(text::kGfxSoftwareVertexProcessing);
  }
  if (ex) device->SetMaximumFrameLatency(1);
  state.caps.exDevice = ex ? 1 : 0;
  return device;
}

void ClearAndPresentAtStart(const GraphicsState& state) {
  const WindowSettings& settings = GetWindowSystemState().settings;
  const plat::D3DCOLOR background = (static_cast<plat::D3DCOLOR>(settings.backgroundRed) << 16) |
                                    (static_cast<plat::D3DCOLOR>(settings.backgroundGreen) << 8) |
                                    settings.backgroundBlue;
  plat::IDirect3DDevice9* device = state.device;
  device->SetRenderState(plat::D3DRS_ZENABLE, plat::TRUE);
  for (int i = 0; i < kStartupClearPresents; ++i) {
    device->Clear(0, nullptr, plat::D3DCLEAR_TARGET, background, 1.0f, 0);
    device->Present(nullptr, nullptr, MainWindow(), nullptr);
  }
  device->Clear(0, nullptr, plat::D3DCLEAR_TARGET, background, 1.0f, 0);
}

void DeriveCapabilities(GraphicsState& state, const plat::D3DCAPS9& caps) {
  DeviceCapabilities& derived = state.caps;
  derived.tssArgTemp = (caps.PrimitiveMiscCaps & plat::D3DPMISCCAPS_TSSARGTEMP) != 0 ? 1 : 0;
  derived.nativeSubtract = (caps.PrimitiveMiscCaps & plat::D3DPMISCCAPS_BLENDOP) != 0 ? 1 : 0;
  derived.nonPow2Conditional = (caps.TextureCaps & plat::D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0 ? 1 : 0;
  derived.pow2Only = (caps.TextureCaps & plat::D3DPTEXTURECAPS_POW2) != 0 ? 1 : 0;
  derived.squareOnly = (caps.TextureCaps & plat::D3DPTEXTURECAPS_SQUAREONLY) != 0 ? 1 : 0;
  derived.maxTextureWidth =
      static_cast<std::int32_t>(caps.MaxTextureWidth != 0 ? caps.MaxTextureWidth : kUnlimitedTextureFallback);
  derived.maxTextureHeight =
      static_cast<std::int32_t>(caps.MaxTextureHeight != 0 ? caps.MaxTextureHeight : kUnlimitedTextureFallback);
  derived.maxTextureSize = std::min(derived.maxTextureWidth, derived.maxTextureHeight);
  derived.vertexShader20 =
      derived.hardwareVertexProcessing != 0 && ShaderVersionAtLeast20(caps.VertexShaderVersion) ? 1 : 0;
  derived.pixelShader20 =
      derived.hardwareVertexProcessing != 0 && ShaderVersionAtLeast20(caps.PixelShaderVersion) ? 1 : 0;
}

bool ChooseDepthFormat(GraphicsState& state) {
  const D3DFORMAT backBuffer = state.caps.backBufferFormat;
  for (D3DFORMAT depth : {plat::D3DFMT_D16, plat::D3DFMT_D24X8, plat::D3DFMT_D32}) {
    if (plat::SUCCEEDED(state.direct3D->CheckDepthStencilMatch(Adapter(state), plat::D3DDEVTYPE_HAL, backBuffer,
                                                               backBuffer, depth))) {
      state.caps.depthFormat = depth;
      AppendLogFormat(text::kGfxZBufferFormat, D3DFormatLogName(depth) + 2);
      return true;
    }
  }
  AppendLogText(text::kGfxNoZBufferFormat);
  return false;
}

// The 16-bit kind of the back buffer first, then the other.
std::vector<D3DFORMAT> Drawable16BitCandidates(D3DFORMAT backBuffer) {
  if (backBuffer == plat::D3DFMT_R5G6B5) return {plat::D3DFMT_R5G6B5, plat::D3DFMT_X1R5G5B5, plat::D3DFMT_X8R8G8B8};
  return {plat::D3DFMT_X1R5G5B5, plat::D3DFMT_R5G6B5, plat::D3DFMT_X8R8G8B8};
}

bool ChooseTextureFormats(GraphicsState& state) {
  using plat::D3DUSAGE_RENDERTARGET;
  const char* const dxtLines[] = {text::kGfxDxt1Format, text::kGfxDxt2Format, text::kGfxDxt3Format,
                                  text::kGfxDxt4Format, text::kGfxDxt5Format};
  const D3DFORMAT dxtFormats[] = {plat::D3DFMT_DXT1, plat::D3DFMT_DXT2, plat::D3DFMT_DXT3, plat::D3DFMT_DXT4,
                                  plat::D3DFMT_DXT5};
  const TextureRole roles[] = {
      {kGraphFormat16Bit, 0, {plat::D3DFMT_R5G6B5, plat::D3DFMT_X1R5G5B5}, -1, true, text::kGfxNo16BitFormat,
       text::kGfx16BitFormat},
      {kGraphFormat32Bit, 0, {plat::D3DFMT_X8R8G8B8}, kGraphFormat16Bit, true, nullptr, text::kGfx32BitFormat},
      {kGraphFormatAlpha16Bit, 0, {plat::D3DFMT_A4R4G4B4, plat::D3DFMT_A8R8G8B8}, -1, true,
       text::kGfxNoAlpha16BitFormat, text::kGfxAlpha16BitFormat},
      {kGraphFormatAlpha32Bit, 0, {plat::D3DFMT_A8R8G8B8, plat::D3DFMT_A4R4G4B4}, -1, true,
       text::kGfxNoAlpha32BitFormat, text::kGfxAlpha32BitFormat},
      {kGraphFormatColorKey16Bit, 0, {plat::D3DFMT_A1R5G5B5, plat::D3DFMT_A8R8G8B8, plat::D3DFMT_A4R4G4B4}, -1, true,
       text::kGfxNoAlphaTest16BitFormat, text::kGfxAlphaTest16BitFormat},
      {kGraphFormatColorKey32Bit, 0, {plat::D3DFMT_A8R8G8B8, plat::D3DFMT_A1R5G5B5, plat::D3DFMT_A4R4G4B4}, -1, true,
       text::kGfxNoAlphaTest32BitFormat, text::kGfxAlphaTest32BitFormat},
  };
  DeviceCapabilities& caps = state.caps;
  for (const TextureRole& role : roles) {
    D3DFORMAT format = FirstAccepted(state, role.candidates, role.usage);
    if (format == 0 && role.fallbackCode >= 0) format = caps.textureFormats[role.fallbackCode];
    if (format == 0) {
      AppendLogText(role.missingLine);
      return false;
    }
    caps.textureFormats[role.code] = format;
    AppendLogFormat(role.chosenLine, D3DFormatLogName(format));
  }
  for (int i = 0; i < 5; ++i) {
    const D3DFORMAT dxt = FirstAccepted(state, {dxtFormats[i]}, 0);
    const int code = kGraphFormatDxt1 + i;
    caps.textureFormats[code] =
        dxt != 0 ? dxt : caps.textureFormats[i == 0 ? kGraphFormatColorKey16Bit : kGraphFormatAlpha32Bit];
    char shown[64];
    FormatString(shown, sizeof(shown), text::kGfxDxtFormatIs, D3DFormatLogName(dxtFormats[i]));
    AppendLogFormat(dxtLines[i], dxt != 0 ? shown : text::kGfxFormatUnusable);
  }
  const TextureRole drawables[] = {
      {kGraphFormatDrawable16Bit, D3DUSAGE_RENDERTARGET, Drawable16BitCandidates(caps.backBufferFormat), -1, false,
       text::kGfxNoDrawable16BitFormat, text::kGfxDrawable16BitFormat},
      {kGraphFormatDrawable32Bit, D3DUSAGE_RENDERTARGET,
       {plat::D3DFMT_X8R8G8B8, plat::D3DFMT_R5G6B5, plat::D3DFMT_X1R5G5B5}, -1, false,
       text::kGfxNoDrawable32BitFormat, text::kGfxDrawable32BitFormat},
      {kGraphFormatDrawableAlpha, D3DUSAGE_RENDERTARGET, {plat::D3DFMT_A8R8G8B8, plat::D3DFMT_A4R4G4B4}, -1, false,
       text::kGfxNoDrawableAlphaFormat, text::kGfxDrawableAlphaFormat},
      {kGraphFormatDrawableFloat16, D3DUSAGE_RENDERTARGET, {plat::D3DFMT_A16B16G16R16F}, -1, false,
       text::kGfxNoDrawableFloat16Format, text::kGfxDrawableFloat16Format},
      {kGraphFormatDrawableFloat32, D3DUSAGE_RENDERTARGET,
       {plat::D3DFMT_A32B32G32R32F, plat::D3DFMT_A16B16G16R16F}, -1, false, text::kGfxNoDrawableFloat32Format,
       text::kGfxDrawableFloat32Format},
  };
  for (const TextureRole& role : drawables) {
    const D3DFORMAT format = FirstAccepted(state, role.candidates, role.usage);
    caps.textureFormats[role.code] = format;
    if (format == 0) {
      AppendLogText(role.missingLine);
    } else {
      AppendLogFormat(role.chosenLine, D3DFormatLogName(format));
    }
  }
  const bool screen32 = state.colorBits == 32;
  caps.textureFormats[kGraphFormatScreenCopy] =
      caps.textureFormats[screen32 ? kGraphFormatDrawable32Bit : kGraphFormatDrawable16Bit];
  caps.textureFormats[kGraphFormatScreenCopyColorKey] =
      caps.textureFormats[screen32 ? kGraphFormatColorKey32Bit : kGraphFormatColorKey16Bit];
  return true;
}

void LogCapabilities(const GraphicsState& state, const plat::D3DCAPS9& caps) {
  AppendLogFormat(text::kGfxMaxTextureSize, state.caps.maxTextureWidth, state.caps.maxTextureHeight);
  AppendLogFormat(text::kGfxTempRegister, state.caps.tssArgTemp != 0 ? text::kGfxUsable : text::kGfxUnusable);
  AppendLogFormat(text::kGfxSubtractBlend, state.caps.nativeSubtract != 0 ? text::kGfxNative : text::kGfxEmulated);
  AppendLogFormat(text::kGfxVertexShaderVersion, caps.VertexShaderVersion & 0xFFFF);
  AppendLogFormat(text::kGfxPixelShaderVersion, caps.PixelShaderVersion & 0xFFFF);
}

PixelFormatDescriptor MakeDescriptor(int bits, std::uint32_t red, std::uint32_t green, std::uint32_t blue,
                                     std::uint32_t alpha, std::uint32_t kind) {
  PixelFormatDescriptor descriptor{};
  if (kind == 0) {
    SetColorDescFromMasks(&descriptor, bits, red, green, blue, alpha);
  } else {
    descriptor.bitDepth = static_cast<std::uint8_t>(bits);
    descriptor.bytesPerPixel = static_cast<std::uint16_t>(bits / 8);
    descriptor.dxtKind = kind;
  }
  return descriptor;
}

struct DescriptorEntry {
  D3DFORMAT format;
  PixelFormatDescriptor descriptor;
};

}  // namespace

const char* D3DFormatLogName(std::uint32_t format) {
  for (const FormatName& entry : kFormatNames) {
    if (entry.format == format) return entry.name;
  }
  return "Q_D3DFMT_UNKNOWN";
}

const PixelFormatDescriptor* GetD3DFormatPixelDescriptor(std::uint32_t format) {
  // Half and single float formats have no masks; their kind says which.
  static const DescriptorEntry kTable[] = {
      {plat::D3DFMT_R8G8B8, MakeDescriptor(24, 0xFF0000, 0xFF00, 0xFF, 0, 0)},
      {plat::D3DFMT_A8R8G8B8, MakeDescriptor(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, 0)},
      {plat::D3DFMT_X8R8G8B8, MakeDescriptor(32, 0xFF0000, 0xFF00, 0xFF, 0, 0)},
      {plat::D3DFMT_R5G6B5, MakeDescriptor(16, 0xF800, 0x7E0, 0x1F, 0, 0)},
      {plat::D3DFMT_X1R5G5B5, MakeDescriptor(16, 0x7C00, 0x3E0, 0x1F, 0, 0)},
      {plat::D3DFMT_A1R5G5B5, MakeDescriptor(16, 0x7C00, 0x3E0, 0x1F, 0x8000, 0)},
      {plat::D3DFMT_A4R4G4B4, MakeDescriptor(16, 0xF00, 0xF0, 0xF, 0xF000, 0)},
      {plat::D3DFMT_R3G3B2, MakeDescriptor(8, 0xE0, 0x1C, 0x3, 0, 0)},
      {plat::D3DFMT_A8R3G3B2, MakeDescriptor(16, 0xE0, 0x1C, 0x3, 0xFF00, 0)},
      {plat::D3DFMT_X4R4G4B4, MakeDescriptor(16, 0xF00, 0xF0, 0xF, 0, 0)},
      {plat::D3DFMT_A2B10G10R10, MakeDescriptor(32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000u, 0)},
      {plat::D3DFMT_A8B8G8R8, MakeDescriptor(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000u, 0)},
      {plat::D3DFMT_X8B8G8R8, MakeDescriptor(32, 0xFF, 0xFF00, 0xFF0000, 0, 0)},
      {plat::D3DFMT_A16B16G16R16F, MakeDescriptor(64, 0, 0, 0, 0, 6)},
      {plat::D3DFMT_A32B32G32R32F, MakeDescriptor(128, 0, 0, 0, 0, 7)},
  };
  for (const DescriptorEntry& entry : kTable) {
    if (entry.format == format) return &entry.descriptor;
  }
  return nullptr;
}

int ChooseMultiSampleType(std::uint32_t format, int* count, int* quality) {
  const GraphicsState& state = GetGraphicsState();
  if (count == nullptr || quality == nullptr) return -1;
  if (state.direct3D == nullptr) {
    *count = 0;
    *quality = 0;
    return -1;
  }
  const plat::BOOL windowed = IsFullScreenMode() == 0 ? plat::TRUE : plat::FALSE;
  int type = *count;
  std::uint32_t colorLevels = 0;
  std::uint32_t depthLevels = 0;
  // Both the colour and the depth format must take the same type.
  while (type > 0 &&
         (plat::FAILED(state.direct3D->CheckDeviceMultiSampleType(0, plat::D3DDEVTYPE_HAL, format, windowed,
                                                                  static_cast<std::uint32_t>(type), &colorLevels)) ||
          plat::FAILED(state.direct3D->CheckDeviceMultiSampleType(0, plat::D3DDEVTYPE_HAL, plat::D3DFMT_D16,
                                                                  windowed, static_cast<std::uint32_t>(type),
                                                                  &depthLevels)))) {
    --type;
  }
  *count = type;
  if (type == 0) {
    *quality = 0;
    return 0;
  }
  const int highest = static_cast<int>(std::min(colorLevels, depthLevels)) - 1;
  *quality = std::max(0, std::min(*quality, highest));
  return 0;
}

int CreateDirect3DDevice9() {
  GraphicsState& state = GetGraphicsState();
  if (state.direct3D == nullptr) return -1;
  if (state.device != nullptr) {
    // What the old device handed out goes with it.
    ReleaseDeviceAndSurfaces(state, text::kGfxDeviceRelease1);
  }
  state.caps = DeviceCapabilities{};

  plat::D3DCAPS9 adapterCaps{};
  state.direct3D->GetDeviceCaps(Adapter(state), plat::D3DDEVTYPE_HAL, &adapterCaps);
  const bool adapterShaders20 =
      ShaderVersionAtLeast20(adapterCaps.VertexShaderVersion) && ShaderVersionAtLeast20(adapterCaps.PixelShaderVersion);
  // Multisampling needs shader model 2.0.
  if (QueryShaderModel() < 200) {
    state.options.multiSampleType = 0;
    state.options.multiSampleQuality = 0;
  }
  const bool hardwareVertexProcessing = adapterShaders20 && state.options.forceSoftwareVertexProcessing == 0;
  state.caps.hardwareVertexProcessing = hardwareVertexProcessing ? 1 : 0;

  plat::D3DPRESENT_PARAMETERS parameters{};
  plat::D3DDISPLAYMODEEX fullScreenMode{};
  bool useFullScreenMode = false;
  if (!FillPresentParameters(state, &parameters, &fullScreenMode, &useFullScreenMode)) return -1;
  state.device = CreateDevice(state, &parameters, useFullScreenMode ? &fullScreenMode : nullptr,
                              hardwareVertexProcessing);
  if (state.device == nullptr) return -1;
  MeasureRefreshPeriod();
  ForgetCurrentShaders();

  ClearAndPresentAtStart(state);
  state.device->GetBackBuffer(0, 0, plat::D3DBACKBUFFER_TYPE_MONO, &state.backBuffer);
  state.device->GetSwapChain(0, &state.swapChain);
  AppendLogText(text::kGfxSucceeded);

  plat::D3DCAPS9 deviceCaps{};
  state.device->GetDeviceCaps(&deviceCaps);
  DeriveCapabilities(state, deviceCaps);

  plat::D3DADAPTER_IDENTIFIER9 identifier{};
  state.direct3D->GetAdapterIdentifier(Adapter(state), 0, &identifier);
  identifier.Driver[sizeof(identifier.Driver) - 1] = '\0';
  identifier.Description[sizeof(identifier.Description) - 1] = '\0';
  AppendLogFormat("Driver:%s  Description:%s", identifier.Driver, identifier.Description);

  plat::D3DSURFACE_DESC backBufferDesc{};
  state.caps.backBufferFormat = state.backBuffer != nullptr && plat::SUCCEEDED(state.backBuffer->GetDesc(&backBufferDesc))
                                    ? backBufferDesc.Format
                                    : parameters.BackBufferFormat;
  const D3DFORMAT backBuffer = state.caps.backBufferFormat;
  if (backBuffer == plat::D3DFMT_X8R8G8B8 || backBuffer == plat::D3DFMT_R5G6B5 ||
      backBuffer == plat::D3DFMT_X1R5G5B5) {
    // The screen names are printed without the "Q_" of the texture lines.
    AppendLogFormat(text::kGfxScreenFormat, D3DFormatLogName(backBuffer) + 2);
  } else {
    AppendLogFormat(text::kGfxBackBufferFormatUnsupported, static_cast<int>(backBuffer));
  }
  if (!ChooseDepthFormat(state)) return -1;
  if (!ChooseTextureFormats(state)) return -1;
  LogCapabilities(state, deviceCaps);
  RunBackBufferReadbackTest();
  return 0;
}

}  // namespace qz
