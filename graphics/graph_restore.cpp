// Graph restore sources and loading image files as graphs.
#include "graphics/graph_restore.h"

#include "core/call_trace.h"

namespace qz {

int SetGraphRestoreSource(int, const char*, const PixelFormatDescriptor*, const GdiBitmapBits*, const GdiBitmapBits*,
                          const void*, std::uint32_t, const void*, std::uint32_t, const BaseImage*, const BaseImage*,
                          int, int) {
  return -1;
}

int SetGraphRestoreFileName(int, const char*, int, int) { return -1; }

void ReleaseGraphRestoreSource(GraphRestoreSource*) {}

void ReloadAllGraphsFromSources() { RecordCall("ReloadAllGraphsFromSources"); }

int LoadImageOrMovieAsGraph(const char*, int, int, int) { return -1; }

int LoadAndDrawImageFile(int, int, const char*, int) { return -1; }

}  // namespace qz
