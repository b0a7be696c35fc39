// The stand-in device: lifetime, presentation, scenes, targets, clears and
// the recorded states.
#include <algorithm>
#include <cstring>

#include "platform/d3d9_device.h"
#include "platform/window_present.h"

namespace plat::d3d9 {
namespace {

constexpr std::uint32_t kVertexConstantFLimit = 8192;
constexpr std::uint32_t kVertexConstantBLimit = 16;
constexpr std::uint32_t kPixelConstantFLimit = 224;
constexpr std::uint32_t kLargestFrameLatency = 16;

D3DMATRIX Identity() {
  D3DMATRIX matrix{};
  for (int i = 0; i < 4; ++i) matrix.m[i][i] = 1.0f;
  return matrix;
}

WinRect Intersect(const WinRect& a, const WinRect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const WinRect& rect) { return rect.left >= rect.right || rect.top >= rect.bottom; }

bool Contains(const WinRect& outer, const WinRect& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

void FillColor(PixelStore& store, const WinRect& area, std::uint32_t raw) {
  const int bytes = raster::BytesPerPixel(store.format);
  const std::size_t rowBytes = static_cast<std::size_t>(area.right - area.left) * bytes;
  std::uint8_t* first = store.bytes.data() + static_cast<std::size_t>(area.top) * store.pitch +
                        static_cast<std::size_t>(area.left) * bytes;
  for (std::size_t at = 0; at < rowBytes; at += bytes) {
    if (bytes == 4) {
      std::memcpy(first + at, &raw, 4);
    } else {
      const std::uint16_t narrow = static_cast<std::uint16_t>(raw);
      std::memcpy(first + at, &narrow, 2);
    }
  }
  // Every further row is a copy of the first: a whole-screen clear each frame
  // runs at memory speed.
  for (std::int32_t y = area.top + 1; y < area.bottom; ++y) {
    std::memcpy(first + static_cast<std::size_t>(y - area.top) * store.pitch, first, rowBytes);
  }
}

void FillDepth(PixelStore& store, const WinRect& area, float value) {
  for (std::int32_t y = area.top; y < area.bottom; ++y) {
    float* row = reinterpret_cast<float*>(store.bytes.data() + static_cast<std::size_t>(y) * store.pitch);
    std::fill(row + area.left, row + area.right, value);
  }
}

WinRect WholeOf(const PixelStore& store) {
  return {0, 0, static_cast<std::int32_t>(store.width), static_cast<std::int32_t>(store.height)};
}

bool IsTransformKnown(D3DTRANSFORMSTATETYPE type) {
  return type == D3DTS_VIEW || type == D3DTS_PROJECTION || type == D3DTS_WORLD ||
         (type >= D3DTS_TEXTURE0 && type <= D3DTS_TEXTURE7);
}

}  // namespace

DeviceImpl::DeviceImpl(Direct3DImpl* owner, bool ex, const D3D9Profile& profile, std::uint32_t behaviorFlags,
                       const D3DPRESENT_PARAMETERS& parameters, SwapChainImpl* swapChain,
                       SurfaceImpl* autoDepth)
    : owner_(owner),
      serial_(RegisterDevice()),
      ex_(ex),
      profile_(profile),
      behaviorFlags_(behaviorFlags),
      parameters_(parameters),
      swapChain_(swapChain),
      depthStencil_(autoDepth) {
  owner_->AddRef();
  Adopt(swapChain_);
  Adopt(swapChain_->backBuffer());
  Adopt(depthStencil_);
  HoldReference(&renderTarget_, swapChain_->backBuffer());
  raster::SetDefaultState(&state_, static_cast<int>(renderTarget_->width()),
                          static_cast<int>(renderTarget_->height()), depthStencil_ != nullptr);
  ResetViewportToTarget();
  world_ = view_ = projection_ = Identity();
  textureTransforms_.fill(Identity());
  const int workers = raster::RasterWorkerCount();
  if (workers >= 2) {
    bands_ = std::make_unique<raster::BandWorkers>(workers);
    swapChain_->SetBandWorkers(bands_.get());
  }
}

DeviceImpl::~DeviceImpl() {
  swapChain_->SetBandWorkers(nullptr);
  bands_.reset();
  for (IDirect3DBaseTexture9*& texture : textures_) HoldReference(&texture, static_cast<IDirect3DBaseTexture9*>(nullptr));
  HoldReference(&declaration_, static_cast<IDirect3DVertexDeclaration9*>(nullptr));
  HoldReference(&vertexShader_, static_cast<IDirect3DVertexShader9*>(nullptr));
  HoldReference(&pixelShader_, static_cast<IDirect3DPixelShader9*>(nullptr));
  HoldReference(&renderTarget_, static_cast<SurfaceImpl*>(nullptr));
  HoldReference(&depthStencil_, static_cast<SurfaceImpl*>(nullptr));
  HoldReference(&swapChain_, static_cast<SwapChainImpl*>(nullptr));
  UnregisterDevice(serial_);
  owner_->Release();
}

std::string DeviceImpl::Describe() const {
  return std::string(ex_ ? "DeviceEx " : "Device ") + std::to_string(parameters_.BackBufferWidth) + "x" +
         std::to_string(parameters_.BackBufferHeight) + " format " + std::to_string(parameters_.BackBufferFormat);
}

void DeviceImpl::ResetViewportToTarget() {
  const std::uint32_t width = renderTarget_->width();
  const std::uint32_t height = renderTarget_->height();
  viewport_ = {0, 0, width, height, 0.0f, 1.0f};
  scissor_ = {0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
  state_.viewport = {0, 0, static_cast<int>(width), static_cast<int>(height), 0.0f, 1.0f};
  state_.scissor = {0, 0, static_cast<int>(width), static_cast<int>(height)};
}

bool DeviceImpl::Owns(IUnknownObject* object, const char* method) const {
  const LiveObject* live = AsLiveObject(object);
  if (live == nullptr || live->creatorDevice() == serial_) return true;
  CountForeignObjectUse(method, live);
  return false;
}

void DeviceImpl::Adopt(IUnknownObject* object) const {
  if (LiveObject* live = AsLiveObject(object); live != nullptr) live->BindToDevice(serial_);
}

bool DeviceImpl::AcceptsPool(D3DPOOL pool) const {
  if (pool == D3DPOOL_MANAGED) return !ex_;
  return pool == D3DPOOL_DEFAULT || pool == D3DPOOL_SYSTEMMEM;
}

// ---------------------------------------------------------------- lifetime and presentation

HRESULT DeviceImpl::TestCooperativeLevel() {
  HRESULT result = CountCall("TestCooperativeLevel");
  if (result == D3D_OK) result = CurrentDeviceState();
  return Finish("TestCooperativeLevel", result, [] { return std::string(); });
}

HRESULT DeviceImpl::GetDeviceCaps(D3DCAPS9* caps) {
  HRESULT result = CountCall("Device.GetDeviceCaps");
  if (caps == nullptr) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) *caps = profile_.caps;
  return Finish("Device.GetDeviceCaps", result, [] { return std::string(); });
}

HRESULT DeviceImpl::GetDirect3D(IDirect3D9** direct3d) {
  if (direct3d == nullptr) return D3DERR_INVALIDCALL;
  owner_->AddRef();
  *direct3d = owner_;
  return D3D_OK;
}

HRESULT DeviceImpl::SetMaximumFrameLatency(std::uint32_t frames) {
  HRESULT result = CountCall("SetMaximumFrameLatency");
  if (result == D3D_OK && (!ex_ || frames > kLargestFrameLatency)) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) maximumFrameLatency_ = frames;
  return Finish("SetMaximumFrameLatency", result, [&] { return FormatArguments({frames}); });
}

HRESULT DeviceImpl::SetDialogBoxMode(BOOL enable) {
  HRESULT result = CountCall("SetDialogBoxMode");
  if (result == D3D_OK) dialogBoxMode_ = enable;
  return Finish("SetDialogBoxMode", result, [&] { return FormatArguments({enable}); });
}

HRESULT DeviceImpl::GetBackBuffer(std::uint32_t swapChain, std::uint32_t index, std::uint32_t type,
                                  IDirect3DSurface9** surface) {
  HRESULT result = CountCall("GetBackBuffer");
  if (surface == nullptr || swapChain != 0) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) result = swapChain_->GetBackBuffer(index, type, surface);
  return Finish("GetBackBuffer", result, [&] { return FormatArguments({swapChain, index, type}); });
}

