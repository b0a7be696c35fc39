// Mask screen on both render paths. The software path redirects the software
// draw target to a work MEMIMG; the device path redirects the render target to
// a work texture and copies back with an alpha-tested two-stage draw whose
// second stage reads the mask from the alpha of a dynamic texture (A8R8G8B8,
// else A4R4G4B4).
#include "graphics/mask_screen.h"

#include <algorithm>
#include <cstring>

#include "core/handle.h"
#include "core/library.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "graphics/device_release.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_record.h"
#include "graphics/graphics_state.h"
#include "graphics/matrix_settings.h"
#include "graphics/pending_draw_state.h"
#include "graphics/render_surfaces.h"
#include "graphics/screen_present.h"
#include "graphics/vertex_batch.h"
#include "softrender/pixel_write.h"

namespace qz {
namespace {

constexpr std::uint32_t kMaskDrawFvf = 0x144;  // XYZRHW | DIFFUSE | TEX1
constexpr int kMaskSlots = 512;

struct MaskRecord {
  std::int32_t check;
  std::uint8_t* pixels;
  std::int32_t width;
  std::int32_t height;
  std::int32_t reserved;
  std::int32_t valid;
  std::int32_t reserved2;
};

struct MaskScreen {
  std::uint8_t* buffer;  // one byte per screen pixel
  int pitch;
  int width;
  int height;
  MEMIMG workImage;
  bool workImageMade;
  plat::IDirect3DTexture9* maskTexture;
  plat::IDirect3DTexture9* workTexture;
  plat::IDirect3DSurface9* workSurface;
  plat::D3DFORMAT maskFormat;
  int textureWidth;
  int textureHeight;
  int nesting;
  plat::IDirect3DSurface9* bracketTarget;
};

MaskScreenFlags gFlags;
MaskScreen gMask{};
HandleTable<MaskRecord, kMaskSlots, kMaskHandle> gMasks;

struct MaskVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse;
  float u, v;
};

int NextPowerOfTwo(int value) {
  int power = 1;
  while (power < value) power <<= 1;
  return power;
}

bool OnDevice() { return OnHardwarePath(GetGraphicsState()); }

GraphRecord* TargetGraph() { return GetGraphRecord(GetDrawSettings().drawTarget); }

// Where drawing lands without the mask: the draw-target graph's surface or the screen's.
plat::IDirect3DSurface9* TargetSurface() {
  const GraphRecord* graph = TargetGraph();
  if (graph != nullptr && HasTextureTiles(graph)) return GraphRenderSurface(graph->image->tiles[0]);
  return ScreenRenderSurface(GetGraphicsState());
}

MEMIMG* TargetImage() {
  GraphicsState& state = GetGraphicsState();
  GraphRecord* graph = TargetGraph();
  return graph != nullptr ? &graph->softView : &state.screenImages[kBackScreenImage];
}

// The viewport from the clip rectangle, sent even when the cache holds it.
void ForceViewportFromClip() {
  const DrawSettingsBlock& settings = GetDrawSettings();
  GetDeviceStateCache().viewport = DeviceViewport{-1, -1, 0, 0, 0.0f, 0.0f};
  SetViewportFromRect(settings.clipLeft, settings.clipTop, settings.clipRight, settings.clipBottom);
}

// The rectangle clipped to the clip rectangle and to the screen (the mask and
// the work screen are screen-sized even when a larger graph is the target).
bool ClipBracket(int* left, int* top, int* right, int* bottom) {
  const DrawSettingsBlock& settings = GetDrawSettings();
  *left = std::max({*left, settings.clipLeft, 0});
  *top = std::max({*top, settings.clipTop, 0});
  *right = std::min({*right, settings.clipRight, gMask.width});
  *bottom = std::min({*bottom, settings.clipBottom, gMask.height});
  return *left < *right && *top < *bottom;
}

std::uint32_t MaskTexel(std::uint8_t value) {
  if (gMask.maskFormat == plat::D3DFMT_A8R8G8B8) return static_cast<std::uint32_t>(value) << 24;
  // Four bits of alpha: any non-zero mask value must stay non-zero.
  const std::uint32_t alpha = value == 0 ? 0u : std::max<std::uint32_t>(1u, value >> 4);
  return alpha << 12;
}

// The mask buffer's rectangle into the mask texture's alpha.
void UploadMaskRect(int left, int top, int right, int bottom) {
  if (gMask.maskTexture == nullptr) return;
  const plat::WinRect rect{left, top, right, bottom};
  plat::D3DLOCKED_RECT locked{};
  if (plat::FAILED(gMask.maskTexture->LockRect(0, &locked, &rect, 0))) return;
  const bool wide = gMask.maskFormat == plat::D3DFMT_A8R8G8B8;
  for (int y = top; y < bottom; ++y) {
    auto* row = static_cast<std::uint8_t*>(locked.pBits) + static_cast<std::ptrdiff_t>(y - top) * locked.Pitch;
    const std::uint8_t* mask = gMask.buffer + static_cast<std::ptrdiff_t>(y) * gMask.pitch;
    for (int x = left; x < right; ++x) {
      const std::uint32_t texel = MaskTexel(mask[x]);
      if (wide) {
        std::memcpy(row + static_cast<std::ptrdiff_t>(x - left) * 4, &texel, 4);
      } else {
        const auto narrow = static_cast<std::uint16_t>(texel);
        std::memcpy(row + static_cast<std::ptrdiff_t>(x - left) * 2, &narrow, 2);
      }
    }
  }
  gMask.maskTexture->UnlockRect(0);
}

plat::D3DFORMAT ChooseMaskFormat(const DeviceCapabilities& caps) {
  for (const int code : {kGraphFormatAlpha32Bit, kGraphFormatAlpha16Bit}) {
    const auto format = static_cast<plat::D3DFORMAT>(caps.textureFormats[code]);
    if (format == plat::D3DFMT_A8R8G8B8 || format == plat::D3DFMT_A4R4G4B4) return format;
  }
  return plat::D3DFMT_UNKNOWN;
}

void CreateDeviceWorkScreen(GraphicsState& state) {
  const auto colorFormat = static_cast<plat::D3DFORMAT>(state.caps.backBufferFormat);
  if (colorFormat == plat::D3DFMT_UNKNOWN) FatalErrorExit(text::kMaskNoColorFormat);
  gMask.maskFormat = ChooseMaskFormat(state.caps);
  if (gMask.maskFormat == plat::D3DFMT_UNKNOWN) FatalErrorExit(text::kMaskNoAlphaFormat);
  gMask.textureWidth = NextPowerOfTwo(gMask.width);
  gMask.textureHeight = NextPowerOfTwo(gMask.height);
  const auto width = static_cast<std::uint32_t>(gMask.textureWidth);
  const auto height = static_cast<std::uint32_t>(gMask.textureHeight);
  if (plat::FAILED(state.device->CreateTexture(width, height, 1, plat::D3DUSAGE_DYNAMIC, gMask.maskFormat,
                                               plat::D3DPOOL_DEFAULT, &gMask.maskTexture, nullptr))) {
    FatalErrorExit(text::kMaskTextureFailed);
  }
  if (plat::FAILED(state.device->CreateTexture(width, height, 1, plat::D3DUSAGE_RENDERTARGET, colorFormat,
                                               plat::D3DPOOL_DEFAULT, &gMask.workTexture, nullptr)) ||
      plat::FAILED(gMask.workTexture->GetSurfaceLevel(0, &gMask.workSurface))) {
    FatalErrorExit(text::kMaskScreenTextureFailed);
  }
  // Cleared (the whole texture), then the kept mask brought in.
  plat::D3DLOCKED_RECT locked{};
  if (plat::SUCCEEDED(gMask.maskTexture->LockRect(0, &locked, nullptr, 0))) {
    std::memset(locked.pBits, 0, static_cast<std::size_t>(locked.Pitch) * height);
    gMask.maskTexture->UnlockRect(0);
  }
  UploadMaskRect(0, 0, gMask.width, gMask.height);
}

// A zeroed buffer of the screen's size; after a mode change by rebuild it
// keeps the values of the part both sizes share.
void ResizeMaskBuffer(int width, int height) {
  const int pitch = (width + 3) & ~3;
  auto* buffer = static_cast<std::uint8_t*>(QZ_ALLOC_ZEROED(static_cast<std::size_t>(pitch) * height));
  if (buffer == nullptr) FatalErrorExit(text::kMaskMemImgFailed);
  if (gMask.buffer != nullptr) {
    const int rows = std::min(height, gMask.height);
    const auto columns = static_cast<std::size_t>(std::min(width, gMask.width));
    for (int y = 0; y < rows; ++y) {
      std::memcpy(buffer + static_cast<std::ptrdiff_t>(y) * pitch,
                  gMask.buffer + static_cast<std::ptrdiff_t>(y) * gMask.pitch, columns);
    }
    FreeTracked(gMask.buffer);
  }
  gMask.buffer = buffer;
  gMask.width = width;
  gMask.height = height;
  gMask.pitch = pitch;
}

void CreateSoftwareWorkScreen(GraphicsState& state) {
  if (gMask.workImageMade && IsMemImgValid(&gMask.workImage) != 0) return;
  const MEMIMG& screen = state.screenImages[kBackScreenImage];
  std::memset(&gMask.workImage, 0, sizeof(gMask.workImage));
  const int format = MemImgBytesPerPixel(&screen) == 2 ? kMemImgFormatRgb565 : kMemImgFormatXrgb32;
  if (InitMemImg(&gMask.workImage, gMask.width, gMask.height, format) != 0) FatalErrorExit(text::kMaskMemImgFailed);
  gMask.workImageMade = true;
}

void EndMaskedDrawOnDevice(int left, int top, int right, int bottom) {
  plat::IDirect3DDevice9* device = GetGraphicsState().device;
  SetDeviceRenderTarget(gMask.bracketTarget != nullptr ? gMask.bracketTarget : TargetSurface());
  DeviceStateCache& cache = GetDeviceStateCache();
  const int depthTest = cache.depthTest;
  ApplyDepthTestState(0);
  device->SetVertexShader(nullptr);
  device->SetPixelShader(nullptr);
  ForceViewportFromClip();
  DrawStageBlock block{};
  block.alphaTestEnable = 1;
  block.alphaRef = 0;
  block.alphaFunc = plat::D3DCMP_EQUAL;
  block.alphaBlendEnable = 0;
  block.srcBlend = kLeaveDeviceState;
  block.destBlend = kLeaveDeviceState;
  block.blendOp = kLeaveDeviceState;
  block.stageCount = 3;
  block.stages[0] = {reinterpret_cast<std::uintptr_t>(static_cast<plat::IDirect3DBaseTexture9*>(gMask.workTexture)),
                     0, 0, plat::D3DTA_TEXTURE, plat::D3DTA_CURRENT, plat::D3DTOP_SELECTARG1,
                     plat::D3DTA_TEXTURE, plat::D3DTA_CURRENT, plat::D3DTOP_SELECTARG1};
  // Both textures share their size, so the one coordinate set serves both.
  block.stages[1] = {reinterpret_cast<std::uintptr_t>(static_cast<plat::IDirect3DBaseTexture9*>(gMask.maskTexture)),
                     0, 0, plat::D3DTA_TEXTURE, plat::D3DTA_CURRENT, plat::D3DTOP_SELECTARG1,
                     plat::D3DTA_CURRENT, plat::D3DTA_TEXTURE, plat::D3DTOP_SELECTARG1};
  block.stages[2] = {0, 2, 0, plat::D3DTA_TEXTURE, plat::D3DTA_CURRENT, plat::D3DTOP_DISABLE,
                     plat::D3DTA_TEXTURE, plat::D3DTA_CURRENT, plat::D3DTOP_DISABLE};
  PendingDrawState& pending = GetPendingDrawState();
  pending.userBlock = block;
  pending.userBlockOn = 1;
  pending.userBlockTexturesOnly = 0;
  SetDrawTextureDirect(0, &block, 0);
  const float width = static_cast<float>(gMask.textureWidth);
  const float height = static_cast<float>(gMask.textureHeight);
  const auto corner = [&](int x, int y) {
    return MaskVertex{static_cast<float>(x) - 0.5f, static_cast<float>(y) - 0.5f, 0.0f, 1.0f, 0xFFFFFFFFu,
                      static_cast<float>(x) / width, static_cast<float>(y) / height};
  };
  const MaskVertex strip[4] = {corner(left, top), corner(right, top), corner(left, bottom), corner(right, bottom)};
  // Opened last: the viewport change before it closes an open scene.
  BeginDeviceScene();
  device->SetFVF(kMaskDrawFvf);
  GetVertexBatch().lastFvf = 0;  // the batch sends its own format again
  device->DrawPrimitiveUP(plat::D3DPT_TRIANGLESTRIP, 2, strip, sizeof(MaskVertex));
  EndDeviceScene();
  BeginDeviceScene();
  pending.userBlockOn = 0;
  cache.pending.textureDirty = 1;
  cache.pending.blendDirty = 1;
  ApplyDepthTestState(depthTest);
  SetDeviceRenderTarget(gMask.workSurface);
  ForceViewportFromClip();
}

void EndMaskedDrawInSoftware(int left, int top, int right, int bottom) {
  MEMIMG* target = TargetImage();
  const int bytes = MemImgBytesPerPixel(target);
  const int targetPitch = target->block->pitch;
  const int workPitch = gMask.workImage.block->pitch;
  for (int y = top; y < bottom && y < target->height; ++y) {
    const std::uint8_t* mask = gMask.buffer + static_cast<std::ptrdiff_t>(y) * gMask.pitch;
    std::uint8_t* to = target->pixels + static_cast<std::ptrdiff_t>(y) * targetPitch;
    const std::uint8_t* from = gMask.workImage.pixels + static_cast<std::ptrdiff_t>(y) * workPitch;
    for (int x = left; x < right && x < target->width; ++x) {
      if (mask[x] == 0) std::memcpy(to + x * bytes, from + x * bytes, static_cast<std::size_t>(bytes));
    }
  }
}

}  // namespace

