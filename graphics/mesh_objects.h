// Mesh objects and mesh instances: their tables and the life of their device
// buffers. Parts of an object are grouped by kind, flag and vertex layout into
// chains of nodes, each node one vertex and one 16-bit index buffer; the
// buffers go before a device is released and are made again afterwards from
// the parts' kept data. Loading and drawing meshes lie outside the library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz {

inline constexpr int kMeshGroupCount = 54;  // 3 part kinds x 2 flags x 9 layouts
inline constexpr int kMeshNodeVertexLimit = 0x60000;
inline constexpr int kMeshNodeIndexLimit = 0xC0000;

// Set at the library start; cleared by DeleteAllMeshObjects.
void SetMeshObjectsReady(int ready);

// A new empty object of `frameCount` frames (reference count 1): its handle
// 0x08000000 | slot, or -1.
int CreateMeshObject(int frameCount = 0);
// Appends a part: kind (0, 1, 2 and above), flag (0 or 1), layout (0 to 8),
// vertexCount vertices of `stride` bytes and 16-bit indexes. 0 or -1.
int AddMeshObjectPart(int object, int kind, int flag, int layout, const void* vertices, int vertexCount, int stride,
                      const std::uint16_t* indexes, int indexCount);
// A graph the object owns as a material texture; released with the object.
int AddMeshObjectTextureGraph(int object, int graph);
// A material from encoded image and alpha blocks (either may be null, not
// both), optionally a height map made a normal map: its graph, or -1. The
// object keeps the blocks, so the device restore can make the picture again.
int AddMeshObjectMaterial(int object, const void* imageBlock, std::size_t imageSize, const void* alphaBlock,
                          std::size_t alphaSize, int normalMap, float bumpScale);
// After a device reset: every material's graph gets its picture again; 0.
int RestoreMeshMaterialTextures();
// An instance of the object (adds a reference): its handle, or -1.
int CreateMeshInstance(int object);

int CreateMeshBuffers(int object, int rebuilding);
int CreateMeshVertexBuffers(int instance);
int RecreateAllMeshBuffers();
int ReleaseMeshBuffers(int object);
int ReleaseMeshInstanceBuffers(int instance);
int ReleaseAllMeshBuffers();
// Drops a reference; at 0 the object's buffers, data and graphs go. 0 or -1.
int DeleteMeshObject(int object);
int DeleteMeshInstance(int instance);
int DeleteAllMeshObjects();

// Per-instance data the mesh drawing keeps (nothing in the library fills it):
// items used by every frame, each frame's chain of linked blocks and two
// optional buffers; frame -1 is the instance itself. The item's index, or
// 0; -1 for an invalid handle, frame or buffer number.
int AddMeshInstanceItem(int instance, std::size_t bytes);
int AddMeshInstanceFrameBlock(int instance, int frame, std::size_t bytes);
int SetMeshInstanceFrameBuffer(int instance, int frame, int which, std::size_t bytes);
// Free one item (and its entry in every frame), one frame's chain of blocks,
// or one optional buffer. 0, or -1 for an invalid handle or index.
int FreeMeshInstanceItem(int instance, int item);
int FreeMeshInstanceFrameChain(int instance, int frame);
int FreeMeshInstanceFrameBuffer(int instance, int frame, int which);
// Bytes the instance holds in items, blocks and buffers.
std::size_t GetMeshInstanceDataBytes(int instance);

// For tests: the nodes of a group, and the device buffers of one node.
int GetMeshGroupNodeCount(int object, int group);
int GetMeshGroupNode(int object, int group, int node, int* vertexCount, int* indexCount, void** vertexBuffer,
                     void** indexBuffer);
int GetMeshObjectReferenceCount(int object);

}  // namespace qz
