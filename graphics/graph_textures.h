// Device textures of graph images, their pixel formats, and writing pixels
// into graphs: from base images, or by filling with one colour. On the
// software path the same operations write into the image's MEMIMG.
#pragma once

#include <cstdint>

#include "core/rect.h"
#include "graphics/graph_record.h"
#include "image/base_image.h"

namespace qz {

// The pixel layout of a texture role (GraphPixelFormatCode 0 to 15), or null.
const PixelFormatDescriptor* GetTextureFormatDescriptor(int code);
// The descriptor of the code that the request selects.
const PixelFormatDescriptor* ChooseGraphTextureDescriptor(const GraphFormatRequest& request);
// The descriptor of a plain (kind 0) request of 16 or 32 bits.
const PixelFormatDescriptor* ChooseTextureFormatForImage(int alpha, int colorKey, int bits32, int drawable);

// Makes the device objects the image's tiles still lack. 0 or -1.
int CreateGraphTextures(GraphImage* image);
// After a device rebuild: the textures of every graph again (pixels come back
// through the restore handler), and the device objects of the buffer and
// pixel-shader handles with their kept contents.
void RecreateAllGraphTextures();

// Writes `sourceRect` of the image (with the alpha image's alpha when given)
// at (destinationX, destinationY) of the graph. `colorKey` turns the image's
// transparent colour into transparency; `wholeImage` walks every tile of the
// image instead of the graph's own. 0 or -1.
int TransferImageToGraphTextures(GraphHandle graph, const Rect& sourceRect, int destinationX, int destinationY,
                                 const BaseImage* image, const BaseImage* alphaImage, int blendImage, int colorKey,
                                 int wholeImage);
// Fills the graph from (sourceX, sourceY) of the image and records that origin. 0 or -1.
int CopyBaseImageToGraph(const BaseImage* image, const BaseImage* alphaImage, int sourceX, int sourceY,
                         GraphHandle graph);
// Writes `sourceRect` (null: the whole image) at the destination. 0 or -1.
int CopyPixelDataToGraph(const BaseImage* image, const BaseImage* alphaImage, const Rect* sourceRect,
                         int destinationX, int destinationY, GraphHandle graph);
// Channels are clamped to 0..255; alpha is used by drawable textures only. 0 or -1.
int FillGraphWithColor(GraphHandle graph, int red, int green, int blue, int alpha);

}  // namespace qz