MaskScreenFlags& GetMaskScreenFlags() { return gFlags; }

int CreateMaskScreen(int make) {
  if (make == 0) return 0;
  GraphicsState& state = GetGraphicsState();
  if (gMask.buffer == nullptr || gMask.width != state.screenWidth || gMask.height != state.screenHeight) {
    ResizeMaskBuffer(state.screenWidth, state.screenHeight);
  }
  if (OnDevice()) {
    if (gMask.workTexture == nullptr) CreateDeviceWorkScreen(state);
  } else {
    CreateSoftwareWorkScreen(state);
  }
  return 0;
}

int ReleaseMaskScreen() {
  if (gMask.workImageMade) ReleaseMemImg(&gMask.workImage);
  gMask.workImageMade = false;
  ReleaseAndClear(&gMask.maskTexture);
  ReleaseAndClear(&gMask.workSurface);
  ReleaseAndClear(&gMask.workTexture);
  gMask.bracketTarget = nullptr;
  return 0;
}

int RestoreMaskScreen() {
  CreateMaskScreen(gFlags.made);
  if (gFlags.useRequested != 0) SetMaskScreenInUse(1);
  return 0;
}

int TerminateMaskScreen() {
  if (gFlags.useRequested != 0 && gMask.buffer != nullptr) SetMaskScreenInUse(0);
  ReleaseMaskScreen();
  FreeTracked(gMask.buffer);
  gMask.buffer = nullptr;
  gMask.nesting = 0;
  gFlags.made = 0;
  gFlags.active = 0;
  return 0;
}

