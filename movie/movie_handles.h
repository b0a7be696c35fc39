// Movie handles: the table of open movies, the road each one took when it
// opened, its clock and end rule, pausing and resuming, and the frame
// callback through which a bound graph receives each frame.
#pragma once

#include <cstdint>

#include "core/file_access.h"
#include "image/base_image.h"
#include "movie/theora_movie.h"
#include "platform/window.h"

namespace plat {
class IGraphBuilder;
class IMediaControl;
class IMediaSeeking;
class IBasicAudio;
}  // namespace plat

namespace qz {

class MovieRendererFilter;

inline constexpr int kMovieTableSize = 100;
inline constexpr int kMovieFrameStockCount = 10;

// Where a movie's DirectDraw overlay was last placed (display mode 1 only):
// the request, and the rectangles it gave (the destination in screen pixels).
struct MovieOverlayPlacement {
  std::int32_t x;
  std::int32_t y;
  std::int32_t scale;
  std::int32_t shown;
  plat::WinRect source;
  plat::WinRect destination;
};

struct MovieRecord;
// Called with the record and the user value after each update.
using MovieFrameCallback = int (*)(MovieRecord* record, std::int32_t userValue);

struct MovieRecord {
  std::int32_t check;     // first member: the handle table compares it
  std::int32_t playType;  // the sound play types; bit 1 (value 2) loops; 1 after open
  std::int32_t theora;    // 1 on the Theora road
  TheoraMovieContext* theoraMovie;
  std::int64_t startTime;  // microseconds at which frame 0 is due
  FileHandle file;         // the file the Theora road reads; 0 when none
  std::int32_t sound;      // the movie's own sound, -1 when none
  std::int32_t soundEnded; // the sound played to its end: the counter carries the clock on
  // The filter-graph road: one graph under four facets, each holding a reference.
  plat::IGraphBuilder* graphBuilder;
  plat::IMediaControl* mediaControl;
  plat::IMediaSeeking* mediaSeeking;
  plat::IBasicAudio* basicAudio;
  MovieRendererFilter* renderer;  // the graph holds its reference
  std::int64_t duration;          // 100-ns units
  std::int32_t temporaryFile;     // 1 when the graph plays a temporary copy
  char* renderPath;               // the path given to RenderFile (tracked copy)
  std::int64_t stopPosition;      // 100-ns units
  std::int32_t width;
  std::int32_t height;
  std::int32_t rightHalfAlpha;  // the frame's right half is the left half's alpha
  std::int32_t playing;         // meant to play; kept through a pause that keeps it
  std::int32_t stopped;         // does not advance
  std::int32_t frameDelivered;
  std::int32_t displayMode;  // 1: shown by a DirectDraw overlay; nothing in this system sets it
  BaseImage frameImage;      // filter-graph road: describes the renderer's buffer
  std::int32_t pixelsBorrowed;
  BaseImage* imageToShow;    // the frame the callback copies
  MovieOverlayPlacement overlay;
  MovieFrameCallback frameCallback;
  std::int32_t callbackUserValue;
};

// A handle, or -1 (the open failures are logged; a full table is not).
// Width and height may be null. The movie is open and stopped.
int OpenMovie(const char* path, int* width, int* height, int displayMode);
int CloseMovieHandle(int handle);
MovieRecord* GetMovieRecord(int handle);
int SetMovieFrameCallback(int handle, MovieFrameCallback callback, std::int32_t userValue);
// Stops a playing movie; keepPlaying lets ResumeAllMovies restart it. 0 or -1.
int PauseMovieHandle(int handle, int keepPlaying);
// Starts the movie with a play type (3 loops) from the frame on view. 0 or -1.
int PlayMovieHandle(int handle, int playType);
// Places the movie's overlay at (x, y) of the main window's client area,
// scaled; acts only in display mode 1 once a frame was delivered. 0 or -1.
int ShowMovieOverlay(int x, int y, int scale, int handle, int show);

// The time sources of the movie clock; tests replace them. Null restores the
// microsecond counter and the sound layer's play position and state (a null
// soundPlaying keeps the sound layer's).
struct MovieClockSources {
  std::uint64_t (*microseconds)();
  int (*soundMilliseconds)(int sound);
  int (*soundPlaying)(int sound) = nullptr;
};
void SetMovieClockSources(const MovieClockSources* sources);

}  // namespace qz
