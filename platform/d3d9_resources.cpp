// Resources of the Direct3D 9 stand-in: pixel storage, surfaces, textures,
// volume textures, vertex and index buffers, shaders and declarations, with
// the pool and lock rules of a real device.
#include <algorithm>
#include <utility>

#include "platform/clock.h"
#include "platform/d3d9_internal.h"
#include "platform/d3d9_raster_bands.h"
#include "platform/d3d9_yuv.h"
#include "platform/window_present.h"

namespace plat::d3d9 {
namespace {

constexpr std::uint64_t kLargestStore = 1ull << 30;
constexpr std::uint32_t kLargestSide = 16384;

// A resource outlives its device only as memory: using it is refused, and counted.
HRESULT RefuseOrphaned(const LiveObject* object, const char* method) {
  if (!object->Orphaned()) return D3D_OK;
  CountForeignObjectUse(method, object);
  return D3DERR_INVALIDCALL;
}

int DxtBlockBytes(D3DFORMAT format) { return format == D3DFMT_DXT1 ? 8 : 16; }

const char* PoolName(D3DPOOL pool) {
  switch (pool) {
    case D3DPOOL_DEFAULT:
      return "default";
    case D3DPOOL_MANAGED:
      return "managed";
    case D3DPOOL_SYSTEMMEM:
      return "systemmem";
    default:
      return "unknown";
  }
}

const char* KindName(SurfaceKind kind) {
  switch (kind) {
    case SurfaceKind::kBackBuffer:
      return "BackBuffer";
    case SurfaceKind::kRenderTarget:
      return "RenderTarget";
    case SurfaceKind::kDepthStencil:
      return "DepthStencil";
    case SurfaceKind::kOffscreenPlain:
      return "OffscreenPlain";
    case SurfaceKind::kTextureLevel:
      return "TextureLevel";
  }
  return "Surface";
}

std::string SizeText(const PixelStore& store) {
  return std::to_string(store.width) + "x" + std::to_string(store.height) + " format " + std::to_string(store.format);
}

bool IsPowerOfTwo(std::uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// Texture creation rules shared by 2D and volume textures.
HRESULT CheckTextureRequest(const D3D9Profile& profile, bool exDevice, std::uint32_t usage, D3DFORMAT format,
                            D3DPOOL pool) {
  if (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED && pool != D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
  if (pool == D3DPOOL_MANAGED && exDevice) return D3DERR_INVALIDCALL;
  if ((usage & ~(D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC)) != 0) return D3DERR_INVALIDCALL;
  const bool renderTarget = (usage & D3DUSAGE_RENDERTARGET) != 0;
  const bool dynamic = (usage & D3DUSAGE_DYNAMIC) != 0;
  if (renderTarget && (pool != D3DPOOL_DEFAULT || dynamic)) return D3DERR_INVALIDCALL;
  if (dynamic && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
  const auto& accepted = renderTarget ? profile.renderTargetFormats : profile.textureFormats;
  if (!IsFormatIn(accepted, format) || !(IsColorFormat(format) || IsDxt(format))) return D3DERR_INVALIDCALL;
  if (renderTarget && IsDxt(format)) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT BuildLevels(D3DFORMAT format, std::uint32_t width, std::uint32_t height, std::uint32_t depth,
                    std::uint32_t levels, D3DPOOL pool, std::vector<std::unique_ptr<PixelStore>>* stores) {
  for (std::uint32_t level = 0; level < levels; ++level) {
    auto store = std::make_unique<PixelStore>();
    if (!AllocatePixels(store.get(), format, LevelSize(width, level), LevelSize(height, level),
                        LevelSize(depth, level))) {
      return pool == D3DPOOL_DEFAULT ? D3DERR_OUTOFVIDEOMEMORY : E_OUTOFMEMORY;
    }
    stores->push_back(std::move(store));
  }
  return D3D_OK;
}

}  // namespace

// ---------------------------------------------------------------- pixels

PixelStore::~PixelStore() { SettleFramesWaitingIn(this); }

bool PixelStore::ReadyForCpu() {
  if (!uses.Finish()) return false;
  SettleFramesWaitingIn(this);
  return true;
}

raster::Surface PixelStore::View() {
  raster::Surface view;
  view.pixels = bytes.data();
  view.pitchBytes = pitch;
  view.width = static_cast<int>(width);
  view.height = static_cast<int>(height);
  view.format = format;
  return view;
}

bool IsColorFormat(D3DFORMAT format) { return raster::BytesPerPixel(format) > 0; }

bool IsDxt(D3DFORMAT format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
         format == D3DFMT_DXT5;
}

bool IsDepth(D3DFORMAT format) { return format == D3DFMT_D16 || format == D3DFMT_D24X8 || format == D3DFMT_D32; }

bool AllocatePixels(PixelStore* store, D3DFORMAT format, std::uint32_t width, std::uint32_t height,
                    std::uint32_t depth) {
  if (width == 0 || height == 0 || depth == 0 || width > kLargestSide || height > kLargestSide ||
      depth > kLargestSide) {
    return false;
  }
  std::uint64_t pitch = 0;
  std::uint64_t rows = height;
  if (IsDxt(format)) {
    pitch = static_cast<std::uint64_t>((width + 3) / 4) * DxtBlockBytes(format);
    rows = (height + 3) / 4;
  } else if (IsDepth(format)) {
    pitch = static_cast<std::uint64_t>(width) * sizeof(float);
  } else if (IsColorFormat(format)) {
    pitch = static_cast<std::uint64_t>(width) * raster::BytesPerPixel(format);
  } else {
    return false;
  }
  const std::uint64_t slice = pitch * rows;
  if (slice * depth > kLargestStore) return false;
  SettleFramesWaitingIn(store);
  store->format = format;
  store->width = width;
  store->height = height;
  store->depth = depth;
  store->pitch = static_cast<int>(pitch);
  store->slicePitch = static_cast<int>(slice);
  store->bytes.assign(static_cast<std::size_t>(slice * depth), 0);
  return true;
}

std::uint32_t LevelSize(std::uint32_t size, std::uint32_t level) {
  const std::uint32_t reduced = level >= 32 ? 0 : size >> level;
  return reduced == 0 ? 1 : reduced;
}

std::uint32_t FullLevelCount(std::uint32_t width, std::uint32_t height, std::uint32_t depth) {
  std::uint32_t largest = std::max(width, std::max(height, depth));
  std::uint32_t levels = 1;
  while (largest > 1) {
    largest >>= 1;
    ++levels;
  }
  return levels;
}

bool ResolveRect(const WinRect* rect, std::uint32_t width, std::uint32_t height, WinRect* out) {
  if (rect == nullptr) {
    *out = {0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
    return width > 0 && height > 0;
  }
  if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom) return false;
  if (static_cast<std::uint32_t>(rect->right) > width || static_cast<std::uint32_t>(rect->bottom) > height) {
    return false;
  }
  *out = *rect;
  return true;
}

// ---------------------------------------------------------------- surfaces

SurfaceImpl::SurfaceImpl(SurfaceKind kind, std::unique_ptr<PixelStore> store, std::uint32_t usage, D3DPOOL pool,
                         D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality, bool lockable)
    : kind_(kind),
      ownedStore_(std::move(store)),
      store_(ownedStore_.get()),
      usage_(usage),
      pool_(pool),
      multiSample_(multiSample),
      quality_(quality),
      lockable_(lockable) {}

SurfaceImpl::SurfaceImpl(TextureImpl* container, PixelStore* store, std::uint32_t usage, D3DPOOL pool,
                         bool lockable)
    : kind_(SurfaceKind::kTextureLevel),
      store_(store),
      container_(container),
      usage_(usage),
      pool_(pool),
      multiSample_(D3DMULTISAMPLE_NONE),
      quality_(0),
      lockable_(lockable) {
  references_ = 0;
}

std::uint32_t SurfaceImpl::AddRef() {
  if (references_ == 0 && container_ != nullptr) container_->LevelSurfaceReferenced(true);
  return ++references_;
}

void SurfaceImpl::LastReferenceGone() {
  if (container_ != nullptr) {
    container_->LevelSurfaceReferenced(false);
    return;
  }
  delete this;  // the store waits for recorded draws that use its pixels
}

std::string SurfaceImpl::Describe() const {
  return std::string(KindName(kind_)) + " " + SizeText(*store_) + " pool " + PoolName(pool_);
}

HRESULT SurfaceImpl::GetDesc(D3DSURFACE_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  desc->Format = store_->format;
  desc->Type = D3DRTYPE_SURFACE;
  desc->Usage = usage_;
  desc->Pool = pool_;
  desc->MultiSampleType = multiSample_;
  desc->MultiSampleQuality = quality_;
  desc->Width = store_->width;
  desc->Height = store_->height;
  return D3D_OK;
}

HRESULT SurfaceImpl::LockRect(D3DLOCKED_RECT* locked, const WinRect* rect, std::uint32_t flags) {
  HRESULT result = CountCall("Surface.LockRect");
  if (result == D3D_OK) result = RefuseOrphaned(this, "Surface.LockRect");
  if (result == D3D_OK) result = Lock(locked, rect, flags);
  return Finish("Surface.LockRect", result, [&] { return Describe() + ", flags " + std::to_string(flags); });
}

HRESULT SurfaceImpl::UnlockRect() {
  HRESULT result = CountCall("Surface.UnlockRect");
  if (result == D3D_OK) result = Unlock();
  return Finish("Surface.UnlockRect", result, [&] { return Describe(); });
}

HRESULT SurfaceImpl::Lock(D3DLOCKED_RECT* locked, const WinRect* rect, std::uint32_t flags) {
  if (locked == nullptr) return D3DERR_INVALIDCALL;
  locked->Pitch = 0;
  locked->pBits = nullptr;
  if (locked_ || !lockable_ || multiSample_ != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
  // Video surfaces are locked whole: their planes share no pixel offset.
  if (rect != nullptr && IsVideoFormat(store_->format)) return D3DERR_INVALIDCALL;
  if ((flags & D3DLOCK_DISCARD) != 0 && (usage_ & D3DUSAGE_DYNAMIC) == 0) return D3DERR_INVALIDCALL;
  WinRect area;
  if (!ResolveRect(rect, store_->width, store_->height, &area)) return D3DERR_INVALIDCALL;
  // The caller may read or write any pixel: recorded draws using them finish
  // first, and a lock from a thread other than theirs is refused.
  if (!store_->ReadyForCpu()) return D3DERR_INVALIDCALL;
  std::size_t offset = 0;
  if (IsDxt(store_->format)) {
    // Blocks are locked whole: edges on multiples of 4 or on the surface's edge.
    const auto aligned = [](std::int32_t value, std::uint32_t edge) {
      return value % 4 == 0 || static_cast<std::uint32_t>(value) == edge;
    };
    if (area.left % 4 != 0 || area.top % 4 != 0 || !aligned(area.right, store_->width) ||
        !aligned(area.bottom, store_->height)) {
      return D3DERR_INVALIDCALL;
    }
    offset = static_cast<std::size_t>(area.top / 4) * store_->pitch +
             static_cast<std::size_t>(area.left / 4) * DxtBlockBytes(store_->format);
  } else {
    offset = static_cast<std::size_t>(area.top) * store_->pitch +
             static_cast<std::size_t>(area.left) * raster::BytesPerPixel(store_->format);
  }
  locked->Pitch = store_->pitch;
  locked->pBits = store_->bytes.data() + offset;
  locked_ = true;
  const std::uint32_t cost = CurrentReadbackCosts().renderSurfaceLock;
  if (cost > 0 && (kind_ == SurfaceKind::kBackBuffer || IsRenderTarget())) Sleep(cost);
  return D3D_OK;
}

HRESULT SurfaceImpl::Unlock() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  return D3D_OK;
}

SurfaceImpl* NewSurface(SurfaceKind kind, D3DFORMAT format, std::uint32_t width, std::uint32_t height,
                        std::uint32_t usage, D3DPOOL pool, D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality,
                        bool lockable) {
  auto store = std::make_unique<PixelStore>();
  if (!AllocatePixels(store.get(), format, width, height, 1)) return nullptr;
  return new SurfaceImpl(kind, std::move(store), usage, pool, multiSample, quality, lockable);
}

SurfaceImpl* AsSurface(IDirect3DSurface9* surface) { return static_cast<SurfaceImpl*>(surface); }

TextureImpl* AsTexture(IDirect3DBaseTexture9* texture) {
  if (texture == nullptr || texture->GetType() != D3DRTYPE_TEXTURE) return nullptr;
  return static_cast<TextureImpl*>(texture);
}

VolumeTextureImpl* AsVolumeTexture(IDirect3DBaseTexture9* texture) {
  if (texture == nullptr || texture->GetType() != D3DRTYPE_VOLUMETEXTURE) return nullptr;
  return static_cast<VolumeTextureImpl*>(texture);
}

// ---------------------------------------------------------------- textures

TextureImpl::TextureImpl(std::vector<std::unique_ptr<PixelStore>> levels, std::uint32_t usage, D3DPOOL pool)
    : levels_(std::move(levels)), usage_(usage), pool_(pool) {
  const bool lockable = pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC) != 0;
  for (auto& level : levels_) {
    surfaces_.push_back(std::make_unique<SurfaceImpl>(this, level.get(), usage, pool, lockable));
  }
}

void TextureImpl::LevelSurfaceReferenced(bool referenced) {
  if (referenced) {
    AddRef();
  } else {
    Release();
  }
}

std::string TextureImpl::Describe() const {
  return "Texture " + SizeText(*levels_[0]) + " levels " + std::to_string(levels_.size()) + " usage " +
         std::to_string(usage_) + " pool " + PoolName(pool_);
}

void TextureImpl::BindToDevice(std::uint32_t serial) {
  LiveObject::BindToDevice(serial);
  for (auto& surface : surfaces_) surface->BindToDevice(serial);
}

std::uint32_t TextureImpl::GetLevelCount() { return levelCount(); }

HRESULT TextureImpl::GetLevelDesc(std::uint32_t level, D3DSURFACE_DESC* desc) {
  if (level >= levelCount()) return D3DERR_INVALIDCALL;
  return surfaces_[level]->GetDesc(desc);
}

HRESULT TextureImpl::GetSurfaceLevel(std::uint32_t level, IDirect3DSurface9** surface) {
  HRESULT result = CountCall("Texture.GetSurfaceLevel");
  if (surface == nullptr) {
    result = D3DERR_INVALIDCALL;
  } else {
    *surface = nullptr;
    if (result == D3D_OK && level >= levelCount()) result = D3DERR_INVALIDCALL;
    if (result == D3D_OK) {
      surfaces_[level]->AddRef();
      *surface = surfaces_[level].get();
    }
  }
  return Finish("Texture.GetSurfaceLevel", result, [&] { return Describe() + ", level " + std::to_string(level); });
}

HRESULT TextureImpl::LockRect(std::uint32_t level, D3DLOCKED_RECT* locked, const WinRect* rect,
                              std::uint32_t flags) {
  HRESULT result = CountCall("Texture.LockRect");
  if (result == D3D_OK) result = RefuseOrphaned(this, "Texture.LockRect");
  if (result == D3D_OK) {
    result = level < levelCount() ? surfaces_[level]->Lock(locked, rect, flags) : D3DERR_INVALIDCALL;
  }
  return Finish("Texture.LockRect", result, [&] {
    return Describe() + ", level " + std::to_string(level) + ", flags " + std::to_string(flags);
  });
}

HRESULT TextureImpl::UnlockRect(std::uint32_t level) {
  HRESULT result = CountCall("Texture.UnlockRect");
  if (result == D3D_OK) result = level < levelCount() ? surfaces_[level]->Unlock() : D3DERR_INVALIDCALL;
  return Finish("Texture.UnlockRect", result, [&] { return Describe() + ", level " + std::to_string(level); });
}

HRESULT CreateTextureObject(const D3D9Profile& profile, bool exDevice, std::uint32_t width, std::uint32_t height,
                            std::uint32_t levels, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DTexture9** texture) {
  if (texture == nullptr) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  if (width == 0 || height == 0) return D3DERR_INVALIDCALL;
  const HRESULT request = CheckTextureRequest(profile, exDevice, usage, format, pool);
  if (FAILED(request)) return request;
  const D3DCAPS9& caps = profile.caps;
  const std::uint32_t maxWidth = caps.MaxTextureWidth != 0 ? caps.MaxTextureWidth : 256;
  const std::uint32_t maxHeight = caps.MaxTextureHeight != 0 ? caps.MaxTextureHeight : 256;
  if (width > maxWidth || height > maxHeight) return D3DERR_INVALIDCALL;
  if ((caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0 && width != height) return D3DERR_INVALIDCALL;
  const std::uint32_t fullLevels = FullLevelCount(width, height, 1);
  if (levels == 0) levels = fullLevels;
  if (levels > fullLevels) return D3DERR_INVALIDCALL;
  if ((caps.TextureCaps & D3DPTEXTURECAPS_POW2) != 0 && (!IsPowerOfTwo(width) || !IsPowerOfTwo(height))) {
    // Other sizes only under the conditional rule: one level, no compression.
    const bool conditional = (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0;
    if (!conditional || levels != 1 || IsDxt(format)) return D3DERR_INVALIDCALL;
  }
  std::vector<std::unique_ptr<PixelStore>> stores;
  const HRESULT built = BuildLevels(format, width, height, 1, levels, pool, &stores);
  if (FAILED(built)) return built;
  *texture = new TextureImpl(std::move(stores), usage, pool);
  return D3D_OK;
}

// ---------------------------------------------------------------- volume textures

VolumeTextureImpl::VolumeTextureImpl(std::vector<std::unique_ptr<PixelStore>> levels, std::uint32_t usage,
                                     D3DPOOL pool)
    : levels_(std::move(levels)), locked_(levels_.size(), false), usage_(usage), pool_(pool) {}

std::string VolumeTextureImpl::Describe() const {
  return "VolumeTexture " + SizeText(*levels_[0]) + "x" + std::to_string(levels_[0]->depth) + " pool " +
         PoolName(pool_);
}

std::uint32_t VolumeTextureImpl::GetLevelCount() { return levelCount(); }

HRESULT VolumeTextureImpl::GetLevelDesc(std::uint32_t level, D3DVOLUME_DESC* desc) {
  if (desc == nullptr || level >= levelCount()) return D3DERR_INVALIDCALL;
  const PixelStore& store = *levels_[level];
  *desc = {store.format, D3DRTYPE_VOLUME, usage_, pool_, store.width, store.height, store.depth};
  return D3D_OK;
}

HRESULT VolumeTextureImpl::LockBox(std::uint32_t level, D3DLOCKED_BOX* locked, const D3DBOX* box,
                                   std::uint32_t flags) {
  HRESULT result = CountCall("VolumeTexture.LockBox");
  if (result == D3D_OK) result = RefuseOrphaned(this, "VolumeTexture.LockBox");
  if (result == D3D_OK) {
    const bool lockable = pool_ != D3DPOOL_DEFAULT || (usage_ & D3DUSAGE_DYNAMIC) != 0;
    if (locked == nullptr || level >= levelCount() || locked_[level] || !lockable ||
        ((flags & D3DLOCK_DISCARD) != 0 && (usage_ & D3DUSAGE_DYNAMIC) == 0)) {
      result = D3DERR_INVALIDCALL;
    }
  }
  if (result == D3D_OK) {
    PixelStore& store = *levels_[level];
    const D3DBOX whole = {0, 0, store.width, store.height, 0, store.depth};
    const D3DBOX area = box != nullptr ? *box : whole;
    if (area.Left >= area.Right || area.Top >= area.Bottom || area.Front >= area.Back || area.Right > store.width ||
        area.Bottom > store.height || area.Back > store.depth) {
      result = D3DERR_INVALIDCALL;
    } else {
      const std::size_t offset = static_cast<std::size_t>(area.Front) * store.slicePitch +
                                 static_cast<std::size_t>(area.Top) * store.pitch +
                                 static_cast<std::size_t>(area.Left) * raster::BytesPerPixel(store.format);
      locked->RowPitch = store.pitch;
      locked->SlicePitch = store.slicePitch;
      locked->pBits = store.bytes.data() + offset;
      locked_[level] = true;
    }
  }
  return Finish("VolumeTexture.LockBox", result, [&] { return Describe() + ", level " + std::to_string(level); });
}

HRESULT VolumeTextureImpl::UnlockBox(std::uint32_t level) {
  HRESULT result = CountCall("VolumeTexture.UnlockBox");
  if (result == D3D_OK) {
    if (level >= levelCount() || !locked_[level]) {
      result = D3DERR_INVALIDCALL;
    } else {
      locked_[level] = false;
    }
  }
  return Finish("VolumeTexture.UnlockBox", result, [&] { return Describe() + ", level " + std::to_string(level); });
}

HRESULT CreateVolumeTextureObject(const D3D9Profile& profile, bool exDevice, std::uint32_t width,
                                  std::uint32_t height, std::uint32_t depth, std::uint32_t levels,
                                  std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DVolumeTexture9** texture) {
  if (texture == nullptr) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  if (width == 0 || height == 0 || depth == 0) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_RENDERTARGET) != 0 || IsDxt(format)) return D3DERR_INVALIDCALL;
  const HRESULT request = CheckTextureRequest(profile, exDevice, usage, format, pool);
  if (FAILED(request)) return request;
  const D3DCAPS9& caps = profile.caps;
  if ((caps.TextureCaps & D3DPTEXTURECAPS_VOLUMEMAP) == 0) return D3DERR_INVALIDCALL;
  const std::uint32_t extent = caps.MaxVolumeExtent;
  if (width > extent || height > extent || depth > extent) return D3DERR_INVALIDCALL;
  const std::uint32_t fullLevels = FullLevelCount(width, height, depth);
  if (levels == 0) levels = fullLevels;
  if (levels > fullLevels) return D3DERR_INVALIDCALL;
  std::vector<std::unique_ptr<PixelStore>> stores;
  const HRESULT built = BuildLevels(format, width, height, depth, levels, pool, &stores);
  if (FAILED(built)) return built;
  *texture = new VolumeTextureImpl(std::move(stores), usage, pool);
  return D3D_OK;
}

// ---------------------------------------------------------------- buffers

HRESULT BufferMemory::Lock(std::uint32_t offset, std::uint32_t size, void** data) {
  if (data == nullptr) return D3DERR_INVALIDCALL;
  *data = nullptr;
  const std::uint64_t length = bytes.size();
  if (offset >= length) return D3DERR_INVALIDCALL;
  if (size != 0 && static_cast<std::uint64_t>(offset) + size > length) return D3DERR_INVALIDCALL;
  *data = bytes.data() + offset;
  ++lockCount;
  return D3D_OK;
}

HRESULT BufferMemory::Unlock() {
  if (lockCount == 0) return D3DERR_INVALIDCALL;
  --lockCount;
  return D3D_OK;
}

VertexBufferImpl::VertexBufferImpl(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool)
    : usage_(usage), fvf_(fvf), pool_(pool) {
  memory_.bytes.assign(length, 0);
}

HRESULT VertexBufferImpl::GetDesc(D3DBUFFER_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  *desc = {D3DFMT_UNKNOWN, D3DRTYPE_VERTEXBUFFER, usage_, pool_, static_cast<std::uint32_t>(memory_.bytes.size()),
           fvf_};
  return D3D_OK;
}

HRESULT VertexBufferImpl::Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) {
  HRESULT result = CountCall("VertexBuffer.Lock");
  if (result == D3D_OK) result = RefuseOrphaned(this, "VertexBuffer.Lock");
  if (result == D3D_OK) result = memory_.Lock(offset, size, data);
  return Finish("VertexBuffer.Lock", result, [&] { return FormatArguments({offset, size, flags}); });
}

HRESULT VertexBufferImpl::Unlock() {
  HRESULT result = CountCall("VertexBuffer.Unlock");
  if (result == D3D_OK) result = memory_.Unlock();
  return Finish("VertexBuffer.Unlock", result, [] { return std::string(); });
}

std::string VertexBufferImpl::Describe() const {
  return "VertexBuffer " + std::to_string(memory_.bytes.size()) + " bytes fvf " + std::to_string(fvf_) + " pool " +
         PoolName(pool_);
}

IndexBufferImpl::IndexBufferImpl(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool)
    : usage_(usage), format_(format), pool_(pool) {
  memory_.bytes.assign(length, 0);
}

HRESULT IndexBufferImpl::GetDesc(D3DBUFFER_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  *desc = {format_, D3DRTYPE_INDEXBUFFER, usage_, pool_, static_cast<std::uint32_t>(memory_.bytes.size()), 0};
  return D3D_OK;
}

HRESULT IndexBufferImpl::Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) {
  HRESULT result = CountCall("IndexBuffer.Lock");
  if (result == D3D_OK) result = RefuseOrphaned(this, "IndexBuffer.Lock");
  if (result == D3D_OK) result = memory_.Lock(offset, size, data);
  return Finish("IndexBuffer.Lock", result, [&] { return FormatArguments({offset, size, flags}); });
}

HRESULT IndexBufferImpl::Unlock() {
  HRESULT result = CountCall("IndexBuffer.Unlock");
  if (result == D3D_OK) result = memory_.Unlock();
  return Finish("IndexBuffer.Unlock", result, [] { return std::string(); });
}

std::string IndexBufferImpl::Describe() const {
  return "IndexBuffer " + std::to_string(memory_.bytes.size()) + " bytes format " + std::to_string(format_) +
         " pool " + PoolName(pool_);
}

// ---------------------------------------------------------------- shaders and declarations

std::string VertexShaderImpl::Describe() const { return "VertexShader version " + std::to_string(version_); }

std::string PixelShaderImpl::Describe() const { return "PixelShader version " + std::to_string(version_); }

HRESULT VertexDeclarationImpl::GetDeclaration(D3DVERTEXELEMENT9* elements, std::uint32_t* count) {
  if (count == nullptr) return D3DERR_INVALIDCALL;
  if (elements != nullptr) std::copy(elements_.begin(), elements_.end(), elements);
  *count = static_cast<std::uint32_t>(elements_.size());
  return D3D_OK;
}

std::string VertexDeclarationImpl::Describe() const {
  return "VertexDeclaration " + std::to_string(elements_.size() - 1) + " elements";
}

}  // namespace plat::d3d9
