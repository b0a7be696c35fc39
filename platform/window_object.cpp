// Window objects: creation and destruction with the messages the system
// sends on the way (WM_CREATE, WM_SIZE, WM_MOVE, WM_DESTROY), the registry
// of live windows that every handle is checked against, and FindWindowA,
// which also sees a window of another running copy through its instance lock.
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/debug_output.h"
#include "platform/sync.h"
#include "platform/window_internal.h"

namespace plat {
namespace {

std::recursive_mutex gWindowsMutex;
std::vector<WindowObject*> gWindows;
char gOtherProcessToken;

bool IsLiveLocked(HWND window) {
  return window != nullptr && std::find(gWindows.begin(), gWindows.end(), window) != gWindows.end();
}

bool TitleMatches(const WindowObject* window, const char* title) { return title == nullptr || window->title == title; }

}  // namespace

HWND OtherProcessWindow() { return reinterpret_cast<HWND>(&gOtherProcessToken); }

bool IsLiveWindow(HWND window) {
  std::lock_guard<std::recursive_mutex> lock(gWindowsMutex);
  return IsLiveLocked(window);
}

HWND FindWindowByNativeId(const WindowBackend* backend, std::uint32_t nativeId) {
  std::lock_guard<std::recursive_mutex> lock(gWindowsMutex);
  for (WindowObject* window : gWindows) {
    if (window->backend == backend && window->nativeId == nativeId) return window;
  }
  return nullptr;
}

std::vector<HWND> WindowsOfThread(std::uint32_t threadId) {
  std::lock_guard<std::recursive_mutex> lock(gWindowsMutex);
  std::vector<HWND> result;
  for (WindowObject* window : gWindows) {
    if (threadId == 0 || window->threadId == threadId) result.push_back(window);
  }
  return result;
}

std::uint32_t WindowThread(HWND window) {
  std::lock_guard<std::recursive_mutex> lock(gWindowsMutex);
  return IsLiveLocked(window) ? window->threadId : 0;
}

bool AnyWindowOfClass(const char* className) {
  std::lock_guard<std::recursive_mutex> lock(gWindowsMutex);
  return std::any_of(gWindows.begin(), gWindows.end(),
                     [className](const WindowObject* window) { return SameClassName(window->className, className); });
}

FrameSize FrameOf(const WindowObject* window) { return window->frame; }

WinRect ClientRectOnScreen(const WindowObject* window) {
  const FrameSize frame = FrameOf(window);
  WinRect client{window->windowRect.left + frame.left, window->windowRect.top + frame.top,
                 window->windowRect.right - frame.right, window->windowRect.bottom - frame.bottom};
  if (client.right < client.left) client.right = client.left;
  if (client.bottom < client.top) client.bottom = client.top;
  return client;
}

HWND CreateWindowExA(std::uint32_t exStyle, const char* className, const char* title, std::uint32_t style,
                     std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, HWND parent) {
  ClassRecord classRecord;
  if (!LookupWindowClass(className, &classRecord)) {
    OutputDebugStringA("CreateWindowExA: the window class is not registered\n");
    return nullptr;
  }
  if (parent != nullptr && !IsLiveWindow(parent)) {
    OutputDebugStringA("CreateWindowExA: bad parent window\n");
    return nullptr;
  }
  const WindowBackend& backend = CurrentWindowBackend();
  if (!backend.start()) {
    OutputDebugStringA("CreateWindowExA: the window backend cannot start\n");
    return nullptr;
  }
  auto* window = new WindowObject;
  window->backend = &backend;
  window->className = classRecord.name;
  window->title = title != nullptr ? title : "";
  window->style = style;
  window->exStyle = exStyle;
  window->procedure = classRecord.procedure;
  window->iconId = classRecord.iconId;
  window->threadId = GetCurrentThreadId();
  window->windowRect = WinRect{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  window->frame = backend.frame(style, exStyle);
  window->minimised = (style & WS_MINIMIZE) != 0;
  window->maximised = (style & WS_MAXIMIZE) != 0;
  if (!backend.createWindow(window)) {
    OutputDebugStringA("CreateWindowExA: the backend could not make the window\n");
    delete window;
    return nullptr;
  }
  EnsureThreadQueue();
  {
    std::lock_guard<std::recursive_mutex> lock(gWindowsMutex);
    gWindows.push_back(window);
  }
  AcquireInstanceLock(window->className);
  if (const IconImage* icon = FindIconImage(window->iconId)) backend.applyIcon(window, icon);

  if (SendMessageA(window, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(window);
    return nullptr;
  }
  if (!IsLiveWindow(window)) return nullptr;
  const WinRect client = ClientRectOnScreen(window);
  SendMessageA(window, WM_SIZE, window->minimised ? SIZE_MINIMIZED : (window->maximised ? SIZE_MAXIMIZED : SIZE_RESTORED),
               MakeLParam(client.right - client.left, client.bottom - client.top));
  if (!IsLiveWindow(window)) return nullptr;
  SendMessageA(window, WM_MOVE, 0, MakeLParam(client.left, client.top));
  if (!IsLiveWindow(window)) return nullptr;
  if ((style & WS_VISIBLE) != 0) ShowWindow(window, SW_SHOW);
  return window;
}

BOOL DestroyWindow(HWND window) {
  {
    std::lock_guard<std::recursive_mutex> lock(gWindowsMutex);
    if (!IsLiveLocked(window)) return FALSE;
    // Only the owning thread destroys a window; a second destroy from inside
    // WM_DESTROY is refused.
    if (window->threadId != GetCurrentThreadId() || window->destroying) return FALSE;
    window->destroying = true;
  }
  SendMessageA(window, WM_DESTROY, 0, 0);
  // Focus leaves with the active window, and the key-ups of what was held
  // then find no window to go to.
  if (window->active) ReleaseAllKeys();
  window->backend->destroyWindow(window);
  {
    std::lock_guard<std::recursive_mutex> lock(gWindowsMutex);
    gWindows.erase(std::remove(gWindows.begin(), gWindows.end(), window), gWindows.end());
  }
  ForgetWindowMessages(window);
  ReleaseInstanceLock(window->className);
  delete window;
  return TRUE;
}

LRESULT DefWindowProcA(HWND window, std::uint32_t message, WPARAM, LPARAM) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      // Painting nothing still validates, or WM_PAINT would come back forever.
      PaintInfo paint{};
      if (BeginPaint(window, &paint)) EndPaint(window, &paint);
      return 0;
    }
    default:
      return 0;
  }
}

BOOL IsWindow(HWND window) { return IsLiveWindow(window) ? TRUE : FALSE; }

std::uint32_t GetWindowThreadProcessId(HWND window, std::uint32_t* processId) {
  if (processId != nullptr) *processId = 1;
  return IsLiveWindow(window) ? window->threadId : 0;
}

HWND FindWindowA(const char* className, const char* title) {
  {
    std::lock_guard<std::recursive_mutex> lock(gWindowsMutex);
    for (WindowObject* window : gWindows) {
      if (window->destroying) continue;
      if (className != nullptr && !SameClassName(window->className, className)) continue;
      if (TitleMatches(window, title)) return window;
    }
  }
  if (className != nullptr && className[0] != '\0' && IsInstanceLockedElsewhere(className)) return OtherProcessWindow();
  return nullptr;
}

}  // namespace plat