int IsMaskScreenInUse() { return gFlags.useRequested; }

int SetMaskScreenInUse(int flag) {
  if (gMask.buffer == nullptr) return -1;
  gFlags.useRequested = flag;
  gFlags.active = flag != 0 && gFlags.made != 0 ? 1 : 0;
  GraphicsState& state = GetGraphicsState();
  if (OnDevice()) {
    FlushVertexBatch();
    SetDeviceRenderTarget(gFlags.active != 0 ? gMask.workSurface : TargetSurface());
    ForceViewportFromClip();
  } else if (state.started != 0) {
    state.softwareDrawTarget = gFlags.active != 0 ? &gMask.workImage : TargetImage();
  }
  return 0;
}

void FollowDrawTargetWithMask() {
  if (gFlags.active != 0) SetMaskScreenInUse(1);
}

void LiftMaskForClear(int lift) {
  if (gFlags.active == 0) return;
  if (OnDevice()) {
    SetDeviceRenderTarget(lift != 0 ? TargetSurface() : gMask.workSurface);
  } else {
    GetGraphicsState().softwareDrawTarget = lift != 0 ? TargetImage() : &gMask.workImage;
  }
}

int BeginMaskedDraw(int left, int top, int right, int bottom) {
  if (++gMask.nesting != 1) return 0;
  if (gFlags.active == 0 || !ClipBracket(&left, &top, &right, &bottom)) return 0;
  if (OnDevice()) {
    FlushVertexBatch();
    gMask.bracketTarget = TargetSurface();
    const plat::WinRect rect{left, top, right, bottom};
    GetGraphicsState().device->StretchRect(gMask.bracketTarget, &rect, gMask.workSurface, &rect, plat::D3DTEXF_NONE);
  } else {
    const Rect rect{left, top, right, bottom};
    DrawMemImgSimple(&gMask.workImage, TargetImage(), &rect, left, top);
  }
  return 0;
}

