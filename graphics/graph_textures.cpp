// Texture formats of graphs, the device objects of their tiles, and filling
// graphs with one colour.
#include "graphics/graph_textures.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "graphics/buffer_handles.h"
#include "graphics/color_value.h"
#include "graphics/device_release.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/texture_draw_info.h"
#include "softrender/shapes.h"

namespace qz {
namespace {

constexpr int kTextureDescriptorCount = 16;

struct TextureDescriptorTable {
  PixelFormatDescriptor entries[kTextureDescriptorCount];

  TextureDescriptorTable() : entries{} {
    SetColorDescFromMasks(&entries[0], 16, 0xF800, 0x07E0, 0x001F, 0);
    SetColorDescFromMasks(&entries[1], 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SetColorDescFromMasks(&entries[2], 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
    SetColorDescFromMasks(&entries[3], 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
    SetColorDescFromMasks(&entries[4], 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
    entries[5] = entries[3];
    for (int kind = 1; kind <= 5; ++kind) {
      PixelFormatDescriptor& dxt = entries[kGraphFormatDxt1 + kind - 1];
      dxt = entries[3];
      dxt.bitDepth = kind == 1 ? 4 : 8;
      dxt.dxtKind = static_cast<std::uint32_t>(kind);
    }
    entries[11] = entries[0];
    entries[12] = entries[1];
    entries[13] = entries[3];
    entries[14].bitDepth = 64;
    entries[14].bytesPerPixel = 8;
    entries[15].bitDepth = 128;
    entries[15].bytesPerPixel = 16;
  }
};

plat::D3DFORMAT DeviceFormatOf(const GraphImage& image) {
  if (image.pixelFormatCode < 0 || image.pixelFormatCode >= kTextureDescriptorCount) return plat::D3DFMT_UNKNOWN;
  return static_cast<plat::D3DFORMAT>(GetGraphicsState().caps.textureFormats[image.pixelFormatCode]);
}

// Zeroes every level of a lockable texture; the row count halves per level.
int ZeroTextureLevels(plat::IDirect3DTexture9* texture, int levels, int height) {
  for (int level = 0; level < levels; ++level) {
    plat::D3DLOCKED_RECT locked{};
    if (plat::FAILED(texture->LockRect(static_cast<std::uint32_t>(level), &locked, nullptr, 0))) {
      AppendLogText(text::kGraphTextureLockFailed);
      return -1;
    }
    const int rows = std::max(1, height >> level);
    auto* bits = static_cast<std::uint8_t*>(locked.pBits);
    for (int row = 0; row < rows; ++row) std::memset(bits + row * locked.Pitch, 0, static_cast<std::size_t>(locked.Pitch));
    texture->UnlockRect(static_cast<std::uint32_t>(level));
  }
  return 0;
}

int CreateDrawableSurfaces(plat::IDirect3DDevice9* device, const GraphImage& image, plat::D3DFORMAT format,
                           GraphTextureTile& tile) {
  const GraphFormatRequest& request = image.request;
  const auto width = static_cast<std::uint32_t>(tile.textureWidth);
  const auto height = static_cast<std::uint32_t>(tile.textureHeight);
  if (request.multiSampleType != 0 && tile.multiSampleSurface == nullptr) {
    if (plat::FAILED(device->CreateRenderTarget(width, height, format, request.multiSampleType,
                                                request.multiSampleQuality, plat::FALSE, &tile.multiSampleSurface,
                                                nullptr))) {
      tile.multiSampleSurface = nullptr;
      AppendLogText(text::kGraphRenderSurfaceFailed);
      return -1;
    }
  }
  if (request.multiSampleType != 0 || image.depthFlag != 0) {
    if (tile.depthSurface == nullptr &&
        plat::FAILED(device->CreateDepthStencilSurface(width, height, plat::D3DFMT_D16, request.multiSampleType,
                                                       request.multiSampleQuality, plat::FALSE, &tile.depthSurface,
                                                       nullptr))) {
      tile.depthSurface = nullptr;
      AppendLogText(text::kGraphMultiSampleDepthFailed);
      return -1;
    }
  } else {
    ReleaseAndClear(&tile.depthSurface);
  }
  return 0;
}

// The tile's texture (and staging copy), level-0 surface and initial contents.
int CreateTileTexture(plat::IDirect3DDevice9* device, const GraphImage& image, plat::D3DFORMAT format,
                      GraphTextureTile& tile) {
  const GraphFormatRequest& request = image.request;
  const bool drawable = request.drawable != 0;
  const bool staged = request.staged != 0 && !drawable;
  const auto width = static_cast<std::uint32_t>(tile.textureWidth);
  const auto height = static_cast<std::uint32_t>(tile.textureHeight);
  const auto levels = static_cast<std::uint32_t>(image.mipLevels);
  bool made = false;
  if (tile.texture == nullptr) {
    const plat::D3DPOOL pool = !drawable && request.staged == 0 ? plat::D3DPOOL_MANAGED : plat::D3DPOOL_DEFAULT;
    if (plat::FAILED(device->CreateTexture(width, height, levels, drawable ? plat::D3DUSAGE_RENDERTARGET : 0, format,
                                           pool, &tile.texture, nullptr))) {
      tile.texture = nullptr;
      AppendLogText(text::kGraphTextureCreateFailed);
      return -1;
    }
    made = true;
  }
  if (staged && tile.stagingTexture == nullptr) {
    if (plat::FAILED(device->CreateTexture(width, height, levels, plat::D3DUSAGE_DYNAMIC, format,
                                           plat::D3DPOOL_SYSTEMMEM, &tile.stagingTexture, nullptr))) {
      tile.stagingTexture = nullptr;
      ReleaseAndClear(&tile.texture);
      AppendLogText(text::kGraphMemoryTextureFailed);
      return -1;
    }
    made = true;
  }
  if (tile.surface == nullptr && plat::FAILED(tile.texture->GetSurfaceLevel(0, &tile.surface))) {
    tile.surface = nullptr;
    AppendLogText(text::kGraphSurfaceLevelFailed);
    return -1;
  }
  if (!made) return 0;
  if (drawable) {
    device->ColorFill(tile.surface, nullptr, 0);
  } else if (request.kind == 0) {
    plat::IDirect3DTexture9* written = staged ? tile.stagingTexture : tile.texture;
    if (ZeroTextureLevels(written, image.mipLevels, tile.textureHeight) != 0) return -1;
    if (staged) device->UpdateTexture(tile.stagingTexture, tile.texture);
  }
  return 0;
}

}  // namespace

const PixelFormatDescriptor* GetTextureFormatDescriptor(int code) {
  static const TextureDescriptorTable table;
  if (code < 0 || code >= kTextureDescriptorCount) return nullptr;
  return &table.entries[code];
}

const PixelFormatDescriptor* ChooseGraphTextureDescriptor(const GraphFormatRequest& request) {
  return GetTextureFormatDescriptor(GetPixelFormatCodeOfColorDesc(&request));
}

const PixelFormatDescriptor* ChooseTextureFormatForImage(int alpha, int colorKey, int bits32, int drawable) {
  GraphFormatRequest request{};
  request.textured = 1;
  request.alpha = alpha != 0 ? 1 : 0;
  request.colorKey = colorKey != 0 ? 1 : 0;
  request.drawable = drawable != 0 ? 1 : 0;
  request.bitDepth = bits32 != 0 ? 32 : 16;
  return ChooseGraphTextureDescriptor(request);
}

int CreateGraphTextures(GraphImage* image) {
  plat::IDirect3DDevice9* device = GetGraphicsState().device;
  if (device == nullptr) return -1;
  if (image->request.textured == 0) return 0;
  const plat::D3DFORMAT format = DeviceFormatOf(*image);
  if (format == plat::D3DFMT_UNKNOWN) {
    AppendLogText(text::kGraphNoTextureFormat);
    return -1;
  }
  // Without a managed pool every texture is filled through system memory.
  if (GetGraphicsState().direct3DIsEx != 0) image->request.staged = 1;
  for (int i = 0; i < image->tileCount; ++i) {
    GraphTextureTile& tile = image->tiles[i];
    if (image->request.drawable != 0 && CreateDrawableSurfaces(device, *image, format, tile) != 0) return -1;
    if (CreateTileTexture(device, *image, format, tile) != 0) return -1;
  }
  return 0;
}

void RecreateAllGraphTextures() {
  for (int slot = 0; slot < GetGraphEndSlot(); ++slot) {
    const GraphRecord* record = GetGraphRecordAtSlot(slot);
    if (record != nullptr && record->image != nullptr) CreateGraphTextures(record->image);
  }
  RecreateAllBufferDeviceObjects();
}

int FillGraphWithColor(GraphHandle graph, int red, int green, int blue, int alpha) {
  GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr) return -1;
  red = std::clamp(red, 0, 255);
  green = std::clamp(green, 0, 255);
  blue = std::clamp(blue, 0, 255);
  alpha = std::clamp(alpha, 0, 255);
  const GraphImage& image = *record->image;
  if (image.request.textured == 0) {
    FillMemImgRect(&record->softView, nullptr, MakeColorValue(red, green, blue));
    return 0;
  }
  plat::IDirect3DDevice9* device = GetGraphicsState().device;
  if (device == nullptr) return -1;
  if (image.request.drawable == 0) return 0;
  const plat::D3DCOLOR color = plat::D3DCOLOR_ARGB(alpha, red, green, blue);
  for (const TextureDrawEntry& entry : record->drawEntries) {
    const plat::WinRect rect{entry.sourceX, entry.sourceY, entry.sourceX + entry.width,
                             entry.sourceY + entry.height};
    device->ColorFill(entry.tile->surface, &rect, color);
  }
  return 0;
}

}  // namespace qz
