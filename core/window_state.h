// The window system's state: one block shared by the library start and end,
// the main window and its procedure, the message pump and the window
// services. Everything runs on the window thread.
#pragma once

#include <cstdint>

#include "platform/window.h"
#include "platform/window_layered.h"

namespace qz {

inline constexpr int kActivationQueueSize = 512;
inline constexpr int kSelectedMenuIdCapacity = 64;
inline constexpr int kClickLogCapacity = 32;
inline constexpr int kDroppedFileCapacity = 1000;

struct MouseClick {
  std::int32_t x;
  std::int32_t y;
  std::int32_t code;  // 1 left, 2 right, 4 middle
};

// Values a program may set before the start; CreateMainWindow keeps them
// across its reset of the rest of the block.
struct WindowSettings {
  char title[256];
  char className[256];
  std::int32_t iconId;
  std::int32_t windowMode;         // 1 window, 0 full screen
  std::int32_t styleNumber;        // 0..9
  std::int32_t explicitSize;       // an explicit client size was set
  std::int32_t explicitWidth;
  std::int32_t explicitHeight;
  std::int32_t explicitPosition;   // an explicit window position was set
  std::int32_t positionX;
  std::int32_t positionY;
  double scaleX;                   // 0 or below reads as 1.0
  double scaleY;
  std::int32_t explicitScale;      // the program set the scale (sizing keeps it as a limit)
  std::int32_t childMode;          // running inside a window the program supplied
  plat::HWND programWindow;        // that window
  // Options, all 0 by default.
  std::int32_t noWindow;
  std::int32_t skipInput;
  std::int32_t skipSound;
  std::int32_t skipGraphics;
  std::int32_t allowDoubleStart;
  std::int32_t programHandlesClose;
  std::int32_t noQuitMessage;
  std::int32_t runInBackground;
  std::int32_t fullScreenToggle;   // Alt+Enter and the maximise box switch modes
  std::int32_t sizableWindow;
  std::int32_t transparentWindow;
  std::int32_t layeredWindow;
  std::int32_t clipCursor;
  std::int32_t systemKeyBlocking;
  std::int32_t menuAutoShowOff;    // full-screen menu auto-show switched off
  std::int32_t useIme;
  // Callbacks with their user values.
  plat::LRESULT (*messageHook)(plat::HWND, std::uint32_t, plat::WPARAM, plat::LPARAM, void* user);
  void* messageHookUser;
  void (*activationCallback)(int active, void* user);
  void* activationUser;
  void (*fullScreenToggleCallback)(void* user);
  void* fullScreenToggleUser;
  void (*menuCommandCallback)(int id);
  void (*menuTextCallback)(const char* text, int id);
  // Menu and accelerator table (none exist in this system; kept for the paths).
  void* menu;
  void* acceleratorTable;
  std::int32_t menuInUse;
  // Background colour for painting before the start.
  std::int32_t backgroundColourSet;
  std::uint8_t backgroundRed;
  std::uint8_t backgroundGreen;
  std::uint8_t backgroundBlue;
};

struct WindowSystemState {
  WindowSettings settings;

  plat::HWND mainWindow;
  void* moduleInstance;
  std::uint32_t windowThreadId;
  plat::WindowProc oldWindowProc;  // child mode: the program window's procedure

  // Flags.
  std::int32_t active;
  std::int32_t minimised;
  std::int32_t endRequest;
  std::int32_t destroyed;
  std::int32_t closePosted;
  std::int32_t displayChanged;
  std::int32_t modeChangeInProgress;
  std::int32_t beingCreated;
  std::int32_t pumpBusy;
  std::int32_t inPaint;
  std::int32_t partialRepaint;
  std::int32_t lastRepaintTime;       // ms
  std::int32_t pendingFullScreenToggle;
  std::int32_t visibleOnCreation;     // WS_VISIBLE once placed in window mode
  std::int32_t dropExplicitSizeAfterStart;

  // Pump state.
  std::int32_t keyInputGuard;
  std::int32_t cursorClipped;
  std::int32_t idleSeen;              // the pump idled in its current call
  std::int32_t idleStartTime;         // ms
  plat::HWND dialogWindow;

  // Geometry, screen coordinates.
  plat::WinRect windowRect;
  plat::WinRect clientRect;
  std::int32_t desktopWidth;
  std::int32_t desktopHeight;
  std::int32_t desktopBits;

  // Mouse.
  std::int32_t mouseDisplayFlag;
  std::int32_t cursorShown;
  std::int32_t wheelVertical;
  std::int32_t wheelHorizontal;
  MouseClick clicks[kClickLogCapacity];
  std::int32_t clickCount;

  // Activation changes queued while the pump dispatches.
  std::uint32_t activationQueue[kActivationQueueSize];
  std::int32_t activationRead;
  std::int32_t activationWrite;
  std::int32_t activationCount;

  std::int32_t selectedMenuIds[kSelectedMenuIdCapacity];
  std::int32_t selectedMenuIdCount;
  std::int32_t fullScreenMenuShowCount;

  // Dropped files: tracked blocks.
  char* droppedFiles[kDroppedFileCapacity];
  std::int32_t droppedFileCount;

  // Memory figures kept at window creation (bytes).
  std::uint64_t totalPhysicalMemory;
  std::uint64_t availablePhysicalMemory;
  std::uint64_t totalVirtualMemory;
  std::uint64_t availableVirtualMemory;

  // Code page: character-set code (1 Shift-JIS, 2 Korean, 3 traditional
  // Chinese, 4 simplified Chinese) and number (932, 949, 950, 936 or 0).
  std::int32_t charsetCode;
  std::int32_t codePage;

  std::int32_t lostInFullScreen;
  std::int32_t compositionSwitchedOff;

  // Layered window: the entry looked up at creation and the section the
  // screen is copied into.
  plat::UpdateLayeredWindowProc updateLayeredWindow;
  plat::HBITMAP layeredSection;
  std::uint32_t* layeredBits;
  std::int32_t layeredWidth;
  std::int32_t layeredHeight;

  // What window creation changed for the process, undone by EndMainWindow
  // even when creation failed half-way.
  std::uint32_t timerPeriod;          // begun multimedia timer period, 0 when none
  std::int32_t screenSaverInhibited;
};

WindowSystemState& GetWindowSystemState();

}  // namespace qz
