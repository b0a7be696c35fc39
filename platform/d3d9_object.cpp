// The Direct3D object of the stand-in and the two entry points of
// "d3d9.dll": adapter queries answered from the profile, format checks, and
// device creation with the checks of the presentation parameters.
#include <algorithm>
#include <cstring>

#include "platform/d3d9_device.h"

namespace plat {
namespace d3d9 {
namespace {

bool IsDisplayFormat(D3DFORMAT format) {
  return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5;
}

// The display format a back-buffer format is shown in.
D3DFORMAT DisplayFormatOf(D3DFORMAT backBuffer) {
  if (backBuffer == D3DFMT_A8R8G8B8) return D3DFMT_X8R8G8B8;
  if (backBuffer == D3DFMT_A1R5G5B5) return D3DFMT_X1R5G5B5;
  return backBuffer;
}

bool AcceptsMultiSampleType(const D3D9Profile& profile, D3DMULTISAMPLE_TYPE type) {
  return type <= D3DMULTISAMPLE_16_SAMPLES && (type == D3DMULTISAMPLE_NONE || (profile.multiSampleTypes & (1u << type)));
}

void CopyText(char* destination, std::size_t size, const std::string& text) {
  const std::size_t length = std::min(size - 1, text.size());
  std::memcpy(destination, text.data(), length);
  destination[length] = '\0';
}

HRESULT CheckFullScreen(const D3D9Profile& profile, bool ex, const D3DDISPLAYMODEEX* fullScreenMode,
                        const D3DPRESENT_PARAMETERS& parameters) {
  if (parameters.BackBufferWidth == 0 || parameters.BackBufferHeight == 0) return D3DERR_INVALIDCALL;
  const D3DFORMAT display = DisplayFormatOf(parameters.BackBufferFormat);
  if (!IsDisplayFormat(display)) return D3DERR_INVALIDCALL;
  const bool modeListed = std::any_of(profile.adapterModes.begin(), profile.adapterModes.end(), [&](const auto& mode) {
    return mode.Width == parameters.BackBufferWidth && mode.Height == parameters.BackBufferHeight &&
           mode.Format == display &&
           (parameters.FullScreen_RefreshRateInHz == 0 || mode.RefreshRate == parameters.FullScreen_RefreshRateInHz);
  });
  if (!modeListed) return D3DERR_INVALIDCALL;
  if (ex) {
    if (fullScreenMode == nullptr || fullScreenMode->Size != sizeof(D3DDISPLAYMODEEX) ||
        fullScreenMode->Width != parameters.BackBufferWidth || fullScreenMode->Height != parameters.BackBufferHeight ||
        fullScreenMode->RefreshRate != parameters.FullScreen_RefreshRateInHz ||
        DisplayFormatOf(fullScreenMode->Format) != display) {
      return D3DERR_INVALIDCALL;
    }
  }
  return D3D_OK;
}

}  // namespace

HRESULT ValidatePresentParameters(const D3D9Profile& profile, HWND focusWindow, bool ex,
                                  const D3DDISPLAYMODEEX* fullScreenMode, D3DPRESENT_PARAMETERS* parameters) {
  D3DPRESENT_PARAMETERS& pp = *parameters;
  const HWND window = pp.hDeviceWindow != nullptr ? pp.hDeviceWindow : focusWindow;
  if (window == nullptr || !IsWindow(window)) return D3DERR_INVALIDCALL;
  if (pp.BackBufferCount == 0) pp.BackBufferCount = 1;
  if (pp.BackBufferCount > 1) return D3DERR_INVALIDCALL;
  if (pp.SwapEffect < D3DSWAPEFFECT_DISCARD || pp.SwapEffect > D3DSWAPEFFECT_COPY) return D3DERR_INVALIDCALL;
  if (!AcceptsMultiSampleType(profile, pp.MultiSampleType)) return D3DERR_INVALIDCALL;
  if (pp.MultiSampleType != D3DMULTISAMPLE_NONE &&
      (pp.SwapEffect != D3DSWAPEFFECT_DISCARD || (pp.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0 ||
       pp.MultiSampleQuality >= profile.multiSampleQualityLevels)) {
    return D3DERR_INVALIDCALL;
  }
  if (pp.PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT && pp.PresentationInterval != D3DPRESENT_INTERVAL_ONE &&
      pp.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE) {
    return D3DERR_INVALIDCALL;
  }
  if (pp.EnableAutoDepthStencil && !IsFormatIn(profile.depthFormats, pp.AutoDepthStencilFormat)) {
    return D3DERR_INVALIDCALL;
  }
  if (pp.Windowed) {
    if (pp.FullScreen_RefreshRateInHz != 0 || (ex && fullScreenMode != nullptr)) return D3DERR_INVALIDCALL;
    if (pp.BackBufferFormat == D3DFMT_UNKNOWN) pp.BackBufferFormat = profile.displayFormat;
    if (pp.BackBufferWidth == 0 || pp.BackBufferHeight == 0) {
      WinRect client{};
      GetClientRect(window, &client);
      if (pp.BackBufferWidth == 0) pp.BackBufferWidth = static_cast<std::uint32_t>(std::max(0, client.right - client.left));
      if (pp.BackBufferHeight == 0) pp.BackBufferHeight = static_cast<std::uint32_t>(std::max(0, client.bottom - client.top));
    }
    if (pp.BackBufferWidth == 0 || pp.BackBufferHeight == 0) return D3DERR_INVALIDCALL;
    if (!IsDisplayFormat(DisplayFormatOf(pp.BackBufferFormat))) return D3DERR_INVALIDCALL;
  } else {
    const HRESULT fullScreen = CheckFullScreen(profile, ex, fullScreenMode, pp);
    if (FAILED(fullScreen)) return fullScreen;
  }
  if (!IsFormatIn(profile.renderTargetFormats, pp.BackBufferFormat)) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

Direct3DImpl::Direct3DImpl(bool ex) : ex_(ex) {}

std::string Direct3DImpl::Describe() const { return ex_ ? "Direct3D9Ex" : "Direct3D9"; }

std::uint32_t Direct3DImpl::GetAdapterCount() { return 1; }

HRESULT Direct3DImpl::GetAdapterDisplayMode(std::uint32_t adapter, D3DDISPLAYMODE* mode) {
  HRESULT result = CountCall("GetAdapterDisplayMode");
  if (result == D3D_OK && (adapter != D3DADAPTER_DEFAULT || mode == nullptr)) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) {
    const D3D9Profile profile = CurrentProfile();
    *mode = {profile.displayWidth, profile.displayHeight, profile.displayRefreshRate, profile.displayFormat};
  }
  return Finish("GetAdapterDisplayMode", result, [&] { return FormatArguments({adapter}); });
}

std::uint32_t Direct3DImpl::GetAdapterModeCount(std::uint32_t adapter, D3DFORMAT format) {
  CountCall("GetAdapterModeCount");
  if (adapter != D3DADAPTER_DEFAULT) return 0;
  const D3D9Profile profile = CurrentProfile();
  return static_cast<std::uint32_t>(std::count_if(profile.adapterModes.begin(), profile.adapterModes.end(),
                                                  [&](const D3DDISPLAYMODE& mode) { return mode.Format == format; }));
}

HRESULT Direct3DImpl::EnumAdapterModes(std::uint32_t adapter, D3DFORMAT format, std::uint32_t index,
                                       D3DDISPLAYMODE* mode) {
  HRESULT result = CountCall("EnumAdapterModes");
  if (result == D3D_OK && (adapter != D3DADAPTER_DEFAULT || mode == nullptr)) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) {
    result = D3DERR_INVALIDCALL;
    std::uint32_t seen = 0;
    for (const D3DDISPLAYMODE& listed : CurrentProfile().adapterModes) {
      if (listed.Format != format) continue;
      if (seen++ == index) {
        *mode = listed;
        result = D3D_OK;
        break;
      }
    }
  }
  return Finish("EnumAdapterModes", result, [&] { return FormatArguments({adapter, format, index}); });
}

HRESULT Direct3DImpl::GetDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
  HRESULT result = CountCall("GetDeviceCaps");
  if (result == D3D_OK && (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL || caps == nullptr)) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) *caps = CurrentProfile().caps;
  return Finish("GetDeviceCaps", result, [&] { return FormatArguments({adapter, type}); });
}

