// Graph restore sources and loading image files as graphs.
#include "graphics/graph_restore.h"

#include <cstring>
#include <string>

#include "core/call_trace.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "core/path.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_decoded_image.h"
#include "graphics/graph_from_image.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_textures.h"
#include "graphics/graphics_state.h"
#include "graphics/movie_graph.h"
#include "graphics/screen_mode_change.h"
#include "image/image_decode.h"

namespace qz {
namespace {

constexpr std::size_t kBlockAlignment = 16;

std::size_t AlignUp(std::size_t size) { return (size + kBlockAlignment - 1) & ~(kBlockAlignment - 1); }

GraphRestoreSource* NewSource(std::size_t extraBytes, const char* failureText) {
  auto* source = static_cast<GraphRestoreSource*>(
      AllocTrackedZeroed(AlignUp(sizeof(GraphRestoreSource)) + extraBytes, __FILE__, __LINE__));
  if (source == nullptr) AppendLogText(failureText);
  return source;
}

std::uint8_t* PayloadOf(GraphRestoreSource* source) {
  return reinterpret_cast<std::uint8_t*>(source) + AlignUp(sizeof(GraphRestoreSource));
}

GraphRestoreSource* MakeFileNameSource(const char* fileName) {
  // The full path can be longer than the name by the whole current directory.
  std::string fullPath(std::strlen(fileName) + 4096, '\0');
  if (MakeFullPath(fileName, fullPath.data(), fullPath.size()) != 0) {
    AppendLogText(text::kRestoreFileNameAllocFailed);
    return nullptr;
  }
  const std::size_t length = std::strlen(fullPath.c_str());
  GraphRestoreSource* source = NewSource(length + 1, text::kRestoreFileNameAllocFailed);
  if (source == nullptr) return nullptr;
  source->fileName = reinterpret_cast<char*>(PayloadOf(source));
  std::memcpy(source->fileName, fullPath.c_str(), length + 1);
  return source;
}

GraphRestoreSource* MakeMemorySource(const void* image, std::uint32_t size, const void* alphaImage,
                                     std::uint32_t alphaSize) {
  const std::size_t alphaBytes = alphaImage != nullptr ? alphaSize : 0;
  GraphRestoreSource* source = NewSource(AlignUp(size) + alphaBytes, text::kRestoreImageDataAllocFailed);
  if (source == nullptr) return nullptr;
  std::uint8_t* at = PayloadOf(source);
  source->memoryImage = at;
  source->memoryImageSize = size;
  std::memcpy(at, image, size);
  if (alphaImage != nullptr) {
    source->alphaMemoryImage = at + AlignUp(size);
    source->alphaMemoryImageSize = alphaSize;
    std::memcpy(source->alphaMemoryImage, alphaImage, alphaSize);
  }
  return source;
}

// The record, then the image copies, then their pixels, in one block.
GraphRestoreSource* MakeBaseImageSource(const BaseImage* image, const BaseImage* alphaImage) {
  const std::size_t imageBytes = GetBaseImageDataSize(image);
  const std::size_t alphaBytes = alphaImage != nullptr ? GetBaseImageDataSize(alphaImage) : 0;
  const std::size_t records = AlignUp(sizeof(BaseImage)) * 2;
  GraphRestoreSource* source =
      NewSource(records + AlignUp(imageBytes) + alphaBytes, text::kRestoreBaseImageAllocFailed);
  if (source == nullptr) return nullptr;
  std::uint8_t* at = PayloadOf(source);
  std::uint8_t* pixels = at + records;
  source->baseImage = reinterpret_cast<BaseImage*>(at);
  *source->baseImage = *image;
  source->baseImage->pixels = pixels;
  std::memcpy(pixels, image->pixels, imageBytes);
  if (alphaImage != nullptr) {
    source->alphaBaseImage = reinterpret_cast<BaseImage*>(at + AlignUp(sizeof(BaseImage)));
    *source->alphaBaseImage = *alphaImage;
    source->alphaBaseImage->pixels = pixels + AlignUp(imageBytes);
    std::memcpy(source->alphaBaseImage->pixels, alphaImage->pixels, alphaBytes);
  }
  return source;
}

// A base image over a GDI bitmap's bits (not copied).
BaseImage ViewOfBitmap(const PixelFormatDescriptor& format, const GdiBitmapBits& bitmap) {
  BaseImage image{};
  image.format = format;
  image.width = static_cast<std::uint32_t>(bitmap.width);
  image.height = static_cast<std::uint32_t>(bitmap.height);
  image.pitch = (static_cast<std::uint32_t>(bitmap.width) * format.bitDepth / 8 + 3) & ~3u;
  image.pixels = static_cast<std::uint8_t*>(const_cast<void*>(bitmap.bits));
  return image;
}

// The images decoded for one graph, kept while the next graphs come from the
// same file or memory block.
struct DecodedSource {
  bool valid = false;
  int hasAlpha = 0;
  BaseImage image{};
  BaseImage alphaImage{};
  std::string fileName;
  const GraphRestoreSource* memorySource = nullptr;
  std::int32_t flags = 0;

