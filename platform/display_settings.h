// The display's modes and the full-screen mode change. The desktop backend
// lists the real modes SDL reports; headless the list is a fixed, plausible
// one that tests may replace. A mode change never alters the real resolution:
// on the desktop it turns the process's full-screen (popup) windows into
// SDL desktop full-screen windows, whose frames are scaled to fit.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace plat {

// The fields of a display mode record the library reads and writes.
struct DevMode {
  std::uint32_t dmSize;
  std::uint32_t dmFields;
  std::uint32_t dmBitsPerPel;
  std::uint32_t dmPelsWidth;
  std::uint32_t dmPelsHeight;
  std::uint32_t dmDisplayFrequency;
};

inline constexpr std::uint32_t DM_BITSPERPEL = 0x00040000u;
inline constexpr std::uint32_t DM_PELSWIDTH = 0x00080000u;
inline constexpr std::uint32_t DM_PELSHEIGHT = 0x00100000u;
inline constexpr std::uint32_t DM_DISPLAYFREQUENCY = 0x00400000u;

inline constexpr std::uint32_t CDS_FULLSCREEN = 0x4u;

inline constexpr long DISP_CHANGE_SUCCESSFUL = 0;
inline constexpr long DISP_CHANGE_FAILED = -1;
inline constexpr long DISP_CHANGE_BADMODE = -2;

// Mode `index` of the display (deviceName must be null: the one display);
// FALSE past the end.
BOOL EnumDisplaySettingsA(const char* deviceName, std::uint32_t index, DevMode* mode);
// Switches to `mode` (fields as dmFields says; a field left out keeps its
// current value), or back to the desktop's own mode with a null mode.
// DISP_CHANGE_SUCCESSFUL, or DISP_CHANGE_BADMODE for a mode the list lacks.
long ChangeDisplaySettingsA(const DevMode* mode, std::uint32_t flags);

struct DisplayModeEntry {
  int width;
  int height;
  int bits;
  int refresh;
};

// Test hooks. A list replaces the display's (headless and desktop alike); a
// negative count goes back to the display's own list.
void SetDisplayModesForTest(const DisplayModeEntry* modes, int count);
// Refusals of ChangeDisplaySettingsA: a change that names a refresh rate; any
// change at all; a change to 320 by 240.
struct DisplayChangeRefusals {
  bool withFrequency;
  bool any;
  bool size320x240;
};
void SetDisplayChangeRefusalsForTest(const DisplayChangeRefusals& refusals);
// The mode set by the last successful change, and whether it is still in
// force (false after the desktop's mode came back).
DisplayModeEntry GetChangedDisplayMode();
bool IsDisplayModeChanged();
// How often the desktop's own mode was put back.
int GetDesktopModeRestoreCount();

}  // namespace plat
