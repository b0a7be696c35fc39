#include "tools/gallery_support.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>

#include "core/log.h"
#include "graphics/back_buffer_readback.h"
#include "graphics/draw_target.h"
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

bool WriteFramePng(const std::string& path, int width, int height, const Frame& frame) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = frame[static_cast<std::size_t>(y) * width + x];
      row[3 * x] = static_cast<png_byte>(c >> 16);
      row[3 * x + 1] = static_cast<png_byte>(c >> 8);
      row[3 * x + 2] = static_cast<png_byte>(c);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

int RunTwoRendererGallery(int argc, char** argv, const std::string& name, bool (*draw)(bool hardware, Frame* frame),
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
    if (!draw(hardware, &frame) || !WriteFramePng(path, 640, 480, frame)) {
      std::fprintf(stderr, "cannot draw or write %s\n", path.c_str());
      return 1;
    }
    std::printf("%s\n", path.c_str());
  }
  compare(frames[0], frames[1]);
  return 0;
}

}  // namespace qz::tools
