// Start and end of the graphics screen: the library start, the library end,
// the screen-mode change and the full-screen deactivation call these. The
// start picks the hardware path (the Direct3D 9 device, with DirectDraw for
// vertical-blank waits) unless it was switched off or cannot be made, else
// the software path (screen images shown through GDI).
#pragma once

namespace qz {

// 0, or -1 when no screen can be made. A second start while started does
// nothing and returns 0.
int StartGraphicsScreen();
// Creates the device objects (hardware or software path); 0 or -1. A failure
// leaves whatever it made for ShutdownGraphicsDevice to release.
int InitGraphicsDevice();
// The full graphics end (library end, failed start, mode change).
int TerminateGraphics();
// Releases every device object, the DirectDraw object, the d3d9 module and
// the display-mode list; safe to run on a half-made start.
int ShutdownGraphicsDevice();
// Ends device use when a full-screen window loses activation.
int EndGraphicsSystem();

// The steps of InitGraphicsDevice, each 0 or -1 with its log lines.
int CreateDirectDrawObject();
int CreateDirect3D9Object();
int CreateZBuffer();
// Software path: the back-screen image (filled with the background colour and
// made the software draw target) and two more screen-sized images.
int SetupPrimarySurfaceMemImg();

}  // namespace qz