  void Free() {
    if (valid) {
      FreeBaseImagePixels(&image);
      if (hasAlpha) FreeBaseImagePixels(&alphaImage);
    }
    valid = false;
    memorySource = nullptr;
  }
  // Decodes the file or the memory blocks; false on failure.
  bool Decode(const char* name, const GraphRestoreSource& source) {
    Free();
    const int alphaMode = name != nullptr ? 0 : 1;
    const int result = DecodeImageAndAlphaImage(name, source.memoryImage, source.memoryImageSize, name == nullptr,
                                                source.alphaMemoryImage, source.alphaMemoryImageSize, alphaMode,
                                                &image, &alphaImage, source.flags);
    if (result < 0) return false;
    valid = true;
    hasAlpha = result == 0;
    flags = source.flags;
    return true;
  }
};

bool SameMemoryImages(const GraphRestoreSource& a, const GraphRestoreSource& b) {
  return a.flags == b.flags && a.memoryImageSize == b.memoryImageSize &&
         a.alphaMemoryImageSize == b.alphaMemoryImageSize &&
         std::memcmp(a.memoryImage, b.memoryImage, a.memoryImageSize) == 0 &&
         (a.alphaMemoryImage == nullptr) == (b.alphaMemoryImage == nullptr) &&
         (a.alphaMemoryImage == nullptr ||
          std::memcmp(a.alphaMemoryImage, b.alphaMemoryImage, a.alphaMemoryImageSize) == 0);
}

}  // namespace

void ReleaseGraphRestoreSource(GraphRestoreSource* source) {
  if (source == nullptr) return;
  if (--source->referenceCount <= 0) FreeTracked(source);
}

int SetGraphRestoreSource(int graph, const char* fileName, const PixelFormatDescriptor* gdiColorDesc,
                          const GdiBitmapBits* gdiBitmap, const GdiBitmapBits* gdiAlphaBitmap,
                          const void* memoryImage, std::uint32_t memoryImageSize, const void* alphaMemoryImage,
                          std::uint32_t alphaMemoryImageSize, const BaseImage* baseImage,
                          const BaseImage* alphaBaseImage, int flags, int sourceGraph) {
  GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr) return -1;
  // Only a live graph can lend its source; any other value counts as none.
  const GraphRecord* sourceRecord = GetGraphRecord(sourceGraph);

  ReleaseGraphRestoreSource(record->restoreSource);
  record->restoreSource = nullptr;

  BaseImage bitmapImage{};
  BaseImage bitmapAlphaImage{};
  if (gdiBitmap != nullptr && gdiColorDesc != nullptr) {
    bitmapImage = ViewOfBitmap(*gdiColorDesc, *gdiBitmap);
    baseImage = &bitmapImage;
    if (gdiAlphaBitmap != nullptr) {
      bitmapAlphaImage = ViewOfBitmap(*gdiColorDesc, *gdiAlphaBitmap);
      alphaBaseImage = &bitmapAlphaImage;
    }
  }

  if (GetDrawSettings().keepNoRestoreData != 0) return 0;

  if (sourceRecord != nullptr || (fileName == nullptr && memoryImage == nullptr && baseImage == nullptr)) {
    if (sourceRecord != nullptr && sourceRecord->restoreSource != nullptr) {
      record->restoreSource = sourceRecord->restoreSource;
      ++record->restoreSource->referenceCount;
    }
    return 0;
  }

