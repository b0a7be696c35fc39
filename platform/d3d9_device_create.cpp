// Resource creation on the stand-in device, with a real device's checks of
// pools, usages, formats and sizes.
#include "platform/d3d9_device.h"
#include "platform/d3d9_shader_internal.h"
#include "platform/d3d9_yuv.h"

namespace plat::d3d9 {
namespace {

constexpr std::size_t kLargestDeclaration = 64;
constexpr std::uint32_t kLargestBuffer = 1u << 28;

bool AcceptsMultiSample(const D3D9Profile& profile, D3DMULTISAMPLE_TYPE type, std::uint32_t quality) {
  if (type == D3DMULTISAMPLE_NONE) return quality == 0;
  if (type > D3DMULTISAMPLE_16_SAMPLES || (profile.multiSampleTypes & (1u << type)) == 0) return false;
  return quality < profile.multiSampleQualityLevels;
}

template <typename Object, typename Interface>
HRESULT Hand(Object* made, Interface** out) {
  if (made == nullptr) return E_OUTOFMEMORY;
  *out = made;
  return D3D_OK;
}

}  // namespace

HRESULT DeviceImpl::CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, std::uint32_t usage,
                                  D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture, void* shared) {
  HRESULT result = CountCall("CreateTexture");
  if (texture != nullptr) *texture = nullptr;
  if (result == D3D_OK && shared != nullptr) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) {
    result = CreateTextureObject(profile_, ex_, width, height, levels, usage, format, pool, texture);
  }
  if (result == D3D_OK) Adopt(*texture);
  return Finish("CreateTexture", result, [&] { return FormatArguments({width, height, levels, usage, format, pool}); });
}

HRESULT DeviceImpl::CreateVolumeTexture(std::uint32_t width, std::uint32_t height, std::uint32_t depth,
                                        std::uint32_t levels, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DVolumeTexture9** texture, void* shared) {
  HRESULT result = CountCall("CreateVolumeTexture");
  if (texture != nullptr) *texture = nullptr;
  if (result == D3D_OK && shared != nullptr) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) {
    result = CreateVolumeTextureObject(profile_, ex_, width, height, depth, levels, usage, format, pool, texture);
  }
  if (result == D3D_OK) Adopt(*texture);
  return Finish("CreateVolumeTexture", result,
                [&] { return FormatArguments({width, height, depth, levels, usage, format, pool}); });
}

HRESULT DeviceImpl::CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** buffer, void* shared) {
  HRESULT result = CountCall("CreateVertexBuffer");
  if (buffer == nullptr) {
    result = D3DERR_INVALIDCALL;
  } else {
    *buffer = nullptr;
  }
  const std::uint32_t vertexSize = fvf != 0 ? GetFvfVertexSize(fvf) : 0;
  if (result == D3D_OK &&
      (shared != nullptr || length == 0 || length > kLargestBuffer || !AcceptsPool(pool) ||
       (usage & ~(D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC)) != 0 || (fvf != 0 && (vertexSize == 0 || length < vertexSize)))) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) result = Hand(new VertexBufferImpl(length, usage, fvf, pool), buffer);
  if (result == D3D_OK) Adopt(*buffer);
  return Finish("CreateVertexBuffer", result, [&] { return FormatArguments({length, usage, fvf, pool}); });
}

HRESULT DeviceImpl::CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer9** buffer, void* shared) {
  HRESULT result = CountCall("CreateIndexBuffer");
  if (buffer == nullptr) {
    result = D3DERR_INVALIDCALL;
  } else {
    *buffer = nullptr;
  }
  if (result == D3D_OK &&
      (shared != nullptr || length == 0 || length > kLargestBuffer || !AcceptsPool(pool) ||
       (usage & ~(D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC)) != 0 ||
       (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) result = Hand(new IndexBufferImpl(length, usage, format, pool), buffer);
  if (result == D3D_OK) Adopt(*buffer);
  return Finish("CreateIndexBuffer", result, [&] { return FormatArguments({length, usage, format, pool}); });
}

HRESULT DeviceImpl::CreateRenderTarget(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                       D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality, BOOL lockable,
                                       IDirect3DSurface9** surface, void* shared) {
  HRESULT result = CountCall("CreateRenderTarget");
  if (surface == nullptr) {
    result = D3DERR_INVALIDCALL;
  } else {
    *surface = nullptr;
  }
  if (result == D3D_OK &&
      (shared != nullptr || width == 0 || height == 0 || !IsFormatIn(profile_.renderTargetFormats, format) ||
       !IsColorFormat(format) || !AcceptsMultiSample(profile_, multiSample, quality) ||
       (lockable && multiSample != D3DMULTISAMPLE_NONE))) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) {
    result = Hand(NewSurface(SurfaceKind::kRenderTarget, format, width, height, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
                             multiSample, quality, lockable != FALSE),
                  surface);
  }
  if (result == D3D_OK) Adopt(*surface);
  return Finish("CreateRenderTarget", result,
                [&] { return FormatArguments({width, height, format, multiSample, quality, lockable}); });
}

HRESULT DeviceImpl::CreateDepthStencilSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                              D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality, BOOL discard,
                                              IDirect3DSurface9** surface, void* shared) {
  HRESULT result = CountCall("CreateDepthStencilSurface");
  if (surface == nullptr) {
    result = D3DERR_INVALIDCALL;
  } else {
    *surface = nullptr;
  }
  if (result == D3D_OK && (shared != nullptr || width == 0 || height == 0 || !IsDepth(format) ||
                           !IsFormatIn(profile_.depthFormats, format) ||
                           !AcceptsMultiSample(profile_, multiSample, quality))) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) {
    result = Hand(NewSurface(SurfaceKind::kDepthStencil, format, width, height, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT,
                             multiSample, quality, false),
                  surface);
  }
  if (result == D3D_OK) Adopt(*surface);
  return Finish("CreateDepthStencilSurface", result,
                [&] { return FormatArguments({width, height, format, multiSample, quality, discard}); });
}

