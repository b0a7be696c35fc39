// Loading a 1024x1024 RGBA PNG and a 1024x1024 JPEG into a base image through
// the dispatcher, beside decoding the same bytes with bare libpng
// (png_read_image) and bare libjpeg, so the glue's cost shows as a ratio.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/image_decode.h"
#include "tests/image/png_jpeg_writer.h"

#include <jpeglib.h>

namespace {

constexpr int kSide = 1024;

// Smooth colour with some texture: compresses like a real picture.
std::vector<unsigned char> Picture(int components) {
  std::vector<unsigned char> pixels(std::size_t{kSide} * kSide * static_cast<std::size_t>(components));
  std::uint32_t noise = 1;
  std::size_t i = 0;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      noise = noise * 1103515245u + 12345u;
      const int grain = static_cast<int>((noise >> 16) & 15);
      for (int c = 0; c < components; ++c) {
        pixels[i++] = static_cast<unsigned char>(((x + y * c) / 4 + c * 50 + grain) & 0xFF);
      }
    }
  }
  return pixels;
}

const std::vector<unsigned char>& PngBytes() {
  static const std::vector<unsigned char> bytes = [] {
    const std::vector<unsigned char> rgba = Picture(4);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kSide;
    image.height = kSide;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
    std::vector<unsigned char> out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr);
    out.resize(size);
    return out;
  }();
  return bytes;
}

const std::vector<unsigned char>& JpegBytes() {
  static const std::vector<unsigned char> bytes =
      qz::testing::EncodeJpeg(qz::testing::JpegSpec(kSide, kSide, 3, false, 90), Picture(3));
  return bytes;
}

void LoadIntoBaseImage(benchmark::State& state, const std::vector<unsigned char>& bytes) {
  for (auto _ : state) {
    qz::BaseImage image;
    if (qz::DecodeImageBytesToBaseImage(nullptr, bytes.data(), bytes.size(), 1, &image, 0) != 0) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(image.pixels);
    qz::FreeBaseImagePixels(&image);
  }
}

void BM_PngIntoBaseImage(benchmark::State& state) { LoadIntoBaseImage(state, PngBytes()); }

void BM_PngBareLibpng(benchmark::State& state) {
  struct Reader {
    const unsigned char* data;
    std::size_t left;
  };
  const std::vector<unsigned char>& bytes = PngBytes();
  for (auto _ : state) {
    Reader reader{bytes.data(), bytes.size()};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &reader, [](png_structp p, png_bytep out, png_size_t length) {
      auto* r = static_cast<Reader*>(png_get_io_ptr(p));
      if (length > r->left) png_error(p, "short");
      std::memcpy(out, r->data, length);
      r->data += length;
      r->left -= length;
    });
    png_read_info(png, info);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    auto* pixels = static_cast<png_bytep>(std::malloc(rowBytes * height));
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels + rowBytes * y;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
    png_destroy_read_struct(&png, &info, nullptr);
  }
}

void BM_JpegIntoBaseImage(benchmark::State& state) { LoadIntoBaseImage(state, JpegBytes()); }

void BM_JpegBareLibjpeg(benchmark::State& state) {
  const std::vector<unsigned char>& bytes = JpegBytes();
  for (auto _ : state) {
    jpeg_decompress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    const std::size_t stride = std::size_t{info.output_width} * static_cast<std::size_t>(info.output_components);
    auto* pixels = static_cast<unsigned char*>(std::malloc(stride * info.output_height));
    while (info.output_scanline < info.output_height) {
      JSAMPROW row = pixels + stride * info.output_scanline;
      jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
  }
}

BENCHMARK(BM_PngIntoBaseImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngBareLibpng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegIntoBaseImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegBareLibjpeg)->Unit(benchmark::kMillisecond);

}  // namespace
