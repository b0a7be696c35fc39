// The video surface of a Theora movie: an offscreen plain surface of the
// graphics device in YV12, YUY2 or UYVY, into which the decoded planes are
// rearranged so that the device converts the colours when it stretches the
// surface onto the movie graph's texture. A movie gets one only in a format
// that holds its chroma samples as they are: 4:2:0 in any of the three,
// 4:2:2 in the packed two; 4:4:4 movies go through the RGB frame image.
#include <algorithm>
#include <cstring>
#include <span>

#include "graphics/graphics_state.h"
#include "movie/theora_movie.h"

namespace qz {
namespace {

constexpr plat::D3DFORMAT kQuarterChromaFormats[] = {plat::D3DFMT_YV12, plat::D3DFMT_YUY2, plat::D3DFMT_UYVY};
constexpr plat::D3DFORMAT kHalfChromaFormats[] = {plat::D3DFMT_YUY2, plat::D3DFMT_UYVY};
constexpr int kLockAttempts = 3;

// The surface formats that hold the movie's chroma layout, best first.
std::span<const plat::D3DFORMAT> FormatsHolding(theora_pixelformat layout) {
  if (layout == OC_PF_420) return kQuarterChromaFormats;
  if (layout == OC_PF_422) return kHalfChromaFormats;
  return {};
}

// Whether the slot's planes have the layout the surface format was chosen for.
bool FitsSurface(const FrameStockSlot& slot, plat::D3DFORMAT format) {
  const bool halfWidth = slot.yWidth == 2 * slot.uvWidth;
  if (format == plat::D3DFMT_YV12) return halfWidth && slot.yHeight == 2 * slot.uvHeight;
  return halfWidth && (slot.yHeight == slot.uvHeight || slot.yHeight == 2 * slot.uvHeight);
}

// The frame's size inside the surface (they are equal unless the device
// changed sizes under the movie).
struct PlaneSize {
  int width;
  int height;
};

void WriteYv12(const FrameStockSlot& slot, PlaneSize size, std::uint8_t* bits, int pitch) {
  for (int row = 0; row < size.height; ++row) {
    std::memcpy(bits + static_cast<std::ptrdiff_t>(row) * pitch, slot.y + static_cast<std::ptrdiff_t>(row) * slot.yStride,
                static_cast<std::size_t>(size.width));
  }
  // V before U, each plane's rows half a pitch apart.
  const int chromaPitch = pitch / 2;
  const int chromaRows = size.height / 2;
  std::uint8_t* vPlane = bits + static_cast<std::ptrdiff_t>(size.height) * pitch;
  std::uint8_t* uPlane = vPlane + static_cast<std::ptrdiff_t>(chromaRows) * chromaPitch;
  for (int row = 0; row < chromaRows; ++row) {
    const std::ptrdiff_t from = static_cast<std::ptrdiff_t>(row) * slot.uvStride;
    const std::ptrdiff_t to = static_cast<std::ptrdiff_t>(row) * chromaPitch;
    std::memcpy(vPlane + to, slot.v + from, static_cast<std::size_t>(size.width / 2));
    std::memcpy(uPlane + to, slot.u + from, static_cast<std::size_t>(size.width / 2));
  }
}

// Packed pairs: `lumaAt` is where the first luma byte sits in a group of
// four (0 for YUY2: Y U Y V; 1 for UYVY: U Y V Y). A 4:2:0 frame gives each
// chroma row to two rows of pairs, a 4:2:2 frame its own to each.
void WritePacked(const FrameStockSlot& slot, PlaneSize size, std::uint8_t* bits, int pitch, int lumaAt) {
  const int chromaAt = 1 - lumaAt;
  const int chromaRowShift = slot.yHeight == slot.uvHeight ? 0 : 1;
  for (int row = 0; row < size.height; ++row) {
    const std::uint8_t* y = slot.y + static_cast<std::ptrdiff_t>(row) * slot.yStride;
    const std::uint8_t* u = slot.u + static_cast<std::ptrdiff_t>(row >> chromaRowShift) * slot.uvStride;
    const std::uint8_t* v = slot.v + static_cast<std::ptrdiff_t>(row >> chromaRowShift) * slot.uvStride;
    std::uint8_t* out = bits + static_cast<std::ptrdiff_t>(row) * pitch;
    for (int pair = 0; pair < size.width / 2; ++pair, out += 4) {
      out[lumaAt] = y[2 * pair];
      out[lumaAt + 2] = y[2 * pair + 1];
      out[chromaAt] = u[pair];
      out[chromaAt + 2] = v[pair];
    }
  }
}

}  // namespace

void ReleaseTheoraYuvSurface(TheoraMovieContext* context) {
  if (context->yuvSurface != nullptr) context->yuvSurface->Release();
  context->yuvSurface = nullptr;
}

void CreateTheoraYuvSurface(TheoraMovieContext* context) {
  ReleaseTheoraYuvSurface(context);
  context->yuvFourCC = 0;
  const GraphicsState& graphics = GetGraphicsState();
  if (graphics.hardware3DOn == 0 || graphics.device == nullptr) return;
  for (const plat::D3DFORMAT format : FormatsHolding(context->info.pixelformat)) {
    if (graphics.device->CreateOffscreenPlainSurface(context->info.width, context->info.height, format,
                                                     plat::D3DPOOL_DEFAULT, &context->yuvSurface,
                                                     nullptr) == plat::D3D_OK) {
      context->yuvFourCC = format;
      return;
    }
    context->yuvSurface = nullptr;
  }
}

bool WriteTheoraYuvSurface(TheoraMovieContext* context, const FrameStockSlot& slot) {
  plat::D3DLOCKED_RECT locked{};
  bool isLocked = false;
  for (int attempt = 0; attempt < kLockAttempts && !isLocked; ++attempt) {
    isLocked = context->yuvSurface != nullptr && context->yuvSurface->LockRect(&locked, nullptr, 0) == plat::D3D_OK;
    // A surface of a device that was reset or rebuilt is made again.
    if (!isLocked) CreateTheoraYuvSurface(context);
  }
  if (!isLocked) return false;
  const auto format = static_cast<plat::D3DFORMAT>(context->yuvFourCC);
  // A frame the surface cannot hold is not counted as written.
  if (!FitsSurface(slot, format)) {
    context->yuvSurface->UnlockRect();
    return false;
  }
  plat::D3DSURFACE_DESC desc{};
  context->yuvSurface->GetDesc(&desc);
  const PlaneSize size{std::min(slot.yWidth, static_cast<int>(desc.Width)) & ~1,
                       std::min(slot.yHeight, static_cast<int>(desc.Height)) & ~1};
  auto* bits = static_cast<std::uint8_t*>(locked.pBits);
  if (format == plat::D3DFMT_YV12) {
    WriteYv12(slot, size, bits, locked.Pitch);
  } else {
    WritePacked(slot, size, bits, locked.Pitch, format == plat::D3DFMT_UYVY ? 1 : 0);
  }
  context->yuvSurface->UnlockRect();
  context->surfaceConverted.store(1, std::memory_order_relaxed);
  return true;
}

plat::IDirect3DSurface9* GetTheoraYuvSurface(TheoraMovieContext* context) { return context->yuvSurface; }

}  // namespace qz
