// Decoding a draw's state into the rasteriser's set-up, with the checks that
// refuse what cannot be drawn, and reading vertices by their format bits.
#include <algorithm>
#include <cstring>

#include "platform/d3d9_raster_format.h"
#include "platform/d3d9_raster_internal.h"

namespace plat::raster {
namespace {

bool IsKnownArgument(std::uint32_t arg) {
  return (arg & ~(D3DTA_SELECTMASK | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE)) == 0 &&
         (arg & D3DTA_SELECTMASK) <= D3DTA_CONSTANT;
}

bool IsKnownCompare(std::uint32_t func) { return func >= D3DCMP_NEVER && func <= D3DCMP_ALWAYS; }

bool NamesTexture(std::uint32_t arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; }

// Whether an operation reads its first and its second argument.
bool ReadsFirst(std::uint32_t op) { return op != D3DTOP_SELECTARG2; }
bool ReadsSecond(std::uint32_t op) { return op != D3DTOP_SELECTARG1; }

bool OperationReadsTexture(std::uint32_t op, std::uint32_t arg1, std::uint32_t arg2) {
  if (op == D3DTOP_DISABLE) return false;
  return op == D3DTOP_BLENDTEXTUREALPHA || (ReadsFirst(op) && NamesTexture(arg1)) ||
         (ReadsSecond(op) && NamesTexture(arg2));
}

Status DecodeLayout(const Draw& draw, VertexLayout* layout) {
  if ((draw.fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZRHW) return Status::kUnsupportedVertices;
  int offset = 16;
  if (draw.fvf & D3DFVF_NORMAL) offset += 12;
  if (draw.fvf & D3DFVF_PSIZE) offset += 4;
  if (draw.fvf & D3DFVF_DIFFUSE) {
    layout->diffuseOffset = offset;
    offset += 4;
  }
  if (draw.fvf & D3DFVF_SPECULAR) {
    layout->specularOffset = offset;
    offset += 4;
  }
  const int sets = static_cast<int>((draw.fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
  if (sets > kMaxCoordSets) return Status::kUnsupportedVertices;
  layout->coordSetCount = sets;
  for (int i = 0; i < sets; ++i) {
    static constexpr int kFloatsOfSizeCode[4] = {2, 3, 4, 1};
    layout->coordOffset[i] = offset;
    layout->coordFloats[i] = kFloatsOfSizeCode[(draw.fvf >> (16 + 2 * i)) & 3];
    offset += 4 * layout->coordFloats[i];
  }
  return draw.stride >= offset ? Status::kOk : Status::kBadArguments;
}

bool SurfaceHolds(const Surface& surface, int bytesPerPixel) {
  return surface.pixels != nullptr && surface.width > 0 && surface.height > 0 &&
         surface.pitchBytes >= surface.width * bytesPerPixel;
}

Status DecodeSampler(const Surface& texture, const std::array<std::uint32_t, kSamplerStateCount>& states,
                     SamplerSetup* sampler) {
  if (!IsTextureFormat(texture.format)) return Status::kUnsupportedFormat;
  const int bpp = BytesPerPixel(texture.format);
  const int minimumPitch = bpp != 0 ? texture.width * bpp : ((texture.width + 3) / 4) * (texture.format == D3DFMT_DXT1 ? 8 : 16);
  if (texture.pixels == nullptr || texture.width <= 0 || texture.height <= 0 || texture.pitchBytes < minimumPitch) {
    return Status::kBadArguments;
  }
  sampler->pixels = static_cast<const std::uint8_t*>(texture.pixels);
  sampler->pitchBytes = texture.pitchBytes;
  sampler->width = texture.width;
  sampler->height = texture.height;
  sampler->format = texture.format;
  sampler->bytesPerPixel = bpp;
  sampler->addressU = states[D3DSAMP_ADDRESSU];
  sampler->addressV = states[D3DSAMP_ADDRESSV];
  for (std::uint32_t mode : {sampler->addressU, sampler->addressV}) {
    if (mode < D3DTADDRESS_WRAP || mode > D3DTADDRESS_MIRRORONCE) return Status::kUnsupportedState;
  }
  sampler->border = ColorFromArgb(states[D3DSAMP_BORDERCOLOR]);
  sampler->magFilter = states[D3DSAMP_MAGFILTER];
  sampler->minFilter = states[D3DSAMP_MINFILTER];
  return Status::kOk;
}

Status DecodeStages(const State& state, DrawSetup* setup, Report* report) {
  setup->stageCount = kStageCount;
  for (int s = 0; s < kStageCount; ++s) {
    const auto& ts = state.stage[s];
    StageSetup& stage = setup->stages[s];
    stage.colorOp = ts[D3DTSS_COLOROP];
    if (stage.colorOp == D3DTOP_DISABLE) {
      setup->stageCount = s;
      break;
    }
    stage.colorArg1 = ts[D3DTSS_COLORARG1];
    stage.colorArg2 = ts[D3DTSS_COLORARG2];
    stage.alphaOp = ts[D3DTSS_ALPHAOP];
    stage.alphaArg1 = ts[D3DTSS_ALPHAARG1];
    stage.alphaArg2 = ts[D3DTSS_ALPHAARG2];
    for (std::uint32_t op : {stage.colorOp, stage.alphaOp}) {
      if (!IsKnownStageOp(op)) return Status::kUnsupportedState;
    }
    for (std::uint32_t arg : {stage.colorArg1, stage.colorArg2, stage.alphaArg1, stage.alphaArg2}) {
      if (!IsKnownArgument(arg)) return Status::kUnsupportedState;
    }
    stage.resultToTemp = ts[D3DTSS_RESULTARG] == D3DTA_TEMP;
    stage.constant = ColorFromArgb(ts[D3DTSS_CONSTANT]);
    stage.readsTexture = OperationReadsTexture(stage.colorOp, stage.colorArg1, stage.colorArg2) ||
                         OperationReadsTexture(stage.alphaOp, stage.alphaArg1, stage.alphaArg2);
    if (!stage.readsTexture) continue;
    // The low word picks the coordinate set; the generation flags above it are not drawn.
    const int set = static_cast<int>(ts[D3DTSS_TEXCOORDINDEX] & 0xFFFF);
    stage.coordSet = set < setup->layout.coordSetCount ? set : -1;
    if (stage.coordSet < 0) report->missingTexCoords = true;
    if (state.textures[s].pixels == nullptr) {
      report->missingTexture = true;
      continue;
    }
    const Status sampler = DecodeSampler(state.textures[s], state.sampler[s], &stage.sampler);
    if (sampler != Status::kOk) return sampler;
    if (stage.coordSet >= 0) setup->usedCoordSets |= 1u << stage.coordSet;
  }
  return Status::kOk;
}

Status DecodeTargets(const Target& target, const State& state, DrawSetup* setup) {
  const Surface& color = target.color;
  const int bpp = BytesPerPixel(color.format);
  if (bpp == 0) return Status::kUnsupportedFormat;
  if (!SurfaceHolds(color, bpp)) return Status::kBadArguments;
  setup->colorPixels = static_cast<std::uint8_t*>(color.pixels);
  setup->colorPitch = color.pitchBytes;
  setup->colorBytes = bpp;
  setup->colorFormat = color.format;
  setup->targetHasAlpha = color.format == D3DFMT_A8R8G8B8 || color.format == D3DFMT_A1R5G5B5 ||
                          color.format == D3DFMT_A4R4G4B4;
  const auto& rs = state.render;
  if (rs[D3DRS_ZENABLE] != D3DZB_FALSE && target.depth.pixels != nullptr) {
    if (!IsDepthFormat(target.depth.format)) return Status::kUnsupportedFormat;
    if (!SurfaceHolds(target.depth, 4) || target.depth.width < color.width || target.depth.height < color.height) {
      return Status::kBadArguments;
    }
    if (!IsKnownCompare(rs[D3DRS_ZFUNC])) return Status::kUnsupportedState;
    setup->depthPixels = static_cast<std::uint8_t*>(target.depth.pixels);
    setup->depthPitch = target.depth.pitchBytes;
    setup->depthFormat = target.depth.format;
    setup->depthWrite = rs[D3DRS_ZWRITEENABLE] != 0;
    setup->depthFunc = rs[D3DRS_ZFUNC];
    std::memcpy(&setup->depthBias, &rs[D3DRS_DEPTHBIAS], sizeof setup->depthBias);
  }
  Rect clip{0, 0, color.width, color.height};
  const Viewport& vp = state.viewport;
  clip.left = std::max(clip.left, vp.x);
  clip.top = std::max(clip.top, vp.y);
  const long long viewportRight = static_cast<long long>(vp.x) + std::max(vp.width, 0);
  const long long viewportBottom = static_cast<long long>(vp.y) + std::max(vp.height, 0);
  clip.right = static_cast<int>(std::min<long long>(clip.right, viewportRight));
  clip.bottom = static_cast<int>(std::min<long long>(clip.bottom, viewportBottom));
  if (rs[D3DRS_SCISSORTESTENABLE] != 0) {
    clip.left = std::max(clip.left, state.scissor.left);
    clip.top = std::max(clip.top, state.scissor.top);
    clip.right = std::min(clip.right, state.scissor.right);
    clip.bottom = std::min(clip.bottom, state.scissor.bottom);
  }
  setup->clip = clip;
  return Status::kOk;
}

Status DecodeRenderStates(const State& state, DrawSetup* setup) {
  const auto& rs = state.render;
  setup->textureFactor = ColorFromArgb(rs[D3DRS_TEXTUREFACTOR]);
  setup->specularAdd = rs[D3DRS_SPECULARENABLE] != 0;
  setup->flatShading = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  setup->cullMode = rs[D3DRS_CULLMODE];
  setup->fillMode = rs[D3DRS_FILLMODE];
  setup->lastPixel = rs[D3DRS_LASTPIXEL] != 0;
  if (setup->cullMode < D3DCULL_NONE || setup->cullMode > D3DCULL_CCW) return Status::kUnsupportedState;
  if (setup->fillMode < D3DFILL_POINT || setup->fillMode > D3DFILL_SOLID) return Status::kUnsupportedState;
  setup->alphaTest = rs[D3DRS_ALPHATESTENABLE] != 0;
  setup->alphaRef = static_cast<int>(rs[D3DRS_ALPHAREF] & 0xFF);
  setup->alphaFunc = rs[D3DRS_ALPHAFUNC];
  if (setup->alphaTest && !IsKnownCompare(setup->alphaFunc)) return Status::kUnsupportedState;
  setup->blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
  setup->srcBlend = rs[D3DRS_SRCBLEND];
  setup->dstBlend = rs[D3DRS_DESTBLEND];
  setup->blendOp = rs[D3DRS_BLENDOP];
  setup->blendConstant = ColorFromArgb(rs[D3DRS_BLENDFACTOR]);
  if (setup->blend && (!IsKnownBlendFactor(setup->srcBlend) || !IsKnownBlendFactor(setup->dstBlend) ||
                       setup->blendOp < D3DBLENDOP_ADD || setup->blendOp > D3DBLENDOP_MAX)) {
    return Status::kUnsupportedState;
  }
  setup->writeMask = rs[D3DRS_COLORWRITEENABLE] & 0xF;
  return Status::kOk;
}

}  // namespace

Status PrepareDraw(const Target& target, const State& state, const Draw& draw, DrawSetup* setup, Report* report) {
  if (draw.vertices == nullptr || draw.primitiveCount <= 0 || draw.stride <= 0) return Status::kBadArguments;
  if (draw.primitiveType < D3DPT_POINTLIST || draw.primitiveType > D3DPT_TRIANGLEFAN) return Status::kBadArguments;
  if (draw.indices != nullptr && ((draw.indexBytes != 2 && draw.indexBytes != 4) || draw.vertexCount <= 0)) {
    return Status::kBadArguments;
  }
  Status status = DecodeLayout(draw, &setup->layout);
  if (status != Status::kOk) return status;
  setup->stride = draw.stride;
  if ((status = DecodeTargets(target, state, setup)) != Status::kOk) return status;
  if ((status = DecodeRenderStates(state, setup)) != Status::kOk) return status;
  if ((status = DecodeStages(state, setup, report)) != Status::kOk) return status;
  if (draw.allowFastPath) setup->fast = PlanFastRectangles(*setup);
  return Status::kOk;
}

Vertex ReadVertex(const DrawSetup& setup, const std::uint8_t* bytes) {
  Vertex v;
  float position[4];
  std::memcpy(position, bytes, sizeof position);
  v.x = position[0];
  v.y = position[1];
  v.z = position[2];
  v.rhw = position[3];
  const VertexLayout& layout = setup.layout;
  if (layout.diffuseOffset >= 0) std::memcpy(&v.diffuse, bytes + layout.diffuseOffset, 4);
  if (layout.specularOffset >= 0) std::memcpy(&v.specular, bytes + layout.specularOffset, 4);
  for (int i = 0; i < layout.coordSetCount; ++i) {
    if (setup.usedCoordSets & (1u << i)) v.coords[i] = ReadCoordSet(setup, bytes, i);
  }
  return v;
}


}  // namespace plat::raster