HRESULT DeviceImpl::GetSwapChain(std::uint32_t swapChain, IDirect3DSwapChain9** chain) {
  HRESULT result = CountCall("GetSwapChain");
  if (chain == nullptr) {
    result = D3DERR_INVALIDCALL;
  } else {
    *chain = nullptr;
    if (result == D3D_OK && swapChain != 0) result = D3DERR_INVALIDCALL;
    if (result == D3D_OK) {
      swapChain_->AddRef();
      *chain = swapChain_;
    }
  }
  return Finish("GetSwapChain", result, [&] { return FormatArguments({swapChain}); });
}

HRESULT DeviceImpl::Present(const WinRect* srcRect, const WinRect* dstRect, HWND window, const void* dirtyRegion) {
  HRESULT result = CountCall("Present");
  if (result == D3D_OK && !FinishRecorded()) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK && dirtyRegion != nullptr) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) result = swapChain_->PresentFrame(srcRect, dstRect, window);
  return Finish("Present", result, [&] {
    return std::string(srcRect != nullptr ? "rect" : "null") + ", " + (dstRect != nullptr ? "rect" : "null");
  });
}

HRESULT DeviceImpl::BeginScene() {
  HRESULT result = CountCall("BeginScene");
  if (result == D3D_OK && sceneOpen_) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) sceneOpen_ = true;
  return Finish("BeginScene", result, [] { return std::string(); });
}