int EndMaskedDraw(int left, int top, int right, int bottom) {
  // An End without its Begin has nothing to apply: the work screen holds no
  // copy of the target, so applying it would write stale pixels.
  if (gMask.nesting == 0) return 0;
  if (--gMask.nesting != 0) return 0;
  if (gFlags.active == 0 || !ClipBracket(&left, &top, &right, &bottom)) return 0;
  if (OnDevice()) {
    FlushVertexBatch();
    EndMaskedDrawOnDevice(left, top, right, bottom);
  } else {
    EndMaskedDrawInSoftware(left, top, right, bottom);
  }
  return 0;
}

int MakeMaskScreen() {
  if (GetGraphicsState().started == 0) return -1;
  gFlags.made = 1;
  CreateMaskScreen(1);
  return SetMaskScreenInUse(gFlags.useRequested);
}

int FillMaskScreenRect(int left, int top, int right, int bottom, int value) {
  if (gMask.buffer == nullptr) return -1;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, gMask.width);
  bottom = std::min(bottom, gMask.height);
  if (left >= right || top >= bottom) return 0;
  for (int y = top; y < bottom; ++y) {
    std::memset(gMask.buffer + static_cast<std::ptrdiff_t>(y) * gMask.pitch + left, value & 0xFF,
                static_cast<std::size_t>(right - left));
  }
  UploadMaskRect(left, top, right, bottom);
  return 0;
}

