// Copies between surfaces on the stand-in device (UpdateSurface,
// UpdateTexture, GetRenderTargetData, StretchRect, ColorFill) with a real
// device's pool, format and rectangle rules, and pixel read-back for tests.
#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "platform/d3d9_device.h"
#include "platform/d3d9_yuv.h"

namespace plat::d3d9 {
namespace {

// Bytes a row of `width` pixels takes, and the rows `height` pixels take, in
// the store's layout (DXT counts 4x4 blocks).
std::size_t RowBytes(const PixelStore& store, std::uint32_t width) {
  if (IsDxt(store.format)) return static_cast<std::size_t>((width + 3) / 4) * (store.format == D3DFMT_DXT1 ? 8 : 16);
  return static_cast<std::size_t>(width) * raster::BytesPerPixel(store.format);
}

std::size_t ByteOffset(const PixelStore& store, std::int32_t x, std::int32_t y) {
  if (IsDxt(store.format)) return static_cast<std::size_t>(y / 4) * store.pitch + RowBytes(store, x);
  return static_cast<std::size_t>(y) * store.pitch + RowBytes(store, x);
}

// Copies a width x height block of raw pixels between stores of one format.
void CopyBlock(const PixelStore& source, std::int32_t sourceX, std::int32_t sourceY, PixelStore& destination,
               std::int32_t destinationX, std::int32_t destinationY, std::uint32_t width, std::uint32_t height) {
  const std::size_t bytes = RowBytes(source, width);
  const std::uint32_t rows = IsDxt(source.format) ? (height + 3) / 4 : height;
  const std::uint8_t* from = source.bytes.data() + ByteOffset(source, sourceX, sourceY);
  std::uint8_t* to = destination.bytes.data() + ByteOffset(destination, destinationX, destinationY);
  for (std::uint32_t row = 0; row < rows; ++row) {
    std::memmove(to + static_cast<std::size_t>(row) * destination.pitch,
                 from + static_cast<std::size_t>(row) * source.pitch, bytes);
  }
}

bool BlockAligned(const PixelStore& store, std::int32_t value, std::uint32_t edge) {
  return !IsDxt(store.format) || value % 4 == 0 || static_cast<std::uint32_t>(value) == edge;
}

bool IsColorTarget(SurfaceImpl* surface) {
  return surface->IsRenderTarget() || surface->kind() == SurfaceKind::kOffscreenPlain;
}

bool Overlaps(const WinRect& a, const WinRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

template <typename Texture>
bool AnyLevelLocked(Texture*) {
  return false;
}

bool AnyLevelLocked(TextureImpl* texture) {
  for (std::uint32_t level = 0; level < texture->levelCount(); ++level) {
    if (texture->levelSurface(level)->locked()) return true;
  }
  return false;
}

// Recorded draws and fills that use the texture's levels finish first.
template <typename Texture>
bool FinishLevelUses(Texture* texture) {
  for (std::uint32_t level = 0; level < texture->levelCount(); ++level) {
    if (!texture->level(level).ReadyForCpu()) return false;
  }
  return true;
}

// Copies the destination's levels from the source level of the same size on.
template <typename Texture>
HRESULT CopyLevels(Texture* source, Texture* destination) {
  if (source->pool() != D3DPOOL_SYSTEMMEM || destination->pool() != D3DPOOL_DEFAULT ||
      source->format() != destination->format() || AnyLevelLocked(source) || AnyLevelLocked(destination)) {
    return D3DERR_INVALIDCALL;
  }
  const PixelStore& top = destination->level(0);
  std::uint32_t first = 0;
  while (first < source->levelCount() &&
         (source->level(first).width != top.width || source->level(first).height != top.height ||
          source->level(first).depth != top.depth)) {
    ++first;
  }
  if (first == source->levelCount() || source->levelCount() - first < destination->levelCount() ||
      !FinishLevelUses(destination)) {
    return D3DERR_INVALIDCALL;
  }
  for (std::uint32_t level = 0; level < destination->levelCount(); ++level) {
    destination->level(level).bytes = source->level(first + level).bytes;
  }
  return D3D_OK;
}

}  // namespace

HRESULT DeviceImpl::UpdateSurface(IDirect3DSurface9* source, const WinRect* srcRect, IDirect3DSurface9* destination,
                                  const Point* dstPoint) {
  HRESULT result = CountCall("UpdateSurface");
  SurfaceImpl* from = AsSurface(source);
  SurfaceImpl* to = AsSurface(destination);
  WinRect area{};
  Point at = dstPoint != nullptr ? *dstPoint : Point{0, 0};
  if (result == D3D_OK) {
    if (from == nullptr || to == nullptr || !Owns(from, "UpdateSurface") || !Owns(to, "UpdateSurface") ||
        from->pool() != D3DPOOL_SYSTEMMEM || to->pool() != D3DPOOL_DEFAULT ||
        from->format() != to->format() || IsDepth(from->format()) || to->multiSample() != D3DMULTISAMPLE_NONE ||
        from->locked() || to->locked() || !ResolveRect(srcRect, from->width(), from->height(), &area) || at.x < 0 ||
        at.y < 0) {
      result = D3DERR_INVALIDCALL;
    }
  }
  if (result == D3D_OK) {
    const std::uint32_t width = static_cast<std::uint32_t>(area.right - area.left);
    const std::uint32_t height = static_cast<std::uint32_t>(area.bottom - area.top);
    const PixelStore& fromStore = from->store();
    PixelStore& toStore = to->store();
    if (static_cast<std::uint64_t>(at.x) + width > to->width() ||
        static_cast<std::uint64_t>(at.y) + height > to->height() ||
        !BlockAligned(fromStore, area.left, from->width()) || !BlockAligned(fromStore, area.top, from->height()) ||
        !BlockAligned(fromStore, area.right, from->width()) || !BlockAligned(fromStore, area.bottom, from->height()) ||
        !BlockAligned(toStore, at.x, to->width()) || !BlockAligned(toStore, at.y, to->height())) {
      result = D3DERR_INVALIDCALL;
    } else if (!toStore.ReadyForCpu()) {  // the source, in system memory, is never drawn
      result = D3DERR_INVALIDCALL;
    } else {
      CopyBlock(fromStore, area.left, area.top, toStore, at.x, at.y, width, height);
    }
  }
  return Finish("UpdateSurface", result, [&] {
    return (from != nullptr ? from->Describe() : "null") + std::string(" -> ") +
           (to != nullptr ? to->Describe() : "null") + ", " + FormatArguments({at.x, at.y});
  });
}

HRESULT DeviceImpl::UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination) {
  HRESULT result = CountCall("UpdateTexture");
  if (result == D3D_OK && (!Owns(source, "UpdateTexture") || !Owns(destination, "UpdateTexture"))) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) {
    if (TextureImpl* from = AsTexture(source); from != nullptr && AsTexture(destination) != nullptr) {
      result = CopyLevels(from, AsTexture(destination));
    } else if (VolumeTextureImpl* volume = AsVolumeTexture(source);
               volume != nullptr && AsVolumeTexture(destination) != nullptr) {
      result = CopyLevels(volume, AsVolumeTexture(destination));
    } else {
      result = D3DERR_INVALIDCALL;
    }
  }
  return Finish("UpdateTexture", result, [&] {
    const TextureImpl* from = AsTexture(source);
    const TextureImpl* to = AsTexture(destination);
    return (from != nullptr ? from->Describe() : "other") + std::string(" -> ") +
           (to != nullptr ? to->Describe() : "other");
  });
}

