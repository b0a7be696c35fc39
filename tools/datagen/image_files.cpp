// PNG and BMP writers of the generator. PNG uses the fastest zlib level: the
// tests generate the whole set once per process, and size does not matter.
#include "tools/datagen/image_files.h"

#include <cstdint>
#include <fstream>
#include <vector>

#include "tools/png_file.h"

namespace datagen {
namespace {

constexpr int kFastestCompression = 1;

bool Fail(std::string* error, const std::string& what, const std::string& path) {
  if (error != nullptr) *error = what + ": " + path;
  return false;
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

bool WritePngFile(const std::string& path, const Canvas& canvas, std::string* error) {
  const bool written =
      qz::tools::WriteFramePng(path, canvas.width(), canvas.height(), canvas.pixels(), kFastestCompression);
  return written ? true : Fail(error, "cannot write PNG", path);
}

bool WriteBmpFile(const std::string& path, const Canvas& canvas, std::string* error) {
  const std::uint32_t rowBytes = (static_cast<std::uint32_t>(canvas.width()) * 3 + 3) & ~3u;
  const std::uint32_t dataBytes = rowBytes * static_cast<std::uint32_t>(canvas.height());
  std::vector<std::uint8_t> out;
  out.reserve(54 + dataBytes);
  out.push_back('B');
  out.push_back('M');
  PutLe(out, 54 + dataBytes, 4);
  PutLe(out, 0, 4);
  PutLe(out, 54, 4);
  PutLe(out, 40, 4);  // BITMAPINFOHEADER
  PutLe(out, static_cast<std::uint32_t>(canvas.width()), 4);
  PutLe(out, static_cast<std::uint32_t>(canvas.height()), 4);  // positive: rows bottom-up
  PutLe(out, 1, 2);
  PutLe(out, 24, 2);
  PutLe(out, 0, 4);  // uncompressed
  PutLe(out, dataBytes, 4);
  PutLe(out, 2835, 4);
  PutLe(out, 2835, 4);
  PutLe(out, 0, 4);
  PutLe(out, 0, 4);
  for (int y = canvas.height() - 1; y >= 0; --y) {
    for (int x = 0; x < canvas.width(); ++x) PutLe(out, canvas.At(x, y), 3);  // B, G, R
    for (std::uint32_t pad = static_cast<std::uint32_t>(canvas.width()) * 3; pad < rowBytes; ++pad) out.push_back(0);
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  return file.good() ? true : Fail(error, "cannot write BMP", path);
}

}  // namespace datagen
