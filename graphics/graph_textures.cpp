// Texture formats of graphs and the device objects of their tiles.
#include "graphics/graph_textures.h"

namespace qz {

const PixelFormatDescriptor* GetTextureFormatDescriptor(int) { return nullptr; }
const PixelFormatDescriptor* ChooseGraphTextureDescriptor(const GraphFormatRequest&) { return nullptr; }
const PixelFormatDescriptor* ChooseTextureFormatForImage(int, int, int, int) { return nullptr; }
int CreateGraphTextures(GraphImage*) { return -1; }
void RecreateAllGraphTextures() {}
int TransferImageToGraphTextures(GraphHandle, const Rect&, int, int, const BaseImage*, const BaseImage*, int, int,
                                 int) {
  return -1;
}
int CopyBaseImageToGraph(const BaseImage*, const BaseImage*, int, int, GraphHandle) { return -1; }
int CopyPixelDataToGraph(const BaseImage*, const BaseImage*, const Rect*, int, int, GraphHandle) { return -1; }
int FillGraphWithColor(GraphHandle, int, int, int, int) { return -1; }

}  // namespace qz
