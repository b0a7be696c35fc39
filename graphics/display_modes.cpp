// The display-mode list and the desktop mode change, over the display
// settings of the platform stand-in. The list lives on the process heap, as
// the mode records are plain values that outlive no device.
#include "graphics/display_modes.h"

#include <cstdlib>
#include <vector>

#include "core/call_trace.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "graphics/graphics_state.h"
#include "platform/display_settings.h"

namespace qz {
namespace {

constexpr int kMinimumListedBits = 16;

int gModeCount = 0;
DisplayModeRecord* gModeList = nullptr;
bool gFailAllocation = false;

// The modes of 16 bits or more that EnumDisplaySettingsA reports, in order;
// `store` null only counts them.
int WalkModes(DisplayModeRecord* store, int capacity) {
  int listed = 0;
  for (std::uint32_t index = 0;; ++index) {
    plat::DevMode mode{};
    mode.dmSize = sizeof(mode);
    if (plat::EnumDisplaySettingsA(nullptr, index, &mode) == plat::FALSE) break;
    if (mode.dmBitsPerPel < kMinimumListedBits) continue;
    if (store != nullptr) {
      if (listed >= capacity) break;
      store[listed] = DisplayModeRecord{static_cast<int>(mode.dmPelsWidth), static_cast<int>(mode.dmPelsHeight),
                                        static_cast<int>(mode.dmBitsPerPel),
                                        static_cast<int>(mode.dmDisplayFrequency)};
    }
    ++listed;
  }
  return listed;
}

void EnsureList() {
  if (gModeList == nullptr) EnumerateDisplayModes(&gModeCount, &gModeList);
}

bool TryChange(plat::DevMode* mode, std::uint32_t flags) {
  return plat::ChangeDisplaySettingsA(mode, flags) == plat::DISP_CHANGE_SUCCESSFUL;
}

}  // namespace

int EnumerateDisplayModes(int* count, DisplayModeRecord** list) {
  if (count == nullptr || list == nullptr) return -1;
  std::free(*list);
  *list = nullptr;
  *count = 0;
  const int found = WalkModes(nullptr, 0);
  if (found == 0) return 0;
  auto* modes = gFailAllocation ? nullptr
                                : static_cast<DisplayModeRecord*>(std::malloc(sizeof(DisplayModeRecord) *
                                                                              static_cast<std::size_t>(found)));
  if (modes == nullptr) return 0;
  // The second pass may see fewer modes if the display changed in between.
  *count = WalkModes(modes, found);
  *list = modes;
  return 0;
}

int GetDisplayModeCount() {
  EnsureList();
  return gModeCount;
}

DisplayModeRecord GetDisplayModeByIndex(int index) {
  EnsureList();
  if (index < 0 || index >= gModeCount) return DisplayModeRecord{-1, -1, -1, -1};
  return gModeList[index];
}

int CheckDisplayModeAvailable(int width, int height, int bits) {
  RecordCall("CheckDisplayModeAvailable");
  EnsureList();
  for (int i = 0; i < gModeCount; ++i) {
    const DisplayModeRecord& mode = gModeList[i];
    if (mode.width == width && mode.height == height && mode.colorBits == bits) return 1;
  }
  return 0;
}

void FreeDisplayModeList() {
  std::free(gModeList);
  gModeList = nullptr;
  gModeCount = 0;
}

int ChangeScreenDisplayMode() {
  GraphicsState& state = GetGraphicsState();
  AppendLogFormat(text::kGfxModeChangeStart, static_cast<unsigned>(state.screenWidth),
                  static_cast<unsigned>(state.screenHeight), static_cast<unsigned>(state.colorBits));
  IncreaseLogIndent();
  // Every way out takes the indent back, the refusal of the depth included.
  if (state.colorBits != 16 && state.colorBits != 32) {
    DecreaseLogIndent();
    return -1;
  }
  AppendLogText(text::kGfxResolutionChanging);
  plat::DevMode mode{};
  mode.dmSize = sizeof(mode);
  mode.dmPelsWidth = static_cast<std::uint32_t>(state.screenWidth);
  mode.dmPelsHeight = static_cast<std::uint32_t>(state.screenHeight);
  mode.dmBitsPerPel = static_cast<std::uint32_t>(state.colorBits);
  mode.dmFields = plat::DM_PELSWIDTH | plat::DM_PELSHEIGHT | plat::DM_BITSPERPEL;
  if (state.refreshRate != 0) {
    mode.dmDisplayFrequency = static_cast<std::uint32_t>(state.refreshRate);
    mode.dmFields |= plat::DM_DISPLAYFREQUENCY;
  }
  bool changed = TryChange(&mode, plat::CDS_FULLSCREEN);
  if (!changed) {
    mode.dmFields &= ~plat::DM_DISPLAYFREQUENCY;
    mode.dmDisplayFrequency = 0;
    state.refreshRate = 0;
    changed = TryChange(&mode, 0);
  }
  if (!changed && state.screenWidth == 320 && state.screenHeight == 240) {
    state.screenWidth = 640;
    state.screenHeight = 480;
    state.modeChangeEmulation320x240 = 1;
    mode.dmPelsWidth = 640;
    mode.dmPelsHeight = 480;
    changed = TryChange(&mode, 0);
    if (changed) ApplyWindowStyle();
  }
  AppendLogText(changed ? text::kGfxModeChangeSucceeded : text::kGfxModeChangeFailed);
  DecreaseLogIndent();
  return changed ? 0 : -1;
}

void SetDisplayModeListForTest(const DisplayModeRecord* modes, int count) {
  std::vector<plat::DisplayModeEntry> entries;
  for (int i = 0; modes != nullptr && i < count; ++i) {
    entries.push_back(plat::DisplayModeEntry{modes[i].width, modes[i].height, modes[i].colorBits,
                                             modes[i].refreshRate});
  }
  plat::SetDisplayModesForTest(entries.data(), count < 0 ? -1 : static_cast<int>(entries.size()));
  FreeDisplayModeList();
}

void SetDisplayModeAllocationFailureForTest(bool fail) { gFailAllocation = fail; }

}  // namespace qz
