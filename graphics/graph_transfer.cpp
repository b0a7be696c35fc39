// Writing base images into graphs: into the graph's MEMIMG on the software
// path; on the hardware path into the tiles' textures (through the staging
// texture when staged) or, for drawable graphs, through a system-memory
// surface into the tiles' surfaces.
#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "graphics/device_formats.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_textures.h"
#include "graphics/texture_draw_info.h"
#include "graphics/vertex_batch.h"
#include "image/image_decode.h"
#include "image/pixel_convert.h"
#include "softrender/pixel_write.h"

namespace qz {
namespace {

Rect Intersect(const Rect& a, const Rect& b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

int DxtKindOfFormat(plat::D3DFORMAT format) {
  const plat::D3DFORMAT kinds[] = {plat::D3DFMT_DXT1, plat::D3DFMT_DXT2, plat::D3DFMT_DXT3, plat::D3DFMT_DXT4,
                                   plat::D3DFMT_DXT5};
  for (int i = 0; i < 5; ++i) {
    if (kinds[i] == format) return i + 1;
  }
  return 0;
}

// The pixels one transfer reads and how its colour key is applied.
struct TransferSource {
  const BaseImage* image;
  const BaseImage* alpha;
  int keyToAlpha;
  std::uint32_t keyColor;  // 0x00RRGGBB
};

int Convert(void* destination, int pitch, const PixelFormatDescriptor* format, const TransferSource& source,
            const Rect& sourceRect) {
  const BaseImage* alpha = source.alpha;
  return ConvertColorFormatBlit(destination, pitch, format, source.image->pixels,
                                static_cast<int>(source.image->pitch), &source.image->format,
                                alpha != nullptr ? alpha->pixels : nullptr,
                                alpha != nullptr ? static_cast<int>(alpha->pitch) : 0,
                                alpha != nullptr ? &alpha->format : nullptr, 0, 0, &sourceRect, 0, source.keyToAlpha,
                                source.keyColor, kDitherNone, 0, 0, 0, 0);
}

// Copies the last column (and row) written into the one just beyond, so that
// filtering at the image's border samples the edge rather than blank texels.
void RepeatEdges(std::uint8_t* bits, int pitch, int bytesPerPixel, int width, int height, bool column, bool row) {
  const auto bpp = static_cast<std::size_t>(bytesPerPixel);
  if (column) {
    for (int y = 0; y < height; ++y) {
      std::uint8_t* line = bits + static_cast<std::ptrdiff_t>(y) * pitch;
      std::memcpy(line + width * bpp, line + (width - 1) * bpp, bpp);
    }
  }
  if (row) {
    std::memcpy(bits + static_cast<std::ptrdiff_t>(height) * pitch,
                bits + static_cast<std::ptrdiff_t>(height - 1) * pitch, (width + (column ? 1 : 0)) * bpp);
  }
}

void CopyRows(std::uint8_t* destination, int destinationPitch, const std::uint8_t* source, std::size_t sourcePitch,
              std::size_t rowBytes, int rows) {
  for (int y = 0; y < rows; ++y) {
    std::memcpy(destination + static_cast<std::ptrdiff_t>(y) * destinationPitch, source + y * sourcePitch,
                rowBytes);
  }
}

// One part of a plain texture: level 0 at (x, y), further levels reduced 2x2
// from the level before, in a work buffer of two halves.
struct PlainPart {
  Rect source;
  int x;
  int y;
  bool extraColumn;
  bool extraRow;
};

int WritePlainPart(plat::IDirect3DTexture9* texture, int mipLevels, const PixelFormatDescriptor* format,
                   const TransferSource& source, const PlainPart& part) {
  const int width = part.source.right - part.source.left;
  const int height = part.source.bottom - part.source.top;
  const int lockWidth = width + (part.extraColumn ? 1 : 0);
  const int lockHeight = height + (part.extraRow ? 1 : 0);
  const int bpp = format->bytesPerPixel;
  const plat::WinRect lockRect{part.x, part.y, part.x + lockWidth, part.y + lockHeight};
  plat::D3DLOCKED_RECT locked{};
  if (mipLevels <= 1) {
    if (plat::FAILED(texture->LockRect(0, &locked, &lockRect, 0))) {
      AppendLogText(text::kGraphTextureLockFailed);
      return -1;
    }
    auto* bits = static_cast<std::uint8_t*>(locked.pBits);
    const int result = Convert(bits, locked.Pitch, format, source, part.source);
    if (result >= 0) RepeatEdges(bits, locked.Pitch, bpp, width, height, part.extraColumn, part.extraRow);
    texture->UnlockRect(0);
    return result < 0 ? -1 : 0;
  }

  const std::size_t pitch = static_cast<std::size_t>(lockWidth) * static_cast<std::size_t>(bpp);
  const std::size_t half = pitch * static_cast<std::size_t>(lockHeight);
  auto* buffer = static_cast<std::uint8_t*>(AllocTracked(half * 2, __FILE__, __LINE__));
  if (buffer == nullptr) {
    AppendLogText(text::kGraphMipWorkBufferFailed);
    return -1;
  }
  int result = Convert(buffer, static_cast<int>(pitch), format, source, part.source);
  if (result >= 0) {
    RepeatEdges(buffer, static_cast<int>(pitch), bpp, width, height, part.extraColumn, part.extraRow);
    if (plat::FAILED(texture->LockRect(0, &locked, &lockRect, 0))) {
      AppendLogText(text::kGraphTextureLockFailed);
      result = -1;
    } else {
      CopyRows(static_cast<std::uint8_t*>(locked.pBits), locked.Pitch, buffer, pitch,
               static_cast<std::size_t>(lockWidth) * bpp, lockHeight);
      texture->UnlockRect(0);
    }
  }
  std::uint8_t* current = buffer;
  std::uint8_t* next = buffer + half;
  int levelWidth = lockWidth;
  int levelHeight = lockHeight;
  int x = part.x;
  int y = part.y;
  for (int level = 1; level < mipLevels && result >= 0; ++level) {
    // The reduction takes even sizes (or 1); an odd last column or row drops out.
    const int evenWidth = levelWidth > 1 ? levelWidth & ~1 : 1;
    const int evenHeight = levelHeight > 1 ? levelHeight & ~1 : 1;
    ReduceMipLevel2x2(format, next, static_cast<std::uint32_t>(pitch), current, static_cast<std::uint32_t>(pitch), 0,
                      0, 0, 0, evenWidth, evenHeight);
    levelWidth = std::max(1, levelWidth / 2);
    levelHeight = std::max(1, levelHeight / 2);
    x /= 2;
    y /= 2;
    const plat::WinRect levelRect{x, y, x + levelWidth, y + levelHeight};
    if (plat::FAILED(texture->LockRect(static_cast<std::uint32_t>(level), &locked, &levelRect, 0))) {
      AppendLogText(text::kGraphMipLockFailed);
      result = -1;
      break;
    }
    CopyRows(static_cast<std::uint8_t*>(locked.pBits), locked.Pitch, next, pitch,
             static_cast<std::size_t>(levelWidth) * bpp, levelHeight);
    texture->UnlockRect(static_cast<std::uint32_t>(level));
    std::swap(current, next);
  }
  FreeTracked(buffer);
  return result < 0 ? -1 : 0;
}

// Block data copied level by level as it is; each level's size is a quarter
// of the one before, never below 8 bytes, as the image lays its levels out.
int CopyDxtLevels(plat::IDirect3DTexture9* texture, const GraphTextureTile& tile, int mipLevels,
                  const BaseImage& image) {
  const std::size_t blockBytes = image.format.dxtKind == 1 ? 8 : 16;
  std::size_t levelBytes = (image.width / 4) * (image.height / 4) * blockBytes;
  const std::uint8_t* source = image.pixels;
  for (int level = 0; level < mipLevels; ++level) {
    plat::D3DLOCKED_RECT locked{};
    if (plat::FAILED(texture->LockRect(static_cast<std::uint32_t>(level), &locked, nullptr, 0))) {
      AppendLogText(level == 0 ? text::kGraphTextureLockFailed : text::kGraphMipLockFailed);
      return -1;
    }
    const int levelWidth = std::max(1, tile.textureWidth >> level);
    const int levelHeight = std::max(1, tile.textureHeight >> level);
    const std::size_t rowBytes = static_cast<std::size_t>((levelWidth + 3) / 4) * blockBytes;
    const int blockRows = (levelHeight + 3) / 4;
    std::size_t copied = 0;
    for (int row = 0; row < blockRows && copied < levelBytes; ++row) {
      const std::size_t bytes = std::min(rowBytes, levelBytes - copied);
      std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + static_cast<std::ptrdiff_t>(row) * locked.Pitch,
                  source + copied, bytes);
      copied += bytes;
    }
    texture->UnlockRect(static_cast<std::uint32_t>(level));
    source += levelBytes;
    levelBytes = std::max<std::size_t>(8, levelBytes / 4);
  }
  return 0;
}

// The graph's destination rectangle in image coordinates.
Rect DestinationInImage(const GraphRecord& record, int x, int y, const Rect& source) {
  return Rect{record.drawX + x, record.drawY + y, record.drawX + x + (source.right - source.left),
              record.drawY + y + (source.bottom - source.top)};
}

Rect EntryAreaInImage(const TextureDrawEntry& entry) {
  const GraphTextureTile& tile = *entry.tile;
  return Rect{tile.x + entry.sourceX, tile.y + entry.sourceY, tile.x + entry.sourceX + entry.width,
              tile.y + entry.sourceY + entry.height};
}

int TransferToDrawable(const GraphRecord& record, plat::D3DFORMAT format, const TransferSource& source,
                       const Rect& sourceRect, int x, int y) {
  plat::IDirect3DDevice9* device = GetGraphicsState().device;
  const PixelFormatDescriptor* descriptor = GetD3DFormatPixelDescriptor(format);
  if (descriptor == nullptr) return -1;
  const int width = sourceRect.right - sourceRect.left;
  const int height = sourceRect.bottom - sourceRect.top;
  plat::IDirect3DSurface9* copy = nullptr;
  if (plat::FAILED(device->CreateOffscreenPlainSurface(static_cast<std::uint32_t>(width),
                                                       static_cast<std::uint32_t>(height), format,
                                                       plat::D3DPOOL_SYSTEMMEM, &copy, nullptr))) {
    AppendLogText(text::kGraphTransferSurfaceFailed);
    return -1;
  }
  plat::D3DLOCKED_RECT locked{};
  if (plat::FAILED(copy->LockRect(&locked, nullptr, 0))) {
    copy->Release();
    AppendLogText(text::kGraphTextureLockFailed);
    return -1;
  }
  const int converted = Convert(locked.pBits, locked.Pitch, descriptor, source, sourceRect);
  copy->UnlockRect();
  int result = converted < 0 ? -1 : 0;
  const Rect destination = DestinationInImage(record, x, y, sourceRect);
  for (const TextureDrawEntry& entry : record.drawEntries) {
    if (result != 0) break;
    const Rect part = Intersect(destination, EntryAreaInImage(entry));
    if (IsEmpty(part)) continue;
    const plat::WinRect from{part.left - destination.left, part.top - destination.top,
                             part.right - destination.left, part.bottom - destination.top};
    const plat::Point to{part.left - entry.tile->x, part.top - entry.tile->y};
    for (plat::IDirect3DSurface9* target : {entry.tile->surface, entry.tile->multiSampleSurface}) {
      if (target != nullptr && plat::FAILED(device->UpdateSurface(copy, &from, target, &to))) {
        AppendLogText(text::kGraphDrawableTransferFailed);
        result = -1;
        break;
      }
    }
  }
  copy->Release();
  return result;
}

int TransferToTiles(const GraphRecord& record, plat::D3DFORMAT format, const TransferSource& source,
                    const Rect& sourceRect, int x, int y, int wholeImage) {
  plat::IDirect3DDevice9* device = GetGraphicsState().device;
  const GraphImage& image = *record.image;
  const int textureDxtKind = DxtKindOfFormat(format);
  const PixelFormatDescriptor* descriptor = textureDxtKind != 0 ? nullptr : GetD3DFormatPixelDescriptor(format);
  if (textureDxtKind == 0 && descriptor == nullptr) return -1;

  struct TilePart {
    GraphTextureTile* tile;
    Rect area;
  };
  std::vector<TilePart> areas;
  if (wholeImage != 0) {
    for (int i = 0; i < image.tileCount; ++i) {
      GraphTextureTile& tile = image.tiles[i];
      areas.push_back({&tile, Rect{tile.x, tile.y, tile.x + tile.usedWidth, tile.y + tile.usedHeight}});
    }
  } else {
    for (const TextureDrawEntry& entry : record.drawEntries) areas.push_back({entry.tile, EntryAreaInImage(entry)});
  }

  const Rect destination = DestinationInImage(record, x, y, sourceRect);
  for (const TilePart& tilePart : areas) {
    GraphTextureTile& tile = *tilePart.tile;
    const Rect part = Intersect(destination, tilePart.area);
    if (IsEmpty(part)) continue;
    const bool staged = image.request.staged != 0;
    plat::IDirect3DTexture9* written = staged ? tile.stagingTexture : tile.texture;
    PlainPart plain{};
    plain.source = Rect{sourceRect.left + part.left - destination.left, sourceRect.top + part.top - destination.top,
                        sourceRect.left + part.right - destination.left,
                        sourceRect.top + part.bottom - destination.top};
    plain.x = part.left - tile.x;
    plain.y = part.top - tile.y;
    plain.extraColumn = part.right == tile.x + tile.usedWidth && tile.textureWidth > tile.usedWidth;
    plain.extraRow = part.bottom == tile.y + tile.usedHeight && tile.textureHeight > tile.usedHeight;

    int result = 0;
    if (textureDxtKind != 0) {
      const BaseImage& pixels = *source.image;
      const bool wholeTexture = plain.x == 0 && plain.y == 0 && plain.source.left == 0 && plain.source.top == 0 &&
                                part.right - part.left == tile.textureWidth &&
                                part.bottom - part.top == tile.textureHeight &&
                                static_cast<int>(pixels.width) == tile.textureWidth &&
                                static_cast<int>(pixels.height) == tile.textureHeight;
      if (!wholeTexture || static_cast<int>(pixels.format.dxtKind) != textureDxtKind ||
          std::max(1, pixels.mipLevels) < image.mipLevels) {
        AppendLogText(text::kGraphDxtFromPlainImage);
        return -1;
      }
      result = CopyDxtLevels(written, tile, image.mipLevels, pixels);
    } else {
      result = WritePlainPart(written, image.mipLevels, descriptor, source, plain);
    }
    if (result != 0) return -1;
    if (staged) device->UpdateTexture(tile.stagingTexture, tile.texture);
  }
  return 0;
}

// A block-compressed source expanded to 32 bits, for targets that are not.
struct ExpandedSource {
  BaseImage image{};
  ~ExpandedSource() { FreeBaseImagePixels(&image); }
};

int ExpandDxtSource(const BaseImage& source, ExpandedSource* expanded) {
  expanded->image = source;
  const std::uint32_t size = GetBaseImageDataSize(&source);
  expanded->image.pixels = static_cast<std::uint8_t*>(AllocTracked(size, __FILE__, __LINE__));
  if (expanded->image.pixels != nullptr) {
    std::memcpy(expanded->image.pixels, source.pixels, size);
    if (DecompressDxtBaseImage(&expanded->image) == 0) return 0;
  }
  AppendLogText(text::kGraphDxtExpandFailed);
  return -1;
}

}  // namespace

int TransferImageToGraphTextures(GraphHandle graph, const Rect& sourceRect, int destinationX, int destinationY,
                                 const BaseImage* image, const BaseImage* alphaImage, int, int colorKey,
                                 int wholeImage) {
  const GraphicsState& state = GetGraphicsState();
  if (state.started == 0) return -1;
  GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr) return -1;
  FlushVertexBatch();
  if (sourceRect.right - sourceRect.left < 1 || sourceRect.bottom - sourceRect.top < 1) return 0;
  if (image == nullptr || image->pixels == nullptr) return -1;

