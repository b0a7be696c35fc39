// Modules loaded by name. There is no dynamic loading of Windows modules on
// Linux: each name the library loads ("ws2_32.dll", "Imm32.dll", "winmm.dll",
// "ole32.dll", "comctl32.dll", "dwmapi.dll", "User32.dll", "Kernel32.dll",
// "d3d9.dll", "DSOUND.DLL", "msacm32.dll") maps to a table of our own
// functions. Names match without regard to case. A function the stand-in does
// not provide is absent (null), as on a system that lacks it. The table of
// names and functions lives in platform/module.cpp.
#pragma once

#include "platform/win_types.h"

namespace plat {

using ModuleHandle = void*;
using ProcAddress = void (*)();

// Null for an unknown module or one a test marked absent.
ModuleHandle LoadLibraryA(const char* name);
ProcAddress GetProcAddress(ModuleHandle module, const char* functionName);
BOOL FreeLibrary(ModuleHandle module);

// Test hooks.
void SetModuleAbsentForTest(const char* name, bool absent);
int GetModuleLoadCount(const char* name);
int GetModuleFreeCount(const char* name);

// COM start and end: nothing to do on Linux; S_OK.
inline constexpr long S_OK = 0;
long CoInitialize(void* reserved);
void CoUninitialize();

}  // namespace plat
