// Display modes and mode changes over SDL (desktop) or a fixed list
// (headless). The desktop list is read again whenever an enumeration starts
// at index 0, so a display plugged in between two enumerations shows up.
#include "platform/display_settings.h"

#include <mutex>
#include <vector>

#include "platform/backend.h"
#include "platform/sync.h"
#include "platform/window_sdl.h"

namespace plat {
namespace {

constexpr int kDefaultRefresh = 60;

// Headless: common sizes at 16 and 32 bits, and one 8-bit mode, which the
// library must leave out of its own list.
const DisplayModeEntry kHeadlessModes[] = {
    {640, 480, 8, kDefaultRefresh},    {640, 480, 16, kDefaultRefresh},   {640, 480, 32, kDefaultRefresh},
    {800, 600, 16, kDefaultRefresh},   {800, 600, 32, kDefaultRefresh},   {1024, 768, 16, kDefaultRefresh},
    {1024, 768, 32, kDefaultRefresh},  {1280, 720, 16, kDefaultRefresh},  {1280, 720, 32, kDefaultRefresh},
    {1920, 1080, 16, kDefaultRefresh}, {1920, 1080, 32, kDefaultRefresh},
};

std::mutex gMutex;
bool gUseTestModes = false;
std::vector<DisplayModeEntry> gTestModes;
std::vector<DisplayModeEntry> gDesktopModes;
DisplayChangeRefusals gRefusals{};
DisplayModeEntry gChangedMode{};
bool gChanged = false;
int gRestoreCount = 0;

// SDL video is started only for the query and stopped again, so the count of
// its users stays with the window backend.
std::vector<DisplayModeEntry> ReadSdlModes() {
  std::vector<DisplayModeEntry> modes;
  PrepareSdlSignals();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return modes;
  const int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
    // Four bytes a pixel are 32 bits, as the system reports them (SDL says 24).
    const int bits = static_cast<int>(SDL_BYTESPERPIXEL(mode.format)) * 8;
    modes.push_back(DisplayModeEntry{mode.w, mode.h, bits, mode.refresh_rate});
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return modes;
}

// The list answering the queries; gMutex held.
const std::vector<DisplayModeEntry>& CurrentModes(bool reread) {
  if (gUseTestModes) return gTestModes;
  if (GetBackendKind() != BackendKind::kDesktop) {
    static const std::vector<DisplayModeEntry> headless(std::begin(kHeadlessModes), std::end(kHeadlessModes));
    return headless;
  }
  if (reread || gDesktopModes.empty()) gDesktopModes = ReadSdlModes();
  return gDesktopModes;
}

bool Listed(const std::vector<DisplayModeEntry>& modes, const DisplayModeEntry& wanted, bool matchRefresh) {
  for (const DisplayModeEntry& mode : modes) {
    if (mode.width == wanted.width && mode.height == wanted.height && mode.bits == wanted.bits &&
        (!matchRefresh || mode.refresh == wanted.refresh)) {
      return true;
    }
  }
  return false;
}

// Desktop: full-screen windows of the calling thread fill the display (or
// stop doing so); their frames are scaled to it when presented.
void ApplyFullScreenToWindows(bool fullScreen) {
  if (GetBackendKind() != BackendKind::kDesktop) return;
  for (HWND window : WindowsOfThread(GetCurrentThreadId())) {
    if (window->backend != &SdlWindowBackend() || window->native == nullptr) continue;
    if ((window->style & WS_POPUP) == 0 || (window->style & WS_CHILD) != 0) continue;
    SDL_SetWindowFullscreen(static_cast<SDL_Window*>(window->native), fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  }
}

}  // namespace

BOOL EnumDisplaySettingsA(const char* deviceName, std::uint32_t index, DevMode* mode) {
  if (deviceName != nullptr || mode == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(gMutex);
  const std::vector<DisplayModeEntry>& modes = CurrentModes(index == 0);
  if (index >= modes.size()) return FALSE;
  const DisplayModeEntry& entry = modes[index];
  mode->dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL | DM_DISPLAYFREQUENCY;
  mode->dmPelsWidth = static_cast<std::uint32_t>(entry.width);
  mode->dmPelsHeight = static_cast<std::uint32_t>(entry.height);
  mode->dmBitsPerPel = static_cast<std::uint32_t>(entry.bits);
  mode->dmDisplayFrequency = static_cast<std::uint32_t>(entry.refresh);
  return TRUE;
}

long ChangeDisplaySettingsA(const DevMode* mode, std::uint32_t) {
  std::unique_lock<std::mutex> lock(gMutex);
  if (mode == nullptr) {
    if (!gChanged) return DISP_CHANGE_SUCCESSFUL;
    gChanged = false;
    ++gRestoreCount;
    lock.unlock();
    ApplyFullScreenToWindows(false);
    return DISP_CHANGE_SUCCESSFUL;
  }
  const std::vector<DisplayModeEntry>& modes = CurrentModes(false);
  if (modes.empty()) return DISP_CHANGE_FAILED;
  // Fields a change leaves out keep the mode in force (the first listed
  // stands in for the desktop's own).
  const DisplayModeEntry current = gChanged ? gChangedMode : modes.front();
  DisplayModeEntry wanted = current;
  if ((mode->dmFields & DM_PELSWIDTH) != 0) wanted.width = static_cast<int>(mode->dmPelsWidth);
  if ((mode->dmFields & DM_PELSHEIGHT) != 0) wanted.height = static_cast<int>(mode->dmPelsHeight);
  if ((mode->dmFields & DM_BITSPERPEL) != 0) wanted.bits = static_cast<int>(mode->dmBitsPerPel);
  const bool withFrequency = (mode->dmFields & DM_DISPLAYFREQUENCY) != 0 && mode->dmDisplayFrequency != 0;
  if (withFrequency) wanted.refresh = static_cast<int>(mode->dmDisplayFrequency);
  if (gRefusals.any || (gRefusals.withFrequency && withFrequency) ||
      (gRefusals.size320x240 && wanted.width == 320 && wanted.height == 240) ||
      !Listed(modes, wanted, withFrequency)) {
    return DISP_CHANGE_BADMODE;
  }
  if (!withFrequency) wanted.refresh = 0;
  gChangedMode = wanted;
  gChanged = true;
  lock.unlock();
  ApplyFullScreenToWindows(true);
  return DISP_CHANGE_SUCCESSFUL;
}

void SetDisplayModesForTest(const DisplayModeEntry* modes, int count) {
  std::lock_guard<std::mutex> lock(gMutex);
  gUseTestModes = count >= 0;
  gTestModes.clear();
  if (modes != nullptr && count > 0) gTestModes.assign(modes, modes + count);
}

void SetDisplayChangeRefusalsForTest(const DisplayChangeRefusals& refusals) {
  std::lock_guard<std::mutex> lock(gMutex);
  gRefusals = refusals;
}

DisplayModeEntry GetChangedDisplayMode() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gChangedMode;
}

bool IsDisplayModeChanged() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gChanged;
}

int GetDesktopModeRestoreCount() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gRestoreCount;
}

}  // namespace plat
