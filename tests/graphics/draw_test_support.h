// A started library on either renderer for drawing tests: a 640 x 480
// window-mode screen (32 or 16 bits) on the headless backend, generated sprite
// images with a pure green transparent colour, and the drawn frame read back.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/library.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "graphics/color_value.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_settings_block.h"
#include "graphics/draw_shapes.h"
#include "graphics/draw_target.h"
#include "graphics/graph_from_image.h"
#include "graphics/graph_handles.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_settings.h"
#include "graphics/vertex_batch.h"
#include "image/base_image.h"
#include "platform/clock.h"
#include "platform/d3d9.h"
#include "platform/d3d9_shader.h"
#include "platform/window.h"

namespace qz::testing {

enum class Renderer { kDevice, kSoftware };

inline const char* RendererName(const ::testing::TestParamInfo<Renderer>& info) {
  return info.param == Renderer::kDevice ? "Device" : "Software";
}

// A width x height frame, row by row: 0xRRGGBB on a 32-bit screen, the raw
// R5G6B5 value on a 16-bit one.
struct Frame {
  int width = 0;
  int height = 0;
  int bits = 32;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The largest difference of any channel between two pixels of the frames'
// format, in steps of that channel.
inline int PixelDifference(std::uint32_t a, std::uint32_t b, int bits) {
  static constexpr int kShift32[3] = {0, 8, 16}, kShift16[3] = {0, 5, 11};
  static constexpr std::uint32_t kMask32[3] = {0xFF, 0xFF, 0xFF}, kMask16[3] = {0x1F, 0x3F, 0x1F};
  int worst = 0;
  for (int c = 0; c < 3; ++c) {
    const int shift = bits == 16 ? kShift16[c] : kShift32[c];
    const std::uint32_t mask = bits == 16 ? kMask16[c] : kMask32[c];
    const int d = std::abs(static_cast<int>((a >> shift) & mask) - static_cast<int>((b >> shift) & mask));
    worst = d > worst ? d : worst;
  }
  return worst;
}

// The largest difference of any channel between two 0xRRGGBB colours.
inline int ChannelDifference(std::uint32_t a, std::uint32_t b) { return PixelDifference(a, b, 32); }

inline int CountDifferentPixels(const Frame& a, const Frame& b) {
  int count = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) count += a.pixels[i] != b.pixels[i] ? 1 : 0;
  return count;
}

struct DrawingOptions {
  bool nativeSubtract = true;  // the device offers the reverse-subtract operation
  // Above 0 narrows the device's textures, so that graphs larger than it are
  // cut into several tiles.
  int maxTextureSize = 0;
  int colorBits = 32;
  // Video surface formats the device offers (none, as by default).
  std::vector<plat::D3DFORMAT> videoSurfaceFormats = {};
  bool shaderModel20 = false;  // the device offers vertex and pixel shader 2.0
  // Texture formats the device does not offer (as sampled textures).
  std::vector<plat::D3DFORMAT> refusedTextureFormats = {};
};

// Starts the library on one renderer with the back screen as draw target and
// pure green as the transparent colour; ends it again.
class DrawingLibrary {
 public:
  DrawingLibrary(Renderer renderer, bool nativeSubtract) : DrawingLibrary(renderer, DrawingOptions{nativeSubtract}) {}
  explicit DrawingLibrary(Renderer renderer, const DrawingOptions& options = {}) {
    plat::UseVirtualTime(true);
    plat::ResetD3D9StandInForTest();
    plat::D3D9Profile profile = options.shaderModel20 ? plat::ShaderModel20D3D9Profile() : plat::DefaultD3D9Profile();
    if (options.nativeSubtract) {
      profile.caps.PrimitiveMiscCaps |= plat::D3DPMISCCAPS_BLENDOP;
    } else {
      profile.caps.PrimitiveMiscCaps &= ~plat::D3DPMISCCAPS_BLENDOP;
    }
    if (options.maxTextureSize > 0) {
      profile.caps.MaxTextureWidth = static_cast<std::uint32_t>(options.maxTextureSize);
      profile.caps.MaxTextureHeight = static_cast<std::uint32_t>(options.maxTextureSize);
    }
    if (options.colorBits == 16) profile.displayFormat = plat::D3DFMT_R5G6B5;
    profile.videoSurfaceFormats = options.videoSurfaceFormats;
    for (const plat::D3DFORMAT format : options.refusedTextureFormats) std::erase(profile.textureFormats, format);
    plat::SetD3D9ProfileForTest(profile);
    GetWindowSystemState().settings = WindowSettings{};
    ChangeWindowMode(1);
    title_ = "QzDraw" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    SetMainWindowTitle(title_.c_str());
    // A window-mode device takes the desktop's depth.
    plat::SetHeadlessDesktop({1920, 1080, options.colorBits});
    SetScreenColorBitDepth(options.colorBits);
    SetHardwareRenderingFlag(renderer == Renderer::kDevice ? 1 : 0);
    started_ = InitLibraryEntry() == 0;
    EXPECT_TRUE(started_);
    EXPECT_EQ(GetGraphicsState().hardware3DOn, renderer == Renderer::kDevice ? 1 : 0);
    SelectDrawTarget(kBackScreen);
    SetTransparentColorRGB(0, 255, 0);
  }
  ~DrawingLibrary() {
    EndLibraryEntry();
    SetHardwareRenderingFlag(1);
    SetScreenColorBitDepth(0);
    plat::SetHeadlessDesktop({1920, 1080, 32});
    plat::ResetD3D9StandInForTest();
    plat::UseVirtualTime(false);
  }
  DrawingLibrary(const DrawingLibrary&) = delete;
  DrawingLibrary& operator=(const DrawingLibrary&) = delete;