  GraphRestoreSource* source = nullptr;
  if (fileName != nullptr) {
    source = MakeFileNameSource(fileName);
  } else if (memoryImage != nullptr) {
    source = MakeMemorySource(memoryImage, memoryImageSize, alphaMemoryImage, alphaMemoryImageSize);
  } else {
    source = MakeBaseImageSource(baseImage, alphaBaseImage);
  }
  if (source == nullptr) return -1;
  source->flags = flags;
  source->referenceCount = 1;
  record->restoreSource = source;
  return 0;
}

int SetGraphRestoreFileName(int graph, const char* fileName, int flags, int sourceGraph) {
  return SetGraphRestoreSource(graph, fileName, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0, nullptr, nullptr,
                               flags, sourceGraph);
}

void ReloadAllGraphsFromSources() {
  RecordCall("ReloadAllGraphsFromSources");
  AppendLogText(text::kGraphRestoreStart);
  IncreaseLogIndent();
  DecodedSource fromFile;
  DecodedSource fromMemory;
  const int endSlot = GetGraphEndSlot();
  for (int slot = 0; slot < endSlot; ++slot) {
    const GraphRecord* record = GetGraphRecordAtSlot(slot);
    if (record == nullptr || record->restoreSource == nullptr) continue;
    const GraphHandle handle = record->handle;
    const GraphRestoreSource& source = *record->restoreSource;
    if (source.fileName != nullptr) {
      const bool reuse = fromFile.valid && fromFile.flags == source.flags && fromFile.fileName == source.fileName;
      if (!reuse) {
        if (!fromFile.Decode(source.fileName, source)) {
          AppendLogFormat(text::kGraphRestoreFileFailed, source.fileName);
          continue;
        }
        fromFile.fileName = source.fileName;
      }
      CopyBaseImageToGraph(&fromFile.image, fromFile.hasAlpha ? &fromFile.alphaImage : nullptr, record->sourceX,
                           record->sourceY, handle);
    } else if (source.memoryImage != nullptr) {
      const bool reuse = fromMemory.valid && SameMemoryImages(*fromMemory.memorySource, source);
      if (!reuse) {
        if (!fromMemory.Decode(nullptr, source)) {
          AppendLogText(text::kGraphRestoreMemoryFailed);
          continue;
        }
        fromMemory.memorySource = &source;
      }
      CopyBaseImageToGraph(&fromMemory.image, fromMemory.hasAlpha ? &fromMemory.alphaImage : nullptr,
                           record->sourceX, record->sourceY, handle);
    } else if (source.baseImage != nullptr) {
      CopyBaseImageToGraph(source.baseImage, source.alphaBaseImage, record->sourceX, record->sourceY, handle);
    }
  }
  fromFile.Free();
  fromMemory.Free();
  DecreaseLogIndent();
  AppendLogText(text::kGraphRestoreDone);
}

int LoadImageOrMovieAsGraph(const char* fileName, int graphOption, int mirror, int movieOption) {
  if (GetGraphicsState().started == 0 || fileName == nullptr) return -1;
  EnsureScreenReady();
  DecodedPair decoded;
  if (decoded.DecodeFile(fileName, mirror)) {
    const int graph = BuildGraphFromBaseImages(&decoded.image, decoded.Alpha(), graphOption);
    if (graph >= 0) SetGraphRestoreFileName(graph, fileName, mirror, -1);
    return graph;
  }
  if (decoded.FileNotOpened()) {
    AppendLogFormat(text::kGraphFileMissing, fileName);
    return -1;
  }
  // Not an image: the file is taken as a movie.
  return LoadMovieAsGraph(fileName, movieOption);
}

int LoadAndDrawImageFile(int x, int y, const char* fileName, int trans) {
  if (GetDrawSettings().skipDrawing != 0) return 0;
  const int graph = ReadImageFileAsGraph(fileName, 0);
  if (graph < 0) return -1;
  BlitGraph(x, y, graph, trans);
  ReleaseGraph(graph);
  return 0;
}

}  // namespace qz
