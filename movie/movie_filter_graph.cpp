// The filter-graph road: a graph renders the file into the movie renderer
// filter (or, when it cannot read the file where it lies, a temporary copy
// made through the file-access table); updates borrow the renderer's newest
// frame and rewind a looping movie at its stop position.
#include "movie/movie_filter_graph.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "core/file_access.h"
#include "core/log.h"
#include "core/memory.h"
#include "image/base_image.h"
#include "movie/movie_handles.h"
#include "movie/movie_log_text.h"
#include "movie/movie_renderer.h"
#include "platform/dshow.h"
#include "platform/file.h"
#include "platform/kernel_object.h"

namespace qz {
namespace {

constexpr std::size_t kCopyChunk = 1048576;
// A graph that reports no duration is taken to last one sixtieth of a second.
constexpr std::int64_t kUnknownDuration = 166666;
constexpr std::size_t kTempPathSize = 4096;

template <typename Facet>
void ReleaseFacet(Facet** facet) {
  if (*facet == nullptr) return;
  (*facet)->Release();
  *facet = nullptr;
}

int ReleaseGraphFacets(MovieRecord* record) {
  ReleaseFacet(&record->basicAudio);
  ReleaseFacet(&record->mediaSeeking);
  ReleaseFacet(&record->mediaControl);
  ReleaseFacet(&record->graphBuilder);
  record->renderer = nullptr;  // went with the graph
  return 0;
}

bool SetRenderPath(MovieRecord* record, const char* path) {
  FreeTracked(record->renderPath);
  const std::size_t length = std::strlen(path);
  record->renderPath = static_cast<char*>(AllocTracked(length + 1, __FILE__, __LINE__));
  if (record->renderPath == nullptr) return false;
  std::memcpy(record->renderPath, path, length + 1);
  return true;
}

// Copies the file through the file-access table into a new temporary file
// whose path becomes the render path. False, with no copy left, when any
// read or write falls short.
bool CopyToTemporaryFile(MovieRecord* record, const char* path) {
  const FileHandle source = FileAccessOpen(path, 0, 1, 0);
  if (source == 0) return false;
  FileAccessSeek(source, 0, 2);
  const std::int64_t size = FileAccessTell(source);
  FileAccessSeek(source, 0, 0);
  void* buffer = AllocTracked(kCopyChunk, __FILE__, __LINE__);
  char tempPath[kTempPathSize];
  const plat::Handle copy = buffer != nullptr ? CreateTempFile(tempPath, sizeof(tempPath)) : nullptr;
  bool complete = copy != nullptr && size >= 0;
  for (std::int64_t copied = 0; complete && copied < size;) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::int64_t>(kCopyChunk, size - copied));
    std::uint32_t written = 0;
    complete = FileAccessRead(buffer, chunk, 1, source) == 1 &&
               plat::WriteFile(copy, buffer, static_cast<std::uint32_t>(chunk), &written) != 0 && written == chunk;
    copied += static_cast<std::int64_t>(chunk);
  }
  FileAccessClose(source);
  FreeTracked(buffer);
  if (copy == nullptr) return false;
  plat::CloseHandle(copy);
  if (!complete || !SetRenderPath(record, tempPath)) {
    plat::DeleteFileA(tempPath);
    return false;
  }
  record->temporaryFile = 1;
  return true;
}

void DeleteTemporaryFile(MovieRecord* record) {
  if (record->temporaryFile == 0) return;
  plat::DeleteFileA(record->renderPath);
  record->temporaryFile = 0;
}

// Renders the file where it lies, else a temporary copy of it.
bool RenderMovieFile(MovieRecord* record, const char* path) {
  if (SetRenderPath(record, path) && record->graphBuilder->RenderFile(record->renderPath) == plat::S_OK) return true;
  if (record->temporaryFile != 0 || !CopyToTemporaryFile(record, path)) return false;
  if (record->graphBuilder->RenderFile(record->renderPath) == plat::S_OK) return true;
  DeleteTemporaryFile(record);
  return false;
}

int Fail(MovieRecord* record, const char* line, const char* path = nullptr) {
  ReleaseGraphFacets(record);
  DeleteTemporaryFile(record);
  FreeTracked(record->renderPath);
  record->renderPath = nullptr;
  if (path != nullptr) return AppendLogFormat(line, path);
  return AppendLogFormat("%s", line);
}

