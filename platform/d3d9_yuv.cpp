// Video surfaces of the Direct3D 9 stand-in. Display hardware keeps YUV
// offscreen surfaces for movie players to fill and converts them to RGB only
// when StretchRect copies them onto a colour surface; the stand-in does the
// same with the integer BT.601 conversion that video renderers document.
#include "platform/d3d9_yuv.h"

#include <algorithm>

namespace plat::d3d9 {
namespace {

// Drivers pad rows; a wide pitch makes a writer that assumes width = pitch fail.
constexpr std::uint32_t kPitchAlignment = 128;
constexpr std::uint32_t kLargestSide = 8192;

std::uint32_t AlignPitch(std::uint32_t bytes) { return (bytes + kPitchAlignment - 1) / kPitchAlignment * kPitchAlignment; }

struct Sample {
  int y;
  int u;  // Cb
  int v;  // Cr
};

Sample ReadSample(const PixelStore& store, int x, int y) {
  const std::uint8_t* bytes = store.bytes.data();
  const std::size_t pitch = static_cast<std::size_t>(store.pitch);
  if (store.format == D3DFMT_YV12) {
    const std::size_t chromaPitch = pitch / 2;
    const std::uint8_t* vPlane = bytes + pitch * store.height;
    const std::uint8_t* uPlane = vPlane + chromaPitch * (store.height / 2);
    const std::size_t chroma = static_cast<std::size_t>(y / 2) * chromaPitch + static_cast<std::size_t>(x / 2);
    return {bytes[static_cast<std::size_t>(y) * pitch + static_cast<std::size_t>(x)], uPlane[chroma], vPlane[chroma]};
  }
  // A pair of pixels shares four bytes: YUY2 is Y0 U Y1 V, UYVY is U Y0 V Y1.
  const std::uint8_t* pair = bytes + static_cast<std::size_t>(y) * pitch + static_cast<std::size_t>(x / 2) * 4;
  const int odd = x & 1;
  if (store.format == D3DFMT_YUY2) return {pair[odd * 2], pair[1], pair[3]};
  return {pair[1 + odd * 2], pair[0], pair[2]};
}

std::uint32_t Clamp(int value) { return static_cast<std::uint32_t>(std::clamp(value, 0, 255)); }

std::uint32_t ToArgb(const Sample& sample) {
  const int c = 298 * (sample.y - 16) + 128;
  const int d = sample.u - 128;
  const int e = sample.v - 128;
  return 0xFF000000u | Clamp((c + 409 * e) >> 8) << 16 | Clamp((c - 100 * d - 208 * e) >> 8) << 8 |
         Clamp((c + 516 * d) >> 8);
}

}  // namespace

bool IsVideoFormat(D3DFORMAT format) {
  return format == D3DFMT_YV12 || format == D3DFMT_YUY2 || format == D3DFMT_UYVY;
}

bool IsVideoSurfaceSize(D3DFORMAT format, std::uint32_t width, std::uint32_t height) {
  return width % 2 == 0 && (format != D3DFMT_YV12 || height % 2 == 0);
}

SurfaceImpl* NewVideoSurface(D3DFORMAT format, std::uint32_t width, std::uint32_t height) {
  if (!IsVideoFormat(format) || !IsVideoSurfaceSize(format, width, height) || width == 0 || height == 0 ||
      width > kLargestSide || height > kLargestSide) {
    return nullptr;
  }
  auto store = std::make_unique<PixelStore>();
  store->format = format;
  store->width = width;
  store->height = height;
  const bool planar = format == D3DFMT_YV12;
  store->pitch = static_cast<int>(AlignPitch(planar ? width : width * 2));
  const std::size_t lumaBytes = static_cast<std::size_t>(store->pitch) * height;
  const std::size_t chromaBytes = planar ? static_cast<std::size_t>(store->pitch / 2) * (height / 2) * 2 : 0;
  store->slicePitch = static_cast<int>(lumaBytes + chromaBytes);
  store->bytes.assign(lumaBytes + chromaBytes, 0);
  return new SurfaceImpl(SurfaceKind::kOffscreenPlain, std::move(store), 0, D3DPOOL_DEFAULT, D3DMULTISAMPLE_NONE, 0,
                         true);
}

void StretchVideoRect(const PixelStore& from, const WinRect& fromArea, PixelStore& to, const WinRect& toArea) {
  const std::int64_t fromWidth = fromArea.right - fromArea.left;
  const std::int64_t fromHeight = fromArea.bottom - fromArea.top;
  const std::int32_t toWidth = toArea.right - toArea.left;
  const std::int32_t toHeight = toArea.bottom - toArea.top;
  const raster::Surface view = to.View();
  for (std::int32_t y = 0; y < toHeight; ++y) {
    const int sourceY = fromArea.top + static_cast<int>((2 * y + 1) * fromHeight / (2 * toHeight));
    for (std::int32_t x = 0; x < toWidth; ++x) {
      const int sourceX = fromArea.left + static_cast<int>((2 * x + 1) * fromWidth / (2 * toWidth));
      raster::WritePixel(view, toArea.left + x, toArea.top + y, ToArgb(ReadSample(from, sourceX, sourceY)));
    }
  }
}

}  // namespace plat::d3d9
