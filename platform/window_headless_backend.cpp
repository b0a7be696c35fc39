// The headless backend: windows live only in memory with their rectangles,
// a fixed frame (8/31/8/8 with a caption), the desktop set by the tests, an
// in-memory clipboard and cursor. A window is active from creation; showing
// commands that minimise or restore post what the system would.
#include <mutex>

#include "platform/window_internal.h"

namespace plat {
namespace {

std::mutex gHeadlessMutex;
std::string gClipboard;
bool gHasClipboard = false;
bool gClipped = false;
WinRect gClip{};

bool Start() { return true; }

bool CreateNative(WindowObject* window) {
  static std::uint32_t nextId = 1;
  std::lock_guard<std::mutex> lock(gHeadlessMutex);
  window->nativeId = nextId++;
  return true;
}

void DestroyNative(WindowObject*) {}

void ApplyVisibility(WindowObject* window, int showCommand) {
  if (showCommand == SW_MINIMIZE) DeliverMinimise(window, true);
  if (showCommand == SW_RESTORE) DeliverMinimise(window, false);
}

void ApplyNothing(WindowObject*) {}
void ApplyIcon(WindowObject*, const IconImage*) {}
void ApplyTopmost(WindowObject*, bool) {}

FrameSize Frame(std::uint32_t style, std::uint32_t) {
  if ((style & WS_CAPTION) == WS_CAPTION) return FrameSize{8, 31, 8, 8};
  if ((style & WS_THICKFRAME) != 0) return FrameSize{8, 8, 8, 8};
  return FrameSize{};
}

void PollNothing() {}
bool NoPolling() { return false; }
void ApplyCursorVisible(bool) {}

bool GetCursor(Point* point) {
  *point = NotedCursorPosition();
  return true;
}

bool Clip(const WinRect* rect) {
  std::lock_guard<std::mutex> lock(gHeadlessMutex);
  gClipped = rect != nullptr;
  if (rect != nullptr) gClip = *rect;
  return true;
}

bool GetClipboard(std::string* utf8) {
  std::lock_guard<std::mutex> lock(gHeadlessMutex);
  if (!gHasClipboard) return false;
  *utf8 = gClipboard;
  return true;
}

bool SetClipboard(const std::string& utf8) {
  std::lock_guard<std::mutex> lock(gHeadlessMutex);
  gClipboard = utf8;
  gHasClipboard = true;
  return true;
}

bool DesktopMode(int* width, int* height, int* bitsPerPixel) {
  const HeadlessDesktop desktop = CurrentHeadlessDesktop();
  *width = desktop.width;
  *height = desktop.height;
  *bitsPerPixel = desktop.bitsPerPixel;
  return true;
}

void ApplyScreenSaver(bool) {}
void ApplyTextInput(WindowObject*, bool) {}
// Headless, the kept layer image is all there is to show.
void ApplyNoShape(WindowObject*, const std::uint32_t*, int, int) {}

const WindowBackend kHeadless = {
    "headless",    Start,          CreateNative, DestroyNative,  ApplyVisibility, ApplyNothing,     ApplyNothing,
    ApplyNothing,  ApplyIcon,      ApplyTopmost, ApplyNothing,   Frame,           PollNothing,      NoPolling,
    ApplyCursorVisible, GetCursor, Clip,         GetClipboard,   SetClipboard,    DesktopMode,      ApplyScreenSaver,
    ApplyTextInput, ApplyNoShape,
};

}  // namespace

const WindowBackend& HeadlessWindowBackend() { return kHeadless; }

}  // namespace plat
