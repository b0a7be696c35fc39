// The layered main window: the screen image is copied into a 32-bit DIB
// section, the transparent colour becoming alpha 0, and shown through
// UpdateLayeredWindow, which is looked up by name at window creation.
#include <cstring>

#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/draw_settings_block.h"
#include "image/base_image.h"
#include "image/pixel_convert.h"
#include "platform/module.h"

namespace qz {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;

// A section of the image's size, kept while the size stays.
bool EnsureSection(WindowSystemState& state, int width, int height) {
  if (state.layeredSection != nullptr && state.layeredWidth == width && state.layeredHeight == height) return true;
  ReleaseLayeredWindowSection();
  plat::BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(plat::BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = plat::BI_RGB;
  void* bits = nullptr;
  state.layeredSection = plat::CreateDIBSection(nullptr, &info, plat::DIB_RGB_COLORS, &bits, nullptr, 0);
  if (state.layeredSection == nullptr) return false;
  state.layeredBits = static_cast<std::uint32_t*>(bits);
  state.layeredWidth = width;
  state.layeredHeight = height;
  return true;
}

}  // namespace

void LookUpLayeredWindowEntry() {
  WindowSystemState& state = GetWindowSystemState();
  state.updateLayeredWindow = nullptr;
  plat::ModuleHandle user32 = plat::LoadLibraryA("user32");
  if (user32 == nullptr) return;
  state.updateLayeredWindow =
      reinterpret_cast<plat::UpdateLayeredWindowProc>(plat::GetProcAddress(user32, "UpdateLayeredWindow"));
  plat::FreeLibrary(user32);
}

int IsLayeredWindowMode() {
  const WindowSystemState& state = GetWindowSystemState();
  return state.settings.layeredWindow != 0 && state.updateLayeredWindow != nullptr && state.mainWindow != nullptr
             ? 1
             : 0;
}

int UpdateLayeredWindowFromScreen(const BaseImage* image) {
  WindowSystemState& state = GetWindowSystemState();
  if (image == nullptr || image->pixels == nullptr || image->width == 0 || image->height == 0 ||
      IsLayeredWindowMode() == 0) {
    return -1;
  }
  const int width = static_cast<int>(image->width);
  const int height = static_cast<int>(image->height);
  if (!EnsureSection(state, width, height)) return -1;
  PixelFormatDescriptor argb{};
  SetColorDescARGB8(&argb);
  const Rect whole{0, 0, width, height};
  if (ConvertColorFormatBlit(state.layeredBits, width * 4, &argb, image->pixels, static_cast<int>(image->pitch),
                             &image->format, nullptr, 0, nullptr, 0, 0, &whole, 0, 0, 0, kDitherNone, 0, 0, 0,
                             0) < 0) {
    return -1;
  }
  // Without alpha of its own the image is opaque but for the transparent colour.
  const bool carriesAlpha = image->format.alphaMask != 0;
  const std::uint32_t transparent = GetDrawSettings().transparentColor & 0xFFFFFFu;
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t& pixel = state.layeredBits[i];
    if ((pixel & 0xFFFFFFu) == transparent) {
      pixel &= 0xFFFFFFu;
    } else if (!carriesAlpha) {
      pixel |= kOpaque;
    }
  }
  plat::WinRect window{};
  plat::GetWindowRect(state.mainWindow, &window);
  const plat::Point position{window.left, window.top};
  const plat::WinSize size{width, height};
  const plat::Point origin{0, 0};
  const plat::BLENDFUNCTION blend{plat::AC_SRC_OVER, 0, 255, plat::AC_SRC_ALPHA};
  // Colour key: 0x00BBGGRR.
  const std::uint32_t key = ((transparent & 0xFF) << 16) | (transparent & 0xFF00) | (transparent >> 16);
  const std::uint32_t flags = carriesAlpha ? plat::ULW_ALPHA : plat::ULW_COLORKEY;
  return state.updateLayeredWindow(state.mainWindow, nullptr, &position, &size, state.layeredSection, &origin, key,
                                   &blend, flags) != 0
             ? 0
             : -1;
}

void ReleaseLayeredWindowSection() {
  WindowSystemState& state = GetWindowSystemState();
  if (state.layeredSection != nullptr) plat::DeleteObject(state.layeredSection);
  state.layeredSection = nullptr;
  state.layeredBits = nullptr;
  state.layeredWidth = 0;
  state.layeredHeight = 0;
}

}  // namespace qz
