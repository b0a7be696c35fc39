// A fixture that owns the image a test decodes and checks that no tracked
// block outlives the test, whatever the decoder accepted or refused; the
// little-endian writing the tests' own file writers share, and the DDS writer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/memory.h"
#include "image/image_decode.h"
#include "image/png_jpeg_writer.h"

namespace qz::testing {

using Bytes = std::vector<std::uint8_t>;

inline void PutU32(Bytes* out, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) (*out)[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// DDS files as the format defines them: a 128-byte header, then the data.
inline std::uint32_t FourCc(const char* name) {
  return std::uint32_t(std::uint8_t(name[0])) | std::uint32_t(std::uint8_t(name[1])) << 8 |
         std::uint32_t(std::uint8_t(name[2])) << 16 | std::uint32_t(std::uint8_t(name[3])) << 24;
}

struct DdsFile {
  std::uint32_t width = 4;
  std::uint32_t height = 4;
  std::uint32_t flags = 0x1007;
  std::uint32_t pitch = 0;
  std::uint32_t mipCount = 0;
  std::uint32_t pixelFlags = 0x4;
  std::uint32_t fourCc = 0;
  std::uint32_t bits = 0;
  std::uint32_t masks[4] = {};
  std::uint32_t caps = 0x1000;
  Bytes data{};
};

// The header flags and caps that announce mip levels.
constexpr std::uint32_t kMipFlags = 0x1007 | 0x20000, kMipCaps = 0x1000 | 0x400008;

inline Bytes WriteDds(const DdsFile& f) {
  Bytes out(128, 0);
  std::memcpy(out.data(), "DDS ", 4);
  PutU32(&out, 4, 124);
  PutU32(&out, 8, f.flags);
  PutU32(&out, 12, f.height);
  PutU32(&out, 16, f.width);
  PutU32(&out, 20, f.pitch);
  PutU32(&out, 28, f.mipCount);
  PutU32(&out, 76, 32);
  PutU32(&out, 80, f.pixelFlags);
  PutU32(&out, 84, f.fourCc);
  PutU32(&out, 88, f.bits);
  for (int i = 0; i < 4; ++i) PutU32(&out, 92 + 4 * static_cast<std::size_t>(i), f.masks[i]);
  PutU32(&out, 108, f.caps);
  out.insert(out.end(), f.data.begin(), f.data.end());
  return out;
}

class DecodedImageTest : public ::testing::Test {
 protected:
  void SetUp() override { blocks_ = GetTrackedBlockCount(); }
  void TearDown() override {
    FreeBaseImagePixels(&image_);
    EXPECT_EQ(GetTrackedBlockCount(), blocks_);
  }
  int DecodeWith(ImageDecoder decoder, const std::vector<std::uint8_t>& bytes) {
    FreeBaseImagePixels(&image_);
    return DecodeBytes(decoder, bytes, &image_);
  }

  // Each named file is refused and leaves the caller's record as it was.
  static void ExpectRefused(ImageDecoder decoder, const std::vector<std::pair<std::string, Bytes>>& files) {
    for (const auto& [name, bytes] : files) {
      SCOPED_TRACE(name);
      BaseImage image, untouched;
      std::memset(&untouched, 0x5A, sizeof(untouched));
      image = untouched;
      if (DecodeBytes(decoder, bytes, &image) == 0) {
        ADD_FAILURE() << "decoded";
        FreeBaseImagePixels(&image);
        continue;
      }
      EXPECT_EQ(std::memcmp(&image, &untouched, sizeof(image)), 0) << "a refused decode must leave the record alone";
    }
  }

  // Every proper prefix of each valid file is refused.
  void ExpectPrefixesRefused(ImageDecoder decoder, const std::vector<Bytes>& files) {
    for (const Bytes& full : files) {
      for (std::size_t n = 0; n < full.size(); ++n) {
        ASSERT_EQ(DecodeWith(decoder, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n))), -1) << n;
      }
    }
  }

  BaseImage image_{};
  int blocks_ = 0;
};

}  // namespace qz::testing
