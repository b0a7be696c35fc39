// The filter-graph factory: the GStreamer backing unless a test installed a
// graph of its own.
#include "platform/dshow.h"

namespace plat {

HRESULT CreateGStreamerFilterGraph(IGraphBuilder** graph);  // platform/dshow_gst.cpp

namespace {
std::atomic<FilterGraphFactory> gFactory{CreateGStreamerFilterGraph};
}  // namespace

HRESULT CoCreateFilterGraph(IGraphBuilder** graph) {
  if (graph == nullptr) return E_POINTER;
  *graph = nullptr;
  return gFactory.load()(graph);
}

void SetFilterGraphFactoryForTest(FilterGraphFactory factory) {
  gFactory.store(factory != nullptr ? factory : CreateGStreamerFilterGraph);
}

}  // namespace plat
