// Movie graphs: a movie file opens as a graph bound to its movie handle, and
// each update of the movie copies its frame into the graph: on the textured
// path by stretching the movie's video surface onto the graph's texture or by
// transferring its frame image, on the software path straight into the
// graph's pixels (Theora) or row by row when the formats agree.
#include "graphics/movie_graph.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/log_text.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_textures.h"
#include "graphics/graph_tiling.h"
#include "graphics/screen_settings.h"
#include "graphics/vertex_batch.h"
#include "movie/movie_handles.h"
#include "movie/movie_services.h"

namespace qz {
namespace {

// The display mode that asks for an overlay: such a frame is never copied row by row.
constexpr std::int32_t kOverlayDisplayMode = 2;

// Transfers the frame the movie shows into the graph, whole; the right half
// of an alpha-half movie is the alpha of its left half.
int TransferShownFrame(const MovieRecord* movie, GraphRecord* record) {
  BaseImage picture = *movie->imageToShow;
  BaseImage alpha{};
  const bool alphaHalf = movie->rightHalfAlpha != 0;
  if (alphaHalf) {
    picture.width /= 2;
    alpha = picture;
    alpha.pixels += picture.width * picture.format.bytesPerPixel;
  }
  const Rect rect{0, 0, record->width, record->height};
  return TransferImageToGraphTextures(record->handle, rect, 0, 0, &picture, alphaHalf ? &alpha : nullptr,
                                      record->image->request.blendImage, 0, 0);
}

// The device converts the video surface's colours as it stretches it onto
// the first tile, which a drawable graph's texture can receive.
int StretchVideoSurface(plat::IDirect3DSurface9* surface, const GraphRecord* record) {
  plat::IDirect3DDevice9* device = GetGraphicsState().device;
  if (device == nullptr) return -1;
  FlushVertexBatch();
  const GraphTextureTile& tile = record->image->tiles[0];
  const plat::WinRect rect{0, 0, tile.usedWidth, tile.usedHeight};
  return device->StretchRect(surface, &rect, tile.surface, &rect, plat::D3DTEXF_NONE) == plat::D3D_OK ? 0 : -1;
}

// Frame and graph of one depth: rows go straight into the graph's pixels.
void CopyRows(const BaseImage& frame, GraphRecord* record) {
  MEMIMG& view = record->softView;
  const int pitch = view.block->pitch;
  const int rows = std::min(static_cast<int>(frame.height), view.height);
  const std::size_t rowBytes =
      static_cast<std::size_t>(std::min(static_cast<int>(frame.width), view.width)) * frame.format.bytesPerPixel;
  for (int row = 0; row < rows; ++row) {
    std::memcpy(view.pixels + static_cast<std::ptrdiff_t>(row) * pitch,
                frame.pixels + static_cast<std::ptrdiff_t>(row) * frame.pitch, rowBytes);
  }
}

int CopyToTexturedGraph(MovieRecord* movie, GraphRecord* record) {
  if (movie->theora != 0) {
    TheoraMovieContext* theora = movie->theoraMovie;
    plat::IDirect3DSurface9* surface = movie->rightHalfAlpha == 0 ? GetTheoraYuvSurface(theora) : nullptr;
    if (ConvertTheoraFrame(theora, surface == nullptr ? 1 : 0, surface != nullptr ? 1 : 0) == 0) return 0;
    // The conversion may have made the surface again.
    if (surface != nullptr) return StretchVideoSurface(GetTheoraYuvSurface(theora), record);
  }
  return TransferShownFrame(movie, record);
}

// The graph's pixels described as an image of the frame's format.
BaseImage GraphPixelsAs(const BaseImage& frame, const GraphRecord* record) {
  BaseImage pixels = frame;
  pixels.width = static_cast<std::uint32_t>(record->softView.width);
  pixels.height = static_cast<std::uint32_t>(record->softView.height);
  pixels.pitch = static_cast<std::uint32_t>(record->softView.block->pitch);
  pixels.pixels = record->softView.pixels;
  return pixels;
}

int CopyToSoftwareGraph(MovieRecord* movie, GraphRecord* record) {
  const bool rowByRow = movie->displayMode != kOverlayDisplayMode && movie->rightHalfAlpha == 0 &&
                        record->image->request.bitDepth == movie->imageToShow->format.bitDepth;
  if (movie->theora != 0) {
    // A Theora frame of the graph's depth is converted straight into the graph.
    if (rowByRow) {
      BaseImage pixels = GraphPixelsAs(*movie->imageToShow, record);
      ConvertTheoraFrameToImage(movie->theoraMovie, &pixels);
      return 0;
    }
    if (ConvertTheoraFrame(movie->theoraMovie, 1, 0) == 0) return 0;
  }
  if (rowByRow) {
    CopyRows(*movie->imageToShow, record);
    return 0;
  }
  return TransferShownFrame(movie, record);
}

// The creation settings the movie loader changes, put back after the graph is made.
struct KeptCreationSettings {
  std::int32_t colorBits;
  std::int32_t loadTempOption;
  std::uint8_t extraOption;
  std::int32_t colorKey;
  std::int32_t userFormat;

