// The DirectDraw 7 object the graphics start makes on both paths: only its
// vertical-blank wait is used, paced on the stand-in clock at the display's
// refresh rate (60 Hz unless a mode change set another). Overlays exist only
// when a test switches them on: UpdateOverlay then checks and records each
// placement (nothing is shown); otherwise it fails as on hardware without them.
//
// On virtual time the vertical-blank wait jumps straight to the blank, and a
// device present with interval one waits for the same blanks. Tests set the
// period, a jitter, the present's duration and the stalls of reading a
// render surface back.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/module.h"
#include "platform/window.h"

namespace plat {

inline constexpr HRESULT DD_OK = 0;
inline constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT DDERR_NOOVERLAYHW = static_cast<HRESULT>(0x887600B4u);
inline constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT DDERR_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

inline constexpr std::uint32_t DDSCL_NORMAL = 0x00000008u;
inline constexpr std::uint32_t DDSCL_FPUPRESERVE = 0x00001000u;
inline constexpr std::uint32_t DDWAITVB_BLOCKBEGIN = 0x00000001u;
inline constexpr std::uint32_t DDOVER_HIDE = 0x00000200u;
inline constexpr std::uint32_t DDOVER_SHOW = 0x00004000u;

// The class context the library creates the object with: in-process server,
// in-process handler and local server.
inline constexpr std::uint32_t CLSCTX_DIRECTDRAW = 7u;

// The driver capabilities record: its size field, then fields the stand-in
// leaves zero. 380 bytes, as callers allocate and clear it.
struct DDCAPS {
  std::uint32_t dwSize;
  std::uint8_t fields[376];
};
static_assert(sizeof(DDCAPS) == 380);

class IDirectDraw7 {
 public:
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;
  // guid must be null (the default display).
  virtual HRESULT Initialize(const void* guid) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, std::uint32_t flags) = 0;
  // Returns at the start of the next vertical blank.
  virtual HRESULT WaitForVerticalBlank(std::uint32_t flags, Handle event) = 0;
  virtual HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) = 0;
  virtual HRESULT UpdateOverlay(const WinRect* srcRect, void* destSurface, const WinRect* destRect,
                                std::uint32_t flags, void* effects) = 0;

 protected:
  ~IDirectDraw7() = default;
};

// Returns at the start of the next vertical blank of the display, on the
// stand-in clock (the synchronised device present waits on it too).
void WaitForSimulatedVerticalBlank();

// The COM creation of the DirectDraw 7 class. S_OK and the object, or a
// failure code and null.
HRESULT CreateDirectDraw7Instance(std::uint32_t classContext, IDirectDraw7** object);

// Test hooks.
struct DirectDrawFaults {
  bool failCreate;
  bool failInitialize;
};
void SetDirectDrawFaultsForTest(const DirectDrawFaults& faults);
// Overlays available or not (not after start-up), and the placements
// UpdateOverlay accepted since the last call, oldest first.
struct OverlayUpdate {
  WinRect source;
  WinRect destination;  // screen coordinates
  std::uint32_t flags;
};
void SetDirectDrawOverlaysForTest(bool available);
std::vector<OverlayUpdate> TakeDirectDrawOverlayUpdatesForTest();
// Objects created and not yet released.
int GetLiveDirectDrawObjectCount();
// The cooperative level last set and the number of vertical blanks waited for.
std::uint32_t GetDirectDrawCooperativeFlags();
int GetVerticalBlankWaitCount();
// Vertical blanks `periodNanoseconds` apart (0: the display's refresh rate),
// every second one late by `jitterNanoseconds` (0: none; below the period).
void SetVerticalBlankTimingForTest(std::int64_t periodNanoseconds, std::int64_t jitterNanoseconds);

}  // namespace plat