HRESULT Direct3DImpl::GetAdapterIdentifier(std::uint32_t adapter, std::uint32_t flags,
                                           D3DADAPTER_IDENTIFIER9* identifier) {
  HRESULT result = CountCall("GetAdapterIdentifier");
  if (result == D3D_OK && (adapter != D3DADAPTER_DEFAULT || identifier == nullptr)) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) {
    const D3D9Profile profile = CurrentProfile();
    *identifier = {};
    CopyText(identifier->Driver, sizeof(identifier->Driver), profile.driver);
    CopyText(identifier->Description, sizeof(identifier->Description), profile.description);
    CopyText(identifier->DeviceName, sizeof(identifier->DeviceName), "\\\\.\\DISPLAY1");
  }
  return Finish("GetAdapterIdentifier", result, [&] { return FormatArguments({adapter, flags}); });
}

HRESULT Direct3DImpl::CheckDeviceFormat(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                        std::uint32_t usage, D3DRESOURCETYPE resourceType, D3DFORMAT format) {
  HRESULT result = CountCall("CheckDeviceFormat");
  if (result == D3D_OK &&
      (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL || !IsDisplayFormat(adapterFormat) ||
       (resourceType != D3DRTYPE_SURFACE && resourceType != D3DRTYPE_TEXTURE &&
        resourceType != D3DRTYPE_VOLUMETEXTURE))) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) {
    const D3D9Profile profile = CurrentProfile();
    const std::vector<D3DFORMAT>& accepted = (usage & D3DUSAGE_DEPTHSTENCIL) != 0   ? profile.depthFormats
                                             : (usage & D3DUSAGE_RENDERTARGET) != 0 ? profile.renderTargetFormats
                                                                                     : profile.textureFormats;
    if (!IsFormatIn(accepted, format)) result = D3DERR_NOTAVAILABLE;
  }
  return Finish("CheckDeviceFormat", result,
                [&] { return FormatArguments({adapter, type, adapterFormat, usage, resourceType, format}); });
}