  static KeptCreationSettings Keep(const DrawSettingsBlock& settings) {
    return {settings.newGraphColorBits, settings.graphLoadTempOption, settings.newGraphExtraOption,
            settings.newGraphColorKey, settings.newGraphUserFormat};
  }
  void Restore(DrawSettingsBlock* settings) const {
    settings->newGraphColorBits = colorBits;
    settings->graphLoadTempOption = loadTempOption;
    settings->newGraphExtraOption = extraOption;
    settings->newGraphColorKey = colorKey;
    settings->newGraphUserFormat = userFormat;
  }
};

}  // namespace

int LoadMovieAsGraph(const char* fileName, int movieOption) {
  DrawSettingsBlock& settings = GetDrawSettings();
  const KeptCreationSettings kept = KeptCreationSettings::Keep(settings);
  int width = 0;
  int height = 0;
  const int movie = OpenMovie(fileName, &width, &height, movieOption);
  if (movie < 0) return AppendLogFormat(text::kMovieGraphOpenFailed, fileName);
  const MovieRecord* movieRecord = GetMovieRecord(movie);
  const bool alphaHalf = movieRecord->rightHalfAlpha != 0;
  // Frames are copied whole into staged textures: no colour of theirs is
  // transparent. A Theora movie's graph is drawable, so that its video
  // surface can be stretched onto it.
  const int screenBits = GetScreenColorBitDepth();
  settings.newGraphColorBits = screenBits != 0 ? screenBits : 16;
  settings.graphLoadTempOption = 1;
  SetSingleTextureSetting(1);
  settings.newGraphColorKey = 0;
  settings.newGraphExtraOption = 1;
  if (movieRecord->theora != 0 && !alphaHalf) settings.newGraphUserFormat = 1;
  const GraphHandle graph = AllocateGraphSlot();
  const int created = InitGraphRecord(-1, graph, alphaHalf ? width / 2 : width, height, alphaHalf ? 1 : 0, 0, 0);
  kept.Restore(&settings);
  if (created != 0) {
    CloseMovieHandle(movie);
    return AppendLogFormat(text::kMovieGraphCreateFailed, fileName);
  }
  GetGraphRecord(graph)->movie = movie;
  SetMovieFrameCallback(movie, CopyMovieFrameToGraph, graph);
  // The open already converted the first frame, so no update would call it new.
  RedeliverMovieFrame(movie);
  return graph;
}

int CopyMovieFrameToGraph(MovieRecord* movie, std::int32_t graph) {
  GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr || record->image == nullptr) return 0;
  return record->image->request.textured != 0 ? CopyToTexturedGraph(movie, record)
                                              : CopyToSoftwareGraph(movie, record);
}

}  // namespace qz
