// The registry of modules loaded by name: each known name answers with a
// table of our own functions. Only functions the stand-in really provides are
// listed; any other name is absent (null), so callers take their "not
// available" paths instead of trusting a fake. Load and free counts are kept
// per module for tests, which can also mark a module absent.
#include "platform/module.h"

#include <strings.h>

#include <cstring>
#include <mutex>
#include <string>

#include "platform/acm.h"
#include "platform/clock.h"
#include "platform/d3d9.h"
#include "platform/d3d9_exports.h"
#include "platform/dsound.h"
#include "platform/imm.h"
#include "platform/system_info.h"
#include "platform/window.h"
#include "platform/window_layered.h"
#include "platform/winsock.h"
#include "platform/winmm_joystick.h"

namespace plat {
namespace {

struct Export {
  const char* name;
  ProcAddress address;
};

struct Module {
  const char* name;
  const Export* exports;
  int exportCount;
  int references;
  int loads;
  int frees;
  bool absent;
};

template <typename Function>
ProcAddress Address(Function function) {
  return reinterpret_cast<ProcAddress>(function);
}

BOOL EnableImeStandIn(HWND window, BOOL enable) {
  EnableTextInput(window, enable);
  return TRUE;
}

const Export kWinmm[] = {
    {"timeGetTime", Address(&timeGetTime)},
    {"timeBeginPeriod", Address(&timeBeginPeriod)},
    {"timeEndPeriod", Address(&timeEndPeriod)},
    {"timeGetDevCaps", Address(&timeGetDevCaps)},
    {"joyGetDevCapsA", Address(&joyGetDevCapsA)},
    {"joyGetPosEx", Address(&joyGetPosEx)},
};
const Export kImm32[] = {
    {"ImmGetContext", Address(&ImmGetContext)},
    {"ImmReleaseContext", Address(&ImmReleaseContext)},
    {"ImmGetOpenStatus", Address(&ImmGetOpenStatus)},
    {"ImmNotifyIME", Address(&ImmNotifyIME)},
    {"ImmSetOpenStatus", Address(&ImmSetOpenStatus)},
    {"ImmGetCandidateListA", Address(&ImmGetCandidateListA)},
    {"ImmGetCompositionStringA", Address(&ImmGetCompositionStringA)},
    {"ImmSetCompositionStringA", Address(&ImmSetCompositionStringA)},
};
const Export kOle32[] = {
    {"CoInitialize", Address(&CoInitialize)},
    {"CoUninitialize", Address(&CoUninitialize)},
};
const Export kKernel32[] = {
    {"GlobalMemoryStatusEx", Address(&GlobalMemoryStatusEx)},
};
const Export kDsound[] = {
    {"DirectSoundCreate8", Address(&DirectSoundCreate8)},
    {"DirectSoundEnumerateA", Address(&DirectSoundEnumerateA)},
};
const Export kMsacm32[] = {
    {"acmFormatSuggest", Address(&acmFormatSuggest)},
    {"acmStreamOpen", Address(&acmStreamOpen)},
    {"acmStreamClose", Address(&acmStreamClose)},
    {"acmMetrics", Address(&acmMetrics)},
    {"acmStreamPrepareHeader", Address(&acmStreamPrepareHeader)},
    {"acmStreamConvert", Address(&acmStreamConvert)},
    {"acmStreamUnprepareHeader", Address(&acmStreamUnprepareHeader)},
    {"acmStreamSize", Address(&acmStreamSize)},
};
// The Direct3D stand-in owns the names, so a test can take either entry point away.
const Export kD3d9[] = {
    {d3d9::gCreate9ExExportName, Address(&Direct3DCreate9Ex)},
    {d3d9::gCreate9ExportName, Address(&Direct3DCreate9)},
};
const Export kWs2_32[] = {
    {"WSAGetLastError", Address(&WSAGetLastError)},
    {"WSAStartup", Address(&WSAStartup)},
    {"WSACleanup", Address(&WSACleanup)},
    {"WSAAsyncSelect", Address(&WSAAsyncSelect)},
    {"gethostbyname", Address(&gethostbyname)},
    {"gethostname", Address(&gethostname)},
    {"ntohs", Address(&ntohs)},
    {"htons", Address(&htons)},
    {"connect", Address(&connect)},
    {"socket", Address(&socket)},
    {"send", Address(&send)},
    {"WSASend", Address(&WSASend)},
    {"accept", Address(&accept)},
    {"closesocket", Address(&closesocket)},
    {"shutdown", Address(&shutdown)},
    {"listen", Address(&listen)},
    {"bind", Address(&bind)},
    {"inet_addr", Address(&inet_addr)},
    {"recv", Address(&recv)},
    {"getsockname", Address(&getsockname)},
};
const Export kUser32[] = {
    {"WINNLSEnableIME", Address(&EnableImeStandIn)},
    {"UpdateLayeredWindow", Address(&UpdateLayeredWindow)},
};

template <std::size_t N>
constexpr int Count(const Export (&)[N]) {
  return static_cast<int>(N);
}

Module gModules[] = {
    {"ws2_32.dll", kWs2_32, Count(kWs2_32), 0, 0, 0, false},
    {"Imm32.dll", kImm32, Count(kImm32), 0, 0, 0, false},
    {"winmm.dll", kWinmm, Count(kWinmm), 0, 0, 0, false},
    {"ole32.dll", kOle32, Count(kOle32), 0, 0, 0, false},
    {"comctl32.dll", nullptr, 0, 0, 0, 0, false},
    {"dwmapi.dll", nullptr, 0, 0, 0, 0, false},
    {"User32.dll", kUser32, Count(kUser32), 0, 0, 0, false},
    {"Kernel32.dll", kKernel32, Count(kKernel32), 0, 0, 0, false},
    {"d3d9.dll", kD3d9, Count(kD3d9), 0, 0, 0, false},
    {"DSOUND.DLL", kDsound, Count(kDsound), 0, 0, 0, false},
    {"msacm32.dll", kMsacm32, Count(kMsacm32), 0, 0, 0, false},
};

std::mutex gModuleMutex;

// As the system does, a name without an extension means the ".dll" file.
Module* FindByName(const char* name) {
  if (name == nullptr) return nullptr;
  const std::string withExtension = std::strchr(name, '.') == nullptr ? std::string(name) + ".dll" : name;
  for (Module& module : gModules) {
    if (strcasecmp(module.name, withExtension.c_str()) == 0) return &module;
  }
  return nullptr;
}

// Only handles this registry gave out count as modules.
Module* FromHandle(ModuleHandle handle) {
  for (Module& module : gModules) {
    if (handle == &module) return &module;
  }
  return nullptr;
}

}  // namespace

ModuleHandle LoadLibraryA(const char* name) {
  std::lock_guard<std::mutex> guard(gModuleMutex);
  Module* module = FindByName(name);
  if (module == nullptr || module->absent) return nullptr;
  ++module->references;
  ++module->loads;
  return module;
}

ProcAddress GetProcAddress(ModuleHandle handle, const char* functionName) {
  if (functionName == nullptr) return nullptr;
  std::lock_guard<std::mutex> guard(gModuleMutex);
  const Module* module = FromHandle(handle);
  if (module == nullptr || module->references == 0) return nullptr;
  for (int i = 0; i < module->exportCount; ++i) {
    if (std::strcmp(module->exports[i].name, functionName) == 0) return module->exports[i].address;
  }
  return nullptr;
}

BOOL FreeLibrary(ModuleHandle handle) {
  std::lock_guard<std::mutex> guard(gModuleMutex);
  Module* module = FromHandle(handle);
  if (module == nullptr || module->references == 0) return FALSE;
  --module->references;
  ++module->frees;
  return TRUE;
}

void SetModuleAbsentForTest(const char* name, bool absent) {
  std::lock_guard<std::mutex> guard(gModuleMutex);
  Module* module = FindByName(name);
  if (module != nullptr) module->absent = absent;
}

int GetModuleLoadCount(const char* name) {
  std::lock_guard<std::mutex> guard(gModuleMutex);
  const Module* module = FindByName(name);
  return module != nullptr ? module->loads : 0;
}

int GetModuleFreeCount(const char* name) {
  std::lock_guard<std::mutex> guard(gModuleMutex);
  const Module* module = FindByName(name);
  return module != nullptr ? module->frees : 0;
}

long CoInitialize(void*) { return S_OK; }

void CoUninitialize() {}

}  // namespace plat
