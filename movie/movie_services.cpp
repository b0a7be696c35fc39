// Theora colour tables, the movie calls of activation changes and the frame
// pull of graph draws. No movie is ever open in this program, so pausing,
// resuming, re-showing and pulling frames have nothing to act on; they are
// recorded for tests.
#include "movie/movie_services.h"

#include <cmath>

#include "core/call_trace.h"

namespace qz {
namespace {

constexpr int kClampSize = kTheoraClampHigh - kTheoraClampLow + 1;
constexpr double kFixedOne = 65536.0;

std::uint8_t gClamp[kClampSize];
TheoraColorTables gTables;

std::int32_t Fixed(double value) { return static_cast<std::int32_t>(std::lround(value * kFixedOne)); }

}  // namespace

void InitTheoraColorTables() {
  for (int i = 0; i < kClampSize; ++i) {
    const int value = i + kTheoraClampLow;
    gClamp[i] = static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
  }
  for (int i = 0; i < 256; ++i) {
    gTables.luma[i] = Fixed((i - 16) * 1.164);
    gTables.crToRed[i] = Fixed((i - 128) * 1.596);
    gTables.crToGreen[i] = Fixed((i - 128) * -0.813);
    gTables.cbToGreen[i] = Fixed((i - 128) * -0.391);
    gTables.cbToBlue[i] = Fixed((i - 128) * 2.018);
  }
}

const TheoraColorTables& GetTheoraColorTables() { return gTables; }

std::uint8_t TheoraClamp(int index) {
  if (index < kTheoraClampLow) index = kTheoraClampLow;
  if (index > kTheoraClampHigh) index = kTheoraClampHigh;
  return gClamp[index - kTheoraClampLow];
}

void ConvertYCbCrPixel(int y, int cb, int cr, std::uint8_t* red, std::uint8_t* green, std::uint8_t* blue) {
  const int luma = gTables.luma[y & 0xFF];
  const int half = 1 << 15;
  if (red != nullptr) *red = TheoraClamp((luma + gTables.crToRed[cr & 0xFF] + half) >> 16);
  if (green != nullptr) {
    *green = TheoraClamp((luma + gTables.crToGreen[cr & 0xFF] + gTables.cbToGreen[cb & 0xFF] + half) >> 16);
  }
  if (blue != nullptr) *blue = TheoraClamp((luma + gTables.cbToBlue[cb & 0xFF] + half) >> 16);
}

void PauseAllMovies() { RecordCall("PauseAllMovies"); }

void ResumeAllMovies() { RecordCall("ResumeAllMovies"); }

void ReshowAllMovieOverlays() { RecordCall("ReshowAllMovieOverlays"); }

int UpdateMovieFrame(int, int) {
  RecordCall("UpdateMovieFrame");
  return 0;
}

}  // namespace qz