HRESULT DeviceImpl::EndScene() {
  HRESULT result = CountCall("EndScene");
  if (result == D3D_OK && !sceneOpen_) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) sceneOpen_ = false;
  return Finish("EndScene", result, [] { return std::string(); });
}

// ---------------------------------------------------------------- targets and clears

HRESULT DeviceImpl::SetRenderTargetChecked(std::uint32_t index, IDirect3DSurface9* surface) {
  if (index >= std::max<std::uint32_t>(1, profile_.caps.NumSimultaneousRTs) || index != 0) {
    return D3DERR_INVALIDCALL;
  }
  SurfaceImpl* target = AsSurface(surface);
  if (target == nullptr || !target->IsRenderTarget() || target->pool() != D3DPOOL_DEFAULT ||
      !Owns(target, "SetRenderTarget")) {
    return D3DERR_INVALIDCALL;
  }
  // Later draws may read the old target as a texture across every band.
  if (!FinishRecorded()) return D3DERR_INVALIDCALL;
  HoldReference(&renderTarget_, target);
  ResetViewportToTarget();
  return D3D_OK;
}

HRESULT DeviceImpl::SetRenderTarget(std::uint32_t index, IDirect3DSurface9* surface) {
  HRESULT result = CountCall("SetRenderTarget");
  if (result == D3D_OK) result = SetRenderTargetChecked(index, surface);
  return Finish("SetRenderTarget", result, [&] {
    return std::to_string(index) + ", " + (surface != nullptr ? AsSurface(surface)->Describe() : "null");
  });
}

HRESULT DeviceImpl::GetRenderTarget(std::uint32_t index, IDirect3DSurface9** surface) {
  if (surface == nullptr) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (index != 0) return D3DERR_NOTFOUND;
  renderTarget_->AddRef();
  *surface = renderTarget_;
  return D3D_OK;
}

HRESULT DeviceImpl::SetDepthStencilSurface(IDirect3DSurface9* surface) {
  HRESULT result = CountCall("SetDepthStencilSurface");
  SurfaceImpl* depth = AsSurface(surface);
  if (result == D3D_OK && depth != nullptr &&
      (depth->kind() != SurfaceKind::kDepthStencil || !Owns(depth, "SetDepthStencilSurface"))) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK && !FinishRecorded()) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) HoldReference(&depthStencil_, depth);
  return Finish("SetDepthStencilSurface", result,
                [&] { return depth != nullptr ? depth->Describe() : std::string("null"); });
}

