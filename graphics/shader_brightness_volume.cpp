// The brightness volume texture of the shader path: a colour looks itself up
// in it (red, green, blue as the three coordinates) and reads the same hue
// and saturation at full value. Filled through a system-memory volume, since
// a default-pool volume cannot be locked.
#include <algorithm>

#include "core/log.h"
#include "core/log_text.h"
#include "graphics/device_release.h"
#include "graphics/device_state_internal.h"
#include "graphics/shader_objects.h"

namespace qz {
namespace {

constexpr std::uint32_t kVolumeSide = 128;
// Texels whose three coordinates are all below this are near black: white.
constexpr std::uint32_t kDarkLimit = 8;

plat::IDirect3DVolumeTexture9* gBrightnessVolume = nullptr;

plat::IDirect3DVolumeTexture9* CreateVolume(plat::IDirect3DDevice9* device, plat::D3DPOOL pool) {
  plat::IDirect3DVolumeTexture9* volume = nullptr;
  if (plat::FAILED(device->CreateVolumeTexture(kVolumeSide, kVolumeSide, kVolumeSide, 1, 0, plat::D3DFMT_X8R8G8B8,
                                               pool, &volume, nullptr))) {
    return nullptr;
  }
  return volume;
}

void FillVolume(const plat::D3DLOCKED_BOX& box) {
  auto* bytes = static_cast<std::uint8_t*>(box.pBits);
  for (std::uint32_t z = 0; z < kVolumeSide; ++z) {
    for (std::uint32_t y = 0; y < kVolumeSide; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(bytes + z * box.SlicePitch + y * box.RowPitch);
      for (std::uint32_t x = 0; x < kVolumeSide; ++x) {
        int red = 255;
        int green = 255;
        int blue = 255;
        if (x >= kDarkLimit || y >= kDarkLimit || z >= kDarkLimit) {
          MaximizeColorBrightness(static_cast<int>(2 * x), static_cast<int>(2 * y), static_cast<int>(2 * z), &red,
                                  &green, &blue);
        }
        row[x] = 0xFF000000u | (static_cast<std::uint32_t>(red) << 16) | (static_cast<std::uint32_t>(green) << 8) |
                 static_cast<std::uint32_t>(blue);
      }
    }
  }
}

}  // namespace

int CreateBrightnessVolumeTexture() {
  plat::IDirect3DDevice9* device = CurrentDevice();
  if (device == nullptr) return -1;
  ReleaseBrightnessVolumeTexture();
  plat::IDirect3DVolumeTexture9* volume = CreateVolume(device, plat::D3DPOOL_DEFAULT);
  if (volume == nullptr) return AppendLogText(text::kBrightnessVolumeFailed);
  plat::IDirect3DVolumeTexture9* source = CreateVolume(device, plat::D3DPOOL_SYSTEMMEM);
  plat::D3DLOCKED_BOX box{};
  int result = 0;
  if (source == nullptr) {
    result = AppendLogText(text::kBrightnessSourceVolumeFailed);
  } else if (plat::FAILED(source->LockBox(0, &box, nullptr, 0))) {
    result = AppendLogText(text::kBrightnessSourceLockFailed);
  } else {
    FillVolume(box);
    source->UnlockBox(0);
    if (plat::FAILED(device->UpdateTexture(source, volume))) result = -1;
  }
  ReleaseAndClear(&source);
  if (result != 0) {
    ReleaseAndClear(&volume);
    return -1;
  }
  gBrightnessVolume = volume;
  return 0;
}

void ReleaseBrightnessVolumeTexture() { ReleaseAndClear(&gBrightnessVolume); }

plat::IDirect3DVolumeTexture9* GetBrightnessVolumeTexture() { return gBrightnessVolume; }

void MaximizeColorBrightness(int red, int green, int blue, int* outRed, int* outGreen, int* outBlue) {
  int channels[3] = {std::clamp(red, 0, 255), std::clamp(green, 0, 255), std::clamp(blue, 0, 255)};
  if (channels[0] == channels[1] && channels[1] == channels[2]) {
    // Black and greys have no hue: white.
    *outRed = *outGreen = *outBlue = 255;
    return;
  }
  int order[3] = {0, 1, 2};  // channel indexes, largest first
  std::stable_sort(order, order + 3, [&](int a, int b) { return channels[a] > channels[b]; });
  const int max = channels[order[0]];
  const int mid = channels[order[1]];
  const int min = channels[order[2]];
  const int saturation = (max - min) * 255 / max;
  const int hue = (mid - min) * 255 / (max - min);
  int result[3];
  result[order[0]] = 255;
  result[order[1]] = 255 - ((255 - hue) * saturation) / 255;
  result[order[2]] = 255 - saturation;
  *outRed = result[0];
  *outGreen = result[1];
  *outBlue = result[2];
}

}  // namespace qz
