// The filter graph over GStreamer: playbin decodes the file, an app sink
// asking for packed B,G,R frames plays the renderer's input pin (its sample
// callback runs on the streaming thread at each frame's time), and the sound
// goes to an audio sink (a synchronised null sink headless, so the clock runs).
#include <new>

#include "platform/backend.h"
#include "platform/dshow.h"
#include "platform/file.h"
// After our declarations: GLib defines TRUE and FALSE as macros.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

namespace plat {
namespace {

constexpr GstClockTime kPrerollTimeout = 10 * GST_SECOND;
constexpr std::int64_t kNanosecondsPerUnit = 100;

bool StartGStreamer() {
  static const bool started = gst_init_check(nullptr, nullptr, nullptr) != FALSE;
  return started;
}

class MappedSample final : public IMediaSample {
 public:
  MappedSample(std::uint8_t* data, long size) : data_(data), size_(size) {}
  HRESULT GetPointer(std::uint8_t** data) override {
    if (data == nullptr) return E_POINTER;
    *data = data_;
    return S_OK;
  }
  long GetActualDataLength() override { return size_; }

 private:
  std::uint8_t* data_;
  long size_;
};

class GstFilterGraph final : public IGraphBuilder, public IMediaControl, public IMediaSeeking, public IBasicAudio {
 public:
  ~GstFilterGraph() {
    ClosePipeline();
    if (renderer_ != nullptr) renderer_->Release();
  }

  HRESULT QueryInterface(FilterGraphFacet facet, void** object) override {
    if (object == nullptr) return E_POINTER;
    switch (facet) {
      case FilterGraphFacet::kGraphBuilder: *object = static_cast<IGraphBuilder*>(this); break;
      case FilterGraphFacet::kMediaControl: *object = static_cast<IMediaControl*>(this); break;
      case FilterGraphFacet::kMediaSeeking: *object = static_cast<IMediaSeeking*>(this); break;
      case FilterGraphFacet::kBasicAudio: *object = static_cast<IBasicAudio*>(this); break;
    }
    AddRef();
    return S_OK;
  }
  unsigned long AddRef() override { return ++references_; }
  unsigned long Release() override {
    const unsigned long left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT AddFilter(Q_CBaseVideoRenderer* filter, const char*) override {
    if (filter == nullptr) return E_POINTER;
    if (renderer_ != nullptr) return E_FAIL;
    filter->AddRef();
    renderer_ = filter;
    return S_OK;
  }

  HRESULT RenderFile(const char* path) override {
    if (path == nullptr || renderer_ == nullptr || pipeline_ != nullptr || !StartGStreamer()) return E_FAIL;
    gchar* uri = gst_filename_to_uri(ResolvePosixPath(path).c_str(), nullptr);
    pipeline_ = gst_element_factory_make("playbin", nullptr);
    GstElement* video = gst_element_factory_make("appsink", nullptr);
    GstElement* audio = MakeAudioSink();
    if (uri == nullptr || pipeline_ == nullptr || video == nullptr || audio == nullptr) {
      g_free(uri);
      for (GstElement* element : {video, audio}) {
        if (element != nullptr) gst_object_unref(gst_object_ref_sink(element));
      }
      ClosePipeline();
      return E_FAIL;
    }
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", nullptr);
    g_object_set(video, "caps", caps, "sync", TRUE, nullptr);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = OnNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(video), &callbacks, this, nullptr);
    g_object_set(pipeline_, "uri", uri, "video-sink", video, "audio-sink", audio, nullptr);
    g_free(uri);
    videoSink_ = video;
    // Prerolled in PAUSED: the file is open, decoding and negotiated, and
    // nothing is delivered until Run.
    if (!Preroll() || !ConnectRenderer()) {
      ClosePipeline();
      return E_FAIL;
    }
    return S_OK;
  }

  HRESULT Run() override { return ChangeState(GST_STATE_PLAYING); }
  HRESULT Pause() override { return ChangeState(GST_STATE_PAUSED); }

