// Software-image handles, the scaled base-image copy, the built-in textures,
// mesh material images and the sine table.
#include "graphics/soft_image.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>

#include "core/call_trace.h"
#include "core/handle.h"
#include "core/matrix.h"
#include "core/memory.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_from_image.h"
#include "graphics/graphics_state.h"
#include "graphics/mesh_objects.h"
#include "graphics/screen_settings.h"
#include "image/image_decode.h"
#include "image/pixel_convert.h"

namespace qz {
namespace {

// The end of the used range moves down when its last handle goes, unlike the
// graph-style high-water mark, so this table is kept by hand.
struct SoftImageTable {
  SoftImageRecord* records[kSoftImageSlots];
  int liveCount;
  int rangeEnd;
  std::int32_t checkCounter;
};
SoftImageTable gSoftImages{};

float gSineTable[kSineTableSize];
std::atomic<bool> gSineTableBuilt{false};

BuiltinGraphs gBuiltinGraphs{-1, -1, -1};

// Run-length TGA (image type 10) with the version 2 footer; one packet of
// identical pixels per run within each row.
constexpr std::uint8_t kTgaFooter[26] = {0, 0, 0, 0, 0, 0, 0, 0, 'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O',
                                         'N', '-', 'X', 'F', 'I', 'L', 'E', '.', 0};

template <std::size_t Size>
constexpr std::array<std::uint8_t, Size> MakeRunLengthTga(int width, int height, int bits, int descriptor,
                                                          int runsPerRow, const std::uint8_t (*runColors)[3]) {
  std::array<std::uint8_t, Size> out{};
  std::size_t at = 0;
  const std::uint8_t header[18] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                   static_cast<std::uint8_t>(width & 0xFF), static_cast<std::uint8_t>(width >> 8),
                                   static_cast<std::uint8_t>(height & 0xFF), static_cast<std::uint8_t>(height >> 8),
                                   static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(descriptor)};
  for (std::uint8_t b : header) out[at++] = b;
  const int runLength = width / runsPerRow;
  for (int y = 0; y < height; ++y) {
    for (int run = 0; run < runsPerRow; ++run) {
      out[at++] = static_cast<std::uint8_t>(0x80 | (runLength - 1));
      for (int c = 0; c < 3; ++c) out[at++] = runColors[run][c];
      if (bits == 32) out[at++] = 0xFF;
    }
  }
  for (std::uint8_t b : kTgaFooter) out[at++] = b;
  return out;
}

constexpr std::uint8_t kWhiteRun[1][3] = {{0xFF, 0xFF, 0xFF}};
constexpr std::uint8_t kRampRuns[4][3] = {{0, 0, 0}, {0x55, 0x55, 0x55}, {0xAA, 0xAA, 0xAA}, {0xFF, 0xFF, 0xFF}};
// 8 x 8 x 32 bits, 8 alpha bits, rows from the top.
constexpr auto kWhiteSquareTga = MakeRunLengthTga<84>(8, 8, 32, 0x28, 1, kWhiteRun);
constexpr auto kFourStepRampTga = MakeRunLengthTga<172>(256, 8, 24, 0x20, 4, kRampRuns);

bool InsideImage(int x1, int y1, int x2, int y2, const BaseImage* image) {
  const int width = static_cast<int>(image->width);
  const int height = static_cast<int>(image->height);
  return x2 > x1 && y2 > y1 && x1 >= 0 && y1 >= 0 && x1 < width && y1 < height && x2 >= 1 && x2 <= width &&
         y2 >= 1 && y2 <= height;
}

int Mix(int a, int b, int c, int d, std::uint32_t fx, std::uint32_t fy) {
  const std::uint32_t top = (static_cast<std::uint32_t>(a) * (65535 - fx) + static_cast<std::uint32_t>(b) * fx) >> 16;
  const std::uint32_t bottom =
      (static_cast<std::uint32_t>(c) * (65535 - fx) + static_cast<std::uint32_t>(d) * fx) >> 16;
  return static_cast<int>((top * (65535 - fy) + bottom * fy) >> 16);
}

int NextPowerOfTwo(int value, int cap) {
  int size = 1;
  while (size < value) size *= 2;
  return cap > 0 && size > cap ? cap : size;
}

// The height map's red channel turned into surface normals, (c + 1) * 127.5
// per component.
int MakeNormalMap(BaseImage* image, float bumpScale) {
  BaseImage normals{};
  if (AllocXRGB8BaseImage(static_cast<int>(image->width), static_cast<int>(image->height), &normals) != 0) return -1;
  const int width = static_cast<int>(image->width);
  const int height = static_cast<int>(image->height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int here = 0, right = 0, below = 0;
      GetBaseImagePixel(image, x, y, &here, nullptr, nullptr, nullptr);
      GetBaseImagePixel(image, x + 1 < width ? x + 1 : 0, y, &right, nullptr, nullptr, nullptr);
      GetBaseImagePixel(image, x, y + 1 < height ? y + 1 : 0, &below, nullptr, nullptr, nullptr);
      // Cross product of the tangents (1, 0, sx) and (0, 1, sy).
      const float slopeX = static_cast<float>(right - here) / 255.0f * bumpScale;
      const float slopeY = static_cast<float>(below - here) / 255.0f * bumpScale;
      Vector3 normal{};
      MakeNormalizedVector3(&normal, -slopeX, -slopeY, 1.0f);
      SetBaseImagePixel(&normals, x, y, static_cast<int>((normal.x + 1.0f) * 127.5f),
                        static_cast<int>((normal.y + 1.0f) * 127.5f), static_cast<int>((normal.z + 1.0f) * 127.5f),
                        255);
    }
  }
  FreeBaseImagePixels(image);
  *image = normals;
  return 0;
}

