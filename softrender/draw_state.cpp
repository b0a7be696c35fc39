// The software draw state and the blend tables: built once at graphics start
// (the factor table whenever the blend graph changes) and only read after.
#include "softrender/draw_state.h"

namespace qz {

MemImgDrawState gMemImgDrawState{};

namespace blend_tables {
std::uint32_t mulDiv255[256][256];
std::int32_t deltaMulDiv255[256][512];
std::uint8_t lerp64[64][64][64];
std::uint8_t blendImageFactor[256];
}  // namespace blend_tables

int BuildMemImgBlendTables() {
  // The values never change, so a restart of the graphics keeps them.
  static bool built = false;
  if (built) return 0;
  built = true;
  using namespace blend_tables;
  for (int a = 0; a < 256; ++a) {
    // Column 0 is never written: the signed range needs only 1..511.
    for (int d = -255; d <= 255; ++d) deltaMulDiv255[a][256 + d] = a * d / 255;  // C++ truncates toward zero
  }
  for (int b = 0; b < 256; ++b) {
    for (int i = 0; i < 256; ++i) mulDiv255[b][i] = static_cast<std::uint32_t>(i * b / 255);
  }
  for (int w = 0; w < 64; ++w) {
    for (int s = 0; s < 64; ++s) {
      for (int d = 0; d < 64; ++d) lerp64[w][s][d] = static_cast<std::uint8_t>((s * w + d * (63 - w)) / 63);
    }
  }
  return 0;
}

void BuildBlendImageFactorTable(int p, int r) {
  p = p < 0 ? 0 : (p > 255 ? 255 : p);
  r = r < 0 ? 0 : (r > 255 ? 255 : r);
  const int q = 65536 / (r + 1);
  const int base = 256 - ((q + 256) * p) / 256;
  for (int i = 0; i < 256; ++i) {
    int f = (256 * i) / (r + 1) + base;
    if (f < 0) f = 0;
    if (f > 255) f = 255;
    blend_tables::blendImageFactor[i] = static_cast<std::uint8_t>(f);
  }
}

}  // namespace qz
