// The graph handle table: allocation, creation, derivation, query and release.
#include "graphics/graph_handles.h"

#include <algorithm>
#include <new>

#include "core/handle.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_target.h"
#include "graphics/graph_restore.h"
#include "graphics/graph_textures.h"
#include "graphics/graph_tiling.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_settings.h"
#include "graphics/texture_draw_info.h"
#include "movie/movie_handles.h"

namespace qz {
namespace {

constinit HandleTable<GraphRecord, kGraphTableSize, kGraphHandle> gGraphs;

void FreeGraphImage(GraphImage* image) {
  if (image->request.textured != 0) {
    ReleaseTextureSet(image);
  } else {
    ReleaseMemImg(&image->memImg);
  }
  FreeTracked(image);
}

// What every software image is: drawable, one level, transparency by colour.
void MakeSoftwareRequest(GraphFormatRequest* request, int bitDepth) {
  request->textured = 0;
  request->bitDepth = static_cast<std::uint8_t>(bitDepth);
  request->software = 1;
  request->staged = 0;
  request->drawable = 1;
  request->mipLevels = 0;
  request->colorKey = 0;
}

GraphFormatRequest BuildFormatRequest(int mipLevels, int alpha, int palettised, int kind) {
  const DrawSettingsBlock& settings = GetDrawSettings();
  GraphFormatRequest request{};
  request.textured = GetGraphicsState().hardware3DOn != 0 ? 1 : 0;
  request.staged = settings.newGraphExtraOption;
  request.kind = static_cast<std::uint8_t>(kind);
  // The mip-level creation setting has no setter and stays 0: one level.
  request.mipLevels = static_cast<std::uint8_t>(mipLevels == -1 ? 1 : mipLevels);
  if (settings.newGraphUserFormat != 0) {
    // Drawable graphs; their alpha and multisample settings have no setter and stay 0.
    request.drawable = 1;
    request.staged = 1;
    request.kind = 0;
    request.mipLevels = 1;
  } else {
    request.colorKey = settings.newGraphColorKey != 0 ? 1 : 0;
    request.alpha = alpha != 0 ? 1 : 0;
  }
  const int screenBits = GetScreenColorBitDepth();
  if (request.textured != 0) {
    request.bitDepth =
        static_cast<std::uint8_t>(settings.newGraphColorBits != 0 ? settings.newGraphColorBits
                                  : alpha == 1                    ? 32
                                                                  : screenBits);
    if (request.alpha != 0) request.colorKey = 0;
  } else {
    MakeSoftwareRequest(&request, settings.newGraphColorBits != 0 ? settings.newGraphColorBits : screenBits);
    request.palettised = palettised != 0 ? 1 : 0;
  }
  return request;
}

GraphImage* AllocateGraphImage(int tileCount) {
  const std::size_t size = sizeof(GraphImage) + sizeof(GraphTextureTile) * static_cast<std::size_t>(tileCount);
  auto* image = static_cast<GraphImage*>(AllocTrackedZeroed(size, __FILE__, __LINE__));
  if (image == nullptr) {
    AppendLogText(text::kGraphImageAllocFailed);
    return nullptr;
  }
  if (tileCount > 0) image->tiles = reinterpret_cast<GraphTextureTile*>(image + 1);
  return image;
}

int SetUpSoftwareImage(GraphImage* image) {
  const GraphFormatRequest& request = image->request;
  const int format = request.bitDepth == 16 ? kMemImgFormatRgb565 : kMemImgFormatXrgb32;
  if (request.bitDepth == 16) {
    image->pixelFormatCode = request.alpha != 0 ? kGraphFormatSoftAlpha16Bit : kGraphFormatSoft16Bit;
  } else {
    image->pixelFormatCode = request.alpha != 0 ? kGraphFormatSoftAlpha32Bit : kGraphFormatSoft32Bit;
  }
  std::uint32_t transColor = 0xFFFF;
  if (request.palettised == 0) {
    const std::uint32_t rgb = image->transparentColor;
    transColor = PackColorByDescriptor(GetMemImgColorDesc(format, request.alpha, 0), (rgb >> 16) & 0xFF,
                                       (rgb >> 8) & 0xFF, rgb & 0xFF, 255);
  }
  if (InitMemImgEx(&image->memImg, image->width, image->height, -1, transColor, format, request.palettised,
                   request.alpha, 0, nullptr) != 0) {
    AppendLogText(text::kGraphMemImgFailed);
    return -1;
  }
  return 0;
}

int CreateGraph(GraphRecord* record, int mipLevels, int width, int height, int alpha, int palettised, int kind) {
  if (width < 1 || height < 1) return -1;
  const GraphFormatRequest request = BuildFormatRequest(mipLevels, alpha, palettised, kind);
  std::vector<GraphTextureTile> tiles;
  if (request.textured != 0) tiles = LayOutTextureTiles(width, height, request.drawable);

  GraphImage* image = AllocateGraphImage(static_cast<int>(tiles.size()));
  if (image == nullptr) return -1;
  image->refCount = 1;
  image->request = request;
  image->transparentColor = GetDrawSettings().transparentColor;
  image->width = width;
  image->height = height;
  record->image = image;
  record->drawX = 0;
  record->drawY = 0;
  record->width = width;
  record->height = height;

  if (request.textured != 0) {
    image->pixelFormatCode = GetPixelFormatCodeOfColorDesc(&image->request);
    image->mipLevels = request.mipLevels;
    image->tileCount = static_cast<std::int32_t>(tiles.size());
    std::copy(tiles.begin(), tiles.end(), image->tiles);
    if (CreateGraphTextures(image) != 0) return -1;
  } else if (SetUpSoftwareImage(image) != 0) {
    return -1;
  }
  return CreateTextureDrawInfo(record) < 0 ? -1 : 0;
}

}  // namespace

GraphHandle AllocateGraphSlot() {
  static constexpr HandleTablePolicy kPolicy{text::kGraphTableFull, true, text::kGraphRecordAllocFailed};
  const GraphHandle handle = gGraphs.Create(kPolicy);
  // The table was made from zeroed tracked memory; give it a real record,
  // keeping the check number the table wrote.
  GraphRecord* raw = gGraphs.Get(handle);
  const std::int32_t check = raw->check;
  GraphRecord* record = new (raw) GraphRecord{};
  record->check = check;
  record->handle = handle;
  record->movie = -1;
  return handle;
}

int InitGraphRecord(int mipLevels, GraphHandle handle, int width, int height, int alpha, int palettised, int kind) {
  GraphRecord* record = gGraphs.Get(handle);
  if (record == nullptr) return -1;
  if (CreateGraph(record, mipLevels, width, height, alpha, palettised, kind) != 0) {
    ReleaseGraph(handle);
    return -1;
  }
  return 0;
}

GraphHandle CreateBlankGraph(int width, int height, int) {
  EnsureScreenReady();
  const GraphHandle handle = AllocateGraphSlot();
  if (InitGraphRecord(-1, handle, width, height, GetDrawSettings().newGraphAlpha, 0, 0) != 0) return -1;
  return handle;
}

GraphHandle NewGraphForBaseImage(const BaseImage* image, const BaseImage* alphaImage, int) {
  if (GetGraphicsState().started == 0 || image == nullptr) return -1;
  EnsureScreenReady();
  if (alphaImage != nullptr && (alphaImage->width != image->width || alphaImage->height != image->height)) {
    return -1;
  }
  const PixelFormatDescriptor& format = image->format;
  const int alpha = format.alphaWidth != 0 || alphaImage != nullptr ? 1 : 0;
  const int palettised = format.bytesPerPixel == 1 && alpha == 0 ? 1 : 0;
  const GraphHandle handle = AllocateGraphSlot();
  if (InitGraphRecord(image->mipLevels >= 1 ? image->mipLevels : -1, handle, static_cast<int>(image->width),
                      static_cast<int>(image->height), alpha, palettised, static_cast<int>(format.dxtKind)) != 0) {
    return -1;
  }
  return handle;
}

int SetupDerivedGraph(GraphHandle handle, GraphHandle source, int x, int y, int width, int height) {
  GraphRecord* record = gGraphs.Get(handle);
  const GraphRecord* parent = gGraphs.Get(source);
  if (record == nullptr || parent == nullptr) return -1;
  record->image = parent->image;
  ++record->image->refCount;
  SetGraphRestoreFileName(handle, nullptr, 0, source);
  record->sourceX = parent->sourceX + x;
  record->sourceY = parent->sourceY + y;
  record->drawX = parent->drawX + x;
  record->drawY = parent->drawY + y;
  record->width = width;
  record->height = height;
  return CreateTextureDrawInfo(record) < 0 ? -1 : 0;
}

GraphHandle MakeSubRectGraph(int x, int y, int width, int height, GraphHandle source) {
  if (GetDrawSettings().skipDrawing == 1) return 0;
  const GraphRecord* parent = gGraphs.Get(source);
  if (parent == nullptr || x < 0 || y < 0 || x >= parent->width || y >= parent->height) return -1;
  if (width < 1 || height < 1) return -1;
  width = std::min(width, parent->width - x);
  height = std::min(height, parent->height - y);
  const GraphHandle handle = AllocateGraphSlot();
  if (SetupDerivedGraph(handle, source, x, y, width, height) != 0) {
    ReleaseGraph(handle);
    return -1;
  }
  return handle;
}

int MoveGraphImagesToSoftware() {
  int failures = 0;
  for (int slot = 0; slot < gGraphs.HighWaterMark(); ++slot) {
    GraphRecord* record = gGraphs.RecordAt(slot);
    if (record == nullptr || record->image == nullptr) continue;
    GraphImage* image = record->image;
    if (image->request.textured != 0) {
      // Images shared by several graphs move once; their tiles stay unused in the allocation.
      ReleaseTextureSet(image);
      image->tileCount = 0;
      image->tiles = nullptr;
      image->mipLevels = 0;
      image->request.kind = 0;
      image->request.palettised = 0;
      MakeSoftwareRequest(&image->request, GetScreenColorBitDepth());
      if (SetUpSoftwareImage(image) != 0) ++failures;
    }
    if (IsMemImgValid(&image->memImg) != 0 && CreateTextureDrawInfo(record) != 0) ++failures;
  }
  return failures == 0 ? 0 : -1;
}

GraphRecord* GetGraphRecord(GraphHandle handle) { return gGraphs.Get(handle); }

int IsValidGraphHandle(GraphHandle handle) { return gGraphs.IsValid(handle) ? 1 : 0; }

int QueryGraphSize(GraphHandle handle, int* width, int* height) {
  int w = 0;
  int h = 0;
  if (handle == kBackScreenGraph || handle == kFrontScreenGraph) {
    GetScreenModeSize(&w, &h);
  } else {
    const GraphRecord* record = gGraphs.Get(handle);
    if (record == nullptr) return -1;
    w = record->width;
    h = record->height;
  }
  if (width != nullptr) *width = w;
  if (height != nullptr) *height = h;
  return 0;
}

int AttachGraphDeletedFlag(GraphHandle handle, std::int32_t* flag) {
  GraphRecord* record = gGraphs.Get(handle);
  if (record == nullptr) return -1;
  record->deletedFlag = flag;
  if (flag != nullptr) *flag = 0;
  return 0;
}

int ReleaseGraph(GraphHandle handle, int) {
  GraphRecord* record = gGraphs.Get(handle);
  if (record == nullptr) return -1;
  CloseMovieHandle(record->movie);
  record->movie = -1;
  // Nothing may go on drawing into, or masking with, the pixels freed here.
  if (GetDrawTarget() == handle) SelectDrawTarget(kBackScreen);
  DetachBlendMaskImage(handle);
  if (GraphImage* image = record->image; image != nullptr) {
    if (image->request.textured == 0) ReleaseMemImg(&record->softView);
    if (--image->refCount == 0) FreeGraphImage(image);
    record->image = nullptr;
  }
  for (void*& block : record->ownedBlocks) {
    FreeTracked(block);
    block = nullptr;
  }
  ReleaseGraphRestoreSource(record->restoreSource);
  record->restoreSource = nullptr;
  std::int32_t* deletedFlag = record->deletedFlag;
  // The table frees the memory; the entries' own storage goes first.
  std::vector<TextureDrawEntry>().swap(record->drawEntries);
  gGraphs.Delete(handle);
  gGraphs.LowerHighWaterMark();
  if (deletedFlag != nullptr) *deletedFlag = 1;
  return 0;
}

int ReleaseAllGraphs() {
  if (GetGraphicsState().started == 0) return 0;
  for (int slot = 0; slot < gGraphs.HighWaterMark(); ++slot) {
    const GraphHandle handle = gGraphs.HandleAt(slot);
    if (handle != kNoHandle) ReleaseGraph(handle);
  }
  return 0;
}

int GetGraphCount() { return gGraphs.LiveCount(); }

int GetGraphEndSlot() { return gGraphs.HighWaterMark(); }

GraphRecord* GetGraphRecordAtSlot(int slot) { return gGraphs.RecordAt(slot); }

}  // namespace qz
