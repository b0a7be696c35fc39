// The pending vertex batch: five fixed arrays, one per vertex set and kind,
// drawn from user memory with one DrawPrimitiveUP per run of like vertices.
#include "graphics/vertex_batch.h"

#include "core/library.h"
#include "graphics/device_state_cache.h"
#include "graphics/device_state_internal.h"
#include "graphics/draw_settings_block.h"
#include "graphics/pending_draw_state.h"
#include "graphics/screen_present.h"

namespace qz {
namespace {

struct VertexLayout {
  std::uint32_t fvf;
  std::uint32_t stride;
  std::uint32_t capacity;
};

constexpr int kPreTransformedKinds = 3;
constexpr int kUntransformedKinds = 2;
constexpr VertexLayout kPreTransformedLayouts[kPreTransformedKinds] = {
    {plat::D3DFVF_XYZRHW | plat::D3DFVF_DIFFUSE, 20, 3225},
    {plat::D3DFVF_XYZRHW | plat::D3DFVF_DIFFUSE | plat::D3DFVF_TEX1, 28, 2340},
    {plat::D3DFVF_XYZRHW | plat::D3DFVF_DIFFUSE | plat::D3DFVF_SPECULAR | plat::D3DFVF_TEX2, 40, 1638},
};
constexpr VertexLayout kUntransformedLayouts[kUntransformedKinds] = {
    {plat::D3DFVF_XYZ | plat::D3DFVF_DIFFUSE, 16, 4096},
    {plat::D3DFVF_XYZ | plat::D3DFVF_DIFFUSE | plat::D3DFVF_TEX1, 24, 2730},
};
constexpr VertexLayout kNoLayout = {0, 0, 0};

// Each array holds a little under 64 KiB, as one user-memory draw allows.
constexpr std::size_t kArrayBytes = 65536;
alignas(16) std::uint8_t gPreTransformedArrays[kPreTransformedKinds][kArrayBytes];
alignas(16) std::uint8_t gUntransformedArray[kArrayBytes];

const VertexLayout& LayoutOf(int set, int kind) {
  if (set == kVertexSetPreTransformed && kind >= 0 && kind < kPreTransformedKinds) return kPreTransformedLayouts[kind];
  if (set == kVertexSetUntransformed && kind >= 0 && kind < kUntransformedKinds) return kUntransformedLayouts[kind];
  return kNoLayout;
}

int BufferIndex(int set, int kind) { return set == kVertexSetPreTransformed ? kind : kPreTransformedKinds + kind; }

// Primitives that n vertices make; 0 or less draws nothing.
long long PrimitiveCount(int type, std::uint32_t vertices) {
  const long long n = vertices;
  switch (type) {
    case plat::D3DPT_POINTLIST:
      return n;
    case plat::D3DPT_LINELIST:
      return n / 2;
    case plat::D3DPT_LINESTRIP:
      return n - 1;
    case plat::D3DPT_TRIANGLELIST:
      return n / 3;
    case plat::D3DPT_TRIANGLESTRIP:
    case plat::D3DPT_TRIANGLEFAN:
      return n - 2;
    default:
      return 0;
  }
}

void ResetWritePosition(VertexBatch& batch) {
  ++GetDeviceStateCache().stateSerial;
  batch.vertexCount = 0;
  batch.writePosition = batch.buffers[BufferIndex(batch.vertexSet, batch.vertexKind)];
}

void DrawPending(plat::IDirect3DDevice9* device, const VertexBatch& batch) {
  const long long primitives = PrimitiveCount(batch.primitiveType, batch.vertexCount);
  if (primitives <= 0) return;
  const VertexLayout& layout = LayoutOf(batch.vertexSet, batch.vertexKind);
  SetVertexFormatCached(layout.fvf);
  const bool world = batch.vertexSet == kVertexSetUntransformed;
  if (world) {
    Matrix4x4 identity;
    MakeIdentityMatrix(&identity);
    const plat::D3DMATRIX deviceIdentity = ToDeviceMatrix(identity);
    device->SetTransform(plat::D3DTS_WORLD, &deviceIdentity);
  }
  device->DrawPrimitiveUP(static_cast<std::uint32_t>(batch.primitiveType), static_cast<std::uint32_t>(primitives),
                          batch.buffers[BufferIndex(batch.vertexSet, batch.vertexKind)], layout.stride);
  if (world) {
    const plat::D3DMATRIX stored = ToDeviceMatrix(GetDeviceStateCache().worldMatrix);
    device->SetTransform(plat::D3DTS_WORLD, &stored);
  }
}

}  // namespace

VertexBatch& GetVertexBatch() {
  static VertexBatch batch{};
  return batch;
}

std::uint32_t VertexBatchFvf(int set, int kind) { return LayoutOf(set, kind).fvf; }
std::uint32_t VertexBatchCapacity(int set, int kind) { return LayoutOf(set, kind).capacity; }

int FlushVertexBatch() {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  VertexBatch& batch = GetVertexBatch();
  if (batch.vertexCount > 0 && batch.buffers[0] != nullptr && GetEndingState() == 0) {
    if (GetGraphicsState().sceneOpen == 0) BeginDeviceScene();
    if (GetDrawSettings().skipDrawing == 0 && GetPendingDrawState().discard == 0) DrawPending(device, batch);
  }
  ResetWritePosition(batch);
  return 0;
}

void DiscardVertexBatch() { ResetWritePosition(GetVertexBatch()); }

void PrepareVertexBatchArrays(int set, int kind) {
  VertexBatch& batch = GetVertexBatch();
  for (int i = 0; i < kPreTransformedKinds; ++i) batch.buffers[i] = gPreTransformedArrays[i];
  batch.buffers[kPreTransformedKinds] = gUntransformedArray;
  batch.buffers[kPreTransformedKinds + 1] = gUntransformedArray;

  auto* colorVertices = reinterpret_cast<ColorVertex*>(gPreTransformedArrays[0]);
  for (std::uint32_t i = 0; i < kPreTransformedLayouts[0].capacity; ++i) colorVertices[i] = {0, 0, 0.0f, 1.0f, 0};
  auto* texturedVertices = reinterpret_cast<TexturedVertex*>(gPreTransformedArrays[1]);
  for (std::uint32_t i = 0; i < kPreTransformedLayouts[1].capacity; ++i) {
    texturedVertices[i] = {0, 0, 0.0f, 1.0f, 0, 0, 0};
  }
  auto* twoTextureVertices = reinterpret_cast<TwoTextureVertex*>(gPreTransformedArrays[2]);
  for (std::uint32_t i = 0; i < kPreTransformedLayouts[2].capacity; ++i) {
    twoTextureVertices[i] = {0, 0, 0.0f, 1.0f, 0, 0xFFFFFFFFu, 0, 0, 0, 0};
  }
  batch.vertexSet = set;
  batch.vertexKind = kind;
  ResetWritePosition(batch);
}

void* ReserveBatchVertices(int set, int kind, int primitiveType, int count) {
  const VertexLayout& layout = LayoutOf(set, kind);
  if (layout.capacity == 0 || count < 0 || static_cast<std::uint32_t>(count) > layout.capacity) return nullptr;
  VertexBatch& batch = GetVertexBatch();
  if (batch.buffers[0] == nullptr) return nullptr;
  const bool sameRun = batch.vertexSet == set && batch.vertexKind == kind && batch.primitiveType == primitiveType;
  if (!sameRun || batch.vertexCount + static_cast<std::uint32_t>(count) > layout.capacity) {
    if (batch.vertexCount > 0) FlushVertexBatch();
    batch.vertexSet = set;
    batch.vertexKind = kind;
    batch.primitiveType = primitiveType;
    ResetWritePosition(batch);
  }
  std::uint8_t* start = batch.writePosition;
  batch.writePosition += static_cast<std::size_t>(count) * layout.stride;
  batch.vertexCount += static_cast<std::uint32_t>(count);
  return start;
}

void SetVertexFormatCached(std::uint32_t fvf) {
  VertexBatch& batch = GetVertexBatch();
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr || batch.lastFvf == fvf) return;
  device->SetFVF(fvf);
  batch.lastFvf = fvf;
}

void ForgetLastVertexFormat() { GetVertexBatch().lastFvf = 0; }

}  // namespace qz
