// Movie graphs: a movie file opens as a graph bound to its movie handle, and
// each update of the movie copies its frame into the graph, on the textured
// and the software path alike.
#include "graphics/movie_graph.h"

#include "core/log.h"
#include "core/log_text.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_textures.h"
#include "movie/movie_handles.h"

namespace qz {
namespace {

// Copies the frame the movie shows into the graph, whole.
int CopyShownFrame(const MovieRecord* movie, GraphRecord* record) {
  BaseImage picture = *movie->imageToShow;
  BaseImage alpha{};
  const bool alphaHalf = movie->rightHalfAlpha != 0;
  if (alphaHalf) {
    // The right half of the frame is the alpha of the left half.
    picture.width /= 2;
    alpha = picture;
    alpha.pixels += picture.width * picture.format.bytesPerPixel;
  }
  const Rect rect{0, 0, record->width, record->height};
  return TransferImageToGraphTextures(record->handle, rect, 0, 0, &picture, alphaHalf ? &alpha : nullptr,
                                      record->image->request.blendImage, 0, 0);
}

}  // namespace

int LoadMovieAsGraph(const char* fileName, int movieOption) {
  int width = 0;
  int height = 0;
  const int movie = OpenMovie(fileName, &width, &height, movieOption);
  if (movie < 0) return AppendLogFormat(text::kMovieGraphOpenFailed, fileName);
  const bool alphaHalf = GetMovieRecord(movie)->rightHalfAlpha != 0;
  // Frames are copied whole: no colour of theirs is transparent.
  DrawSettingsBlock& settings = GetDrawSettings();
  const std::int32_t colorKey = settings.newGraphColorKey;
  settings.newGraphColorKey = 0;
  const GraphHandle graph = AllocateGraphSlot();
  const int created = InitGraphRecord(-1, graph, alphaHalf ? width / 2 : width, height, alphaHalf ? 1 : 0, 0, 0);
  settings.newGraphColorKey = colorKey;
  if (created != 0) {
    CloseMovieHandle(movie);
    return AppendLogFormat(text::kMovieGraphCreateFailed, fileName);
  }
  GraphRecord* record = GetGraphRecord(graph);
  record->movie = movie;
  SetMovieFrameCallback(movie, CopyMovieFrameToGraph, graph);
  // The open already converted the first frame, so no update will call it new.
  CopyShownFrame(GetMovieRecord(movie), record);
  return graph;
}

int CopyMovieFrameToGraph(MovieRecord* movie, std::int32_t graph) {
  GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr || record->image == nullptr) return 0;
  if (movie->theora != 0 && ConvertTheoraFrame(movie->theoraMovie, 1, 0) == 0) return 0;
  return CopyShownFrame(movie, record);
}

}  // namespace qz
