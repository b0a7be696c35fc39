// The movie handle table and everything a movie does on the main thread:
// opening on the Theora road or the filter-graph road, the frame clock (the
// movie's own sound when it has one, else the microsecond counter), the end
// rule, pausing and resuming with the window, and closing.
#include "movie/movie_handles.h"

#include <cmath>

#include "core/call_trace.h"
#include "core/clock.h"
#include "core/handle.h"
#include "core/log.h"
#include "movie/movie_filter_graph.h"
#include "movie/movie_log_text.h"
#include "movie/movie_overlay.h"
#include "movie/movie_services.h"
#include "platform/dshow.h"
#include "sound/ogg_vorbis_source.h"
#include "sound/sound_converter.h"
#include "sound/sound_handle.h"
#include "sound/sound_load.h"
#include "sound/sound_play.h"

namespace qz {
namespace {

HandleTable<MovieRecord, kMovieTableSize, kMovieHandle> gMovies;
// Nothing sets it; each record copies it at open.
std::int32_t gRightHalfAlpha = 0;

std::uint64_t CounterMicroseconds() { return GetMicrosecondCount(0); }
constexpr MovieClockSources kDefaultClock{CounterMicroseconds, GetSoundHandleCurrentTime, IsSoundHandlePlaying};
MovieClockSources gClock = kDefaultClock;

constexpr int kSoundCreateForMovie = 3;
constexpr std::uint32_t kOnlyOggVorbis = static_cast<std::uint32_t>(-5);

bool Loops(const MovieRecord* record) { return (record->playType & 2) != 0; }

// The frame due `micros` after frame 0, truncated; 0 for a time before it or
// a rate that is no number.
std::int64_t FrameAtTime(std::int64_t micros, double framesPerSecond) {
  const double frame = static_cast<double>(micros) * framesPerSecond / 1000000.0;
  if (!(frame >= 0.0)) return 0;
  if (frame >= 9.0e18) return INT64_MAX;
  return static_cast<std::int64_t>(frame);
}

// The start time that makes the clock continue from the frame on view.
void RebaseStartTime(MovieRecord* record) {
  TheoraMovieInfo info;
  GetTheoraMovieInfo(record->theoraMovie, &info);
  const double frameTime = info.framesPerSecond > 0.0 ? 1000000.0 / info.framesPerSecond : 0.0;
  const double elapsed = std::trunc(frameTime * GetTheoraCurrentFrame(record->theoraMovie));
  record->startTime = static_cast<std::int64_t>(gClock.microseconds()) - static_cast<std::int64_t>(elapsed);
}

// The sound in the same file: only the Ogg Vorbis converter, as a stream
// sound that reads the file. -1 when the file carries none.
int LoadMovieSound(const char* path) {
  const int createMode = GetSoundCreateMode();
  const std::uint32_t disableBits = GetSoundConverterDisableBits();
  SetMovieSoundFlag(1);
  SetSoundCreateMode(kSoundCreateForMovie);
  SetSoundConverterDisableBits(kOnlyOggVorbis);
  const int sound = LoadSoundFile(path, 1, -1);
  SetSoundConverterDisableBits(disableBits);
  SetMovieSoundFlag(0);
  SetSoundCreateMode(createMode);
  return sound;
}

// Starts the movie's sound, once through: a looping movie starts it again
// itself when both the sound and the frames are done.
void PlayMovieSound(MovieRecord* record, int fromTop) {
  if (record->sound == -1) return;
  record->soundEnded = 0;
  PlaySoundHandle(record->sound, 1, fromTop);
}

// Microseconds since frame 0 was due. While the sound plays it is the
// sound's position, and the start time follows it; once the sound has ended
// (its position then reads 0) the counter goes on from where it left off.
std::int64_t MovieClockTime(MovieRecord* record) {
  const std::int64_t now = static_cast<std::int64_t>(gClock.microseconds());
  if (record->sound != -1 && record->soundEnded == 0) {
    const int heard = gClock.soundMilliseconds(record->sound);
    if (gClock.soundPlaying(record->sound) == 1 && heard >= 0) {
      record->startTime = now - heard * 1000LL;
    } else {
      record->soundEnded = 1;
    }
  }
  return now - record->startTime;
}

bool SoundDone(const MovieRecord* record) { return record->sound == -1 || record->soundEnded != 0; }

void UpdateTheoraMovie(MovieRecord* record) {
  TheoraMovieInfo info;
  GetTheoraMovieInfo(record->theoraMovie, &info);
  const std::int64_t frames = info.frameCount;
  if (record->stopped == 0 && frames > 0) {
    std::int64_t frame = FrameAtTime(MovieClockTime(record), info.framesPerSecond);
    // Without a sound the frames wrap on their own; with one, a looping
    // movie starts over only once the sound is done too.
    if (frame >= frames) frame = Loops(record) && record->sound == -1 ? frame % frames : frames - 1;
    const std::int64_t current = GetTheoraCurrentFrame(record->theoraMovie);
    if (frame != current) {
      AdvanceTheoraFrames(record->theoraMovie,
                          static_cast<int>(frame > current ? frame - current : frames - current + frame));
    } else if (frame == frames - 1 && SoundDone(record)) {
      // The last frame was already on view at the previous update and the
      // sound has ended: the movie is over, or starts over with its sound.
      if (!Loops(record)) {
        record->playing = 0;
        record->stopped = 1;
      } else if (record->sound != -1) {
        record->startTime = static_cast<std::int64_t>(gClock.microseconds());
        AdvanceTheoraFrames(record->theoraMovie, 1);
        PlayMovieSound(record, 1);
      }
    }
  }
  if (record->frameCallback != nullptr) {
    record->frameCallback(record, record->callbackUserValue);
    record->frameDelivered = 1;
  }
}

}  // namespace

int OpenMovie(const char* path, int* width, int* height, int displayMode) {
  if (path == nullptr || gMovies.LiveCount() >= kMovieTableSize) return -1;
  static constexpr HandleTablePolicy kPolicy{text::kMovieOpenFailed, false, text::kMovieRecordAllocFailed};
  const int handle = gMovies.Create(kPolicy);
  MovieRecord* record = gMovies.Get(handle);
  if (record == nullptr) return -1;
  record->rightHalfAlpha = gRightHalfAlpha;
  record->sound = -1;

  record->file = FileAccessOpen(path, 0, 1, 0);
  if (record->file != 0) {
    record->theoraMovie = OpenTheoraMovie(&GetFileAccessTable(), record->file, kMovieFrameStockCount);
    if (record->theoraMovie == nullptr) {
      FileAccessClose(record->file);
      record->file = 0;
    }
  }
  if (record->theoraMovie != nullptr) {
    record->sound = LoadMovieSound(path);
    TheoraMovieInfo info;
    GetTheoraMovieInfo(record->theoraMovie, &info);
    record->width = info.width;
    record->height = info.height;
    record->theora = 1;
    record->displayMode = 0;
    record->imageToShow = GetTheoraFrameImage(record->theoraMovie);
  } else if (OpenMovieWithDirectShow(record, path, &record->width, &record->height, displayMode) == 0) {
    record->imageToShow = &record->frameImage;
  } else {
    gMovies.Delete(handle);
    AppendLogFormat("%s", text::kMovieOpenFailed);
    return -1;
  }
  if (width != nullptr) *width = record->width;
  if (height != nullptr) *height = record->height;
  record->playing = 0;
  record->stopped = 1;
  record->playType = 1;
  return handle;
}

int CloseMovieHandle(int handle) {
  MovieRecord* record = gMovies.Get(handle);
  if (record == nullptr) return -1;
  if (record->theora != 0) {
    CloseTheoraMovie(record->theoraMovie);
    if (record->file != 0) FileAccessClose(record->file);
    DeleteSoundHandle(record->sound);
  } else {
    CloseFilterGraphMovie(record);
  }
  HideMovieOverlay(record);
  return gMovies.Delete(handle);
}

MovieRecord* GetMovieRecord(int handle) { return gMovies.Get(handle); }

int SetMovieFrameCallback(int handle, MovieFrameCallback callback, std::int32_t userValue) {
  MovieRecord* record = gMovies.Get(handle);
  if (record == nullptr) return -1;
  record->frameCallback = callback;
  record->callbackUserValue = userValue;
  return 0;
}

int UpdateMovieFrame(int handle, int) {
  RecordCall("UpdateMovieFrame");
  MovieRecord* record = gMovies.Get(handle);
  if (record == nullptr) return -1;
  if (record->theora != 0) {
    UpdateTheoraMovie(record);
  } else {
    UpdateFilterGraphMovie(record);
  }
  return 0;
}

int RedeliverMovieFrame(int handle) {
  MovieRecord* record = gMovies.Get(handle);
  if (record == nullptr) return -1;
  if (record->theora == 0) {
    RedeliverFilterGraphFrame(record);
    return 0;
  }
  record->theoraMovie->imageConverted.store(0, std::memory_order_relaxed);
  record->theoraMovie->surfaceConverted.store(0, std::memory_order_relaxed);
  if (record->frameCallback != nullptr) record->frameCallback(record, record->callbackUserValue);
  return 0;
}

int ReleaseMovieDeviceObjects() {
  for (int slot = 0; slot < kMovieTableSize; ++slot) {
    MovieRecord* record = gMovies.RecordAt(slot);
    if (record != nullptr && record->theora != 0) ReleaseTheoraYuvSurface(record->theoraMovie);
  }
  return 0;
}

int RestoreMovieDeviceObjects() {
  for (int slot = 0; slot < kMovieTableSize; ++slot) {
    MovieRecord* record = gMovies.RecordAt(slot);
    if (record == nullptr) continue;
    if (record->theora != 0) CreateTheoraYuvSurface(record->theoraMovie);
    RedeliverMovieFrame(gMovies.HandleAt(slot));
  }
  return 0;
}

int PauseMovieHandle(int handle, int keepPlaying) {
  MovieRecord* record = gMovies.Get(handle);
  if (record == nullptr) return -1;
  if (record->stopped != 0) return 0;
  if (record->theora != 0) {
    // Still running: the frame catches up with the clock (the sound's
    // position among it) before the sound stops.
    UpdateMovieFrame(handle, 0);
    StopSoundHandle(record->sound);
  } else if (record->mediaControl == nullptr) {
    return 0;
  } else {
    record->mediaControl->Pause();
  }
  record->stopped = 1;
  if (keepPlaying == 0) record->playing = 0;
  return 0;
}

int PlayMovieHandle(int handle, int playType) {
  MovieRecord* record = gMovies.Get(handle);
  if (record == nullptr) return -1;
  record->playType = playType;
  record->playing = 1;
  record->stopped = 0;
  if (record->theora != 0) {
    RebaseStartTime(record);
    PlayMovieSound(record, 0);
  } else if (record->mediaControl != nullptr) {
    record->mediaControl->Run();
  }
  return 0;
}

int PauseAllMovies() {
  RecordCall("PauseAllMovies");
  for (int slot = 0; slot < kMovieTableSize; ++slot) {
    if (gMovies.RecordAt(slot) != nullptr) PauseMovieHandle(gMovies.HandleAt(slot), 1);
  }
  return 0;
}

int ResumeAllMovies() {
  RecordCall("ResumeAllMovies");
  for (int slot = 0; slot < kMovieTableSize; ++slot) {
    MovieRecord* record = gMovies.RecordAt(slot);
    if (record == nullptr || record->stopped == 0 || record->playing == 0) continue;
    // A resumed sound must not hold the main thread until it ends.
    if (record->playType == 0) record->playType = 1;
    if (record->theora != 0) {
      RebaseStartTime(record);
      // A sound already played to its end stays silent; the counter runs on.
      if (record->soundEnded == 0) PlayMovieSound(record, 0);
    } else if (record->mediaControl != nullptr) {
      record->mediaControl->Run();
    }
    record->stopped = 0;
    record->playing = 1;
  }
  return 0;
}

int ShowMovieOverlay(int x, int y, int scale, int handle, int show) {
  MovieRecord* record = gMovies.Get(handle);
  if (record == nullptr) return -1;
  return PlaceMovieOverlay(record, x, y, scale, show);
}

int ReshowAllMovieOverlays() {
  RecordCall("ReshowAllMovieOverlays");
  for (int slot = 0; slot < kMovieTableSize; ++slot) {
    MovieRecord* record = gMovies.RecordAt(slot);
    if (record == nullptr || record->theora != 0 || !ShowsMovieOverlay(record)) continue;
    const MovieOverlayPlacement& placement = record->overlay;
    PlaceMovieOverlay(record, placement.x, placement.y, placement.scale, placement.shown);
  }
  return 0;
}

void SetMovieClockSources(const MovieClockSources* sources) {
  gClock = sources != nullptr ? *sources : kDefaultClock;
  if (gClock.soundPlaying == nullptr) gClock.soundPlaying = kDefaultClock.soundPlaying;
}

}  // namespace qz
