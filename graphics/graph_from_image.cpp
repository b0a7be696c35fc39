// Graphs from decoded images, sprite sheets and encoded images in memory.
#include "graphics/graph_from_image.h"

#include "core/log.h"
#include "core/log_text.h"
#include "graphics/draw_graph.h"
#include "graphics/graph_decoded_image.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_restore.h"
#include "graphics/graph_textures.h"
#include "graphics/screen_mode_change.h"
#include "image/image_decode.h"

namespace qz {
namespace {

// Remembers the encoded bytes so the graph can be rebuilt after the device is lost.
void RecordBytesSource(int graph, const void* block, std::size_t size, const void* alphaBlock, std::size_t alphaSize,
                       int mirror) {
  SetGraphRestoreSource(graph, nullptr, nullptr, nullptr, nullptr, block, static_cast<std::uint32_t>(size), alphaBlock,
                        static_cast<std::uint32_t>(alphaSize), nullptr, nullptr, mirror, -1);
}

}  // namespace

int ReadImageFileAsGraph(const char* fileName, int flag) {
  return LoadImageOrMovieAsGraph(fileName, flag == 0 ? 1 : 0, 0, 0);
}

int ReadImageFileAsGraphGrid(const char* fileName, int total, int across, int down, int cellWidth, int cellHeight,
                             int* handles, int flag) {
  return ReadImageFileAsGraphGridCore(fileName, total, across, down, cellWidth, cellHeight, handles, flag == 0 ? 1 : 0,
                                      0);
}

int ReadImageFileAsGraphGridCore(const char* fileName, int total, int across, int down, int cellWidth,
                                 int cellHeight, int* handles, int graphFlag, int mirror) {
  EnsureScreenReady();
  DecodedPair decoded;
  if (!decoded.DecodeFile(fileName, mirror)) {
    AppendLogFormat(text::kGraphFileLoadFailed, fileName != nullptr ? fileName : "");
    return -1;
  }
  const int result = CreateDivGraphFromGraphImage(&decoded.image, decoded.Alpha(), total, across, down, cellWidth,
                                                  cellHeight, handles, graphFlag, mirror);
  if (result == 0 && total > 0) {
    // Cells stop early when the rows run out; only the cells made are recorded.
    const int made = total < across * down ? total : across * down;
    SetGraphRestoreFileName(handles[0], fileName, mirror, -1);
    for (int i = 1; i < made; ++i) SetGraphRestoreFileName(handles[i], nullptr, 0, handles[0]);
  }
  return result;
}

int CreateDivGraphFromGraphImage(BaseImage* image, BaseImage* alphaImage, int total, int across, int down,
                                 int cellWidth, int cellHeight, int* handles, int flag, int mirror) {
  if (total < 1) return 0;
  const GraphHandle parent = BuildGraphFromBaseImages(image, alphaImage, flag);
  if (parent < 0) return -1;
  const int firstX = mirror == 1 ? (across - 1) * cellWidth : 0;
  const int stepX = mirror == 1 ? -cellWidth : cellWidth;
  int made = 0;
  for (int row = 0; row < down && made < total; ++row) {
    for (int column = 0, x = firstX; column < across && made < total; ++column, x += stepX) {
      handles[made] = MakeSubRectGraph(x, row * cellHeight, cellWidth, cellHeight, parent);
      if (handles[made] == -1) {
        AppendLogText(text::kGraphDivideFailed);
        for (int i = 0; i < made; ++i) ReleaseGraph(handles[i]);
        ReleaseGraph(parent);
        return -1;
      }
      ++made;
    }
  }
  // The cells hold the image through their own references.
  ReleaseGraph(parent);
  return 0;
}

int BuildGraphFromBaseImages(BaseImage* image, BaseImage* alphaImage, int flag) {
  FixColorDescUnusedMask(&image->format);
  if (alphaImage != nullptr) FixColorDescUnusedMask(&alphaImage->format);
  const GraphHandle graph = NewGraphForBaseImage(image, alphaImage, flag);
  if (graph < 0) return graph;
  CopyBaseImageToGraph(image, alphaImage, 0, 0, graph);
  return graph;
}

int ReloadGraphFromBaseImage(BaseImage* image, BaseImage* alphaImage, int graph) {
  FixColorDescUnusedMask(&image->format);
  if (alphaImage != nullptr) FixColorDescUnusedMask(&alphaImage->format);
  int width = 0;
  int height = 0;
  if (QueryGraphSize(graph, &width, &height) != 0) return -1;
  const auto sameSize = [&](const BaseImage* other) {
    return other->width == static_cast<std::uint32_t>(width) && other->height == static_cast<std::uint32_t>(height);
  };
  if (!sameSize(image) || (alphaImage != nullptr && !sameSize(alphaImage))) return -1;
  return CopyBaseImageToGraph(image, alphaImage, 0, 0, graph);
}

int ReloadGraphFromBaseImageNoAlpha(BaseImage* image, int graph) {
  const int result = ReloadGraphFromBaseImage(image, nullptr, graph);
  if (result == 0) {
    SetGraphRestoreSource(graph, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0, image, nullptr, 0, -1);
  }
  return result;
}

int BuildGraphFromImageBytes(const void* block, std::size_t size, const void* alphaBlock, std::size_t alphaSize,
                             int flag, int mirror) {
  DecodedPair decoded;
  if (!decoded.DecodeBytes(block, size, alphaBlock, alphaSize, mirror)) return -1;
  const GraphHandle graph = BuildGraphFromBaseImages(&decoded.image, decoded.Alpha(), flag);
  if (graph >= 0) RecordBytesSource(graph, block, size, alphaBlock, alphaSize, mirror);
  return graph;
}

int RefillGraphFromImageBytes(const void* block, std::size_t size, int graph, const void* alphaBlock,
                              std::size_t alphaSize, int, int mirror) {
  DecodedPair decoded;
  if (!decoded.DecodeBytes(block, size, alphaBlock, alphaSize, mirror)) return -1;
  const int result = ReloadGraphFromBaseImage(&decoded.image, decoded.Alpha(), graph);
  if (result == 0) RecordBytesSource(graph, block, size, alphaBlock, alphaSize, mirror);
  return result;
}

int DrawRegionViaTempGraph(float x1, float y1, float x2, float y2, int sx, int sy, int w, int h, int graph,
                           int trans) {
  const GraphHandle part = MakeSubRectGraph(sx, sy, w, h, graph);
  if (part <= 0) return 0;
  BlitGraphStretchedF(x1, y1, x2, y2, part, trans);
  ReleaseGraph(part);
  return 0;
}

}  // namespace qz
