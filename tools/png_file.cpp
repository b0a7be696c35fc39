// The PNG writer of the tools: libpng over a stdio file, one RGB row at a
// time.
#include "tools/png_file.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace qz::tools {

bool WriteFramePng(const std::string& path, int width, int height, const Frame& frame, int compressionLevel) {
  if (width <= 0 || height <= 0 || frame.size() < static_cast<std::size_t>(width) * height) return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  // Declared before setjmp so a longjmp back here leaves it in a known state.
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, compressionLevel);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
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

}  // namespace qz::tools