  bool started() const { return started_; }

 private:
  bool started_ = false;
  std::string title_;
};

// An opaque image whose every pixel differs from its neighbours, with a
// pure green (transparent) border of `border` pixels.
inline BaseImage MakePatternImage(int width, int height, int border = 0, int seed = 0) {
  BaseImage image{};
  EXPECT_EQ(AllocXRGB8BaseImage(width, height, &image), 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool edge = x < border || y < border || x >= width - border || y >= height - border;
      if (edge) {
        SetBaseImagePixel(&image, x, y, 0, 255, 0, 255);
      } else {
        SetBaseImagePixel(&image, x, y, (x * 16 + seed * 40) & 0xFF, (x * 3 + y * 5) % 200, (y * 16 + 8) & 0xFF,
                          255);
      }
    }
  }
  return image;
}

// A graph made of MakePatternImage's pixels.
inline int MakePatternGraph(int width, int height, int border = 0, int seed = 0) {
  BaseImage image = MakePatternImage(width, height, border, seed);
  const int graph = BuildGraphFromBaseImages(&image, nullptr, 0);
  FreeBaseImagePixels(&image);
  EXPECT_NE(graph, -1);
  return graph;
}

// The back screen's pixels after every pending vertex is drawn.
inline Frame ReadBackScreen() {
  Frame frame;
  GraphicsState& state = GetGraphicsState();
  frame.width = state.screenWidth;
  frame.height = state.screenHeight;
  frame.bits = state.colorBits == 16 ? 16 : 32;
  const int bytes = frame.bits / 8;
  frame.pixels.assign(static_cast<std::size_t>(frame.width) * frame.height, 0);
  auto copyRows = [&](const std::uint8_t* first, std::ptrdiff_t pitch) {
    for (int y = 0; y < frame.height; ++y) {
      for (int x = 0; x < frame.width; ++x) {
        std::uint32_t v = 0;
        std::memcpy(&v, first + y * pitch + bytes * x, bytes);
        frame.pixels[static_cast<std::size_t>(y) * frame.width + x] = frame.bits == 16 ? v : v & 0xFFFFFF;
      }
    }
  };
  if (state.hardware3DOn == 0) {
    const MEMIMG& image = state.screenImages[kBackScreenImage];
    copyRows(image.pixels, image.block->pitch);
    return frame;
  }
  FlushVertexBatch();
  plat::IDirect3DDevice9* device = state.device;
  plat::IDirect3DSurface9* target = nullptr;
  plat::IDirect3DSurface9* copy = nullptr;
  EXPECT_EQ(device->GetRenderTarget(0, &target), plat::D3D_OK);
  const plat::D3DFORMAT format = frame.bits == 16 ? plat::D3DFMT_R5G6B5 : plat::D3DFMT_X8R8G8B8;
  EXPECT_EQ(device->CreateOffscreenPlainSurface(frame.width, frame.height, format, plat::D3DPOOL_SYSTEMMEM, &copy,
                                                nullptr),
            plat::D3D_OK);
  EXPECT_EQ(device->GetRenderTargetData(target, copy), plat::D3D_OK);
  plat::D3DLOCKED_RECT locked{};
  EXPECT_EQ(copy->LockRect(&locked, nullptr, 0), plat::D3D_OK);
  copyRows(static_cast<const std::uint8_t*>(locked.pBits), locked.Pitch);
  copy->UnlockRect();
  copy->Release();
  target->Release();
  return frame;
}

// Fills the whole back screen with one colour, unblended, and leaves the
// blend mode 0, brightness white and the clip the whole screen.
inline void PaintBackScreen(int red, int green, int blue) {
  SetBlendModeAndParam(kBlendNone, 0);
  SetBrightnessRGB(255, 255, 255);
  SetClipRectangle(0, 0, GetGraphicsState().screenWidth, GetGraphicsState().screenHeight);
  DrawSolidRectangle(0, 0, GetGraphicsState().screenWidth, GetGraphicsState().screenHeight,
                     MakeColorValue(red, green, blue));
}

}  // namespace qz::testing