HRESULT DeviceImpl::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destination) {
  HRESULT result = CountCall("GetRenderTargetData");
  SurfaceImpl* from = AsSurface(renderTarget);
  SurfaceImpl* to = AsSurface(destination);
  if (result == D3D_OK) {
    if (from == nullptr || to == nullptr || !Owns(from, "GetRenderTargetData") || !Owns(to, "GetRenderTargetData") ||
        !from->IsRenderTarget() || from->multiSample() != D3DMULTISAMPLE_NONE ||
        to->pool() != D3DPOOL_SYSTEMMEM || from->format() != to->format() || from->width() != to->width() ||
        from->height() != to->height() || to->locked() || !from->store().ReadyForCpu()) {
      result = D3DERR_INVALIDCALL;
    } else {
      CopyBlock(from->store(), 0, 0, to->store(), 0, 0, from->width(), from->height());
      const std::uint32_t cost = CurrentReadbackCosts().renderTargetData;
      if (cost > 0) Sleep(cost);
    }
  }
  return Finish("GetRenderTargetData", result, [&] {
    return (from != nullptr ? from->Describe() : "null") + std::string(" -> ") +
           (to != nullptr ? to->Describe() : "null");
  });
}

HRESULT DeviceImpl::StretchRect(IDirect3DSurface9* source, const WinRect* srcRect, IDirect3DSurface9* destination,
                                const WinRect* dstRect, D3DTEXTUREFILTERTYPE filter) {
  HRESULT result = CountCall("StretchRect");
  SurfaceImpl* from = AsSurface(source);
  SurfaceImpl* to = AsSurface(destination);
  WinRect fromArea{};
  WinRect toArea{};
  if (result == D3D_OK) {
    if (from == nullptr || to == nullptr || !Owns(from, "StretchRect") || !Owns(to, "StretchRect") ||
        from->pool() != D3DPOOL_DEFAULT || to->pool() != D3DPOOL_DEFAULT || !IsColorTarget(from) || !IsColorTarget(to) ||
        !(IsColorFormat(from->format()) || IsVideoFormat(from->format())) ||
        !IsColorFormat(to->format()) || from->locked() || to->locked() || filter > D3DTEXF_LINEAR ||
        !ResolveRect(srcRect, from->width(), from->height(), &fromArea) ||
        !ResolveRect(dstRect, to->width(), to->height(), &toArea) || (from == to && Overlaps(fromArea, toArea)) ||
        !from->store().ReadyForCpu() || !to->store().ReadyForCpu()) {
      result = D3DERR_INVALIDCALL;
    }
  }
  if (result == D3D_OK) {
    const std::int32_t fromWidth = fromArea.right - fromArea.left;
    const std::int32_t fromHeight = fromArea.bottom - fromArea.top;
    const std::int32_t toWidth = toArea.right - toArea.left;
    const std::int32_t toHeight = toArea.bottom - toArea.top;
    if (IsVideoFormat(from->format())) {
      StretchVideoRect(from->store(), fromArea, to->store(), toArea);
    } else if (from->format() == to->format() && fromWidth == toWidth && fromHeight == toHeight) {
      CopyBlock(from->store(), fromArea.left, fromArea.top, to->store(), toArea.left, toArea.top,
                static_cast<std::uint32_t>(toWidth), static_cast<std::uint32_t>(toHeight));
    } else {
      // Nearest source pixel centre for each destination pixel centre.
      const raster::Surface fromView = from->store().View();
      const raster::Surface toView = to->store().View();
      for (std::int32_t y = 0; y < toHeight; ++y) {
        const std::int32_t sourceY =
            fromArea.top + static_cast<std::int32_t>((static_cast<std::int64_t>(2 * y + 1) * fromHeight) / (2 * toHeight));
        for (std::int32_t x = 0; x < toWidth; ++x) {
          const std::int32_t sourceX = fromArea.left + static_cast<std::int32_t>(
                                                           (static_cast<std::int64_t>(2 * x + 1) * fromWidth) / (2 * toWidth));
          raster::WritePixel(toView, toArea.left + x, toArea.top + y, raster::ReadPixel(fromView, sourceX, sourceY));
        }
      }
    }
  }
  return Finish("StretchRect", result, [&] {
    return (from != nullptr ? from->Describe() : "null") + std::string(" -> ") +
           (to != nullptr ? to->Describe() : "null") + ", " + std::to_string(filter);
  });
}

