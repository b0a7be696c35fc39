// The stand-in's shader side that tests reach: the shader model 2.0 adapter
// profile, the count of draws refused under a shader, and reading back the
// texels of a volume texture (a default-pool volume cannot be locked).
#include <atomic>
#include <cstring>

#include "platform/d3d9_internal.h"
#include "platform/d3d9_shader.h"
#include "platform/d3d9_shader_internal.h"

namespace plat {
namespace {

std::atomic<int> gShaderDrawRefusals{0};

}  // namespace

D3D9Profile ShaderModel20D3D9Profile() {
  D3D9Profile profile = DefaultD3D9Profile();
  profile.caps.VertexShaderVersion = D3DVS_VERSION(2, 0);
  profile.caps.PixelShaderVersion = D3DPS_VERSION(2, 0);
  profile.caps.MaxVertexShaderConst = 256;
  profile.description = "Software rasteriser, shader model 2.0 (Direct3D 9 stand-in)";
  return profile;
}

int GetD3D9ShaderDrawRefusalCount() { return gShaderDrawRefusals.load(); }

bool ReadD3D9VolumeTexel(IDirect3DVolumeTexture9* volume, std::uint32_t x, std::uint32_t y, std::uint32_t z,
                         std::uint32_t* texel) {
  d3d9::VolumeTextureImpl* impl = d3d9::AsVolumeTexture(volume);
  if (impl == nullptr || texel == nullptr) return false;
  const d3d9::PixelStore& store = impl->level(0);
  if ((store.format != D3DFMT_X8R8G8B8 && store.format != D3DFMT_A8R8G8B8) || x >= store.width ||
      y >= store.height || z >= store.depth) {
    return false;
  }
  const std::size_t offset = static_cast<std::size_t>(z) * store.slicePitch + static_cast<std::size_t>(y) * store.pitch +
                             static_cast<std::size_t>(x) * 4;
  std::memcpy(texel, store.bytes.data() + offset, sizeof(*texel));
  return true;
}

namespace d3d9 {

void CountShaderDrawRefusal() { ++gShaderDrawRefusals; }

void ResetShaderDrawRefusals() { gShaderDrawRefusals = 0; }

}  // namespace d3d9
}  // namespace plat