HRESULT DeviceImpl::CreateOffscreenPlainSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                                D3DPOOL pool, IDirect3DSurface9** surface, void* shared) {
  HRESULT result = CountCall("CreateOffscreenPlainSurface");
  if (surface == nullptr) {
    result = D3DERR_INVALIDCALL;
  } else {
    *surface = nullptr;
  }
  // Video formats (YV12, YUY2, UYVY) only as the profile offers them, in the
  // default pool; without them movies use their RGB frame image.
  const bool video = IsVideoFormat(format);
  if (result == D3D_OK && (shared != nullptr || width == 0 || height == 0 || !(IsColorFormat(format) || video) ||
                           (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_SYSTEMMEM) ||
                           (video && (pool != D3DPOOL_DEFAULT || !IsFormatIn(profile_.videoSurfaceFormats, format) ||
                                     !IsVideoSurfaceSize(format, width, height))))) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) {
    result = Hand(video ? NewVideoSurface(format, width, height)
                        : NewSurface(SurfaceKind::kOffscreenPlain, format, width, height, 0, pool, D3DMULTISAMPLE_NONE,
                                     0, true),
                  surface);
  }
  if (result == D3D_OK) Adopt(*surface);
  return Finish("CreateOffscreenPlainSurface", result, [&] { return FormatArguments({width, height, format, pool}); });
}

HRESULT DeviceImpl::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                            IDirect3DVertexDeclaration9** declaration) {
  HRESULT result = CountCall("CreateVertexDeclaration");
  if (declaration == nullptr || elements == nullptr) {
    result = D3DERR_INVALIDCALL;
  } else {
    *declaration = nullptr;
  }
  std::vector<D3DVERTEXELEMENT9> kept;
  if (result == D3D_OK) {
    for (std::size_t i = 0; elements[i].Stream != D3DDECL_END.Stream; ++i) {
      const D3DVERTEXELEMENT9& element = elements[i];
      if (i + 1 >= kLargestDeclaration || element.Type >= D3DDECLTYPE_UNUSED ||
          element.Usage > D3DDECLUSAGE_COLOR + 3) {
        result = D3DERR_INVALIDCALL;
        break;
      }
      kept.push_back(element);
    }
  }
  if (result == D3D_OK) {
    kept.push_back(D3DDECL_END);
    result = Hand(new VertexDeclarationImpl(std::move(kept)), declaration);
  }
  if (result == D3D_OK) Adopt(*declaration);
  return Finish("CreateVertexDeclaration", result, [&] { return FormatArguments({static_cast<long long>(kept.size())}); });
}

HRESULT DeviceImpl::CreateVertexShader(const std::uint32_t* function, IDirect3DVertexShader9** shader) {
  HRESULT result = CountCall("CreateVertexShader");
  std::uint32_t version = 0;
  if (shader == nullptr) {
    result = D3DERR_INVALIDCALL;
  } else {
    *shader = nullptr;
  }
  // Malformed code, or code for a newer model than the device reports, is refused.
  if (result == D3D_OK && !AcceptShaderCode(function, false, profile_.caps.VertexShaderVersion, &version)) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) result = Hand(new VertexShaderImpl(version), shader);
  if (result == D3D_OK) Adopt(*shader);
  return Finish("CreateVertexShader", result, [&] { return FormatArguments({version}); });
}

HRESULT DeviceImpl::CreatePixelShader(const std::uint32_t* function, IDirect3DPixelShader9** shader) {
  HRESULT result = CountCall("CreatePixelShader");
  std::uint32_t version = 0;
  if (shader == nullptr) {
    result = D3DERR_INVALIDCALL;
  } else {
    *shader = nullptr;
  }
  if (result == D3D_OK && !AcceptShaderCode(function, true, profile_.caps.PixelShaderVersion, &version)) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) result = Hand(new PixelShaderImpl(version), shader);
  if (result == D3D_OK) Adopt(*shader);
  return Finish("CreatePixelShader", result, [&] { return FormatArguments({version}); });
}

}  // namespace plat::d3d9