int StretchToPowerOfTwo(BaseImage* image, int capWidth, int capHeight) {
  const int width = static_cast<int>(image->width);
  const int height = static_cast<int>(image->height);
  const int newWidth = NextPowerOfTwo(width, capWidth);
  const int newHeight = NextPowerOfTwo(height, capHeight);
  if (newWidth == width && newHeight == height) return 0;
  BaseImage stretched{};
  const int made = image->format.alphaWidth != 0 ? AllocARGB8BaseImage(newWidth, newHeight, &stretched)
                                                 : AllocXRGB8BaseImage(newWidth, newHeight, &stretched);
  if (made != 0) return -1;
  if (StretchBaseImageRect(0, 0, width, height, image, 0, 0, newWidth, newHeight, &stretched, 1) != 0) {
    FreeBaseImagePixels(&stretched);
    return -1;
  }
  FreeBaseImagePixels(image);
  *image = stretched;
  return 0;
}

}  // namespace

int CreateSoftImageHandleForTest(int width, int height) {
  if (gSoftImages.liveCount >= kSoftImageSlots) return -1;
  int slot = gSoftImages.rangeEnd;
  if (slot >= kSoftImageSlots) {
    slot = 0;
    while (gSoftImages.records[slot] != nullptr) ++slot;
  }
  auto* record = static_cast<SoftImageRecord*>(AllocTrackedZeroed(sizeof(SoftImageRecord), __FILE__, __LINE__));
  if (record == nullptr) return -1;
  if (AllocXRGB8BaseImage(width, height, &record->image) != 0) {
    FreeTracked(record);
    return -1;
  }
  record->check = gSoftImages.checkCounter;
  gSoftImages.checkCounter = (gSoftImages.checkCounter + 1) % kHandleCheckLimit;
  gSoftImages.records[slot] = record;
  ++gSoftImages.liveCount;
  if (slot >= gSoftImages.rangeEnd) gSoftImages.rangeEnd = slot + 1;
  return MakeHandle(kSoftImageHandle, record->check, slot);
}

