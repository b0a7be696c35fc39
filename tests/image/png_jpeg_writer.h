// PNG and JPEG fixtures for image tests, written in memory with libpng's
// writer and libjpeg's compressor, and a memory stream wrapper for decoding
// them, so that no test depends on binary files of unknown origin.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/file_access.h"
#include "image/image_decode.h"
#include "tests/support/jpeg_writer.h"

namespace qz::testing {

struct PngSpec {
  PngSpec(int width_, int height_, int colorType_, int bitDepth_, bool interlaced_ = false)
      : width(width_), height(height_), colorType(colorType_), bitDepth(bitDepth_), interlaced(interlaced_) {}
  int width = 1;
  int height = 1;
  int colorType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<png_color> palette;      // colour type 3
  std::vector<png_byte> paletteAlpha;  // tRNS of a palette image
  bool greyTransparent = false;        // tRNS of a grey image, value 0
};

inline int PngChannels(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
      return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB:
      return 3;
    default:
      return 4;
  }
}

inline std::size_t PngRowBytes(const PngSpec& spec) {
  return (static_cast<std::size_t>(spec.width) * PngChannels(spec.colorType) * spec.bitDepth + 7) / 8;
}

// Rows are given packed as PNG stores them (big-endian 16-bit samples).
inline std::vector<std::uint8_t> EncodePng(const PngSpec& spec, const std::vector<std::uint8_t>& rows) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
        bytes->insert(bytes->end(), data, data + length);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(spec.width), static_cast<png_uint_32>(spec.height), spec.bitDepth,
               spec.colorType, spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!spec.palette.empty()) png_set_PLTE(png, info, spec.palette.data(), static_cast<int>(spec.palette.size()));
  if (!spec.paletteAlpha.empty()) {
    png_set_tRNS(png, info, spec.paletteAlpha.data(), static_cast<int>(spec.paletteAlpha.size()), nullptr);
  }
  if (spec.greyTransparent) {
    png_color_16 key{};
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_write_info(png, info);
  const std::size_t rowBytes = PngRowBytes(spec);
  std::vector<png_bytep> pointers(static_cast<std::size_t>(spec.height));
  for (int y = 0; y < spec.height; ++y) {
    pointers[static_cast<std::size_t>(y)] = const_cast<png_bytep>(rows.data() + rowBytes * static_cast<std::size_t>(y));
  }
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

inline std::vector<std::uint8_t> PatternBytes(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t state = seed * 2654435761u + 12345u;
  for (auto& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(state >> 16);
  }
  return bytes;
}

// Smooth colours, so that a lossy codec keeps them close.
inline std::vector<std::uint8_t> GradientPixels(int width, int height, int components) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                                   static_cast<std::size_t>(components));
  std::size_t i = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < components; ++c) pixels[i++] = static_cast<std::uint8_t>((x * 255 / width + y * 3 + c * 60) & 0xFF);
    }
  }
  return pixels;
}

// Decodes a byte block with one decoder (or the dispatcher) over a memory stream.
inline int DecodeBytes(int (*decoder)(ImageStream*, BaseImage*), const std::vector<std::uint8_t>& bytes,
                       BaseImage* image) {
  static const std::uint8_t kEmpty = 0;
  MemoryStream* memory = OpenMemoryStream(bytes.empty() ? &kEmpty : bytes.data(), bytes.size());
  if (memory == nullptr) return -2;
  ImageStream stream{*GetMemoryStreamInterface(), memory};
  const int result = decoder(&stream, image);
  CloseMemoryStream(memory);
  return result;
}

inline std::string AsString(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace qz::testing