  HRESULT GetDuration(std::int64_t* duration) override {
    if (duration == nullptr) return E_POINTER;
    gint64 nanoseconds = 0;
    *duration = pipeline_ != nullptr && gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &nanoseconds) != FALSE
                    ? nanoseconds / kNanosecondsPerUnit
                    : 0;
    return S_OK;
  }
  HRESULT GetStopPosition(std::int64_t* stop) override { return GetDuration(stop); }
  HRESULT GetCurrentPosition(std::int64_t* current) override {
    if (current == nullptr) return E_POINTER;
    if (pipeline_ == nullptr) return E_FAIL;
    // The end of the stream counts as the stop position, wherever the last
    // frame's time lay.
    GstBus* bus = gst_element_get_bus(pipeline_);
    while (GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_EOS)) {
      atEnd_ = true;
      gst_message_unref(message);
    }
    gst_object_unref(bus);
    if (atEnd_) return GetStopPosition(current);
    gint64 nanoseconds = 0;
    *current = gst_element_query_position(pipeline_, GST_FORMAT_TIME, &nanoseconds) != FALSE
                   ? nanoseconds / kNanosecondsPerUnit
                   : 0;
    return S_OK;
  }
  HRESULT SetPositions(std::int64_t* current, std::uint32_t currentFlags, std::int64_t*, std::uint32_t) override {
    if (pipeline_ == nullptr) return E_FAIL;
    if (current == nullptr || currentFlags != AM_SEEKING_AbsolutePositioning) return S_OK;
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT);
    if (gst_element_seek_simple(pipeline_, GST_FORMAT_TIME, flags, *current * kNanosecondsPerUnit) == FALSE) {
      return E_FAIL;
    }
    atEnd_ = false;
    return S_OK;
  }

 private:
  static GstElement* MakeAudioSink() {
    GstElement* sink = GetBackendKind() == BackendKind::kDesktop
                           ? gst_element_factory_make("autoaudiosink", nullptr)
                           : nullptr;
    if (sink == nullptr) {
      sink = gst_element_factory_make("fakesink", nullptr);
      if (sink != nullptr) g_object_set(sink, "sync", TRUE, nullptr);
    }
    return sink;
  }

  // Waits for the pipeline to preroll, or for the first error it reports.
  bool Preroll() {
    const GstStateChangeReturn change = gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    if (change == GST_STATE_CHANGE_FAILURE) return false;
    if (change != GST_STATE_CHANGE_ASYNC) return true;
    GstBus* bus = gst_element_get_bus(pipeline_);
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus, kPrerollTimeout, static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR));
    gst_object_unref(bus);
    const bool prerolled = message != nullptr && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE;
    if (message != nullptr) gst_message_unref(message);
    return prerolled;
  }

  HRESULT ChangeState(GstState state) {
    if (pipeline_ == nullptr) return E_FAIL;
    return gst_element_set_state(pipeline_, state) == GST_STATE_CHANGE_FAILURE ? E_FAIL : S_OK;
  }

  // Offers the negotiated frame to the renderer as top-down RGB24; false
  // when the file has no video or the renderer refuses it.
  bool ConnectCaps(GstCaps* caps) {
    GstVideoInfo info;
    if (caps == nullptr || gst_video_info_from_caps(&info, caps) == FALSE) return false;
    const VideoInfoHeader header{GST_VIDEO_INFO_WIDTH(&info), -GST_VIDEO_INFO_HEIGHT(&info), 24};
    const AM_MEDIA_TYPE type{MediaMajorType::kVideo, MediaSubtype::kRGB24, MediaFormatType::kVideoInfo, &header};
    if (renderer_->CheckMediaType(&type) != S_OK || FAILED(renderer_->SetMediaType(&type))) return false;
    width_ = GST_VIDEO_INFO_WIDTH(&info);
    height_ = GST_VIDEO_INFO_HEIGHT(&info);
    return true;
  }

  bool ConnectRenderer() {
    GstPad* pad = gst_element_get_static_pad(videoSink_, "sink");
    GstCaps* caps = pad != nullptr ? gst_pad_get_current_caps(pad) : nullptr;
    const bool connected = ConnectCaps(caps);
    if (caps != nullptr) gst_caps_unref(caps);
    if (pad != nullptr) gst_object_unref(pad);
    return connected;
  }

  static GstFlowReturn OnNewSample(GstAppSink* sink, gpointer user) {
    auto* self = static_cast<GstFilterGraph*>(user);
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (sample == nullptr) return GST_FLOW_OK;
    // A new frame size reconnects the renderer, as a format change would.
    GstVideoInfo info;
    GstCaps* caps = gst_sample_get_caps(sample);
    if (caps != nullptr && gst_video_info_from_caps(&info, caps) != FALSE &&
        (GST_VIDEO_INFO_WIDTH(&info) != self->width_ || GST_VIDEO_INFO_HEIGHT(&info) != self->height_)) {
      self->ConnectCaps(caps);
    }
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (buffer != nullptr && gst_buffer_map(buffer, &map, GST_MAP_READ) != FALSE) {
      MappedSample delivered(map.data, static_cast<long>(map.size));
      self->renderer_->DoRenderSample(&delivered);
      gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
  }

  void ClosePipeline() {
    if (pipeline_ == nullptr) return;
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_object_unref(pipeline_);
    pipeline_ = nullptr;
    videoSink_ = nullptr;
  }

  std::atomic<unsigned long> references_{0};
  Q_CBaseVideoRenderer* renderer_ = nullptr;
  GstElement* pipeline_ = nullptr;
  GstElement* videoSink_ = nullptr;  // owned by the pipeline
  int width_ = 0;                     // the connected frame size
  int height_ = 0;
  bool atEnd_ = false;
};

}  // namespace

HRESULT CreateGStreamerFilterGraph(IGraphBuilder** graph) {
  auto* created = new (std::nothrow) GstFilterGraph;
  if (created == nullptr) return E_OUTOFMEMORY;
  *graph = created;
  created->AddRef();
  return S_OK;
}

}  // namespace plat
