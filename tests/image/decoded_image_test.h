// A fixture that owns the image a test decodes and checks that no tracked
// block outlives the test, whatever the decoder accepted or refused; and the
// little-endian writing the tests' own file writers share.
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
