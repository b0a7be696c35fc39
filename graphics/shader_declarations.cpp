// The vertex declarations of the shader path: six layouts (three plain,
// three with blending weights and indices), each with 0 to 8 FLOAT4 texture
// coordinates after it, and the mesh vertex. Made while shaders are on, and
// released with the device.
#include "graphics/device_release.h"
#include "graphics/device_state_internal.h"
#include "graphics/shader_objects.h"

namespace qz {
namespace {

using plat::D3DVERTEXELEMENT9;

constexpr std::uint8_t kDeclTypeShort4 = 7;
constexpr std::uint8_t kUsagePointSize = 4;
constexpr std::uint8_t kUsageTangent = 6;
constexpr std::uint8_t kUsageBinormal = 7;
constexpr std::uint8_t kUsageFog = 11;
constexpr int kLargestLayout = 10;

constexpr D3DVERTEXELEMENT9 Element(std::uint16_t offset, std::uint8_t type, std::uint8_t usage,
                                    std::uint8_t index = 0) {
  return {0, offset, type, plat::D3DDECLMETHOD_DEFAULT, usage, index};
}

struct VertexLayout {
  int size;
  int count;
  D3DVERTEXELEMENT9 elements[kLargestLayout];
};

// Position, normal and two colours; then a tangent and point size; then a
// binormal and fog. The blended layouts carry weights and indices after
// the position.
constexpr VertexLayout kLayouts[kVertexLayoutCount] = {
    {32, 4, {Element(0, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_POSITION),
             Element(12, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_NORMAL),
             Element(24, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 0),
             Element(28, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 1)}},
    {52, 6, {Element(0, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_POSITION),
             Element(12, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_NORMAL),
             Element(24, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 0),
             Element(28, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 1),
             Element(32, plat::D3DDECLTYPE_FLOAT4, kUsageTangent),
             Element(48, plat::D3DDECLTYPE_FLOAT1, kUsagePointSize)}},
    {72, 8, {Element(0, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_POSITION),
             Element(12, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_NORMAL),
             Element(24, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 0),
             Element(28, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 1),
             Element(32, plat::D3DDECLTYPE_FLOAT4, kUsageTangent),
             Element(48, plat::D3DDECLTYPE_FLOAT1, kUsagePointSize),
             Element(52, plat::D3DDECLTYPE_FLOAT4, kUsageBinormal),
             Element(68, plat::D3DDECLTYPE_FLOAT1, kUsageFog)}},
    {56, 6, {Element(0, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_POSITION),
             Element(12, plat::D3DDECLTYPE_FLOAT4, plat::D3DDECLUSAGE_BLENDWEIGHT),
             Element(28, kDeclTypeShort4, plat::D3DDECLUSAGE_BLENDINDICES),
             Element(36, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_NORMAL),
             Element(48, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 0),
             Element(52, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 1)}},
    {76, 8, {Element(0, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_POSITION),
             Element(12, plat::D3DDECLTYPE_FLOAT4, plat::D3DDECLUSAGE_BLENDWEIGHT),
             Element(28, kDeclTypeShort4, plat::D3DDECLUSAGE_BLENDINDICES),
             Element(36, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_NORMAL),
             Element(48, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 0),
             Element(52, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 1),
             Element(56, plat::D3DDECLTYPE_FLOAT4, kUsageTangent),
             Element(72, plat::D3DDECLTYPE_FLOAT1, kUsagePointSize)}},
    {96, 10, {Element(0, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_POSITION),
              Element(12, plat::D3DDECLTYPE_FLOAT4, plat::D3DDECLUSAGE_BLENDWEIGHT),
              Element(28, kDeclTypeShort4, plat::D3DDECLUSAGE_BLENDINDICES),
              Element(36, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_NORMAL),
              Element(48, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 0),
              Element(52, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 1),
              Element(56, plat::D3DDECLTYPE_FLOAT4, kUsageTangent),
              Element(72, plat::D3DDECLTYPE_FLOAT1, kUsagePointSize),
              Element(76, plat::D3DDECLTYPE_FLOAT4, kUsageBinormal),
              Element(92, plat::D3DDECLTYPE_FLOAT1, kUsageFog)}},
};

constexpr D3DVERTEXELEMENT9 kMeshElements[] = {
    Element(0, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_POSITION),
    Element(12, plat::D3DDECLTYPE_FLOAT3, plat::D3DDECLUSAGE_NORMAL),
    Element(24, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 0),
    Element(28, plat::D3DDECLTYPE_D3DCOLOR, plat::D3DDECLUSAGE_COLOR, 1),
    Element(32, plat::D3DDECLTYPE_FLOAT2, plat::D3DDECLUSAGE_TEXCOORD, 0),
    Element(36, plat::D3DDECLTYPE_FLOAT2, plat::D3DDECLUSAGE_TEXCOORD, 1),
    plat::D3DDECL_END,
};

plat::IDirect3DVertexDeclaration9* gDeclarations[kVertexDeclarationCount] = {};

bool Create(plat::IDirect3DDevice9* device, const D3DVERTEXELEMENT9* elements, int slot) {
  if (plat::FAILED(device->CreateVertexDeclaration(elements, &gDeclarations[slot]))) {
    gDeclarations[slot] = nullptr;
    return false;
  }
  return gDeclarations[slot] != nullptr;
}

}  // namespace

int ReleaseVertexDeclarations() {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return 0;
  UnsetDeviceShaders();
  for (plat::IDirect3DVertexDeclaration9*& declaration : gDeclarations) ReleaseAndClear(&declaration);
  return 0;
}

int CreateVertexDeclarations() {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  ReleaseVertexDeclarations();
  bool made = true;
  for (int layout = 0; layout < kVertexLayoutCount; ++layout) {
    const VertexLayout& base = kLayouts[layout];
    D3DVERTEXELEMENT9 elements[kLargestLayout + kTexCoordCounts];
    for (int count = 0; count < kTexCoordCounts; ++count) {
      int n = 0;
      for (; n < base.count; ++n) elements[n] = base.elements[n];
      for (int j = 0; j < count; ++j) {
        elements[n++] = Element(static_cast<std::uint16_t>(base.size + 16 * j), plat::D3DDECLTYPE_FLOAT4,
                                plat::D3DDECLUSAGE_TEXCOORD, static_cast<std::uint8_t>(j));
      }
      elements[n] = plat::D3DDECL_END;
      made = Create(device, elements, layout * kTexCoordCounts + count) && made;
    }
  }
  made = Create(device, kMeshElements, kMeshDeclarationSlot) && made;
  return made ? 0 : -1;
}

plat::IDirect3DVertexDeclaration9* GetVertexDeclaration(int slot) {
  return slot >= 0 && slot < kVertexDeclarationCount ? gDeclarations[slot] : nullptr;
}

int GetVertexLayoutSize(int layout) { return layout >= 0 && layout < kVertexLayoutCount ? kLayouts[layout].size : 0; }

}  // namespace qz