  // Keep the read inside the source (and alpha) image and the write inside
  // the graph; a source that shrank since the graph was made reads less.
  Rect bounds{0, 0, static_cast<std::int32_t>(image->width), static_cast<std::int32_t>(image->height)};
  if (alphaImage != nullptr) {
    bounds = Intersect(bounds, Rect{0, 0, static_cast<std::int32_t>(alphaImage->width),
                                    static_cast<std::int32_t>(alphaImage->height)});
  }
  const Rect graphBounds{sourceRect.left - destinationX, sourceRect.top - destinationY,
                         sourceRect.left - destinationX + record->width, sourceRect.top - destinationY + record->height};
  const Rect source = Intersect(Intersect(sourceRect, bounds), graphBounds);
  if (IsEmpty(source)) return 0;
  const int x = destinationX + source.left - sourceRect.left;
  const int y = destinationY + source.top - sourceRect.top;

  const GraphImage& graphImage = *record->image;
  const bool textured = graphImage.request.textured != 0;
  if (textured && state.device == nullptr) return -1;
  const auto format =
      textured ? static_cast<plat::D3DFORMAT>(state.caps.textureFormats[graphImage.pixelFormatCode]) : 0;
  // Block data is copied as it is only into a texture of its own kind.
  ExpandedSource expanded;
  if (image->format.dxtKind != 0 && DxtKindOfFormat(format) == 0) {
    if (ExpandDxtSource(*image, &expanded) != 0) return -1;
    image = &expanded.image;
  }
  if (!textured) {
    return CopyBaseImageToMemImg(image, alphaImage, &record->softView, source.left, source.top,
                                 source.right - source.left, source.bottom - source.top, x, y, colorKey) < 0
               ? -1
               : 0;
  }
  const TransferSource transfer{image, alphaImage, colorKey != 0 && alphaImage == nullptr ? 1 : 0,
                                graphImage.transparentColor};
  if (graphImage.request.drawable != 0) return TransferToDrawable(*record, format, transfer, source, x, y);
  return TransferToTiles(*record, format, transfer, source, x, y, wholeImage);
}