HRESULT DeviceImpl::GetDepthStencilSurface(IDirect3DSurface9** surface) {
  if (surface == nullptr) return D3DERR_INVALIDCALL;
  *surface = depthStencil_;
  if (depthStencil_ == nullptr) return D3DERR_NOTFOUND;
  depthStencil_->AddRef();
  return D3D_OK;
}

HRESULT DeviceImpl::ClearChecked(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags, D3DCOLOR color,
                                 float z) {
  if (flags == 0 || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0) {
    return D3DERR_INVALIDCALL;
  }
  if ((count > 0) != (rects != nullptr)) return D3DERR_INVALIDCALL;
  // The stand-in's depth formats have no stencil bits.
  if ((flags & D3DCLEAR_STENCIL) != 0) return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_ZBUFFER) != 0 && depthStencil_ == nullptr) return D3DERR_INVALIDCALL;
  if (!(z >= 0.0f && z <= 1.0f)) return D3DERR_INVALIDCALL;
  const WinRect viewport = {static_cast<std::int32_t>(viewport_.X), static_cast<std::int32_t>(viewport_.Y),
                            static_cast<std::int32_t>(viewport_.X + viewport_.Width),
                            static_cast<std::int32_t>(viewport_.Y + viewport_.Height)};
  std::vector<WinRect> areas;
  if (count == 0) {
    areas.push_back(viewport);
  } else {
    for (std::uint32_t i = 0; i < count; ++i) {
      areas.push_back(Intersect({rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2}, viewport));
    }
  }
  const std::uint32_t raw = raster::PackColor(renderTarget_->format(), color);
  for (const WinRect& area : areas) {
    if ((flags & D3DCLEAR_TARGET) != 0) {
      const WinRect inside = Intersect(area, WholeOf(renderTarget_->store()));
      PixelStore* store = &renderTarget_->store();
      // A frame presented from these pixels and still shown from them: a
      // clear of all of them hands them to the window rather than copying
      // them, and any other clear copies them first.
      if (Contains(inside, WholeOf(*store)) && !renderTarget_->locked()) TakeOverWaitingFrame(store, &store->bytes);
      SettleFramesWaitingIn(store);
      const auto fill = [store, inside, raw](int top, int bottom) {
        FillColor(*store, {inside.left, top, inside.right, bottom}, raw);
      };
      if (!IsEmpty(inside) && !FillRows(store, inside.top, inside.bottom, fill)) return D3DERR_INVALIDCALL;
    }
    if ((flags & D3DCLEAR_ZBUFFER) != 0) {
      const WinRect inside = Intersect(area, WholeOf(depthStencil_->store()));
      const float value = raster::QuantizeDepth(depthStencil_->format(), z);
      std::uint32_t raw;
      std::memcpy(&raw, &value, 4);
      const auto& uniform = depthStencil_->uniformDepth();
      const bool alreadyHeld = uniform.has_value() && uniform->raw == raw && Contains(uniform->area, inside);
      if (!IsEmpty(inside) && !alreadyHeld) {
        PixelStore* store = &depthStencil_->store();
        const bool filled = FillRows(store, inside.top, inside.bottom, [store, inside, value](int top, int bottom) {
          FillDepth(*store, {inside.left, top, inside.right, bottom}, value);
        });
        if (!filled) return D3DERR_INVALIDCALL;
        depthStencil_->setUniformDepth(SurfaceImpl::UniformDepth{inside, raw});
      }
    }
  }
  return D3D_OK;
}

bool DeviceImpl::FillRows(PixelStore* store, int top, int bottom, std::function<void(int, int)> fill) {
  if (bands_ == nullptr) {
    fill(top, bottom);
    return true;
  }
  if (!bands_->RecordRows(static_cast<int>(renderTarget_->height()), top, bottom, std::move(fill))) return false;
  store->uses.Add(*bands_);
  return true;
}

