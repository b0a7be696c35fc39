// What the platform core and the graphics layer call of movies: the colour
// tables the start fills for Theora frame conversion, pausing, resuming and
// re-showing every open movie around activation changes, the frame pull
// before a movie graph is drawn, and the movies' part of a device rebuild.
#pragma once

#include <cstdint>

namespace qz {

// The clamp table covers indices -512 to 767.
inline constexpr int kTheoraClampLow = -512;
inline constexpr int kTheoraClampHigh = 767;
// The tables hold 2.14 fixed point: a channel is the sum of its terms / 16384.
inline constexpr int kTheoraFixedOne = 16384;

// YCbCr-to-RGB terms (video-range BT.601), indexed by the 8-bit component.
struct TheoraColorTables {
  std::int32_t luma[256];       // 19070 * (i - 16)
  std::int32_t crToRed[256];    // 26148 * (i - 128)
  std::int32_t cbToGreen[256];  // 6406 * (128 - i)
  std::int32_t crToGreen[256];  // 13320 * (128 - i)
  std::int32_t cbToBlue[256];   // 33062 * (i - 128)
};

int InitTheoraColorTables();
const TheoraColorTables& GetTheoraColorTables();
// Clamped channel value for an index from -512 to 767 (others clamp too).
std::uint8_t TheoraClamp(int index);
// The clamp table addressed at index 0, for indices -512 to 767.
const std::uint8_t* GetTheoraClampTable();
// One pixel through the tables, each channel's sum divided toward zero.
void ConvertYCbCrPixel(int y, int cb, int cr, std::uint8_t* red, std::uint8_t* green, std::uint8_t* blue);

int PauseAllMovies();
int ResumeAllMovies();
int ReshowAllMovieOverlays();
// Steps the movie to the frame its clock is at and hands the frame to its
// callback; called before a graph bound to the movie is drawn. `flag` is
// accepted for the draws' calls and ignored. 0, or -1 for an invalid handle.
int UpdateMovieFrame(int movie, int flag = 0);
// Hands the movie's frame on view to its callback again, converted anew:
// its graph lost or never had the picture. 0, or -1 for an invalid handle.
int RedeliverMovieFrame(int movie);
// Around a device rebuild: the video surfaces go with the old device; after
// it they are made on the new one and every movie's graph gets its frame back.
int ReleaseMovieDeviceObjects();
int RestoreMovieDeviceObjects();

}  // namespace qz
