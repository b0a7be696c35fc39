// Vertex-buffer, index-buffer and pixel-shader handle tables. The two buffer
// kinds share every step through one description of the kind; the device
// objects are made and dropped here, and the system copies keep the data.
#include "graphics/buffer_handles.h"

#include <cstring>

#include "core/handle.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "graphics/device_release.h"
#include "graphics/device_state_cache.h"
#include "graphics/graphics_state.h"

namespace qz {
namespace {

using VertexBufferTable = HandleTable<BufferHandleRecord, kVertexBufferSlots, kVertexBufferHandle>;
using IndexBufferTable = HandleTable<BufferHandleRecord, kIndexBufferSlots, kIndexBufferHandle>;
using PixelShaderTable = HandleTable<PixelShaderHandleRecord, kPixelShaderSlots, kPixelShaderHandle>;

VertexBufferTable gVertexBuffers;
IndexBufferTable gIndexBuffers;
PixelShaderTable gPixelShaders;
constexpr HandleTablePolicy kLoggedPolicy{text::kHandleRecordAllocFailed, false};

plat::IDirect3DDevice9* Device() { return GetGraphicsState().device; }

// What tells the two buffer kinds apart.
struct BufferKind {
  bool vertex;
  const char* lockFailed;
  const char* createFailed;
};
constexpr BufferKind kVertexKind{true, text::kVertexBufferLockFailed, text::kVertexBufferCreateFailed};
constexpr BufferKind kIndexKind{false, text::kIndexBufferLockFailed, text::kIndexBufferCreateFailed};

plat::HRESULT LockBuffer(const BufferKind& kind, plat::IDirect3DResource9* buffer, std::uint32_t offset,
                         std::uint32_t size, void** data) {
  return kind.vertex ? static_cast<plat::IDirect3DVertexBuffer9*>(buffer)->Lock(offset, size, data, 0)
                     : static_cast<plat::IDirect3DIndexBuffer9*>(buffer)->Lock(offset, size, data, 0);
}

void UnlockBuffer(const BufferKind& kind, plat::IDirect3DResource9* buffer) {
  if (kind.vertex) {
    static_cast<plat::IDirect3DVertexBuffer9*>(buffer)->Unlock();
  } else {
    static_cast<plat::IDirect3DIndexBuffer9*>(buffer)->Unlock();
  }
}

int WriteBufferData(const BufferKind& kind, BufferHandleRecord* record, int start, const void* data, int count) {
  if (record == nullptr || data == nullptr || start < 0 || count < 0 ||
      static_cast<long long>(start) + count > record->elementCount) {
    return -1;
  }
  const std::size_t offset = static_cast<std::size_t>(start) * static_cast<std::size_t>(record->elementSize);
  const std::size_t bytes = static_cast<std::size_t>(count) * static_cast<std::size_t>(record->elementSize);
  if (bytes == 0) return 0;
  if (record->deviceBuffer != nullptr) {
    void* locked = nullptr;
    if (plat::FAILED(LockBuffer(kind, record->deviceBuffer, static_cast<std::uint32_t>(offset),
                                static_cast<std::uint32_t>(bytes), &locked)) ||
        locked == nullptr) {
      return AppendLogText(kind.lockFailed);
    }
    std::memcpy(locked, data, bytes);
    UnlockBuffer(kind, record->deviceBuffer);
  }
  std::memcpy(record->systemCopy + offset, data, bytes);
  return 0;
}

int RecreateBufferObject(const BufferKind& kind, BufferHandleRecord* record) {
  plat::IDirect3DDevice9* device = Device();
  if (record == nullptr || device == nullptr) return 0;
  ReleaseAndClear(&record->deviceBuffer);
  const std::uint32_t length = static_cast<std::uint32_t>(record->elementCount * record->elementSize);
  plat::HRESULT result;
  if (kind.vertex) {
    plat::IDirect3DVertexBuffer9* buffer = nullptr;
    result = device->CreateVertexBuffer(length, plat::D3DUSAGE_WRITEONLY, static_cast<std::uint32_t>(record->format),
                                        plat::D3DPOOL_DEFAULT, &buffer, nullptr);
    record->deviceBuffer = buffer;
  } else {
    plat::IDirect3DIndexBuffer9* buffer = nullptr;
    result = device->CreateIndexBuffer(length, plat::D3DUSAGE_WRITEONLY, static_cast<plat::D3DFORMAT>(record->format),
                                       plat::D3DPOOL_DEFAULT, &buffer, nullptr);
    record->deviceBuffer = buffer;
  }
  if (plat::FAILED(result) || record->deviceBuffer == nullptr) {
    record->deviceBuffer = nullptr;
    return AppendLogText(kind.createFailed);
  }
  return WriteBufferData(kind, record, 0, record->systemCopy, record->elementCount);
}

int RecreatePixelShaderObject(PixelShaderHandleRecord* record) {
  plat::IDirect3DDevice9* device = Device();
  if (record == nullptr || device == nullptr) return 0;
  ReleaseAndClear(&record->shader);
  if (plat::FAILED(device->CreatePixelShader(record->code, &record->shader)) || record->shader == nullptr) {
    record->shader = nullptr;
    return AppendLogText(text::kPixelShaderCreateFailed);
  }
  return 0;
}

template <typename Table>
int MakeBufferHandle(Table& table, const BufferKind& kind, int count, int elementSize, std::int32_t format) {
  if (count <= 0 || elementSize <= 0 || static_cast<long long>(count) * elementSize > 0x7FFFFFFF) return -1;
  const int handle = table.Create(kLoggedPolicy);
  if (handle == -1) return -1;
  BufferHandleRecord* record = table.Get(handle);
  record->handle = handle;
  record->format = format;
  record->elementSize = elementSize;
  record->elementCount = count;
  record->systemCopy =
      static_cast<std::uint8_t*>(QZ_ALLOC_ZEROED(static_cast<std::size_t>(count) * static_cast<std::size_t>(elementSize)));
  if (record->systemCopy == nullptr || RecreateBufferObject(kind, record) != 0) {
    ReleaseAndClear(&record->deviceBuffer);
    FreeTracked(record->systemCopy);
    table.Delete(handle);
    table.LowerHighWaterMark();
    return -1;
  }
  return handle;
}

void FreeOwned(BufferHandleRecord* record) {
  ReleaseAndClear(&record->deviceBuffer);
  FreeTracked(record->systemCopy);
}

void FreeOwned(PixelShaderHandleRecord* record) {
  ReleaseAndClear(&record->shader);
  FreeTracked(record->code);
}

template <typename Table>
int ReleaseHandle(Table& table, int handle) {
  auto* record = table.Get(handle);
  if (record == nullptr) return -1;
  FreeOwned(record);
  table.Delete(handle);
  table.LowerHighWaterMark();
  return 0;
}

template <typename Table>
int ReleaseAllHandles(Table& table) {
  if (GetGraphicsState().started == 0) return 0;
  for (int slot = 0; slot < table.HighWaterMark(); ++slot) {
    const int handle = table.HandleAt(slot);
    if (handle != -1) ReleaseHandle(table, handle);
  }
  return 0;
}

// Calls visit(record) for every live record of the table.
template <typename Table, typename Visit>
void ForEachRecord(Table& table, Visit visit) {
  for (int slot = 0; slot < table.HighWaterMark(); ++slot) {
    if (auto* record = table.RecordAt(slot); record != nullptr) visit(record);
  }
}

}  // namespace

int MakeVertexBufferHandle(int vertexCount, std::uint32_t fvf) {
  const std::uint32_t format = fvf != 0 ? fvf : kFixedVertexFormat;
  const int size = static_cast<int>(plat::GetFvfVertexSize(format));
  if (size == 0) return -1;
  return MakeBufferHandle(gVertexBuffers, kVertexKind, vertexCount, size, static_cast<std::int32_t>(format));
}

int MakeIndexBufferHandle(int indexCount, int indexBits) {
  if (indexBits != 16 && indexBits != 32) return -1;
  const plat::D3DFORMAT format = indexBits == 16 ? plat::D3DFMT_INDEX16 : plat::D3DFMT_INDEX32;
  return MakeBufferHandle(gIndexBuffers, kIndexKind, indexCount, indexBits / 8, static_cast<std::int32_t>(format));
}

int MakePixelShaderHandle(const std::uint32_t* code) {
  constexpr std::uint32_t kEndToken = 0x0000FFFF;
  constexpr int kLongestCode = 1 << 16;
  if (code == nullptr || (code[0] >> 16) != 0xFFFF) return -1;
  int words = 1;
  while (words < kLongestCode && code[words - 1] != kEndToken) ++words;
  if (code[words - 1] != kEndToken) return -1;
  const int handle = gPixelShaders.Create(kLoggedPolicy);
  if (handle == -1) return -1;
  PixelShaderHandleRecord* record = gPixelShaders.Get(handle);
  record->handle = handle;
  record->codeWords = words;
  record->code = static_cast<std::uint32_t*>(QZ_ALLOC(sizeof(std::uint32_t) * static_cast<std::size_t>(words)));
  if (record->code == nullptr) {
    ReleaseHandle(gPixelShaders, handle);
    return -1;
  }
  std::memcpy(record->code, code, sizeof(std::uint32_t) * static_cast<std::size_t>(words));
  if (RecreatePixelShaderObject(record) != 0) {
    ReleaseHandle(gPixelShaders, handle);
    return -1;
  }
  return handle;
}

BufferHandleRecord* GetVertexBufferRecord(int handle) { return gVertexBuffers.Get(handle); }
BufferHandleRecord* GetIndexBufferRecord(int handle) { return gIndexBuffers.Get(handle); }
PixelShaderHandleRecord* GetPixelShaderRecord(int handle) { return gPixelShaders.Get(handle); }
int GetVertexBufferSlotEnd() { return gVertexBuffers.HighWaterMark(); }

int ReleaseVertexBufferHandle(int handle) { return ReleaseHandle(gVertexBuffers, handle); }
int ReleaseIndexBufferHandle(int handle) { return ReleaseHandle(gIndexBuffers, handle); }
int ReleasePixelShaderHandle(int handle) { return ReleaseHandle(gPixelShaders, handle); }
int ReleaseAllVertexBufferHandles() { return ReleaseAllHandles(gVertexBuffers); }
int ReleaseAllIndexBufferHandles() { return ReleaseAllHandles(gIndexBuffers); }
int ReleaseAllPixelShaderHandles() { return ReleaseAllHandles(gPixelShaders); }

int WriteVertexBufferData(int start, const void* data, int count, int handle) {
  return WriteBufferData(kVertexKind, gVertexBuffers.Get(handle), start, data, count);
}

int WriteIndexBufferData(int start, const void* data, int count, int handle) {
  return WriteBufferData(kIndexKind, gIndexBuffers.Get(handle), start, data, count);
}

void ReleaseAllBufferDeviceObjects() {
  ForEachRecord(gVertexBuffers, [](BufferHandleRecord* record) { ReleaseAndClear(&record->deviceBuffer); });
  ForEachRecord(gIndexBuffers, [](BufferHandleRecord* record) { ReleaseAndClear(&record->deviceBuffer); });
  ForEachRecord(gPixelShaders, [](PixelShaderHandleRecord* record) { ReleaseAndClear(&record->shader); });
}

void RecreateAllBufferDeviceObjects() {
  ForEachRecord(gVertexBuffers, [](BufferHandleRecord* record) { RecreateVertexBufferObject(record); });
  ForEachRecord(gIndexBuffers, [](BufferHandleRecord* record) { RecreateIndexBufferObject(record); });
  ForEachRecord(gPixelShaders, [](PixelShaderHandleRecord* record) { RecreatePixelShaderObject(record); });
}

int RecreateVertexBufferObject(BufferHandleRecord* record) { return RecreateBufferObject(kVertexKind, record); }

int RecreateIndexBufferObject(BufferHandleRecord* record) { return RecreateBufferObject(kIndexKind, record); }

int QueryShaderModel() {
  const GraphicsState& state = GetGraphicsState();
  if (state.device != nullptr && GetDeviceStateCache().shadersOn == 0) return 0;
  plat::D3DCAPS9 caps{};
  if (state.direct3D == nullptr ||
      plat::FAILED(state.direct3D->GetDeviceCaps(plat::D3DADAPTER_DEFAULT, plat::D3DDEVTYPE_HAL, &caps))) {
    return 200;
  }
  const auto atLeast = [&caps](std::uint32_t major) {
    return (caps.VertexShaderVersion & 0xFFFF) >= (major << 8) && (caps.PixelShaderVersion & 0xFFFF) >= (major << 8);
  };
  // An adapter below model 2.0 has no model the library can use.
  return atLeast(3) ? 300 : atLeast(2) ? 200 : 0;
}

int GraphicsNoOperation() { return 0; }

}  // namespace qz