bool DeviceImpl::FinishRecorded() { return bands_ == nullptr || bands_->Finish(); }

HRESULT DeviceImpl::Clear(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags, D3DCOLOR color, float z,
                          std::uint32_t stencil) {
  HRESULT result = CountCall("Clear");
  if (result == D3D_OK) result = ClearChecked(count, rects, flags, color, z);
  return Finish("Clear", result, [&] {
    std::string text = FormatArguments({count, flags, color}) + ", " + std::to_string(z) + ", " +
                       std::to_string(stencil);
    for (std::uint32_t i = 0; rects != nullptr && i < count; ++i) {
      text += ", [" + FormatArguments({rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2}) + "]";
    }
    return text;
  });
}

// ---------------------------------------------------------------- states

HRESULT DeviceImpl::SetViewportChecked(const D3DVIEWPORT9* viewport) {
  if (viewport == nullptr || viewport->Width == 0 || viewport->Height == 0) return D3DERR_INVALIDCALL;
  const std::uint64_t right = static_cast<std::uint64_t>(viewport->X) + viewport->Width;
  const std::uint64_t bottom = static_cast<std::uint64_t>(viewport->Y) + viewport->Height;
  if (right > renderTarget_->width() || bottom > renderTarget_->height()) return D3DERR_INVALIDCALL;
  if (!(viewport->MinZ >= 0.0f && viewport->MinZ <= 1.0f && viewport->MaxZ >= 0.0f && viewport->MaxZ <= 1.0f)) {
    return D3DERR_INVALIDCALL;
  }
  viewport_ = *viewport;
  state_.viewport = {static_cast<int>(viewport->X), static_cast<int>(viewport->Y),
                     static_cast<int>(viewport->Width), static_cast<int>(viewport->Height), viewport->MinZ,
                     viewport->MaxZ};
  return D3D_OK;
}

HRESULT DeviceImpl::SetViewport(const D3DVIEWPORT9* viewport) {
  HRESULT result = CountCall("SetViewport");
  if (result == D3D_OK) result = SetViewportChecked(viewport);
  return Finish("SetViewport", result, [&] {
    return viewport == nullptr ? std::string("null")
                               : FormatArguments({viewport->X, viewport->Y, viewport->Width, viewport->Height});
  });
}

HRESULT DeviceImpl::GetViewport(D3DVIEWPORT9* viewport) {
  if (viewport == nullptr) return D3DERR_INVALIDCALL;
  *viewport = viewport_;
  return D3D_OK;
}

HRESULT DeviceImpl::SetScissorRect(const WinRect* rect) {
  HRESULT result = CountCall("SetScissorRect");
  if (result == D3D_OK && (rect == nullptr || rect->left > rect->right || rect->top > rect->bottom)) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) {
    scissor_ = *rect;
    state_.scissor = {rect->left, rect->top, rect->right, rect->bottom};
  }
  return Finish("SetScissorRect", result, [&] {
    return rect == nullptr ? std::string("null") : FormatArguments({rect->left, rect->top, rect->right, rect->bottom});
  });
}

HRESULT DeviceImpl::GetScissorRect(WinRect* rect) {
  if (rect == nullptr) return D3DERR_INVALIDCALL;
  *rect = scissor_;
  return D3D_OK;
}

HRESULT DeviceImpl::SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) {
  HRESULT result = CountCall("SetRenderState");
  if (result == D3D_OK && state >= state_.render.size()) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) state_.render[state] = value;
  return Finish("SetRenderState", result, [&] { return FormatArguments({state, value}); });
}

HRESULT DeviceImpl::GetRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) {
  if (value == nullptr || state >= state_.render.size()) return D3DERR_INVALIDCALL;
  *value = state_.render[state];
  return D3D_OK;
}

