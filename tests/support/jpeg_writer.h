// JPEG files written by the tests, the benchmarks and the fuzz seed writer
// through libjpeg's compressor, from interleaved pixels in memory.
#pragma once

#include <cstdio>
#include <cstdlib>
// After <cstdio>: jpeglib.h uses size_t and FILE without including them.
#include <jpeglib.h>

#include <cstdint>
#include <vector>

namespace qz::testing {

struct JpegSpec {
  JpegSpec(int width_, int height_, int components_, bool progressive_, int quality_ = 90)
      : width(width_), height(height_), components(components_), progressive(progressive_), quality(quality_) {}
  int width = 1;
  int height = 1;
  int components = 3;  // 1 grey, 3 RGB, 4 CMYK
  bool progressive = false;
  int quality = 90;
  std::vector<jpeg_scan_info> scans = {};  // a progressive file's own scan script, when not empty
};

// Pixels are interleaved in the input colour space (R, G, B for colour).
inline std::vector<std::uint8_t> EncodeJpeg(const JpegSpec& spec, const std::vector<std::uint8_t>& pixels) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(spec.width);
  info.image_height = static_cast<JDIMENSION>(spec.height);
  info.input_components = spec.components;
  info.in_color_space = spec.components == 1 ? JCS_GRAYSCALE : spec.components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, spec.quality, TRUE);
  if (spec.progressive) jpeg_simple_progression(&info);
  if (!spec.scans.empty()) {
    info.scan_info = spec.scans.data();
    info.num_scans = static_cast<int>(spec.scans.size());
  }
  jpeg_start_compress(&info, TRUE);
  const std::size_t stride = static_cast<std::size_t>(spec.width) * static_cast<std::size_t>(spec.components);
  while (info.next_scanline < info.image_height) {
    auto row = const_cast<JSAMPROW>(pixels.data() + stride * info.next_scanline);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<std::uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

}  // namespace qz::testing