template <typename Facet>
bool Query(MovieRecord* record, plat::FilterGraphFacet facet, Facet** out) {
  void* object = nullptr;
  if (record->graphBuilder->QueryInterface(facet, &object) != plat::S_OK) return false;
  *out = static_cast<Facet*>(object);
  return true;
}

}  // namespace

int OpenMovieWithDirectShow(MovieRecord* record, const char* path, int* width, int* height, int) {
  record->frameImage.pixels = nullptr;
  record->frameDelivered = 0;
  if (plat::CoCreateFilterGraph(&record->graphBuilder) != plat::S_OK) {
    record->graphBuilder = nullptr;
    return Fail(record, text::kFilterGraphCreateFailed);
  }
  plat::HRESULT created = plat::S_OK;
  MovieRendererFilter* renderer = CreateMovieRendererFilter(nullptr, &created);
  if (renderer == nullptr || record->graphBuilder->AddFilter(renderer, "MovieRenderer") != plat::S_OK) {
    delete renderer;  // no reference was taken
    return Fail(record, text::kRendererAddFailed);
  }
  record->renderer = renderer;
  if (!Query(record, plat::FilterGraphFacet::kBasicAudio, &record->basicAudio)) {
    return Fail(record, text::kBasicAudioQueryFailed);
  }
  if (!Query(record, plat::FilterGraphFacet::kMediaControl, &record->mediaControl)) {
    return Fail(record, text::kMediaControlQueryFailed);
  }
  if (!Query(record, plat::FilterGraphFacet::kMediaSeeking, &record->mediaSeeking)) {
    return Fail(record, text::kMediaSeekingQueryFailed);
  }
  if (!RenderMovieFile(record, path)) return Fail(record, text::kMovieFileOpenFailed, path);
  record->mediaSeeking->GetDuration(&record->duration);
  if (record->duration == 0) record->duration = kUnknownDuration;
  record->mediaSeeking->GetStopPosition(&record->stopPosition);
  if (width != nullptr) *width = renderer->width;
  if (height != nullptr) *height = renderer->height;
  return 0;
}

namespace {

// Lends the renderer's buffer to the callback. The buffer is read under the
// renderer's lock: the next sample waits for the copy instead of tearing it.
void HandRendererFrame(MovieRecord* record) {
  MovieRendererFilter* renderer = record->renderer;
  std::lock_guard<std::mutex> lock(renderer->frameLock);
  record->frameImage.width = static_cast<std::uint32_t>(renderer->width);
  record->frameImage.height = static_cast<std::uint32_t>(renderer->height);
  record->frameImage.pitch = static_cast<std::uint32_t>(renderer->stride);
  record->frameImage.pixels = renderer->frameBuffer;
  record->pixelsBorrowed = 1;
  SetColorDescRGB24(&record->frameImage.format);
  record->imageToShow = &record->frameImage;
  record->frameCallback(record, record->callbackUserValue);
}

}  // namespace

void UpdateFilterGraphMovie(MovieRecord* record) {
  MovieRendererFilter* renderer = record->renderer;
  if (renderer != nullptr && renderer->newFrame.exchange(0, std::memory_order_acq_rel) != 0 &&
      record->frameCallback != nullptr) {
    HandRendererFrame(record);
  }
  if (record->mediaSeeking == nullptr || record->mediaControl == nullptr) return;
  std::int64_t position = 0;
  record->mediaSeeking->GetCurrentPosition(&position);
  if (position < record->stopPosition) return;
  if ((record->playType & 2) != 0) {
    std::int64_t start = 0;
    record->mediaSeeking->SetPositions(&start, plat::AM_SEEKING_AbsolutePositioning, nullptr,
                                       plat::AM_SEEKING_NoPositioning);
    record->mediaControl->Run();
  } else {
    record->playing = 0;
    record->stopped = 1;
  }
}

void RedeliverFilterGraphFrame(MovieRecord* record) {
  if (record->renderer != nullptr && record->frameImage.pixels != nullptr && record->frameCallback != nullptr) {
    HandRendererFrame(record);
  }
}

int CloseFilterGraphMovie(MovieRecord* record) {
  DeleteTemporaryFile(record);
  FreeTracked(record->renderPath);
  record->renderPath = nullptr;
  if (record->pixelsBorrowed == 0) FreeBaseImagePixels(&record->frameImage);
  record->frameImage.pixels = nullptr;
  return ReleaseGraphFacets(record);
}

}  // namespace qz