HRESULT DeviceImpl::SetTexture(std::uint32_t stage, IDirect3DBaseTexture9* texture) {
  HRESULT result = CountCall("SetTexture");
  if (result == D3D_OK && stage >= kD3DMaxTextureStages) result = D3DERR_INVALIDCALL;
  // A system-memory texture cannot be sampled; real devices refuse the draw.
  if (result == D3D_OK && texture != nullptr) {
    const TextureImpl* plain = AsTexture(texture);
    const VolumeTextureImpl* volume = AsVolumeTexture(texture);
    const D3DPOOL pool = plain != nullptr ? plain->pool() : volume->pool();
    if (pool == D3DPOOL_SYSTEMMEM || !Owns(texture, "SetTexture")) result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) HoldReference(&textures_[stage], texture);
  return Finish("SetTexture", result, [&] {
    const TextureImpl* plain = AsTexture(texture);
    return std::to_string(stage) + ", " +
           (plain != nullptr ? plain->Describe() : texture != nullptr ? std::string("volume") : std::string("null"));
  });
}

HRESULT DeviceImpl::GetTexture(std::uint32_t stage, IDirect3DBaseTexture9** texture) {
  if (texture == nullptr || stage >= kD3DMaxTextureStages) return D3DERR_INVALIDCALL;
  *texture = textures_[stage];
  if (*texture != nullptr) (*texture)->AddRef();
  return D3D_OK;
}

HRESULT DeviceImpl::SetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t value) {
  HRESULT result = CountCall("SetTextureStageState");
  if (result == D3D_OK && (stage >= kD3DMaxTextureStages || type == 0 || type >= kD3DTextureStageStateCount)) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) state_.stage[stage][type] = value;
  return Finish("SetTextureStageState", result, [&] { return FormatArguments({stage, type, value}); });
}

HRESULT DeviceImpl::GetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t* value) {
  if (value == nullptr || stage >= kD3DMaxTextureStages || type == 0 || type >= kD3DTextureStageStateCount) {
    return D3DERR_INVALIDCALL;
  }
  *value = state_.stage[stage][type];
  return D3D_OK;
}

HRESULT DeviceImpl::SetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t value) {
  HRESULT result = CountCall("SetSamplerState");
  if (result == D3D_OK && (sampler >= kD3DMaxSamplers || type == 0 || type >= kD3DSamplerStateCount)) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) state_.sampler[sampler][type] = value;
  return Finish("SetSamplerState", result, [&] { return FormatArguments({sampler, type, value}); });
}

HRESULT DeviceImpl::GetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t* value) {
  if (value == nullptr || sampler >= kD3DMaxSamplers || type == 0 || type >= kD3DSamplerStateCount) {
    return D3DERR_INVALIDCALL;
  }
  *value = state_.sampler[sampler][type];
  return D3D_OK;
}

HRESULT DeviceImpl::SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX* matrix) {
  HRESULT result = CountCall("SetTransform");
  if (result == D3D_OK && (matrix == nullptr || !IsTransformKnown(type))) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) {
    if (type == D3DTS_VIEW) {
      view_ = *matrix;
    } else if (type == D3DTS_PROJECTION) {
      projection_ = *matrix;
    } else if (type == D3DTS_WORLD) {
      world_ = *matrix;
    } else {
      textureTransforms_[type - D3DTS_TEXTURE0] = *matrix;
    }
  }
  return Finish("SetTransform", result, [&] { return FormatArguments({type}); });
}

HRESULT DeviceImpl::GetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX* matrix) {
  if (matrix == nullptr || !IsTransformKnown(type)) return D3DERR_INVALIDCALL;
  if (type == D3DTS_VIEW) {
    *matrix = view_;
  } else if (type == D3DTS_PROJECTION) {
    *matrix = projection_;
  } else if (type == D3DTS_WORLD) {
    *matrix = world_;
  } else {
    *matrix = textureTransforms_[type - D3DTS_TEXTURE0];
  }
  return D3D_OK;
}

HRESULT DeviceImpl::SetMaterial(const D3DMATERIAL9* material) {
  HRESULT result = CountCall("SetMaterial");
  if (result == D3D_OK && material == nullptr) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) material_ = *material;
  return Finish("SetMaterial", result, [] { return std::string(); });
}

HRESULT DeviceImpl::GetMaterial(D3DMATERIAL9* material) {
  if (material == nullptr) return D3DERR_INVALIDCALL;
  *material = material_;
  return D3D_OK;
}

