// Drawing on the stand-in device: the scene and vertex-format checks, then
// the device's state and bound textures handed to the CPU rasteriser, which
// draws at once or records the draw for its band workers.
#include "platform/d3d9_device.h"
#include "platform/d3d9_shader_internal.h"
#include "platform/window_present.h"

namespace plat::d3d9 {
namespace {

constexpr std::uint32_t kLargestPrimitiveCount = 1u << 24;

std::string DrawText(D3DPRIMITIVETYPE type, std::uint32_t count, std::uint32_t stride, const std::string& note) {
  std::string text = FormatArguments({type, count, stride});
  if (!note.empty()) text += ", " + note;
  return text;
}

}  // namespace

HRESULT DeviceImpl::DrawChecked(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, std::uint32_t vertexCount,
                                const void* indices, int indexBytes, const void* vertices, std::uint32_t stride,
                                std::string* note) {
  if (!sceneOpen_) return D3DERR_INVALIDCALL;
  // Shaders are kept, never run: a draw under one is refused and counted.
  if (vertexShader_ != nullptr || pixelShader_ != nullptr) {
    CountShaderDrawRefusal();
    *note = "shader set: refused";
    return D3DERR_INVALIDCALL;
  }
  if (vertices == nullptr || primitiveCount == 0 || primitiveCount > kLargestPrimitiveCount ||
      raster::VerticesForPrimitives(type, primitiveCount) == 0) {
    return D3DERR_INVALIDCALL;
  }
  if (fvf_ == 0) {
    if (declaration_ == nullptr) return D3DERR_INVALIDCALL;
    *note = "declaration: not rasterised";
    return D3D_OK;
  }
  if (stride < GetFvfVertexSize(fvf_)) return D3DERR_INVALIDCALL;
  if ((fvf_ & D3DFVF_POSITION_MASK) != D3DFVF_XYZRHW) {
    // Transformed vertices are never drawn by the 2D library; kept as a no-op.
    *note = "untransformed: not rasterised";
    return D3D_OK;
  }
  raster::Target target;
  SettleFramesWaitingIn(&renderTarget_->store());
  target.color = renderTarget_->store().View();
  if (depthStencil_ != nullptr) {
    // A depth surface smaller than the target cannot be used, as on a real device.
    if (depthStencil_->width() < renderTarget_->width() || depthStencil_->height() < renderTarget_->height()) {
      return D3DERR_INVALIDCALL;
    }
    target.depth = depthStencil_->store().View();
    if (state_.render[D3DRS_ZENABLE] != D3DZB_FALSE && state_.render[D3DRS_ZWRITEENABLE] != 0) {
      depthStencil_->setUniformDepth(std::nullopt);
    }
  }
  for (std::uint32_t stage = 0; stage < kD3DMaxTextureStages; ++stage) {
    TextureImpl* texture = AsTexture(textures_[stage]);
    state_.textures[stage] = texture != nullptr ? texture->level(0).View() : raster::Surface{};
  }
  raster::Draw draw;
  draw.primitiveType = type;
  draw.primitiveCount = static_cast<int>(primitiveCount);
  draw.vertices = vertices;
  draw.fvf = fvf_;
  draw.stride = static_cast<int>(stride);
  draw.vertexCount = static_cast<int>(vertexCount);
  draw.indices = indices;
  draw.indexBytes = indexBytes;
  raster::Report report;
  const raster::Status status = bands_ != nullptr ? bands_->RecordDraw(target, state_, draw, &report)
                                                  : raster::DrawPrimitives(target, state_, draw, &report);
  if (status != raster::Status::kOk) return D3DERR_INVALIDCALL;
  if (bands_ != nullptr) {
    // The draw's pixels now wait for it before anything else touches them.
    renderTarget_->store().uses.Add(*bands_);
    if (depthStencil_ != nullptr) depthStencil_->store().uses.Add(*bands_);
    for (IDirect3DBaseTexture9* bound : textures_) {
      if (TextureImpl* texture = AsTexture(bound); texture != nullptr) texture->level(0).uses.Add(*bands_);
    }
  }
  if (report.missingTexture) *note = "missing texture";
  if (report.missingTexCoords) *note += note->empty() ? "missing texture coordinates" : ", missing texture coordinates";
  return D3D_OK;
}

HRESULT DeviceImpl::DrawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                                    std::uint32_t stride) {
  HRESULT result = CountCall("DrawPrimitiveUP");
  std::string note;
  if (result == D3D_OK) {
    const std::uint64_t vertexCount = raster::VerticesForPrimitives(type, primitiveCount);
    result = DrawChecked(type, primitiveCount, static_cast<std::uint32_t>(vertexCount), nullptr, 2, vertices, stride,
                         &note);
  }
  return Finish("DrawPrimitiveUP", result, [&] { return DrawText(type, primitiveCount, stride, note); });
}

HRESULT DeviceImpl::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t minVertexIndex,
                                           std::uint32_t vertexCount, std::uint32_t primitiveCount,
                                           const void* indices, D3DFORMAT indexFormat, const void* vertices,
                                           std::uint32_t stride) {
  HRESULT result = CountCall("DrawIndexedPrimitiveUP");
  std::string note;
  if (result == D3D_OK && (indices == nullptr || vertexCount == 0 ||
                           (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))) {
    result = D3DERR_INVALIDCALL;
  }
  if (result == D3D_OK) {
    // Indices count from the start of the vertex data; those below
    // minVertexIndex or past minVertexIndex + vertexCount are refused.
    result = DrawChecked(type, primitiveCount, minVertexIndex + vertexCount, indices,
                         indexFormat == D3DFMT_INDEX16 ? 2 : 4, vertices, stride, &note);
  }
  return Finish("DrawIndexedPrimitiveUP", result, [&] { return DrawText(type, primitiveCount, stride, note); });
}

}  // namespace plat::d3d9