int FreeSoftImageHandle(int handle) {
  if (handle < 0 || (handle & kHandleKindMask) != kSoftImageHandle) return -1;
  const int slot = handle & kHandleSlotMask;
  if (slot >= kSoftImageSlots) return -1;
  SoftImageRecord* record = gSoftImages.records[slot];
  if (record == nullptr || (record->check << 16) != (handle & kHandleCheckMask)) return -1;
  FreeBaseImagePixels(&record->image);
  --gSoftImages.liveCount;
  gSoftImages.records[slot] = nullptr;
  if (slot == gSoftImages.rangeEnd - 1) {
    while (gSoftImages.rangeEnd > 0 && gSoftImages.records[gSoftImages.rangeEnd - 1] == nullptr) {
      --gSoftImages.rangeEnd;
    }
  }
  FreeTracked(record);
  return 0;
}

int FreeAllSoftImageHandles() {
  RecordCall("FreeAllSoftImageHandles");
  for (int slot = 0; slot < gSoftImages.rangeEnd; ++slot) {
    const SoftImageRecord* record = gSoftImages.records[slot];
    if (record != nullptr) FreeSoftImageHandle(MakeHandle(kSoftImageHandle, record->check, slot));
  }
  return 0;
}

int ResetSoftImageHandles() { return FreeAllSoftImageHandles(); }

int GetSoftImageRangeEnd() { return gSoftImages.rangeEnd; }

int StretchBaseImageRect(int sx1, int sy1, int sx2, int sy2, BaseImage* source, int dx1, int dy1, int dx2, int dy2,
                         BaseImage* destination, int filter) {
  if (!InsideImage(sx1, sy1, sx2, sy2, source) || !InsideImage(dx1, dy1, dx2, dy2, destination)) return -1;
  const int sourceWidth = sx2 - sx1;
  const int sourceHeight = sy2 - sy1;
  const int width = dx2 - dx1;
  const int height = dy2 - dy1;
  if (sourceWidth == width && sourceHeight == height) {
    return BlitBaseImageRect(sx1, sy1, width, height, dx1, dy1, source, destination);
  }
  const std::uint32_t stepX = static_cast<std::uint32_t>((std::int64_t{sourceWidth} << 16) / width);
  const std::uint32_t stepY = static_cast<std::uint32_t>((std::int64_t{sourceHeight} << 16) / height);
  const int lastX = static_cast<int>(source->width) - 1;
  const int lastY = static_cast<int>(source->height) - 1;
  std::uint32_t v = 0;
  for (int y = 0; y < height; ++y, v += stepY) {
    const int py = sy1 + static_cast<int>(v >> 16);
    std::uint32_t u = 0;
    for (int x = 0; x < width; ++x, u += stepX) {
      const int px = sx1 + static_cast<int>(u >> 16);
      int r[4] = {}, g[4] = {}, b[4] = {}, a[4] = {};
      if (filter != 1) {
        GetBaseImagePixel(source, px, py, &r[0], &g[0], &b[0], &a[0]);
        SetBaseImagePixel(destination, dx1 + x, dy1 + y, r[0], g[0], b[0], a[0]);
        continue;
      }
      // The right and lower neighbours stay on the last column and row.
      const int nx = px < lastX ? px + 1 : lastX;
      const int ny = py < lastY ? py + 1 : lastY;
      GetBaseImagePixel(source, px, py, &r[0], &g[0], &b[0], &a[0]);
      GetBaseImagePixel(source, nx, py, &r[1], &g[1], &b[1], &a[1]);
      GetBaseImagePixel(source, px, ny, &r[2], &g[2], &b[2], &a[2]);
      GetBaseImagePixel(source, nx, ny, &r[3], &g[3], &b[3], &a[3]);
      const std::uint32_t fx = u & 0xFFFF;
      const std::uint32_t fy = v & 0xFFFF;
      SetBaseImagePixel(destination, dx1 + x, dy1 + y, Mix(r[0], r[1], r[2], r[3], fx, fy),
                        Mix(g[0], g[1], g[2], g[3], fx, fy), Mix(b[0], b[1], b[2], b[3], fx, fy),
                        Mix(a[0], a[1], a[2], a[3], fx, fy));
    }
  }
  return 0;
}

BuiltinImageBytes GetWhiteSquareTga() { return {kWhiteSquareTga.data(), kWhiteSquareTga.size()}; }
BuiltinImageBytes GetFourStepRampTga() { return {kFourStepRampTga.data(), kFourStepRampTga.size()}; }