HRESULT DeviceImpl::ColorFill(IDirect3DSurface9* surface, const WinRect* rect, D3DCOLOR color) {
  HRESULT result = CountCall("ColorFill");
  SurfaceImpl* target = AsSurface(surface);
  WinRect area{};
  if (result == D3D_OK) {
    if (target == nullptr || !Owns(target, "ColorFill") || target->pool() != D3DPOOL_DEFAULT || !IsColorTarget(target) ||
        !IsColorFormat(target->format()) || target->locked() ||
        !ResolveRect(rect, target->width(), target->height(), &area) || !target->store().ReadyForCpu()) {
      result = D3DERR_INVALIDCALL;
    } else {
      const raster::Surface view = target->store().View();
      for (std::int32_t y = area.top; y < area.bottom; ++y) {
        for (std::int32_t x = area.left; x < area.right; ++x) raster::WritePixel(view, x, y, color);
      }
    }
  }
  return Finish("ColorFill", result, [&] {
    return (target != nullptr ? target->Describe() : "null") + ", " +
           FormatArguments({area.left, area.top, area.right, area.bottom, color});
  });
}

}  // namespace plat::d3d9

namespace plat {

bool ReadD3D9SurfaceArgb(IDirect3DSurface9* surface, std::vector<std::uint32_t>* pixels, int* width, int* height) {
  d3d9::SurfaceImpl* source = d3d9::AsSurface(surface);
  if (source == nullptr || pixels == nullptr || !source->store().ReadyForCpu()) return false;
  if (!d3d9::IsColorFormat(source->format()) && !d3d9::IsDxt(source->format())) return false;
  const raster::Surface view = source->store().View();
  pixels->resize(static_cast<std::size_t>(view.width) * view.height);
  for (int y = 0; y < view.height; ++y) {
    for (int x = 0; x < view.width; ++x) {
      (*pixels)[static_cast<std::size_t>(y) * view.width + x] = raster::ReadPixel(view, x, y);
    }
  }
  if (width != nullptr) *width = view.width;
  if (height != nullptr) *height = view.height;
  return true;
}

bool ReadD3D9DepthSurface(IDirect3DSurface9* surface, std::vector<float>* depths, int* width, int* height) {
  d3d9::SurfaceImpl* source = d3d9::AsSurface(surface);
  if (source == nullptr || depths == nullptr || !d3d9::IsDepth(source->format()) || !source->store().ReadyForCpu()) {
    return false;
  }
  const d3d9::PixelStore& store = source->store();
  depths->resize(static_cast<std::size_t>(store.width) * store.height);
  for (std::uint32_t y = 0; y < store.height; ++y) {
    std::memcpy(depths->data() + static_cast<std::size_t>(y) * store.width,
                store.bytes.data() + static_cast<std::size_t>(y) * store.pitch, store.width * sizeof(float));
  }
  if (width != nullptr) *width = static_cast<int>(store.width);
  if (height != nullptr) *height = static_cast<int>(store.height);
  return true;
}

}  // namespace plat
