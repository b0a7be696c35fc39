// Desktop services of the stand-in that are not tied to one window: the
// cursor display counter, cursor position and clip, desktop metrics, the OEM
// code page, the screen saver switch, the clipboard in code-page text, text
// input, the program's icon images and its module token. Each reaches the
// system through the current backend.
#include <atomic>
#include <map>
#include <mutex>

#include "platform/backend.h"
#include "platform/debug_output.h"
#include "platform/window_internal.h"

namespace plat {
namespace {

std::mutex gDesktopMutex;
int gCursorCount = 0;
bool gCursorShapeHidden = false;
Point gCursorPosition{0, 0};
HeadlessDesktop gHeadlessDesktop{1920, 1080, 32};
std::atomic<std::uint32_t> gOemCodePage{437};
std::atomic<bool> gScreenSaverInhibited{false};
std::atomic<bool> gClipboardRefuses{false};
std::map<int, IconImage> gIcons;
char gModuleToken;

void ApplyCursor() {
  CurrentWindowBackend().applyCursorVisible(WantsCursorVisible());
}

bool DesktopMode(int* width, int* height, int* bits) {
  int w = 0;
  int h = 0;
  int b = 0;
  if (!CurrentWindowBackend().desktopMode(&w, &h, &b)) return false;
  if (width != nullptr) *width = w;
  if (height != nullptr) *height = h;
  if (bits != nullptr) *bits = b;
  return true;
}

}  // namespace

HeadlessDesktop CurrentHeadlessDesktop() {
  std::lock_guard<std::mutex> lock(gDesktopMutex);
  return gHeadlessDesktop;
}

void SetHeadlessDesktop(const HeadlessDesktop& desktop) {
  std::lock_guard<std::mutex> lock(gDesktopMutex);
  gHeadlessDesktop = desktop;
}

void SimulateDisplayChange(int bitsPerPixel, int width, int height) {
  if (GetBackendKind() != BackendKind::kDesktop) SetHeadlessDesktop(HeadlessDesktop{width, height, bitsPerPixel});
  DeliverDisplayChange(nullptr, bitsPerPixel, width, height);
}

bool WantsCursorVisible() {
  std::lock_guard<std::mutex> lock(gDesktopMutex);
  return gCursorCount >= 0 && !gCursorShapeHidden;
}

bool WantsScreenSaverInhibited() { return gScreenSaverInhibited.load(); }

void NoteCursorPosition(Point screen) {
  std::lock_guard<std::mutex> lock(gDesktopMutex);
  gCursorPosition = screen;
}

Point NotedCursorPosition() {
  std::lock_guard<std::mutex> lock(gDesktopMutex);
  return gCursorPosition;
}

int ShowCursor(BOOL show) {
  int count = 0;
  {
    std::lock_guard<std::mutex> lock(gDesktopMutex);
    gCursorCount += show ? 1 : -1;
    count = gCursorCount;
  }
  ApplyCursor();
  return count;
}

void SetCursor(const void* cursor) {
  {
    std::lock_guard<std::mutex> lock(gDesktopMutex);
    gCursorShapeHidden = cursor == nullptr;
  }
  ApplyCursor();
}

BOOL GetCursorPos(Point* point) {
  if (point == nullptr) return FALSE;
  return CurrentWindowBackend().getCursorPos(point) ? TRUE : FALSE;
}

BOOL ClipCursor(const WinRect* rect) { return CurrentWindowBackend().clipCursor(rect) ? TRUE : FALSE; }

int GetSystemMetrics(int index) {
  int width = 0;
  int height = 0;
  if (!DesktopMode(&width, &height, nullptr)) return 0;
  switch (index) {
    case SM_CXSCREEN:
      return width;
    case SM_CYSCREEN:
      return height;
    default:
      OutputDebugStringA("GetSystemMetrics: unknown index\n");
      return 0;
  }
}

int GetDesktopBitsPerPixel() {
  int bits = 0;
  return DesktopMode(nullptr, nullptr, &bits) ? bits : 0;
}

std::uint32_t GetOEMCP() { return gOemCodePage.load(); }
void SetOEMCPForTest(std::uint32_t codePage) { gOemCodePage.store(codePage); }

void SetScreenSaverInhibited(bool inhibited) {
  gScreenSaverInhibited.store(inhibited);
  CurrentWindowBackend().applyScreenSaver(inhibited);
}

bool IsScreenSaverInhibited() { return gScreenSaverInhibited.load(); }

void SetClipboardRefusesForTest(bool refuses) { gClipboardRefuses.store(refuses); }

bool GetClipboardTextBytes(std::string* text) {
  if (text == nullptr) return false;
  std::string utf8;
  if (!CurrentWindowBackend().getClipboard(&utf8)) return false;
  *text = Utf8ToCodePage(utf8.c_str());
  return true;
}

bool SetClipboardTextBytes(const char* text) {
  if (text == nullptr || gClipboardRefuses.load()) return false;
  return CurrentWindowBackend().setClipboard(CodePageToUtf8(text));
}

void EnableTextInput(HWND window, BOOL enable) {
  if (!IsLiveWindow(window)) return;
  window->textInput = enable != FALSE;
  window->backend->applyTextInput(window, window->textInput);
}

void* GetModuleHandleA(const char* name) {
  // Only the program itself is a module here; named modules load through
  // LoadLibraryA.
  return name == nullptr ? &gModuleToken : nullptr;
}

void RegisterIconImage(int iconId, const std::uint32_t* argb, int width, int height) {
  std::lock_guard<std::mutex> lock(gDesktopMutex);
  if (argb == nullptr || width <= 0 || height <= 0 || width > 1024 || height > 1024) {
    gIcons.erase(iconId);
    return;
  }
  IconImage& icon = gIcons[iconId];
  icon.argb.assign(argb, argb + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  icon.width = width;
  icon.height = height;
}

const IconImage* FindIconImage(int iconId) {
  std::lock_guard<std::mutex> lock(gDesktopMutex);
  auto it = gIcons.find(iconId);
  return it != gIcons.end() ? &it->second : nullptr;
}

}  // namespace plat