int CopyBaseImageToGraph(const BaseImage* image, const BaseImage* alphaImage, int sourceX, int sourceY,
                         GraphHandle graph) {
  if (GetGraphicsState().started == 0) return -1;
  GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr) return -1;
  record->sourceX = sourceX;
  record->sourceY = sourceY;
  const Rect rect{sourceX, sourceY, sourceX + record->width, sourceY + record->height};
  const int colorKey = GetDrawSettings().transparentOnLoadOff == 0 ? 1 : 0;
  return TransferImageToGraphTextures(graph, rect, 0, 0, image, alphaImage, record->image->request.blendImage,
                                      colorKey, 0);
}

int CopyPixelDataToGraph(const BaseImage* image, const BaseImage* alphaImage, const Rect* sourceRect,
                         int destinationX, int destinationY, GraphHandle graph) {
  if (GetGraphicsState().started == 0) return -1;
  GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr || image == nullptr) return -1;
  Rect rect{0, 0, static_cast<std::int32_t>(image->width), static_cast<std::int32_t>(image->height)};
  record->sourceX = 0;
  record->sourceY = 0;
  if (sourceRect != nullptr) {
    rect = *sourceRect;
    record->sourceX = rect.left - destinationX;
    record->sourceY = rect.top - destinationY;
  }
  const int colorKey = GetDrawSettings().transparentOnLoadOff == 0 ? 1 : 0;
  return TransferImageToGraphTextures(graph, rect, destinationX, destinationY, image, alphaImage,
                                      record->image->request.blendImage, colorKey, 0);
}

}  // namespace qz
