// The per-pixel pipeline shared by every path: texel addressing and
// sampling, the texture-stage cascade, and the tests, blend and write that
// end it.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/d3d9_raster_format.h"
#include "platform/d3d9_raster_internal.h"

namespace plat::raster {

// floor(t x size) as an int, held within +-2^30 so that addressing never
// overflows.
inline int TexelCoordinate(double t, int size) {
  const double scaled = t * static_cast<double>(size);
  if (!(scaled >= -1073741823.0)) return -1073741824;  // NaN too
  if (scaled >= 1073741825.0) return 1073741824;
  // Truncation stepped down for negative fractions: floor without a library
  // call, which the baseline instruction set would need.
  const int truncated = static_cast<int>(scaled);
  return truncated > scaled ? truncated - 1 : truncated;
}

// Texel index i of a row or column of `size` under an address mode; -1 means
// the border colour.
inline int AddressTexel(std::uint32_t mode, int i, int size) {
  switch (mode) {
    case D3DTADDRESS_WRAP:
      return ((i % size) + size) % size;
    case D3DTADDRESS_MIRROR: {
      const int period = size * 2;
      const int m = ((i % period) + period) % period;
      return m < size ? m : period - 1 - m;
    }
    case D3DTADDRESS_BORDER:
      return i < 0 || i >= size ? -1 : i;
    case D3DTADDRESS_MIRRORONCE:
      return std::min(i < 0 ? -1 - i : i, size - 1);
    default:
      return std::clamp(i, 0, size - 1);
  }
}

inline std::uint32_t FetchTexel(const SamplerSetup& s, int x, int y) {
  if (s.bytesPerPixel == 0) return ReadDxtTexel(s.format, s.pixels, s.pitchBytes, x, y);
  const std::uint8_t* p = s.pixels + static_cast<std::ptrdiff_t>(y) * s.pitchBytes + x * s.bytesPerPixel;
  return UnpackRaw(s.format, LoadRaw(p, s.bytesPerPixel));
}

inline Color SamplePoint(const SamplerSetup& s, double u, double v) {
  const int x = AddressTexel(s.addressU, TexelCoordinate(u, s.width), s.width);
  const int y = AddressTexel(s.addressV, TexelCoordinate(v, s.height), s.height);
  if (x < 0 || y < 0) return s.border;
  return ColorFromArgb(FetchTexel(s, x, y));
}

// Bilinear sampling around texel centres, with weights in 1/256.
inline Color SampleLinear(const SamplerSetup& s, double u, double v) {
  const double tu = std::clamp(u * s.width - 0.5, -1073741824.0, 1073741824.0);
  const double tv = std::clamp(v * s.height - 0.5, -1073741824.0, 1073741824.0);
  if (std::isnan(tu) || std::isnan(tv)) return SamplePoint(s, 0.0, 0.0);
  const double fu = std::floor(tu), fv = std::floor(tv);
  const int wu = static_cast<int>((tu - fu) * 256.0), wv = static_cast<int>((tv - fv) * 256.0);
  const int iu = static_cast<int>(fu), iv = static_cast<int>(fv);
  const int x0 = AddressTexel(s.addressU, iu, s.width), x1 = AddressTexel(s.addressU, iu + 1, s.width);
  const int y0 = AddressTexel(s.addressV, iv, s.height), y1 = AddressTexel(s.addressV, iv + 1, s.height);
  auto texel = [&](int x, int y) { return x < 0 || y < 0 ? s.border : ColorFromArgb(FetchTexel(s, x, y)); };
  const Color c00 = texel(x0, y0), c10 = texel(x1, y0), c01 = texel(x0, y1), c11 = texel(x1, y1);
  auto mix = [&](int a00, int a10, int a01, int a11) {
    const int top = a00 * (256 - wu) + a10 * wu, bottom = a01 * (256 - wu) + a11 * wu;
    return (top * (256 - wv) + bottom * wv + 32768) >> 16;
  };
  return Color{mix(c00.r, c10.r, c01.r, c11.r), mix(c00.g, c10.g, c01.g, c11.g), mix(c00.b, c10.b, c01.b, c11.b),
               mix(c00.a, c10.a, c01.a, c11.a)};
}

// The registers a stage argument can name, as they stand at one stage.
struct StageRegisters {
  Color diffuse;
  Color specular;
  Color current;
  Color temp;
  Color texture;
  Color textureFactor;
  Color constant;
};

inline Color ReadArgument(std::uint32_t arg, const StageRegisters& regs) {
  Color c;
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
      c = regs.diffuse;
      break;
    case D3DTA_CURRENT:
      c = regs.current;
      break;
    case D3DTA_TEXTURE:
      c = regs.texture;
      break;
    case D3DTA_TFACTOR:
      c = regs.textureFactor;
      break;
    case D3DTA_SPECULAR:
      c = regs.specular;
      break;
    case D3DTA_TEMP:
      c = regs.temp;
      break;
    default:
      c = regs.constant;
      break;
  }
  if (arg & D3DTA_ALPHAREPLICATE) c = Color{c.a, c.a, c.a, c.a};
  if (arg & D3DTA_COMPLEMENT) c = Color{255 - c.r, 255 - c.g, 255 - c.b, 255 - c.a};
  return c;
}

