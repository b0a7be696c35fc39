// Where each graph's pixels came from (an image file, an encoded image in
// memory or a decoded base image), so that the restore handler can write them
// again after the device has been rebuilt; and loading an image file as a
// graph with its source recorded.
#pragma once

#include <cstdint>

#include "image/base_image.h"

namespace qz {

// Shared by reference count between a graph and the graphs derived from it.
// The name, copies and pixel blocks live in the same tracked block.
struct GraphRestoreSource {
  char* fileName;
  BaseImage* baseImage;
  BaseImage* alphaBaseImage;
  void* memoryImage;
  std::uint32_t memoryImageSize;
  void* alphaMemoryImage;
  std::uint32_t alphaMemoryImageSize;
  std::int32_t flags;  // the mirror flag the source is decoded with again
  std::int32_t referenceCount;
};

// The bits of a GDI bitmap as a source of pixels: rows of the colour
// descriptor's depth, each padded to a multiple of 4 bytes.
struct GdiBitmapBits {
  std::int32_t width;
  std::int32_t height;
  const void* bits;
};

// Replaces the graph's source: drops the current one, then shares the source
// graph's (a valid graph handle, else none) or records a new one. With
// nothing given and no source graph the graph keeps no source. 0 or -1.
int SetGraphRestoreSource(int graph, const char* fileName, const PixelFormatDescriptor* gdiColorDesc,
                          const GdiBitmapBits* gdiBitmap, const GdiBitmapBits* gdiAlphaBitmap,
                          const void* memoryImage, std::uint32_t memoryImageSize, const void* alphaMemoryImage,
                          std::uint32_t alphaMemoryImageSize, const BaseImage* baseImage,
                          const BaseImage* alphaBaseImage, int flags, int sourceGraph);
int SetGraphRestoreFileName(int graph, const char* fileName, int flags, int sourceGraph);
// One reference less; the source is freed with its last sharer. Null is ignored.
void ReleaseGraphRestoreSource(GraphRestoreSource* source);

// The library's restore handler: every graph with a source gets its pixels
// back; consecutive graphs of one file (a sprite sheet) share one decode.
void ReloadAllGraphsFromSources();

// A graph of the image file (its "_a" companion giving the alpha); a file that
// is not an image is opened as a movie graph (graphics/movie_graph.h).
// `graphOption` is passed to the graph building; mirror 1 flips it left to
// right. Handle or -1.
int LoadImageOrMovieAsGraph(const char* fileName, int graphOption, int mirror, int movieOption);
// Loads, draws at (x, y) and releases; 0 or -1.
int LoadAndDrawImageFile(int x, int y, const char* fileName, int trans);

}  // namespace qz
