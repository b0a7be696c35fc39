// DirectShow stand-in: the filter graph that plays a movie file into a video
// renderer filter, as small COM-like interfaces of our own. One graph object
// answers for the builder, media control, media seeking and basic audio
// facets with one reference count. The factory is replaceable for tests; by
// default a GStreamer pipeline backs the graph (platform/dshow_gst.cpp).
//
// The GStreamer playbin's app sink asks for packed B,G,R, synchronised to the
// clock, and hands each frame to the renderer filter on the streaming thread;
// headless, sound goes to a synchronised null sink.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/d3d9.h"
#include "platform/module.h"

namespace plat {

inline constexpr HRESULT E_POINTER = MakeFailureCode(0x80004003u);
inline constexpr HRESULT E_INVALIDARG = MakeFailureCode(0x80070057u);

enum class MediaMajorType { kVideo, kAudio, kOther };
enum class MediaSubtype { kRGB24, kRGB32, kYUY2, kYV12, kOther };
enum class MediaFormatType { kVideoInfo, kWaveFormat, kOther };

// The part of VIDEOINFOHEADER's bitmap header a renderer reads; a negative
// height means rows top-down.
struct VideoInfoHeader {
  std::int32_t biWidth;
  std::int32_t biHeight;
  std::uint16_t biBitCount;
};

struct AM_MEDIA_TYPE {
  MediaMajorType majortype;
  MediaSubtype subtype;
  MediaFormatType formattype;
  const VideoInfoHeader* pbFormat;
};

class IMediaSample {
 public:
  virtual HRESULT GetPointer(std::uint8_t** data) = 0;
  virtual long GetActualDataLength() = 0;

 protected:
  ~IMediaSample() = default;
};

// The base-class library's video renderer, reduced to its reference count and
// the operations a renderer overrides. A filter starts with no reference; the
// graph's AddFilter takes the first and its final Release deletes the filter.
class Q_CBaseVideoRenderer {
 public:
  virtual ~Q_CBaseVideoRenderer() = default;
  unsigned long AddRef() { return ++references_; }
  unsigned long Release() {
    const unsigned long left = --references_;
    if (left == 0) delete this;
    return left;
  }
  // Called while the graph connects (RenderFile) and on a reconnection.
  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type) = 0;
  // Called on the graph's streaming thread at each frame's time.
  virtual HRESULT DoRenderSample(IMediaSample* sample) = 0;

 private:
  std::atomic<unsigned long> references_{0};
};

enum class FilterGraphFacet { kGraphBuilder, kMediaControl, kMediaSeeking, kBasicAudio };

class IUnknown {
 public:
  virtual HRESULT QueryInterface(FilterGraphFacet facet, void** object) = 0;
  virtual unsigned long AddRef() = 0;
  virtual unsigned long Release() = 0;

 protected:
  ~IUnknown() = default;
};

class IGraphBuilder : public IUnknown {
 public:
  virtual HRESULT AddFilter(Q_CBaseVideoRenderer* filter, const char* name) = 0;
  // The path is in library form. Failure when the file cannot be played or
  // has no video for the renderer; afterwards the graph is stopped.
  virtual HRESULT RenderFile(const char* path) = 0;

 protected:
  ~IGraphBuilder() = default;
};

class IMediaControl : public IUnknown {
 public:
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;

 protected:
  ~IMediaControl() = default;
};

inline constexpr std::uint32_t AM_SEEKING_NoPositioning = 0;
inline constexpr std::uint32_t AM_SEEKING_AbsolutePositioning = 1;

// Positions in 100-ns units.
class IMediaSeeking : public IUnknown {
 public:
  virtual HRESULT GetDuration(std::int64_t* duration) = 0;
  virtual HRESULT GetStopPosition(std::int64_t* stop) = 0;
  virtual HRESULT GetCurrentPosition(std::int64_t* current) = 0;
  virtual HRESULT SetPositions(std::int64_t* current, std::uint32_t currentFlags, std::int64_t* stop,
                               std::uint32_t stopFlags) = 0;

 protected:
  ~IMediaSeeking() = default;
};

class IBasicAudio : public IUnknown {
 protected:
  ~IBasicAudio() = default;
};

// CoCreateInstance(CLSID_FilterGraph, ..., IID_IGraphBuilder): a graph with
// one reference, or a failure code.
HRESULT CoCreateFilterGraph(IGraphBuilder** graph);

using FilterGraphFactory = HRESULT (*)(IGraphBuilder** graph);
// Null puts the GStreamer backing back.
void SetFilterGraphFactoryForTest(FilterGraphFactory factory);

}  // namespace plat