// The alpha a BLEND...ALPHA operation weights its first argument with.
inline int OperationAlpha(std::uint32_t op, const StageRegisters& regs) {
  switch (op) {
    case D3DTOP_BLENDDIFFUSEALPHA:
      return regs.diffuse.a;
    case D3DTOP_BLENDTEXTUREALPHA:
      return regs.texture.a;
    case D3DTOP_BLENDFACTORALPHA:
      return regs.textureFactor.a;
    default:
      return regs.current.a;
  }
}

// One stage's result (colour and alpha) from its registers.
inline Color RunStage(const StageSetup& stage, const StageRegisters& regs) {
  const Color c1 = ReadArgument(stage.colorArg1, regs), c2 = ReadArgument(stage.colorArg2, regs);
  const int colorWeight = OperationAlpha(stage.colorOp, regs);
  Color out{ApplyStageOp(stage.colorOp, c1.r, c2.r, colorWeight), ApplyStageOp(stage.colorOp, c1.g, c2.g, colorWeight),
            ApplyStageOp(stage.colorOp, c1.b, c2.b, colorWeight), regs.current.a};
  if (stage.alphaOp != D3DTOP_DISABLE) {
    const int a1 = ReadArgument(stage.alphaArg1, regs).a, a2 = ReadArgument(stage.alphaArg2, regs).a;
    out.a = ApplyStageOp(stage.alphaOp, a1, a2, OperationAlpha(stage.alphaOp, regs));
  }
  return out;
}

// The colour the stages produce; texels[s] is stage s's sample (read only by
// stages that name the texture).
inline Color RunCascade(const DrawSetup& setup, const Color& diffuse, const Color& specular, const Color* texels) {
  StageRegisters regs;
  regs.diffuse = diffuse;
  regs.specular = specular;
  regs.current = diffuse;
  regs.textureFactor = setup.textureFactor;
  for (int s = 0; s < setup.stageCount; ++s) {
    const StageSetup& stage = setup.stages[s];
    regs.texture = texels[s];
    regs.constant = stage.constant;
    const Color out = RunStage(stage, regs);
    (stage.resultToTemp ? regs.temp : regs.current) = out;
  }
  Color result = regs.current;
  if (setup.specularAdd) {
    result.r = std::min(255, result.r + specular.r);
    result.g = std::min(255, result.g + specular.g);
    result.b = std::min(255, result.b + specular.b);
  }
  return result;
}

inline std::uint8_t* TargetPixel(const DrawSetup& setup, int x, int y) {
  return setup.colorPixels + static_cast<std::ptrdiff_t>(y) * setup.colorPitch + x * setup.colorBytes;
}

// Depth value stored for z in the depth surface's precision.
inline float StoredDepth(const DrawSetup& setup, float z) { return QuantizeDepth(setup.depthFormat, z + setup.depthBias); }

// Alpha test, depth test and write, blend, colour-write mask and store of one
// pixel of source colour `src`. True when the pixel was written.
inline bool OutputPixel(const DrawSetup& setup, int x, int y, float z, const Color& src) {
  if (setup.alphaTest && !CompareAccepts(setup.alphaFunc, src.a, setup.alphaRef)) return false;
  if (setup.depthPixels != nullptr) {
    auto* depth = reinterpret_cast<float*>(setup.depthPixels + static_cast<std::ptrdiff_t>(y) * setup.depthPitch) + x;
    const float value = StoredDepth(setup, z);
    float stored;
    std::memcpy(&stored, depth, sizeof stored);
    if (!CompareAccepts(setup.depthFunc, value, stored)) return false;
    if (setup.depthWrite) std::memcpy(depth, &value, sizeof value);
  }
  std::uint8_t* pixel = TargetPixel(setup, x, y);
  Color out = src;
  if (setup.blend || setup.writeMask != 0xF) {
    const Color dst = ColorFromArgb(UnpackRaw(setup.colorFormat, LoadRaw(pixel, setup.colorBytes)));
    if (setup.blend) out = Blend(setup.blendOp, setup.srcBlend, setup.dstBlend, src, dst, setup.blendConstant);
    if (!(setup.writeMask & D3DCOLORWRITEENABLE_RED)) out.r = dst.r;
    if (!(setup.writeMask & D3DCOLORWRITEENABLE_GREEN)) out.g = dst.g;
    if (!(setup.writeMask & D3DCOLORWRITEENABLE_BLUE)) out.b = dst.b;
    if (!(setup.writeMask & D3DCOLORWRITEENABLE_ALPHA)) out.a = dst.a;
  }
  StoreRaw(pixel, setup.colorBytes, PackRaw(setup.colorFormat, ArgbFromColor(out)));
  return true;
}

}  // namespace plat::raster
