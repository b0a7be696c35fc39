// Graphs from decoded images and sprite sheets.
#include "graphics/graph_from_image.h"

namespace qz {

int ReadImageFileAsGraph(const char*, int) { return -1; }
int ReadImageFileAsGraphGrid(const char*, int, int, int, int, int, int*, int) { return -1; }
int ReadImageFileAsGraphGridCore(const char*, int, int, int, int, int, int*, int, int) { return -1; }
int BuildGraphFromBaseImages(BaseImage*, BaseImage*, int) { return -1; }
int ReloadGraphFromBaseImage(BaseImage*, BaseImage*, int) { return -1; }
int ReloadGraphFromBaseImageNoAlpha(BaseImage*, int) { return -1; }
int CreateDivGraphFromGraphImage(BaseImage*, BaseImage*, int, int, int, int, int, int*, int, int) { return -1; }
int BuildGraphFromImageBytes(const void*, std::size_t, const void*, std::size_t, int, int) { return -1; }
int RefillGraphFromImageBytes(const void*, std::size_t, int, const void*, std::size_t, int, int) { return -1; }
int DrawRegionViaTempGraph(float, float, float, float, int, int, int, int, int, int) { return 0; }

}  // namespace qz
