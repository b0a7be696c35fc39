// A grid of one-texture pre-transformed vertices drawn as indexed triangle
// strips, one strip per row joined by degenerate indices, in pieces of at
// most 1000 16-bit indices.
#include <cstdint>

#include "graphics/device_state_cache.h"
#include "graphics/device_state_internal.h"
#include "graphics/screen_present.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

constexpr int kMaxIndicesPerDraw = 1000;
constexpr long long kMaxIndexedVertices = 65536;
constexpr std::uint32_t kGridFvf = plat::D3DFVF_XYZRHW | plat::D3DFVF_DIFFUSE | plat::D3DFVF_TEX1;
constexpr std::uint32_t kGridStride = sizeof(TexturedVertex);

void DrawPiece(plat::IDirect3DDevice9* device, const std::uint16_t* indices, int count, int vertexCount,
               const void* vertices) {
  device->DrawIndexedPrimitiveUP(plat::D3DPT_TRIANGLESTRIP, 0, static_cast<std::uint32_t>(vertexCount),
                                 static_cast<std::uint32_t>(count - 2), indices, plat::D3DFMT_INDEX16, vertices,
                                 kGridStride);
}

}  // namespace

int DrawTexturedGrid(const void* vertices, int columns, int rows) {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr || vertices == nullptr || columns <= 1 || rows <= 1) return -1;
  const int rowIndices = 2 * columns;
  if (rowIndices > kMaxIndicesPerDraw || static_cast<long long>(columns) * rows > kMaxIndexedVertices) return -1;
  FlushVertexBatch();
  if (GetGraphicsState().sceneOpen == 0) BeginDeviceScene();
  SetVertexFormatCached(kGridFvf);
  const int vertexCount = columns * rows;
  std::uint16_t indices[kMaxIndicesPerDraw];
  int count = 0;
  for (int row = 0; row + 1 < rows; ++row) {
    const int joined = count == 0 ? rowIndices : rowIndices + 2;
    if (count + joined > kMaxIndicesPerDraw) {
      DrawPiece(device, indices, count, vertexCount, vertices);
      count = 0;
    }
    const auto top = static_cast<std::uint16_t>(row * columns);
    const auto bottom = static_cast<std::uint16_t>((row + 1) * columns);
    if (count > 0) {
      // Two repeated indices end one strip and start the next with the same winding.
      indices[count] = indices[count - 1];
      indices[count + 1] = top;
      count += 2;
    }
    for (int column = 0; column < columns; ++column) {
      indices[count++] = static_cast<std::uint16_t>(top + column);
      indices[count++] = static_cast<std::uint16_t>(bottom + column);
    }
  }
  DrawPiece(device, indices, count, vertexCount, vertices);
  return 0;
}

}  // namespace qz
