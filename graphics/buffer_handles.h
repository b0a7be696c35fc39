// Vertex-buffer, index-buffer and user pixel-shader handles: a program's own
// geometry and shaders on the device. Each record keeps what the device needs
// to make its object again (the elements, the shader code), so a device
// rebuild re-creates the objects and the handles stay valid.
#pragma once

#include <cstdint>

#include "platform/d3d9.h"

namespace qz {

inline constexpr int kVertexBufferSlots = 16384;
inline constexpr int kIndexBufferSlots = 16384;
inline constexpr int kPixelShaderSlots = 4096;
// The vertex format of buffers made without one: position, normal, diffuse,
// specular and two texture coordinate sets.
inline constexpr std::uint32_t kFixedVertexFormat = 0x2D2;

struct BufferHandleRecord {
  std::int32_t check;
  std::int32_t handle;
  std::int32_t format;  // the FVF of a vertex buffer, the D3DFORMAT of an index buffer
  std::int32_t reserved;
  std::int32_t elementSize;
  std::int32_t elementCount;
  std::uint8_t* systemCopy;  // every element, always present
  plat::IDirect3DResource9* deviceBuffer;  // null while the device is gone
};

struct PixelShaderHandleRecord {
  std::int32_t check;
  std::int32_t handle;
  std::uint32_t* code;  // tracked copy, up to and including the end token
  std::int32_t codeWords;
  plat::IDirect3DPixelShader9* shader;  // null while the device is gone
};

// Creation: the record, a zeroed system copy and, with a device, the device
// object. The handle, or -1 (bad arguments, full table, refused object).
int MakeVertexBufferHandle(int vertexCount, std::uint32_t fvf);
int MakeIndexBufferHandle(int indexCount, int indexBits);
int MakePixelShaderHandle(const std::uint32_t* code);

BufferHandleRecord* GetVertexBufferRecord(int handle);
BufferHandleRecord* GetIndexBufferRecord(int handle);
PixelShaderHandleRecord* GetPixelShaderRecord(int handle);
int GetVertexBufferSlotEnd();

// 0, or -1 for an invalid handle.
int ReleaseVertexBufferHandle(int handle);
int ReleaseIndexBufferHandle(int handle);
int ReleasePixelShaderHandle(int handle);
// Only while graphics is started. 0.
int ReleaseAllVertexBufferHandles();
int ReleaseAllIndexBufferHandles();
int ReleaseAllPixelShaderHandles();

// Copies count elements from start into the device buffer (when there is one)
// and always into the system copy. -1 for an invalid handle, start < 0,
// count < 0, start + count past the end, or a refused lock (logged).
int WriteVertexBufferData(int start, const void* data, int count, int handle);
int WriteIndexBufferData(int start, const void* data, int count, int handle);

// The device objects of every handle: released (records kept) before the
// device goes, made again from the records on the new device.
void ReleaseAllBufferDeviceObjects();
void RecreateAllBufferDeviceObjects();
// A new device buffer holding the kept elements. 0, or -1 (logged).
int RecreateVertexBufferObject(BufferHandleRecord* record);
int RecreateIndexBufferObject(BufferHandleRecord* record);

// 0 with a device and shaders off; else 300 when the adapter's vertex and
// pixel shader versions are both 3.0 or later, 200 when both are 2.0 or
// later, and 0 below that.
int QueryShaderModel();

// The library's empty operation. 0.
int GraphicsNoOperation();

}  // namespace qz
