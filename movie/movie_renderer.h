// The library's own video renderer filter: the filter graph connects it with
// uncompressed 24-bit RGB and it keeps the newest frame top row first in a
// buffer of its own, which the movie's updates borrow under its lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/dshow.h"

namespace qz {

class MovieRendererFilter final : public plat::Q_CBaseVideoRenderer {
 public:
  ~MovieRendererFilter() override;
  plat::HRESULT CheckMediaType(const plat::AM_MEDIA_TYPE* type) override;
  // Out of memory fails the connection rather than leaving a filter that
  // never shows a frame.
  plat::HRESULT SetMediaType(const plat::AM_MEDIA_TYPE* type) override;
  // Copies a whole frame (a shorter sample is skipped) and raises the flag.
  plat::HRESULT DoRenderSample(plat::IMediaSample* sample) override;

  // The streaming thread writes the buffer under this lock; a reader of the
  // borrowed buffer holds it so that no frame is read half rewritten.
  std::mutex frameLock;
  std::atomic<std::int32_t> newFrame{0};
  std::uint8_t* frameBuffer = nullptr;
  std::int32_t bottomUp = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t stride = 0;
};

// The filter starts with no reference: the graph's AddFilter takes the first.
// Null when memory runs out; `result` (may be null) is set to S_OK.
MovieRendererFilter* CreateMovieRendererFilter(void* outer, plat::HRESULT* result);

}  // namespace qz
