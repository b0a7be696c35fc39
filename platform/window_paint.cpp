// The update region of a window, kept as one rectangle: InvalidateRect grows
// it, BeginPaint hands it out and validates it. The queue makes WM_PAINT from
// it when nothing else is waiting.
#include <algorithm>

#include "platform/sync.h"
#include "platform/window_internal.h"

namespace plat {
namespace {

WinRect WholeClient(const WindowObject* window) {
  const WinRect client = ClientRectOnScreen(window);
  return WinRect{0, 0, client.right - client.left, client.bottom - client.top};
}

void AddToUpdate(WindowObject* window, const WinRect* rect) {
  const WinRect whole = WholeClient(window);
  WinRect add = rect != nullptr ? *rect : whole;
  add.left = std::max(add.left, whole.left);
  add.top = std::max(add.top, whole.top);
  add.right = std::min(add.right, whole.right);
  add.bottom = std::min(add.bottom, whole.bottom);
  if (add.right <= add.left || add.bottom <= add.top) return;
  if (!window->invalid) {
    window->invalidRect = add;
  } else {
    WinRect& current = window->invalidRect;
    current = WinRect{std::min(current.left, add.left), std::min(current.top, add.top),
                      std::max(current.right, add.right), std::max(current.bottom, add.bottom)};
  }
  window->invalid = true;
  WakeThreadQueue(window->threadId);
}

}  // namespace

BOOL InvalidateRect(HWND window, const WinRect* rect) {
  if (window == nullptr) {
    // As the system does for a null window: every window (of this thread).
    for (HWND each : WindowsOfThread(GetCurrentThreadId())) AddToUpdate(each, nullptr);
    return TRUE;
  }
  if (!IsLiveWindow(window)) return FALSE;
  AddToUpdate(window, rect);
  return TRUE;
}

BOOL BeginPaint(HWND window, PaintInfo* paint) {
  if (!IsLiveWindow(window) || paint == nullptr) return FALSE;
  paint->paintRect = window->invalid ? window->invalidRect : WholeClient(window);
  window->invalid = false;
  return TRUE;
}

BOOL EndPaint(HWND window, const PaintInfo* paint) { return IsLiveWindow(window) && paint != nullptr ? TRUE : FALSE; }

BOOL UpdateWindow(HWND window) {
  if (!IsLiveWindow(window)) return FALSE;
  if (window->invalid && window->visible) SendMessageA(window, WM_PAINT, 0, 0);
  return TRUE;
}

}  // namespace plat
