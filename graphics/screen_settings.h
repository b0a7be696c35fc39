// The configured screen: size, colour depth, the 320 by 240 emulation flag and
// the hardware-rendering switch. Read by whatever needs the screen's shape
// before or without a device. Values not yet set read as 640 by 480, 16 bits.
#pragma once

namespace qz {

// Each pointer may be null; returns 0.
int GetScreenModeSize(int* width, int* height);
// Records the configured size; 0 or below restores the default. Returns 0.
int SetScreenModeSize(int width, int height);

// The screen colour bits, 16 when not yet set.
int GetScreenColorBitDepth();
// Records the configured depth; 0 or below restores the default. Returns 0.
int SetScreenColorBitDepth(int bits);

// The size drawing sees: 320 by 240 under the emulation, else the screen
// size; each pointer may be null; returns 0.
int QueryDrawScreenSize(int* width, int* height, int* bits);

// A 320 by 240 full-screen request runs on a 640 by 480 screen while set.
void SetScreen320x240Emulation(int on);
int GetScreen320x240Emulation();

// 0 forbids the hardware path. Only before the library has started (else -1).
int SetHardwareRenderingFlag(int use);
// 1 unless the hardware path was forbidden.
int GetHardwareRenderingFlag();

// Dialog-box mode of the device, switched by the window procedure and the
// menu services; 0.
int ResetDeviceDialogBoxMode(int on);
int EndSceneSetDialogBoxMode(int on);

}  // namespace qz
