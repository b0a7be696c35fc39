// The choice of backend for this process: made once, on first need, from
// QZ_BACKEND or from whether a display is reachable; tests may force it
// before the first window exists.
#include "platform/backend.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/debug_output.h"
#include "platform/window.h"
#include "platform/window_internal.h"

namespace plat {
namespace {

constexpr const char* kKnownBackends = "desktop, headless";

// -1 until chosen, else the BackendKind value.
std::atomic<int> gKind{-1};
// Why QZ_BACKEND was refused; written before gKind publishes kRefused.
char gRefusal[256] = "";

BackendKind ChooseFromEnvironment() {
  if (const char* forced = std::getenv("QZ_BACKEND")) {
    if (std::strcmp(forced, "headless") == 0) return BackendKind::kHeadless;
    if (std::strcmp(forced, "desktop") == 0) return BackendKind::kDesktop;
    // A misspelt name must not quietly pick a backend the user did not ask for.
    std::snprintf(gRefusal, sizeof gRefusal, "QZ_BACKEND=%.64s names no backend (the known ones: %s)", forced,
                  kKnownBackends);
    OutputDebugStringA(gRefusal);
    OutputDebugStringA("\n");
    return BackendKind::kRefused;
  }
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const bool hasDisplay = (display != nullptr && display[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
  return hasDisplay ? BackendKind::kDesktop : BackendKind::kHeadless;
}

// Headless in all but its start, which always fails.
const WindowBackend& RefusedWindowBackend() {
  static const WindowBackend refused = [] {
    WindowBackend backend = HeadlessWindowBackend();
    backend.name = "refused";
    backend.start = [] { return false; };
    return backend;
  }();
  return refused;
}

}  // namespace

BackendKind GetBackendKind() {
  int kind = gKind.load(std::memory_order_acquire);
  if (kind < 0) {
    int chosen = static_cast<int>(ChooseFromEnvironment());
    // A racing first caller may have chosen already; both read the same
    // environment, so either answer stands.
    gKind.compare_exchange_strong(kind, chosen, std::memory_order_acq_rel);
    kind = gKind.load(std::memory_order_acquire);
  }
  return static_cast<BackendKind>(kind);
}

const WindowBackend& CurrentWindowBackend() {
  switch (GetBackendKind()) {
    case BackendKind::kDesktop: return SdlWindowBackend();
    case BackendKind::kRefused: return RefusedWindowBackend();
    default: return HeadlessWindowBackend();
  }
}

const char* GetDisplayOpenFailure() {
  return GetBackendKind() == BackendKind::kRefused ? gRefusal : SdlDisplayOpenFailure();
}

void SetBackendKindForTest(BackendKind kind) { gKind.store(static_cast<int>(kind), std::memory_order_release); }

void ChooseBackendAgainForTest() { gKind.store(-1, std::memory_order_release); }

void PrepareSdlSignals() {
  if (GetBackendKind() != BackendKind::kDesktop) SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

}  // namespace plat
