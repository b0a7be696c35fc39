// The movie renderer filter's four overrides: which media types connect, the
// frame buffer that follows the connected format, and the copy of each sample
// into it, turned top-down when the format stores rows bottom-up.
#include "movie/movie_renderer.h"

#include <cstring>
#include <new>

#include "core/memory.h"

namespace qz {

MovieRendererFilter::~MovieRendererFilter() { FreeTracked(frameBuffer); }

plat::HRESULT MovieRendererFilter::CheckMediaType(const plat::AM_MEDIA_TYPE* type) {
  if (type == nullptr) return plat::E_POINTER;
  if (type->formattype != plat::MediaFormatType::kVideoInfo || type->pbFormat == nullptr) return plat::E_INVALIDARG;
  if (type->majortype != plat::MediaMajorType::kVideo || type->subtype != plat::MediaSubtype::kRGB24) {
    return plat::E_FAIL;
  }
  return plat::S_OK;
}

plat::HRESULT MovieRendererFilter::SetMediaType(const plat::AM_MEDIA_TYPE* type) {
  if (type == nullptr || type->pbFormat == nullptr) return plat::E_POINTER;
  const plat::VideoInfoHeader& header = *type->pbFormat;
  std::lock_guard<std::mutex> lock(frameLock);
  width = header.biWidth;
  bottomUp = header.biHeight >= 0 ? 1 : 0;
  height = header.biHeight >= 0 ? header.biHeight : -header.biHeight;
  stride = (3 * width + 3) & ~3;
  FreeTracked(frameBuffer);
  frameBuffer = static_cast<std::uint8_t*>(
      AllocTracked(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), __FILE__, __LINE__));
  newFrame.store(0, std::memory_order_release);
  return frameBuffer != nullptr ? plat::S_OK : plat::E_OUTOFMEMORY;
}

plat::HRESULT MovieRendererFilter::DoRenderSample(plat::IMediaSample* sample) {
  if (sample == nullptr) return plat::E_POINTER;
  std::uint8_t* data = nullptr;
  if (sample->GetPointer(&data) != plat::S_OK || data == nullptr) return plat::E_POINTER;
  {
    std::lock_guard<std::mutex> lock(frameLock);
    if (frameBuffer == nullptr) return plat::S_OK;
    const std::size_t frameBytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    if (sample->GetActualDataLength() < 0 || static_cast<std::size_t>(sample->GetActualDataLength()) < frameBytes) {
      return plat::S_OK;
    }
    if (bottomUp != 0) {
      for (int row = 0; row < height; ++row) {
        std::memcpy(frameBuffer + static_cast<std::size_t>(height - 1 - row) * stride,
                    data + static_cast<std::size_t>(row) * stride, static_cast<std::size_t>(stride));
      }
    } else {
      std::memcpy(frameBuffer, data, frameBytes);
    }
  }
  newFrame.store(1, std::memory_order_release);
  return plat::S_OK;
}

MovieRendererFilter* CreateMovieRendererFilter(void*, plat::HRESULT* result) {
  if (result != nullptr) *result = plat::S_OK;
  return new (std::nothrow) MovieRendererFilter;
}

}  // namespace qz
