// The review tools' shared parts: back-screen read-back and the two-renderer
// gallery main.
#include "tools/gallery_support.h"

#include <cstdio>
#include <cstdlib>

#include "core/library.h"
#include "core/log.h"
#include "core/main_window.h"
#include "graphics/back_buffer_readback.h"
#include "graphics/draw_target.h"
#include "graphics/screen_settings.h"
#include "image/base_image.h"

namespace qz::tools {

bool ReadBackScreen(int width, int height, Frame* frame) {
  const plat::WinRect rect{0, 0, width, height};
  BaseImage image{};
  if (LockBackBufferImage(&rect, &image, kBackScreen) != 0) return false;
  frame->assign(static_cast<std::size_t>(width) * height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int r = 0, g = 0, b = 0, a = 0;
      GetBaseImagePixel(&image, x, y, &r, &g, &b, &a);
      (*frame)[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint32_t>(r << 16 | g << 8 | b);
    }
  }
  ReleaseBackBufferLockSurfaces();
  return true;
}

namespace {

// One start of the library on the chosen renderer, `draw` and the read-back.
bool DrawOnRenderer(bool hardware, bool (*draw)(), Frame* frame) {
  SetHardwareRenderingFlag(hardware ? 1 : 0);
  SetScreenColorBitDepth(32);
  ChangeWindowMode(1);
  if (InitLibraryEntry() != 0) return false;
  SelectDrawTarget(kBackScreen);
  const bool ok = draw() && ReadBackScreen(640, 480, frame);
  EndLibraryEntry();
  return ok;
}

}  // namespace

int RunTwoRendererGallery(int argc, char** argv, const std::string& name, bool (*draw)(),
                          void (*compare)(const Frame& device, const Frame& software)) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  setenv("QZ_BACKEND", "headless", 0);
  SetLogOutputEnabled(0);
  const std::string dir = argv[1];
  Frame frames[2];
  for (const bool hardware : {true, false}) {
    Frame& frame = frames[hardware ? 0 : 1];
    const std::string path = dir + "/" + name + (hardware ? "_device.png" : "_software.png");
    if (!DrawOnRenderer(hardware, draw, &frame) || !WriteFramePng(path, 640, 480, frame)) {
      std::fprintf(stderr, "cannot draw or write %s\n", path.c_str());
      return 1;
    }
    std::printf("%s\n", path.c_str());
  }
  compare(frames[0], frames[1]);
  return 0;
}

}  // namespace qz::tools