HRESULT Direct3DImpl::CheckDepthStencilMatch(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                             D3DFORMAT renderTargetFormat, D3DFORMAT depthFormat) {
  HRESULT result = CountCall("CheckDepthStencilMatch");
  if (result == D3D_OK && (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL || !IsDisplayFormat(adapterFormat))) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) {
    const D3D9Profile profile = CurrentProfile();
    if (!IsFormatIn(profile.renderTargetFormats, renderTargetFormat) ||
        !IsFormatIn(profile.depthFormats, depthFormat)) {
      result = D3DERR_NOTAVAILABLE;
    }
  }
  return Finish("CheckDepthStencilMatch", result,
                [&] { return FormatArguments({adapter, type, adapterFormat, renderTargetFormat, depthFormat}); });
}

HRESULT Direct3DImpl::CheckDeviceMultiSampleType(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT format,
                                                 BOOL windowed, D3DMULTISAMPLE_TYPE multiSample,
                                                 std::uint32_t* qualityLevels) {
  HRESULT result = CountCall("CheckDeviceMultiSampleType");
  if (qualityLevels != nullptr) *qualityLevels = 0;
  if (result == D3D_OK && (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL)) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) {
    const D3D9Profile profile = CurrentProfile();
    const bool knownFormat = IsFormatIn(profile.renderTargetFormats, format) || IsFormatIn(profile.depthFormats, format);
    if (!knownFormat || !AcceptsMultiSampleType(profile, multiSample)) {
      result = D3DERR_NOTAVAILABLE;
    } else if (qualityLevels != nullptr) {
      *qualityLevels = multiSample == D3DMULTISAMPLE_NONE ? 1 : profile.multiSampleQualityLevels;
    }
  }
  return Finish("CheckDeviceMultiSampleType", result,
                [&] { return FormatArguments({adapter, type, format, windowed, multiSample}); });
}

