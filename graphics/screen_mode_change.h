// Screen-mode change, device rebuild and the device-lost restore handler, as
// the main window's activation and display-change handling use them.
#pragma once

namespace qz {

// Public. Before the start it only stores the mode. After: 0 when the screen
// now has exactly the request, -1 when it is unchanged (or the request was
// refused: size not positive, bits not 8, 16 or 32), -2 when only the
// 640 by 480, 16-bit fall-back could start. In full screen 320 by 240 runs
// as 640 by 480 under the 320x240 emulation, which counts as the request met.
int SetScreenMode(int width, int height, int colorBits, int refreshRate);
// -1 in width, height, bits or refresh keeps the current value.
int ApplyScreenModeChange(int width, int height, int bits, int windowModeChange, int refresh);
// A device that cannot be made again leaves the software path, with its
// screen images, graphs and fonts made for it.
int RebuildGraphicsDevice(int width, int height, int bits, int refresh, int modeChange);
// The rebuild after a device loss (all four values -1).
int RebuildGraphicsDeviceDefault();
// 1 when the hardware device reports itself lost (its cooperative-level
// test fails), which in window mode only an activation notices; else 0.
int IsGraphicsDeviceLost();
// Releases the device objects of every graph image, buffer handle and pixel
// shader handle, leaving the records.
int ReleaseAllDeviceObjects();

using DeviceLostRestoreHandler = void (*)();
// Null installs the library's own handler (reload every graph); returns 0.
int SetDeviceLostRestoreHandler(DeviceLostRestoreHandler handler);
// Called after every device rebuild with its user value; null: none. 0.
using DeviceRebuildCallback = void (*)(void* userValue);
int SetDeviceRebuildCallback(DeviceRebuildCallback callback, void* userValue);
// Set: a mode change rebuilds the device and keeps every graph, instead of
// ending and starting graphics again (the default). 0.
int SetRebuildOnModeChange(int flag);

// 1 when a handler (the program's or the library's) is installed.
int HasDeviceLostRestoreHandler();
int CallDeviceLostRestoreHandler();
// Test hook: no handler at all, as before the first start.
void ClearDeviceLostRestoreHandlerForTest();

// The paint-on-inactive image over the last frame; -1 without one.
int ShowInactivePaintImage();
// Waits, pumping, until the window is active (first step of drawing).
int EnsureScreenReady();

}  // namespace qz
