// The process-wide software draw state and the static blend tables that turn
// the per-pixel divisions of every blend mode into look-ups. The graphics
// layer writes the state; the pixel routines only read it.
#pragma once

#include <cstdint>

#include "core/rect.h"
#include "softrender/mem_img.h"

namespace qz {

// Blend modes as the software pixel routines treat them; 5 to 9, negative
// values and values above 11 draw nothing.
enum MemImgBlendMode : std::int32_t {
  kMemImgBlendNone = 0,
  kMemImgBlendAlpha = 1,
  kMemImgBlendAdd = 2,
  kMemImgBlendSub = 3,
  kMemImgBlendMul = 4,
  kMemImgBlendInvert = 10,
  kMemImgBlendMulBlend = 11,
};

inline bool IsDrawingBlendMode(std::int32_t mode) {
  return (mode >= 0 && mode <= 4) || mode == kMemImgBlendInvert || mode == kMemImgBlendMulBlend;
}

struct MemImgDrawState {
  std::int32_t blendMode;
  std::int32_t blendParam;  // 0..255
  std::uint32_t colorMod;   // 0x00RRGGBB; 0xFFFFFF means no modulation; top byte ignored
  Rect drawArea;            // right and bottom exclusive
  MEMIMG* drawTarget;
  MEMIMG* blendImage;       // 8-bit factor image, or null
};

// All zero at program start.
extern MemImgDrawState gMemImgDrawState;

// Fills the product, signed product and 64-level lerp tables; returns 0.
int BuildMemImgBlendTables();
// p the blend fade, r the border range, both 0..255.
void BuildBlendImageFactorTable(int p, int r);

namespace blend_tables {
extern std::uint32_t mulDiv255[256][256];     // [b][i] = i * b / 255, floored
extern std::int32_t deltaMulDiv255[256][512]; // [a][256 + d] = a * d / 255, truncated
extern std::uint8_t lerp64[64][64][64];       // [w][s][d] = (s * w + d * (63 - w)) / 63
extern std::uint8_t blendImageFactor[256];
}  // namespace blend_tables

// Row of factor b: row[i] = i * b / 255 for i in 0..255.
inline const std::uint32_t* MulDiv255Row(int factor) { return blend_tables::mulDiv255[factor]; }
// Signed product row of weight a, pointing at d = 0: row[d] = a * d / 255
// truncated, for d in -255..255. Shared with the transformed drawing, which
// must use this pointer rather than raw columns.
inline const std::int32_t* DeltaMulDiv255Row(int weight) { return blend_tables::deltaMulDiv255[weight] + 256; }
// Slice of level w (0..63): slice[s * 64 + d] = (s * w + d * (63 - w)) / 63.
inline const std::uint8_t* Lerp64Slice(int level) { return &blend_tables::lerp64[level][0][0]; }
inline const std::uint8_t* BlendImageFactors() { return blend_tables::blendImageFactor; }

}  // namespace qz