HRESULT DeviceImpl::SetLight(std::uint32_t index, const D3DLIGHT9* light) {
  HRESULT result = CountCall("SetLight");
  if (result == D3D_OK &&
      (light == nullptr || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) lights_[index] = *light;
  return Finish("SetLight", result, [&] { return FormatArguments({index, light != nullptr ? light->Type : 0}); });
}

HRESULT DeviceImpl::GetLight(std::uint32_t index, D3DLIGHT9* light) {
  const auto found = lights_.find(index);
  if (light == nullptr || found == lights_.end()) return D3DERR_INVALIDCALL;
  *light = found->second;
  return D3D_OK;
}

HRESULT DeviceImpl::LightEnable(std::uint32_t index, BOOL enable) {
  HRESULT result = CountCall("LightEnable");
  if (result == D3D_OK) {
    // Enabling a light never set gives it the default: white, pointing along +z.
    if (lights_.find(index) == lights_.end()) {
      D3DLIGHT9 light{};
      light.Type = D3DLIGHT_DIRECTIONAL;
      light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
      light.Direction = {0.0f, 0.0f, 1.0f};
      lights_[index] = light;
    }
    if (enable) {
      enabledLights_.insert(index);
    } else {
      enabledLights_.erase(index);
    }
  }
  return Finish("LightEnable", result, [&] { return FormatArguments({index, enable}); });
}

HRESULT DeviceImpl::GetLightEnable(std::uint32_t index, BOOL* enable) {
  if (enable == nullptr || lights_.find(index) == lights_.end()) return D3DERR_INVALIDCALL;
  *enable = enabledLights_.count(index) != 0 ? TRUE : FALSE;
  return D3D_OK;
}

HRESULT DeviceImpl::SetFVF(std::uint32_t fvf) {
  HRESULT result = CountCall("SetFVF");
  if (result == D3D_OK) {
    fvf_ = fvf;
    HoldReference(&declaration_, static_cast<IDirect3DVertexDeclaration9*>(nullptr));
  }
  return Finish("SetFVF", result, [&] { return FormatArguments({fvf}); });
}

HRESULT DeviceImpl::GetFVF(std::uint32_t* fvf) {
  if (fvf == nullptr) return D3DERR_INVALIDCALL;
  *fvf = fvf_;
  return D3D_OK;
}

HRESULT DeviceImpl::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
  HRESULT result = CountCall("SetVertexDeclaration");
  if (result == D3D_OK && !Owns(declaration, "SetVertexDeclaration")) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) {
    HoldReference(&declaration_, declaration);
    if (declaration != nullptr) fvf_ = 0;
  }
  return Finish("SetVertexDeclaration", result, [&] { return std::string(declaration != nullptr ? "object" : "null"); });
}

HRESULT DeviceImpl::SetVertexShader(IDirect3DVertexShader9* shader) {
  HRESULT result = CountCall("SetVertexShader");
  if (result == D3D_OK && !Owns(shader, "SetVertexShader")) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) HoldReference(&vertexShader_, shader);
  return Finish("SetVertexShader", result, [&] { return std::string(shader != nullptr ? "object" : "null"); });
}

HRESULT DeviceImpl::SetPixelShader(IDirect3DPixelShader9* shader) {
  HRESULT result = CountCall("SetPixelShader");
  if (result == D3D_OK && !Owns(shader, "SetPixelShader")) result = D3DERR_INVALIDCALL;
  if (result == D3D_OK) HoldReference(&pixelShader_, shader);
  return Finish("SetPixelShader", result, [&] { return std::string(shader != nullptr ? "object" : "null"); });
}

HRESULT DeviceImpl::StoreShaderConstants(std::vector<float>* bank, std::uint32_t start, const float* data,
                                         std::uint32_t vector4Count) {
  const std::uint32_t limit = bank == &pixelConstantsF_ ? kPixelConstantFLimit : kVertexConstantFLimit;
  if (data == nullptr || start >= limit || vector4Count > limit - start) return D3DERR_INVALIDCALL;
  const std::size_t end = static_cast<std::size_t>(start + vector4Count) * 4;
  if (bank->size() < end) bank->resize(end, 0.0f);
  std::copy(data, data + static_cast<std::size_t>(vector4Count) * 4, bank->begin() + start * 4);
  return D3D_OK;
}

