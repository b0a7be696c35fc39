// The Theora colour tables, built once by the library start: a clamp table
// and five YCbCr terms in 2.14 fixed point, so converting a 2x2 block of a
// frame costs table lookups, additions and one division per channel.
#include "movie/movie_services.h"

namespace qz {
namespace {

constexpr int kClampSize = kTheoraClampHigh - kTheoraClampLow + 1;

std::uint8_t gClamp[kClampSize];
TheoraColorTables gTables;

}  // namespace

int InitTheoraColorTables() {
  for (int i = 0; i < kClampSize; ++i) {
    const int value = i + kTheoraClampLow;
    gClamp[i] = static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
  }
  // The BT.601 factors times 16384, cut to whole numbers (19070.976 gives 19070).
  for (int i = 0; i < 256; ++i) {
    gTables.luma[i] = 19070 * (i - 16);
    gTables.crToRed[i] = 26148 * (i - 128);
    gTables.cbToGreen[i] = 6406 * (128 - i);
    gTables.crToGreen[i] = 13320 * (128 - i);
    gTables.cbToBlue[i] = 33062 * (i - 128);
  }
  return 0;
}

const TheoraColorTables& GetTheoraColorTables() { return gTables; }

const std::uint8_t* GetTheoraClampTable() { return gClamp - kTheoraClampLow; }

std::uint8_t TheoraClamp(int index) {
  if (index < kTheoraClampLow) index = kTheoraClampLow;
  if (index > kTheoraClampHigh) index = kTheoraClampHigh;
  return gClamp[index - kTheoraClampLow];
}

void ConvertYCbCrPixel(int y, int cb, int cr, std::uint8_t* red, std::uint8_t* green, std::uint8_t* blue) {
  const int luma = gTables.luma[y & 0xFF];
  if (red != nullptr) *red = TheoraClamp((luma + gTables.crToRed[cr & 0xFF]) / kTheoraFixedOne);
  if (green != nullptr) {
    *green = TheoraClamp((luma + gTables.cbToGreen[cb & 0xFF] + gTables.crToGreen[cr & 0xFF]) / kTheoraFixedOne);
  }
  if (blue != nullptr) *blue = TheoraClamp((luma + gTables.cbToBlue[cb & 0xFF]) / kTheoraFixedOne);
}

}  // namespace qz
