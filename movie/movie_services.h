// What the platform core calls of movies: the colour tables the start fills
// for Theora frame conversion, and pausing, resuming and re-showing every open
// movie around activation changes.
#pragma once

#include <cstdint>

namespace qz {

// The clamp table covers indices -512 to 767.
inline constexpr int kTheoraClampLow = -512;
inline constexpr int kTheoraClampHigh = 767;

// YCbCr-to-RGB contributions in 16.16 fixed point, indexed by the 8-bit
// component.
struct TheoraColorTables {
  std::int32_t luma[256];
  std::int32_t crToRed[256];
  std::int32_t crToGreen[256];
  std::int32_t cbToGreen[256];
  std::int32_t cbToBlue[256];
};

void InitTheoraColorTables();
const TheoraColorTables& GetTheoraColorTables();
// Clamped channel value for an index from -512 to 767 (others clamp too).
std::uint8_t TheoraClamp(int index);
// One pixel through the tables (BT.601 studio range).
void ConvertYCbCrPixel(int y, int cb, int cr, std::uint8_t* red, std::uint8_t* green, std::uint8_t* blue);

void PauseAllMovies();
void ResumeAllMovies();
void ReshowAllMovieOverlays();
// Brings the movie's newest frame into the graph bound to it; called before
// such a graph is drawn. `flag` is 0 from the draws.
int UpdateMovieFrame(int movie, int flag);

}  // namespace qz
