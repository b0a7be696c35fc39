// The configured screen and small queries over the graphics state: size,
// colour depth, refresh rate, the 320 by 240 emulation, the hardware-rendering
// switch, and thin wrappers over single device calls. Readable from the very
// start, before graphics has started or when it never does. Values not yet
// set read as 640 by 480, 16 bits.
#pragma once

#include <cstdint>

#include "platform/d3d9.h"
#include "platform/ddraw.h"

namespace qz {

// Each pointer may be null; returns 0.
int GetScreenModeSize(int* width, int* height);
// Records the configured size; 0 or below restores the default. Returns 0.
int SetScreenModeSize(int width, int height);

// The screen colour bits, 16 when not yet set.
int GetScreenColorBitDepth();
// Records the configured depth; 0 or below restores the default. Returns 0.
int SetScreenColorBitDepth(int bits);

// The requested display frequency; 0 means any.
int GetScreenRefreshRate();
int SetScreenRefreshRate(int refresh);

// The size drawing sees: 320 by 240 under either emulation, else the screen
// size; each pointer may be null; returns 0.
int QueryDrawScreenSize(int* width, int* height, int* bits);

// A 320 by 240 full-screen request runs on a 640 by 480 screen while set.
void SetScreen320x240Emulation(int on);
// 1 while either emulation flag is set.
int GetScreen320x240Emulation();

// 0 forbids the hardware path. Only before the library has started (else -1).
int SetHardwareRenderingFlag(int use);
// 1 unless the hardware path was forbidden (what was asked, not what runs).
int GetHardwareRenderingFlag();

// 1 in full screen (the main window's window-mode flag is 0).
int IsFullScreenMode();
// Null before the start and after the device shutdown.
plat::IDirectDraw7* GetDirectDrawObject();

// Dialog-box mode of the device, switched by the window procedure and the
// menu services; 0.
int ResetDeviceDialogBoxMode(int on);
int EndSceneSetDialogBoxMode(int on);

// Device buffers for the mesh objects; null without a device or on failure.
plat::IDirect3DVertexBuffer9* CreateDeviceVertexBuffer(std::uint32_t length, std::uint32_t usage,
                                                       std::uint32_t fvf, std::uint32_t pool);
plat::IDirect3DIndexBuffer9* CreateDeviceIndexBuffer(std::uint32_t length, std::uint32_t usage,
                                                     std::uint32_t format, std::uint32_t pool);

// Zero-fills the DirectDraw capabilities record and returns it.
plat::DDCAPS* ClearParamBlock380(plat::DDCAPS* caps);

}  // namespace qz
