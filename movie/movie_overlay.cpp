// The overlay road: a movie in display mode 1 is shown by a DirectDraw
// overlay over the main window instead of through a graph. Nothing in this
// system puts a movie in that mode or makes its overlay surface; the
// placement rules are what such a movie follows: clipped to the client area,
// the source trimmed to match, and the overlay updated only when it moves,
// shows or hides.
#include "movie/movie_overlay.h"

#include <algorithm>

#include "core/main_window.h"
#include "core/rect.h"
#include "graphics/graphics_state.h"
#include "movie/movie_handles.h"
#include "platform/ddraw.h"

namespace qz {
namespace {

constexpr std::int32_t kOverlayDisplayMode = 1;

std::int32_t ClampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

bool SameRect(const plat::WinRect& a, const plat::WinRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void UpdateOverlay(const plat::WinRect* source, const plat::WinRect* destination, std::uint32_t flags) {
  plat::IDirectDraw7* directDraw = GetGraphicsState().directDraw;
  if (directDraw != nullptr) directDraw->UpdateOverlay(source, nullptr, destination, flags, nullptr);
}

}  // namespace

int PlaceMovieOverlay(MovieRecord* record, int x, int y, int scale, int show) {
  if (record->displayMode != kOverlayDisplayMode || record->frameDelivered == 0) return 0;
  if (scale < 1) scale = 1;
  const plat::HWND window = QueryMainWindowHandle();
  plat::WinRect client{};
  plat::GetClientRect(window, &client);
  // The stand-in's windows are never covered, so the visible part of the
  // client area is all of it.
  const Rect whole{x, y, ClampToInt32(static_cast<std::int64_t>(x) + static_cast<std::int64_t>(record->width) * scale),
                   ClampToInt32(static_cast<std::int64_t>(y) + static_cast<std::int64_t>(record->height) * scale)};
  Rect shown = whole;
  const Rect clip{0, 0, client.right - client.left, client.bottom - client.top};
  ClipRect(&shown, &clip);
  const bool visible = show != 0 && shown.left < shown.right && shown.top < shown.bottom;
  // The source loses what the window cut off, in movie pixels.
  const plat::WinRect source{
      static_cast<std::int32_t>((static_cast<std::int64_t>(shown.left) - whole.left) / scale),
      static_cast<std::int32_t>((static_cast<std::int64_t>(shown.top) - whole.top) / scale),
      static_cast<std::int32_t>(record->width - (static_cast<std::int64_t>(whole.right) - shown.right) / scale),
      static_cast<std::int32_t>(record->height - (static_cast<std::int64_t>(whole.bottom) - shown.bottom) / scale)};
  plat::Point origin{0, 0};
  plat::ClientToScreen(window, &origin);
  const plat::WinRect destination{shown.left + origin.x, shown.top + origin.y, shown.right + origin.x,
                                  shown.bottom + origin.y};

  // Also a window that moved moves the overlay: its rectangles are compared.
  MovieOverlayPlacement& placement = record->overlay;
  const bool moved = !SameRect(placement.source, source) || !SameRect(placement.destination, destination);
  if (!visible) {
    if (placement.shown != 0) UpdateOverlay(nullptr, nullptr, plat::DDOVER_HIDE);
  } else if (moved || placement.shown == 0) {
    UpdateOverlay(&source, &destination, plat::DDOVER_SHOW);
  }
  placement = {x, y, scale, visible ? 1 : 0, source, destination};
  return 0;
}

void HideMovieOverlay(MovieRecord* record) {
  if (record->displayMode != kOverlayDisplayMode || record->overlay.shown == 0) return;
  UpdateOverlay(nullptr, nullptr, plat::DDOVER_HIDE);
  record->overlay.shown = 0;
}

bool ShowsMovieOverlay(const MovieRecord* record) { return record->displayMode == kOverlayDisplayMode; }

}  // namespace qz
