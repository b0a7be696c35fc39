// imgconv INPUT [OUTPUT.png]: decodes any image the library reads, with its
// "_a" alpha companion when there is one, and writes it as an RGBA PNG, so a
// reviewer can look at what the decoders made of a file.
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "image/base_image.h"
#include "image/image_decode.h"

namespace {

// Rows of R, G, B, A; alpha from the companion's red, else the image's own.
std::vector<png_byte> ToRgba(qz::BaseImage* image, qz::BaseImage* alpha) {
  const bool hasAlpha = image->format.alphaMask != 0 && image->format.bytesPerPixel != 1;
  std::vector<png_byte> rgba(std::size_t{image->width} * image->height * 4);
  std::size_t i = 0;
  for (std::uint32_t y = 0; y < image->height; ++y) {
    for (std::uint32_t x = 0; x < image->width; ++x) {
      int red = 0, green = 0, blue = 0, a = 255;
      qz::GetBaseImagePixel(image, static_cast<int>(x), static_cast<int>(y), &red, &green, &blue, &a);
      if (!hasAlpha) a = 255;
      if (alpha != nullptr) qz::GetBaseImagePixel(alpha, static_cast<int>(x), static_cast<int>(y), &a, nullptr, nullptr, nullptr);
      rgba[i++] = static_cast<png_byte>(red);
      rgba[i++] = static_cast<png_byte>(green);
      rgba[i++] = static_cast<png_byte>(blue);
      rgba[i++] = static_cast<png_byte>(a);
    }
  }
  return rgba;
}

bool WritePng(const char* path, std::uint32_t width, std::uint32_t height, const std::vector<png_byte>& rgba) {
  png_image out{};
  out.version = PNG_IMAGE_VERSION;
  out.width = width;
  out.height = height;
  out.format = PNG_FORMAT_RGBA;
  return png_image_write_to_file(&out, path, 0, rgba.data(), 0, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: imgconv INPUT [OUTPUT.png]\n");
    return 2;
  }
  const std::string output = argc == 3 ? argv[2] : std::string(argv[1]) + ".png";
  qz::BaseImage image;
  qz::BaseImage alpha;
  const int result = qz::DecodeImageAndAlphaImage(argv[1], nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0);
  if (result < 0) {
    std::fprintf(stderr, "imgconv: %s: not an image the library can decode\n", argv[1]);
    return 1;
  }
  std::printf("%s: %ux%u, %d bits, %u bytes per pixel, DXT kind %u, %s\n", argv[1], image.width, image.height,
              image.format.bitDepth, image.format.bytesPerPixel, image.format.dxtKind,
              result == 0 ? "alpha from its companion" : "no companion");
  const std::vector<png_byte> rgba = ToRgba(&image, result == 0 ? &alpha : nullptr);
  const bool written = WritePng(output.c_str(), image.width, image.height, rgba);
  qz::FreeBaseImagePixels(&image);
  if (result == 0) qz::FreeBaseImagePixels(&alpha);
  if (!written) {
    std::fprintf(stderr, "imgconv: cannot write %s\n", output.c_str());
    return 1;
  }
  std::printf("wrote %s\n", output.c_str());
  return 0;
}