HRESULT DeviceImpl::SetVertexShaderConstantF(std::uint32_t start, const float* data, std::uint32_t vector4Count) {
  HRESULT result = CountCall("SetVertexShaderConstantF");
  if (result == D3D_OK) result = StoreShaderConstants(&vertexConstantsF_, start, data, vector4Count);
  return Finish("SetVertexShaderConstantF", result, [&] { return FormatArguments({start, vector4Count}); });
}

HRESULT DeviceImpl::SetVertexShaderConstantB(std::uint32_t start, const BOOL* data, std::uint32_t count) {
  HRESULT result = CountCall("SetVertexShaderConstantB");
  if (result == D3D_OK &&
      (data == nullptr || start >= kVertexConstantBLimit || count > kVertexConstantBLimit - start)) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) {
    if (vertexConstantsB_.size() < start + count) vertexConstantsB_.resize(start + count, FALSE);
    std::copy(data, data + count, vertexConstantsB_.begin() + start);
  }
  return Finish("SetVertexShaderConstantB", result, [&] { return FormatArguments({start, count}); });
}

HRESULT DeviceImpl::SetPixelShaderConstantF(std::uint32_t start, const float* data, std::uint32_t vector4Count) {
  HRESULT result = CountCall("SetPixelShaderConstantF");
  if (result == D3D_OK) result = StoreShaderConstants(&pixelConstantsF_, start, data, vector4Count);
  return Finish("SetPixelShaderConstantF", result, [&] { return FormatArguments({start, vector4Count}); });
}

// ---------------------------------------------------------------- snapshot

void DeviceImpl::Snapshot(D3D9StateSnapshot* snapshot) const {
  std::copy(state_.render.begin(), state_.render.end(), snapshot->renderStates.begin());
  for (std::uint32_t stage = 0; stage < kD3DMaxTextureStages; ++stage) {
    std::copy(state_.stage[stage].begin(), state_.stage[stage].end(), snapshot->stageStates[stage].begin());
    std::copy(state_.sampler[stage].begin(), state_.sampler[stage].end(), snapshot->samplerStates[stage].begin());
  }
  snapshot->textures = textures_;
  snapshot->renderTarget = renderTarget_;
  snapshot->depthStencil = depthStencil_;
  snapshot->viewport = viewport_;
  snapshot->scissorRect = scissor_;
  snapshot->world = world_;
  snapshot->view = view_;
  snapshot->projection = projection_;
  snapshot->textureTransforms = textureTransforms_;
  snapshot->material = material_;
  snapshot->lights.assign(lights_.begin(), lights_.end());
  snapshot->enabledLights.assign(enabledLights_.begin(), enabledLights_.end());
  snapshot->fvf = fvf_;
  snapshot->vertexDeclaration = declaration_;
  snapshot->vertexShader = vertexShader_;
  snapshot->pixelShader = pixelShader_;
  snapshot->vertexShaderConstantsF = vertexConstantsF_;
  snapshot->vertexShaderConstantsB = vertexConstantsB_;
  snapshot->pixelShaderConstantsF = pixelConstantsF_;
  snapshot->sceneOpen = sceneOpen_;
  snapshot->dialogBoxMode = dialogBoxMode_;
  snapshot->maximumFrameLatency = maximumFrameLatency_;
  snapshot->behaviorFlags = behaviorFlags_;
  snapshot->presentParameters = parameters_;
}

}  // namespace plat::d3d9

namespace plat {

bool GetD3D9StateSnapshot(IDirect3DDevice9* device, D3D9StateSnapshot* snapshot) {
  if (device == nullptr || snapshot == nullptr) return false;
  static_cast<const d3d9::DeviceImpl*>(device)->Snapshot(snapshot);
  return true;
}

}  // namespace plat