HRESULT Direct3DImpl::MakeDevice(bool ex, std::uint32_t adapter, D3DDEVTYPE type, HWND focusWindow,
                                 std::uint32_t behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                 const D3DDISPLAYMODEEX* fullScreenMode, IDirect3DDevice9** device) {
  if (device == nullptr || parameters == nullptr || adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL) {
    return D3DERR_INVALIDCALL;
  }
  const std::uint32_t processing = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                                    D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING);
  if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
      processing != D3DCREATE_MIXED_VERTEXPROCESSING) {
    return D3DERR_INVALIDCALL;
  }
  const D3D9Profile profile = CurrentProfile();
  const HRESULT checked = ValidatePresentParameters(profile, focusWindow, ex, fullScreenMode, parameters);
  if (FAILED(checked)) return checked;
  const D3DPRESENT_PARAMETERS& pp = *parameters;
  SurfaceImpl* backBuffer =
      NewSurface(SurfaceKind::kBackBuffer, pp.BackBufferFormat, pp.BackBufferWidth, pp.BackBufferHeight,
                 D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, pp.MultiSampleType, pp.MultiSampleQuality,
                 (pp.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0);
  if (backBuffer == nullptr) return D3DERR_OUTOFVIDEOMEMORY;
  SurfaceImpl* autoDepth = nullptr;
  if (pp.EnableAutoDepthStencil) {
    autoDepth = NewSurface(SurfaceKind::kDepthStencil, pp.AutoDepthStencilFormat, pp.BackBufferWidth,
                           pp.BackBufferHeight, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, pp.MultiSampleType,
                           pp.MultiSampleQuality, false);
    if (autoDepth == nullptr) {
      backBuffer->Release();
      return D3DERR_OUTOFVIDEOMEMORY;
    }
  }
  auto* swapChain = new SwapChainImpl(pp, focusWindow, backBuffer);
  *device = new DeviceImpl(this, ex, profile, behaviorFlags, pp, swapChain, autoDepth);
  return D3D_OK;
}

HRESULT Direct3DImpl::CreateDevice(std::uint32_t adapter, D3DDEVTYPE type, HWND focusWindow,
                                   std::uint32_t behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                   IDirect3DDevice9** device) {
  HRESULT result = CountCall("CreateDevice");
  if (device != nullptr) *device = nullptr;
  if (result == D3D_OK) result = MakeDevice(false, adapter, type, focusWindow, behaviorFlags, parameters, nullptr, device);
  return Finish("CreateDevice", result, [&] { return FormatArguments({adapter, type, behaviorFlags}); });
}

HRESULT Direct3DImpl::CreateDeviceEx(std::uint32_t adapter, D3DDEVTYPE type, HWND focusWindow,
                                     std::uint32_t behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                     D3DDISPLAYMODEEX* fullScreenMode, IDirect3DDevice9Ex** device) {
  HRESULT result = CountCall("CreateDeviceEx");
  if (device != nullptr) *device = nullptr;
  if (result == D3D_OK && !ex_) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) {
    result = MakeDevice(true, adapter, type, focusWindow, behaviorFlags, parameters, fullScreenMode, device);
  }
  return Finish("CreateDeviceEx", result, [&] { return FormatArguments({adapter, type, behaviorFlags}); });
}

}  // namespace d3d9

IDirect3D9* Direct3DCreate9(std::uint32_t sdkVersion) {
  HRESULT result = d3d9::CountCall("Direct3DCreate9");
  if (result == D3D_OK && sdkVersion != D3D_SDK_VERSION) result = D3DERR_NOTAVAILABLE;
  IDirect3D9* created = result == D3D_OK ? new d3d9::Direct3DImpl(false) : nullptr;
  d3d9::Finish("Direct3DCreate9", result, [&] { return d3d9::FormatArguments({sdkVersion}); });
  return created;
}

HRESULT Direct3DCreate9Ex(std::uint32_t sdkVersion, IDirect3D9Ex** direct3d) {
  HRESULT result = d3d9::CountCall("Direct3DCreate9Ex");
  if (direct3d == nullptr) {
    result = D3DERR_INVALIDCALL;
  } else {
    *direct3d = nullptr;
  }
  if (result == D3D_OK && sdkVersion != D3D_SDK_VERSION) result = D3DERR_NOTAVAILABLE;
  if (result == D3D_OK) *direct3d = new d3d9::Direct3DImpl(true);
  return d3d9::Finish("Direct3DCreate9Ex", result, [&] { return d3d9::FormatArguments({sdkVersion}); });
}

}  // namespace plat