int GetMaskScreenValue(int x, int y) {
  if (gMask.buffer == nullptr || x < 0 || y < 0 || x >= gMask.width || y >= gMask.height) return -1;
  return gMask.buffer[static_cast<std::ptrdiff_t>(y) * gMask.pitch + x];
}

int MakeMaskHandle(int width, int height) {
  if (width <= 0 || height <= 0) return -1;
  const int handle = gMasks.Create(HandleTablePolicy{text::kHandleRecordAllocFailed, false});
  if (handle == -1) return -1;
  MaskRecord* record = gMasks.Get(handle);
  record->pixels = static_cast<std::uint8_t*>(QZ_ALLOC_ZEROED(static_cast<std::size_t>(width) * height));
  record->width = width;
  record->height = height;
  record->valid = 1;
  if (record->pixels == nullptr) {
    ReleaseMaskHandle(handle);
    return -1;
  }
  return handle;
}

int ReleaseMaskHandle(int handle) {
  MaskRecord* record = gMasks.Get(handle);
  if (record == nullptr || record->valid == 0) return -1;
  FreeTracked(record->pixels);
  gMasks.Delete(handle);
  gMasks.LowerHighWaterMark();
  return 0;
}

int ReleaseAllMasks() {
  for (int slot = 0; slot < gMasks.HighWaterMark(); ++slot) {
    const int handle = gMasks.HandleAt(slot);
    if (handle != -1) ReleaseMaskHandle(handle);
  }
  return 0;
}

}  // namespace qz
