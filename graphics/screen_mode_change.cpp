// Screen-mode change and device rebuild. The device is never kept across a
// mode change or a lost full-screen focus: it is released and made again, and
// every device object is re-created from what the graph, font and state
// layers recorded. Records, handles and settings survive; only device objects
// are new.
#include "graphics/screen_mode_change.h"

#include "core/call_trace.h"
#include "core/clock.h"
#include "core/library.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/main_window.h"
#include "core/message_pump.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "font/default_font.h"
#include "font/font_handle.h"
#include "graphics/buffer_handles.h"
#include "graphics/device_state_cache.h"
#include "graphics/display_modes.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/light_device.h"
#include "graphics/mask_screen.h"
#include "graphics/pending_draw_state.h"
#include "graphics/mesh_objects.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_restore.h"
#include "graphics/graph_textures.h"
#include "graphics/graphics_start.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_present.h"
#include "graphics/screen_settings.h"
#include "graphics/soft_image.h"
#include "graphics/texture_draw_info.h"
#include "graphics/vertex_batch.h"
#include "input/input_devices.h"
#include "movie/movie_services.h"

namespace qz {
namespace {

DeviceLostRestoreHandler gHandler = nullptr;
DeviceRebuildCallback gRebuildCallback = nullptr;
void* gRebuildCallbackValue = nullptr;
int gRebuildOnModeChange = 0;

struct ScreenMode {
  int width;
  int height;
  int bits;
  int refresh;
  bool operator==(const ScreenMode&) const = default;
};

ScreenMode CurrentScreenMode() {
  ScreenMode mode{};
  GetScreenModeSize(&mode.width, &mode.height);
  mode.bits = GetScreenColorBitDepth();
  mode.refresh = GetScreenRefreshRate();
  return mode;
}

// The mode as drawing sees it: 320 by 240 under the emulation.
ScreenMode DrawnScreenMode() {
  ScreenMode mode = CurrentScreenMode();
  QueryDrawScreenSize(&mode.width, &mode.height, nullptr);
  return mode;
}

void StoreScreenMode(const ScreenMode& mode) {
  SetScreenModeSize(mode.width, mode.height);
  SetScreenColorBitDepth(mode.bits);
  SetScreenRefreshRate(mode.refresh);
}

bool GraphicsWasSkipped() { return GetWindowSystemState().settings.skipGraphics != 0; }

// A mode change by rebuild needs a mode the display offers in full screen,
// and a desktop large enough for the window in window mode.
bool RebuildCanTake(const ScreenMode& mode, bool fullScreen) {
  if (fullScreen) return CheckDisplayModeAvailable(mode.width, mode.height, mode.bits) == 1;
  int width = 0;
  int height = 0;
  GetDesktopScreenInfo(&width, &height, nullptr);
  return width >= mode.width && height >= mode.height;
}

// The mode-change restart: end graphics, store the mode, start again.
bool RestartGraphicsWith(const ScreenMode& mode) {
  if (GetGraphicsState().started != 0) TerminateGraphics();
  StoreScreenMode(mode);
  return StartGraphicsScreen() == 0;
}

// The default font's size and thickness survive the restart (its face is
// kept by the font defaults themselves).
struct KeptDefaultFont {
  bool valid;
  int size;
  int thickness;
};

// The camera matrices a device loss must not lose: selecting the draw target
// on the new device would otherwise put the target's camera in their place.
struct KeptMatrices {
  Matrix4x4 world, view, projection, userProjection, adjustment;
  std::int32_t cameraDerived;
};

KeptMatrices KeepMatrices() {
  const DrawSettingsBlock& settings = GetDrawSettings();
  return {GetDeviceStateCache().worldMatrix, settings.viewMatrix,       settings.projectionMatrix,
          settings.userProjection,          settings.projectionAdjustMatrix, settings.cameraDerivedMatrices};
}

void ReapplyMatrices(const KeptMatrices& kept) {
  DrawSettingsBlock& settings = GetDrawSettings();
  settings.viewMatrix = kept.view;
  settings.projectionMatrix = kept.projection;
  settings.userProjection = kept.userProjection;
  settings.projectionAdjustMatrix = kept.adjustment;
  settings.cameraDerivedMatrices = kept.cameraDerived;
  SetWorldMatrix(&kept.world);
  SetViewMatrixToDevice(&settings.viewMatrix);
  SendAdjustedProjectionToDevice(settings);
  MarkCameraMatricesStale();
  RebuildCameraMatrices();
}

KeptDefaultFont KeepDefaultFont() {
  KeptDefaultFont kept{};
  if (GetGraphicsState().started == 0) return kept;
  const int handle = QueryDefaultFontHandle();
  if (handle == -1 || IsFontHandleValid(handle) == 0) return kept;
  char face[256] = {};
  kept.valid = QueryFontFaceSizeThickness(face, &kept.size, &kept.thickness, handle) == 0;
  return kept;
}

// The software path after a rebuild: screen images of the screen's size and
// depth (made anew when the device had none or the mode changed them), the
// mask's work image again, and drawing pointed back at its target. When the
// device did not come back, graphs get software images filled from their
// sources as after a device loss, and fonts get memory caches.
void RestoreSoftwareScreens(bool wasOnDevice, bool modeChange) {
  GraphicsState& graphics = GetGraphicsState();
  const MEMIMG& back = graphics.screenImages[kBackScreenImage];
  const int bytes = graphics.colorBits == 16 ? 2 : 4;
  if (IsMemImgValid(&back) == 0 || back.width != graphics.screenWidth || back.height != graphics.screenHeight ||
      MemImgBytesPerPixel(&back) != bytes) {
    SetupPrimarySurfaceMemImg();
  }
  if (wasOnDevice) MoveGraphImagesToSoftware();
  RestoreMaskScreen();
  ReapplyClipRectangle();
  SelectDrawTarget(GetDrawTarget());
  if (!wasOnDevice) return;
  if (modeChange) {
    ReloadAllGraphsFromSources();
    RestoreBuiltinAndMaterialTextures();
    RecreateAllFonts();
  } else {
    CallDeviceLostRestoreHandler();
  }
}

}  // namespace

int SetScreenMode(int width, int height, int colorBits, int refreshRate) {
  if (width <= 0 || height <= 0 || (colorBits != 8 && colorBits != 16 && colorBits != 32)) return -1;
  const ScreenMode requested{width, height, colorBits, refreshRate};
  if (IsLibraryInitialised() == 0) {
    StoreScreenMode(requested);
    return 0;
  }
  const ScreenMode before = DrawnScreenMode();
  ApplyScreenModeChange(width, height, colorBits, 0, refreshRate);
  const ScreenMode after = DrawnScreenMode();
  if (after == requested) return 0;
  if (after == before) return -1;
  if (after == ScreenMode{640, 480, 16, 0}) return -2;
  return -1;
}

int ApplyScreenModeChange(int width, int height, int bits, int windowModeChange, int refresh) {
  RecordCall("ApplyScreenModeChange");
  FlushVertexBatch();
  const ScreenMode current = CurrentScreenMode();
  const bool fullScreen = IsFullScreenMode() != 0;
  const int wasEmulating = GetScreen320x240Emulation();
  // In full screen the size kept by -1 is the one drawing sees.
  const ScreenMode kept = fullScreen ? DrawnScreenMode() : current;
  ScreenMode requested{width != -1 ? width : kept.width, height != -1 ? height : kept.height,
                       bits != -1 ? bits : kept.bits, refresh != -1 ? refresh : kept.refresh};
  int emulate = wasEmulating;
  if (fullScreen) {
    emulate = requested.width == 320 && requested.height == 240 ? 1 : 0;
    if (emulate != 0) requested.width = 640, requested.height = 480;
  } else if (windowModeChange != 0 && wasEmulating != 0 && current.width == 640 && current.height == 480) {
    requested.width = 320;
    requested.height = 240;
  }
  if (requested == current && emulate == wasEmulating && windowModeChange == 0) return 0;

  AppendLogText(text::kModeChangeBegin);
  IncreaseLogIndent();
  const KeptDefaultFont keptFont = KeepDefaultFont();
  if (IsLibraryInitialising() == 0 && IsLibraryInitialised() == 0) {
    DecreaseLogIndent();
    return 0;
  }
  if (fullScreen && CheckDisplayModeAvailable(requested.width, requested.height, requested.bits) != 1) {
    DecreaseLogIndent();
    return 0;
  }
  // The software path's graphs are images of the screen's depth: a new depth needs the restart.
  const bool rebuild =
      gRebuildOnModeChange != 0 && (GetGraphicsState().hardware3DOn != 0 || requested.bits == current.bits);
  if (rebuild) {
    const bool possible = RebuildCanTake(requested, fullScreen);
    if (possible) {
      SetScreen320x240Emulation(emulate);
      RebuildGraphicsDevice(requested.width, requested.height, requested.bits, requested.refresh, 1);
      if (!fullScreen) ApplyWindowStyle();
    }
    DecreaseLogIndent();
    if (possible) AppendLogText(text::kModeChangeDone);
    return 0;
  }

  SetScreen320x240Emulation(emulate);
  if (!RestartGraphicsWith(requested)) {
    bool started = false;
    if (requested.width == 320 && requested.height == 240) {
      SetScreen320x240Emulation(1);
      started = RestartGraphicsWith(ScreenMode{640, 480, requested.bits, requested.refresh});
      if (!started) SetScreen320x240Emulation(0);
    }
    if (!started) {
      SetScreen320x240Emulation(wasEmulating);
      started = RestartGraphicsWith(current);
    }
    if (!started) {
      SetScreen320x240Emulation(0);
      started = RestartGraphicsWith(ScreenMode{640, 480, 16, 0});
    }
    if (!started) FatalErrorExit(text::kModeChangeImpossible);
  }
  if (!fullScreen) ApplyWindowStyle();
  if (keptFont.valid) SetDefaultFontSizeThickness(keptFont.size, keptFont.thickness);
  DecreaseLogIndent();
  AppendLogText(text::kModeChangeDone);
  PumpWindowMessages();
  return 0;
}

int ReleaseAllDeviceObjects() {
  const int endSlot = GetGraphEndSlot();
  for (int slot = 0; slot < endSlot; ++slot) {
    GraphRecord* record = GetGraphRecordAtSlot(slot);
    if (record != nullptr && record->image != nullptr) ReleaseTextureSet(record->image);
  }
  ReleaseAllBufferDeviceObjects();
  ReleaseMovieDeviceObjects();
  return 0;
}

int RebuildGraphicsDevice(int width, int height, int bits, int refresh, int modeChange) {
  RecordCall("RebuildGraphicsDevice");
  GraphicsState& graphics = GetGraphicsState();
  const bool wasOnDevice = graphics.hardware3DOn != 0;
  if (!GraphicsWasSkipped()) {
    // Also after the device was ended (hardware flag cleared): objects of the
    // old device must not survive into the new one.
    ReleaseMaskScreen();
    ReleaseAllDeviceObjects();
    ShutdownGraphicsDevice();
  }
  if (modeChange != 0) {
    const ScreenMode current = CurrentScreenMode();
    StoreScreenMode(ScreenMode{width != -1 ? width : current.width, height != -1 ? height : current.height,
                               bits != -1 ? bits : current.bits, refresh != -1 ? refresh : current.refresh});
  } else {
    TerminateInput();
    InitializeInput();
  }
  if (GraphicsWasSkipped()) return 0;
  if (InitGraphicsDevice() != 0) return -1;
  if (graphics.hardware3DOn == 0) {
    RestoreSoftwareScreens(wasOnDevice, modeChange != 0);
    return 0;
  }

  // What the stage records and the render-target record hold was sent to the
  // released device; the new one starts from its defaults, so nothing may be
  // skipped as already sent.
  ResetTextureStageRecords();
  GetPendingDrawState().renderTarget = graphics.backBuffer;
  RecreateAllGraphTextures();
  RestoreMaskScreen();
  const KeptMatrices matrices = KeepMatrices();
  ForceResendDeviceStates();
  ReapplyClipRectangle();
  // The new device draws into its back buffer until the target is set again.
  SelectDrawTarget(GetDrawTarget());
  for (int pass = 0; pass < 2; ++pass) {
    ClearDrawTarget(nullptr);
    PresentScreen();
  }
  if (modeChange != 0) {
    ReloadAllGraphsFromSources();
    RestoreBuiltinAndMaterialTextures();
    RecreateAllFonts();
  } else {
    CallDeviceLostRestoreHandler();
  }
  // Movie graphs have no source to reload: their movies hand the frame on view again.
  RestoreMovieDeviceObjects();
  if (gRebuildCallback != nullptr) gRebuildCallback(gRebuildCallbackValue);
  RefreshAllDeviceStates();
  RecreateAllMeshBuffers();
  if (modeChange == 0) ReapplyMatrices(matrices);
  return 0;
}

int RebuildGraphicsDeviceDefault() { return RebuildGraphicsDevice(-1, -1, -1, -1, 0); }

int IsGraphicsDeviceLost() {
  const GraphicsState& graphics = GetGraphicsState();
  if (graphics.hardware3DOn == 0 || graphics.device == nullptr) return 0;
  return plat::FAILED(graphics.device->TestCooperativeLevel()) ? 1 : 0;
}

int SetDeviceLostRestoreHandler(DeviceLostRestoreHandler handler) {
  gHandler = handler != nullptr ? handler : &ReloadAllGraphsFromSources;
  return 0;
}

int SetDeviceRebuildCallback(DeviceRebuildCallback callback, void* userValue) {
  gRebuildCallback = callback;
  gRebuildCallbackValue = userValue;
  return 0;
}

int SetRebuildOnModeChange(int flag) {
  gRebuildOnModeChange = flag != 0 ? 1 : 0;
  return 0;
}

int HasDeviceLostRestoreHandler() { return gHandler != nullptr ? 1 : 0; }

int CallDeviceLostRestoreHandler() {
  RecordCall("CallDeviceLostRestoreHandler");
  (gHandler != nullptr ? gHandler : &ReloadAllGraphsFromSources)();
  RestoreBuiltinAndMaterialTextures();
  RecreateAllFonts();
  return 0;
}

void ClearDeviceLostRestoreHandlerForTest() { gHandler = nullptr; }

// No operation of this system sets a paint-on-inactive image, so there is
// never one to show.
int ShowInactivePaintImage() {
  RecordCall("ShowInactivePaintImage");
  return GetEndingState() != 0 ? 0 : -1;
}

int EnsureScreenReady() {
  RecordCall("EnsureScreenReady");
  WindowSystemState& window = GetWindowSystemState();
  const WindowSettings& settings = window.settings;
  // Until the start has finished the window procedure has not yet seen its
  // first activation, so waiting for it then could never end.
  if (IsLibraryInitialised() == 0 || window.pumpBusy != 0 || (window.active != 0 && window.minimised == 0) ||
      settings.childMode != 0 || settings.noWindow != 0) {
    return 0;
  }
  if (settings.windowMode != 0 && settings.runInBackground != 0) return 0;
  window.idleStartTime = GetMillisecondCount() & 0x7FFFFFFF;
  window.idleSeen = 1;
  while (window.active == 0 || window.minimised != 0) {
    if (PumpWindowMessages() != 0) break;
  }
  return 0;
}

}  // namespace qz
