// Mesh-object and mesh-instance tables with the device-buffer lifecycle. Each
// part keeps its own vertices and indexes, so the buffers can be dropped at
// any device release and filled again on the new device.
#include "graphics/mesh_objects.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "core/call_trace.h"
#include "core/handle.h"
#include "graphics/device_release.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_from_image.h"
#include "graphics/graph_handles.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_settings.h"
#include "graphics/soft_image.h"
#include "image/base_image.h"

namespace qz {
namespace {

constexpr int kMeshObjectKind = 0x08000000;
constexpr int kMeshObjectSlotMask = 0x1FFFF;
constexpr int kMeshInstanceSlots = 65536;
constexpr int kLayoutCount = 9;
// A part of kind 1 is skinned: without shaders every instance transforms its
// vertices into a buffer of its own.
constexpr int kSkinnedPartKind = 1;
constexpr std::uint32_t kInstanceBufferUsage = plat::D3DUSAGE_WRITEONLY | plat::D3DUSAGE_DYNAMIC;  // 520

struct MeshPart {
  int kind, flag, layout, stride;
  std::vector<std::uint8_t> vertices;
  std::vector<std::uint16_t> indexes;
  int group = -1;  // placement while built
  int node = -1;
  int vertexOffset = 0;
  int indexOffset = 0;
};

struct MeshGroupNode {
  int vertexCount = 0;
  int indexCount = 0;
  int stride = 0;
  plat::IDirect3DVertexBuffer9* vertexBuffer = nullptr;
  plat::IDirect3DIndexBuffer9* indexBuffer = nullptr;
};

struct MeshMaterial {
  std::vector<std::uint8_t> imageBlock;
  std::vector<std::uint8_t> alphaBlock;
  int normalMap;
  float bumpScale;
  int graph;
};

struct MeshObject {
  int references = 1;
  int built = 0;
  int frameCount = 0;
  std::vector<MeshPart> parts;
  std::array<std::vector<MeshGroupNode>, kMeshGroupCount> groups;
  std::vector<int> textureGraphs;
  std::vector<MeshMaterial> materials;
  std::vector<int> instances;
};

// Per-frame state of an instance: its chain of linked blocks, its two
// optional buffers and its entries of the instance's items.
struct MeshInstanceFrame {
  std::vector<std::vector<std::uint8_t>> blocks;
  std::array<std::vector<std::uint8_t>, 2> buffers;
  std::vector<int> itemEntries;  // per item: 1 while the frame uses it
};

struct MeshInstanceData {
  std::vector<plat::IDirect3DVertexBuffer9*> partBuffers;  // one per part of the object
  std::vector<MeshInstanceFrame> frames;                   // one per frame of the object
  MeshInstanceFrame whole;                                 // the instance's own blocks and buffers
  std::vector<std::vector<std::uint8_t>> items;
};

struct MeshInstanceRecord {
  std::int32_t check;
  std::int32_t object;
  MeshInstanceData* data;
  std::int32_t refill;
};

std::vector<MeshObject*> gObjects;
HandleTable<MeshInstanceRecord, kMeshInstanceSlots, kMeshObjectHandle> gInstances;
int gReady = 0;

MeshObject* ObjectOf(int handle) {
  if (handle < 0 || (handle & ~kMeshObjectSlotMask) != kMeshObjectKind) return nullptr;
  const std::size_t slot = static_cast<std::size_t>(handle & kMeshObjectSlotMask);
  return slot < gObjects.size() ? gObjects[slot] : nullptr;
}

int GroupOf(const MeshPart& part) {
  return (std::min(part.kind, 2) * 2 + (part.flag != 0 ? 1 : 0)) * kLayoutCount + part.layout;
}

bool DeviceBuffersAllowed() { return GetGraphicsState().hardware3DOn != 0 && GetGraphicsState().device != nullptr; }

template <typename Buffer>
void Fill(Buffer* buffer, std::uint32_t offset, const void* data, std::size_t bytes) {
  void* locked = nullptr;
  if (buffer == nullptr || bytes == 0 ||
      plat::FAILED(buffer->Lock(offset, static_cast<std::uint32_t>(bytes), &locked, 0))) {
    return;
  }
  std::memcpy(locked, data, bytes);
  buffer->Unlock();
}

void ReleaseNodes(MeshObject* object) {
  for (auto& chain : object->groups) {
    for (MeshGroupNode& node : chain) {
      ReleaseAndClear(&node.vertexBuffer);
      ReleaseAndClear(&node.indexBuffer);
    }
    chain.clear();
  }
  for (MeshPart& part : object->parts) part.group = part.node = -1;
  object->built = 0;
}

// Places every part in the last node of its group, chaining a new node when
// the part would take the node to its vertex or index limit.
void PlaceParts(MeshObject* object) {
  for (MeshPart& part : object->parts) {
    const int vertexCount = static_cast<int>(part.vertices.size()) / part.stride;
    const int indexCount = static_cast<int>(part.indexes.size());
    auto& chain = object->groups[static_cast<std::size_t>(GroupOf(part))];
    if (chain.empty() || chain.back().vertexCount + vertexCount >= kMeshNodeVertexLimit ||
        chain.back().indexCount + indexCount >= kMeshNodeIndexLimit) {
      chain.emplace_back();
      chain.back().stride = part.stride;
    }
    MeshGroupNode& node = chain.back();
    part.group = GroupOf(part);
    part.node = static_cast<int>(chain.size()) - 1;
    part.vertexOffset = node.vertexCount;
    part.indexOffset = node.indexCount;
    node.vertexCount += vertexCount;
    node.indexCount += indexCount;
  }
}

MeshInstanceRecord* InstanceOf(int handle) { return gInstances.Get(handle); }

// The frame of an instance, or its own state for frame -1; null when out of range.
MeshInstanceFrame* FrameOf(int instance, int frame) {
  MeshInstanceRecord* record = InstanceOf(instance);
  if (record == nullptr || frame < -1 || frame >= static_cast<int>(record->data->frames.size())) return nullptr;
  return frame == -1 ? &record->data->whole : &record->data->frames[static_cast<std::size_t>(frame)];
}

const void* BlockData(const std::vector<std::uint8_t>& block) { return block.empty() ? nullptr : block.data(); }

// Decodes the material's blocks into images; with `graph` -1 a new graph is
// made of them, else the graph is refilled. Material pictures never take the
// transparent colour, made or restored. The graph, or -1.
int BuildMaterialGraph(const MeshMaterial& material, int graph) {
  BaseImage image{};
  BaseImage alpha{};
  if (BuildMaterialTextureImages(&image, &alpha, BlockData(material.imageBlock), material.imageBlock.size(),
                                 BlockData(material.alphaBlock), material.alphaBlock.size(), material.normalMap,
                                 material.bumpScale, 0) != 0) {
    return -1;
  }
  BaseImage* alphaImage = material.alphaBlock.empty() ? nullptr : &alpha;
  const std::int32_t savedOff = GetDrawSettings().transparentOnLoadOff;
  SetTransparentColorOnLoad(0);
  int result = graph;
  if (graph == -1) {
    result = BuildGraphFromBaseImages(&image, alphaImage, 0);
  } else if (ReloadGraphFromBaseImage(&image, alphaImage, graph) != 0) {
    result = -1;
  }
  GetDrawSettings().transparentOnLoadOff = savedOff;
  FreeBaseImagePixels(&image);
  FreeBaseImagePixels(&alpha);
  return result;
}

// Buffers, data and texture graphs of the object in the slot; the slot is emptied.
void FreeMeshObject(std::size_t slot) {
  MeshObject* mesh = gObjects[slot];
  ReleaseNodes(mesh);
  for (const int graph : mesh->textureGraphs) ReleaseGraph(graph);
  for (const MeshMaterial& material : mesh->materials) ReleaseGraph(material.graph);
  delete mesh;
  gObjects[slot] = nullptr;
}

}  // namespace

void SetMeshObjectsReady(int ready) { gReady = ready; }

int CreateMeshObject(int frameCount) {
  if (gReady == 0 || frameCount < 0 || gObjects.size() > static_cast<std::size_t>(kMeshObjectSlotMask)) return -1;
  gObjects.push_back(new MeshObject());
  gObjects.back()->frameCount = frameCount;
  return kMeshObjectKind | static_cast<int>(gObjects.size() - 1);
}

int AddMeshObjectPart(int object, int kind, int flag, int layout, const void* vertices, int vertexCount, int stride,
                      const std::uint16_t* indexes, int indexCount) {
  MeshObject* mesh = ObjectOf(object);
  if (mesh == nullptr || mesh->built != 0 || kind < 0 || layout < 0 || layout >= kLayoutCount || stride <= 0 ||
      vertexCount < 0 || indexCount < 0 || (vertexCount > 0 && vertices == nullptr) ||
      (indexCount > 0 && indexes == nullptr) || vertexCount >= kMeshNodeVertexLimit ||
      indexCount >= kMeshNodeIndexLimit) {
    return -1;
  }
  MeshPart part{kind, flag, layout, stride, {}, {}};
  const auto* bytes = static_cast<const std::uint8_t*>(vertices);
  part.vertices.assign(bytes, bytes + static_cast<std::size_t>(vertexCount) * stride);
  part.indexes.assign(indexes, indexes + indexCount);
  mesh->parts.push_back(std::move(part));
  return 0;
}

int AddMeshObjectTextureGraph(int object, int graph) {
  MeshObject* mesh = ObjectOf(object);
  if (mesh == nullptr || IsValidGraphHandle(graph) == 0) return -1;
  mesh->textureGraphs.push_back(graph);
  return 0;
}

int AddMeshObjectMaterial(int object, const void* imageBlock, std::size_t imageSize, const void* alphaBlock,
                          std::size_t alphaSize, int normalMap, float bumpScale) {
  MeshObject* mesh = ObjectOf(object);
  if (mesh == nullptr || (imageBlock == nullptr && alphaBlock == nullptr)) return -1;
  MeshMaterial material{{}, {}, normalMap, bumpScale, -1};
  if (imageBlock != nullptr) {
    const auto* bytes = static_cast<const std::uint8_t*>(imageBlock);
    material.imageBlock.assign(bytes, bytes + imageSize);
  }
  if (alphaBlock != nullptr) {
    const auto* bytes = static_cast<const std::uint8_t*>(alphaBlock);
    material.alphaBlock.assign(bytes, bytes + alphaSize);
  }
  material.graph = BuildMaterialGraph(material, -1);
  if (material.graph == -1) return -1;
  mesh->materials.push_back(std::move(material));
  return mesh->materials.back().graph;
}

int RestoreMeshMaterialTextures() {
  for (MeshObject* mesh : gObjects) {
    if (mesh == nullptr) continue;
    for (const MeshMaterial& material : mesh->materials) BuildMaterialGraph(material, material.graph);
  }
  return 0;
}

int CreateMeshInstance(int object) {
  MeshObject* mesh = ObjectOf(object);
  if (mesh == nullptr) return -1;
  const int handle = gInstances.Create(HandleTablePolicy{nullptr, false});
  if (handle == -1) return -1;
  MeshInstanceRecord* record = gInstances.Get(handle);
  record->object = object;
  record->data = new MeshInstanceData();
  record->data->partBuffers.assign(mesh->parts.size(), nullptr);
  record->data->frames.resize(static_cast<std::size_t>(mesh->frameCount));
  ++mesh->references;
  mesh->instances.push_back(handle);
  CreateMeshVertexBuffers(handle);
  return handle;
}

int CreateMeshBuffers(int object, int) {
  MeshObject* mesh = ObjectOf(object);
  if (mesh == nullptr || !DeviceBuffersAllowed()) return -1;
  ReleaseNodes(mesh);
  PlaceParts(mesh);
  for (auto& chain : mesh->groups) {
    for (MeshGroupNode& node : chain) {
      node.vertexBuffer = CreateDeviceVertexBuffer(static_cast<std::uint32_t>(node.vertexCount * node.stride),
                                                   plat::D3DUSAGE_WRITEONLY, 0, plat::D3DPOOL_DEFAULT);
      node.indexBuffer = CreateDeviceIndexBuffer(static_cast<std::uint32_t>(std::max(node.indexCount, 1) * 2),
                                                 plat::D3DUSAGE_WRITEONLY, plat::D3DFMT_INDEX16, plat::D3DPOOL_DEFAULT);
    }
  }
  for (const MeshPart& part : mesh->parts) {
    MeshGroupNode& node = mesh->groups[static_cast<std::size_t>(part.group)][static_cast<std::size_t>(part.node)];
    Fill(node.vertexBuffer, static_cast<std::uint32_t>(part.vertexOffset * part.stride), part.vertices.data(),
         part.vertices.size());
    Fill(node.indexBuffer, static_cast<std::uint32_t>(part.indexOffset * 2), part.indexes.data(),
         part.indexes.size() * 2);
  }
  mesh->built = 1;
  for (const int instance : mesh->instances) CreateMeshVertexBuffers(instance);
  return 0;
}

int CreateMeshVertexBuffers(int instance) {
  MeshInstanceRecord* record = InstanceOf(instance);
  MeshObject* mesh = record != nullptr ? ObjectOf(record->object) : nullptr;
  if (mesh == nullptr || !DeviceBuffersAllowed() || GetDeviceStateCache().shadersOn != 0) return 0;
  for (std::size_t i = 0; i < mesh->parts.size(); ++i) {
    const MeshPart& part = mesh->parts[i];
    plat::IDirect3DVertexBuffer9*& buffer = record->data->partBuffers[i];
    if (part.kind != kSkinnedPartKind || part.vertices.empty() || buffer != nullptr) continue;
    buffer = CreateDeviceVertexBuffer(static_cast<std::uint32_t>(part.vertices.size()), kInstanceBufferUsage, 0,
                                      plat::D3DPOOL_DEFAULT);
    record->refill = 1;
  }
  return 0;
}

int RecreateAllMeshBuffers() {
  for (std::size_t slot = 0; slot < gObjects.size(); ++slot) {
    if (gObjects[slot] != nullptr) CreateMeshBuffers(kMeshObjectKind | static_cast<int>(slot), 1);
  }
  return 0;
}

int ReleaseMeshInstanceBuffers(int instance) {
  MeshInstanceRecord* record = InstanceOf(instance);
  if (record == nullptr) return -1;
  for (plat::IDirect3DVertexBuffer9*& buffer : record->data->partBuffers) ReleaseAndClear(&buffer);
  return 0;
}

int ReleaseMeshBuffers(int object) {
  MeshObject* mesh = ObjectOf(object);
  if (mesh == nullptr) return -1;
  ReleaseNodes(mesh);
  for (const int instance : mesh->instances) ReleaseMeshInstanceBuffers(instance);
  return 0;
}

int ReleaseAllMeshBuffers() {
  for (std::size_t slot = 0; slot < gObjects.size(); ++slot) {
    if (gObjects[slot] != nullptr) ReleaseMeshBuffers(kMeshObjectKind | static_cast<int>(slot));
  }
  return 0;
}

int DeleteMeshObject(int object) {
  MeshObject* mesh = ObjectOf(object);
  if (mesh == nullptr) return -1;
  if (--mesh->references > 0) return 0;
  FreeMeshObject(static_cast<std::size_t>(object & kMeshObjectSlotMask));
  return 0;
}

int DeleteMeshInstance(int instance) {
  MeshInstanceRecord* record = InstanceOf(instance);
  if (record == nullptr) return -1;
  ReleaseMeshInstanceBuffers(instance);
  delete record->data;
  const int object = record->object;
  if (MeshObject* mesh = ObjectOf(object); mesh != nullptr) {
    mesh->instances.erase(std::remove(mesh->instances.begin(), mesh->instances.end(), instance), mesh->instances.end());
  }
  gInstances.Delete(instance);
  gInstances.LowerHighWaterMark();
  DeleteMeshObject(object);
  return 0;
}

int AddMeshInstanceItem(int instance, std::size_t bytes) {
  MeshInstanceRecord* record = InstanceOf(instance);
  if (record == nullptr) return -1;
  record->data->items.emplace_back(bytes);
  for (MeshInstanceFrame& frame : record->data->frames) frame.itemEntries.push_back(1);
  return static_cast<int>(record->data->items.size()) - 1;
}

int AddMeshInstanceFrameBlock(int instance, int frame, std::size_t bytes) {
  MeshInstanceFrame* state = FrameOf(instance, frame);
  if (state == nullptr) return -1;
  state->blocks.emplace_back(bytes);
  return 0;
}

int SetMeshInstanceFrameBuffer(int instance, int frame, int which, std::size_t bytes) {
  MeshInstanceFrame* state = FrameOf(instance, frame);
  if (state == nullptr || which < 0 || which > 1) return -1;
  state->buffers[static_cast<std::size_t>(which)].assign(bytes, 0);
  return 0;
}

int FreeMeshInstanceItem(int instance, int item) {
  MeshInstanceRecord* record = InstanceOf(instance);
  if (record == nullptr || item < 0 || item >= static_cast<int>(record->data->items.size())) return -1;
  std::vector<std::uint8_t>().swap(record->data->items[static_cast<std::size_t>(item)]);
  for (MeshInstanceFrame& frame : record->data->frames) frame.itemEntries[static_cast<std::size_t>(item)] = 0;
  return 0;
}

int FreeMeshInstanceFrameChain(int instance, int frame) {
  MeshInstanceFrame* state = FrameOf(instance, frame);
  if (state == nullptr) return -1;
  std::vector<std::vector<std::uint8_t>>().swap(state->blocks);
  return 0;
}

int FreeMeshInstanceFrameBuffer(int instance, int frame, int which) {
  MeshInstanceFrame* state = FrameOf(instance, frame);
  if (state == nullptr || which < 0 || which > 1) return -1;
  std::vector<std::uint8_t>().swap(state->buffers[static_cast<std::size_t>(which)]);
  return 0;
}

std::size_t GetMeshInstanceDataBytes(int instance) {
  const MeshInstanceRecord* record = InstanceOf(instance);
  if (record == nullptr) return 0;
  std::size_t bytes = 0;
  const auto count = [&bytes](const MeshInstanceFrame& frame) {
    for (const auto& block : frame.blocks) bytes += block.size();
    for (const auto& buffer : frame.buffers) bytes += buffer.size();
  };
  count(record->data->whole);
  for (const MeshInstanceFrame& frame : record->data->frames) count(frame);
  for (const auto& item : record->data->items) bytes += item.size();
  return bytes;
}

int DeleteAllMeshObjects() {
  RecordCall("DeleteAllMeshObjects");
  for (int slot = 0; slot < gInstances.HighWaterMark(); ++slot) {
    const int handle = gInstances.HandleAt(slot);
    if (handle != -1) DeleteMeshInstance(handle);
  }
  for (std::size_t slot = 0; slot < gObjects.size(); ++slot) {
    if (gObjects[slot] != nullptr) FreeMeshObject(slot);
  }
  gObjects.clear();
  gObjects.shrink_to_fit();
  gReady = 0;
  return 0;
}

int GetMeshGroupNodeCount(int object, int group) {
  const MeshObject* mesh = ObjectOf(object);
  if (mesh == nullptr || group < 0 || group >= kMeshGroupCount) return -1;
  return static_cast<int>(mesh->groups[static_cast<std::size_t>(group)].size());
}

int GetMeshGroupNode(int object, int group, int node, int* vertexCount, int* indexCount, void** vertexBuffer,
                     void** indexBuffer) {
  if (GetMeshGroupNodeCount(object, group) <= node || node < 0) return -1;
  const MeshGroupNode& entry = ObjectOf(object)->groups[static_cast<std::size_t>(group)][static_cast<std::size_t>(node)];
  *vertexCount = entry.vertexCount;
  *indexCount = entry.indexCount;
  *vertexBuffer = entry.vertexBuffer;
  *indexBuffer = entry.indexBuffer;
  return 0;
}

int GetMeshObjectReferenceCount(int object) {
  const MeshObject* mesh = ObjectOf(object);
  return mesh != nullptr ? mesh->references : -1;
}

}  // namespace qz
