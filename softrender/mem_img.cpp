// Software image views and their shared pixel blocks: set-up with the pitch
// rules, sub-views, reference-counted release, raw fills and the ten static
// colour descriptors of the block formats.
#include "softrender/mem_img.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>
#include <mutex>

#include "core/memory.h"

namespace qz {
namespace {

// Whether the pixel's bytes (bpp of them; 1, 2 or 4) are all the same.
bool RepeatsOneByte(std::uint32_t value, int bpp) {
  const std::uint32_t byte = value & 0xFF;
  if (bpp == 1) return true;
  if (bpp == 2) return (value & 0xFFFF) == byte * 0x0101u;
  return value == byte * 0x01010101u;
}

int BytesPerPixel(int format, int palettised, int hasAlpha) {
  if (palettised) return 1;
  switch (format) {
    case kMemImgFormatRgb565: return hasAlpha ? 4 : 2;
    case kMemImgFormatXrgb32: return 4;
    case kMemImgFormatMono8: return 1;
    default: return 2;
  }
}

void* AllocBytes(std::int64_t size, bool zeroed) {
  const auto n = static_cast<std::size_t>(size > 0 ? size : 1);
  return zeroed ? QZ_ALLOC_ZEROED(n) : QZ_ALLOC(n);
}

// Released pixel memory waiting for a block of its size, the oldest first.
struct KeptPixels {
  std::uint8_t* pixels = nullptr;
  std::int64_t size = 0;
};
constexpr std::int64_t kKeptPixelsMinimumBytes = 128 * 1024;
constexpr std::int64_t kKeptPixelsMaximumBytes = std::int64_t{32} << 20;
constexpr int kKeptPixelsMaximum = 16;

struct KeptPixelsStore {
  std::mutex mutex;
  bool keeping = false;
  KeptPixels kept[kKeptPixelsMaximum];
  int count = 0;
  std::int64_t bytes = 0;
};

KeptPixelsStore& Kept() {
  static KeptPixelsStore store;
  return store;
}

std::uint8_t* TakeKeptPixels(std::int64_t size) {
  if (size < kKeptPixelsMinimumBytes) return nullptr;
  KeptPixelsStore& store = Kept();
  std::lock_guard<std::mutex> lock(store.mutex);
  for (int i = store.count - 1; i >= 0; --i) {
    if (store.kept[i].size != size) continue;
    std::uint8_t* pixels = store.kept[i].pixels;
    store.bytes -= size;
    std::copy(store.kept + i + 1, store.kept + store.count, store.kept + i);
    --store.count;
    return pixels;
  }
  return nullptr;
}

void KeepOrFreePixels(std::uint8_t* pixels, std::int64_t size) {
  if (pixels == nullptr || size < kKeptPixelsMinimumBytes || size > kKeptPixelsMaximumBytes) {
    QZ_FREE(pixels);
    return;
  }
  KeptPixelsStore& store = Kept();
  std::lock_guard<std::mutex> lock(store.mutex);
  if (!store.keeping) {
    QZ_FREE(pixels);
    return;
  }
  // The oldest make room.
  int dropped = 0;
  while (store.count - dropped == kKeptPixelsMaximum || store.bytes + size > kKeptPixelsMaximumBytes) {
    store.bytes -= store.kept[dropped].size;
    QZ_FREE(store.kept[dropped].pixels);
    ++dropped;
  }
  std::copy(store.kept + dropped, store.kept + store.count, store.kept);
  store.count -= dropped;
  store.kept[store.count++] = KeptPixels{pixels, size};
  store.bytes += size;
}

void FillSingleChannel(PixelFormatDescriptor* desc, int depth) {
  const std::uint32_t mask = depth == 8 ? 0xFFu : 0xFFFFu;
  const auto width = static_cast<std::uint8_t>(depth);
  desc->bitDepth = static_cast<std::uint8_t>(depth);
  desc->bytesPerPixel = static_cast<std::uint16_t>(depth / 8);
  desc->redMask = desc->greenMask = desc->blueMask = desc->alphaMask = mask;
  desc->redWidth = desc->greenWidth = desc->blueWidth = desc->alphaWidth = width;
}

}  // namespace

const PixelFormatDescriptor* GetMemImgColorDesc(int format, int hasAlpha, int palettised) {
  static PixelFormatDescriptor descs[10];
  static bool built[10];
  if (static_cast<unsigned>(format) > 3u) return nullptr;
  const bool alpha = hasAlpha != 0;
  const bool pal = palettised != 0;
  const int index = format >= 2 ? 6 + format : format * 4 + (alpha ? 2 : 0) + (pal ? 1 : 0);
  PixelFormatDescriptor* desc = &descs[index];
  if (built[index]) return desc;
  std::memset(desc, 0, sizeof(*desc));
  if (format == kMemImgFormatMono8) {
    FillSingleChannel(desc, 8);
  } else if (format == kMemImgFormatMono16) {
    FillSingleChannel(desc, 16);
  } else if (format == kMemImgFormatRgb565) {
    SetColorDescFromMasks(desc, pal ? 8 : (alpha ? 32 : 16), 0xF800, 0x07E0, 0x001F, alpha ? 0x00FF0000u : 0);
  } else {
    SetColorDescFromMasks(desc, pal ? 8 : 32, 0x00FF0000, 0x0000FF00, 0x000000FF, alpha ? 0xFF000000u : 0);
  }
  built[index] = true;
  return desc;
}

int InitMemImgEx(MEMIMG* view, int width, int height, int pitch, std::uint32_t transColor, int format,
                 int palettised, int hasAlpha, int extraBuffers, void* userPixels) {
  if (view->magic == kMemImgMagic) return -1;
  if (static_cast<unsigned>(format) > 3u || width < 0 || height < 0 || pitch < -1) return -1;

  // Resolve the flags and sizes before allocating, so a request whose buffers
  // would not fit in 32 bits is refused instead of getting a short block.
  const int pal = format >= 2 ? 0 : (palettised == 1 ? 1 : 0);
  const int alpha = format >= 2 || pal ? 0 : (hasAlpha == 1 ? 1 : 0);
  const int bpp = BytesPerPixel(format, pal, alpha);
  const std::int64_t rowBytes = static_cast<std::int64_t>(bpp) * width;
  const std::int64_t blockPitch = pitch == -1 ? ((rowBytes + 15) & ~std::int64_t{15}) : pitch;
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  if (blockPitch < rowBytes || blockPitch * height > kMax || (static_cast<std::int64_t>(width) + 5) * height > kMax) {
    return -1;
  }

  if (view->block == nullptr) {
    view->block = static_cast<MemImgPixelBlock*>(AllocBytes(sizeof(MemImgPixelBlock), true));
    if (view->block == nullptr) return -1;
  }
  MemImgPixelBlock* b = view->block;
  b->width = width;
  b->height = height;
  b->transColor = transColor;
  b->format = format;
  b->palettised = pal;
  b->hasAlpha = alpha;
  b->refCount = 1;
  b->alphaPlaneValid = 0;
  b->runTableValid = 0;

  if (pal) {
    if (b->palette == nullptr) {
      b->palette = static_cast<std::uint8_t*>(AllocBytes(2048, true));
      if (b->palette == nullptr) return -1;
    }
    b->paletteCopy = b->palette + 1024;
  } else {
    QZ_FREE(b->palette);
    b->palette = nullptr;
    b->paletteCopy = nullptr;
  }

  b->pitch = static_cast<std::int32_t>(blockPitch);
  const std::int64_t r = pitch == -1 ? rowBytes : pitch;
  std::int64_t pow2 = 1;
  int log2 = 0;
  while (pow2 < r) {
    pow2 <<= 1;
    ++log2;
  }
  b->pitchLog2 = blockPitch == pow2 ? log2 : -1;
  b->colorDesc = GetMemImgColorDesc(format, alpha, pal);

  const std::int64_t size = blockPitch * height;
  if (userPixels != nullptr) {
    b->pixels = static_cast<std::uint8_t*>(userPixels);
    b->userMemory = 1;
  } else {
    b->pixels = TakeKeptPixels(size);
    if (b->pixels == nullptr) b->pixels = static_cast<std::uint8_t*>(AllocBytes(size, false));
    b->userMemory = 0;
    if (b->pixels == nullptr) return -1;
  }

  if (extraBuffers != 0) {
    if (alpha && b->alphaPlane == nullptr) {
      b->alphaPlane = static_cast<std::uint8_t*>(AllocBytes(size, false));
      if (b->alphaPlane == nullptr) return -1;
    }
    if (format != kMemImgFormatMono8 && b->runTable == nullptr) {
      b->runTable = static_cast<std::uint8_t*>(AllocBytes((static_cast<std::int64_t>(width) + 5) * height, false));
      if (b->runTable == nullptr) return -1;
    }
  }

  view->magic = kMemImgMagic;
  view->width = width;
  view->height = height;
  view->pixels = b->pixels;
  view->alphaPlane = b->alphaPlane;
  return 0;
}

int InitMemImg(MEMIMG* view, int width, int height, int format, int screenBitDepth) {
  // Zeroing a valid view would drop its block reference.
  if (view->magic == kMemImgMagic) return -1;
  std::memset(view, 0, sizeof(*view));
  if (format == -1) format = screenBitDepth == 16 ? kMemImgFormatRgb565 : kMemImgFormatXrgb32;
  return InitMemImgEx(view, width, height, -1, 0, format, 0, 0, 0, nullptr);
}

int MakeSubMemImg(MEMIMG* view, const MEMIMG* parent, int x, int y, int width, int height) {
  if (!IsMemImgValid(parent)) return -1;
  if (x < 0 || y < 0 || width < 0 || height < 0 || static_cast<std::int64_t>(x) + width > parent->width ||
      static_cast<std::int64_t>(y) + height > parent->height) {
    return -1;
  }
  // Overwriting a valid view would leak its reference.
  assert(view->magic != kMemImgMagic);
  MemImgPixelBlock* b = parent->block;
  const std::int64_t offset = static_cast<std::int64_t>(y) * b->pitch + static_cast<std::int64_t>(x) * b->colorDesc->bytesPerPixel;
  view->width = width;
  view->height = height;
  view->magic = kMemImgMagic;
  view->pixels = parent->pixels + offset;
  view->alphaPlane = b->alphaPlane != nullptr ? parent->alphaPlane + offset : nullptr;
  view->block = b;
  ++b->refCount;
  return 0;
}

int IsMemImgValid(const MEMIMG* view) {
  return view != nullptr && view->magic == kMemImgMagic && view->block != nullptr ? 1 : 0;
}

void KeepReleasedMemImgPixels(bool keep) {
  KeptPixelsStore& store = Kept();
  std::lock_guard<std::mutex> lock(store.mutex);
  store.keeping = keep;
  if (keep) return;
  for (int i = 0; i < store.count; ++i) QZ_FREE(store.kept[i].pixels);
  store.count = 0;
  store.bytes = 0;
}

void ReleaseMemImg(MEMIMG* view) {
  if (view->magic != kMemImgMagic) return;
  MemImgPixelBlock* b = view->block;
  if (b != nullptr && --b->refCount <= 0) {
    std::uint8_t* pixels = b->pixels;
    b->pixels = nullptr;
    if (b->userMemory != 1) KeepOrFreePixels(pixels, static_cast<std::int64_t>(b->pitch) * b->height);
    std::uint8_t* plane = b->alphaPlane;
    b->alphaPlane = nullptr;
    QZ_FREE(plane);
    std::uint8_t* runs = b->runTable;
    b->runTable = nullptr;
    QZ_FREE(runs);
    std::uint8_t* palette = b->palette;
    b->palette = nullptr;
    b->paletteCopy = nullptr;
    QZ_FREE(palette);
    QZ_FREE(b);
  }
  view->block = nullptr;
  view->magic = 0;
}

bool MemImgViewInsideBlock(const MEMIMG* view) {
  if (!IsMemImgValid(view) || view->pixels == nullptr || view->width < 0 || view->height < 0) return false;
  const MemImgPixelBlock* b = view->block;
  if (b->pixels == nullptr || b->colorDesc == nullptr || view->pixels < b->pixels) return false;
  if (view->width == 0 || view->height == 0) return true;
  const std::int64_t pitch = b->pitch;
  const std::int64_t row = static_cast<std::int64_t>(view->width) * b->colorDesc->bytesPerPixel;
  const std::int64_t offset = view->pixels - b->pixels;
  if (pitch <= 0) return false;
  // Every blit checks two views: a shift or a 32-bit division keeps this
  // cheap beside small sprites, where a 64-bit division would show.
  std::int64_t column;
  if (b->pitchLog2 >= 0) {
    column = offset & (pitch - 1);
  } else if (offset <= UINT32_MAX) {
    column = static_cast<std::uint32_t>(offset) % static_cast<std::uint32_t>(pitch);
  } else {
    column = offset % pitch;
  }
  return column + row <= pitch && offset + (view->height - 1) * pitch + row <= pitch * b->height;
}

void FillMemImgArea(MEMIMG* view, const Rect* rect, std::uint32_t value) {
  if (!MemImgViewInsideBlock(view)) return;
  Rect area{0, 0, view->width, view->height};
  if (rect != nullptr) {
    const Rect clip = area;
    area = *rect;
    ClipRect(&area, &clip);
  }
  const int w = area.right - area.left;
  const int h = area.bottom - area.top;
  if (w <= 0 || h <= 0) return;
  const int bpp = MemImgBytesPerPixel(view);
  const std::int32_t pitch = view->block->pitch;
  std::uint8_t* const first =
      view->pixels + static_cast<std::int64_t>(area.top) * pitch + static_cast<std::int64_t>(area.left) * bpp;
  const std::size_t rowBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(bpp);
  // A value of one byte repeated (a clear to black) is a byte fill: rows
  // written only, not copied from the first, and rows without a gap at once.
  if (RepeatsOneByte(value, bpp)) {
    const int byte = static_cast<int>(value & 0xFF);
    if (rowBytes == static_cast<std::size_t>(pitch)) {
      std::memset(first, byte, rowBytes * static_cast<std::size_t>(h));
      return;
    }
    for (int y = 0; y < h; ++y) std::memset(first + static_cast<std::int64_t>(y) * pitch, byte, rowBytes);
    return;
  }
  if (bpp == 2) {
    const auto v = static_cast<std::uint16_t>(value);
    for (int x = 0; x < w; ++x) std::memcpy(first + 2 * x, &v, 2);
  } else {
    for (int x = 0; x < w; ++x) std::memcpy(first + 4 * x, &value, 4);
  }
  // The other rows are copies of the first: a whole-screen fill is one
  // pixel loop of a row, not of the screen.
  std::uint8_t* row = first;
  for (int y = 1; y < h; ++y) {
    row += pitch;
    std::memcpy(row, first, rowBytes);
  }
}

}  // namespace qz
