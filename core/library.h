// The library's public entries, its state flags and its fatal exit.
#pragma once

#include "platform/module.h"

namespace qz {

// 0 on success, -1 on failure; a repeated start returns 0.
int InitLibraryEntry();
// -1 once the library must end, else 0.
int PumpMessagesEntry();
int EndLibraryEntry();

// Logs the message, ends the library and the process (exit code 255).
[[noreturn]] void FatalErrorExit(const char* message);
[[noreturn]] void FatalErrorExitFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Why the last start failed, in a few English words for the program to show
// ("another copy is already running"); "" when it did not fail. The start's
// steps record the first reason they meet.
const char* GetStartFailureReason();
void SetStartFailureReason(const char* reason);

// 1 between a successful start and the end.
int IsLibraryInitialised();
// 1 while the start runs.
int IsLibraryInitialising();

// The end request of the window system (WindowSystemState::endRequest): set
// when the window is destroyed or WM_QUIT arrives; the pump then returns -1.
int GetEndRequest();
void SetEndRequest(int state);

// The ending state: 1 once the end has begun (cleared by the next start); the
// window procedure stores 4 on WM_CLOSE when the program handles the close.
int GetEndingState();
void SetEndingState(int state);

// An entry point of a module the start loaded by name ("ws2_32.dll",
// "Imm32.dll", "winmm.dll", "ole32.dll", "comctl32.dll", "dwmapi.dll",
// "User32.dll"); null when not loaded or absent.
plat::ProcAddress GetOptionalModuleEntry(const char* moduleName, const char* entryName);

// How many times the pump entry has run (tests count pumping with it).
int GetPumpPassCount();

}  // namespace qz
