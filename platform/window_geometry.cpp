// Showing, placing and styling windows: the window rectangle is kept here and
// the client area is it less the style's frame, so AdjustWindowRectEx and the
// rectangles a window reports always agree. Changes of place and size send
// WM_MOVE and WM_SIZE as the system does.
#include "platform/debug_output.h"
#include "platform/window_internal.h"

namespace plat {
namespace {

bool SameRect(const WinRect& a, const WinRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

WPARAM SizeKind(const WindowObject* window) {
  if (window->minimised) return SIZE_MINIMIZED;
  return window->maximised ? SIZE_MAXIMIZED : SIZE_RESTORED;
}

void InvalidateWhole(WindowObject* window) {
  const WinRect client = ClientRectOnScreen(window);
  window->invalid = true;
  window->invalidRect = WinRect{0, 0, client.right - client.left, client.bottom - client.top};
}

// Moves the window and tells its procedure what changed.
void PlaceWindow(WindowObject* window, const WinRect& rect) {
  const WinRect before = ClientRectOnScreen(window);
  window->windowRect = rect;
  window->backend->applyBounds(window);
  const WinRect after = ClientRectOnScreen(window);
  const bool moved = before.left != after.left || before.top != after.top;
  const bool sized = (before.right - before.left) != (after.right - after.left) ||
                     (before.bottom - before.top) != (after.bottom - after.top);
  if (sized && window->visible) InvalidateWhole(window);
  if (moved) SendMessageA(window, WM_MOVE, 0, MakeLParam(after.left, after.top));
  if (sized && IsLiveWindow(window)) {
    SendMessageA(window, WM_SIZE, SizeKind(window), MakeLParam(after.right - after.left, after.bottom - after.top));
  }
}

}  // namespace

BOOL ShowWindow(HWND window, int command) {
  if (!IsLiveWindow(window)) return FALSE;
  const BOOL wasVisible = window->visible ? TRUE : FALSE;
  switch (command) {
    case SW_HIDE:
      window->visible = false;
      break;
    case SW_SHOW:
    case SW_RESTORE:
    case SW_MINIMIZE:
      if (!window->visible) InvalidateWhole(window);
      window->visible = true;
      break;
    default:
      OutputDebugStringA("ShowWindow: unknown show command\n");
      return wasVisible;
  }
  window->backend->applyVisibility(window, command);
  return wasVisible;
}

BOOL SetWindowTextA(HWND window, const char* title) {
  if (!IsLiveWindow(window)) return FALSE;
  window->title = title != nullptr ? title : "";
  window->backend->applyTitle(window);
  return TRUE;
}

BOOL MoveWindow(HWND window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, BOOL repaint) {
  if (!IsLiveWindow(window) || width < 0 || height < 0) return FALSE;
  PlaceWindow(window, WinRect{x, y, x + width, y + height});
  if (repaint && window->visible) InvalidateWhole(window);
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height, std::uint32_t flags) {
  if (!IsLiveWindow(window)) return FALSE;
  if ((flags & SWP_NOZORDER) == 0) {
    if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
      const bool topmost = insertAfter == HWND_TOPMOST;
      window->exStyle = topmost ? (window->exStyle | WS_EX_TOPMOST) : (window->exStyle & ~WS_EX_TOPMOST);
      window->backend->applyTopmost(window, topmost);
    } else {
      window->backend->raise(window);
    }
  }
  WinRect rect = window->windowRect;
  if ((flags & SWP_NOMOVE) == 0) {
    const std::int32_t w = rect.right - rect.left;
    const std::int32_t h = rect.bottom - rect.top;
    rect = WinRect{x, y, x + w, y + h};
  }
  if ((flags & SWP_NOSIZE) == 0) {
    if (width < 0 || height < 0) return FALSE;
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
  }
  if (!SameRect(rect, window->windowRect)) PlaceWindow(window, rect);
  return TRUE;
}

BOOL GetWindowRect(HWND window, WinRect* rect) {
  if (!IsLiveWindow(window) || rect == nullptr) return FALSE;
  *rect = window->windowRect;
  return TRUE;
}

BOOL GetClientRect(HWND window, WinRect* rect) {
  if (!IsLiveWindow(window) || rect == nullptr) return FALSE;
  const WinRect client = ClientRectOnScreen(window);
  *rect = WinRect{0, 0, client.right - client.left, client.bottom - client.top};
  return TRUE;
}

BOOL ClientToScreen(HWND window, Point* point) {
  if (!IsLiveWindow(window) || point == nullptr) return FALSE;
  const WinRect client = ClientRectOnScreen(window);
  point->x += client.left;
  point->y += client.top;
  return TRUE;
}

BOOL AdjustWindowRectEx(WinRect* rect, std::uint32_t style, BOOL, std::uint32_t exStyle) {
  if (rect == nullptr) return FALSE;
  // No window here carries a menu bar, so the menu flag adds nothing: the
  // client size stays the one asked for.
  const FrameSize frame = CurrentWindowBackend().frame(style, exStyle);
  rect->left -= frame.left;
  rect->top -= frame.top;
  rect->right += frame.right;
  rect->bottom += frame.bottom;
  return TRUE;
}

std::intptr_t GetWindowLongA(HWND window, int index) {
  if (!IsLiveWindow(window)) return 0;
  switch (index) {
    case GWL_STYLE:
      return static_cast<std::intptr_t>(window->style);
    case GWL_EXSTYLE:
      return static_cast<std::intptr_t>(window->exStyle);
    case GWL_WNDPROC:
      return reinterpret_cast<std::intptr_t>(window->procedure);
    default:
      OutputDebugStringA("GetWindowLongA: unknown index\n");
      return 0;
  }
}

std::intptr_t SetWindowLongA(HWND window, int index, std::intptr_t value) {
  if (!IsLiveWindow(window)) return 0;
  std::intptr_t previous = 0;
  switch (index) {
    case GWL_STYLE:
    case GWL_EXSTYLE: {
      std::uint32_t& field = index == GWL_STYLE ? window->style : window->exStyle;
      previous = static_cast<std::intptr_t>(field);
      field = static_cast<std::uint32_t>(value);
      // The window rectangle stays; the client area follows the new frame.
      window->frame = window->backend->frame(window->style, window->exStyle);
      window->backend->applyStyle(window);
      window->backend->applyBounds(window);
      return previous;
    }
    case GWL_WNDPROC:
      if (value == 0) return 0;
      previous = reinterpret_cast<std::intptr_t>(window->procedure);
      window->procedure = reinterpret_cast<WindowProc>(value);
      return previous;
    default:
      OutputDebugStringA("SetWindowLongA: unknown index\n");
      return 0;
  }
}

BOOL BringWindowToTop(HWND window) {
  if (!IsLiveWindow(window)) return FALSE;
  window->backend->raise(window);
  return TRUE;
}

BOOL SetForegroundWindow(HWND window) {
  if (!IsLiveWindow(window)) return FALSE;
  window->backend->raise(window);
  if (!window->active && !window->minimised) DeliverActivation(window, true);
  return TRUE;
}

HWND SetActiveWindow(HWND window) {
  if (!IsLiveWindow(window)) return nullptr;
  HWND previous = nullptr;
  for (HWND other : WindowsOfThread(window->threadId)) {
    if (other->active) previous = other;
  }
  if (!window->active && !window->minimised) DeliverActivation(window, true);
  return previous;
}

BOOL SetClassIcon(HWND window, int iconId) {
  if (!IsLiveWindow(window)) return FALSE;
  window->iconId = iconId;
  window->backend->applyIcon(window, FindIconImage(iconId));
  return TRUE;
}

}  // namespace plat
