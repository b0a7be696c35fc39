// Motion-JPEG AVI files made by the tests, for the filter-graph road: each
// frame carries the same grey number blocks as the Theora test movies, so a
// delivered frame tells which frame it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/movie/theora_test_movie.h"
#include "tests/support/jpeg_writer.h"

namespace qz::testing {

namespace avi_detail {

inline void Put32(std::string* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(value >> (8 * i)));
}
inline void Put16(std::string* out, std::uint16_t value) {
  out->push_back(static_cast<char>(value));
  out->push_back(static_cast<char>(value >> 8));
}
inline std::string Chunk(const char* id, const std::string& body) {
  std::string out(id, 4);
  Put32(&out, static_cast<std::uint32_t>(body.size()));
  out += body;
  if (body.size() % 2 != 0) out.push_back('\0');
  return out;
}
inline std::string List(const char* type, const std::string& body) { return Chunk("LIST", std::string(type, 4) + body); }

// The frame as packed R,G,B: grey digit blocks spelling the number.
inline std::vector<std::uint8_t> NumberFrameRgb(int width, int height, int frame) {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3, 64);
  for (int block = 0; block < kNumberDigits; ++block) {
    int digit = frame;
    for (int d = 0; d < block; ++d) digit /= 4;
    const auto grey = static_cast<std::uint8_t>((kDigitLuma[digit % 4] - 16) * 1.164);
    int x0 = 0;
    int y0 = 0;
    NumberBlockOrigin(width, block, &x0, &y0);
    for (int y = y0; y < y0 + kNumberBlock; ++y) {
      for (int x = x0; x < x0 + kNumberBlock; ++x) {
        for (int c = 0; c < 3; ++c) rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c] = grey;
      }
    }
  }
  return rgb;
}

}  // namespace avi_detail

inline std::string EncodeMjpegAvi(int width, int height, int frames, int framesPerSecond) {
  using namespace avi_detail;
  std::string movi = "movi";
  std::string index;
  std::uint32_t largest = 0;
  for (int frame = 0; frame < frames; ++frame) {
    const std::vector<std::uint8_t> bytes =
        EncodeJpeg(JpegSpec(width, height, 3, false, 95), NumberFrameRgb(width, height, frame));
    const std::string jpeg(bytes.begin(), bytes.end());
    index += "00dc";
    Put32(&index, 0x10);  // a key frame
    Put32(&index, static_cast<std::uint32_t>(movi.size()));
    Put32(&index, static_cast<std::uint32_t>(jpeg.size()));
    largest = std::max<std::uint32_t>(largest, static_cast<std::uint32_t>(jpeg.size()));
    movi += Chunk("00dc", jpeg);
  }
  std::string mainHeader;
  for (const std::uint32_t value : {static_cast<std::uint32_t>(1000000 / framesPerSecond), 0u, 0u, 0x10u,
                                    static_cast<std::uint32_t>(frames), 0u, 1u, largest,
                                    static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 0u, 0u,
                                    0u, 0u}) {
    Put32(&mainHeader, value);
  }
  std::string streamHeader = "vidsMJPG";
  for (const std::uint32_t value : {0u, 0u, 0u, 1u, static_cast<std::uint32_t>(framesPerSecond), 0u,
                                    static_cast<std::uint32_t>(frames), largest, 0xFFFFFFFFu, 0u}) {
    Put32(&streamHeader, value);
  }
  for (const int value : {0, 0, width, height}) Put16(&streamHeader, static_cast<std::uint16_t>(value));
  std::string format;
  Put32(&format, 40);
  Put32(&format, static_cast<std::uint32_t>(width));
  Put32(&format, static_cast<std::uint32_t>(height));
  Put16(&format, 1);
  Put16(&format, 24);
  format += "MJPG";
  for (const std::uint32_t value : {static_cast<std::uint32_t>(width * height * 3), 0u, 0u, 0u, 0u}) {
    Put32(&format, value);
  }
  const std::string headers =
      List("hdrl", Chunk("avih", mainHeader) + List("strl", Chunk("strh", streamHeader) + Chunk("strf", format)));
  const std::string body = "AVI " + headers + Chunk("LIST", movi) + Chunk("idx1", index);
  std::string file = "RIFF";
  Put32(&file, static_cast<std::uint32_t>(body.size()));
  return file + body;
}

}  // namespace qz::testing
