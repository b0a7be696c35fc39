// Draw target selection and clearing on both paths. Selecting a target also
// points the 3D camera straight at it.
#include "graphics/draw_target.h"

#include "core/call_trace.h"
#include "core/matrix.h"
#include "core/window_state.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/mask_screen.h"
#include "graphics/graphics_state.h"
#include "graphics/pending_draw_state.h"
#include "graphics/render_surfaces.h"
#include "graphics/screen_mode_change.h"
#include "graphics/screen_present.h"
#include "graphics/vertex_batch.h"

namespace qz {
namespace {

// The tangent of 30 degrees: the camera sees the target's height at a 60
// degree field of view.
constexpr float kTanHalfFieldOfView = 0.57735026f;
constexpr float kFieldOfView = 1.0471976f;
constexpr float kNearClipFactor = 0.1f;
constexpr float kFarClipBeyondTarget = 20000.0f;

struct DrawTargetState {
  int width;
  int height;
  bool hasDepth;  // a depth surface was set with the render target
};

DrawTargetState gTarget{};

bool IsScreenTarget(int target) { return target <= -2 && target >= -5; }

const GraphTextureTile* FirstTile(const GraphRecord* graph) {
  if (graph == nullptr || graph->image == nullptr || graph->image->tileCount <= 0) return nullptr;
  return graph->image->tiles;
}

bool FitsDepthBuffer(const GraphicsState& state, const GraphRecord* graph) {
  if (state.depthBuffer == nullptr) return false;
  plat::D3DSURFACE_DESC desc{};
  if (state.depthBuffer->GetDesc(&desc) != plat::D3D_OK) return false;
  return graph->width <= static_cast<int>(desc.Width) && graph->height <= static_cast<int>(desc.Height);
}

// Leaving a multisampled graph: its samples are resolved into its texture.
void ResolvePreviousTarget(GraphicsState& state, int previous) {
  const GraphTextureTile* tile = IsValidGraphHandle(previous) != 0 ? FirstTile(GetGraphRecord(previous)) : nullptr;
  if (tile == nullptr || tile->multiSampleSurface == nullptr) return;
  state.device->StretchRect(tile->multiSampleSurface, nullptr, tile->surface, nullptr, plat::D3DTEXF_NONE);
}

void PointDeviceAtTarget(GraphicsState& state, const GraphRecord* graph) {
  plat::IDirect3DSurface9* renderTarget = nullptr;
  plat::IDirect3DSurface9* depth = nullptr;
  if (const GraphTextureTile* tile = FirstTile(graph); tile != nullptr) {
    renderTarget = GraphRenderSurface(*tile);
    depth = tile->depthSurface != nullptr ? tile->depthSurface
            : FitsDepthBuffer(state, graph) ? state.depthBuffer
                                            : nullptr;
  } else {
    renderTarget = ScreenRenderSurface(state);
    depth = state.depthBuffer;
  }
  EndDeviceScene();
  SetDeviceRenderTarget(renderTarget);
  state.device->SetDepthStencilSurface(depth);
  gTarget.hasDepth = depth != nullptr;
}

// World identity, the viewport matrix of the target and its inverse, and a
// perspective camera at the distance where the target fills the view.
void ResetCameraForTarget(bool onDevice) {
  DrawSettingsBlock& settings = GetDrawSettings();
  const float width = static_cast<float>(gTarget.width);
  const float height = static_cast<float>(gTarget.height);
  const float centreX = width * 0.5f;
  const float centreY = height * 0.5f;
  Matrix4x4 identity{};
  MakeIdentityMatrix(&identity);
  MakeViewportMatrix(&settings.viewportMatrix, centreX, centreY, width, height);
  InvertMatrix4(&settings.inverseViewportMatrix, &settings.viewportMatrix);
  const float distance = static_cast<float>(gTarget.height / 2) / kTanHalfFieldOfView;
  const Vector3 eye{centreX, centreY, -distance};
  const Vector3 lookAt{centreX, centreY, -distance + 1.0f};
  const Vector3 up{0.0f, 1.0f, 0.0f};
  MakeLookAtMatrix(&settings.viewMatrix, &eye, &lookAt, &up);
  settings.projectionMode = 0;
  settings.fieldOfView = kFieldOfView;
  settings.nearClip = distance * kNearClipFactor;
  settings.farClip = distance + kFarClipBeyondTarget;
  MakePerspectiveMatrix(&settings.projectionMatrix, settings.fieldOfView, settings.nearClip, settings.farClip,
                        width > 0.0f ? height / width * settings.aspectFactor : 0.0f);
  settings.cameraDerivedMatrices = 1;
  if (!onDevice) return;
  SetWorldMatrix(&identity);
  SetViewMatrixToDevice(&settings.viewMatrix);
  SendAdjustedProjectionToDevice(settings);
  settings.viewApplied = 1;
}

}  // namespace

int SelectDrawTarget(int target) {
  RecordCall("SelectDrawTarget");
  GraphicsState& state = GetGraphicsState();
  if (state.started == 0) return -1;
  EnsureScreenReady();
  GraphRecord* graph = nullptr;
  if (IsValidGraphHandle(target) != 0) {
    graph = GetGraphRecord(target);
    if (graph->image == nullptr || graph->image->request.drawable == 0) return -1;
  } else if (!IsScreenTarget(target)) {
    return -1;
  }
  DrawSettingsBlock& settings = GetDrawSettings();
  const bool onDevice = OnHardwarePath(state);
  if (onDevice) {
    DeviceStateCache& cache = GetDeviceStateCache();
    if (cache.pending.textureDirty != 0 || cache.pending.blendDirty != 0 || cache.forceResend != 0) {
      FlushVertexBatch();
      cache.pending.textureDirty = 1;
      cache.pending.blendDirty = 1;
    }
    ResolvePreviousTarget(state, settings.drawTarget);
    PointDeviceAtTarget(state, graph);
  } else {
    state.softwareDrawTarget = graph != nullptr ? &graph->softView : &state.screenImages[kBackScreenImage];
  }
  settings.drawTarget = target;
  FollowDrawTargetWithMask();
  if (target == kFrontScreen) StartScreenRefreshTimer();

  const int previousWidth = gTarget.width;
  const int previousHeight = gTarget.height;
  if (graph != nullptr) {
    gTarget.width = graph->width;
    gTarget.height = graph->height;
  } else if (target == kBackScreen || target == kFrontScreen) {
    gTarget.width = state.screenWidth;
    gTarget.height = state.screenHeight;
  }
  if (gTarget.width == previousWidth && gTarget.height == previousHeight) {
    SetClipRectangle(settings.clipLeft, settings.clipTop, settings.clipRight, settings.clipBottom);
  } else {
    SetClipRectangle(0, 0, gTarget.width, gTarget.height);
  }
  ResetCameraForTarget(onDevice);
  return 0;
}

int GetDrawTarget() { return GetDrawSettings().drawTarget; }
int GetDrawTargetWidth() { return gTarget.width; }
int GetDrawTargetHeight() { return gTarget.height; }

int ClearDrawTarget(const plat::WinRect* rect) {
  if (rect != nullptr && (rect->left < 0 || rect->top < 0)) rect = nullptr;
  GraphicsState& state = GetGraphicsState();
  const WindowSettings& window = GetWindowSystemState().settings;
  if (!OnHardwarePath(state)) {
    LiftMaskForClear(1);
    MEMIMG* image = state.softwareDrawTarget;
    if (image != nullptr && IsMemImgValid(image) != 0) {
      const Rect area = rect != nullptr ? Rect{rect->left, rect->top, rect->right, rect->bottom} : Rect{};
      FillMemImgArea(image, rect != nullptr ? &area : nullptr,
                     PackColorByDescriptor(image->block->colorDesc, window.backgroundRed, window.backgroundGreen,
                                           window.backgroundBlue, 0));
    }
    LiftMaskForClear(0);
    return 0;
  }
  if (state.device->TestCooperativeLevel() != plat::D3D_OK) return 0;
  FlushVertexBatch();
  EndDeviceScene();
  LiftMaskForClear(1);
  const DeviceViewport whole{0, 0, gTarget.width, gTarget.height, 0.0f, 1.0f};
  SetDeviceViewport(&whole);
  const plat::D3DRECT area = rect != nullptr ? plat::D3DRECT{rect->left, rect->top, rect->right, rect->bottom}
                                             : plat::D3DRECT{};
  const std::uint32_t flags = plat::D3DCLEAR_TARGET | (gTarget.hasDepth ? plat::D3DCLEAR_ZBUFFER : 0u);
  state.device->Clear(rect != nullptr ? 1 : 0, rect != nullptr ? &area : nullptr, flags,
                      plat::D3DCOLOR_ARGB(0, window.backgroundRed, window.backgroundGreen, window.backgroundBlue),
                      1.0f, 0);
  LiftMaskForClear(0);
  const DrawSettingsBlock& settings = GetDrawSettings();
  SetViewportFromRect(settings.clipLeft, settings.clipTop, settings.clipRight, settings.clipBottom);
  return 0;
}

}  // namespace qz