BuiltinGraphs& GetBuiltinGraphs() { return gBuiltinGraphs; }

int BuildGreyRampBaseImage(int graph) {
  BaseImage ramp{};
  if (AllocXRGB8BaseImage(256, 8, &ramp) != 0) return -1;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 256; ++x) SetBaseImagePixel(&ramp, x, y, x, x, x, 255);
  }
  const std::int32_t savedOff = GetDrawSettings().transparentOnLoadOff;
  SetTransparentColorOnLoad(0);
  const int result = ReloadGraphFromBaseImageNoAlpha(&ramp, graph);
  GetDrawSettings().transparentOnLoadOff = savedOff;
  FreeBaseImagePixels(&ramp);
  return result == 0 ? graph : -1;
}

int BuildMaterialTextureImages(BaseImage* image, BaseImage* alphaImage, const void* imageBlock,
                               std::size_t imageSize, const void* alphaBlock, std::size_t alphaSize, int normalMap,
                               float bumpScale, int) {
  *image = BaseImage{};
  *alphaImage = BaseImage{};
  if (alphaBlock != nullptr && DecodeImageBytesToBaseImage(nullptr, alphaBlock, alphaSize, 1, alphaImage, 0) != 0) {
    return -1;
  }
  int decoded = 0;
  if (imageBlock != nullptr) {
    decoded = DecodeImageBytesToBaseImage(nullptr, imageBlock, imageSize, 1, image, 0);
  } else if (alphaBlock != nullptr) {
    decoded = AllocXRGB8BaseImage(static_cast<int>(alphaImage->width), static_cast<int>(alphaImage->height), image);
    if (decoded == 0) std::memset(image->pixels, 0xFF, GetBaseImageDataSize(image));
  } else {
    decoded = -1;
  }
  const GraphicsState& graphics = GetGraphicsState();
  const int capWidth = (graphics.caps.maxTextureWidth > 0 ? graphics.caps.maxTextureWidth : 256) / 2;
  const int capHeight = (graphics.caps.maxTextureHeight > 0 ? graphics.caps.maxTextureHeight : 256) / 2;
  if (decoded != 0 || (normalMap != 0 && MakeNormalMap(image, bumpScale) != 0) ||
      StretchToPowerOfTwo(image, capWidth, capHeight) != 0 ||
      (alphaBlock != nullptr && StretchToPowerOfTwo(alphaImage, capWidth, capHeight) != 0)) {
    FreeBaseImagePixels(image);
    FreeBaseImagePixels(alphaImage);
    return -1;
  }
  return 0;
}

int RestoreBuiltinAndMaterialTextures() {
  const std::int32_t savedOff = GetDrawSettings().transparentOnLoadOff;
  SetTransparentColorOnLoad(0);
  const BuiltinImageBytes white = GetWhiteSquareTga();
  const BuiltinImageBytes ramp = GetFourStepRampTga();
  RefillGraphFromImageBytes(white.bytes, white.size, gBuiltinGraphs.whiteSquare, nullptr, 0, 0, 0);
  RefillGraphFromImageBytes(ramp.bytes, ramp.size, gBuiltinGraphs.fourStepRamp, nullptr, 0, 0, 0);
  BuildGreyRampBaseImage(gBuiltinGraphs.greyRamp);
  RestoreMeshMaterialTextures();
  GetDrawSettings().transparentOnLoadOff = savedOff;
  return 0;
}

int BuildSineTable() {
  RecordCall("BuildSineTable");
  if (gSineTableBuilt.load(std::memory_order_acquire) || GetHardwareRenderingFlag() == 0) return 0;
  for (int i = 0; i < kSineTableSize; ++i) {
    gSineTable[i] = static_cast<float>(std::sin(i * 2.0 * std::numbers::pi / kSineTableSize));
  }
  gSineTableBuilt.store(true, std::memory_order_release);
  return 0;
}

const float* GetSineTable() { return gSineTableBuilt.load(std::memory_order_acquire) ? gSineTable : nullptr; }

}  // namespace qz
